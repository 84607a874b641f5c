// The File, Edit, Insert and Search menus of the compose window. The
// clipboard commands act on the box that last had the focus here (To,
// Subject, CC, BCC or the body); the others always act on the body.
#include "compose/newmessage.h"

#include "editing/editing.h"

#include <QKeyEvent>

namespace {

// Copy and Cut typed in the body, handled as the Edit menu's commands.
class ExactClipboardKeys : public QObject {
 public:
  explicit ExactClipboardKeys(QTextEdit* body) : QObject(body), body_(body) { body->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != body_ || event->type() != QEvent::KeyPress)
      return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Copy))
      editing::copySelection(body_);
    else if (key->matches(QKeySequence::Cut))
      editing::cutSelection(body_);
    else
      return false;
    return true;
  }

 private:
  QTextEdit* body_;
};

}  // namespace

void NewMessage::routeBodyClipboardKeys() { new ExactClipboardKeys(txtBody); }

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
