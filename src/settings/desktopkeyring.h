#pragma once
// The desktop keyring (Secret Service over D-Bus) through QtKeychain. Its
// jobs are asynchronous; each call here waits for its job in a local event
// loop, no longer than the time-out, so a keyring that never answers cannot
// hang the program.
#include "settings/secretstore.h"

namespace QKeychain {
class Job;
}

class DesktopKeyring : public SecretStore {
 public:
  static constexpr int kDefaultTimeoutMs = 20000;
  explicit DesktopKeyring(int timeoutMs = kDefaultTimeoutMs);

  QString absence() override;
  bool locked() override;
  Reply read(const QString& account) override;
  Reply write(const QString& account, const QString& secret) override;

 private:
  Reply run(QKeychain::Job* job);
  int timeoutMs_;
};
