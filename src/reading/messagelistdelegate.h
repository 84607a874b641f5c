#pragma once
// Draws message list entries whose columns are separated by TAB characters,
// lining each column up at fixed tab stops given in dialog units (a
// horizontal dialog unit is a quarter of the list font's average character
// width), as a Windows list box with tab stops does.
#include <QList>
#include <QStyledItemDelegate>

namespace reading {

class TabStopDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit TabStopDelegate(QList<int> stopsInDialogUnits, QObject* parent = nullptr);

  // The stops in pixels for a font.
  QList<qreal> stopPixels(const QFont& font) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  QList<int> stops_;
};

}  // namespace reading
