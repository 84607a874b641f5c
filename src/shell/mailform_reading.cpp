// Listing folders and showing messages.
#include "platform/prompter.h"
#include "reading/attachmentname.h"
#include "reading/controlerrors.h"
#include "reading/listformat.h"
#include "reading/messagelistdelegate.h"
#include "reading/partrules.h"
#include "reading/sourcedisplay.h"
#include "shell/mailform.h"
#include "store/mailstore.h"
#include "store/safewrite.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <limits>

using platform::msgBox;

namespace {

// Item roles of listMessages: the message number (the item data of the
// list) and the file name it was listed from.
constexpr int kNumberRole = Qt::UserRole;
constexpr int kFileRole = Qt::UserRole + 1;
// Item role of attachments: the part indexes leading from the loaded
// message to the part (empty for the message itself).
constexpr int kPathRole = Qt::UserRole + 1;

int toPartIndex(double value) {
  if (!std::isfinite(value) || value < 0)
    return -1;
  if (value > std::numeric_limits<int>::max())
    return std::numeric_limits<int>::max();
  return int(value);
}

// The reading commands report a control's failures in their own way (an
// empty list line, a note in the view, a line of the save report), so the
// window's general error box stays out of them while they run.
class QuietControlErrors {
 public:
  explicit QuietControlErrors(MailForm* form) : form_(form) {
    quieted_ = QObject::disconnect(form->Mail1, &MailControl::AsyncError, form, &MailForm::Mail1_AsyncError);
  }
  ~QuietControlErrors() {
    if (quieted_)
      QObject::connect(form_->Mail1, &MailControl::AsyncError, form_, &MailForm::Mail1_AsyncError);
  }
  QuietControlErrors(const QuietControlErrors&) = delete;
  QuietControlErrors& operator=(const QuietControlErrors&) = delete;

 private:
  MailForm* form_;
  bool quieted_ = false;
};

QString filesFolder() {
  const QString dir = mailStore().folderPath(QStringLiteral("Files"));
  QDir().mkpath(dir);
  return dir;
}

}  // namespace

// ----- message list

void MailForm::setMessageListTabStops() {
  if (qobject_cast<reading::TabStopDelegate*>(listMessages->itemDelegate()))
    return;
  auto* delegate = new reading::TabStopDelegate({kTabStops.begin(), kTabStops.end()}, listMessages);
  listMessages->setItemDelegate(delegate);
  // Every row has the same height, so the view never measures them one by
  // one: large folders list quickly.
  listMessages->setUniformItemSizes(true);
  listMessages->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

bool MailForm::loadMessageFile(const QString& path, QString* why) {
  reading::ControlErrorTrap trap(Mail1);
  Mail1->setPartFile(path);
  Mail1->setTransferFlags(2);
  Mail1->setActionCode(13);
  if (trap.failed()) {
    if (why)
      *why = trap.text();
    return false;
  }
  return true;
}

void MailForm::listFolders_Click() {
  MailStore& store = mailStore();
  message_loaded = false;
  {
    const QSignalBlocker blocker(listMessages);
    listMessages->clear();
  }
  QListWidgetItem* folderItem = listFolders->currentItem();
  if (!folderItem)
    return;
  store.current_folder = folderItem->text();

  const QDir dir(store.folderPath(store.current_folder));
  QStringList names = dir.entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::NoSort);
  if (names.isEmpty()) {
    store.add_folder_entry(store.current_folder, 0);
    return;
  }
  reading::sort_file_names(names);
  const QuietControlErrors quiet(this);

  QStringList entries;
  entries.reserve(names.size());
  QList<qint64> numbers;
  numbers.reserve(names.size());
  qint64 highest = -1;
  const QString folderDir = dir.path() + QLatin1Char('/');
  reading::ControlErrorTrap trap(Mail1);
  for (const QString& name : names) {
    trap.reset();
    Mail1->setPartFile(folderDir + name);
    Mail1->setTransferFlags(2);
    Mail1->setActionCode(13);
    if (trap.failed())
      entries.append(reading::messageListEntry({}, {}, {}));
    else
      entries.append(reading::messageListEntry(Mail1->From(), Mail1->Subject(), Mail1->Date()));
    const qint64 number = MailStore::msgNumber(name);
    numbers.append(number);
    highest = std::max(highest, number);
  }

  {
    const QSignalBlocker blocker(listMessages);
    listMessages->setUpdatesEnabled(false);
    listMessages->addItems(entries);
    for (int i = 0; i < names.size(); ++i) {
      QListWidgetItem* item = listMessages->item(i);
      item->setData(kNumberRole, numbers.at(i));
      item->setData(kFileRole, names.at(i));
    }
    listMessages->setCurrentRow(-1);
    listMessages->setUpdatesEnabled(true);
  }
  store.add_folder_entry(store.current_folder, highest);
}

void MailForm::listMessages_Click() {
  QListWidgetItem* item = listMessages->currentItem();
  if (!item)
    return;
  // The file the entry was listed from; its number names it when the entry
  // carries no name.
  QString name = item->data(kFileRole).toString();
  if (name.isEmpty())
    name = MailStore::msgFileName(item->data(kNumberRole).toLongLong());
  const QString path = mailStore().messagePath(mailStore().current_folder, name);

  const QuietControlErrors quiet(this);
  QString why;
  if (!QFileInfo::exists(path))
    why = QStringLiteral("The file no longer exists.");
  message_loaded = why.isEmpty() && loadMessageFile(path, &why);
  shown_message_path = message_loaded ? path : QString();
  if (!message_loaded) {
    attachments->clear();
    attachments->hide();
    attLabel->hide();
    textBody->setPlainText(QStringLiteral("This message cannot be shown.\n%1\n%2")
                               .arg(QDir::toNativeSeparators(path), why));
    return;
  }
  showLoadedMessage();
}

void MailForm::showLoadedMessage() {
  attachments->clear();
  show_message();
  const bool any = attachments->count() > 0;
  attachments->setVisible(any);
  if (any)
    attLabel->setText(QStringLiteral("Attach:"));
  attLabel->setVisible(any);
  textBody->update();
}

bool MailForm::reloadShownMessage() {
  if (message_loaded)
    return true;
  if (shown_message_path.isEmpty())
    return false;
  const QuietControlErrors quiet(this);
  QString why;
  message_loaded = QFileInfo::exists(shown_message_path) && loadMessageFile(shown_message_path, &why);
  if (!message_loaded)
    msgBox(QStringLiteral("The message shown cannot be read any more.\n%1")
               .arg(QDir::toNativeSeparators(shown_message_path)));
  return message_loaded;
}

void MailForm::clearMessageView() {
  message_loaded = false;
  shown_message_path.clear();
  textBody->clear();
  attachments->clear();
  attachments->hide();
  attLabel->hide();
}

// ----- rendering

void MailForm::show_message() {
  textBody->clear();
  textBody->setUndoRedoEnabled(false);
  textBody->setUpdatesEnabled(false);
  // The parts are gathered first and go into the view in one insertion.
  rendering_view = true;
  pending_view_text.clear();
  part_path.clear();
  render_message();
  rendering_view = false;
  // The view is empty here, so the whole text goes in as one plain text,
  // far quicker than inserting it at the caret.
  textBody->setPlainText(reading::viewLineBreaks(pending_view_text));
  pending_view_text.clear();
  // The reader starts at the top of the message, with no selection.
  QTextCursor cursor = textBody->textCursor();
  cursor.movePosition(QTextCursor::Start);
  textBody->setTextCursor(cursor);
  textBody->setUpdatesEnabled(true);
}

void MailForm::render_message() {
  const QString type = Mail1->ContentType().toLower();
  const QString subtype = Mail1->ContentSubType().toLower();
  if (ShowHeaders->isChecked())
    append_body_text(Mail1->HeaderText());
  if (Mail1->PartCount() == 0) {
    render_leaf(type, subtype, 0);
    return;
  }
  render_parts(subtype == QLatin1String("alternative"));
}

void MailForm::render_parts(bool alternative) {
  const int count = Mail1->PartCount();
  // Of the alternatives only one is shown: the plain text one, else the
  // HTML one.
  int chosen = -1;
  if (alternative) {
    int html = -1;
    for (int i = 0; i < count && chosen < 0; ++i) {
      Mail1->setPartIndex(i);
      Mail1->setActionCode(7);
      const QString type = Mail1->ContentType().toLower();
      const QString subtype = Mail1->ContentSubType().toLower();
      if (type == QLatin1String("text") && subtype == QLatin1String("plain"))
        chosen = i;
      else if (html < 0 && type == QLatin1String("text") && subtype == QLatin1String("html"))
        html = i;
      Mail1->setActionCode(2);
    }
    if (chosen < 0)
      chosen = html;
  }
  for (int i = 0; i < count; ++i) {
    if (chosen >= 0 && i != chosen)
      continue;
    Mail1->setPartIndex(i);
    Mail1->setActionCode(7);
    part_path.append(i);
    const QString type = Mail1->ContentType().toLower();
    const QString subtype = Mail1->ContentSubType().toLower();
    if (type == QLatin1String("multipart") && Mail1->PartCount() > 0)
      render_parts(subtype == QLatin1String("alternative"));
    else
      render_leaf(type, subtype, i);
    part_path.removeLast();
    Mail1->setActionCode(2);
  }
}

void MailForm::render_leaf(const QString& type, const QString& subtype, int partIndex) {
  const bool text = type == QLatin1String("text");
  if (text && subtype == QLatin1String("plain")) {
    show_text_part();
    // A text file sent as an attachment can also be saved.
    const QString disposition = Mail1->ContentDisposition().trimmed().toLower();
    if (disposition.startsWith(QLatin1String("attachment")) &&
        !reading::attachmentName(Mail1->ContentDisposition(), Mail1->ContentParameters()).isNull())
      list_attachment(partIndex);
    return;
  }
  if (text && subtype == QLatin1String("html") &&
      reading::attachmentName(Mail1->ContentDisposition(), Mail1->ContentParameters()).isNull()) {
    append_body_text(reading::htmlToText(part_text()));
    return;
  }
  list_attachment(partIndex);
}

QString MailForm::part_text() {
  if (reading::isDecodedEncoding(Mail1->TransferEncoding())) {
    Mail1->setTransferFlags(24);
    Mail1->setActionCode(5);
    return Mail1->OutputText();
  }
  QStringList lines;
  const int count = Mail1->LineCount();
  lines.reserve(count);
  for (int i = 0; i < count; ++i)
    lines.append(Mail1->BodyText(i));
  return lines.join(QLatin1String("\r\n"));
}

void MailForm::show_text_part() {
  if (reading::isDecodedEncoding(Mail1->TransferEncoding())) {
    Mail1->setTransferFlags(24);
    Mail1->setActionCode(5);
    append_body_text(Mail1->OutputText());
    return;
  }
  const int count = Mail1->LineCount();
  for (int i = 0; i < count; ++i)
    append_body_text(Mail1->BodyText(i));
}

void MailForm::list_attachment(int& partIndex) {
  QString name = reading::attachmentName(Mail1->ContentDisposition(), Mail1->ContentParameters());
  if (name.isNull()) {
    // A part without a name that the view does not show still reaches the
    // user as a file.
    name = reading::generatedPartName(Mail1->ContentType(), Mail1->ContentSubType(), partIndex + 1);
  }
  attachments->addItem(reading::safeFileName(name));
  const int index = attachments->count() - 1;
  attachments->setCurrentIndex(index);
  attachments->setItemData(index, partIndex, Qt::UserRole);
  attachments->setItemData(index, QVariant::fromValue(part_path), kPathRole);
}

void MailForm::append_body_text(const QString& text) {
  if (rendering_view) {
    pending_view_text += text;
    pending_view_text += line_break;
    return;
  }
  QTextCursor cursor = textBody->textCursor();
  cursor.clearSelection();
  cursor.insertText(reading::viewLineBreaks(text + line_break));
  textBody->setTextCursor(cursor);
}

QString MailForm::read_view_line(int line) const {
  const QTextBlock block = textBody->document()->findBlockByNumber(line);
  QString text = block.isValid() ? block.text() : QString();
  return text + QString(3, QChar(0));
}

void MailForm::textBody_Click() {}
void MailForm::textBody_MouseUp() {}

bool MailForm::enterPartPath(const QList<int>& path) {
  reading::ControlErrorTrap trap(Mail1);
  int depth = 0;
  for (int index : path) {
    Mail1->setPartIndex(index);
    Mail1->setActionCode(7);
    if (trap.failed()) {
      leavePartPath(depth);
      return false;
    }
    ++depth;
  }
  return true;
}

void MailForm::leavePartPath(int depth) {
  for (int i = 0; i < depth; ++i)
    Mail1->setActionCode(2);
}

void MailForm::textBody_DblClick() {
  QTextCursor cursor = textBody->textCursor();
  cursor.clearSelection();
  textBody->setTextCursor(cursor);
  const int k = cursor.blockNumber();
  if (k <= 0)
    return;
  const QString C = read_view_line(k);
  if (C.size() < 20 || !C.startsWith(QLatin1String("Content: ")) ||
      !C.contains(QLatin1String("Double-click this line to Extract")))
    return;
  const QString A = read_view_line(k + 1);
  const QString B = read_view_line(k - 1);
  if (!C.contains(QLatin1String("text\\plain")) && !C.contains(QLatin1String("message")) &&
      !C.contains(QLatin1String("multipart"))) {
    // The file line: the name starts in column 12 and ends three characters
    // after its first dot.
    const qsizetype dot = A.indexOf(QLatin1Char('.'));
    if (dot < 0)
      return;
    const qsizetype length = (dot + 1) - 8;
    if (length <= 0 || A.size() < 11)
      return;
    const QString name = reading::safeFileName(A.mid(11, length).remove(QChar(0)));
    const int part = toPartIndex(reading::leadingNumber(B.mid(16)));
    if (part < 0)
      return;
    const QString dir = filesFolder();
    const QString target = dir + store::freeFileName(dir, name);
    reading::ControlErrorTrap trap(Mail1);
    Mail1->setPartIndex(part);
    Mail1->setActionCode(7);
    Mail1->setMessageFile(target);
    Mail1->setTransferFlags(40);
    Mail1->setActionCode(5);
    Mail1->setActionCode(2);
    if (trap.failed() || !QFileInfo::exists(target))
      msgBox(QStringLiteral("Could not extract %1: %2").arg(name, trap.text()));
    else
      msgBox(QStringLiteral("Extracted to ") + QDir::toNativeSeparators(target));
    return;
  }
  // A text, message or multipart part opens in the view and stays current.
  const int part = toPartIndex(reading::leadingNumber(B.right(11)));
  if (part < 0)
    return;
  Mail1->setPartIndex(part);
  Mail1->setActionCode(7);
  textBody->clear();
  show_message();
}

void MailForm::mnuSaveAtt_Click() {
  if (attachments->count() == 0)
    return;
  // After a listing the control holds another message than the one shown.
  if (!reloadShownMessage())
    return;
  const QuietControlErrors quiet(this);
  const QString dir = filesFolder();
  QString report = QStringLiteral("Extracted Following Attachments..!\n");
  for (int i = 0; i < attachments->count(); ++i) {
    const QString name = reading::safeFileName(attachments->itemText(i));
    // Never over a file already there: a free name such as "a (2).txt".
    const QString target = dir + store::freeFileName(dir, name);
    const QList<int> path = attachments->itemData(i, kPathRole).value<QList<int>>();
    reading::ControlErrorTrap trap(Mail1);
    if (enterPartPath(path)) {
      Mail1->setMessageFile(target);
      Mail1->setTransferFlags(40);
      Mail1->setActionCode(5);
      leavePartPath(int(path.size()));
    }
    if (trap.failed() || !QFileInfo::exists(target)) {
      report += QStringLiteral("%1: not saved (%2)\n")
                    .arg(name, trap.text().isEmpty() ? QStringLiteral("no file written") : trap.text());
    } else {
      report += QDir::toNativeSeparators(target) + QLatin1Char('\n');
    }
  }
  msgBox(report);
}

// ----- header and source views

void MailForm::ShowHeaders_Click() {
  ShowHeaders->setChecked(!ShowHeaders->isChecked());
  // Only a message on display is shown again, reloaded if a listing has
  // put the folder's last message into the control meanwhile.
  if (!message_loaded && shown_message_path.isEmpty())
    return;
  if (!reloadShownMessage())
    return;
  const QuietControlErrors quiet(this);
  reading::ControlErrorTrap trap(Mail1);
  showLoadedMessage();
  if (trap.failed())
    msgBox(trap.text());
}

void MailForm::ShowSourceMenu_Click() {
  if (!message_loaded && shown_message_path.isEmpty()) {
    msgBox(QStringLiteral("Please select a message first."));
    return;
  }
  if (!reloadShownMessage())
    return;
  const QuietControlErrors quiet(this);
  reading::ControlErrorTrap trap(Mail1);
  Mail1->setTransferFlags(16);
  Mail1->setActionCode(15);
  if (trap.failed()) {
    msgBox(trap.text());
    return;
  }
  const QString source = Mail1->OutputText();
  if (source.size() > reading::kMaxSourceChars) {
    msgBox(QStringLiteral("Message too large!"));
    return;
  }
  if (!sourceDisplay)
    sourceDisplay = new SourceDisplay(this);
  sourceDisplay->setSourceText(source);
  sourceDisplay->show();
  sourceDisplay->raise();
}
