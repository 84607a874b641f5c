#include "store/foldercommands.h"

#include "platform/paths.h"
#include "store/mailstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace store {

namespace {

const QString kBadName = QStringLiteral(
    "A folder name cannot contain \\, /, a dot or control characters.");

bool folderExists(const MailStore& store, const QString& name) {
  return !name.isEmpty() && platform::directoryExists(store.folderPath(name));
}

bool sameFolder(const QString& a, const QString& b) { return a.trimmed().toUpper() == b.trimmed().toUpper(); }

// Moves src into folder under its own name when that is free, else under the
// folder's next free message name. Never replaces a file.
MessageMove moveInto(MailStore& store, const QString& src, const QString& fileName, const QString& folder) {
  MessageMove result;
  if (!QFileInfo::exists(src)) {
    // Gone already (emptied or moved behind our back): nothing to keep.
    result.removed = true;
    return result;
  }
  const QString dir = store.folderPath(folder);
  if (!platform::directoryExists(dir) && !QDir().mkpath(dir)) {
    result.message = QStringLiteral("Cannot move the message: the folder %1 cannot be created.").arg(folder);
    return result;
  }
  QString name = fileName;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (QFileInfo::exists(dir + name))
      name = store.next_msg_name(folder);
    // QFile::rename never replaces an existing file.
    if (QFile::rename(src, dir + name)) {
      result.removed = true;
      result.target = dir + name;
      return result;
    }
    if (!QFileInfo::exists(dir + name))
      break;  // failed for another reason than a name taken meanwhile
  }
  result.message = QStringLiteral("Cannot move %1 to %2.").arg(QDir::toNativeSeparators(src),
                                                                QDir::toNativeSeparators(dir));
  return result;
}

// Listing a folder adds a table entry each time, so a folder may own
// several entries; every one of them follows the folder.
void renameTableEntries(MailStore& store, const QString& from, const QString& to) {
  const QString wanted = from.toUpper();
  for (FolderEntry& entry : store.folder_table)
    if (!entry.name.isEmpty() && entry.name.toUpper() == wanted)
      entry.name = to;
}

}  // namespace

bool isPlainFolderName(const QString& name) {
  if (name.isEmpty())
    return false;
  for (const QChar c : name) {
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7F || u == '/' || u == '\\' || u == '.')
      return false;
  }
  return true;
}

bool isProtectedFromDelete(const QString& name) {
  const QString upper = name.toUpper();
  for (const char* word : {"INBOX", "OUTBOX", "FILES", "SENT", "DELETED"})
    if (upper.contains(QLatin1String(word)))
      return true;
  return false;
}

bool isProtectedFromRename(const QString& name) {
  const QString upper = name.toUpper();
  return upper == QLatin1String("INBOX") || upper == QLatin1String("DELETED") || upper == QLatin1String("SENT");
}

CommandOutcome createFolder(MailStore& store, const QString& typed) {
  const QString name = typed.trimmed();
  if (name.isEmpty())
    return {};
  if (!isPlainFolderName(name))
    return {false, kBadName};
  if (folderExists(store, name))
    return {};
  if (!QDir(store.mail_root).mkdir(name))
    return {false, QStringLiteral("Cannot create the folder %1.").arg(name)};
  store.folder_table.append(FolderEntry{name, 1});
  return {true, {}};
}

CommandOutcome deleteFolder(MailStore& store, const QString& name, bool listHasMessages) {
  if (listHasMessages)
    return {false, QStringLiteral("Please remove all the mails before deleting the folder")};
  if (!isPlainFolderName(name) || !folderExists(store, name))
    return {};
  if (isProtectedFromDelete(name))
    return {};
  // rmdir refuses a folder that still holds files (unlisted ones included).
  if (!QDir(store.mail_root).rmdir(store.existingEntry(name)))
    return {false, QStringLiteral("Error!")};
  renameTableEntries(store, name, QStringLiteral("~ZZZ"));
  return {true, {}};
}

CommandOutcome renameFolder(MailStore& store, const QString& oldName, const QString& typed) {
  if (isProtectedFromRename(oldName))
    return {false, QStringLiteral("Can't Rename these fields")};
  const QString name = typed.trimmed();
  if (!name.isEmpty() && !isPlainFolderName(name))
    return {false, kBadName};
  if (name.isEmpty() || folderExists(store, name))
    return {false, QStringLiteral("folder already exist")};
  if (!isPlainFolderName(oldName) || !folderExists(store, oldName))
    return {false, QStringLiteral("Cannot rename %1: the folder does not exist.").arg(oldName)};
  if (!QDir(store.mail_root).rename(store.existingEntry(oldName), name))
    return {false, QStringLiteral("Cannot rename the folder %1 to %2.").arg(oldName, name)};
  renameTableEntries(store, oldName, name);
  if (sameFolder(store.current_folder, oldName))
    store.current_folder = name;
  return {true, {}};
}

QString clearableFolder(int index) {
  switch (index) {
    case 0: return QStringLiteral("Files");
    case 1: return QStringLiteral("Sent");
    case 2: return QStringLiteral("Deleted");
    case 3: return QStringLiteral("Inbox");
    default: return {};
  }
}

int clearFolder(MailStore& store, const QString& folder) {
  if (folder.isEmpty())
    return 0;
  const QString dirPath = store.folderPath(folder);
  if (!platform::directoryExists(dirPath))
    return 0;
  QDir dir(dirPath);
  int deleted = 0;
  const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& file : files)
    if (dir.remove(file))
      ++deleted;
  return deleted;
}

MessageMove deleteMessage(MailStore& store, const QString& folder, const QString& fileName) {
  const QString src = store.messagePath(folder, fileName);
  if (!sameFolder(folder, QStringLiteral("Deleted")))
    return moveInto(store, src, fileName, QStringLiteral("Deleted"));
  MessageMove result;
  if (!QFileInfo::exists(src) || QFile::remove(src))
    result.removed = true;
  else
    result.message = QStringLiteral("Cannot delete %1.").arg(QDir::toNativeSeparators(src));
  return result;
}

MessageMove moveMessage(MailStore& store, const QString& folder, const QString& fileName,
                        const QString& target) {
  const QString name = target.trimmed();
  if (!isPlainFolderName(name) || !folderExists(store, name) || sameFolder(name, folder))
    return {};
  return moveInto(store, store.messagePath(folder, fileName), fileName, name);
}

}  // namespace store
