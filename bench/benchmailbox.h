#pragma once
// What the window benchmarks share: a mailbox and an account in a temporary
// folder, files written or the run stopped, and the median of the rounds.
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

inline void writeFile(const QString& path, const QByteArray& data) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(2);
  }
}

inline double median(QList<double> values) {
  std::sort(values.begin(), values.end());
  return values.at(values.size() / 2);
}

// Points the program at a mailbox root inside `temp` and returns that root.
inline QString useBenchMailbox(const QTemporaryDir& temp) {
  const QString root = temp.path() + QStringLiteral("/Email/");
  qputenv("TOVELMAIL_ROOT", root.toLocal8Bit());
  qputenv("TOVELMAIL_SETTINGS", (temp.path() + QStringLiteral("/tovelmail.ini")).toLocal8Bit());
  return root;
}

// Stores an account whose servers never answer, so start-up asks nothing.
inline void storeBenchAccount(const QTemporaryDir& temp) {
  TovelSettings s;
  s.user_email = QStringLiteral("me@example.org");
  s.user_name = QStringLiteral("Me");
  s.pop_host = QStringLiteral("127.0.0.1:1");
  s.pop_user = QStringLiteral("me");
  s.pop_password = QStringLiteral("pw");
  s.smtp_host = QStringLiteral("127.0.0.1:1");
  setSettingsBackend(std::make_unique<QSettingsBackend>(temp.path() + QStringLiteral("/tovelmail.ini")));
  storeSettings(settingsBackend(), kSettingNames, s);
}
