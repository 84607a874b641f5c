// Fonts of the main window and its Language menu.
#include "shell/mailform.h"

void MailForm::applyStartupFonts() {}
void MailForm::mnuLangSinh_Click(int) {}
