#include "shell/lazyfileicon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

namespace {

class LazyFileIconEngine : public QIconEngine {
 public:
  LazyFileIconEngine(QString path, QSize size) : path_(std::move(path)), size_(size) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return loaded().pixmap(size, mode, state);
  }

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size_.scaled(size, Qt::KeepAspectRatio); }
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {size_}; }
  bool isNull() override { return path_.isEmpty(); }
  QString key() const override { return QStringLiteral("LazyFileIconEngine"); }
  QIconEngine* clone() const override { return new LazyFileIconEngine(*this); }

 private:
  const QIcon& loaded() {
    if (icon_.isNull())
      icon_.addFile(path_, size_);
    return icon_;
  }

  QString path_;
  QSize size_;
  QIcon icon_;
};

}  // namespace

QIcon lazyFileIcon(const QString& path, QSize size) { return QIcon(new LazyFileIconEngine(path, size)); }
