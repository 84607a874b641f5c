#include "shell/picturebutton.h"

#include <QMouseEvent>

PictureButton::PictureButton(int index, QWidget* parent) : QLabel(parent), index_(index) {
  setAlignment(Qt::AlignCenter);
  setCursor(Qt::PointingHandCursor);
  setRaised(true);
}

void PictureButton::setRaised(bool raised) {
  setFrameStyle(raised ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
  setLineWidth(1);
}

void PictureButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    Q_EMIT mouseDown(index_);
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton)
    return;
  Q_EMIT mouseUp(index_);
  if (rect().contains(event->position().toPoint()))
    Q_EMIT clicked(index_);
}
