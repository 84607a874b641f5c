#include "compose/replywindow.h"

#include "compose/newmessage.h"
#include "editing/bodytext.h"
#include "editing/textlayout.h"
#include "language/unicodefonts.h"

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
  editing::insertLaidOutText(cursor, quote, quoted);
  // Each text in the font of its own script, in the same undo step.
  cursor.joinPreviousEditBlock();
  const ScriptFonts fonts(body->font(), true);
  const ScriptRuns& runs = draft.quoteRuns;
  for (qsizetype i = 0; i < runs.size(); ++i) {
    const qsizetype end = i + 1 < runs.size() ? runs[i + 1].start : quote.size();
    QTextCharFormat format;
    const QFont& font = fonts.font(runs[i].script);
    format.setFontFamilies(font.families());
    format.setFontPointSize(font.pointSizeF());
    cursor.setPosition(int(runs[i].start));
    cursor.setPosition(int(end), QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(format);
  }
  cursor.endEditBlock();
  cursor.movePosition(QTextCursor::Start);
  body->setTextCursor(cursor);
  body->setCurrentCharFormat(typing);
}

}  // namespace

void fillComposeWindow(NewMessage& window, const ReplyDraft& draft, const QString& quoteFontFamily) {
  // Real Unicode is answered in Unicode, a message read as a display font's
  // codes in those codes; otherwise the window's own choice stays.
  if (unicodeScriptOf(draft.quote + draft.subject))
    window.setWritesUnicode(true);
  else if (scriptOfFontFamily(quoteFontFamily))
    window.setWritesUnicode(false);
  putQuoteIntoBody(window.txtBody, draft, quoteFontFamily);
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
