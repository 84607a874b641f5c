#include "reading/partrules.h"

#include <QTextDocumentFragment>

namespace reading {

bool isDecodedEncoding(const QString& transferEncoding) {
  const QString e = transferEncoding.trimmed().toLower();
  return e == QLatin1String("base64") || e == QLatin1String("quoted-printable") ||
         e == QLatin1String("mac-binhex40") || e == QLatin1String("x-uuencode");
}

QString generatedPartName(const QString& type, const QString& subtype, int number) {
  const QString t = type.trimmed().toLower();
  const QString s = subtype.trimmed().toLower();
  QString ext;
  if (t == QLatin1String("message") && s == QLatin1String("rfc822"))
    ext = QStringLiteral("eml");
  else if (t == QLatin1String("text") && s == QLatin1String("html"))
    ext = QStringLiteral("html");
  else if (t == QLatin1String("text"))
    ext = QStringLiteral("txt");
  else if (s == QLatin1String("jpeg"))
    ext = QStringLiteral("jpg");
  else if (s == QLatin1String("svg+xml"))
    ext = QStringLiteral("svg");
  else if (t == QLatin1String("image") || s == QLatin1String("pdf") || s == QLatin1String("zip"))
    ext = s;
  else
    ext = QStringLiteral("bin");
  // Only letters and digits in the extension.
  QString clean;
  for (const QChar c : ext)
    if (c.isLetterOrNumber() && c.unicode() < 128)
      clean += c;
  if (clean.isEmpty())
    clean = QStringLiteral("bin");
  return QStringLiteral("part%1.%2").arg(number).arg(clean);
}

QString htmlToText(const QString& html) {
  return QTextDocumentFragment::fromHtml(html).toPlainText();
}

QString viewLineBreaks(QString text) {
  bool plain = true;
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == '\r' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1) {
      plain = false;
      break;
    }
  }
  if (plain)
    return text;
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  text.replace(QChar(0x2029), QLatin1Char('\n'));
  // The view takes these for frame marks and starts a new line at them.
  text.replace(QChar(0xFDD0), QChar(0xFFFD));
  text.replace(QChar(0xFDD1), QChar(0xFFFD));
  return text;
}

}  // namespace reading
