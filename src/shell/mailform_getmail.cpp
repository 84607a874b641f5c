// The get-mail session and the server-side delete window.
#include "shell/mailform.h"

void MailForm::cmdGetMail_Click() {}
void MailForm::Mail1_Done() {}
void MailForm::Timer1_Timer() {}
void MailForm::Mail1_Progress(qint64, qint64) {}
void MailForm::Mail1_AsyncError(int, const QString&) {}
void MailForm::Mail1_Debug(const QString&) {}
void MailForm::chkBlocking_Click() {}
void MailForm::mnuBlocking_Click() {}
void MailForm::chkHostDelete_Click() {}
void MailForm::mnuHostDelete_Click() {}
void MailForm::chkTrace_Click() {}
void MailForm::mnuDelMsgSvr_Click() {}
