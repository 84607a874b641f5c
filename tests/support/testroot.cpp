#include "support/testroot.h"

#include "settings/settingsstore.h"
#include "store/mailstore.h"
#include "support/files.h"

#include <QDir>

TestRoot::TestRoot() {
  qputenv("TOVELMAIL_ROOT", root().toLocal8Bit());
  qputenv("TOVELMAIL_SETTINGS", settingsFile().toLocal8Bit());
  // Tests never touch the keyring of the desktop they run on.
  qputenv("TOVELMAIL_KEYRING", "off");
}

TestRoot::~TestRoot() {
  qunsetenv("TOVELMAIL_ROOT");
  qunsetenv("TOVELMAIL_SETTINGS");
  qunsetenv("TOVELMAIL_KEYRING");
}

QString TestRoot::root() const { return dir_.path() + QStringLiteral("/Email/"); }

QString TestRoot::settingsFile() const { return dir_.path() + QStringLiteral("/tovelmail.ini"); }

QString TestRoot::path(const QString& relative) const { return root() + relative; }

void TestRoot::write(const QString& relative, const QByteArray& data) const { writeTestFile(path(relative), data); }

void resetProgramState(const TestRoot& root) {
  QDir().mkpath(root.root());
  mailStore() = MailStore();
  mailStore().setRoot(root.root());
  settings() = TovelSettings();
  setSettingsBackend(std::make_unique<QSettingsBackend>(root.settingsFile()));
}

void storeCompleteSettings(const QString& popPassword) {
  TovelSettings s;
  s.user_email = QStringLiteral("me@example.org");
  s.user_name = QStringLiteral("Me");
  s.pop_host = QStringLiteral("127.0.0.1:1");
  s.pop_user = QStringLiteral("me");
  s.pop_password = popPassword;
  s.smtp_host = QStringLiteral("127.0.0.1:1");
  storeSettings(settingsBackend(), kSettingNames, s);
}
