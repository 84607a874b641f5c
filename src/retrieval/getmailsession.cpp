#include "retrieval/getmailsession.h"

#include "maillib/mailcontrol.h"
#include "platform/prompter.h"
#include "retrieval/errortext.h"
#include "settings/settingsstore.h"
#include "store/mailstore.h"

#include <QFileInfo>

using platform::msgBox;

namespace retrieval {

GetMailSession::GetMailSession(MailControl* control, Window window, QObject* parent)
    : QObject(parent), control_(control), window_(std::move(window)), timer_(new QTimer(this)) {
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(1);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &GetMailSession::tick);
}

QString GetMailSession::progressText(qint64 done, qint64 total) {
  if (total == 0)
    return QStringLiteral("0");
  return QString::number(done * 100 / total) + QLatin1Char('%');
}

void GetMailSession::start() {
  control_->setProtocol(1);
  if (state_ != State::Idle) {
    // The toolbar button reaches here even while GetMail is disabled: drop
    // the pending step too, and leave GetMail usable.
    timer_->stop();
    control_->setActionCode(8);
    if (!control_->Blocking())
      ++stale_dones_;
    state_ = State::Idle;
    window_.setGetMailEnabled(true);
    msgBox(QStringLiteral("Try again Please"));
    return;
  }
  state_ = State::Connecting;
  control_->setHost(settings().pop_host);
  control_->setUserName(settings().pop_user);
  control_->setPassword(settings().pop_password);
  control_->setAllowPlainLogin(settings().allow_plain_login);
  control_->setActionCode(3);
  finishedIfBlocking();
}

void GetMailSession::done() {
  if (stale_dones_ > 0) {
    --stale_dones_;
    return;
  }
  switch (state_) {
    case State::Connecting: connected(); break;
    case State::Getting: messageReceived(); break;
    case State::Deleting: messageDeleted(); break;
    case State::Disconnecting: disconnected(); break;
    case State::Idle: break;
  }
}

void GetMailSession::finishedIfBlocking() {
  if (!control_->Blocking())
    return;
  // A blocking operation brings no Done of its own; stale ones from earlier
  // asynchronous disconnects still come later.
  const int stale = stale_dones_;
  stale_dones_ = 0;
  done();
  stale_dones_ += stale;
}

void GetMailSession::connected() {
  state_ = State::Getting;
  if (control_->MessageCount() != 0) {
    window_.setGetMailEnabled(false);
    current_msg_ = 0;
    schedule(Step::GetNext);
    return;
  }
  msgBox(QStringLiteral("No mail waiting"));
  disconnect(State::Disconnecting);
}

void GetMailSession::messageReceived() {
  QString path;
  if (storeMessage(&path))
    messageStored(path);
}

bool GetMailSession::storeMessage(QString* path) {
  MailStore& store = mailStore();
  *path = store.messagePath(QStringLiteral("Inbox"), store.next_msg_name(QStringLiteral("Inbox")));
  control_->setTransferFlags(32);
  control_->setMessageFile(*path);
  control_->setActionCode(15);
  // A failure is reported at once, and reporting it ends the session.
  if (state_ != State::Getting)
    return false;
  if (control_->lastOperationFailed()) {
    endAfterFailure();
    return false;
  }
  if (!QFileInfo::exists(*path)) {
    msgBox(QStringLiteral("The message could not be stored in %1; it stays on the server.").arg(*path));
    endAfterFailure();
    return false;
  }
  return true;
}

void GetMailSession::messageStored(const QString&) {
  schedule(window_.hostDelete() ? Step::DeleteOnServer : nextMessageOrDisconnect());
}

void GetMailSession::messageDeleted() { schedule(nextMessageOrDisconnect()); }

void GetMailSession::disconnected() {
  window_.setGetMailEnabled(true);
  state_ = State::Idle;
  window_.sessionEnded();
}

GetMailSession::Step GetMailSession::nextMessageOrDisconnect() const {
  return current_msg_ < control_->MessageCount() ? Step::GetNext : Step::Disconnect;
}

void GetMailSession::schedule(Step step) {
  step_ = step;
  timer_->start();
}

void GetMailSession::tick() {
  if (timer_busy_)
    return;
  timer_busy_ = true;
  timer_->stop();
  bool started = true;
  switch (step_) {
    case Step::GetNext:
      state_ = State::Getting;
      ++current_msg_;
      control_->setMessageNumber(QString::number(current_msg_));
      control_->setTransferFlags(4);
      control_->setActionCode(13);
      break;
    case Step::DeleteOnServer:
      // MessageNumber still names the message just stored.
      state_ = State::Deleting;
      control_->setActionCode(10);
      break;
    case Step::Disconnect:
      state_ = State::Disconnecting;
      control_->setActionCode(8);
      break;
    case Step::None: started = false; break;
  }
  if (started)
    finishedIfBlocking();
  timer_busy_ = false;
}

void GetMailSession::failed(int code, const QString& message) {
  if (code == MailControl::NoMailAvailable)
    msgBox(QStringLiteral("No new mail available"));
  else
    msgBox(asyncErrorText(code, message));
  // Whatever failed, the session ends here: nothing more is fetched or
  // deleted, and GetMail is ready for another try.
  if (state_ != State::Idle && state_ != State::Disconnecting)
    endAfterFailure();
}

void GetMailSession::disconnect(State then) {
  state_ = then;
  control_->setActionCode(8);
  finishedIfBlocking();
}

void GetMailSession::endAfterFailure() {
  timer_->stop();
  disconnect(State::Disconnecting);
}

}  // namespace retrieval
