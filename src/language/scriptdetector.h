#pragma once
// Which script a text is written in: Latin text, Sinhala or Tamil in the
// 8-bit codes of the display fonts (Nelira98, Velan_nm), or real Unicode
// Sinhala or Tamil. Works on short texts (a name, a date) as on letters.
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

enum class TextScript { Latin, SinhalaFont, TamilFont, Sinhala, Tamil };

// Bytes of a text as it lies in a message: 8-bit font codes, Latin text in
// any single-byte charset, or UTF-8.
TextScript detectScript(QByteArrayView bytes);

// Characters: font codes as QChar(0..255) one to one, or decoded Unicode.
TextScript detectScript(QStringView text);

// The label of a script: "latin", "sinhala-font", "tamil-font", "sinhala",
// "tamil".
QString scriptLabel(TextScript script);
std::optional<TextScript> scriptFromLabel(QStringView label);

// Unpacks the trained tables now rather than at the first text judged; safe
// to run on another thread while the program starts.
void preloadScriptModel();
