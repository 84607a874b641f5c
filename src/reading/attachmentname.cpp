#include "reading/attachmentname.h"

#include "maillib/parameters.h"

#include <QRegularExpression>

namespace reading {

QString attachmentName(const QString& disposition, const QString& contentParameters) {
  for (const QString& key : {QStringLiteral("filename"), QStringLiteral("name")}) {
    const QString value = maillib::parameterValue(disposition, key);
    if (!value.isNull())
      return value;
  }
  for (const QString& key : {QStringLiteral("name"), QStringLiteral("filename")}) {
    const QString value = maillib::parameterValue(contentParameters, key);
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
