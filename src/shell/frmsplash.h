#pragma once
// The splash window: the product artwork and one label. It stays until the
// user clicks it or types a key.
#include <QDialog>

class QLabel;

class frmSplash : public QDialog {
  Q_OBJECT
 public:
  explicit frmSplash(QWidget* mainWindow);
  QLabel* picture = nullptr;
  QLabel* Label1 = nullptr;

  void Form_Click();
  void Form_KeyPress();
  void Label1_Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* main_;
};
