#pragma once
// Content-transfer-encodings of a part body, both ways: base64,
// quoted-printable, x-uuencode (through GMime) and mac-binhex40 (by hand).
// Encoding names compare without regard to case.
#include <QByteArray>
#include <QString>

namespace maillib::codec {

enum class Encoding { Identity, Base64, QuotedPrintable, UUEncode, BinHex };

Encoding fromName(const QString& name);
// The name written in Content-Transfer-Encoding.
QByteArray name(Encoding encoding);

// Encodes data; text (CR LF line ends) keeps its line breaks as hard breaks
// under quoted-printable, binary data has every byte preserved. fileName
// goes into the uuencode "begin" line and the BinHex header. Lines end in
// CRLF.
QByteArray encode(Encoding encoding, const QByteArray& data, const QByteArray& fileName = {},
                  bool text = false);

struct Decoded {
  QByteArray data;
  QString problem;  // empty when the body decoded cleanly
};
Decoded decode(Encoding encoding, const QByteArray& body);

// Quoted-printable encoder used for text and binary parts.
QByteArray encodeQuotedPrintable(const QByteArray& data, bool text);

}  // namespace maillib::codec
