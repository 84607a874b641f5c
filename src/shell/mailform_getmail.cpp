// The get-mail session and the server-side delete window. The session
// itself is retrieval::GetMailSession; the handlers here hand it the
// window's events.
#include "platform/prompter.h"
#include "retrieval/getmailsession.h"
#include "retrieval/testform.h"
#include "shell/mailform.h"

#include <QDebug>

using platform::msgBox;
using retrieval::GetMailSession;

void MailForm::createGetMailSession() {
  GetMailSession::Window window;
  window.hostDelete = [this] { return chkHostDelete->isChecked(); };
  window.setGetMailEnabled = [this](bool on) { cmdGetMail->setEnabled(on); };
  window.sessionEnded = [this] { listFolders_Click(); };
  getMail = new GetMailSession(Mail1, std::move(window), this);
  Timer1 = getMail->timer();
}

void MailForm::cmdGetMail_Click() {
  mnuDelMsgSvr->setEnabled(false);
  getMail->start();
}

void MailForm::mnuGetAllMail_Click() {
  mnuDelMsgSvr->setEnabled(false);
  getMail->startFetchingAll();
}

void MailForm::Mail1_Done() { getMail->done(); }

void MailForm::Timer1_Timer() { getMail->tick(); }

void MailForm::Mail1_Progress(qint64 done, qint64 total) {
  lblPercentage->setText(GetMailSession::progressText(done, total));
}

void MailForm::Mail1_AsyncError(int code, const QString& message) { getMail->failed(code, message); }

void MailForm::Mail1_Debug(const QString& message) {
  if (chkTrace->isChecked())
    qInfo().noquote() << message;
}

void MailForm::chkBlocking_Click() { Mail1->setBlocking(chkBlocking->isChecked()); }

void MailForm::mnuBlocking_Click() {
  if (chkBlocking->isChecked()) {
    Mail1->setBlocking(true);
    mnuBlocking->setChecked(true);
  } else {
    Mail1->setBlocking(false);
    mnuBlocking->setChecked(false);
  }
}

void MailForm::chkHostDelete_Click() {
  if (chkHostDelete->isChecked())
    msgBox(QStringLiteral("Messages will be deleted after they are read from the host."), {},
           platform::MessageIcon::Exclamation);
}

void MailForm::mnuHostDelete_Click() {
  if (chkHostDelete->isChecked()) {
    chkHostDelete->setChecked(false);
    mnuHostDelete->setChecked(false);
  } else {
    chkHostDelete->setChecked(true);
    chkHostDelete_Click();
    mnuHostDelete->setChecked(true);
  }
}

void MailForm::chkTrace_Click() { Mail1->setDebugMode(chkTrace->isChecked() ? 1 : 0); }

void MailForm::mnuDelMsgSvr_Click() {
  if (!deleteService) {
    deleteService = new testform(this);
    const QRect main = frameGeometry();
    deleteService->move(main.right() - deleteService->width() - 40, main.top() + 80);
  }
  deleteService->show();
  deleteService->raise();
  deleteService->activateWindow();
}
