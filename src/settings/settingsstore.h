#pragma once
// The six settings and the store that keeps them between runs: the registry
// key "SOFTWARE\TOVELMAIL" on Windows, an INI file (mode 0600) elsewhere.
// Values are kept in their digit-encoded form under the same names. A
// seventh, optional value, PLAINLOGIN ("1" or "0", encoded the same way),
// says whether the password may go to a server without encryption.
#include <QString>
#include <QStringList>
#include <memory>

struct TovelSettings {
  QString user_email;
  QString user_name;
  QString pop_host;
  QString pop_user;
  QString pop_password;
  QString smtp_host;
  // Where pop_password is kept between runs (see PasswordKeeper).
  enum class PasswordPlace { SettingsFile, Keyring };
  PasswordPlace password_place = PasswordPlace::SettingsFile;
  // Off unless the user allowed it: logins over unencrypted connections are
  // refused.
  bool allow_plain_login = false;
  // Copies of the POP login taken at start-up.
  QString session_user;
  QString session_password;
};

// The program-wide settings.
TovelSettings& settings();

inline const QString kSettingsKey = QStringLiteral("SOFTWARE\\TOVELMAIL");
inline const QStringList kSettingNames = {
    QStringLiteral("USEREMAIL"), QStringLiteral("USERNAME"), QStringLiteral("POPHOST"),
    QStringLiteral("POPUSER"),   QStringLiteral("POPDOOR"),  QStringLiteral("SMTPHOST")};

// Not among kSettingNames: a store without it is complete, and reads as off.
inline const QString kPlainLoginName = QStringLiteral("PLAINLOGIN");

class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;
  // The text stored under name, exactly as stored; empty when absent.
  virtual QString query_value(const QString& name) = 0;
  virtual void create_key() = 0;
  virtual bool set_key_value(const QString& name, const QString& value) = 0;
  // Takes the value out of the store; an empty value reads as absent too.
  virtual bool remove_value(const QString& name) { return set_key_value(name, QString()); }
};

// QSettings over the registry (Windows) or the INI file of `path`.
class QSettingsBackend : public SettingsBackend {
 public:
  explicit QSettingsBackend(const QString& iniPath);
  QString query_value(const QString& name) override;
  void create_key() override;
  bool set_key_value(const QString& name, const QString& value) override;
  bool remove_value(const QString& name) override;

 private:
  QString path_;
};

// The backend in use; the default one reads platform::settingsFilePath().
SettingsBackend& settingsBackend();
void setSettingsBackend(std::unique_ptr<SettingsBackend> backend);

// Removes the NUL that ends text read from the registry; text without one
// comes back unchanged, so no character is lost.
QString drop_terminator(const QString& text);

// Loads the six settings into s in the order of kSettingNames. A missing
// value keeps the present one. A damaged value ends the load at once with
// false. True when all six are non-empty afterwards. PLAINLOGIN is read
// last; anything but a stored "1" leaves plain logins off.
bool loadSettings(TovelSettings& s, SettingsBackend& backend);

// The reading half of loadSettings: false only when a value is damaged.
bool readSettings(TovelSettings& s, SettingsBackend& backend);
// True when all six settings are non-empty.
bool settingsComplete(const TovelSettings& s);

// Encodes and stores the named settings (create_key first); the names may
// include kPlainLoginName.
void storeSettings(SettingsBackend& backend, const QStringList& names, const TovelSettings& s);

QString* settingByName(TovelSettings& s, const QString& name);
