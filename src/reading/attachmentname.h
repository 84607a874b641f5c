#pragma once
// File names of attachments: the name a part carries in its
// Content-Disposition or Content-Type parameters, decoded, and the bare,
// safe file name it is written under.
#include <QString>

namespace reading {

// The attachment name of a part: the file name of its disposition, else the
// name of its content-type parameters, decoded (the parameters are read
// by maillib/parameters.h). Null when it has none.
QString attachmentName(const QString& disposition, const QString& contentParameters);

// Reduces a name taken from a message to a bare file name that is safe to
// create in one folder: no directory part, no "..", no control characters,
// no characters that file systems reject, not a device name, not too long,
// never empty.
QString safeFileName(const QString& name);

}  // namespace reading
