#include "maillib/protocolclient.h"

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
