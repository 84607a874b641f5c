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

double leadingNumber(const QString& text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
    ++i;
  const qsizetype start = i;
  if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
    ++i;
  auto digit = [&](qsizetype k) { return k < n && text.at(k) >= QLatin1Char('0') && text.at(k) <= QLatin1Char('9'); };
  qsizetype digits = 0;
  while (digit(i)) {
    ++i;
    ++digits;
  }
  if (i < n && text.at(i) == QLatin1Char('.')) {
    ++i;
    while (digit(i)) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0)
    return 0.0;
  qsizetype end = i;
  if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
    qsizetype k = i + 1;
    if (k < n && (text.at(k) == QLatin1Char('+') || text.at(k) == QLatin1Char('-')))
      ++k;
    if (digit(k)) {
      while (digit(k))
        ++k;
      end = k;
    }
  }
  bool ok = false;
  const double value = text.mid(start, end - start).toDouble(&ok);
  return ok ? value : 0.0;
}

}  // namespace reading
