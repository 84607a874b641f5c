#pragma once
// The user's e-mail address and name.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

class UserInfo : public QDialog {
  Q_OBJECT
 public:
  explicit UserInfo(QWidget* parent = nullptr);

  QLineEdit* Email = nullptr;
  QLineEdit* UserName = nullptr;
  QCheckBox* save_info = nullptr;
  QPushButton* Ok = nullptr;
  QPushButton* Cancel = nullptr;

  void Form_Load();
  void Ok_Click();
  void Cancel_Click();
};
