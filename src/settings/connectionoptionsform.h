#pragma once
// The POP3 and SMTP servers and the POP3 account.
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class ConnectionOptionsForm : public QDialog {
  Q_OBJECT
 public:
  explicit ConnectionOptionsForm(QWidget* parent = nullptr);

  QLineEdit* PopHost = nullptr;
  QLineEdit* PopUserName = nullptr;
  QLineEdit* PopPasswd1 = nullptr;
  QLineEdit* PopPasswd2 = nullptr;
  QLineEdit* SmtpHost = nullptr;
  // Lets the password go to a server that offers no encryption.
  QCheckBox* AllowPlainLogin = nullptr;
  QCheckBox* save_info = nullptr;
  // Where the password is kept: the desktop keyring or the settings file.
  QLabel* PasswordPlace = nullptr;
  QPushButton* Ok = nullptr;
  QPushButton* Cancel = nullptr;

  void Form_Load();
  void Ok_Click();
  void Cancel_Click();
  // Warns when the user turns plain logins on.
  void AllowPlainLogin_Click(bool checked);
};
