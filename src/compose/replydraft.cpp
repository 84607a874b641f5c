#include "compose/replydraft.h"

#include "platform/codepage.h"
#include "store/safewrite.h"

#include <array>

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

const QString kRule = QString(27, QLatin1Char('-'));

struct Field {
  const char* label;
  const QString* value;
};

std::array<Field, 5> fieldsOf(const QuoteSource& source) {
  return {{{"From   : ", &source.from},
           {"Date   : ", &source.date},
           {"To     : ", &source.to},
           {"CC     : ", &source.cc},
           {"Subject: ", &source.subject}}};
}

}  // namespace

QString quotingBlock(const QuoteSource& source) {
  QString block;
  block.reserve(source.viewText.size() + 256);
  for (int i = 0; i < 3; ++i)
    block += QLatin1Char(' ') + kCrLf;
  block += kRule + kCrLf;
  for (const Field& field : fieldsOf(source))
    block += QLatin1String(field.label) + oneLine(*field.value) + kCrLf;
  block += withCrLf(source.viewText) + kCrLf;
  return block;
}

ScriptRuns quoteRuns(const QuoteSource& source) {
  if (source.fieldScripts.size() != 5)
    return {};
  ScriptRuns runs;
  qsizetype at = 3 * 2 + kRule.size() + 1;  // the blank lines and the rule, LF ends
  appendRun(runs, 0, TextScript::Latin);
  const std::array<Field, 5> fields = fieldsOf(source);
  for (size_t i = 0; i < fields.size(); ++i) {
    const qsizetype label = qsizetype(qstrlen(fields[i].label));
    appendRun(runs, at, TextScript::Latin);
    appendRun(runs, at + label, source.fieldScripts[qsizetype(i)]);
    at += label + fields[i].value->size() + 1;
  }
  // The view's line ends are LF already; each run keeps its place.
  for (const ScriptRun& run : source.viewRuns)
    appendRun(runs, at + run.start, run.script);
  return runs;
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
  draft.quoteRuns = quoteRuns(source);
  return draft;
}

ReplyDraft forwardDraft(const QuoteSource& source, const QList<ForwardPart>& parts, const PartSaver& save) {
  ReplyDraft draft;
  draft.subject = source.subject;
  draft.quote = quotingBlock(source);
  draft.quoteRuns = quoteRuns(source);
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
