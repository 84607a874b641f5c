// The network side of the mail control.
#include "maillib/mailcontrol.h"
#include "maillib/netsession.h"

long MailControl::MessageSize(int) const { return 0; }

void MailControl::opConnect() {}
void MailControl::opDisconnect() {}
void MailControl::opDelete() {}
void MailControl::opRetrieve() {}
void MailControl::opSend() {}
