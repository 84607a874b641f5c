#include "compose/replywindow.h"

#include "compose/newmessage.h"
#include "editing/bodytext.h"

#include <QTextCursor>

namespace compose {

namespace {

void putQuoteIntoBody(QTextEdit* body, const ReplyDraft& draft, const QString& fontFamily) {
  // What is typed above the quote keeps the colour and font of typing.
  const QTextCharFormat typing = body->currentCharFormat();
  QTextCharFormat quoted = typing;
  quoted.setForeground(kQuoteColour);
  if (!fontFamily.isEmpty())
    quoted.setFontFamilies({fontFamily});
  const QString quote = editing::withLf(draft.quote);
  body->clear();
  QTextCursor cursor(body->document());
  cursor.beginEditBlock();
  if (draft.quoteRuns.isEmpty()) {
    cursor.insertText(quote, quoted);
  } else {
    // Each text in the font of its own script.
    const ScriptFonts fonts(body->font(), true);
    const ScriptRuns& runs = draft.quoteRuns;
    for (qsizetype i = 0; i < runs.size(); ++i) {
      const qsizetype end = i + 1 < runs.size() ? runs[i + 1].start : quote.size();
      QTextCharFormat format = quoted;
      const QFont& font = fonts.font(runs[i].script);
      format.setFontFamilies(font.families());
      format.setFontPointSize(font.pointSizeF());
      cursor.insertText(quote.mid(runs[i].start, end - runs[i].start), format);
    }
  }
  cursor.endEditBlock();
  cursor.movePosition(QTextCursor::Start);
  body->setTextCursor(cursor);
  body->setCurrentCharFormat(typing);
}

}  // namespace

void fillComposeWindow(NewMessage& window, const ReplyDraft& draft, const QString& quoteFontFamily) {
  putQuoteIntoBody(window.txtBody, draft, quoteFontFamily);
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
