#include "settings/connectionoptionsform.h"

#include "platform/prompter.h"
#include "settings/dialogparts.h"
#include "settings/passwordkeeper.h"
#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ConnectionOptionsForm::ConnectionOptionsForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ConnectionOptionsForm"));
  setWindowTitle(QStringLiteral("Connection Options"));
  auto* grid = new QGridLayout(this);
  PopHost = dialogparts::addField(grid, 0, QStringLiteral("POP Host:"), QStringLiteral("PopHost"));
  PopUserName = dialogparts::addField(grid, 1, QStringLiteral("User Name:"), QStringLiteral("PopUserName"));
  PopPasswd1 = dialogparts::addField(grid, 2, QStringLiteral("Password:"), QStringLiteral("PopPasswd1"), true);
  PopPasswd2 = dialogparts::addField(grid, 3, QStringLiteral("Password"), QStringLiteral("PopPasswd2"), true);
  SmtpHost = dialogparts::addField(grid, 4, QStringLiteral("SMTP Host:"), QStringLiteral("SmtpHost"));
  PasswordPlace = new QLabel(this);
  PasswordPlace->setObjectName(QStringLiteral("PasswordPlace"));
  grid->addWidget(PasswordPlace, 5, 1);
  AllowPlainLogin = new QCheckBox(QStringLiteral("Allow password without encryption"), this);
  AllowPlainLogin->setObjectName(QStringLiteral("AllowPlainLogin"));
  grid->addWidget(AllowPlainLogin, 6, 1);
  save_info = dialogparts::addSaveInfo(grid, 7);
  std::tie(Ok, Cancel) = dialogparts::addButtons(grid, 8, this);
  connect(AllowPlainLogin, &QCheckBox::clicked, this, &ConnectionOptionsForm::AllowPlainLogin_Click);
  connect(Ok, &QPushButton::clicked, this, &ConnectionOptionsForm::Ok_Click);
  connect(Cancel, &QPushButton::clicked, this, &ConnectionOptionsForm::Cancel_Click);
  Form_Load();
}

void ConnectionOptionsForm::Form_Load() {
  const TovelSettings& s = settings();
  PopHost->setText(s.pop_host);
  PopUserName->setText(s.pop_user);
  PopPasswd1->setText(s.pop_password);
  SmtpHost->setText(s.smtp_host);
  AllowPlainLogin->setChecked(s.allow_plain_login);
  PasswordPlace->setText(passwordPlaceText(s.password_place));
}

void ConnectionOptionsForm::AllowPlainLogin_Click(bool checked) {
  if (!checked)
    return;
  platform::msgBox(QStringLiteral("With this on, your password goes over the network unencrypted "
                                  "to a server that offers no encryption, and anyone on the way "
                                  "can read it. Turn it on only for a server that cannot encrypt, "
                                  "on a network you trust."),
                   {}, platform::MessageIcon::Exclamation);
}

void ConnectionOptionsForm::Ok_Click() {
  if (PopPasswd1->text().trimmed() != PopPasswd2->text().trimmed()) {
    platform::msgBox(QStringLiteral("Passwords Do not match !"));
    return;
  }
  TovelSettings& s = settings();
  s.pop_password = PopPasswd1->text().trimmed();
  s.pop_host = PopHost->text().trimmed();
  s.pop_user = PopUserName->text().trimmed();
  s.smtp_host = SmtpHost->text().trimmed();
  s.allow_plain_login = AllowPlainLogin->isChecked();
  if (!save_info->isChecked())
    return;
  if (s.pop_host.isEmpty() || s.pop_user.isEmpty() || s.pop_password.isEmpty() || s.smtp_host.isEmpty()) {
    platform::msgBox(QStringLiteral("Incorrect values !"));
    return;
  }
  storeSettings(settingsBackend(),
                {QStringLiteral("POPHOST"), QStringLiteral("POPUSER"), QStringLiteral("SMTPHOST"),
                 kPlainLoginName},
                s);
  passwordKeeper().store(s);
  platform::msgBox(QStringLiteral("Values Saved"));
  accept();
}

void ConnectionOptionsForm::Cancel_Click() { reject(); }
