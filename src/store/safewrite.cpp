#include "store/safewrite.h"

#include "store/writefailure.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <fcntl.h>
#include <unistd.h>

namespace store {

WriteResult writeFileSafely(const QString& path, const QByteArray& data, bool overwrite) {
  const QFileInfo info(path);
  if (!info.dir().exists())
    return {false, QStringLiteral("The folder %1 does not exist.").arg(info.absolutePath())};
  if (!overwrite && info.exists())
    return {false, QStringLiteral("%1 already exists.").arg(path)};
  // QSaveFile writes to a temporary file in the same folder, flushes and
  // fsyncs it, and renames it over the target on commit.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return {false, writeFailureText(path, data.size(), file.errorString())};
  if (file.write(data) != data.size()) {
    const QString why = file.errorString();
    file.cancelWriting();
    return {false, writeFailureText(path, data.size(), why)};
  }
  if (!file.commit())
    return {false, writeFailureText(path, data.size(), file.errorString())};
  return {true, {}};
}

bool syncFolder(const QString& folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

namespace {
bool syncFile(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}
}  // namespace

WriteResult moveFileSafely(const QString& from, const QString& to) {
  QFile file(from);
  // QFile::rename never replaces an existing file.
  if (!file.rename(to))
    return {false, file.errorString()};
  // A rename is one step of a journaling file system's log: once the
  // target folder is synced, the old name is gone for good as well.
  if (!syncFile(to) || !syncFolder(QFileInfo(to).absolutePath()))
    return {false, QStringLiteral("The move of %1 to %2 could not be synced to disk.").arg(from, to)};
  return {true, {}};
}

QString freeFileName(const QString& folder, const QString& fileName) {
  QDir dir(folder);
  if (!dir.exists(fileName))
    return fileName;
  const int dot = fileName.lastIndexOf(QLatin1Char('.'));
  const QString stem = dot > 0 ? fileName.left(dot) : fileName;
  const QString ext = dot > 0 ? fileName.mid(dot) : QString();
  for (int n = 2;; ++n) {
    const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(ext);
    if (!dir.exists(candidate))
      return candidate;
  }
}

}  // namespace store
