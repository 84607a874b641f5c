#include "retrieval/getmailsession.h"

#include "maillib/mailcontrol.h"
#include "platform/prompter.h"
#include "retrieval/errortext.h"
#include "retrieval/uidlrecord.h"
#include "settings/settingsstore.h"
#include "store/mailstore.h"
#include "store/safewrite.h"

#include <QDir>
#include <QFileInfo>

using platform::msgBox;

namespace retrieval {

GetMailSession::GetMailSession(MailControl* control, Window window, QObject* parent)
    : QObject(parent), control_(control), window_(std::move(window)), timer_(new QTimer(this)) {
  timer_->setObjectName(QStringLiteral("Timer1"));
  // Zero: the next step starts on the next pass of the event loop, outside
  // the event that scheduled it, without waiting a tick of the clock.
  timer_->setInterval(0);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &GetMailSession::tick);
}

GetMailSession::~GetMailSession() = default;

QString GetMailSession::progressText(qint64 done, qint64 total) {
  if (total == 0)
    return QStringLiteral("0");
  return QString::number(done * 100 / total) + QLatin1Char('%');
}

void GetMailSession::start() { begin(false); }

void GetMailSession::startFetchingAll() { begin(true); }

void GetMailSession::begin(bool everything) {
  control_->setProtocol(1);
  if (state_ != State::Idle) {
    // The toolbar button reaches here even while GetMail is disabled: drop
    // the pending step too, and leave GetMail usable.
    timer_->stop();
    quitServer(State::Idle);
    if (!control_->Blocking())
      ++stale_dones_;
    window_.setGetMailEnabled(true);
    msgBox(QStringLiteral("Try again Please"));
    return;
  }
  state_ = State::Connecting;
  fetch_all_ = everything;
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
    stored_ = 0;
    if (!openRecord())
      return endAfterFailure();
    schedule(Step::GetNext);
    return;
  }
  msgBox(QStringLiteral("No mail waiting"));
  disconnect(State::Disconnecting);
}

bool GetMailSession::openRecord() {
  record_.reset();
  const int count = control_->MessageCount();
  if (control_->MessageUidl(1).isEmpty())
    return true;
  auto record = std::make_unique<UidlRecord>(mailStore().mail_root, settings().pop_host, settings().pop_user);
  // An unreadable record is not trusted: fetching a message twice is
  // better than deleting one never stored.
  if (!record->load())
    return true;
  if (fetch_all_)
    record->clear();
  QStringList onServer;
  QList<int> plan;
  for (int n = 1; n <= count; ++n) {
    onServer << control_->MessageUidl(n);
    if (!record->isStored(onServer.last()))
      plan << n;
  }
  // Settling the notes of a cut-off session must reach the file before
  // anything new is stored: a note left unsettled could be taken as
  // stored once a new message gets its file name.
  QString why;
  if (!record->keepOnly(onServer, &why)) {
    msgBox(QStringLiteral("%1 Nothing was fetched; all messages stay on the server.").arg(why));
    return false;
  }
  record_ = std::move(record);
  control_->setRetrievalPlan(plan);
  return true;
}

bool GetMailSession::alreadyStored(int n) const {
  return record_ && record_->isStored(control_->MessageUidl(n));
}

void GetMailSession::messageReceived() {
  QString path;
  if (storeMessage(&path))
    messageStored(path);
}

bool GetMailSession::storeMessage(QString* path) {
  MailStore& store = mailStore();
  *path = store.messagePath(QStringLiteral("Inbox"), store.next_msg_name(QStringLiteral("Inbox")));
  QString why;
  if (record_ && !record_->noteStoring(control_->MessageUidl(current_msg_),
                                       QDir(store.mail_root).relativeFilePath(*path), &why)) {
    msgBox(QStringLiteral("%1 The message was not stored and stays on the server. %2").arg(why, storedSoFar()));
    endAfterFailure();
    return false;
  }
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
    msgBox(QStringLiteral("The message could not be stored in %1; it stays on the server. %2")
               .arg(*path, storedSoFar()));
    endAfterFailure();
    return false;
  }
  return true;
}

void GetMailSession::messageStored(const QString&) {
  ++stored_;
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
    case Step::GetNext: startNextMessage(); break;
    case Step::DeleteOnServer:
      // MessageNumber still names the message just stored.
      state_ = State::Deleting;
      control_->setActionCode(10);
      break;
    case Step::Disconnect: quitServer(); break;
    case Step::None: started = false; break;
  }
  if (started)
    finishedIfBlocking();
  timer_busy_ = false;
}

void GetMailSession::startNextMessage() {
  // A message stored by an earlier session is never fetched again; with
  // host-delete on, its delete is what is still owed.
  ++current_msg_;
  while (current_msg_ <= control_->MessageCount() && alreadyStored(current_msg_) && !window_.hostDelete())
    ++current_msg_;
  if (current_msg_ > control_->MessageCount())
    return quitServer();
  control_->setMessageNumber(QString::number(current_msg_));
  if (alreadyStored(current_msg_)) {
    state_ = State::Deleting;
    control_->setActionCode(10);
    return;
  }
  state_ = State::Getting;
  control_->setTransferFlags(4);
  control_->setActionCode(13);
}

QString GetMailSession::storedSoFar() const {
  QString text = QStringLiteral("Nothing was lost: %1 of the %2 messages on the server %3 stored in the "
                                "Inbox before this, and the others are still on the server for the "
                                "next GetMail.")
                     .arg(stored_)
                     .arg(control_->MessageCount())
                     .arg(stored_ == 1 ? QStringLiteral("was") : QStringLiteral("were"));
  if (window_.hostDelete() && stored_ > 0)
    text += record_ ? QStringLiteral(" What was stored is deleted on the server by the next GetMail, "
                                     "without being fetched again.")
                    : QStringLiteral(" The server may still hold what was stored, so the next GetMail "
                                     "may fetch it again.");
  return text;
}

void GetMailSession::failed(int code, const QString& message) {
  const bool fetching = state_ == State::Getting || state_ == State::Deleting;
  if (code == MailControl::NoMailAvailable)
    msgBox(QStringLiteral("No new mail available"));
  else if (fetching && current_msg_ > 0)
    msgBox(asyncErrorText(code, message + QLatin1Char(' ') + storedSoFar()));
  else
    msgBox(asyncErrorText(code, message));
  // Whatever failed, the session ends here: nothing more is fetched or
  // deleted, and GetMail is ready for another try.
  if (state_ != State::Idle && state_ != State::Disconnecting)
    endAfterFailure();
}

void GetMailSession::disconnect(State then) {
  quitServer(then);
  finishedIfBlocking();
}

void GetMailSession::quitServer(State then) {
  // The server commits its deletions at QUIT: by then the names of the
  // messages stored must be on the disk, not only their bytes. A record
  // that did not reach the disk costs at worst a second fetch.
  if (stored_ > 0) {
    store::syncFolder(mailStore().folderPath(QStringLiteral("Inbox")));
    if (record_)
      record_->sync();
  }
  state_ = then;
  control_->setActionCode(8);
}

void GetMailSession::endAfterFailure() {
  timer_->stop();
  disconnect(State::Disconnecting);
}

}  // namespace retrieval
