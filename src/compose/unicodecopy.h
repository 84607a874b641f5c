#pragma once
// The Unicode copy of an outgoing message and the conversion of pasted
// Unicode Sinhala and Tamil into font codes. The body is typed in 8-bit
// font codes; each run of it converts by the font it is shown in, so the
// copy says what the writer saw. No window is involved.
#include "language/fontunicode.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

class MailControl;
class QTextDocument;

namespace compose {

// The body in Unicode: every run shown in Nelira98 or Velan_nm converted
// from that font's codes, other runs kept; "\n" between lines, as the body
// text is. Empty when the result holds no Sinhala or Tamil letter, so there
// is nothing a copy would add.
QString unicodeCopyOf(const QTextDocument& body);

// Makes the message's text a multipart/alternative of the 8-bit body (as a
// message without the copy carries it) and the Unicode copy as a
// text/plain; charset=UTF-8 part. A message with attachments keeps them
// after the alternative, in its multipart/mixed.
void putBodyWithUnicodeCopy(MailControl& mail, const QString& body, const QString& unicode);

// The script pasted text is converted to codes of: the script of its
// Unicode letters (the one with most letters), or none when it holds no
// Sinhala or Tamil letter and pastes as it is.
std::optional<FontScript> pastedScript(QStringView text);

// The whole body switched between the two ways of writing, in place, each
// piece keeping its colour. To Unicode: every piece shown in Nelira98 or
// Velan_nm is converted from that font's codes, and the whole body is shown
// in unicodeFamilies.
void bodyToUnicode(QTextDocument& body, const QStringList& unicodeFamilies);
// To codes: Sinhala and Tamil become their display font's codes shown in
// that font, the rest (Latin letters above all) is kept and shown in
// otherFamily. When some letter no font shows is there, nothing changes and
// those letters are returned.
QString bodyToFontCodes(QTextDocument& body, const QString& otherFamily);

// The settings value that remembers the "Also send a Unicode copy" choice.
inline const QString kUnicodeCopySetting = QStringLiteral("UNICODECOPY");
// The settings value that remembers "Write in Unicode" for the next message.
inline const QString kWriteUnicodeSetting = QStringLiteral("WRITEUNICODE");

}  // namespace compose
