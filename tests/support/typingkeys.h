#pragma once
// The keys that type given font codes through the key table in one input
// mode, for tests that type words as a user does: the lowest key for each
// code, blanks and line ends as they are; none when a code has no key there.
#include "language/fontunicode.h"
#include "language/languagestate.h"

#include <QString>
#include <optional>

inline std::optional<QString> keysTyping(const QString& codes, int mode) {
  QString keys;
  for (const QChar code : codes) {
    if (code.unicode() < 33) {
      keys += code;
      continue;
    }
    int found = 0;
    for (int key = 33; key <= 255 && !found; ++key)
      if (language().translit_table[size_t(key)][size_t(mode)] == qint64(code.unicode()))
        found = key;
    if (!found)
      return std::nullopt;
    keys += QChar(found);
  }
  return keys;
}

// The keys that type a line of Unicode text (words and blanks) in a mode.
inline std::optional<QString> keysTypingText(const QString& unicode, FontScript script, int mode) {
  return keysTyping(unicodeToFontCodes(unicode, script), mode);
}
