#pragma once
// Where the POP password is kept between runs: in the desktop keyring when
// one answers, else in the settings file under POPDOOR, digit-encoded like
// every other value. A password found in the file is moved into the keyring
// and taken out of the file only once the keyring gives it back. Every
// failure of the keyring is told to the user and leaves the password in the
// file; a desktop without any keyring uses the file and says nothing.
//
// The settings file remembers the outcome under POPDOORPLACE: "keyring"
// while the keyring holds the password, "file" after the keyring refused it
// (start-up then leaves it in the file; saving Connection Options tries the
// keyring again).
#include "settings/secretstore.h"
#include "settings/settingsstore.h"

#include <memory>

inline const QString kPasswordName = QStringLiteral("POPDOOR");
inline const QString kPasswordPlaceName = QStringLiteral("POPDOORPLACE");

class PasswordKeeper {
 public:
  // keyring null: keyring use is turned off, the file alone is used.
  PasswordKeeper(SettingsBackend& file, SecretStore* keyring);

  // Start-up: reads the settings (as loadSettings) with the password from
  // wherever it is kept, and sets s.password_place. True when all six
  // settings are there.
  bool load(TovelSettings& s);
  // Keeps password (the keyring first, the file when that fails); sets
  // s.password_place to where it went.
  void store(TovelSettings& s);

 private:
  using Place = TovelSettings::PasswordPlace;
  Place restore(TovelSettings& s);
  Place keepInFile(const QString& password);
  bool moveIntoKeyring(const TovelSettings& s, const QString& password, QString* reason);
  QString filePlace();

  SettingsBackend& file_;
  SecretStore* keyring_;
};

// The keyring's name for the password: "user@host" of the POP account, so
// profiles with other accounts (the demo's, say) keep theirs apart.
QString keyringAccount(const TovelSettings& s);

// The sentence the connection dialog shows about the place.
QString passwordPlaceText(TovelSettings::PasswordPlace place);

// The keyring in use: one installed by setSecretStore, else none when
// TOVELMAIL_KEYRING is "off", else the desktop's.
SecretStore* secretStore();
void setSecretStore(std::unique_ptr<SecretStore> store);
// A keeper over settingsBackend() and secretStore().
PasswordKeeper passwordKeeper();
