// Folder and message commands.
#include "platform/paths.h"
#include "platform/prompter.h"
#include "settings/settingsstore.h"
#include "shell/mailform.h"
#include "store/foldercommands.h"
#include "store/mailstore.h"

#include <QSignalBlocker>

using platform::msgBox;
using platform::prompter;

namespace {

// The file an entry of the message list was listed from.
QString listedFile(const QListWidgetItem* item) {
  const QString name = item->data(Qt::UserRole + 1).toString();
  return name.isEmpty() ? MailStore::msgFileName(item->data(Qt::UserRole).toLongLong()) : name;
}

}  // namespace

void MailForm::mnuFolderNew_Click() {
  const std::optional<QString> answer = prompter().input(QStringLiteral("Enter folder to Create"));
  if (!answer)
    return;
  const store::CommandOutcome outcome = store::createFolder(mailStore(), *answer);
  if (!outcome.message.isEmpty())
    msgBox(outcome.message);
  if (outcome.done)
    listFolders->addItem(answer->trimmed());
}

void MailForm::mnuFloderDel_Click() {
  QListWidgetItem* item = listFolders->currentItem();
  const bool hasMessages = listMessages->count() > 0;
  if (!item && !hasMessages)
    return;
  const store::CommandOutcome outcome =
      store::deleteFolder(mailStore(), item ? item->text() : QString(), hasMessages);
  if (!outcome.message.isEmpty())
    msgBox(outcome.message);
  if (outcome.done)
    delete listFolders->takeItem(listFolders->row(item));  // selects and lists a neighbour
}

void MailForm::mnuFloderRename_Click() {
  QListWidgetItem* item = listFolders->currentItem();
  if (!item)
    return;
  const QString oldName = item->text();
  if (store::isProtectedFromRename(oldName)) {
    msgBox(QStringLiteral("Can't Rename these fields"));
    return;
  }
  const std::optional<QString> answer = prompter().input(QStringLiteral("Enter new name"));
  if (!answer)
    return;
  const store::CommandOutcome outcome = store::renameFolder(mailStore(), oldName, *answer);
  if (!outcome.message.isEmpty())
    msgBox(outcome.message);
  if (outcome.done)
    item->setText(answer->trimmed());
}

void MailForm::mnuClearFiles_Click(int index) {
  const std::optional<QString> entered =
      prompter().input(QStringLiteral("Enter Your E-mail Pass Word"), {}, {}, /*masked=*/true);
  if (!entered)
    return;
  if (*entered == settings().pop_password)
    clear_files(index);
}

void MailForm::clear_files(int index) {
  const QString folder = store::clearableFolder(index);
  if (folder.isEmpty())
    return;
  // The message list keeps showing its folder, so current_folder stays
  // with it: the list's entries keep naming their own files.
  store::clearFolder(mailStore(), folder);
}

void MailForm::Del_msg_Click() {
  const int i = listMessages->currentRow();
  if (i < 0)
    return;
  const bool reselect = i < listMessages->count() - 1;
  Mail1->setActionCode(11);
  MailStore& store = mailStore();
  const store::MessageMove moved = store::deleteMessage(store, store.current_folder, listedFile(listMessages->item(i)));
  if (!moved.removed) {
    msgBox(moved.message);
    listMessages_Click();  // the control let the message go; take it back
    return;
  }
  {
    const QSignalBlocker blocker(listMessages);
    delete listMessages->takeItem(i);
    listMessages->setCurrentRow(-1);
  }
  clearMessageView();
  if (reselect)
    listMessages->setCurrentRow(i);
}

void MailForm::Move_msg_Click() {
  const int i = listMessages->currentRow();
  if (i < 0)
    return;
  const std::optional<QString> answer = prompter().input(QStringLiteral("Enter folder to move"), {}, last_move_target);
  if (!answer)
    return;
  last_move_target = *answer;
  const QString target = answer->trimmed();
  if (target.isEmpty())
    return;
  MailStore& store = mailStore();
  if (!store::isPlainFolderName(target) || !platform::directoryExists(store.folderPath(target)))
    return;
  const bool reselect = i < listMessages->count() - 1;
  if (target.toUpper() != store.current_folder.toUpper()) {
    Mail1->setActionCode(11);
    const store::MessageMove moved =
        store::moveMessage(store, store.current_folder, listedFile(listMessages->item(i)), target);
    if (!moved.removed) {
      if (!moved.message.isEmpty())
        msgBox(moved.message);
      listMessages_Click();
      return;
    }
    {
      const QSignalBlocker blocker(listMessages);
      delete listMessages->takeItem(i);
      listMessages->setCurrentRow(-1);
    }
    clearMessageView();
  }
  if (reselect)
    listMessages->setCurrentRow(i);
}
