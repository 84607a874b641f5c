#include "store/writefailure.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>
#include <unistd.h>

namespace store {

namespace {

// Room a file takes beyond its bytes: blocks, the directory entry.
constexpr qint64 kFileOverhead = 64 * 1024;

bool folderWritable(const QString& folder) {
  return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

}  // namespace

QString sizeText(qint64 bytes) {
  if (bytes < 1000)
    return QStringLiteral("%1 bytes").arg(bytes);
  return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString writeFailureText(const QString& path, qint64 bytesNeeded, const QString& systemText) {
  const QString folder = QFileInfo(path).absolutePath();
  if (!folderWritable(folder))
    return QStringLiteral("The folder %1 may not be written to, so %2 could not be saved. Give this "
                          "user the right to write there and try again.")
        .arg(QDir::toNativeSeparators(folder), QFileInfo(path).fileName());
  const QStorageInfo disk(folder);
  const qint64 free = disk.isValid() ? disk.bytesAvailable() : -1;
  const bool full = systemText.contains(QLatin1String("No space"), Qt::CaseInsensitive) ||
                    (free >= 0 && free < bytesNeeded + kFileOverhead);
  if (full)
    return QStringLiteral("The disk holding %1 is full: %2 free, and %3 needs %4. Make room on the "
                          "disk and try again.")
        .arg(QDir::toNativeSeparators(folder), sizeText(qMax<qint64>(free, 0)),
             QFileInfo(path).fileName(), sizeText(bytesNeeded));
  return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), systemText);
}

}  // namespace store
