#pragma once
// Typing real Unicode through the key table, and turning Unicode text back
// into display-font codes. A key gives a font code, and font text is in
// visual order (a Sinhala kombuva or a Tamil e, ee or ai sign comes before
// its consonant), so a code cannot be converted on its own: the codes of the
// word being typed are kept and the word's Unicode is put in again at each
// key, so a finished word is exactly the conversion of all its codes. No
// window is involved: the box says where its caret is and what stands
// before it, and carries out the replacement.
#include "language/fontunicode.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace compose {

// Replace `length` characters at `from` by `text`.
struct TextReplacement {
  qsizetype from = 0;
  qsizetype length = 0;
  QString text;
};

class UnicodeTyping {
 public:
  // How many characters before the caret the word being typed shows.
  qsizetype shownLength() const { return shown_.size(); }
  // A key's code typed at caret; `before` holds the shownLength()
  // characters before the caret (fewer at the start of the box). When the
  // caret moved or the text there changed, a new word starts.
  TextReplacement type(QChar code, FontScript script, qsizetype caret, QStringView before);
  // Backspace takes the last code of the word being typed at caret; none
  // when no word is being typed there (the box deletes as usual).
  std::optional<TextReplacement> backspace(qsizetype caret, QStringView before);
  // A blank, Enter or text from elsewhere ends the word.
  void endWord();

 private:
  bool continues(FontScript script, qsizetype caret, QStringView before) const;
  TextReplacement render(QString codes);

  QString codes_;  // the word's font codes, in visual order
  QString shown_;  // their Unicode, as the box holds it from start_
  qsizetype start_ = 0;
  FontScript script_ = FontScript::Sinhala;
};

// Unicode text cut into pieces a display font can hold: the Sinhala or
// Tamil pieces as that font's codes (script set), the rest (Latin letters,
// signs the fonts lack) kept as they are (no script).
struct FontCodeRun {
  QString text;
  std::optional<FontScript> script;
};
struct FontCodeText {
  QList<FontCodeRun> runs;
  QString refused;  // Sinhala or Tamil letters the fonts cannot show, once each
};
// With `only`, letters of the other script are refused too (a box with a
// single font shows one script).
FontCodeText toFontCodeRuns(QStringView unicode, std::optional<FontScript> only = std::nullopt);

}  // namespace compose
