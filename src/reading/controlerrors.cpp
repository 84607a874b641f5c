#include "reading/controlerrors.h"

namespace reading {

ControlErrorTrap::ControlErrorTrap(MailControl* control) {
  connection_ = QObject::connect(control, &MailControl::AsyncError, control, [this](int code, const QString& text) {
    if (failed_)
      return;  // the first failure is the cause
    failed_ = true;
    code_ = code;
    text_ = text;
  });
}

ControlErrorTrap::~ControlErrorTrap() { QObject::disconnect(connection_); }

}  // namespace reading
