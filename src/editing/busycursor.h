#pragma once
// Shows the hourglass pointer for as long as the object lives.
#include <QCursor>
#include <QGuiApplication>

namespace editing {

class BusyCursor {
 public:
  BusyCursor() : active_(qGuiApp != nullptr) {
    if (active_)
      QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~BusyCursor() {
    if (active_)
      QGuiApplication::restoreOverrideCursor();
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool active_;
};

}  // namespace editing
