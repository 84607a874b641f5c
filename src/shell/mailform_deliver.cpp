// Deliver Messages: the compose window sends every OutBox message over one
// connection (loading itself hidden when it is not open). The folder on
// view stays; when it is one the run changed, its list is read again.
#include "compose/newmessage.h"
#include "shell/mailform.h"
#include "store/mailstore.h"

void MailForm::MnuDeliverMessages_Click() {
  NewMessage* compose = newMessage();
  if (compose->refuseWhileSending())
    return;
  compose->Mail1->setBlocking(Mail1->Blocking());
  compose->deliver_Click();
}

void MailForm::watchSending() {
  QPointer<MailForm> self(this);
  setSendObserver({[self](const QString& text) {
                     if (self)
                       self->showSendProgress(text);
                   },
                   [self] {
                     if (self)
                       self->deliveryRunFinished();
                   }});
}

void MailForm::showSendProgress(const QString& text) { statbar->setText(text); }

void MailForm::deliveryRunFinished() {
  const QString shown = mailStore().current_folder;
  if (shown.compare(QStringLiteral("OutBox"), Qt::CaseInsensitive) == 0 ||
      shown.compare(QStringLiteral("Sent"), Qt::CaseInsensitive) == 0)
    listFolders_Click();
}
