#pragma once
// A keyring as the settings see it: one secret per account (the POP
// password of "user@host"), read and written whole. The program uses the desktop's (DesktopKeyring); tests may
// put another in its place.
#include <QString>

class SecretStore {
 public:
  enum class Status { Ok, NotFound, Failed };
  struct Reply {
    Status status = Status::Failed;
    QString secret;  // what a read found
    QString reason;  // for the user, when something went wrong
  };

  virtual ~SecretStore() = default;
  // Why no keyring can be used here (no D-Bus session, no Secret Service);
  // empty when one answers. Quick, and asks nothing of the user.
  virtual QString absence() = 0;
  // True when the keyring answers but is locked, so a read finds nothing.
  virtual bool locked() = 0;
  virtual Reply read(const QString& account) = 0;
  virtual Reply write(const QString& account, const QString& secret) = 0;
};
