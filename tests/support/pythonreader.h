#pragma once
// Runs one of the tests' Python readers (an independent MIME reader built on
// Python's email package) on a message file and returns the JSON it prints;
// an empty object, with the reader's errors logged, when it fails.
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

inline QJsonObject readWithPython(const QString& script, const QString& messagePath) {
  QProcess python;
  python.start(QStringLiteral("python3"), {QStringLiteral(TOVEL_SOURCE_DIR "/tests/") + script, messagePath});
  if (!python.waitForFinished(60000) || python.exitCode() != 0) {
    qWarning().noquote() << python.readAllStandardError();
    return {};
  }
  return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}
