#pragma once
// Charsets of received text, read through iconv as GMime offers it.
//
// The message side reads one family of labels byte for byte: us-ascii,
// iso-8859-1, windows-1252, a missing label and the labels that say nothing
// (unknown-8bit, x-user-defined). Byte n is then character n, which is what
// the 8-bit display fonts need: mail typed in Nelira98 or Velan_nm goes out
// under exactly these labels. Text read that way and shown in a Unicode font
// reads right as windows-1252, a superset of Latin-1 in its printable
// characters; windows1252() takes that step.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace maillib::charsets {

// True for the labels whose text the message side reads byte for byte
// (letter case, blanks and quotes around the label ignored).
bool readsByteForByte(QByteArrayView charset);

// True when iconv here can read the charset; the byte-for-byte labels and
// an empty label count as known.
bool isKnown(QByteArrayView charset);

// Bytes in a charset as characters. A byte the charset does not allow
// becomes U+FFFD, so nothing is dropped; none when the charset is not known.
std::optional<QString> decode(QByteArrayView bytes, QByteArrayView charset);

// A text read byte for byte, with its characters 0x80..0x9F read as
// windows-1252 reads those bytes (“ ” – € ...). The five bytes windows-1252
// leaves undefined, and every other character, stay as they are.
QString windows1252(QString byteForByte);
// True when windows1252() would change the text.
bool hasWindows1252Bytes(QStringView text);

}  // namespace maillib::charsets
