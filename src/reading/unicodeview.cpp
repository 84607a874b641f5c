#include "reading/unicodeview.h"

#include "language/unicodefonts.h"
#include "reading/textscripts.h"

#include <algorithm>

namespace reading {

namespace {

// The Unicode script of font codes.
std::optional<FontScript> codesScript(TextScript script) {
  if (script == TextScript::SinhalaFont)
    return FontScript::Sinhala;
  if (script == TextScript::TamilFont)
    return FontScript::Tamil;
  return std::nullopt;
}

// Whose codes a block holds: the script judged for it when each text has its
// font, else the script chosen; none for text that is no font codes.
std::optional<FontScript> blockCodes(const ViewBlock& block, FontScript chosen) {
  if (!block.runs.isEmpty())
    return block.kind == ViewBlock::Kind::Headers ? std::nullopt : codesScript(block.runs.front().script);
  return isFontCodeBlock(block) ? std::optional(chosen) : std::nullopt;
}

QString subjectAsUnicode(const QString& subject, FontScript script, bool perText) {
  if (perText) {
    const std::optional<FontScript> codes = codesScript(scriptOf(subject));
    return codes ? fontCodesToUnicode(subject, *codes) : subject;
  }
  return unicodeScriptOf(subject) ? subject : fontCodesToUnicode(subject, script);
}

bool startsField(QStringView line, QLatin1String name) {
  return line.startsWith(name, Qt::CaseInsensitive);
}

bool continuesField(QStringView line) {
  return !line.isEmpty() && (line.front() == u' ' || line.front() == u'\t');
}

// The header block's text with its Subject field (folded lines included)
// replaced by one line, or unchanged when it has none.
QString withSubjectLine(const QString& headers, const QString& subjectLine) {
  QStringList lines = headers.split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (!startsField(lines[i], QLatin1String("Subject:")))
      continue;
    qsizetype end = i + 1;
    while (end < lines.size() && continuesField(lines[end]))
      ++end;
    lines.remove(i, end - i);
    lines.insert(i, subjectLine);
    break;
  }
  return lines.join(QLatin1Char('\n'));
}

void countLines(RenderedMessage& view) {
  int line = 0;
  for (ViewBlock& b : view.blocks) {
    b.firstLine = line;
    b.lineCount = int(b.text.count(QLatin1Char('\n')));
    line += b.lineCount;
  }
}

}  // namespace

bool isFontCodeBlock(const ViewBlock& block) {
  return block.kind != ViewBlock::Kind::Headers && !unicodeScriptOf(block.text);
}

std::optional<FontScript> arrivedUnicodeScript(const RenderedMessage& view) {
  QString text;
  for (const ViewBlock& b : view.blocks)
    if (b.kind != ViewBlock::Kind::Headers)
      text += b.text;
  return unicodeScriptOf(text);
}

RenderedMessage viewAsUnicode(const RenderedMessage& view, FontScript script, const QString& subject) {
  RenderedMessage out = view;
  const bool perText = std::any_of(view.blocks.begin(), view.blocks.end(),
                                   [](const ViewBlock& b) { return !b.runs.isEmpty(); });
  const QString subjectLine = QStringLiteral("Subject: ") + subjectAsUnicode(subject, script, perText);
  bool subjectShown = false;
  for (ViewBlock& b : out.blocks) {
    if (b.kind == ViewBlock::Kind::Headers) {
      const QString replaced = withSubjectLine(b.text, subjectLine);
      subjectShown = subjectShown || replaced != b.text || b.text.contains(subjectLine);
      b.text = replaced;
      if (perText)
        b.runs = headerRuns(b.text);
    } else if (const std::optional<FontScript> codes = blockCodes(b, script)) {
      b.text = fontCodesToUnicode(b.text, *codes);
      if (perText)
        b.runs = {{0, *codes == FontScript::Sinhala ? TextScript::Sinhala : TextScript::Tamil}};
    }
  }
  if (!subjectShown && !subject.isEmpty()) {
    ViewBlock top;
    top.kind = ViewBlock::Kind::Headers;
    top.text = subjectLine + QLatin1Char('\n');
    if (perText)
      top.runs = headerRuns(top.text);
    out.blocks.prepend(top);
  }
  countLines(out);
  return out;
}

QString selectionAsUnicode(const RenderedMessage& view, const QList<SelectedPiece>& pieces, FontScript script) {
  // The pieces of one part convert together: one look at the part, one
  // conversion, however many lines are selected.
  QString out;
  for (qsizetype i = 0, next = 0; i < pieces.size(); i = next) {
    const ViewBlock* block = view.blockAt(pieces[i].line);
    QStringList lines;
    for (next = i; next < pieces.size() && view.blockAt(pieces[next].line) == block; ++next)
      lines.append(pieces[next].text);
    const QString text = lines.join(QLatin1Char('\n'));
    if (i > 0)
      out += QLatin1Char('\n');
    const std::optional<FontScript> codes = block ? blockCodes(*block, script) : std::nullopt;
    out += codes ? fontCodesToUnicode(text, *codes) : text;
  }
  return out;
}

}  // namespace reading
