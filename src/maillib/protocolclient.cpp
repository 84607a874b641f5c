#include "maillib/protocolclient.h"

#include "maillib/mailcontrol.h"

namespace maillib {

ProtocolClient::ProtocolClient(LineChannel* channel, QObject* parent) : QObject(parent), ch_(channel) {
  connect(ch_, &LineChannel::failed, this, [this](const NetError& e) {
    if (!active_)
      return;
    sessionLost();
    if (fail_)
      fail_(e);
  });
}

void ProtocolClient::setActive(bool active) {
  active_ = active;
  if (!active) {
    disconnect(ch_, &LineChannel::opened, this, nullptr);
    disconnect(ch_, &LineChannel::secured, this, nullptr);
  }
}

void ProtocolClient::fail(int code, const QString& diagnosis, const Reply* reply, bool keepOpen) {
  if (!keepOpen) {
    sessionLost();
    ch_->close();
  }
  if (fail_)
    fail_(NetError{code, diagnosis, reply ? reply->shownText() : QString()});
}

bool ProtocolClient::mayLogin(const QString& server, const QString& user, const QString& password) {
  if (breaksCommandLine(user) || breaksCommandLine(password)) {
    fail(MailControl::ErrAuth,
         QStringLiteral("The user name or password for the %1 holds a line break or NUL "
                        "character, so the login was not sent.")
             .arg(server));
    return false;
  }
  if (ch_->isEncrypted() || allow_plain_login_)
    return true;
  fail(MailControl::ErrTls,
       QStringLiteral("The %1 offers no encrypted connection, so the password was not sent. "
                      "To send it unencrypted anyway, turn on \"Allow password without "
                      "encryption\" in Connection Options.")
           .arg(server));
  return false;
}

void ProtocolClient::sayGoodbye(ReplyKind kind, DoneFn done) {
  sessionLost();
  if (!ch_->isOpen()) {
    ch_->close();
    return done();
  }
  FailFn saved = fail_;
  fail_ = [this, done, saved](const NetError&) {
    fail_ = saved;
    done();
  };
  ch_->sendLine("QUIT");
  ch_->expect(kind, [this, done, saved](Reply&) {
    fail_ = saved;
    ch_->close();
    done();
  });
}

}  // namespace maillib
