// The File, Edit, Insert and Search menus of the compose window. The
// clipboard commands act on the box that last had the focus here (To,
// Subject, CC, BCC or the body); the others always act on the body.
#include "compose/newmessage.h"

#include "editing/editing.h"

void NewMessage::mnuOpen_Click() { editing::openFile(txtBody); }
void NewMessage::mnuSave_Click() { editing::saveBodyAs(txtBody); }
void NewMessage::mnuSaveAs_Click() { editing::saveBodyAs(txtBody); }

void NewMessage::mnuCut_Click() { editing::cutSelection(focusWidget()); }
void NewMessage::mnuCopy_Click() { editing::copySelection(focusWidget()); }
void NewMessage::mnuPaste_Click() { editing::pasteInto(focusWidget()); }
void NewMessage::mnuDelete_Click() { editing::deleteAtCaret(focusWidget()); }

void NewMessage::mnuSelAll_Click() {
  editing::selectAll(txtBody);
  // The body takes the focus, so Copy or Cut next acts on what is selected.
  txtBody->setFocus();
}

void NewMessage::mnudateTime_Click() { editing::insertDateTime(txtBody); }
void NewMessage::mnuInsertFile_Click() { editing::insertFile(txtBody); }
void NewMessage::mnuFind_Click() { editing::mnuFind_Click(txtBody, this); }
void NewMessage::mnuFindnext_Click() { editing::mnuFindnext_Click(txtBody, this); }
