// Reply, forward, new message and out-box delivery: the compose window is
// not built yet, so these only do what needs no compose window.
#include "shell/mailform.h"

void MailForm::cmdReply_Click() {}
void MailForm::forward_msg_Click() {}
void MailForm::news_msg_Click() { mnuDelMsgSvr->setEnabled(true); }
void MailForm::MnuDeliverMessages_Click() {}
