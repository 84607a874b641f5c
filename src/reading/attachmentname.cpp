#include "reading/attachmentname.h"

#include <QByteArray>
#include <QMap>
#include <QRegularExpression>
#include <QStringDecoder>

namespace reading {

namespace {

struct Param {
  QString key;    // lower case, as written (may end in "*" or "*N" / "*N*")
  QString value;  // unquoted
};

// Splits "type; a=1; b="x;y"" into its parameters; pieces without "=" (the
// disposition type) are skipped.
QList<Param> splitParameters(const QString& text) {
  QList<Param> params;
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n) {
    // Key up to "=" or ";".
    const qsizetype keyStart = i;
    while (i < n && text.at(i) != QLatin1Char('=') && text.at(i) != QLatin1Char(';'))
      ++i;
    const QString key = text.mid(keyStart, i - keyStart).trimmed().toLower();
    if (i >= n || text.at(i) == QLatin1Char(';')) {
      ++i;
      continue;
    }
    ++i;  // "="
    while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
      ++i;
    QString value;
    if (i < n && text.at(i) == QLatin1Char('"')) {
      ++i;
      while (i < n && text.at(i) != QLatin1Char('"')) {
        if (text.at(i) == QLatin1Char('\\') && i + 1 < n)
          ++i;
        value += text.at(i);
        ++i;
      }
      // Skip the closing quote and anything up to the next ";".
      while (i < n && text.at(i) != QLatin1Char(';'))
        ++i;
    } else {
      const qsizetype valueStart = i;
      while (i < n && text.at(i) != QLatin1Char(';'))
        ++i;
      value = text.mid(valueStart, i - valueStart).trimmed();
    }
    ++i;  // ";"
    if (!key.isEmpty())
      params.append(Param{key, value});
  }
  return params;
}

QString decodeBytes(const QByteArray& bytes, const QString& charset) {
  const QString cs = charset.trimmed();
  if (!cs.isEmpty()) {
    QStringDecoder decoder(cs.toLatin1().constData());
    if (decoder.isValid()) {
      const QString text = decoder.decode(bytes);
      if (!decoder.hasError())
        return text;
    }
  }
  // Unknown or wrong charset: UTF-8 when the bytes are valid UTF-8, else
  // byte for character.
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8.decode(bytes);
  if (!utf8.hasError())
    return text;
  return QString::fromLatin1(bytes);
}

int hexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9')
    return u - '0';
  if (u >= 'a' && u <= 'f')
    return u - 'a' + 10;
  if (u >= 'A' && u <= 'F')
    return u - 'A' + 10;
  return -1;
}

QByteArray percentDecode(const QString& text) {
  QByteArray out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == QLatin1Char('%') && i + 2 < text.size() && hexValue(text.at(i + 1)) >= 0 &&
        hexValue(text.at(i + 2)) >= 0) {
      out.append(char(hexValue(text.at(i + 1)) * 16 + hexValue(text.at(i + 2))));
      i += 2;
    } else if (c.unicode() < 256) {
      out.append(char(c.unicode()));
    } else {
      out.append(QString(c).toUtf8());
    }
  }
  return out;
}

// RFC 2231: charset'language'percent-encoded.
QString decodeExtendedValue(const QString& value) {
  const qsizetype q1 = value.indexOf(QLatin1Char('\''));
  const qsizetype q2 = q1 < 0 ? -1 : value.indexOf(QLatin1Char('\''), q1 + 1);
  if (q2 < 0)
    return decodeBytes(percentDecode(value), QString());
  return decodeBytes(percentDecode(value.mid(q2 + 1)), value.left(q1));
}

}  // namespace

QString decodeEncodedWords(const QString& text) {
  if (!text.contains(QLatin1String("=?")))
    return text;
  static const QRegularExpression word(QStringLiteral(R"(=\?([^?\s]+)\?([bBqQ])\?([^?\s]*)\?=)"));
  QString out;
  qsizetype pos = 0;
  bool lastWasWord = false;
  QRegularExpressionMatchIterator it = word.globalMatch(text);
  while (it.hasNext()) {
    const QRegularExpressionMatch m = it.next();
    const QString between = text.mid(pos, m.capturedStart() - pos);
    // White space between two encoded words is not part of the text.
    if (!(lastWasWord && between.trimmed().isEmpty()))
      out += between;
    QString charset = m.captured(1);
    const qsizetype star = charset.indexOf(QLatin1Char('*'));  // RFC 2231 language suffix
    if (star >= 0)
      charset.truncate(star);
    const QString payload = m.captured(3);
    QByteArray bytes;
    if (m.captured(2).compare(QLatin1String("b"), Qt::CaseInsensitive) == 0) {
      bytes = QByteArray::fromBase64(payload.toLatin1());
    } else {
      for (qsizetype i = 0; i < payload.size(); ++i) {
        const QChar c = payload.at(i);
        if (c == QLatin1Char('_')) {
          bytes.append(' ');
        } else if (c == QLatin1Char('=') && i + 2 < payload.size() && hexValue(payload.at(i + 1)) >= 0 &&
                   hexValue(payload.at(i + 2)) >= 0) {
          bytes.append(char(hexValue(payload.at(i + 1)) * 16 + hexValue(payload.at(i + 2))));
          i += 2;
        } else {
          bytes.append(char(c.unicode() & 0xFF));
        }
      }
    }
    out += decodeBytes(bytes, charset);
    pos = m.capturedEnd();
    lastWasWord = true;
  }
  out += text.mid(pos);
  return out;
}

QString headerParameter(const QString& headerValue, const QString& parameter) {
  const QString wanted = parameter.toLower();
  const QList<Param> params = splitParameters(headerValue);
  // Plain form first seen wins, but an RFC 2231 form is preferred when both
  // are present (it is the one that carries the real characters).
  QString plain;
  bool havePlain = false;
  QString extended;
  bool haveExtended = false;
  QMap<int, QPair<QString, bool>> pieces;  // continuation index -> value, encoded
  for (const Param& p : params) {
    if (p.key == wanted) {
      if (!havePlain) {
        plain = p.value;
        havePlain = true;
      }
    } else if (p.key == wanted + QLatin1Char('*')) {
      if (!haveExtended) {
        extended = decodeExtendedValue(p.value);
        haveExtended = true;
      }
    } else if (p.key.startsWith(wanted + QLatin1Char('*'))) {
      QString rest = p.key.mid(wanted.size() + 1);
      bool encoded = false;
      if (rest.endsWith(QLatin1Char('*'))) {
        encoded = true;
        rest.chop(1);
      }
      bool ok = false;
      const int index = rest.toInt(&ok);
      if (ok && index >= 0 && index < 1000 && !pieces.contains(index))
        pieces.insert(index, qMakePair(p.value, encoded));
    }
  }
  if (haveExtended)
    return extended;
  if (!pieces.isEmpty() && pieces.contains(0)) {
    // Joined in index order up to the first gap; encoded pieces are
    // percent-decoded in the charset named by the first piece.
    QString charset;
    QByteArray bytes;
    for (int index = 0; pieces.contains(index); ++index) {
      QString value = pieces.value(index).first;
      const bool encoded = pieces.value(index).second;
      if (index == 0 && encoded) {
        const qsizetype q1 = value.indexOf(QLatin1Char('\''));
        const qsizetype q2 = q1 < 0 ? -1 : value.indexOf(QLatin1Char('\''), q1 + 1);
        if (q2 >= 0) {
          charset = value.left(q1);
          value = value.mid(q2 + 1);
        }
      }
      if (encoded)
        bytes += percentDecode(value);
      else
        bytes += value.toUtf8();
    }
    return decodeBytes(bytes, charset.isEmpty() ? QStringLiteral("UTF-8") : charset);
  }
  if (havePlain)
    return decodeEncodedWords(plain);
  return {};
}

QString attachmentName(const QString& disposition, const QString& contentParameters) {
  for (const QString& key : {QStringLiteral("filename"), QStringLiteral("name")}) {
    const QString value = headerParameter(disposition, key);
    if (!value.isNull())
      return value;
  }
  for (const QString& key : {QStringLiteral("name"), QStringLiteral("filename")}) {
    const QString value = headerParameter(contentParameters, key);
    if (!value.isNull())
      return value;
  }
  return {};
}

QString safeFileName(const QString& name) {
  // The last path component only, whichever separator the sender used.
  QString base = name;
  const qsizetype cut = std::max(base.lastIndexOf(QLatin1Char('/')), base.lastIndexOf(QLatin1Char('\\')));
  if (cut >= 0)
    base = base.mid(cut + 1);

  QString clean;
  clean.reserve(base.size());
  // Control characters and the direction overrides that disguise an
  // extension are dropped. Codes 128..159 stay: the 8-bit display fonts
  // keep letters there.
  for (const QChar c : base) {
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7F ||
        u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
      continue;
    if (u == '<' || u == '>' || u == ':' || u == '"' || u == '|' || u == '?' || u == '*')
      clean += QLatin1Char('_');
    else
      clean += c;
  }
  // Blanks at either end and dots at the end are dropped (Windows drops
  // them too, and "..", "." must never remain).
  while (!clean.isEmpty() && (clean.endsWith(QLatin1Char(' ')) || clean.endsWith(QLatin1Char('.'))))
    clean.chop(1);
  while (!clean.isEmpty() && clean.startsWith(QLatin1Char(' ')))
    clean.remove(0, 1);
  if (clean.isEmpty())
    return QStringLiteral("attachment");

  // Device names of Windows are not files.
  static const QRegularExpression device(QStringLiteral(R"(^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\..*)?$)"),
                                         QRegularExpression::CaseInsensitiveOption);
  if (device.match(clean).hasMatch())
    clean.prepend(QLatin1Char('_'));

  // File systems take 255 bytes; leave room for " (n)" and a temporary
  // suffix, and keep a short extension.
  constexpr int kMaxBytes = 200;
  if (clean.toUtf8().size() > kMaxBytes) {
    const qsizetype dot = clean.lastIndexOf(QLatin1Char('.'));
    QString ext = (dot > 0 && clean.size() - dot <= 16) ? clean.mid(dot) : QString();
    QString stem = ext.isEmpty() ? clean : clean.left(dot);
    while (!stem.isEmpty() && (stem + ext).toUtf8().size() > kMaxBytes) {
      stem.chop(1);
      if (!stem.isEmpty() && stem.back().isHighSurrogate())
        stem.chop(1);
    }
    clean = stem + ext;
  }
  return clean;
}

}  // namespace reading
