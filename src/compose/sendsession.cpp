#include "compose/sendsession.h"

#include "compose/sendrules.h"
#include "maillib/mailcontrol.h"
#include "store/mailstore.h"
#include "store/safewrite.h"

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

void SendSession::sendNow(const SendAccount& account, const QStringList& alsoQueued) {
  if (isActive())
    return;
  MailStore& store = mailStore();
  const QString queued = store.messagePath(QStringLiteral("OutBox"), store.next_msg_name(QStringLiteral("Outbox")));
  QString why;
  if (!control_->writeToFile(queued, &why)) {
    outcome_ = Outcome::Failed;
    failure_ = QStringLiteral("The message could not be stored before sending: %1").arg(why);
    Q_EMIT progress(QStringLiteral("Not sent"));
    Q_EMIT finished();
    return;
  }
  files_ = QStringList{queued} + alsoQueued;
  immediate_ = true;
  begin(account);
}

void SendSession::deliver(const SendAccount& account, const QStringList& files) {
  if (files.isEmpty())
    return;
  files_ = files;
  immediate_ = false;
  begin(account);
}

void SendSession::begin(const SendAccount& account) {
  if (isActive())
    return;
  account_ = account;
  current_ = 0;
  first_accepted_ = false;
  journal_ = DeliveryJournal();
  journal_.load();
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
      if (!noteInFlight()) {
        step_failed_ = true;
        break;
      }
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
      if (loadNextFile())
        next_ = Step::Send;
      break;
    case State::Sending: accepted(); break;
    case State::Disconnecting: end(); break;
    case State::Idle: break;
  }
}

bool SendSession::loadNextFile() {
  if (immediate_ && current_ == 0)
    return true;  // the message is in the control
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

bool SendSession::noteInFlight() {
  const QString label = QStringLiteral("\"%1\" to %2").arg(control_->Subject(), control_->To());
  QString why;
  if (journal_.noteInFlight(journal_.describe(files_[current_], label), &why))
    return true;
  stop(QStringLiteral("The OutBox record could not be written (%1), so the message %2 was not sent: after "
                      "a crash it could otherwise go out twice.")
           .arg(why, label));
  return false;
}

void SendSession::accepted() {
  if (current_ == 0)
    first_accepted_ = true;
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

bool SendSession::moveIntoSent(const QString& file) {
  // The control may still read a large file it loaded: let go of it first.
  control_->release();
  const QString target = sentName();
  const store::WriteResult moved = store::moveFileSafely(file, target);
  if (moved.ok) {
    sent_files_ << target;
    return true;
  }
  // The record still names it: the next run asks before sending it again.
  store_problem_ = QStringLiteral("The message %1 was sent, but it could not be moved into Sent (%2). It "
                                  "stays in the OutBox; the next delivery asks before sending it again.")
                       .arg(file, moved.error);
  return false;
}

void SendSession::failed(int code, const QString& message) {
  Q_UNUSED(code);
  if (state_ == State::Idle || state_ == State::Disconnecting)
    return;  // a disconnect drops the session whatever happens
  step_failed_ = true;
  if (state_ == State::Sending)
    settleInFlight(code);
  QString why = message;
  if (!immediate_) {
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

void SendSession::settleInFlight(int code) {
  // Lost or silent once the data went out: the server may have taken it.
  const bool unknown = code == MailControl::ErrTimeout || code == MailControl::ErrConnect;
  if (unknown && !(immediate_ && current_ == 0))
    journal_.setInFlight(journal_.describe(files_[current_]), DeliveryJournal::Loss::ConnectionLost);
  else
    journal_.clearInFlight();
  journal_.save(nullptr);
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
  if (immediate_ && first_accepted_ && outcome_ == Outcome::Failed) {
    // The message of the window went out; what failed came after it.
    if (store_problem_.isEmpty())
      store_problem_ = failure_;
    failure_.clear();
    outcome_ = Outcome::Sent;
  }
  if (immediate_ && !first_accepted_)
    QFile::remove(files_.first());  // the window still holds it
  if (outcome_ == Outcome::None)
    outcome_ = Outcome::Sent;
  if (!immediate_)
    control_->release();
  if (outcome_ == Outcome::Failed)
    Q_EMIT progress(QStringLiteral("Not sent"));
  else if (immediate_)
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
