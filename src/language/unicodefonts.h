#pragma once
// Which script a text or a font stands for, and the Unicode fonts that show
// real Sinhala and Tamil. The 8-bit display fonts (Nelira98, Velan_nm) draw
// their own codes only; Unicode text is shown in Noto Sans Sinhala / Tamil,
// or in whatever font the system offers for the script when those are
// missing, never in an 8-bit font.
#include "language/fontunicode.h"

#include <QFont>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// The script whose font codes a display font draws: Nelira98 Sinhala,
// Velan_nm Tamil (letter case ignored); none for any other font.
std::optional<FontScript> scriptOfFontFamily(const QString& family);

// The 8-bit display font of a script.
QString displayFontOf(FontScript script);

// The real Unicode script a text holds most letters of; none when it holds
// no Sinhala or Tamil letter.
std::optional<FontScript> unicodeScriptOf(QStringView text);

// True for a character of either script's Unicode block.
bool isScriptCharacter(QChar c);

// The family of the Unicode font for a script: "Noto Sans Sinhala" or
// "Noto Sans Tamil".
QString unicodeFontFamily(FontScript script);

// A copy of base that shows Unicode text of the given script first and of
// every other script after it: the script's Noto font, the other script's,
// then general Unicode fonts. Families this machine lacks are left out; with
// none left the family is the application's default one.
QFont unicodeFont(FontScript script, const QFont& base);
