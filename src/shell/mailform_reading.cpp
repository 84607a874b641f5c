// Listing folders and showing messages.
#include "shell/mailform.h"

void MailForm::setMessageListTabStops() {}
void MailForm::listFolders_Click() {}
void MailForm::listMessages_Click() {}
void MailForm::show_message() {}
void MailForm::render_message() {}
void MailForm::show_text_part() {}
void MailForm::list_attachment(int&) {}
void MailForm::append_body_text(const QString&) {}
QString MailForm::read_view_line(int) const { return {}; }
void MailForm::textBody_Click() {}
void MailForm::textBody_MouseUp() {}
void MailForm::textBody_DblClick() {}
void MailForm::mnuSaveAtt_Click() {}
void MailForm::ShowHeaders_Click() {}
void MailForm::ShowSourceMenu_Click() {}
