// Folder and message commands.
#include "shell/mailform.h"

void MailForm::mnuFolderNew_Click() {}
void MailForm::mnuFloderDel_Click() {}
void MailForm::mnuFloderRename_Click() {}
void MailForm::mnuClearFiles_Click(int) {}
void MailForm::clear_files(int) {}
void MailForm::Del_msg_Click() {}
void MailForm::Move_msg_Click() {}
