#include "maillib/binhex.h"

#include <array>

namespace maillib::binhex {

namespace {

constexpr char kAlphabet[] =
    "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
constexpr unsigned char kRunMarker = 0x90;
// Decoded data is never allowed to grow past this, whatever the header says.
constexpr qint64 kMaxDecoded = qint64(512) * 1024 * 1024;

std::array<int, 256> reverseAlphabet() {
  std::array<int, 256> table;
  table.fill(-1);
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
  return table;
}

void putBig(QByteArray& out, quint32 v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.append(char((v >> (8 * i)) & 0xFF));
}

quint32 getBig(const QByteArray& in, qsizetype at, int bytes) {
  quint32 v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(in[at + i]);
  return v;
}

QByteArray runLengthEncode(const QByteArray& in) {
  QByteArray out;
  out.reserve(in.size() + in.size() / 8 + 8);
  qsizetype i = 0;
  while (i < in.size()) {
    const unsigned char c = in[i];
    qsizetype run = 1;
    while (i + run < in.size() && static_cast<unsigned char>(in[i + run]) == c && run < 255) ++run;
    if (c == kRunMarker) {
      out.append(char(kRunMarker)).append('\0');
      if (run > 1) out.append(char(kRunMarker)).append(char(run));
    } else if (run >= 3) {
      out.append(char(c)).append(char(kRunMarker)).append(char(run));
    } else {
      for (qsizetype k = 0; k < run; ++k) out.append(char(c));
    }
    i += run;
  }
  return out;
}

}  // namespace

quint16 crc16(const QByteArray& data, quint16 crc) {
  for (char ch : data) {
    crc ^= quint16(static_cast<unsigned char>(ch)) << 8;
    for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
  }
  return crc;
}

QByteArray encode(const QByteArray& data, const QByteArray& nameIn) {
  const QByteArray name = nameIn.left(63);
  QByteArray header;
  header.append(char(name.size())).append(name).append('\0');
  header.append("????").append("????");  // type and creator unknown
  header.append(2, '\0');                 // Finder flags
  putBig(header, quint32(data.size()), 4);
  putBig(header, 0, 4);
  QByteArray binary = header;
  putBig(binary, crc16(header), 2);
  binary.append(data);
  putBig(binary, crc16(data), 2);
  putBig(binary, crc16(QByteArray()), 2);  // empty resource fork

  const QByteArray packed = runLengthEncode(binary);
  QByteArray six;
  six.reserve(packed.size() * 4 / 3 + 4);
  qsizetype i = 0;
  for (; i + 3 <= packed.size(); i += 3) {
    const quint32 v = getBig(packed, i, 3);
    six.append(kAlphabet[(v >> 18) & 63]).append(kAlphabet[(v >> 12) & 63]);
    six.append(kAlphabet[(v >> 6) & 63]).append(kAlphabet[v & 63]);
  }
  const qsizetype rest = packed.size() - i;
  if (rest > 0) {
    quint32 v = quint32(static_cast<unsigned char>(packed[i])) << 16;
    if (rest == 2) v |= quint32(static_cast<unsigned char>(packed[i + 1])) << 8;
    six.append(kAlphabet[(v >> 18) & 63]).append(kAlphabet[(v >> 12) & 63]);
    if (rest == 2) six.append(kAlphabet[(v >> 6) & 63]);
  }
  QByteArray text = "(This file must be converted with BinHex 4.0)\r\n\r\n";
  QByteArray body = ":" + six + ":";
  for (qsizetype p = 0; p < body.size(); p += 64) text += body.mid(p, 64) + "\r\n";
  return text;
}

Decoded decode(const QByteArray& text) {
  Decoded result;
  static const std::array<int, 256> rev = reverseAlphabet();
  // The encoded data starts at the first ':' that begins a line (after the
  // banner) and ends at the next ':'.
  qsizetype start = -1;
  for (qsizetype p = text.indexOf(':'); p >= 0; p = text.indexOf(':', p + 1)) {
    if (p == 0 || text[p - 1] == '\n' || text[p - 1] == '\r') {
      start = p + 1;
      break;
    }
  }
  if (start < 0) {
    result.problem = QStringLiteral("no BinHex data found");
    return result;
  }

  // Six-bit characters to bytes, then run-length expansion, in one pass.
  QByteArray out;
  qint64 needed = -1;  // total bytes wanted once the header is known
  quint32 bits = 0;
  int nbits = 0;
  bool closed = false;
  int last = -1;
  bool afterMarker = false;
  auto emitByte = [&](unsigned char b) -> bool {
    if (afterMarker) {
      afterMarker = false;
      if (b == 0) {
        out.append(char(kRunMarker));
        last = kRunMarker;
      } else {
        if (last < 0) return false;
        for (int k = 1; k < b; ++k) out.append(char(last));
      }
    } else if (b == kRunMarker) {
      afterMarker = true;
    } else {
      out.append(char(b));
      last = b;
    }
    if (needed < 0 && !out.isEmpty()) {
      const int nameLen = static_cast<unsigned char>(out[0]);
      const qsizetype headerLen = 1 + nameLen + 1 + 4 + 4 + 2 + 4 + 4 + 2;
      if (out.size() >= headerLen) {
        const quint32 dataLen = getBig(out, 1 + nameLen + 1 + 10, 4);
        needed = headerLen + qint64(dataLen) + 2;
        const qint64 possible = qint64(text.size()) * 255 + headerLen;
        if (needed > kMaxDecoded || needed > possible) return false;
      }
    }
    return !(needed >= 0 && out.size() >= needed) && out.size() < kMaxDecoded;
  };
  bool stopped = false;
  for (qsizetype p = start; p < text.size() && !stopped; ++p) {
    const unsigned char c = text[p];
    if (c == ':') {
      closed = true;
      break;
    }
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
    const int v = rev[c];
    if (v < 0) {
      result.problem = QStringLiteral("invalid character in BinHex data");
      stopped = true;
      break;
    }
    bits = (bits << 6) | quint32(v);
    nbits += 6;
    if (nbits >= 8) {
      nbits -= 8;
      if (!emitByte(static_cast<unsigned char>((bits >> nbits) & 0xFF))) stopped = true;
    }
  }
  if (!out.isEmpty()) {
    const int nameLen = static_cast<unsigned char>(out[0]);
    const qsizetype headerLen = 1 + nameLen + 1 + 4 + 4 + 2 + 4 + 4 + 2;
    if (out.size() >= headerLen) {
      result.name = out.mid(1, nameLen);
      const quint32 dataLen = getBig(out, 1 + nameLen + 1 + 10, 4);
      const quint16 headerCrc = quint16(getBig(out, headerLen - 2, 2));
      if (crc16(out.left(headerLen - 2)) != headerCrc && result.problem.isEmpty())
        result.problem = QStringLiteral("BinHex header checksum does not match");
      result.data = out.mid(headerLen, dataLen);
      if (out.size() >= headerLen + qint64(dataLen) + 2) {
        const quint16 dataCrc = quint16(getBig(out, headerLen + dataLen, 2));
        if (crc16(result.data) != dataCrc && result.problem.isEmpty())
          result.problem = QStringLiteral("BinHex data checksum does not match");
        return result;
      }
    }
  }
  if (result.problem.isEmpty())
    result.problem = closed || stopped ? QStringLiteral("BinHex data is damaged")
                                       : QStringLiteral("BinHex data is truncated");
  return result;
}

}  // namespace maillib::binhex
