#pragma once
// Small rules of message display: which transfer encodings the mail control
// decodes into text, names for parts that carry none, and HTML shown as text.
#include <QString>

namespace reading {

// base64, quoted-printable, mac-binhex40, x-uuencode, in any letter case.
bool isDecodedEncoding(const QString& transferEncoding);

// A name for a part that carries no file name: "part3.png", "part2.eml", ...
// (number counted from 1).
QString generatedPartName(const QString& type, const QString& subtype, int number);

// The readable text of an HTML document (tags dropped, entities decoded,
// paragraphs as lines).
QString htmlToText(const QString& html);

// Line breaks as the message view takes them: CR LF, lone CR and the
// paragraph separator become LF, so each view line ends in exactly one LF;
// the two characters the view reads as frame marks become U+FFFD.
QString viewLineBreaks(QString text);

// Whether a message of this size (in characters) is shown in the source
// window; beyond this it is "too large".
inline constexpr qsizetype kMaxSourceChars = qsizetype(128) * 1024 * 1024;

}  // namespace reading
