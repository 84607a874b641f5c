#include "compose/unicodecopy.h"

#include "compose/attachmentrules.h"
#include "language/unicodefonts.h"
#include "maillib/mailcontrol.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace compose {

namespace {

enum Operation { kLeave = 2, kAddPart = 4, kEnter = 7 };

QString familyOf(const QTextCharFormat& format, const QTextDocument& document) {
  const QStringList families = format.fontFamilies().toStringList();
  if (!families.isEmpty())
    return families.front();
  return document.defaultFont().family();
}

QString lineBreaksAsLf(QString text) {
  for (QChar& c : text)
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
      c = QLatin1Char('\n');
  return text;
}

// The entity the control is at becomes multipart/alternative holding the
// two texts, the 8-bit one first (the last alternative is the one readers
// prefer).
void fillAlternative(MailControl& mail, const QString& body, const QString& unicode) {
  const QString boundary = newBoundary();
  mail.setContentType(QStringLiteral("multipart"));
  mail.setContentSubType(QStringLiteral("alternative"));
  mail.setContentParameters(QStringLiteral("boundary=") + boundary);
  mail.setBoundary(boundary);
  // Text given to a multipart becomes its first part.
  mail.setBodyText(0, unicode);
  mail.setBodyText(0, body);
}

}  // namespace

QString unicodeCopyOf(const QTextDocument& body) {
  QString out;
  for (QTextBlock block = body.begin(); block.isValid(); block = block.next()) {
    if (block != body.begin())
      out += QLatin1Char('\n');
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QString text = lineBreaksAsLf(fragment.text());
      const std::optional<FontScript> script = scriptOfFontFamily(familyOf(fragment.charFormat(), body));
      out += script ? fontCodesToUnicode(text, *script) : text;
    }
  }
  return unicodeScriptOf(out) ? out : QString();
}

void putBodyWithUnicodeCopy(MailControl& mail, const QString& body, const QString& unicode) {
  if (mail.PartCount() == 0) {
    fillAlternative(mail, body, unicode);
    return;
  }
  mail.setPartIndex(0);
  mail.setActionCode(kAddPart);
  mail.setActionCode(kEnter);
  fillAlternative(mail, body, unicode);
  mail.setActionCode(kLeave);
}

std::optional<FontScript> pastedScript(QStringView text) { return unicodeScriptOf(text); }

}  // namespace compose
