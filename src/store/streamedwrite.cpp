#include "store/streamedwrite.h"

#include "store/writefailure.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace store {

WriteResult writeFileStreamed(const QString& path, const std::function<QString(QIODevice&)>& produce,
                              bool overwrite, const std::function<qint64()>& bytesNeeded) {
  const QFileInfo info(path);
  if (!info.dir().exists())
    return {false, QStringLiteral("The folder %1 does not exist.").arg(info.absolutePath())};
  if (!overwrite && info.exists())
    return {false, QStringLiteral("%1 already exists.").arg(path)};
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return {false, writeFailureText(path, bytesNeeded ? bytesNeeded() : 0, file.errorString())};
  const QString why = produce(file);
  if (!why.isEmpty()) {
    file.cancelWriting();
    return {false, writeFailureText(path, bytesNeeded ? bytesNeeded() : file.size(), why)};
  }
  const qint64 written = file.size();
  if (!file.commit())
    return {false, writeFailureText(path, bytesNeeded ? bytesNeeded() : written, file.errorString())};
  return {true, {}};
}

}  // namespace store
