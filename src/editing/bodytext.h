#pragma once
// Text in and out of an editing box with every character kept. The body
// holds 8-bit font codes as characters 0..255, so the text must come out as
// typed: QTextEdit::toPlainText() would turn code 160 into a blank.
#include <QString>

class QTextEdit;

namespace editing {

// The box's whole text, each line break as '\n', every other character as it is.
QString bodyText(const QTextEdit* box);

// A selection or document fragment with its paragraph breaks as '\n'.
QString withNewlines(QString text);

// Replaces the box's selection (or inserts at the caret) with `text`, as one
// undoable step; the caret ends after the new text.
void replaceSelection(QTextEdit* box, const QString& text);

// Replaces the box's whole text with `text`, undoably; the caret goes to the start.
void replaceAll(QTextEdit* box, const QString& text);

// Text as the body holds it: every line break (CR LF, CR or LF) as '\n'.
QString withLf(QString text);

// Text as it is written to a file: every line break (CR LF, CR or LF) as CR LF.
QString withCrLf(const QString& text);

}  // namespace editing
