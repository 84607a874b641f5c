#include "maillib/netsession.h"

#include "maillib/mailcontrol.h"

namespace maillib {

NetSession::NetSession(MailControl* control) : QObject(nullptr), control_(control) {}
NetSession::~NetSession() = default;

}  // namespace maillib
