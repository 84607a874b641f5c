#include "language/unicodefonts.h"

#include "language/languagestate.h"

#include <QGuiApplication>
#include <QFontDatabase>

namespace {

constexpr char16_t kSinhalaFirst = 0x0D80;
constexpr char16_t kTamilFirst = 0x0B80;
constexpr char16_t kBlockSize = 0x80;

bool inBlock(QChar c, char16_t first) { return c.unicode() >= first && c.unicode() < first + kBlockSize; }

FontScript otherScript(FontScript script) {
  return script == FontScript::Sinhala ? FontScript::Tamil : FontScript::Sinhala;
}

}  // namespace

std::optional<FontScript> scriptOfFontFamily(const QString& family) {
  if (family.compare(kSinhalaFont, Qt::CaseInsensitive) == 0)
    return FontScript::Sinhala;
  if (family.compare(kTamilFont, Qt::CaseInsensitive) == 0)
    return FontScript::Tamil;
  return std::nullopt;
}

QString displayFontOf(FontScript script) { return script == FontScript::Sinhala ? kSinhalaFont : kTamilFont; }

bool isScriptCharacter(QChar c) { return inBlock(c, kSinhalaFirst) || inBlock(c, kTamilFirst); }

std::optional<FontScript> unicodeScriptOf(QStringView text) {
  qsizetype sinhala = 0;
  qsizetype tamil = 0;
  for (const QChar c : text) {
    sinhala += inBlock(c, kSinhalaFirst);
    tamil += inBlock(c, kTamilFirst);
  }
  if (sinhala == 0 && tamil == 0)
    return std::nullopt;
  return sinhala >= tamil ? FontScript::Sinhala : FontScript::Tamil;
}

QString unicodeFontFamily(FontScript script) {
  return script == FontScript::Sinhala ? QStringLiteral("Noto Sans Sinhala") : QStringLiteral("Noto Sans Tamil");
}

QFont unicodeFont(FontScript script, const QFont& base) {
  const QStringList wanted = {unicodeFontFamily(script), unicodeFontFamily(otherScript(script)),
                              QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")};
  QStringList present;
  for (const QString& family : wanted)
    if (QFontDatabase::hasFamily(family))
      present.append(family);
  if (present.isEmpty())
    present.append(QGuiApplication::font().family());
  QFont font = base;
  font.setFamilies(present);
  return font;
}
