// Listing folders and showing messages. The walk over a message's parts is
// reading::MessageRenderer; the window shows what it returns.
#include "compose/replydraft.h"
#include "editing/textlayout.h"
#include "platform/prompter.h"
#include "reading/attachmentname.h"
#include "reading/listformat.h"
#include "reading/messagelistdelegate.h"
#include "reading/partaccess.h"
#include "reading/partrules.h"
#include "reading/sourcedisplay.h"
#include "reading/viewcap.h"
#include "shell/mailform.h"
#include "store/mailstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>

using platform::msgBox;

namespace {

// Item roles of listMessages: the message number (the item data of the
// list) and the file name it was listed from.
constexpr int kNumberRole = Qt::UserRole;
constexpr int kFileRole = Qt::UserRole + 1;
// (+ 2 and + 3 hold the columns and the entry as read: reading/listformat.h)
// Item roles of attachments: the part index within its container (the item
// data of the box) and the part indexes leading from the loaded message to
// the part.
constexpr int kPartIndexRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;

QString filesFolder() {
  const QString dir = mailStore().folderPath(QStringLiteral("Files"));
  QDir().mkpath(dir);
  return dir;
}

// A double-clicked view line acts when it reads like the description of a
// part: "Content: type  Double-click this line to Extract".
bool isPartLine(const QString& line) {
  return line.size() >= 17 && line.startsWith(QLatin1String("Content: ")) &&
         line.contains(QLatin1String("Double-click this line to Extract"));
}

// Such a line names a part that opens in the view rather than a file.
bool namesViewablePart(const QString& line) {
  return line.contains(QLatin1String("text\\plain")) || line.contains(QLatin1String("message")) ||
         line.contains(QLatin1String("multipart"));
}

}  // namespace

// ----- message list

void MailForm::setMessageListTabStops() {
  if (qobject_cast<reading::TabStopDelegate*>(listMessages->itemDelegate()))
    return;
  auto* delegate = new reading::TabStopDelegate({kTabStops.begin(), kTabStops.end()}, listMessages);
  delegate->setCellFonts(automaticFonts());
  listMessages->setItemDelegate(delegate);
  // Every row has the same height, so the view never measures them one by
  // one: large folders list quickly.
  listMessages->setUniformItemSizes(true);
  listMessages->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
  QStringList names = MailStore::messageFileNames(dir.path());
  if (names.isEmpty()) {
    store.add_folder_entry(store.current_folder, 0);
    return;
  }
  reading::sort_file_names(names);

  // Each column's script is judged once, here, not at every paint.
  listed_choice = fontChoiceOf(listMessages);
  QStringList entries;
  entries.reserve(names.size());
  QList<reading::ListRow> rows;
  rows.reserve(names.size());
  QList<qint64> numbers;
  numbers.reserve(names.size());
  qint64 highest = -1;
  const QString folderDir = dir.path() + QLatin1Char('/');
  for (const QString& name : names) {
    // A file that cannot be read lists as an empty line.
    if (!Mail1->loadFile(folderDir + name))
      rows.append(reading::listRow({}, {}, {}, listed_choice));
    else
      rows.append(reading::listRow(Mail1->From(), Mail1->Subject(), Mail1->Date(), listed_choice));
    entries.append(rows.back().text);
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
      item->setData(reading::kListCellsRole, rows.at(i).cells.pack());
      if (!rows.at(i).stored.isNull())
        item->setData(reading::kListStoredRole, rows.at(i).stored);
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

  QString why;
  if (!QFileInfo::exists(path))
    why = QStringLiteral("The file no longer exists.");
  message_loaded = why.isEmpty() && Mail1->loadFile(path, &why);
  shown_message_path = message_loaded ? path : QString();
  shown_part_path.clear();
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
  // Back at the part the view shows.
  message_loaded = QFileInfo::exists(shown_message_path) && Mail1->loadFile(shown_message_path) &&
                   reading::enterPath(*Mail1, shown_part_path);
  if (!message_loaded)
    msgBox(QStringLiteral("The message shown cannot be read any more.\n%1")
               .arg(QDir::toNativeSeparators(shown_message_path)));
  return message_loaded;
}

void MailForm::clearMessageView() {
  message_loaded = false;
  shown_message_path.clear();
  shown_part_path.clear();
  shown_view = {};
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
  reading::MessageRenderer renderer(*Mail1, ShowHeaders->isChecked());
  shown_view = renderer.render(shown_part_path);
  shown_choice = fontChoiceOf(textBody);
  reading::readView(shown_view, shown_choice);
  prepareUnicodeView();
  // The view is empty here, so the text goes in as one plain text, far
  // quicker than inserting it piece by piece; a very long one only up to
  // the view's limit, with a notice of the rest.
  editing::setLaidOutText(textBody, reading::capViewText(shown_view.text()).text);
  applyUnicodeViewFont();
  for (const reading::AttachmentEntry& entry : shown_view.attachments)
    addAttachmentEntry(entry);
  // The reader starts at the top of the message, with no selection.
  QTextCursor cursor = textBody->textCursor();
  cursor.movePosition(QTextCursor::Start);
  textBody->setTextCursor(cursor);
  textBody->setUpdatesEnabled(true);
}

void MailForm::addAttachmentEntry(const reading::AttachmentEntry& entry) {
  attachments->addItem(entry.name);
  const int index = attachments->count() - 1;
  attachments->setCurrentIndex(index);
  attachments->setItemData(index, entry.partIndex, kPartIndexRole);
  attachments->setItemData(index, QVariant::fromValue(entry.path), kPathRole);
}

void MailForm::textBody_Click() {}
void MailForm::textBody_MouseUp() {}

void MailForm::textBody_DblClick() {
  QTextCursor cursor = textBody->textCursor();
  cursor.clearSelection();
  textBody->setTextCursor(cursor);
  const int k = cursor.blockNumber();
  // The first line of the view is never acted on. What a line is and which
  // part it came from are the renderer's word, not the text on screen: a
  // line written by the sender cannot pick another part or a file name.
  const reading::ViewBlock* block = k > 0 ? shown_view.blockAt(k) : nullptr;
  if (!block || !message_loaded)
    return;
  const QString line = shown_view.line(k);
  // Past the view's limit the line on screen is the notice, not this one.
  if (!isPartLine(line) || cursor.block().text() != line)
    return;
  if (namesViewablePart(line))
    openPartInView(block->path);
  else
    extractPart(*block);
}

void MailForm::openPartInView(const QList<int>& path) {
  // The part stays the control's current entity; the attachment box keeps
  // its entries and gains those of the part.
  reading::leavePath(*Mail1, shown_part_path.size());
  if (!reading::enterPath(*Mail1, path)) {
    reading::enterPath(*Mail1, shown_part_path);
    return;
  }
  shown_part_path = path;
  show_message();
}

void MailForm::extractPart(const reading::ViewBlock& block) {
  QString why;
  const QString target =
      reading::savePartInFolder(*Mail1, shown_part_path, block.path, filesFolder(), block.fileName, &why);
  if (target.isEmpty())
    msgBox(QStringLiteral("Could not extract %1: %2").arg(block.fileName, why));
  else
    msgBox(QStringLiteral("Extracted to ") + QDir::toNativeSeparators(target));
}

void MailForm::mnuSaveAtt_Click() {
  if (attachments->count() == 0)
    return;
  // After a listing the control holds another message than the one shown.
  if (!reloadShownMessage())
    return;
  const QString dir = filesFolder();
  QString report = QStringLiteral("Extracted Following Attachments..!\n");
  for (int i = 0; i < attachments->count(); ++i) {
    // Never over a file already there: a free name such as "a (2).txt".
    const QString name = reading::safeFileName(attachments->itemText(i));
    const QList<int> path = attachments->itemData(i, kPathRole).value<QList<int>>();
    QString why;
    const QString target = reading::savePartInFolder(*Mail1, shown_part_path, path, dir, name, &why);
    if (target.isEmpty())
      report += QStringLiteral("%1: not saved (%2)\n")
                    .arg(name, why.isEmpty() ? QStringLiteral("no file written") : why);
    else if (!why.isEmpty())
      report += QStringLiteral("%1 (%2)\n").arg(QDir::toNativeSeparators(target), why);
    else
      report += QDir::toNativeSeparators(target) + QLatin1Char('\n');
  }
  msgBox(report);
}

// ----- the message on view for a reply or forward

compose::QuoteSource MailForm::shownQuoteSource() const {
  const MailControl& mail = *Mail1;
  compose::QuoteSource source;
  QString* values[5] = {&source.from, &source.date, &source.to, &source.cc, &source.subject};
  const QString fields[5] = {mail.From(), mail.Date(), mail.To(), mail.CC(), mail.Subject()};
  // The header values read as the view reads its texts.
  for (int i = 0; i < 5; ++i) {
    reading::ScriptedText read = reading::readHeaderValue(fields[i], shown_choice);
    *values[i] = std::move(read.text);
    if (shown_choice == reading::FontChoice::PerText)
      source.fieldScripts.append(read.script);
  }
  source.viewText = shown_view.text();
  source.viewRuns = reading::viewRuns(shown_view);
  return source;
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
  showLoadedMessage();
  if (!shown_view.problems.isEmpty())
    msgBox(shown_view.problems.first());
}

void MailForm::ShowSourceMenu_Click() {
  if (!message_loaded && shown_message_path.isEmpty()) {
    msgBox(QStringLiteral("Please select a message first."));
    return;
  }
  if (!reloadShownMessage())
    return;
  // The source of a damaged message is shown too: it is where the damage
  // can be seen.
  QString why;
  const QString source = Mail1->sourceText(&why);
  if (source.isEmpty() && !why.isEmpty()) {
    msgBox(why);
    return;
  }
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
