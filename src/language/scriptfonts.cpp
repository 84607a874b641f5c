#include "language/scriptfonts.h"

#include "language/languagestate.h"
#include "language/unicodefonts.h"

#include <QFontMetrics>

bool isFontCodeScript(TextScript script) {
  return script == TextScript::SinhalaFont || script == TextScript::TamilFont;
}

void appendRun(ScriptRuns& runs, qsizetype start, TextScript script) {
  if (runs.isEmpty() || runs.back().script != script)
    runs.append({start, script});
}

namespace {

QFont withFamily(const QFont& base, const QString& family) {
  QFont font = base;
  font.setFamilies({family});
  return font;
}

}  // namespace

ScriptFonts::ScriptFonts(const QFont& base) : base_(base) {
  fonts_[size_t(TextScript::Latin)] = withFamily(base, kEnglishFont);
  fonts_[size_t(TextScript::SinhalaFont)] = withFamily(base, kSinhalaFont);
  fonts_[size_t(TextScript::TamilFont)] = withFamily(base, kTamilFont);
  fonts_[size_t(TextScript::Sinhala)] = unicodeFont(FontScript::Sinhala, base);
  fonts_[size_t(TextScript::Tamil)] = unicodeFont(FontScript::Tamil, base);
  for (const QFont& font : fonts_)
    line_height_ = std::max(line_height_, QFontMetrics(font).height());
}
