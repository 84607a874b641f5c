// Reply, forward, new message and out-box delivery.
#include "compose/newmessage.h"
#include "shell/mailform.h"

void MailForm::cmdReply_Click() {}
void MailForm::forward_msg_Click() {}
void MailForm::news_msg_Click() {
  NewMessage* compose = newMessage();
  compose->show();
  compose->raise();
  compose->activateWindow();
  mnuDelMsgSvr->setEnabled(true);
}
void MailForm::MnuDeliverMessages_Click() {}
