#pragma once
// The font each script is shown in when every text picks its own: the
// 8-bit display fonts for their codes (Nelira98, Velan_nm), the Unicode
// fonts for real Sinhala and Tamil, the English font for Latin text.
#include "language/scriptdetector.h"

#include <QFont>
#include <QList>
#include <array>

// True for Sinhala and Tamil in the codes of an 8-bit display font.
bool isFontCodeScript(TextScript script);

// A stretch of a text in one script: from start to the start of the next
// run, or to the end of the text.
struct ScriptRun {
  qsizetype start = 0;
  TextScript script = TextScript::Latin;
  bool operator==(const ScriptRun&) const = default;
};
using ScriptRuns = QList<ScriptRun>;

// Appends a run unless the text goes on in the script of the last one.
void appendRun(ScriptRuns& runs, qsizetype start, TextScript script);

// The fonts of the five scripts for one base font (its size and style
// kept), made once. With sizes paired, the English font and the display
// fonts take the sizes the Language menu pairs them with (Verdana 10 beside
// Nelira98 and Velan_nm 12), whichever of them the base is.
class ScriptFonts {
 public:
  explicit ScriptFonts(const QFont& base = QFont(), bool pairSizes = false);
  const QFont& base() const { return base_; }
  const QFont& font(TextScript script) const { return fonts_[size_t(script)]; }
  // The tallest line any of the fonts needs; measured on first use, since
  // measuring loads every font.
  int lineHeight() const;

 private:
  QFont base_;
  std::array<QFont, 5> fonts_;
  mutable int line_height_ = 0;
};
