#pragma once
// Unicode from an input method going into text: as it is into Unicode text,
// or as a display font's codes into font-code text. A method may finish a
// letter in pieces (a vowel sign after its consonant) or take back what it
// typed, so font codes are never made for a piece alone: the word before the
// caret is read back as Unicode, the piece joins it, and only the codes that
// change are replaced. No window is involved.
#include "language/fontunicode.h"
#include "language/m17ninput.h"

#include <QString>
#include <QStringView>
#include <optional>

// A change just before the caret: remove that many characters, then insert.
struct CaretEdit {
  int removeBefore = 0;
  QString insert;
  QString refused;  // what the font cannot show; left out of insert
};

// How far back the word before the caret reaches in text: its start, after
// the last blank or line break and at most a few dozen characters back.
qsizetype wordStartBefore(QStringView textBeforeCaret);

// typed (Unicode) going in after codesBefore, the codes of the word before
// the caret. Characters the font cannot show are refused, the rest go in.
CaretEdit typeIntoFontCodes(QStringView codesBefore, QStringView typed, FontScript script);
// The codes of unicode in the font, when the font shows every character.
std::optional<QString> fontCodesShowing(const QString& unicode, FontScript script);
// Removing the last count Unicode characters of that word.
CaretEdit deleteFromFontCodes(QStringView codesBefore, int count, FontScript script);

// text less its last count characters (a surrogate pair is one).
QString withoutLastCharacters(QString text, int count);

// A text typed into through a method, without a window: Unicode, or the
// codes of a font when a script is given. The command line types into one a
// line at a time; tests hold one beside the compose window.
class M17nTypedText {
 public:
  explicit M17nTypedText(std::optional<FontScript> fontScript = std::nullopt) : script_(fontScript) {}

  // Connects the method's look at the text before the caret to this text.
  void attach(M17nInput& input);
  // A key through the method; a key the method leaves alone is typed as
  // itself (printable ones; BackSpace removes the last character).
  void key(M17nInput& input, const QString& keyName);
  // Every character of a line as a key (a backspace character is
  // Backspace); a blank finishes the pending text and is typed as itself.
  // The line's end finishes the pending text.
  void typeLine(M17nInput& input, QStringView keys);
  void commit(M17nInput& input);
  // Unicode text in at the end: refused characters are kept in refused().
  void insert(const QString& unicode);
  void removeLast(int count);

  const QString& text() const { return text_; }
  const QString& refused() const { return refused_; }
  void clear() { text_.clear(); refused_.clear(); }

 private:
  QString unicodeBefore(int count) const;
  std::optional<FontScript> script_;
  QString text_;
  QString refused_;
};
