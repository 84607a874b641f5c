#pragma once
// What the POP3 and SMTP clients share: the channel they talk over, the
// failure handler, and whether they are the channel's active client.
#include "maillib/linechannel.h"

#include <functional>

namespace maillib {

class ProtocolClient : public QObject {
  Q_OBJECT
 public:
  using DoneFn = std::function<void()>;
  using FailFn = std::function<void(const NetError&)>;

  void setFailureHandler(FailFn fail) { fail_ = std::move(fail); }
  // Only the active client of a shared channel hears of its events.
  void setActive(bool active);
  // Whether a password may go out over a connection without TLS (off unless
  // the user turned it on for the account).
  void setAllowPlainLogin(bool allow) { allow_plain_login_ = allow; }

 protected:
  ProtocolClient(LineChannel* channel, QObject* parent);

  // The session can no longer be used (not logged in, not ready).
  virtual void sessionLost() = 0;
  // A refusal of one command (reply given, keepOpen) leaves the session usable.
  void fail(int code, const QString& diagnosis, const Reply* reply = nullptr, bool keepOpen = false);
  // Whether the login may be sent now. Refuses, through the failure handler,
  // a user name or password that holds CR, LF or NUL, and any login over an
  // unencrypted connection unless plain logins were allowed. `server` names
  // the server for the message ("POP3 server x").
  bool mayLogin(const QString& server, const QString& user, const QString& password);
  // QUIT, then closes. A failure while saying goodbye only means the server
  // keeps what it had, so this never fails.
  void sayGoodbye(ReplyKind kind, DoneFn done);

  LineChannel* ch_;
  FailFn fail_;

 private:
  bool active_ = true;
  bool allow_plain_login_ = false;
};

}  // namespace maillib
