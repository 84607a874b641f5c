#pragma once
// File names of attachments: the name a part carries in its
// Content-Disposition or Content-Type parameters, decoded, and the bare,
// safe file name it is written under.
#include <QString>

namespace reading {

// The value of one parameter ("filename", "name", ...) of a header value such
// as `attachment; filename="a b.txt"; size=10`. Handles quoted and unquoted
// values, RFC 2231 continuations and charsets (name*=, name*0*=, ...) and
// RFC 2047 encoded words. Returns a null string when the parameter is absent.
QString headerParameter(const QString& headerValue, const QString& parameter);

// The attachment name of a part: the file name of its disposition, else the
// name of its content-type parameters, decoded. Null when it has none.
QString attachmentName(const QString& disposition, const QString& contentParameters);

// Decodes RFC 2047 encoded words (=?charset?B|Q?...?=) in text; the rest is
// left as it stands.
QString decodeEncodedWords(const QString& text);

// Reduces a name taken from a message to a bare file name that is safe to
// create in one folder: no directory part, no "..", no control characters,
// no characters that file systems reject, not a device name, not too long,
// never empty.
QString safeFileName(const QString& name);

}  // namespace reading
