#include "language/scriptdetector.h"

#include "language/unicodefonts.h"

#include <array>

namespace {

struct Label {
  TextScript script;
  const char* text;
};
constexpr std::array<Label, 5> kLabels{{{TextScript::Latin, "latin"},
                                        {TextScript::SinhalaFont, "sinhala-font"},
                                        {TextScript::TamilFont, "tamil-font"},
                                        {TextScript::Sinhala, "sinhala"},
                                        {TextScript::Tamil, "tamil"}}};

}  // namespace

TextScript detectScript(QByteArrayView bytes) {
  const QString text = QString::fromUtf8(bytes);
  if (!text.contains(QChar::ReplacementCharacter))
    return detectScript(QStringView(text));
  return detectScript(QStringView(QString::fromLatin1(bytes)));
}

TextScript detectScript(QStringView text) {
  if (const std::optional<FontScript> script = unicodeScriptOf(text))
    return *script == FontScript::Sinhala ? TextScript::Sinhala : TextScript::Tamil;
  return TextScript::Latin;
}

QString scriptLabel(TextScript script) {
  for (const Label& label : kLabels)
    if (label.script == script)
      return QString::fromLatin1(label.text);
  return QStringLiteral("latin");
}

std::optional<TextScript> scriptFromLabel(QStringView label) {
  for (const Label& entry : kLabels)
    if (label == QLatin1String(entry.text))
      return entry.script;
  return std::nullopt;
}
