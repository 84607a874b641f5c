#include "shell/frmsplash.h"

#include "platform/paths.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QVBoxLayout>

frmSplash::frmSplash(QWidget* mainWindow) : QDialog(mainWindow), main_(mainWindow) {
  setObjectName(QStringLiteral("frmSplash"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("picture"));
  const QPixmap art(platform::joinPath(platform::programFolder(), QStringLiteral("splash.png")));
  if (art.isNull())
    picture->setText(QStringLiteral("Tovel Mail 98"));
  else
    picture->setPixmap(art);
  picture->installEventFilter(this);
  layout->addWidget(picture);
  Label1 = new QLabel(QStringLiteral("Click here or press a key to start"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  Label1->installEventFilter(this);
  layout->addWidget(Label1);
}

void frmSplash::showEvent(QShowEvent* event) {
  // Form_Load: the main window appears behind the splash.
  if (main_)
    main_->show();
  QDialog::showEvent(event);
  raise();
  activateWindow();
}

void frmSplash::Form_Click() { accept(); }
void frmSplash::Form_KeyPress() { accept(); }

void frmSplash::Label1_Click() {
  accept();
  if (main_)
    main_->show();
}

void frmSplash::mousePressEvent(QMouseEvent*) { Form_Click(); }

void frmSplash::keyPressEvent(QKeyEvent*) { Form_KeyPress(); }

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == Label1)
      Label1_Click();
    else
      Form_Click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
