// The network side of the mail control.
#include "maillib/mailcontrol.h"
#include "maillib/netsession.h"

long MailControl::MessageSize(int n) const { return net_->messageSize(n); }
QString MailControl::MessageUidl(int n) const { return net_->uidl(n); }
void MailControl::setRetrievalPlan(const QList<int>& numbers) { net_->setRetrievalPlan(numbers); }

void MailControl::opConnect() { net_->start(maillib::NetSession::Kind::Connect); }
void MailControl::opDisconnect() { net_->start(maillib::NetSession::Kind::Disconnect); }
void MailControl::opDelete() { net_->start(maillib::NetSession::Kind::Delete); }
void MailControl::opRetrieve() { net_->start(maillib::NetSession::Kind::Retrieve); }
void MailControl::opSend() { net_->start(maillib::NetSession::Kind::Send); }
