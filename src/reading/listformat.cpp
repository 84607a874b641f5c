#include "reading/listformat.h"

#include "maillib/charsets.h"

#include <algorithm>
#include <utility>

namespace reading {

namespace {

// Only blanks count as padding here; tabs and line breaks stay part of the
// value.
QStringView trimBlanks(QStringView text) {
  qsizetype start = 0;
  qsizetype end = text.size();
  while (start < end && text[start] == u' ')
    ++start;
  while (end > start && text[end - 1] == u' ')
    --end;
  return text.sliced(start, end - start);
}

// pad_column's result for a trimmed text, appended to out.
void appendColumn(QString& out, QStringView trimmed, int width) {
  width = std::max(width, 0);
  if (trimmed.size() >= width) {
    out += trimmed.first(width);
    return;
  }
  out += trimmed;
  out.resize(out.size() + width - trimmed.size() + 1, QLatin1Char(' '));
}

}  // namespace

QString pad_column(QString& text, int width) {
  text = trimBlanks(text).toString();
  QString out;
  appendColumn(out, text, width);
  return out;
}

QString name_before_address(const QString& text) {
  const qsizetype p = text.indexOf(QLatin1Char('<'));
  return p < 0 ? text : text.left(p);
}

void sort_file_names(QStringList& names) {
  const qsizetype n = names.size();
  qsizetype g = 1;
  while (g <= n)
    g *= 2;
  for (qsizetype gap = g / 2 - 1; gap >= 1; gap = (gap - 1) / 2) {
    for (qsizetype i = gap; i < n; ++i) {
      // Code-unit comparison: no locale, no case folding.
      for (qsizetype j = i; j >= gap && QString::compare(names.at(j), names.at(j - gap), Qt::CaseSensitive) < 0;
           j -= gap)
        names.swapItemsAt(j, j - gap);
    }
  }
}

QString messageListEntry(QString sender, QString subject, QString date) {
  return listRow(std::move(sender), std::move(subject), std::move(date), FontChoice::DisplayFont).text;
}

namespace {

constexpr quint32 kUnjudged = 0xF;

quint32 packScript(const std::optional<TextScript>& script) { return script ? quint32(*script) : kUnjudged; }

std::optional<TextScript> unpackScript(quint32 bits) {
  return bits == kUnjudged ? std::nullopt : std::optional(TextScript(bits));
}

}  // namespace

quint32 ListCells::pack() const {
  return quint32(senderEnd & 0xFF) | quint32(subjectEnd & 0xFF) << 8 | packScript(scripts[0]) << 16 |
         packScript(scripts[1]) << 20 | packScript(scripts[2]) << 24;
}

ListCells ListCells::unpack(quint32 packed) {
  ListCells cells;
  cells.senderEnd = int(packed & 0xFF);
  cells.subjectEnd = int(packed >> 8 & 0xFF);
  for (int i = 0; i < 3; ++i)
    cells.scripts[size_t(i)] = unpackScript(packed >> (16 + 4 * i) & 0xF);
  return cells;
}

ListRow listRow(QString sender, QString subject, QString date, FontChoice choice) {
  QString from = name_before_address(sender);
  ListRow row;
  const QString* values[3] = {&from, &subject, &date};
  for (size_t i = 0; i < 3; ++i)
    if (maillib::charsets::hasWindows1252Bytes(*values[i]))
      row.cells.scripts[i] = scriptOf(*values[i]);
  // One string, built in place: a large folder makes many of them.
  row.text.reserve(kSenderWidth + kSubjectWidth + kDateWidth + 5);
  appendColumn(row.text, trimBlanks(from), kSenderWidth);
  row.cells.senderEnd = int(row.text.size());
  row.text += QLatin1Char('\t');
  appendColumn(row.text, trimBlanks(subject), kSubjectWidth);
  row.cells.subjectEnd = int(row.text.size());
  row.text += QLatin1Char('\t');
  appendColumn(row.text, trimBlanks(date), kDateWidth);
  if (maillib::charsets::hasWindows1252Bytes(row.text)) {
    row.stored = row.text;
    row.text = listRowText(row.stored, row.cells, choice);
  }
  return row;
}

QString listRowText(const QString& stored, const ListCells& cells, FontChoice choice) {
  if (!maillib::charsets::hasWindows1252Bytes(stored))
    return stored;
  const qsizetype ends[3] = {cells.senderEnd, cells.subjectEnd, stored.size()};
  QString text = stored;
  qsizetype start = 0;
  for (int i = 0; i < 3; ++i) {
    const qsizetype end = std::clamp<qsizetype>(ends[i], start, stored.size());
    const QString cell = stored.mid(start, end - start);
    const std::optional<TextScript>& judged = cells.scripts[size_t(i)];
    if (inUnicodeFont(judged ? *judged : scriptOf(cell), choice))
      text.replace(start, end - start, maillib::charsets::windows1252(cell));
    start = std::min(end + 1, stored.size());
  }
  return text;
}

}  // namespace reading
