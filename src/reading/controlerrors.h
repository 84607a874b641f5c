#pragma once
// Collects the failures a mail control reports while one of its operations
// runs, so the caller can tell a failed load or save from a good one.
#include "maillib/mailcontrol.h"

#include <QMetaObject>

namespace reading {

class ControlErrorTrap {
 public:
  explicit ControlErrorTrap(MailControl* control);
  ~ControlErrorTrap();
  ControlErrorTrap(const ControlErrorTrap&) = delete;
  ControlErrorTrap& operator=(const ControlErrorTrap&) = delete;

  bool failed() const { return failed_; }
  int code() const { return code_; }
  const QString& text() const { return text_; }
  void reset() { failed_ = false; code_ = 0; text_.clear(); }

 private:
  QMetaObject::Connection connection_;
  bool failed_ = false;
  int code_ = 0;
  QString text_;
};

}  // namespace reading
