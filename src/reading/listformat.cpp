#include "reading/listformat.h"

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
  QString from = name_before_address(sender);
  return pad_column(from, kSenderWidth) + QLatin1Char('\t') + pad_column(subject, kSubjectWidth) +
         QLatin1Char('\t') + pad_column(date, kDateWidth);
}


}  // namespace reading
