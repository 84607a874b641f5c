#include "settings/settingsstore.h"

#include "platform/paths.h"
#include "settings/crypt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

TovelSettings& settings() {
  static TovelSettings s;
  return s;
}

namespace {

std::unique_ptr<SettingsBackend>& backendSlot() {
  static std::unique_ptr<SettingsBackend> backend;
  return backend;
}

#ifdef Q_OS_WIN
std::unique_ptr<QSettings> openStore(const QString&) {
  return std::make_unique<QSettings>(QStringLiteral("HKEY_LOCAL_MACHINE\\") + kSettingsKey,
                                     QSettings::NativeFormat);
}
const QString kGroup;
#else
std::unique_ptr<QSettings> openStore(const QString& path) {
  return std::make_unique<QSettings>(path, QSettings::IniFormat);
}
const QString kGroup = QStringLiteral("SOFTWARE/TOVELMAIL");
#endif

void restrictToOwner(const QString& path) {
#ifndef Q_OS_WIN
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#else
  Q_UNUSED(path);
#endif
}

}  // namespace

QSettingsBackend::QSettingsBackend(const QString& iniPath) : path_(iniPath) {}

QString QSettingsBackend::query_value(const QString& name) {
  auto store = openStore(path_);
  if (!kGroup.isEmpty())
    store->beginGroup(kGroup);
  const QVariant value = store->value(name);
  return value.isValid() ? value.toString() : QString();
}

void QSettingsBackend::create_key() {
#ifndef Q_OS_WIN
  QDir().mkpath(QFileInfo(path_).absolutePath());
  if (!QFileInfo::exists(path_)) {
    QFile file(path_);
    if (file.open(QIODevice::WriteOnly))
      file.close();
  }
  restrictToOwner(path_);
#endif
}

bool QSettingsBackend::set_key_value(const QString& name, const QString& value) {
  auto store = openStore(path_);
  if (!kGroup.isEmpty())
    store->beginGroup(kGroup);
  store->setValue(name, value);
  store->sync();
  restrictToOwner(path_);
  return store->status() == QSettings::NoError;
}

bool QSettingsBackend::remove_value(const QString& name) {
  auto store = openStore(path_);
  if (!kGroup.isEmpty())
    store->beginGroup(kGroup);
  store->remove(name);
  store->sync();
  return store->status() == QSettings::NoError && !store->contains(name);
}

SettingsBackend& settingsBackend() {
  auto& slot = backendSlot();
  if (!slot)
    slot = std::make_unique<QSettingsBackend>(platform::settingsFilePath());
  return *slot;
}

void setSettingsBackend(std::unique_ptr<SettingsBackend> backend) { backendSlot() = std::move(backend); }

QString drop_terminator(const QString& text) {
  if (text.endsWith(QChar(0)))
    return text.left(text.size() - 1);
  return text;
}

QString* settingByName(TovelSettings& s, const QString& name) {
  if (name == QLatin1String("USEREMAIL")) return &s.user_email;
  if (name == QLatin1String("USERNAME")) return &s.user_name;
  if (name == QLatin1String("POPHOST")) return &s.pop_host;
  if (name == QLatin1String("POPUSER")) return &s.pop_user;
  if (name == QLatin1String("POPDOOR")) return &s.pop_password;
  if (name == QLatin1String("SMTPHOST")) return &s.smtp_host;
  return nullptr;
}

bool loadSettings(TovelSettings& s, SettingsBackend& backend) {
  return readSettings(s, backend) && settingsComplete(s);
}

bool readSettings(TovelSettings& s, SettingsBackend& backend) {
  for (const QString& name : kSettingNames) {
    const QString stored = drop_terminator(backend.query_value(name)).trimmed();
    if (stored.isEmpty())
      continue;
    const std::optional<QString> plain = decode_value(stored);
    if (!plain)
      return false;
    *settingByName(s, name) = *plain;
  }
  const QString plain = drop_terminator(backend.query_value(kPlainLoginName)).trimmed();
  s.allow_plain_login = !plain.isEmpty() && decode_value(plain) == QStringLiteral("1");
  return true;
}

bool settingsComplete(const TovelSettings& s) {
  TovelSettings copy = s;
  for (const QString& name : kSettingNames)
    if (settingByName(copy, name)->isEmpty())
      return false;
  return true;
}

void storeSettings(SettingsBackend& backend, const QStringList& names, const TovelSettings& s) {
  backend.create_key();
  TovelSettings copy = s;
  for (const QString& name : names) {
    if (name == kPlainLoginName)
      backend.set_key_value(name, encode_value(s.allow_plain_login ? QStringLiteral("1")
                                                                   : QStringLiteral("0")));
    else
      backend.set_key_value(name, encode_value(*settingByName(copy, name)));
  }
}
