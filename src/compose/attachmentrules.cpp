#include "compose/attachmentrules.h"

#include <QRandomGenerator>
#include <QStringDecoder>

namespace compose {

namespace {

constexpr qsizetype kMaxLineBytes = 998;
// Bytes of UTF-8 per encoded word: 45 bytes make 60 base64 characters, so a
// word with its "=?utf-8?B?" and "?=" stays within 75.
constexpr qsizetype kWordBytes = 45;

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

bool isAscii(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() > 0x7F)
      return false;
  return true;
}

bool isAsciiBytes(const QByteArray& bytes) {
  for (const char c : bytes)
    if (static_cast<unsigned char>(c) > 0x7F)
      return false;
  return true;
}

bool isValidUtf8(const QByteArray& bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString text = decoder(bytes);
  return !decoder.hasError();
}

// A name that is not plain ASCII also goes into Content-Type as "name", in
// encoded words, for readers that do not know the RFC 2231 filename*.
QString nameParameter(const QString& name) {
  return QStringLiteral("name=") + quoted(QString::fromLatin1(encodedWordName(name)));
}

}  // namespace

QString transferEncodingName(AttachmentEncoding encoding) {
  switch (encoding) {
    case AttachmentEncoding::BinHex: return QStringLiteral("mac-binhex40");
    case AttachmentEncoding::UU: return QStringLiteral("x-uuencode");
    case AttachmentEncoding::QuotedPrintable: return QStringLiteral("quoted-printable");
    case AttachmentEncoding::Base64: break;
  }
  return QStringLiteral("base64");
}

QString file_title(const QString& path) {
  const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
  return cut < 0 ? path : path.mid(cut + 1);
}

QString attachmentExtension(const QString& fileName) {
  const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : fileName.mid(dot).toLower();
}

QString sendableFileName(const QString& fileName) {
  QString name = file_title(fileName);
  name.replace(QLatin1Char('"'), QLatin1Char('_'));
  return name;
}

QByteArray encodedWordName(const QString& name) {
  if (isAscii(name))
    return name.toLatin1();
  const QByteArray utf8 = name.toUtf8();
  QByteArray out;
  qsizetype pos = 0;
  while (pos < utf8.size()) {
    qsizetype len = std::min(kWordBytes, utf8.size() - pos);
    // Never split a character between two words.
    while (pos + len < utf8.size() && (static_cast<unsigned char>(utf8[pos + len]) & 0xC0) == 0x80)
      --len;
    if (!out.isEmpty())
      out += ' ';
    out += "=?utf-8?B?" + utf8.mid(pos, len).toBase64() + "?=";
    pos += len;
  }
  return out;
}

PartFields attachmentFields(const QString& fileName, AttachmentEncoding chosen) {
  const QString name = sendableFileName(fileName);
  const QString ext = attachmentExtension(name);
  PartFields f;
  f.transferEncoding = transferEncodingName(chosen);
  const QString disposition = QStringLiteral("; filename=") + quoted(name);
  if (ext == QLatin1String(".zip")) {
    f.type = QStringLiteral("application");
    f.subtype = QStringLiteral("x-zip-compressed");
    f.parameters = isAscii(name) ? QStringLiteral("name=") + quoted(name) : nameParameter(name);
    f.disposition = QStringLiteral("attachment") + disposition;
  } else if (ext == QLatin1String(".txt")) {
    f.type = QStringLiteral("text");
    f.subtype = QStringLiteral("plain");
    f.parameters = QStringLiteral("charset=us-ascii");
    f.transferEncoding = QStringLiteral("7bit");
    f.disposition = QStringLiteral("inline") + disposition;
    f.isText = true;
  } else if (ext == QLatin1String(".gif") || ext == QLatin1String(".bmp") || ext == QLatin1String(".jpg")) {
    f.type = QStringLiteral("image");
    f.subtype = ext.mid(1);
    f.disposition = QStringLiteral("inline") + disposition;
  } else {
    f.type = QStringLiteral("application");
    f.subtype = QStringLiteral("octet-stream");
    f.disposition = QStringLiteral("attachment") + disposition;
  }
  if (!f.isText && f.parameters.isEmpty() && !isAscii(name))
    f.parameters = nameParameter(name);
  return f;
}

bool travelsUnencoded(const QByteArray& bytes) {
  qsizetype run = 0;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == 0 || c > 0x7F)
      return false;
    if (c == '\r') {
      if (i + 1 >= bytes.size() || bytes[i + 1] != '\n')
        return false;
      ++i;
      run = 0;
      continue;
    }
    if (c == '\n')
      return false;
    if (++run > kMaxLineBytes)
      return false;
  }
  return true;
}

QString textCharset(const QByteArray& bytes) {
  if (isAsciiBytes(bytes))
    return QStringLiteral("us-ascii");
  return isValidUtf8(bytes) ? QStringLiteral("utf-8") : QStringLiteral("iso-8859-1");
}

void adaptTextPart(PartFields& fields, const QString& fileName, const QByteArray& bytes,
                   AttachmentEncoding chosen) {
  const QString name = sendableFileName(fileName);
  fields.parameters = QStringLiteral("charset=") + textCharset(bytes);
  if (!isAscii(name))
    fields.parameters += QStringLiteral("; ") + nameParameter(name);
  fields.transferEncoding = travelsUnencoded(bytes) ? QStringLiteral("7bit") : transferEncodingName(chosen);
}

QString boundaryFromNumber(quint64 n) { return QString::number(n) + QStringLiteral("_boundary"); }

QString newBoundary() {
  return boundaryFromNumber(QRandomGenerator::global()->bounded(Q_UINT64_C(100000000000)));
}

}  // namespace compose
