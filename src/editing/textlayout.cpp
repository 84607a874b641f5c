#include "editing/textlayout.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>

namespace editing {

namespace {

// Lines short enough to hold no long run are never measured.
bool mayHoldLongRun(qsizetype length, qsizetype longest) { return length > longest; }

bool blockWantsUnwrapped(const QTextBlock& block) {
  return mayHoldLongRun(block.length() - 1, kLongestWrappedRun) && hasUnbreakableRun(block.text());
}

bool textHasUnbreakableLine(const QString& text) {
  for (qsizetype start = 0; start < text.size();) {
    const qsizetype nl = text.indexOf(QLatin1Char('\n'), start);
    const qsizetype end = nl < 0 ? text.size() : nl;
    if (mayHoldLongRun(end - start, kLongestWrappedRun) &&
        hasUnbreakableRun(QStringView(text).sliced(start, end - start)))
      return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool hasUnbreakableRun(QStringView text, qsizetype longest) {
  if (!mayHoldLongRun(text.size(), longest))
    return false;
  QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text.data(), text.size());
  qsizetype previous = 0;
  for (qsizetype at = breaks.toNextBoundary(); at >= 0; at = breaks.toNextBoundary()) {
    if (at - previous > longest)
      return true;
    previous = at;
  }
  return text.size() - previous > longest;
}

void unwrapUnbreakableLines(QTextDocument* doc, int from, int to) {
  QTextBlock block = doc->findBlock(std::max(0, from));
  const QTextBlock last = to < 0 ? doc->lastBlock() : doc->findBlock(to);
  QTextCursor cursor(doc);
  for (; block.isValid(); block = block.next()) {
    const bool unwrap = blockWantsUnwrapped(block);
    if (block.blockFormat().nonBreakableLines() != unwrap) {
      QTextBlockFormat format;
      format.setNonBreakableLines(unwrap);
      cursor.setPosition(block.position());
      cursor.mergeBlockFormat(format);
    }
    if (block == last)
      break;
  }
}

void setLaidOutText(QTextEdit* box, const QString& text) {
  QTextDocument* doc = box->document();
  const bool undo = doc->isUndoRedoEnabled();
  doc->setUndoRedoEnabled(false);
  // Within an outer edit block the layout waits until the lines are marked.
  QTextCursor outer(doc);
  outer.beginEditBlock();
  box->setPlainText(text);
  unwrapUnbreakableLines(doc);
  outer.endEditBlock();
  doc->setUndoRedoEnabled(undo);
}

void setLaidOutText(QPlainTextEdit* box, const QString& text) {
  if (box->lineWrapMode() != QPlainTextEdit::NoWrap)
    box->setWordWrapMode(textHasUnbreakableLine(text) ? QTextOption::WrapAnywhere
                                                      : QTextOption::WrapAtWordBoundaryOrAnywhere);
  box->setPlainText(text);
}

// The insertion and the marking of its lines as one edit block.
template <typename Insert>
void insertMarked(QTextCursor& cursor, const Insert& insert) {
  cursor.beginEditBlock();
  const int from = cursor.selectionStart();
  insert();
  unwrapUnbreakableLines(cursor.document(), from, cursor.position());
  cursor.endEditBlock();
}

void insertLaidOutText(QTextCursor& cursor, const QString& text, const QTextCharFormat& format) {
  insertMarked(cursor, [&] { cursor.insertText(text, format); });
}

void insertLaidOutText(QTextCursor& cursor, const QString& text) {
  insertMarked(cursor, [&] { cursor.insertText(text); });
}

}  // namespace editing
