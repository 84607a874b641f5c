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
  auto special = [](char16_t u) { return u == '\r' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1; };
  const QChar* in = text.constData();
  const qsizetype size = text.size();
  qsizetype first = 0;
  while (first < size && !special(in[first].unicode()))
    ++first;
  if (first == size)
    return text;
  // One pass into a new string: replacing in place moves the rest of a long
  // text once for every batch of line ends.
  QString out;
  out.reserve(size);
  qsizetype run = 0;  // start of the plain characters not yet copied
  for (qsizetype i = first; i < size; ++i) {
    const char16_t u = in[i].unicode();
    if (!special(u))
      continue;
    out.append(in + run, i - run);
    run = i + 1;
    if (u == 0xFDD0 || u == 0xFDD1) {
      // The view takes these for frame marks and starts a new line at them.
      out.append(QChar(0xFFFD));
      continue;
    }
    out.append(QLatin1Char('\n'));
    if (u == '\r' && i + 1 < size && in[i + 1] == QLatin1Char('\n'))
      run = ++i + 1;
  }
  out.append(in + run, size - run);
  return out;
}

}  // namespace reading
