#pragma once
// The Edit and Insert menus' clipboard, selection and date commands. The
// clipboard commands work on whichever field is active: a line edit (To,
// Subject, CC, BCC) or the body; any other widget is left alone.
class QTextEdit;
class QWidget;

namespace editing {

void cutSelection(QWidget* active);
void copySelection(QWidget* active);
void pasteInto(QWidget* active);
// Removes the selection, or the one character after the caret; a line break
// goes as a whole. At the very end of the text nothing happens.
void deleteAtCaret(QWidget* active);

// Selects the whole body, wherever the focus is.
void selectAll(QTextEdit* body);
// Puts the current date and time at the caret, replacing any selection.
void insertDateTime(QTextEdit* body);

}  // namespace editing
