#include "settings/crypt.h"

#include "platform/codepage.h"

QString encode_value(const QString& text) {
  const QByteArray bytes = platform::toCodePage(text);
  QString out;
  out.reserve(bytes.size() * 3);
  for (qsizetype i = bytes.size() - 1; i >= 0; --i)
    out += QStringLiteral("%1").arg(uchar(bytes.at(i)), 3, 10, QLatin1Char('0'));
  return out;
}

namespace {

// The number at the start of a group; reading stops at the first non-digit.
int leadingNumber(QStringView group) {
  int value = 0;
  for (const QChar c : group) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9'))
      break;
    value = value * 10 + (c.unicode() - '0');
  }
  return value;
}

}  // namespace

std::optional<QString> decode_value(const QString& digits) {
  if (digits.size() % 3 != 0)
    return std::nullopt;
  QByteArray bytes;
  bytes.reserve(digits.size() / 3);
  for (qsizetype end = digits.size(); end >= 3; end -= 3) {
    const int code = leadingNumber(QStringView(digits).mid(end - 3, 3));
    if (code > 255)
      return std::nullopt;
    bytes.append(char(code));
  }
  return platform::fromCodePage(bytes);
}
