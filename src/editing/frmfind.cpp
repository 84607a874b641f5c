#include "editing/frmfind.h"

#include "editing/find.h"
#include "editing/findstate.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace editing {

namespace {

template <typename Widget>
Widget* named(Widget* widget, const QString& name, const QString& toolTip = {}) {
  widget->setObjectName(name);
  if (!toolTip.isEmpty())
    widget->setToolTip(toolTip);
  return widget;
}

}  // namespace

frmFind::frmFind(QTextEdit* body, QWidget* parent) : QDialog(parent), body_(body) {
  setObjectName(QStringLiteral("frmFind"));
  setWindowTitle(QStringLiteral("Find"));
  buildControls();
  connect(Text1, &QLineEdit::textChanged, this, &frmFind::Text1_Change);
  connect(chkCase, &QCheckBox::toggled, this, &frmFind::chkCase_Click);
  for (int i = 0; i < int(optDirection.size()); ++i)
    connect(optDirection[i], &QRadioButton::toggled, this, [this, i](bool on) {
      if (on)
        optDirection_Click(i);
    });
  connect(cmdFind, &QPushButton::clicked, this, &frmFind::cmdFind_Click);
  connect(cmdcancel, &QPushButton::clicked, this, &frmFind::cmdCancel_Click);
  Form_Load();
}

void frmFind::buildControls() {
  Label1 = named(new QLabel(QStringLiteral("Fi&nd What:"), this), QStringLiteral("Label1"));
  Text1 = named(new QLineEdit(this), QStringLiteral("Text1"), QStringLiteral("Text to Find"));
  Label1->setBuddy(Text1);
  Text1->setMinimumWidth(220);
  chkCase = named(new QCheckBox(QStringLiteral("Match &Case"), this), QStringLiteral("chkCase"),
                  QStringLiteral("Case Sensitivity"));
  Frame1 = named(new QGroupBox(QStringLiteral("Direction"), this), QStringLiteral("Frame1"));
  optDirection[0] = named(new QRadioButton(QStringLiteral("&Up"), Frame1), QStringLiteral("optDirection_0"),
                          QStringLiteral("Search to Beginning of Document"));
  optDirection[1] = named(new QRadioButton(QStringLiteral("&Down"), Frame1), QStringLiteral("optDirection_1"),
                          QStringLiteral("Search to End of Document"));
  auto* directions = new QHBoxLayout(Frame1);
  directions->addWidget(optDirection[0]);
  directions->addWidget(optDirection[1]);
  cmdFind = named(new QPushButton(QStringLiteral("&Find"), this), QStringLiteral("cmdFind"),
                  QStringLiteral("Start Search"));
  cmdFind->setDefault(true);
  cmdcancel = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("cmdcancel"),
                    QStringLiteral("Return to Notepad"));

  auto* grid = new QGridLayout(this);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(Text1, 0, 1, 1, 2);
  grid->addWidget(cmdFind, 0, 3);
  grid->addWidget(chkCase, 1, 0, 1, 2, Qt::AlignBottom);
  grid->addWidget(Frame1, 1, 2);
  grid->addWidget(cmdcancel, 1, 3, Qt::AlignTop);
  grid->setColumnStretch(1, 1);
  setFixedHeight(sizeHint().height());
}

void frmFind::Form_Load() {
  cmdFind->setEnabled(false);
  optDirection[findState().find_direction == 1 ? 1 : 0]->setChecked(true);
}

void frmFind::Text1_Change() {
  findState().find_fresh = true;
  cmdFind->setEnabled(!Text1->text().isEmpty());
}

void frmFind::chkCase_Click() { findState().find_match_case = chkCase->isChecked() ? 1 : 0; }

void frmFind::optDirection_Click(int Index) { findState().find_direction = Index; }

void frmFind::cmdFind_Click() {
  findState().find_text = Text1->text();
  if (body_)
    find_next(body_);
}

void frmFind::cmdCancel_Click() {
  findState().find_text = Text1->text();
  findState().find_match_case = chkCase->isChecked() ? 1 : 0;
  QDialog::reject();
}

void frmFind::reject() { cmdCancel_Click(); }

}  // namespace editing
