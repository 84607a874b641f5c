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
    case 11: opRelease(); break;
    case 13:
      if (flags & 4)
        opRetrieve();
      else
        opLoadFile();
      break;
    case 15:
      if (flags & 64)
        opSend();
      else if (flags & 32)
        opWriteFile();
      else if (flags & 16)
        opWriteSource();
      // Flags 2: nothing to write.
      break;
    case 5:
      if (flags & 32)
        opSavePartFile();
      else
        opSavePartText();
      break;
    case 7: opEnterPart(); break;
    case 2: opLeavePart(); break;
    case 4: opAddPart(); break;
    case 9: opLoadPartFile(); break;
    default: break;
  }
}
