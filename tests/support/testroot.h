#pragma once
// A throw-away mailbox root and settings file for one test, pointed to by
// TOVELMAIL_ROOT and TOVELMAIL_SETTINGS while it lives; keyring use is off
// (TOVELMAIL_KEYRING) so no test reaches the desktop's keyring.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class TestRoot {
 public:
  TestRoot();
  ~TestRoot();
  QString root() const;          // ends in a separator
  QString settingsFile() const;
  QString path(const QString& relative) const;
  // Writes a file below the root, creating folders on the way.
  void write(const QString& relative, const QByteArray& data) const;

 private:
  QTemporaryDir dir_;
};

// Starts each test with fresh program-wide state: the store points at root,
// the settings and the settings backend are reset.
void resetProgramState(const TestRoot& root);

// Stores all six settings (servers on a closed local port), so start-up
// opens no settings dialog.
void storeCompleteSettings(const QString& popPassword = QStringLiteral("pw"));
