#pragma once
// BinHex 4.0 (RFC 1741): the Macintosh transfer format. Encoding writes a
// file with an empty resource fork; decoding returns the data fork and
// checks every CRC.
#include <QByteArray>
#include <QString>

namespace maillib::binhex {

// CRC-16 as BinHex computes it (polynomial 0x1021, start 0; the XMODEM CRC).
quint16 crc16(const QByteArray& data, quint16 crc = 0);

// The complete BinHex text, banner line included, lines of 64 characters
// ending in CRLF. name is the Macintosh file name (at most 63 bytes kept).
QByteArray encode(const QByteArray& data, const QByteArray& name);

struct Decoded {
  QByteArray data;     // the data fork (what decoded so far, when damaged)
  QByteArray name;     // the file name in the header
  QString problem;     // empty when the text decoded cleanly
};
Decoded decode(const QByteArray& text);

}  // namespace maillib::binhex
