// The get-mail session and the server-side delete window.
//
// The session is a small state machine: Mail1_Done records what finished and
// arms the one-shot Timer1, whose tick starts the next step. With Blocking on
// every operation ends inside its assignment and the handlers call Mail1_Done
// themselves. A message is deleted on the server only after its in-box file
// has been written safely; any error ends the session with a disconnect so
// that GetMail works again at once.
#include "platform/prompter.h"
#include "retrieval/errortext.h"
#include "retrieval/testform.h"
#include "settings/settingsstore.h"
#include "shell/mailform.h"
#include "store/mailstore.h"

#include <QDebug>
#include <QFileInfo>

using platform::msgBox;

void MailForm::cmdGetMail_Click() {
  Mail1->setProtocol(1);
  mnuDelMsgSvr->setEnabled(false);
  if (mail_state != 0) {
    // The toolbar button reaches here even while GetMail is disabled: drop
    // the pending step too, and leave GetMail usable.
    Timer1->stop();
    Mail1->setActionCode(8);
    mail_state = 0;
    cmdGetMail->setEnabled(true);
    msgBox(QStringLiteral("Try again Please"));
    return;
  }
  mail_state = 7;
  Mail1->setHost(settings().pop_host);
  Mail1->setUserName(settings().pop_user);
  Mail1->setPassword(settings().pop_password);
  Mail1->setActionCode(3);
  if (Mail1->Blocking())
    Mail1_Done();
}

void MailForm::Mail1_Done() {
  switch (mail_state) {
    case 7:
      mail_state = 1;
      if (Mail1->MessageCount() != 0) {
        cmdGetMail->setEnabled(false);
        current_msg = 0;
        timer_step = 13;
        Timer1->start();
      } else {
        msgBox(QStringLiteral("No mail waiting"));
        mail_state = 9;
        Mail1->setActionCode(8);
        // A blocking disconnect brings no Done of its own.
        if (Mail1->Blocking())
          Mail1_Done();
      }
      break;
    case 1: {
      MailStore& store = mailStore();
      const QString path =
          store.messagePath(QStringLiteral("Inbox"), store.next_msg_name(QStringLiteral("Inbox")));
      Mail1->setTransferFlags(32);
      Mail1->setMessageFile(path);
      Mail1->setActionCode(15);
      if (mail_state != 1)
        return;  // storing failed and the error ended the session
      if (!QFileInfo::exists(path)) {
        msgBox(QStringLiteral("The message could not be stored in %1; it stays on the server.").arg(path));
        end_session();
        return;
      }
      if (chkHostDelete->isChecked())
        timer_step = 10;
      else
        timer_step = current_msg < Mail1->MessageCount() ? 13 : 8;
      Timer1->start();
      break;
    }
    case 10:
      timer_step = current_msg < Mail1->MessageCount() ? 13 : 8;
      Timer1->start();
      break;
    case 9:
      cmdGetMail->setEnabled(true);
      mail_state = 0;
      listFolders_Click();
      break;
    default:
      break;
  }
}

void MailForm::Timer1_Timer() {
  if (timer_busy != 0)
    return;
  timer_busy = 1;
  Timer1->stop();
  switch (timer_step) {
    case 13:
      mail_state = 1;
      ++current_msg;
      Mail1->setMessageNumber(QString::number(current_msg));
      Mail1->setTransferFlags(4);
      Mail1->setActionCode(13);
      break;
    case 10:
      mail_state = 10;
      Mail1->setActionCode(10);
      break;
    case 8:
      mail_state = 9;
      Mail1->setActionCode(8);
      break;
    default:
      break;
  }
  if (Mail1->Blocking())
    Mail1_Done();
  timer_busy = 0;
}

void MailForm::end_session() {
  Timer1->stop();
  mail_state = 9;
  Mail1->setActionCode(8);
  if (Mail1->Blocking())
    Mail1_Done();
}

void MailForm::Mail1_Progress(qint64 done, qint64 total) {
  if (total != 0)
    lblPercentage->setText(QString::number(done * 100 / total) + QStringLiteral("%"));
  else
    lblPercentage->setText(QStringLiteral("0"));
}

void MailForm::Mail1_AsyncError(int code, const QString& message) {
  if (code == MailControl::NoMailAvailable)
    msgBox(QStringLiteral("No new mail available"));
  else
    msgBox(asyncErrorText(code, message));
  // Whatever failed, the session ends here: nothing more is fetched or
  // deleted, and GetMail is ready for another try.
  if (mail_state != 0 && mail_state != 9)
    end_session();
}

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
