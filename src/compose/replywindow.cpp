#include "compose/replywindow.h"

#include "compose/newmessage.h"
#include "editing/bodytext.h"
#include "editing/textlayout.h"

#include <QTextCursor>

namespace compose {

namespace {

void putQuoteIntoBody(QTextEdit* body, const QString& quote, const QString& fontFamily) {
  // What is typed above the quote keeps the colour and font of typing.
  const QTextCharFormat typing = body->currentCharFormat();
  QTextCharFormat quoted = typing;
  quoted.setForeground(kQuoteColour);
  if (!fontFamily.isEmpty())
    quoted.setFontFamilies({fontFamily});
  body->clear();
  QTextCursor cursor(body->document());
  editing::insertLaidOutText(cursor, editing::withLf(quote), quoted);
  cursor.movePosition(QTextCursor::Start);
  body->setTextCursor(cursor);
  body->setCurrentCharFormat(typing);
}

}  // namespace

void fillComposeWindow(NewMessage& window, const ReplyDraft& draft, const QString& quoteFontFamily) {
  putQuoteIntoBody(window.txtBody, draft.quote, quoteFontFamily);
  window.txtTo->setText(draft.to);
  window.txtSubject->setText(draft.subject);
  if (!draft.forward)
    return;
  window.clearAttachments();
  window.forwardlist->clear();
  // Each path with the name it goes out under: the saved file may carry
  // another name when Files held one with other bytes.
  for (qsizetype i = 0; i < draft.files.size(); ++i)
    window.forwardlist->addItem(draft.files[i], draft.fileNames.value(i));
}

}  // namespace compose
