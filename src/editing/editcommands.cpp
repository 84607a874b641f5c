#include "editing/editcommands.h"

#include "editing/bodytext.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextEdit>

namespace editing {

namespace {

QString selectedText(QWidget* active) {
  if (auto* line = qobject_cast<QLineEdit*>(active))
    return line->echoMode() == QLineEdit::Normal ? line->selectedText() : QString();
  if (auto* box = qobject_cast<QTextEdit*>(active))
    return withNewlines(box->textCursor().selectedText());
  return {};
}

void removeSelection(QWidget* active) {
  if (auto* line = qobject_cast<QLineEdit*>(active)) {
    if (!line->isReadOnly())
      line->del();
  } else if (auto* box = qobject_cast<QTextEdit*>(active)) {
    if (!box->isReadOnly())
      replaceSelection(box, {});
  }
}

// A one-line field cannot hold line breaks: each becomes a blank, so a
// pasted paragraph cannot break a header line.
QString asOneLine(QString text) {
  static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
  return text.replace(lineBreak, QStringLiteral(" "));
}

void deleteInLine(QLineEdit* line) {
  if (line->hasSelectedText()) {
    line->del();
    return;
  }
  const QString text = line->text();
  const int caret = line->cursorPosition();
  if (caret >= text.size())
    return;
  const bool crLf = text.at(caret) == u'\r' && caret + 1 < text.size() && text.at(caret + 1) == u'\n';
  line->setSelection(caret, crLf ? 2 : 1);
  line->del();
}

// Blanks the locale may put into dates (narrow and no-break spaces) are not
// in the body's code page.
QString inCodePageBlanks(QString text) {
  for (QChar& c : text)
    if (c.unicode() > 0xFF && c.isSpace())
      c = u' ';
  return text;
}

}  // namespace

void copySelection(QWidget* active) {
  const QString text = selectedText(active);
  if (!text.isEmpty())
    QGuiApplication::clipboard()->setText(text);
}

void cutSelection(QWidget* active) {
  const QString text = selectedText(active);
  if (text.isEmpty())
    return;
  QGuiApplication::clipboard()->setText(text);
  removeSelection(active);
}

void pasteInto(QWidget* active) {
  const QString text = QGuiApplication::clipboard()->text();
  if (text.isEmpty())
    return;
  if (auto* line = qobject_cast<QLineEdit*>(active)) {
    if (!line->isReadOnly())
      line->insert(asOneLine(text));
  } else if (auto* box = qobject_cast<QTextEdit*>(active)) {
    if (!box->isReadOnly())
      replaceSelection(box, text);
  }
}

void deleteAtCaret(QWidget* active) {
  if (auto* line = qobject_cast<QLineEdit*>(active)) {
    if (!line->isReadOnly())
      deleteInLine(line);
  } else if (auto* box = qobject_cast<QTextEdit*>(active)) {
    if (box->isReadOnly())
      return;
    QTextCursor cursor = box->textCursor();
    cursor.deleteChar();
    box->setTextCursor(cursor);
  }
}

void selectAll(QTextEdit* body) {
  if (body)
    body->selectAll();
}

void insertDateTime(QTextEdit* body) {
  if (!body)
    return;
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  const QString stamp = locale.toString(now.date(), QLocale::ShortFormat) + u' ' +
                        locale.toString(now.time(), QLocale::ShortFormat);
  replaceSelection(body, inCodePageBlanks(stamp));
}

}  // namespace editing

