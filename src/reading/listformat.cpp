#include "reading/listformat.h"

#include "maillib/charsets.h"

#include <algorithm>
#include <utility>

namespace reading {

QString pad_column(QString& text, int width) {
  // Only blanks count as padding here; tabs and line breaks stay part of
  // the value.
  qsizetype start = 0;
  qsizetype end = text.size();
  while (start < end && text.at(start) == QLatin1Char(' '))
    ++start;
  while (end > start && text.at(end - 1) == QLatin1Char(' '))
    --end;
  text = text.mid(start, end - start);
  if (width < 0)
    width = 0;
  if (text.size() >= width)
    return text.left(width);
  return text + QString(width - text.size() + 1, QLatin1Char(' '));
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

quint32 ListCells::pack() const {
  return quint32(senderEnd & 0xFF) | quint32(subjectEnd & 0xFF) << 8 | quint32(scripts[0]) << 16 |
         quint32(scripts[1]) << 20 | quint32(scripts[2]) << 24;
}

ListCells ListCells::unpack(quint32 packed) {
  ListCells cells;
  cells.senderEnd = int(packed & 0xFF);
  cells.subjectEnd = int(packed >> 8 & 0xFF);
  for (int i = 0; i < 3; ++i)
    cells.scripts[size_t(i)] = TextScript(packed >> (16 + 4 * i) & 0xF);
  return cells;
}

ListRow listRow(QString sender, QString subject, QString date, FontChoice choice) {
  QString from = name_before_address(sender);
  ListRow row;
  row.cells.scripts = {scriptOf(from), scriptOf(subject), scriptOf(date)};
  const QString columns[3] = {pad_column(from, kSenderWidth), pad_column(subject, kSubjectWidth),
                              pad_column(date, kDateWidth)};
  row.cells.senderEnd = int(columns[0].size());
  row.cells.subjectEnd = int(columns[0].size() + 1 + columns[1].size());
  const QString stored = columns[0] + QLatin1Char('\t') + columns[1] + QLatin1Char('\t') + columns[2];
  row.text = listRowText(stored, row.cells, choice);
  if (row.text != stored)
    row.stored = stored;
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
    if (inUnicodeFont(cells.scripts[size_t(i)], choice))
      text.replace(start, end - start, maillib::charsets::windows1252(stored.mid(start, end - start)));
    start = std::min(end + 1, stored.size());
  }
  return text;
}

}  // namespace reading
