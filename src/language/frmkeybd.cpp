#include "language/frmkeybd.h"

#include "platform/paths.h"
#include "platform/prompter.h"

#include <QHBoxLayout>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
QPointer<frmkeybd> g_viewer;
}

void KeyboardPicture::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  if (event->button() == Qt::LeftButton)
    Q_EMIT clicked();
}

frmkeybd::frmkeybd(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmkeybd"));
  setWindowTitle(QStringLiteral("Keyboad Layout"));
  setModal(false);

  keybd = new KeyboardPicture(this);
  keybd->setObjectName(QStringLiteral("keybd"));
  keybd->setFrameShape(QFrame::Box);
  keybd->setAlignment(Qt::AlignCenter);
  // The picture is shown at its own size; on a small screen it scrolls.
  scroll_ = new QScrollArea(this);
  scroll_->setWidget(keybd);
  scroll_->setAlignment(Qt::AlignCenter);
  scroll_->setFrameShape(QFrame::NoFrame);

  const auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  sinhala_k = button("sinhala_k", "&Sinhala");
  Tamil_k = button("Tamil_k", "&Tamil");
  xprint = button("xprint", "&Print");
  Command1 = button("Command1", "&Close");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(sinhala_k);
  buttons->addWidget(Tamil_k);
  buttons->addStretch(1);
  buttons->addWidget(xprint);
  buttons->addWidget(Command1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scroll_, 1);
  layout->addLayout(buttons);

  connect(sinhala_k, &QPushButton::clicked, this, &frmkeybd::sinhala_k_Click);
  connect(Tamil_k, &QPushButton::clicked, this, &frmkeybd::Tamil_k_Click);
  connect(xprint, &QPushButton::clicked, this, &frmkeybd::xprint_Click);
  connect(Command1, &QPushButton::clicked, this, &frmkeybd::Command1_Click);
  connect(keybd, &KeyboardPicture::clicked, this, &frmkeybd::keybd_Click);

  Form_Load();
}

frmkeybd* frmkeybd::showViewer(QWidget* parent) {
  if (!g_viewer) {
    g_viewer = new frmkeybd(parent);
    g_viewer->setAttribute(Qt::WA_DeleteOnClose);
  }
  g_viewer->show();
  g_viewer->raise();
  g_viewer->activateWindow();
  return g_viewer;
}

frmkeybd* frmkeybd::openViewer() { return g_viewer; }

void frmkeybd::setPrinterFactory(std::function<std::unique_ptr<QPrinter>()> factory) {
  printer_factory_ = std::move(factory);
}

void frmkeybd::Form_Load() { sinhala_k_Click(); }

bool frmkeybd::loadPicture(const QString& fileName) {
  const QString folder = picture_folder_.isEmpty() ? platform::programFolder() : picture_folder_;
  const QString path = platform::joinPath(folder, fileName);
  QImageReader reader(path);
  const QImage image = reader.read();
  if (image.isNull())
    return false;  // a missing or broken picture leaves the one shown
  keybd->setPixmap(QPixmap::fromImage(image));
  keybd->adjustSize();
  picture_path_ = path;
  fitToPicture();
  return true;
}

void frmkeybd::fitToPicture() {
  const QSize picture = keybd->size();
  const QMargins margins = layout()->contentsMargins();
  QSize wanted(picture.width() + margins.left() + margins.right() + 4,
               picture.height() + margins.top() + margins.bottom() + sinhala_k->sizeHint().height() +
                   layout()->spacing() + 4);
  if (const QScreen* screen = this->screen())
    wanted = wanted.boundedTo(screen->availableGeometry().size() - QSize(40, 80));
  resize(wanted);
}

void frmkeybd::sinhala_k_Click() { loadPicture(QStringLiteral("Nelisin.gif")); }

void frmkeybd::Tamil_k_Click() { loadPicture(QStringLiteral("Velan.gif")); }

void frmkeybd::keybd_Click() {
  platform::msgBox(QStringLiteral("Please view the keyboards from the keybd.htm file"));
}

void frmkeybd::xprint_Click() {
  const QPixmap image = grab();
  std::unique_ptr<QPrinter> printer =
      printer_factory_ ? printer_factory_() : std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPainter painter;
  if (!printer || !painter.begin(printer.get())) {
    platform::msgBox(QStringLiteral("The keyboard layout could not be printed: no printer is available."));
    return;
  }
  const QRect page = painter.viewport();
  QSize size = image.size();
  size.scale(page.size(), Qt::KeepAspectRatio);
  painter.setViewport(page.x(), page.y(), size.width(), size.height());
  painter.setWindow(image.rect());
  painter.drawPixmap(0, 0, image);
  painter.end();
}

void frmkeybd::Command1_Click() { close(); }
