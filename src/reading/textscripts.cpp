#include "reading/textscripts.h"

#include "maillib/charsets.h"

#include <QStringDecoder>

namespace charsets = maillib::charsets;

namespace reading {

namespace {

// The script of a letter shows in its first pages.
constexpr qsizetype kJudgedChars = 64 * 1024;

bool fitsInBytes(QStringView text) {
  for (QChar c : text)
    if (c.unicode() > 0xFF)
      return false;
  return true;
}

// The bytes of the start of a text read byte for byte, cut where no UTF-8
// sequence is split.
QByteArray judgedBytes(QStringView text) {
  QByteArray bytes = text.first(std::min(text.size(), kJudgedChars + 1)).toLatin1();
  if (bytes.size() <= kJudgedChars)
    return bytes;
  qsizetype cut = kJudgedChars;
  while (cut > 0 && (uchar(bytes[cut]) & 0xC0) == 0x80)
    --cut;
  bytes.truncate(cut);
  return bytes;
}

bool hasEightBit(QStringView text) {
  for (QChar c : text)
    if (c.unicode() > 0x7F)
      return true;
  return false;
}

// Unlabelled text, or text that says it is plain ASCII yet holds 8-bit
// bytes: mailers that forget the label send UTF-8 or windows-1252.
bool labelSaysNothing(QByteArrayView charset) {
  QByteArray cs = charset.trimmed().toByteArray().toLower();
  cs.replace('"', "");
  return cs.isEmpty() || cs == "us-ascii" || cs == "unknown-8bit";
}

// A text of 8-bit characters read byte for byte, as UTF-8 when its bytes
// are UTF-8, else as windows-1252.
QString readForUnicodeFont(QString text, bool mayBeUtf8) {
  if (mayBeUtf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString utf8 = decoder(text.toLatin1());
    if (!decoder.hasError())
      return utf8;
  }
  return charsets::windows1252(std::move(text));
}

bool isContinuation(QStringView line) {
  return !line.isEmpty() && (line.front() == u' ' || line.front() == u'\t');
}

// Where the value of a header line starts: after "Name:" and its blanks;
// a folded line is all value.
qsizetype valueStart(QStringView line) {
  if (isContinuation(line))
    return 0;
  const qsizetype colon = line.indexOf(u':');
  if (colon < 0)
    return 0;
  qsizetype at = colon + 1;
  while (at < line.size() && (line[at] == u' ' || line[at] == u'\t'))
    ++at;
  return at;
}

template <typename LineFunction>
void forEachLine(QStringView text, LineFunction take) {
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf(u'\n', start);
    if (end < 0)
      end = text.size();
    take(start, text.sliced(start, end - start));
    start = end + 1;
  }
}

void readHeaderBlock(ViewBlock& block, FontChoice choice) {
  if (choice == FontChoice::DisplayFont)
    return;
  forEachLine(QString(block.text), [&](qsizetype start, QStringView line) {
    const qsizetype value = valueStart(line);
    const QString read = readHeaderValue(line.sliced(value).toString(), choice).text;
    // One character stays one character: the line keeps its place.
    block.text.replace(start + value, read.size(), read);
  });
  if (choice == FontChoice::PerText)
    block.runs = headerRuns(block.text);
}

}  // namespace

TextScript scriptOf(QStringView text) { return detectScript(text.first(std::min(text.size(), kJudgedChars))); }

bool inUnicodeFont(TextScript script, FontChoice choice) {
  switch (choice) {
    case FontChoice::PerText:
      return !isFontCodeScript(script);
    case FontChoice::UnicodeFont:
      return true;
    case FontChoice::DisplayFont:
      break;
  }
  return false;
}

ScriptedText readHeaderValue(QString value, FontChoice choice) {
  // Encoded words in real charsets are decoded already; what came byte for
  // byte is at most 0xFF and reads as windows-1252 in a Unicode font.
  const TextScript script = scriptOf(value);
  if (!inUnicodeFont(script, choice))
    return {std::move(value), script};
  return {charsets::windows1252(std::move(value)), script};
}

ScriptedText readPartText(QString text, QByteArrayView charset, FontChoice choice) {
  if (choice == FontChoice::DisplayFont)
    return {std::move(text), TextScript::Latin};
  const bool byteForByte = charsets::readsByteForByte(charset) || !charsets::isKnown(charset);
  // Text an HTML part names by entity is no byte of the message.
  if (!byteForByte || !fitsInBytes(text)) {
    const TextScript script = choice == FontChoice::PerText ? scriptOf(text) : TextScript::Latin;
    return {std::move(text), script};
  }
  // Plain ASCII reads alike in every font.
  const bool eightBit = hasEightBit(text);
  if (choice == FontChoice::UnicodeFont)
    return {eightBit ? readForUnicodeFont(std::move(text), labelSaysNothing(charset)) : std::move(text),
            TextScript::Latin};
  const TextScript script = detectScript(QByteArrayView(judgedBytes(text)));
  if (isFontCodeScript(script) || !eightBit)
    return {std::move(text), script};
  // Unicode Sinhala or Tamil from bytes is UTF-8, whatever the label said.
  const bool mayBeUtf8 = labelSaysNothing(charset) || script != TextScript::Latin;
  return {readForUnicodeFont(std::move(text), mayBeUtf8), script};
}

ScriptRuns headerRuns(QStringView headers) {
  ScriptRuns runs;
  forEachLine(headers, [&](qsizetype start, QStringView line) {
    const qsizetype value = valueStart(line);
    appendRun(runs, start, TextScript::Latin);
    if (value < line.size())
      appendRun(runs, start + value, scriptOf(line.sliced(value)));
  });
  return runs;
}

void readView(RenderedMessage& view, FontChoice choice) {
  for (ViewBlock& block : view.blocks) {
    if (block.kind == ViewBlock::Kind::Headers) {
      readHeaderBlock(block, choice);
      continue;
    }
    ScriptedText read = readPartText(std::move(block.text), block.charset, choice);
    block.text = std::move(read.text);
    block.runs.clear();
    if (choice == FontChoice::PerText)
      block.runs.append({0, read.script});
  }
}

ScriptRuns viewRuns(const RenderedMessage& view) {
  ScriptRuns runs;
  qsizetype offset = 0;
  for (const ViewBlock& block : view.blocks) {
    for (const ScriptRun& run : block.runs)
      if (run.start < block.text.size())
        appendRun(runs, offset + run.start, run.script);
    offset += block.text.size();
  }
  return runs;
}

TextScript mainScript(const ScriptRuns& runs, qsizetype textSize) {
  std::array<qsizetype, 5> sizes{};
  for (qsizetype i = 0; i < runs.size(); ++i) {
    const qsizetype end = i + 1 < runs.size() ? runs[i + 1].start : textSize;
    sizes[size_t(runs[i].script)] += std::max<qsizetype>(end - runs[i].start, 0);
  }
  return TextScript(std::max_element(sizes.begin(), sizes.end()) - sizes.begin());
}

}  // namespace reading
