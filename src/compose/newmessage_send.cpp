// Sending the message and delivering the out-box. The SMTP work itself is
// compose::SendSession; the handlers here check the fields, complete the
// message, ask about messages that may have gone out already (the OutBox
// record) and say what happened.
#include "compose/deliveryjournal.h"
#include "compose/messageassembly.h"
#include "compose/newmessage.h"
#include "compose/sendrules.h"
#include "platform/prompter.h"
#include "settings/settingsstore.h"
#include "store/mailstore.h"


using platform::msgBox;

namespace {
SendObserver g_observer;
constexpr int kToFile = 32;
// send_state values.
enum SendState { kIdle = 0, kSending = 1, kConnecting = 2, kDisconnecting = 3, kQueued = 15 };
}  // namespace

void setSendObserver(SendObserver observer) { g_observer = std::move(observer); }
const SendObserver& sendObserver() { return g_observer; }

bool NewMessage::isSending() const { return session_ && session_->isActive(); }

bool NewMessage::refuseWhileSending() {
  if (!isSending())
    return false;
  msgBox(QStringLiteral("Please wait: a message is being sent."));
  return true;
}

compose::SendAccount NewMessage::account() const {
  const TovelSettings& s = settings();
  compose::SendAccount a;
  a.host = s.smtp_host;
  // The account's login, as a delivery run uses it.
  a.user = s.session_user.isEmpty() ? s.pop_user : s.session_user;
  a.password = s.session_password.isEmpty() ? s.pop_password : s.session_password;
  a.sender = compose::fromMailbox(s.user_name, s.user_email);
  a.allowPlainLogin = s.allow_plain_login;
  return a;
}

// ----------------------------------------------------------- Send

bool NewMessage::checkFields() {
  const compose::AddressListCheck to = compose::checkAddressList(txtTo->text());
  if (txtTo->text().trimmed().isEmpty() || !to.ok) {
    msgBox(QStringLiteral("Incorrec E-mail format!"));
    return false;
  }
  if (txtSubject->text().isEmpty()) {
    msgBox(QStringLiteral("Please Enter a Subject"));
    return false;
  }
  for (QLineEdit* box : {txtCC, txtBCC}) {
    QString normalised, bad;
    bool hasBad = false;
    if (!compose::check_copy_list(box->text(), &normalised, &bad, &hasBad)) {
      if (hasBad)
        msgBox(QStringLiteral("Error in ") + bad);
      msgBox(QStringLiteral("Error in Copy to List"));
      return false;
    }
    box->setText(normalised);
  }
  return true;
}

void NewMessage::completeMessage() {
  const TovelSettings& s = settings();
  const QString from = compose::fromMailbox(s.user_name, s.user_email);
  Mail1->setTo(txtTo->text());
  Mail1->setUnicodeText(writesUnicode());
  Mail1->setSubject(txtSubject->text());
  Mail1->setFrom(from);
  Mail1->setCC(txtCC->text());
  Mail1->setBCC(txtBCC->text());
  Mail1->setHeaderLine(Mail1->HeaderCount(), QStringLiteral("X-Mailer: TovelMail"));
  Mail1->setHost(s.smtp_host);
  Mail1->setSender(from);
  Mail1->setMessageNumber(compose::nextMessageToken());
  compose::putBodyIntoMessage(*Mail1, bodyText(), unicodeCopyText());
  Mail1->setTransferFlags(kToFile);
}

void NewMessage::Send_Click() {
  if (refuseWhileSending() || !checkFields())
    return;
  // A send that fails puts the message back as it was, so a second try
  // does not carry the body twice.
  draft_ = Mail1->snapshot();
  completeMessage();
  if (mailStore().offline_flag)
    queueInOutBox();
  else
    startSend();
}

void NewMessage::queueInOutBox() {
  MailStore& store = mailStore();
  const QString path = store.messagePath(QStringLiteral("OutBox"), store.next_msg_name(QStringLiteral("Outbox")));
  QString why;
  if (!Mail1->writeToFile(path, &why)) {
    Mail1->restore(draft_);
    msgBox(QStringLiteral("The message could not be put into the OutBox: %1\n\nIt is still in this window.").arg(why));
    return;
  }
  send_state = kQueued;
  forwardlist->clear();
  Unload();
}

compose::SendSession* NewMessage::startSession(MailControl* control) {
  session_ = new compose::SendSession(control, this);
  connect(session_, &compose::SendSession::progress, this, &NewMessage::showSendProgress);
  Send->setEnabled(false);
  Deliver->setEnabled(false);
  return session_;
}

void NewMessage::startSend() {
  // A message whose send was cut short by a crash goes along when the user
  // says so.
  const compose::DeliveryChoice again = compose::chooseDeliveries(compose::queuedFiles(), false);
  if (!again.problem.isEmpty()) {
    Mail1->restore(draft_);
    msgBox(again.problem);
    return;
  }
  setCursor(Qt::WaitCursor);
  send_state = kConnecting;
  compose::SendSession* session = startSession(Mail1);
  connect(session, &compose::SendSession::finished, this, &NewMessage::sendFinished);
  session->sendNow(account(), again.send);
}

compose::SendSession* NewMessage::takeFinishedSession() {
  Send->setEnabled(true);
  Deliver->setEnabled(true);
  compose::SendSession* session = session_;
  session_ = nullptr;
  session->deleteLater();
  return session;
}

void NewMessage::sendFinished() {
  unsetCursor();
  compose::SendSession* session = takeFinishedSession();
  if (session->outcome() == compose::SendSession::Outcome::Sent) {
    send_state = kDisconnecting;
    forwardlist->clear();
    if (!session->storeProblem().isEmpty())
      msgBox(session->storeProblem());
    Unload();
    return;
  }
  send_state = kIdle;
  Mail1->restore(draft_);
  msgBox(session->failure() + QStringLiteral("\n\nThe message was not sent; everything you wrote is still here."));
}

// ----------------------------------------------------------- Deliver

void NewMessage::deliver_Click() { deliver_offline(); }

void NewMessage::deliver_offline() {
  if (refuseWhileSending())
    return;
  const QStringList queued = compose::queuedFiles();
  if (queued.isEmpty())
    return;
  const compose::DeliveryChoice choice = compose::chooseDeliveries(queued);
  held_ = choice.held;
  if (!choice.problem.isEmpty()) {
    msgBox(choice.problem);
    return;
  }
  const QStringList& files = choice.send;
  if (files.isEmpty()) {
    showSendProgress(heldText());
    return;
  }
  DeliveryList->clear();
  DeliveryList->addItems(files);

  if (!deliveryMail) {
    deliveryMail = new MailControl(this);
    deliveryMail->setObjectName(QStringLiteral("deliveryMail"));
    connectControlEvents(deliveryMail);
  }
  deliveryMail->setBlocking(Mail1->Blocking());
  deliveryMail->setDebugMode(Mail1->DebugMode());
  send_state = kConnecting;
  compose::SendSession* session = startSession(deliveryMail);
  connect(session, &compose::SendSession::finished, this, &NewMessage::deliveryRunFinished);
  compose::SendAccount a = account();
  a.sender = settings().user_email;
  session->deliver(a, files);
}

void NewMessage::deliveryRunFinished() {
  compose::SendSession* session = takeFinishedSession();
  send_state = kIdle;
  DeliveryList->clear();
  if (held_ > 0)
    showSendProgress(statbar->text() + QStringLiteral("; ") + heldText());
  if (g_observer.deliveryFinished)
    g_observer.deliveryFinished();
  if (!session->failure().isEmpty())
    msgBox(session->failure());
  // Loaded only for the run: nothing of the user's is in it.
  if (!isVisible() && !hasUnsentWork())
    Unload();
}

// ----------------------------------------------------------- control events

void NewMessage::connectControlEvents(MailControl* control) {
  connect(control, &MailControl::Done, this, &NewMessage::Mail1_Done);
  connect(control, &MailControl::AsyncError, this, &NewMessage::Mail1_AsyncError);
  connect(control, &MailControl::Debug, this, &NewMessage::Mail1_Debug);
  connect(control, &MailControl::Progress, this, &NewMessage::Mail1_Progress);
}

void NewMessage::Mail1_Done() {
  if (session_)
    session_->done();
}

void NewMessage::Mail1_AsyncError(int code, const QString& message) {
  // Without a send under way the failure belongs to a message operation,
  // whose caller reports it.
  if (session_)
    session_->failed(code, message);
}

void NewMessage::Mail1_Debug(const QString&) {}

void NewMessage::Mail1_Progress(qint64 done, qint64 total) {
  if (session_)
    session_->transferred(done, total);
}

QString NewMessage::heldText() const {
  return QStringLiteral("%1 held in the OutBox (may already have been sent)").arg(held_);
}

void NewMessage::showSendProgress(const QString& text) {
  if (session_ && session_->state() == compose::SendSession::State::Sending)
    send_state = kSending;
  statbar->setText(text);
  if (g_observer.progress)
    g_observer.progress(text);
}
