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

// The Language menu's sizes: the display fonts at 12 points, English at 10.
constexpr double kDisplayToEnglish = 10.0 / 12.0;

QFont withFamily(const QFont& base, const QString& family, double scale = 1.0) {
  QFont font = base;
  font.setFamilies({family});
  if (scale != 1.0 && base.pointSizeF() > 0)
    font.setPointSizeF(base.pointSizeF() * scale);
  return font;
}

}  // namespace

ScriptFonts::ScriptFonts(const QFont& base, bool pairSizes) : base_(base) {
  const bool baseIsDisplayFont = scriptOfFontFamily(base.family()).has_value();
  const double english = pairSizes && baseIsDisplayFont ? kDisplayToEnglish : 1.0;
  const double display = pairSizes && !baseIsDisplayFont ? 1.0 / kDisplayToEnglish : 1.0;
  fonts_[size_t(TextScript::Latin)] = withFamily(base, kEnglishFont, english);
  fonts_[size_t(TextScript::SinhalaFont)] = withFamily(base, kSinhalaFont, display);
  fonts_[size_t(TextScript::TamilFont)] = withFamily(base, kTamilFont, display);
  fonts_[size_t(TextScript::Sinhala)] = unicodeFont(FontScript::Sinhala, base);
  fonts_[size_t(TextScript::Tamil)] = unicodeFont(FontScript::Tamil, base);
}

int ScriptFonts::lineHeight() const {
  if (line_height_ == 0)
    for (const QFont& font : fonts_)
      line_height_ = std::max(line_height_, QFontMetrics(font).height());
  return line_height_;
}
