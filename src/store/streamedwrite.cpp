#include "store/streamedwrite.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace store {

WriteResult writeFileStreamed(const QString& path, const std::function<QString(QIODevice&)>& produce,
                              bool overwrite) {
  const QFileInfo info(path);
  if (!info.dir().exists())
    return {false, QStringLiteral("The folder %1 does not exist.").arg(info.absolutePath())};
  if (!overwrite && info.exists())
    return {false, QStringLiteral("%1 already exists.").arg(path)};
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return {false, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString())};
  const QString why = produce(file);
  if (!why.isEmpty()) {
    file.cancelWriting();
    return {false, QStringLiteral("Cannot write %1: %2").arg(path, why)};
  }
  if (!file.commit())
    return {false, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString())};
  return {true, {}};
}

}  // namespace store
