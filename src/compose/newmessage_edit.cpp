// The File, Edit, Insert and Search menus of the compose window.
#include "compose/newmessage.h"

// These hand the body or the focused box to the edit commands, which are
// not in this program yet.
void NewMessage::mnuOpen_Click() {}
void NewMessage::mnuSave_Click() {}
void NewMessage::mnuSaveAs_Click() {}
void NewMessage::mnuCut_Click() {}
void NewMessage::mnuCopy_Click() {}
void NewMessage::mnuPaste_Click() {}
void NewMessage::mnuDelete_Click() {}
void NewMessage::mnuSelAll_Click() {}
void NewMessage::mnudateTime_Click() {}
void NewMessage::mnuInsertFile_Click() {}
void NewMessage::mnuFind_Click() {}
void NewMessage::mnuFindnext_Click() {}
