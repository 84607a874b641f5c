#include "settings/passwordkeeper.h"

#include "platform/codepage.h"
#include "platform/prompter.h"
#include "settings/crypt.h"
#include "settings/desktopkeyring.h"

namespace {

const QString kInKeyring = QStringLiteral("keyring");
const QString kInFile = QStringLiteral("file");

QString storedText(SettingsBackend& file, const QString& name) {
  const QString stored = drop_terminator(file.query_value(name)).trimmed();
  return stored.isEmpty() ? QString() : decode_value(stored).value_or(QString());
}

void tell(const QString& text) { platform::msgBox(text, {}, platform::MessageIcon::Exclamation); }

}  // namespace

PasswordKeeper::PasswordKeeper(SettingsBackend& file, SecretStore* keyring)
    : file_(file), keyring_(keyring) {}

bool PasswordKeeper::load(TovelSettings& s) {
  const bool intact = readSettings(s, file_);
  // A damaged file leaves the account half read: nothing is moved then.
  s.password_place = intact ? restore(s) : Place::SettingsFile;
  return intact && settingsComplete(s);
}

QString PasswordKeeper::filePlace() { return storedText(file_, kPasswordPlaceName); }

PasswordKeeper::Place PasswordKeeper::restore(TovelSettings& s) {
  const QString inFile = storedText(file_, kPasswordName);
  const QString absence = keyring_ ? keyring_->absence() : QStringLiteral("keyring use is turned off");
  if (!absence.isEmpty()) {
    if (inFile.isEmpty() && filePlace() == kInKeyring)
      tell(QStringLiteral("The POP password is kept in the desktop keyring, which cannot be used now: "
                          "%1. Type it again under Settings, Connection; it is then kept in the "
                          "settings file.").arg(absence));
    return Place::SettingsFile;
  }
  if (!inFile.isEmpty()) {
    if (filePlace() == kInFile)
      return Place::SettingsFile;
    QString reason;
    if (moveIntoKeyring(s, inFile, &reason))
      return Place::Keyring;
    file_.set_key_value(kPasswordPlaceName, encode_value(kInFile));
    tell(QStringLiteral("The POP password could not be moved into the desktop keyring: %1. It stays "
                        "in the settings file; saving the connection settings tries the keyring "
                        "again.").arg(reason));
    return Place::SettingsFile;
  }
  const SecretStore::Reply found = keyring_->read(keyringAccount(s));
  if (found.status == SecretStore::Status::Ok) {
    s.pop_password = found.secret;
    return Place::Keyring;
  }
  const bool missing = found.status == SecretStore::Status::NotFound;
  if (missing && !keyring_->locked())
    return Place::Keyring;  // nothing stored yet: a new password goes there
  tell(QStringLiteral("The POP password could not be read from the desktop keyring: %1. Type it "
                      "under Settings, Connection.")
           .arg(missing ? QStringLiteral("the keyring is locked") : found.reason));
  return Place::SettingsFile;
}

bool PasswordKeeper::moveIntoKeyring(const TovelSettings& s, const QString& password,
                                     QString* reason) {
  const SecretStore::Reply written = keyring_->write(keyringAccount(s), password);
  if (written.status != SecretStore::Status::Ok) {
    *reason = written.reason;
    return false;
  }
  const SecretStore::Reply back = keyring_->read(keyringAccount(s));
  if (back.status != SecretStore::Status::Ok || back.secret != password) {
    *reason = back.reason.isEmpty() ? QStringLiteral("the keyring did not give the password back")
                                    : back.reason;
    return false;
  }
  file_.set_key_value(kPasswordPlaceName, encode_value(kInKeyring));
  if (!file_.remove_value(kPasswordName)) {
    *reason = QStringLiteral("the settings file could not be changed");
    return false;
  }
  return true;
}

PasswordKeeper::Place PasswordKeeper::keepInFile(const QString& password) {
  // The file's encoding holds one byte per character; anything beyond would
  // come back as '?' and lock the user out at the next start.
  if (platform::fromCodePage(platform::toCodePage(password)) != password) {
    file_.remove_value(kPasswordName);
    tell(QStringLiteral("The POP password has characters the settings file cannot hold. It is used "
                        "until the program ends and must be typed again at the next start."));
  } else {
    file_.set_key_value(kPasswordName, encode_value(password));
  }
  return Place::SettingsFile;
}

void PasswordKeeper::store(TovelSettings& s) {
  file_.create_key();
  if (!keyring_ || !keyring_->absence().isEmpty()) {
    if (!filePlace().isEmpty())
      file_.remove_value(kPasswordPlaceName);
    s.password_place = keepInFile(s.pop_password);
    return;
  }
  QString reason;
  if (moveIntoKeyring(s, s.pop_password, &reason)) {
    s.password_place = Place::Keyring;
    return;
  }
  s.password_place = keepInFile(s.pop_password);
  file_.set_key_value(kPasswordPlaceName, encode_value(kInFile));
  tell(QStringLiteral("The desktop keyring did not keep the POP password: %1. It is kept in the "
                      "settings file instead.").arg(reason));
}

QString keyringAccount(const TovelSettings& s) { return s.pop_user + QLatin1Char('@') + s.pop_host; }

QString passwordPlaceText(TovelSettings::PasswordPlace place) {
  return place == TovelSettings::PasswordPlace::Keyring
             ? QStringLiteral("Password kept in the desktop keyring")
             : QStringLiteral("Password kept in the settings file");
}

namespace {

std::unique_ptr<SecretStore>& installedStore() {
  static std::unique_ptr<SecretStore> store;
  return store;
}

}  // namespace

SecretStore* secretStore() {
  if (installedStore())
    return installedStore().get();
  const QString choice = qEnvironmentVariable("TOVELMAIL_KEYRING").toLower();
  if (choice == QLatin1String("off") || choice == QLatin1String("no") || choice == QLatin1String("0"))
    return nullptr;
  static DesktopKeyring desktop;
  return &desktop;
}

void setSecretStore(std::unique_ptr<SecretStore> store) { installedStore() = std::move(store); }

PasswordKeeper passwordKeeper() { return PasswordKeeper(settingsBackend(), secretStore()); }
