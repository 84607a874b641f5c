#include "editing/findstate.h"

#include <algorithm>

namespace editing {

FindState& findState() {
  static FindState state;
  return state;
}

qsizetype findMatch(const QString& body, qsizetype selectionStart, const FindState& state) {
  const QString& needle = state.find_text;
  if (needle.isEmpty())
    return -1;
  const qsizetype caret = std::clamp<qsizetype>(selectionStart, 0, body.size());
  const Qt::CaseSensitivity cs = state.find_match_case ? Qt::CaseSensitive : Qt::CaseInsensitive;

  if (state.find_direction == 1) {
    const bool onPreviousMatch = !state.find_fresh && state.find_last_pos == caret;
    return body.indexOf(needle, caret + (onPreviousMatch ? 1 : 0), cs);
  }
  const qsizetype lastStart = caret - needle.size();
  if (lastStart < 0)
    return -1;
  return body.lastIndexOf(needle, lastStart, cs);
}

}  // namespace editing
