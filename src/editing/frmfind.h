#pragma once
// The Find dialog: what to look for, case and direction. Each Find click
// searches the body once more; the dialog stays open until Cancel.
#include <QDialog>
#include <QTextEdit>
#include <QPointer>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace editing {

class frmFind : public QDialog {
  Q_OBJECT
 public:
  explicit frmFind(QTextEdit* body, QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QLineEdit* Text1 = nullptr;
  QCheckBox* chkCase = nullptr;
  QGroupBox* Frame1 = nullptr;
  std::array<QRadioButton*, 2> optDirection{};  // 0 Up, 1 Down
  QPushButton* cmdFind = nullptr;
  QPushButton* cmdcancel = nullptr;

  void Form_Load();
  void Text1_Change();
  void chkCase_Click();
  void optDirection_Click(int Index);
  void cmdFind_Click();
  void cmdCancel_Click();

  // Esc and the window's close button keep what was typed, as Cancel does.
  void reject() override;

 private:
  void buildControls();
  QPointer<QTextEdit> body_;
};

}  // namespace editing
