#pragma once
// Conversion between the 8-bit code text of the display fonts (Nelira98 for
// Sinhala, Velan_nm for Tamil) and real Unicode Sinhala and Tamil.
//
// Font text is in visual order: a Sinhala kombuva or a Tamil e/ee/ai sign
// stands before its consonant, zero-width marks (al-lakuna, rakaransaya,
// repaya, the dependent vowels below or above) follow the glyph they sit on,
// and the upper codes hold precomposed letters. Unicode text is in logical
// order, NFC, with ZWJ where a Sinhala conjunct needs it.
//
// Which characters convert: every code the font draws as a letter, sign or
// punctuation converts, including the codes 33..126 that carry letters (in
// Nelira98 "l" is KA; in Velan_nm "k" is KA): text in those fonts is never
// Latin. Characters the font does not map (controls, blank, codes without a
// glyph, anything above 255) pass through unchanged. The other way, every
// Sinhala or Tamil letter and sign the font can show becomes codes; other
// characters pass through unchanged, so a character above 255 in the result
// means the font cannot show it.
#include <QString>
#include <QStringView>
#include <optional>

enum class FontScript { Sinhala, Tamil };

// "sinhala" or "tamil", in any letter case.
std::optional<FontScript> fontScriptNamed(QStringView name);
// The display name of the script: "Sinhala" or "Tamil".
QString fontScriptName(FontScript script);

// Font codes (characters 0..255, as the message view holds them) to Unicode.
QString fontCodesToUnicode(QStringView codes, FontScript script);

// Unicode to font codes, spelled as the key table types them: a letter that
// can be typed in several ways gets the spelling every input mode of the
// script can type (for Sinhala AA "w" "d", not the upper-half code the
// character picker offers).
QString unicodeToFontCodes(QStringView unicode, FontScript script);

// True when the text holds at least one real Unicode character of the
// script (U+0D80..U+0DFF Sinhala, U+0B80..U+0BFF Tamil).
bool containsScript(QStringView text, FontScript script);
