#pragma once
// A toolbar picture: a framed bitmap that looks pressed (no border) while
// the mouse is down on it and reports clicks.
#include <QLabel>

class PictureButton : public QLabel {
  Q_OBJECT
 public:
  explicit PictureButton(int index, QWidget* parent = nullptr);
  int index() const { return index_; }
  void setRaised(bool raised);  // fixed single border when raised, none when pressed

 Q_SIGNALS:
  void clicked(int index);
  void mouseDown(int index);
  void mouseUp(int index);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int index_;
};
