#include "compose/unicodecopy.h"

#include "compose/attachmentrules.h"
#include "compose/unicodetyping.h"
#include "language/unicodefonts.h"
#include "maillib/mailcontrol.h"

#include <QTextBlock>
#include <QTextCursor>
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

struct Piece {
  int position;
  int length;
  QString text;
  QTextCharFormat format;
};

QList<Piece> piecesOf(const QTextDocument& body) {
  QList<Piece> pieces;
  for (QTextBlock block = body.begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it)
      pieces.append({it.fragment().position(), it.fragment().length(), it.fragment().text(),
                     it.fragment().charFormat()});
  return pieces;
}

// Puts each piece's new text in, last first so the positions still hold;
// one undo step.
void replacePieces(QTextDocument& body, const QList<Piece>& old, const QList<QList<Piece>>& replacements) {
  QTextCursor cursor(&body);
  cursor.beginEditBlock();
  for (qsizetype k = old.size() - 1; k >= 0; --k) {
    cursor.setPosition(old[k].position);
    cursor.setPosition(old[k].position + old[k].length, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    for (const Piece& piece : replacements[k])
      cursor.insertText(piece.text, piece.format);
  }
  cursor.endEditBlock();
}

}  // namespace

void bodyToUnicode(QTextDocument& body, const QStringList& unicodeFamilies) {
  const QList<Piece> pieces = piecesOf(body);
  QList<QList<Piece>> replacements;
  for (const Piece& piece : pieces) {
    const std::optional<FontScript> script = scriptOfFontFamily(familyOf(piece.format, body));
    Piece shown = piece;
    shown.text = script ? fontCodesToUnicode(piece.text, *script) : piece.text;
    shown.format.setFontFamilies(unicodeFamilies);
    replacements.append({shown});
  }
  replacePieces(body, pieces, replacements);
}

QString bodyToFontCodes(QTextDocument& body, const QString& otherFamily) {
  const QList<Piece> pieces = piecesOf(body);
  QList<QList<Piece>> replacements;
  QString refused;
  for (const Piece& piece : pieces) {
    const FontCodeText codes = toFontCodeRuns(piece.text);
    for (const QChar c : codes.refused)
      if (!refused.contains(c))
        refused += c;
    QList<Piece> runs;
    for (const FontCodeRun& run : codes.runs) {
      Piece part = piece;
      part.text = run.text;
      part.format.setFontFamilies({run.script ? displayFontOf(*run.script) : otherFamily});
      runs.append(part);
    }
    replacements.append(runs);
  }
  if (refused.isEmpty())
    replacePieces(body, pieces, replacements);
  return refused;
}

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
