#include "compose/unicodetyping.h"

#include "language/unicodefonts.h"

namespace compose {

namespace {

// A word this long is cut: a key never costs more than this many codes.
constexpr qsizetype kLongestWord = 256;
constexpr char16_t kZwj = 0x200D;
constexpr char16_t kZwnj = 0x200C;

// Blanks, digits and punctuation that come back unchanged through the font
// may stand inside a piece of script text; Latin letters never do.
bool travelsWithScript(QChar c, FontScript script) {
  if (c.unicode() == kZwj || c.unicode() == kZwnj)
    return true;
  if (c.isLetterOrNumber() && !c.isDigit())
    return false;
  const QString one(c);
  return fontCodesToUnicode(unicodeToFontCodes(one, script), script) == one;
}

}  // namespace

bool UnicodeTyping::continues(FontScript script, qsizetype caret, QStringView before) const {
  return !codes_.isEmpty() && script == script_ && caret == start_ + shown_.size() && before == shown_ &&
         codes_.size() < kLongestWord;
}

TextReplacement UnicodeTyping::render(QString codes) {
  QString shown = fontCodesToUnicode(codes, script_);
  // Only what changed is replaced: mostly the key adds to the end.
  qsizetype same = 0;
  while (same < shown.size() && same < shown_.size() && shown[same] == shown_[same])
    ++same;
  TextReplacement step{start_ + same, shown_.size() - same, shown.mid(same)};
  codes_ = std::move(codes);
  shown_ = std::move(shown);
  if (codes_.isEmpty())
    endWord();
  return step;
}

TextReplacement UnicodeTyping::type(QChar code, FontScript script, qsizetype caret, QStringView before) {
  if (!continues(script, caret, before)) {
    endWord();
    start_ = caret;
    script_ = script;
  }
  return render(codes_ + code);
}

std::optional<TextReplacement> UnicodeTyping::backspace(qsizetype caret, QStringView before) {
  if (!continues(script_, caret, before))
    return std::nullopt;
  return render(codes_.left(codes_.size() - 1));
}

void UnicodeTyping::endWord() {
  codes_.clear();
  shown_.clear();
}

FontCodeText toFontCodeRuns(QStringView unicode, std::optional<FontScript> only) {
  FontCodeText out;
  auto refuse = [&out](QChar c) {
    if (!out.refused.contains(c))
      out.refused += c;
  };
  qsizetype i = 0;
  while (i < unicode.size()) {
    // A piece of script text runs from a letter of the script over the
    // characters that may stand in it.
    if (isScriptCharacter(unicode[i])) {
      const FontScript script = *unicodeScriptOf(unicode.mid(i, 1));
      qsizetype end = i + 1;
      while (end < unicode.size() && (isScriptCharacter(unicode[end]) ? unicodeScriptOf(unicode.mid(end, 1)) == script
                                                                      : travelsWithScript(unicode[end], script)))
        ++end;
      const QString codes = unicodeToFontCodes(unicode.mid(i, end - i), script);
      for (const QChar c : codes)
        if (isScriptCharacter(c) || c.unicode() == kZwj || c.unicode() == kZwnj)
          refuse(c);
      if (only && script != *only)
        for (const QChar c : unicode.mid(i, end - i))
          if (isScriptCharacter(c))
            refuse(c);
      out.runs.append({codes, script});
      i = end;
      continue;
    }
    qsizetype end = i + 1;
    while (end < unicode.size() && !isScriptCharacter(unicode[end]))
      ++end;
    out.runs.append({unicode.mid(i, end - i).toString(), std::nullopt});
    i = end;
  }
  return out;
}

}  // namespace compose
