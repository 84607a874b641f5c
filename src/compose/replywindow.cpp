#include "compose/replywindow.h"

#include "compose/newmessage.h"
#include "editing/bodytext.h"

#include <QTextCursor>

namespace compose {

namespace {

void putQuoteIntoBody(QTextEdit* body, const QString& quote) {
  const QColor typed = body->textColor();
  QTextCharFormat quoted = body->currentCharFormat();
  quoted.setForeground(kQuoteColour);
  body->clear();
  QTextCursor cursor(body->document());
  cursor.beginEditBlock();
  cursor.insertText(editing::withLf(quote), quoted);
  cursor.endEditBlock();
  cursor.movePosition(QTextCursor::Start);
  body->setTextCursor(cursor);
  body->setTextColor(typed);
}

}  // namespace

void fillComposeWindow(NewMessage& window, const ReplyDraft& draft) {
  putQuoteIntoBody(window.txtBody, draft.quote);
  window.txtTo->setText(draft.to);
  window.txtSubject->setText(draft.subject);
  if (!draft.forward)
    return;
  window.clearAttachments();
  window.forwardlist->clear();
  for (const QString& file : draft.files)
    window.forwardlist->addItem(file);
}

}  // namespace compose
