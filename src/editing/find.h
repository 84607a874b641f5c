#pragma once
// The Search menu's commands on the compose body.
class QTextEdit;
class QWidget;

namespace editing {

// Searches the body for the find text from the caret and selects the match,
// or says "Cannot find "...".
void find_next(QTextEdit* body);

// Shows the Find dialog modally, filled with the body's selection or the last find text.
void mnuFind_Click(QTextEdit* body, QWidget* parent);

// Repeats the last search; with nothing searched yet, opens the Find dialog.
void mnuFindnext_Click(QTextEdit* body, QWidget* parent);

}  // namespace editing
