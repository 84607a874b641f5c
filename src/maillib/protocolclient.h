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

 protected:
  ProtocolClient(LineChannel* channel, QObject* parent);

  // The session can no longer be used (not logged in, not ready).
  virtual void sessionLost() = 0;
  // A refusal of one command (reply given, keepOpen) leaves the session usable.
  void fail(int code, const QString& diagnosis, const Reply* reply = nullptr, bool keepOpen = false);
  // QUIT, then closes. A failure while saying goodbye only means the server
  // keeps what it had, so this never fails.
  void sayGoodbye(ReplyKind kind, DoneFn done);

  LineChannel* ch_;
  FailFn fail_;

 private:
  bool active_ = true;
};

}  // namespace maillib
