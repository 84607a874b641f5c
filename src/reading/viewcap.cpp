#include "reading/viewcap.h"

#include <algorithm>
#include <limits>

namespace reading {

QString hiddenTextNotice(int lines, qsizetype chars) {
  return QStringLiteral("... %1 more %2 (%3 characters) %4 not shown here; Show, Source shows the whole message.\n")
      .arg(QString::number(lines), lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"),
           QString::number(chars), lines == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}

CappedText capViewText(const QString& text, ViewLimit limit) {
  CappedText out;
  // The end of the last whole line within both limits.
  qsizetype cut = 0;
  int lines = 0;
  while (cut < text.size() && lines < limit.maxLines) {
    const qsizetype nl = text.indexOf(QLatin1Char('\n'), cut);
    const qsizetype end = nl < 0 ? text.size() : nl + 1;
    if (end > limit.maxChars)
      break;
    cut = end;
    ++lines;
  }
  if (cut >= text.size()) {
    out.text = text;
    return out;
  }
  // Not even the first line fits: show as much of it as the limit allows.
  if (cut == 0)
    cut = std::min(text.size(), limit.maxChars);
  out.hiddenChars = text.size() - cut;
  const QStringView rest = QStringView(text).sliced(cut);
  out.hiddenLines = int(std::min<qsizetype>(rest.count(QLatin1Char('\n')) + (rest.endsWith(QLatin1Char('\n')) ? 0 : 1),
                                            std::numeric_limits<int>::max()));
  out.text.reserve(cut + 120);
  out.text = QStringView(text).first(cut).toString();
  if (!out.text.endsWith(QLatin1Char('\n')))
    out.text += QLatin1Char('\n');
  out.text += hiddenTextNotice(out.hiddenLines, out.hiddenChars);
  return out;
}

}  // namespace reading
