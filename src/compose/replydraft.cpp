#include "compose/replydraft.h"

#include "platform/codepage.h"
#include "store/safewrite.h"

namespace compose {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString withCrLf(QString text) {
  text.replace(kCrLf, QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return text.replace(QLatin1Char('\n'), kCrLf);
}

// A header value on one line: a folded or hostile value cannot add lines
// of its own to the block.
QString oneLine(QString value) {
  for (QChar& c : value)
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
      c = QLatin1Char(' ');
  return value;
}

}  // namespace

QString quotingBlock(const QuoteSource& source) {
  QString block;
  block.reserve(source.viewText.size() + 256);
  for (int i = 0; i < 3; ++i)
    block += QLatin1Char(' ') + kCrLf;
  block += QString(27, QLatin1Char('-')) + kCrLf;
  const std::pair<const char*, const QString*> fields[] = {
      {"From   : ", &source.from}, {"Date   : ", &source.date}, {"To     : ", &source.to},
      {"CC     : ", &source.cc},   {"Subject: ", &source.subject},
  };
  for (const auto& [label, value] : fields)
    block += QLatin1String(label) + oneLine(*value) + kCrLf;
  block += withCrLf(source.viewText) + kCrLf;
  return block;
}

bool writeQuoteFile(const QString& path, const QString& block, QString* why) {
  const store::WriteResult result = store::writeFileSafely(path, platform::toCodePage(block));
  if (!result.ok && why)
    *why = result.error;
  return result.ok;
}

ReplyDraft replyDraft(const QuoteSource& source) {
  ReplyDraft draft;
  draft.to = source.from;
  draft.subject = source.subject;
  draft.quote = quotingBlock(source);
  return draft;
}

ReplyDraft forwardDraft(const QuoteSource& source, const QList<ForwardPart>& parts, const PartSaver& save) {
  ReplyDraft draft;
  draft.subject = source.subject;
  draft.quote = quotingBlock(source);
  draft.forward = true;
  for (const ForwardPart& part : parts) {
    QString why;
    const QString file = save ? save(part, &why) : QString();
    if (!file.isEmpty()) {
      draft.files.append(file);
      draft.fileNames.append(part.name);
    } else
      draft.notSaved.append(QStringLiteral("%1: %2").arg(
          part.name, why.isEmpty() ? QStringLiteral("no file was written") : why));
  }
  return draft;
}

QString notSavedReport(const ReplyDraft& draft) {
  if (draft.notSaved.isEmpty())
    return {};
  return QStringLiteral("These attachments could not be saved and are not forwarded:\n") +
         draft.notSaved.join(QLatin1Char('\n'));
}

}  // namespace compose
