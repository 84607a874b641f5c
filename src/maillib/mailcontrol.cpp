#include "maillib/mailcontrol.h"

#include "maillib/messageengine.h"
#include "maillib/netsession.h"

MailControl::MailControl(QObject* parent)
    : QObject(parent),
      engine_(std::make_unique<maillib::MessageEngine>()),
      net_(std::make_unique<maillib::NetSession>(this)) {}

MailControl::~MailControl() = default;

void MailControl::reportError(int code, const QString& message) {
  last_failed_ = true;
  if (debug_mode_ == 1)
    Q_EMIT Debug(QStringLiteral("error %1: %2").arg(code).arg(message));
  Q_EMIT AsyncError(code, message);
}

void MailControl::setActionCode(int code) {
  action_code_ = code;
  last_failed_ = false;
  const int flags = transfer_flags_;
  switch (code) {
    case 3: opConnect(); break;
    case 8: opDisconnect(); break;
    case 10: opDelete(); break;
    case 13:
      if (flags & 4)
        opRetrieve();
      else
        runMessageCode(code, flags);
      break;
    case 15:
      if (flags & 64)
        opSend();
      else
        runMessageCode(code, flags);
      break;
    default: runMessageCode(code, flags); break;
  }
}
