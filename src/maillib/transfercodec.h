#pragma once
// Content-transfer-encodings of a part body, both ways: base64,
// quoted-printable, x-uuencode (through GMime) and mac-binhex40 (by hand).
// Encoding names compare without regard to case.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

class QIODevice;

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

// Base64 of everything read from in, read in pieces, so the input is
// never in memory whole beside its encoding (expectedSize sizes the result).
// The same bytes as encode() gives; the caller checks in for a read error.
QByteArray encodeBase64(QIODevice& in, qint64 expectedSize);

struct Decoded {
  QByteArray data;
  QString problem;  // empty when the body decoded cleanly
};
Decoded decode(Encoding encoding, const QByteArray& body);

// Decodes a body piece by piece, so a large part never has to sit in memory
// whole: feed every piece in order to step(), then call finish(). Pieces may
// be cut anywhere, even inside a line or an encoded quantum. BinHex, whose
// checks need the whole text, is gathered and decoded at finish().
class StreamDecoder {
 public:
  explicit StreamDecoder(Encoding encoding);
  ~StreamDecoder();
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // The decoded bytes of this piece; valid until the next call.
  QByteArrayView step(QByteArrayView piece);
  QByteArrayView finish();
  // After finish(): empty when the body decoded cleanly.
  QString problem() const;

 private:
  struct State;
  std::unique_ptr<State> d_;
};

// The encoding a text part of these bytes travels best in: Identity for
// plain ASCII, else GMime's choice (quoted-printable for text that is
// mostly ASCII, base64 for the rest). Lines too long for SMTP never go as
// Identity.
Encoding bestTextEncoding(const QByteArray& bytes);

// Quoted-printable encoder used for text and binary parts.
QByteArray encodeQuotedPrintable(const QByteArray& data, bool text);

}  // namespace maillib::codec
