#pragma once
// The single-byte code page: byte n is character n, both ways. The display
// fonts put Sinhala and Tamil glyphs on codes 33..255, so text that meets
// files, settings or fonts must keep every byte exactly.
#include <QByteArray>
#include <QString>

namespace platform {

inline QString fromCodePage(const QByteArray& bytes) { return QString::fromLatin1(bytes); }

// Characters above 255 cannot be stored in the code page; they become '?'.
inline QByteArray toCodePage(const QString& text) {
  QByteArray out(text.size(), '\0');
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text.at(i).unicode();
    out[i] = c <= 0xFF ? char(c) : '?';
  }
  return out;
}

}  // namespace platform
