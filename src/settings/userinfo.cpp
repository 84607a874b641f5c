#include "settings/userinfo.h"

#include "platform/prompter.h"
#include "settings/address.h"
#include "settings/dialogparts.h"
#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

UserInfo::UserInfo(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("UserInfo"));
  setWindowTitle(QStringLiteral("UserInfo"));
  auto* grid = new QGridLayout(this);
  Email = dialogparts::addField(grid, 0, QStringLiteral("E-Mail:"), QStringLiteral("Email"));
  UserName = dialogparts::addField(grid, 1, QStringLiteral("User Name:"), QStringLiteral("UserName"));
  save_info = dialogparts::addSaveInfo(grid, 2);
  std::tie(Ok, Cancel) = dialogparts::addButtons(grid, 3, this);
  connect(Ok, &QPushButton::clicked, this, &UserInfo::Ok_Click);
  connect(Cancel, &QPushButton::clicked, this, &UserInfo::Cancel_Click);
  Form_Load();
}

void UserInfo::Form_Load() {
  Email->setText(settings().user_email);
  UserName->setText(settings().user_name);
}

void UserInfo::Ok_Click() {
  TovelSettings& s = settings();
  s.user_email = Email->text();
  s.user_name = UserName->text();
  if (!save_info->isChecked())
    return;
  if (valid_address(s.user_email) && !s.user_name.trimmed().isEmpty()) {
    storeSettings(settingsBackend(), {QStringLiteral("USEREMAIL"), QStringLiteral("USERNAME")}, s);
    platform::msgBox(QStringLiteral("Values Saved"));
    accept();
  } else {
    platform::msgBox(QStringLiteral("Error in Information"));
  }
}

void UserInfo::Cancel_Click() { reject(); }
