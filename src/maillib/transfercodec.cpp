#include "maillib/transfercodec.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <array>

#include "maillib/binhex.h"
#include "maillib/gmimeinit.h"
#include "maillib/gmimeref.h"
#include "maillib/mimetext.h"

namespace maillib::codec {

Encoding fromName(const QString& nameIn) {
  const QString n = nameIn.trimmed().toLower();
  if (n == QLatin1String("base64")) return Encoding::Base64;
  if (n == QLatin1String("quoted-printable")) return Encoding::QuotedPrintable;
  if (n == QLatin1String("x-uuencode") || n == QLatin1String("uuencode") ||
      n == QLatin1String("x-uue") || n == QLatin1String("uue"))
    return Encoding::UUEncode;
  if (n == QLatin1String("mac-binhex40") || n == QLatin1String("x-binhex40") ||
      n == QLatin1String("binhex40") || n == QLatin1String("x-mac-binhex40"))
    return Encoding::BinHex;
  return Encoding::Identity;
}

QByteArray name(Encoding encoding) {
  switch (encoding) {
    case Encoding::Base64: return "base64";
    case Encoding::QuotedPrintable: return "quoted-printable";
    case Encoding::UUEncode: return "x-uuencode";
    case Encoding::BinHex: return "mac-binhex40";
    case Encoding::Identity: break;
  }
  return "7bit";
}

QByteArray encodeQuotedPrintable(const QByteArray& data, bool text) {
  static const char hex[] = "0123456789ABCDEF";
  QByteArray out;
  out.reserve(data.size() * 11 / 10 + 16);
  int col = 0;
  auto put = [&](const char* s, int len) {
    if (col + len > 75) {
      out.append("=\r\n");
      col = 0;
    }
    out.append(s, len);
    col += len;
  };
  for (qsizetype i = 0; i < data.size(); ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (text && c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') {
      out.append("\r\n");
      col = 0;
      ++i;
      continue;
    }
    if (text && c == '\n') {
      out.append("\r\n");
      col = 0;
      continue;
    }
    const bool lineEndNext = i + 1 >= data.size() || data[i + 1] == '\r' || data[i + 1] == '\n';
    const bool plain = (c >= 33 && c <= 126 && c != '=') ||
                       ((c == ' ' || c == '\t') && !(text && lineEndNext) && i + 1 < data.size());
    // A line starting with "." or "From " is encoded too, so no transport
    // alters it.
    const bool risky = col == 0 && (c == '.' || (c == 'F' && data.mid(i, 5) == "From "));
    if (plain && !risky) {
      const char ch = char(c);
      put(&ch, 1);
    } else {
      const char enc[3] = {'=', hex[c >> 4], hex[c & 15]};
      put(enc, 3);
    }
  }
  return out;
}

namespace {

// Encodes a piece at a time and writes CR LF line ends straight away, so a
// large file is never held a second time just to change its line ends.
QByteArray gmimeEncode(GMimeContentEncoding e, const QByteArray& data) {
  ensureGMime();
  GMimeEncoding state;
  g_mime_encoding_init_encode(&state, e);
  constexpr qsizetype kPiece = 64 * 1024;
  QByteArray out;
  out.reserve(qsizetype(g_mime_encoding_outlen(&state, size_t(data.size())) / 76 * 78) + 256);
  QByteArray piece(qsizetype(g_mime_encoding_outlen(&state, size_t(kPiece))) + 256, '\0');
  const auto appendCrlf = [&out](const char* p, size_t n) {
    size_t runStart = 0;
    for (size_t i = 0; i < n; ++i) {
      if (p[i] != '\n') continue;
      out.append(p + runStart, qsizetype(i - runStart));
      out.append("\r\n", 2);
      runStart = i + 1;
    }
    out.append(p + runStart, qsizetype(n - runStart));
  };
  for (qsizetype pos = 0; pos < data.size(); pos += kPiece) {
    const size_t len = size_t(std::min(kPiece, data.size() - pos));
    appendCrlf(piece.constData(), g_mime_encoding_step(&state, data.constData() + pos, len, piece.data()));
  }
  appendCrlf(piece.constData(), g_mime_encoding_flush(&state, "", 0, piece.data()));
  return out;
}

}  // namespace

QByteArray encode(Encoding encoding, const QByteArray& data, const QByteArray& fileName, bool text) {
  switch (encoding) {
    case Encoding::Base64:
      return mimetext::toCrlf(gmimeEncode(GMIME_CONTENT_ENCODING_BASE64, data));
    case Encoding::QuotedPrintable:
      return encodeQuotedPrintable(data, text);
    case Encoding::UUEncode: {
      QByteArray safeName = fileName.isEmpty() ? QByteArray("attachment") : fileName;
      safeName.replace('\r', ' ').replace('\n', ' ');
      QByteArray body = gmimeEncode(GMIME_CONTENT_ENCODING_UUENCODE, data);
      return "begin 644 " + safeName + "\r\n" + mimetext::toCrlf(body) + "end\r\n";
    }
    case Encoding::BinHex:
      return binhex::encode(data, fileName);
    case Encoding::Identity:
      break;
  }
  return data;
}

Decoded decode(Encoding encoding, const QByteArray& body) {
  Decoded result;
  if (encoding == Encoding::Identity) {
    result.data = body;
    return result;
  }
  if (encoding == Encoding::BinHex) {
    binhex::Decoded d = binhex::decode(body);
    result.data = d.data;
    result.problem = d.problem;
    return result;
  }
  ensureGMime();
  GMimeContentEncoding e = encoding == Encoding::Base64 ? GMIME_CONTENT_ENCODING_BASE64
                           : encoding == Encoding::QuotedPrintable
                               ? GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE
                               : GMIME_CONTENT_ENCODING_UUENCODE;
  BorrowedBytes source(body);
  GRef<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(source.stream(), e));
  // The decoded bytes go into one buffer sized up front, so it does not
  // grow by copying.
  const guint estimate = guint(std::min<qsizetype>(
      encoding == Encoding::Base64 ? body.size() / 4 * 3 + 4 : body.size() + 16, G_MAXUINT / 2));
  GByteArray* buffer = g_byte_array_sized_new(estimate);
  {
    GRef<GMimeStream> sink(g_mime_stream_mem_new_with_byte_array(buffer));
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(sink.get()), FALSE);
    if (g_mime_data_wrapper_write_to_stream(wrapper.get(), sink.get()) < 0)
      result.problem = QStringLiteral("the part could not be decoded");
  }
  if (buffer->len) result.data = QByteArray(reinterpret_cast<const char*>(buffer->data), qsizetype(buffer->len));
  g_byte_array_free(buffer, TRUE);

  if (encoding == Encoding::Base64) {
    static const auto allowed = [] {
      std::array<bool, 256> t{};
      for (const char* p = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\r\n \t"; *p; ++p)
        t[static_cast<unsigned char>(*p)] = true;
      return t;
    }();
    for (char c : body) {
      if (!allowed[static_cast<unsigned char>(c)]) {
        result.problem = QStringLiteral("the base64 data is damaged");
        break;
      }
    }
  } else if (encoding == Encoding::UUEncode) {
    const bool hasBegin = body.startsWith("begin ") || body.contains("\nbegin ");
    if (!hasBegin) result.problem = QStringLiteral("the uuencoded data has no \"begin\" line");
    else if (!body.contains("\nend")) result.problem = QStringLiteral("the uuencoded data is truncated");
  }
  return result;
}

}  // namespace maillib::codec
