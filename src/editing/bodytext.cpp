#include "editing/bodytext.h"

#include "editing/textlayout.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace editing {

QString withNewlines(QString text) {
  text.replace(QChar::ParagraphSeparator, u'\n');
  text.replace(QChar::LineSeparator, u'\n');
  return text;
}

QString bodyText(const QTextEdit* box) { return withNewlines(box->document()->toRawText()); }

void replaceSelection(QTextEdit* box, const QString& text) {
  QTextCursor cursor = box->textCursor();
  // One edit block: the layout is redone once, not once per inserted line.
  insertLaidOutText(cursor, text);
  box->setTextCursor(cursor);
}

void replaceAll(QTextEdit* box, const QString& text) {
  QTextCursor cursor = box->textCursor();
  cursor.select(QTextCursor::Document);
  insertLaidOutText(cursor, text);
  cursor.movePosition(QTextCursor::Start);
  box->setTextCursor(cursor);
}

QString withLf(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

QString withCrLf(const QString& text) { return withLf(text).replace(u'\n', QStringLiteral("\r\n")); }

}  // namespace editing
