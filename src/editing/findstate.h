#pragma once
// What was searched for last and how: it outlives the find dialog, so Find
// Next repeats the last search with the last options.
#include <QString>

namespace editing {

struct FindState {
  QString find_text;
  int find_match_case = 0;       // non-zero: case-sensitive
  int find_direction = 0;        // 1: down; anything else: up
  qsizetype find_last_pos = 0;   // the body's selection start after the last search
  bool find_fresh = false;       // the text or the dialog was set up since the last search
};

// The program-wide find state.
FindState& findState();

// Where the next match of state.find_text starts in `body`, or -1.
// Down: the first match at or after the caret, or after it when the caret
// still sits on the previous match. Up: the last match that ends at or
// before the caret.
qsizetype findMatch(const QString& body, qsizetype selectionStart, const FindState& state);

}  // namespace editing
