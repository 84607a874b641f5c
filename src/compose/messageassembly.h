#pragma once
// Building the outgoing message inside a mail control: files become
// attachment parts, the typed text becomes the first part at send time.
#include "compose/attachmentrules.h"

#include <QString>

class MailControl;

namespace compose {

struct AttachResult {
  bool ok = false;
  QString error;  // why nothing was attached, for the user
};

// Files above this size are refused: the whole message is held in memory.
constexpr qint64 kMaxAttachmentBytes = qint64(200) * 1024 * 1024;

// Adds the file at path as a new last part of the message in mail (making
// the message multipart/mixed first). The file is checked before anything
// changes: a missing, unreadable or oversized file adds nothing. The part is
// named sendName, or after the file when that is empty.
AttachResult attachFileToMessage(MailControl& mail, const QString& path, AttachmentEncoding chosen,
                                 const QString& sendName = {});

// Puts the typed body into the message: as a new first part when the
// message has attachments, else as the message's own text. An empty body
// adds no part. With a Unicode copy (unicodecopy.h) the text goes as a
// multipart/alternative of the body and the copy; without one the message
// is exactly what it would be without this argument.
void putBodyIntoMessage(MailControl& mail, const QString& body, const QString& unicodeCopy = {});

}  // namespace compose
