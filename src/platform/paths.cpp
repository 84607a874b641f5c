#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {

QString withTrailingSeparator(QString path) {
  if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('\\')))
    path += QLatin1Char('/');
  return path;
}

QString executableFolder() {
  if (QCoreApplication::instance())
    return QCoreApplication::applicationDirPath();
  return QDir::currentPath();
}

}  // namespace

QString mailRoot() {
#ifdef Q_OS_WIN
  QString root = QStringLiteral("c:\\Email\\");
#else
  QString root = qEnvironmentVariable("TOVELMAIL_ROOT");
  if (root.isEmpty())
    root = joinPath(QDir::homePath(), QStringLiteral("Email"));
  root = withTrailingSeparator(root);
#endif
  QDir().mkpath(root);
  return root;
}

QString joinPath(const QString& a, const QString& b) {
  if (a.isEmpty())
    return b;
  QString left = a;
  while (left.size() > 1 && (left.endsWith(QLatin1Char('/')) || left.endsWith(QLatin1Char('\\'))))
    left.chop(1);
  QString right = b;
  while (right.startsWith(QLatin1Char('/')) || right.startsWith(QLatin1Char('\\')))
    right.remove(0, 1);
  if (left == QLatin1String("/"))
    return left + right;
  return left + QDir::separator() + right;
}

QString joinPath(const QString& a, const QString& b, const QString& c) {
  return joinPath(joinPath(a, b), c);
}

QString programFolder() {
  const QString exe = executableFolder();
  if (QFileInfo::exists(joinPath(exe, QStringLiteral("neltex.csv"))))
    return exe;
  const QString shared = QDir::cleanPath(joinPath(exe, QStringLiteral("../share/tovelmail")));
  if (QFileInfo::exists(shared))
    return shared;
  return exe;
}

QString windowsDirectory() {
#ifdef Q_OS_WIN
  const QString windir = qEnvironmentVariable("WINDIR");
  if (!windir.isEmpty())
    return windir;
#endif
  return programFolder();
}

QString fontsFolder() { return joinPath(windowsDirectory(), QStringLiteral("fonts")); }

QString settingsFilePath() {
  QString path = qEnvironmentVariable("TOVELMAIL_SETTINGS");
  if (!path.isEmpty())
    return path;
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty())
    config = joinPath(QDir::homePath(), QStringLiteral(".config"));
  return joinPath(config, QStringLiteral("TovelMail"), QStringLiteral("tovelmail.ini"));
}

bool directoryExists(const QString& path) { return QFileInfo(path).isDir(); }

}  // namespace platform
