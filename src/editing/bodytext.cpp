#include "editing/bodytext.h"

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
  cursor.insertText(text);
  box->setTextCursor(cursor);
}

void replaceAll(QTextEdit* box, const QString& text) {
  QTextCursor cursor = box->textCursor();
  cursor.select(QTextCursor::Document);
  cursor.insertText(text);
  cursor.movePosition(QTextCursor::Start);
  box->setTextCursor(cursor);
}

QString withCrLf(const QString& text) {
  QString out;
  out.reserve(text.size() + text.size() / 32);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == u'\r') {
      if (i + 1 < text.size() && text.at(i + 1) == u'\n')
        ++i;
      out += QStringLiteral("\r\n");
    } else if (c == u'\n') {
      out += QStringLiteral("\r\n");
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace editing
