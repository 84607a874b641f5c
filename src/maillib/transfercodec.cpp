#include "maillib/transfercodec.h"

#include <gmime/gmime.h>

#include <QIODevice>
#include <algorithm>
#include <array>
#include <functional>
#include <utility>

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

Encoding bestTextEncoding(const QByteArray& bytes) {
  if (!mimetext::isAscii(bytes)) {
    const auto* text = reinterpret_cast<const unsigned char*>(bytes.constData());
    return g_mime_utils_best_encoding(text, size_t(bytes.size())) == GMIME_CONTENT_ENCODING_BASE64
               ? Encoding::Base64
               : Encoding::QuotedPrintable;
  }
  qsizetype run = 0;
  for (const char c : bytes) {
    run = c == '\n' ? 0 : run + 1;
    if (run > 998) return Encoding::QuotedPrintable;
  }
  return Encoding::Identity;
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
// Encodes what next hands over, piece after piece, until it hands over an
// empty one; expectedSize (the whole input) sizes the result once.
QByteArray gmimeEncodePieces(GMimeContentEncoding e, qint64 expectedSize, const std::function<QByteArrayView()>& next) {
  ensureGMime();
  GMimeEncoding state;
  g_mime_encoding_init_encode(&state, e);
  constexpr qsizetype kPiece = 64 * 1024;
  QByteArray out;
  out.reserve(qsizetype(g_mime_encoding_outlen(&state, size_t(expectedSize)) / 76 * 78) + 256);
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
  for (QByteArrayView data = next(); !data.isEmpty(); data = next()) {
    for (qsizetype pos = 0; pos < data.size(); pos += kPiece) {
      const size_t len = size_t(std::min(kPiece, data.size() - pos));
      appendCrlf(piece.constData(), g_mime_encoding_step(&state, data.constData() + pos, len, piece.data()));
    }
  }
  appendCrlf(piece.constData(), g_mime_encoding_flush(&state, "", 0, piece.data()));
  return out;
}

QByteArray gmimeEncode(GMimeContentEncoding e, const QByteArray& data) {
  bool handed = false;
  return gmimeEncodePieces(e, data.size(), [&]() -> QByteArrayView {
    if (std::exchange(handed, true)) return {};
    return data;
  });
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

QByteArray encodeBase64(QIODevice& in, qint64 expectedSize) {
  constexpr qint64 kRead = 1024 * 1024;
  QByteArray chunk;
  return gmimeEncodePieces(GMIME_CONTENT_ENCODING_BASE64, expectedSize, [&]() -> QByteArrayView {
    chunk = in.read(kRead);
    return chunk;
  });
}

namespace {

// Finds a marker at the start of a line in a text that arrives in pieces;
// the text's own start counts as a line start.
class LineStartSearch {
 public:
  explicit LineStartSearch(const char* word) : marker_(QByteArray("\n") + word), tail_("\n") {}
  void feed(QByteArrayView piece) {
    if (found_ || piece.isEmpty()) return;
    // A marker cut between two pieces is found in the seam.
    const qsizetype keep = std::min(marker_.size() - 1, piece.size());
    QByteArray seam = tail_;
    seam.append(piece.first(keep));
    if (seam.contains(marker_) || piece.indexOf(marker_) >= 0) {
      found_ = true;
      return;
    }
    tail_ = (tail_ + piece.last(keep).toByteArray()).right(marker_.size() - 1);
  }
  bool found() const { return found_; }

 private:
  QByteArray marker_;
  QByteArray tail_;
  bool found_ = false;
};

bool isBase64Text(QByteArrayView piece) {
  static const auto invalid = [] {
    std::array<unsigned char, 256> t;
    t.fill(1);
    for (const char* p = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\r\n \t"; *p; ++p)
      t[static_cast<unsigned char>(*p)] = 0;
    return t;
  }();
  const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
  const qsizetype n = piece.size();
  // Four independent lanes keep the lookups from waiting on each other.
  unsigned char bad[4] = {0, 0, 0, 0};
  qsizetype i = 0;
  for (; i + 4 <= n; i += 4) {
    bad[0] |= invalid[p[i]];
    bad[1] |= invalid[p[i + 1]];
    bad[2] |= invalid[p[i + 2]];
    bad[3] |= invalid[p[i + 3]];
  }
  for (; i < n; ++i) bad[0] |= invalid[p[i]];
  return (bad[0] | bad[1] | bad[2] | bad[3]) == 0;
}

GMimeContentEncoding gmimeEncoding(Encoding encoding) {
  switch (encoding) {
    case Encoding::Base64: return GMIME_CONTENT_ENCODING_BASE64;
    case Encoding::QuotedPrintable: return GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
    case Encoding::UUEncode: return GMIME_CONTENT_ENCODING_UUENCODE;
    default: break;
  }
  return GMIME_CONTENT_ENCODING_DEFAULT;
}

}  // namespace

struct StreamDecoder::State {
  Encoding encoding;
  GRef<GMimeFilter> filter;
  QByteArray gathered;  // BinHex text
  QByteArray binhexData;
  bool base64Clean = true;
  LineStartSearch uuEnd{"end"};
  QByteArray scratch;
  // Uuencode before its "begin" line: the start of the current line, while
  // it may still be one ("x" once it is known not to be).
  bool uuBegun = false;
  QByteArray uuLine;
  bool uuHeldNewline = false;
  QString problem;

  QByteArrayView uuInput(QByteArrayView piece);
  QByteArrayView fromBeginLine(QByteArrayView piece);
};

// GMime's uudecoder only knows at the start of a call that a line just
// ended when its length byte was used up; a line end seen last in the
// previous call is forgotten, and the first byte of the next line is then
// misread as data. So no piece given to it ends in LF: that LF goes in
// front of the next piece. CR, no uuencode character but taken for a
// length byte after a line's data, is dropped.
QByteArrayView StreamDecoder::State::uuInput(QByteArrayView piece) {
  scratch.resize(piece.size() + 1);
  char* out = scratch.data();
  if (std::exchange(uuHeldNewline, false)) *out++ = '\n';
  for (char c : piece)
    if (c != '\r') *out++ = c;
  QByteArrayView view(scratch.constData(), out - scratch.constData());
  if (!uuBegun) view = fromBeginLine(view);
  if (view.endsWith('\n')) {
    view.chop(1);
    uuHeldNewline = true;
  }
  return view;
}

// GMime looks for the "begin" line only at the start of each piece and of
// the lines inside it, and loses a "begin" cut by the end of a piece; so
// the line is found here, across pieces, and the decoder is given the input
// from that line on.
QByteArrayView StreamDecoder::State::fromBeginLine(QByteArrayView piece) {
  static constexpr QByteArrayView kBegin("begin ");
  QByteArray joined = uuLine + piece.toByteArray();
  qsizetype at = joined.startsWith(kBegin) ? 0 : joined.indexOf("\nbegin ");
  if (at >= 0) {
    if (joined[at] == '\n') ++at;
    uuBegun = true;
    uuLine.clear();
    scratch = joined.mid(at);
    return scratch;
  }
  const QByteArray tail = joined.mid(joined.lastIndexOf('\n') + 1);
  uuLine = tail.size() < kBegin.size() && (joined.contains('\n') || uuLine != "x") ? tail : QByteArray("x");
  return {};
}

StreamDecoder::StreamDecoder(Encoding encoding) : d_(std::make_unique<State>()) {
  d_->encoding = encoding;
  if (encoding != Encoding::Identity && encoding != Encoding::BinHex) {
    ensureGMime();
    d_->filter = GRef<GMimeFilter>(g_mime_filter_basic_new(gmimeEncoding(encoding), FALSE));
  }
}

StreamDecoder::~StreamDecoder() = default;

QByteArrayView StreamDecoder::step(QByteArrayView piece) {
  switch (d_->encoding) {
    case Encoding::Identity:
      return piece;
    case Encoding::BinHex:
      d_->gathered.append(piece);
      return {};
    case Encoding::Base64:
      d_->base64Clean &= isBase64Text(piece);
      break;
    case Encoding::UUEncode:
      d_->uuEnd.feed(piece);
      piece = d_->uuInput(piece);
      break;
    case Encoding::QuotedPrintable:
      break;
  }
  if (piece.isEmpty()) return {};
  char* out = nullptr;
  size_t outLength = 0;
  size_t outPrespace = 0;
  // The filter only reads its input.
  g_mime_filter_filter(d_->filter.get(), const_cast<char*>(piece.data()), size_t(piece.size()), 0, &out,
                       &outLength, &outPrespace);
  return QByteArrayView(out, qsizetype(outLength));
}

QByteArrayView StreamDecoder::finish() {
  switch (d_->encoding) {
    case Encoding::Identity:
      return {};
    case Encoding::BinHex: {
      binhex::Decoded d = binhex::decode(d_->gathered);
      d_->gathered.clear();
      d_->binhexData = std::move(d.data);
      d_->problem = d.problem;
      return d_->binhexData;
    }
    case Encoding::Base64:
      if (!d_->base64Clean) d_->problem = QStringLiteral("the base64 data is damaged");
      break;
    case Encoding::UUEncode:
      if (!d_->uuBegun)
        d_->problem = QStringLiteral("the uuencoded data has no \"begin\" line");
      else if (!d_->uuEnd.found())
        d_->problem = QStringLiteral("the uuencoded data is truncated");
      break;
    case Encoding::QuotedPrintable:
      break;
  }
  static char nothing[1] = {0};
  char* out = nullptr;
  size_t outLength = 0;
  size_t outPrespace = 0;
  g_mime_filter_complete(d_->filter.get(), nothing, 0, 0, &out, &outLength, &outPrespace);
  return QByteArrayView(out, qsizetype(outLength));
}

QString StreamDecoder::problem() const { return d_->problem; }

Decoded decode(Encoding encoding, const QByteArray& body) {
  Decoded result;
  if (encoding == Encoding::Identity) {
    result.data = body;
    return result;
  }
  StreamDecoder decoder(encoding);
  // Sized up front so the result does not grow by copying.
  result.data.reserve(encoding == Encoding::Base64 ? body.size() / 4 * 3 + 4 : body.size() + 16);
  // Pieces keep the filter's own buffer small.
  constexpr qsizetype kPiece = 256 * 1024;
  for (qsizetype at = 0; at < body.size(); at += kPiece)
    result.data.append(decoder.step(QByteArrayView(body).sliced(at, std::min(kPiece, body.size() - at))));
  result.data.append(decoder.finish());
  result.problem = decoder.problem();
  return result;
}

}  // namespace maillib::codec
