#include "settings/dialogparts.h"

#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace dialogparts {

namespace {

// The GotFocus handlers of the settings boxes: select the whole text.
class SelectAllOnFocus : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) {
      auto* box = static_cast<QLineEdit*>(watched);
      QTimer::singleShot(0, box, [box] { box->setSelection(0, box->text().size()); });
    }
    return false;
  }
};

}  // namespace

QLineEdit* addField(QGridLayout* grid, int row, const QString& label, const QString& objectName,
                    bool password) {
  auto* box = new QLineEdit(grid->parentWidget());
  box->setObjectName(objectName);
  box->setMinimumWidth(220);
  if (password)
    box->setEchoMode(QLineEdit::Password);
  box->installEventFilter(new SelectAllOnFocus(box));
  auto* caption = new QLabel(label, grid->parentWidget());
  caption->setBuddy(box);
  grid->addWidget(caption, row, 0);
  grid->addWidget(box, row, 1);
  return box;
}

QCheckBox* addSaveInfo(QGridLayout* grid, int row) {
  auto* box = new QCheckBox(QStringLiteral("Save Info"), grid->parentWidget());
  box->setObjectName(QStringLiteral("save_info"));
  box->setChecked(true);
  grid->addWidget(box, row, 1);
  return box;
}

std::pair<QPushButton*, QPushButton*> addButtons(QGridLayout* grid, int row, QDialog* dialog) {
  auto* ok = new QPushButton(QStringLiteral("Ok"), dialog);
  ok->setObjectName(QStringLiteral("Ok"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
  cancel->setObjectName(QStringLiteral("Cancel"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, row, 0, 1, 2);
  return {ok, cancel};
}

}  // namespace dialogparts
