#include "compose/sendsession.h"

#include "compose/sendrules.h"
#include "maillib/mailcontrol.h"
#include "store/mailstore.h"

#include <QFile>
#include <QFileInfo>

namespace compose {

namespace {
// Operation codes and flags of the mail control.
enum Operation { kConnect = 3, kDisconnect = 8, kWrite = 15 };
constexpr int kOverSmtp = 64;
constexpr long kSmtp = 0;
}  // namespace

SendSession::SendSession(MailControl* control, QObject* parent) : QObject(parent), control_(control) {}

QString SendSession::progressText(int number, int total, qint64 bytes, qint64 bytesTotal) {
  QString text = QStringLiteral("Sending message %1 of %2").arg(number).arg(total);
  if (bytesTotal > 0)
    text += QStringLiteral(": %1%").arg(bytes * 100 / bytesTotal);
  return text;
}

void SendSession::sendNow(const SendAccount& account, const QString& sentPath) {
  files_.clear();
  sent_path_ = sentPath;
  begin(account);
}

void SendSession::deliver(const SendAccount& account, const QStringList& files) {
  if (files.isEmpty())
    return;
  files_ = files;
  sent_path_.clear();
  begin(account);
}

void SendSession::begin(const SendAccount& account) {
  if (isActive())
    return;
  account_ = account;
  current_ = 0;
  outcome_ = Outcome::None;
  failure_.clear();
  store_problem_.clear();
  sent_files_.clear();
  control_->setProtocol(kSmtp);
  control_->setHost(account.host);
  control_->setUserName(account.user);
  control_->setPassword(account.password);
  control_->setAllowPlainLogin(account.allowPlainLogin);
  control_->setSender(account.sender);
  state_ = State::Connecting;
  next_ = Step::Connect;
  pump();
}

void SendSession::pump() {
  if (pumping_)
    return;  // the loop below takes the next step
  pumping_ = true;
  while (next_ != Step::None) {
    const Step step = next_;
    next_ = Step::None;
    step_failed_ = false;
    startStep(step);
    if (step_failed_)
      continue;  // failed() chose the disconnect
    if (!control_->Blocking())
      break;  // done() or failed() follows through the event loop
    stepDone();
  }
  pumping_ = false;
}

void SendSession::startStep(Step step) {
  switch (step) {
    case Step::Connect:
      state_ = State::Connecting;
      Q_EMIT progress(QStringLiteral("Connecting to %1...").arg(account_.host));
      control_->setActionCode(kConnect);
      break;
    case Step::Send:
      state_ = State::Sending;
      Q_EMIT progress(progressText(current_ + 1, messageTotal(), 0, 0));
      control_->setTransferFlags(kOverSmtp);
      control_->setActionCode(kWrite);
      break;
    case Step::Disconnect:
      state_ = State::Disconnecting;
      control_->setActionCode(kDisconnect);
      break;
    case Step::None: break;
  }
}

void SendSession::done() {
  if (!isActive() || pumping_)
    return;
  stepDone();
  pump();
}

void SendSession::stepDone() {
  switch (state_) {
    case State::Connecting:
      if (files_.isEmpty() || loadNextFile())
        next_ = Step::Send;
      break;
    case State::Sending: accepted(); break;
    case State::Disconnecting: end(); break;
    case State::Idle: break;
  }
}

bool SendSession::loadNextFile() {
  const QString file = files_[current_];
  QString why;
  if (!control_->loadFile(file, &why)) {
    stop(QStringLiteral("The queued message %1 could not be read: %2").arg(file, why));
    return false;
  }
  control_->setSender(account_.sender);
  control_->setMessageNumber(nextMessageToken());
  return true;
}

void SendSession::accepted() {
  if (files_.isEmpty()) {
    keepSentCopy();
    next_ = Step::Disconnect;
    return;
  }
  if (!moveIntoSent(files_[current_])) {
    outcome_ = Outcome::Failed;
    failure_ = store_problem_;
    next_ = Step::Disconnect;
    return;
  }
  ++current_;
  if (current_ < files_.size() && loadNextFile())
    next_ = Step::Send;
  else if (next_ == Step::None)
    next_ = Step::Disconnect;
}

void SendSession::keepSentCopy() {
  const QString path = sent_path_.isEmpty() ? sentName() : sent_path_;
  QString why;
  if (control_->writeToFile(path, &why))
    sent_files_ << path;
  else
    store_problem_ = QStringLiteral("The message was sent, but its copy could not be stored in Sent: %1").arg(why);
}

bool SendSession::moveIntoSent(const QString& file) {
  // The control may still read a large file it loaded: let go of it first.
  control_->release();
  const QString target = sentName();
  QFile queued(file);
  if (queued.rename(target)) {
    sent_files_ << target;
    return true;
  }
  store_problem_ = QStringLiteral("The message %1 was sent, but it could not be moved into Sent (%2). "
                                  "Move or delete it yourself, or the next delivery sends it again.")
                       .arg(file, queued.errorString());
  return false;
}

void SendSession::failed(int code, const QString& message) {
  Q_UNUSED(code);
  if (state_ == State::Idle || state_ == State::Disconnecting)
    return;  // a disconnect drops the session whatever happens
  step_failed_ = true;
  QString why = message;
  if (!files_.isEmpty()) {
    why += QStringLiteral("\n\nDelivery stopped at message %1 of %2; it and the messages after it stay in "
                          "the OutBox.")
               .arg(current_ + 1)
               .arg(files_.size());
    if (!sent_files_.isEmpty())
      why += QStringLiteral(" The %1 delivered before it are in Sent.").arg(sent_files_.size());
  }
  stop(why);
  if (!pumping_)
    pump();
}

void SendSession::transferred(qint64 bytes, qint64 total) {
  if (state_ == State::Sending)
    Q_EMIT progress(progressText(current_ + 1, messageTotal(), bytes, total));
}

void SendSession::stop(const QString& why) {
  outcome_ = Outcome::Failed;
  failure_ = why;
  next_ = Step::Disconnect;
}

void SendSession::end() {
  state_ = State::Idle;
  if (outcome_ == Outcome::None)
    outcome_ = Outcome::Sent;
  if (!files_.isEmpty())
    control_->release();
  if (outcome_ == Outcome::Failed)
    Q_EMIT progress(QStringLiteral("Not sent"));
  else if (files_.isEmpty())
    Q_EMIT progress(QStringLiteral("Sent"));
  else
    Q_EMIT progress(QStringLiteral("Delivered %1 of %2").arg(sent_files_.size()).arg(files_.size()));
  Q_EMIT finished();
}

QString SendSession::sentName() {
  MailStore& store = mailStore();
  return store.messagePath(QStringLiteral("Sent"), store.next_msg_name(QStringLiteral("Sent")));
}

}  // namespace compose
