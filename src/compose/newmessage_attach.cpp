// Attaching files to the message in the compose window.
#include "compose/newmessage.h"

#include "compose/messageassembly.h"
#include "platform/prompter.h"

using compose::AttachmentEncoding;

AttachmentEncoding NewMessage::chosenEncoding() const {
  if (optBinhex40->isChecked())
    return AttachmentEncoding::BinHex;
  if (optUU->isChecked())
    return AttachmentEncoding::UU;
  if (optQuotedPrintable->isChecked())
    return AttachmentEncoding::QuotedPrintable;
  return AttachmentEncoding::Base64;
}

void NewMessage::addAttach_Click() {
  const QString path = platform::prompter().openFileName(QStringLiteral("Attach a file"));
  if (path.trimmed().isEmpty())
    return;  // the user cancelled
  attach_file(path);
}

bool NewMessage::attach_file(const QString& path, const QString& sendName) {
  const compose::AttachResult result = compose::attachFileToMessage(*Mail1, path, chosenEncoding(), sendName);
  if (!result.ok) {
    platform::msgBox(result.error, {}, platform::MessageIcon::Exclamation);
    return false;
  }
  cmbAttachments->addItem(path);
  cmbAttachments->setCurrentIndex(cmbAttachments->count() - 1);
  return true;
}
