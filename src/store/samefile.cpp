#include "store/samefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace store {

bool sameContents(const QString& a, const QString& b) {
  QFile first(a);
  QFile second(b);
  if (first.size() != second.size() || !first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly))
    return false;
  constexpr qint64 kChunk = 1 << 20;
  while (!first.atEnd()) {
    const QByteArray x = first.read(kChunk);
    if (x.isEmpty() || x != second.read(kChunk))
      return false;
  }
  return second.atEnd();
}

QString sameFileInFolder(const QString& folder, const QString& fileName, const QString& file) {
  const int dot = fileName.lastIndexOf(QLatin1Char('.'));
  const QString stem = dot > 0 ? fileName.left(dot) : fileName;
  const QString ext = dot > 0 ? fileName.mid(dot) : QString();
  const QRegularExpression variant(QRegularExpression::anchoredPattern(
      QRegularExpression::escape(stem) + QStringLiteral("( \\(\\d+\\))?") + QRegularExpression::escape(ext)));
  const QDir dir(folder);
  const QString own = QFileInfo(file).absoluteFilePath();
  const qint64 size = QFileInfo(file).size();
  QFileInfoList candidates = dir.entryInfoList(QDir::Files, QDir::Name);
  // The name itself before its numbered variants.
  std::stable_partition(candidates.begin(), candidates.end(),
                        [&](const QFileInfo& c) { return c.fileName() == fileName; });
  for (const QFileInfo& candidate : candidates) {
    if (candidate.size() != size || !variant.match(candidate.fileName()).hasMatch() ||
        candidate.absoluteFilePath() == own)
      continue;
    if (sameContents(candidate.absoluteFilePath(), own))
      return candidate.filePath();
  }
  return {};
}

}  // namespace store
