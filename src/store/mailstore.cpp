#include "store/mailstore.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstring>

using platform::joinPath;

MailStore& mailStore() {
  static MailStore store;
  return store;
}

void MailStore::setRoot(const QString& root) {
  mail_root = root;
  if (!mail_root.endsWith(QLatin1Char('/')) && !mail_root.endsWith(QLatin1Char('\\')))
    mail_root += QDir::separator();
  config_path = mail_root + QStringLiteral("config.msg");
  folder_table.clear();
}

QString MailStore::existingEntry(const QString& name) const {
  if (name.isEmpty())
    return {};
  if (QFileInfo::exists(mail_root + name))
    return name;
  const QStringList entries =
      QDir(mail_root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QString& entry : entries)
    if (entry.compare(name, Qt::CaseInsensitive) == 0)
      return entry;
  return {};
}

QString MailStore::folderPath(const QString& folder) const {
  const QString existing = existingEntry(folder);
  QString path = mail_root + (existing.isEmpty() ? folder : existing);
  if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('\\')))
    path += QDir::separator();
  return path;
}

QString MailStore::messagePath(const QString& folder, const QString& name) const {
  return folderPath(folder) + name;
}

bool MailStore::createStandardFolders() const {
  bool ok = QDir().mkpath(mail_root);
  for (const QString& folder : kStandardFolders) {
    if (!platform::directoryExists(folderPath(folder)))
      ok = QDir().mkdir(mail_root + folder) && ok;
  }
  return ok;
}

bool MailStore::configExists() const { return QFileInfo::exists(config_path); }

QString MailStore::msgFileName(qint64 number) {
  return QStringLiteral("%1.msg").arg(number, 8, 10, QLatin1Char('0'));
}

qint64 MailStore::msgNumber(const QString& fileName) {
  qint64 value = 0;
  for (const QChar c : fileName) {
    if (!c.isDigit() || c.unicode() > 127)
      break;
    if (value > (std::numeric_limits<qint64>::max() - 9) / 10)
      break;
    value = value * 10 + (c.unicode() - '0');
  }
  return value;
}

QString MailStore::first_free_msg_name(const QString& folder) const {
  const QString dir = folderPath(folder);
  for (qint64 n = 1;; ++n) {
    const QString name = msgFileName(n);
    if (!QFileInfo::exists(dir + name))
      return name;
  }
}

QStringList MailStore::messageFileNames(const QString& dir) {
  QStringList names;
  DIR* folder = opendir(QFile::encodeName(dir).constData());
  if (!folder)
    return names;
  while (const dirent* entry = readdir(folder)) {
    const char* name = entry->d_name;
    const size_t length = std::strlen(name);
    if (name[0] == '.' || length < 4 || strncasecmp(name + length - 4, ".msg", 4) != 0)
      continue;
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat info {};
      regular = fstatat(dirfd(folder), name, &info, 0) == 0 && S_ISREG(info.st_mode);
    }
    if (regular)
      names.append(QFile::decodeName(name));
  }
  closedir(folder);
  return names;
}

QString MailStore::next_msg_name(const QString& folder) {
  FolderEntry* entry = findFolderEntry(folder);
  if (!entry)
    return first_free_msg_name(folder);
  const QString dir = folderPath(folder);
  if (entry->counter == -1) {
    const QStringList entries = QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    qint64 count = 0;
    for (const QString& name : entries)
      if (!name.startsWith(QLatin1Char('.')))
        ++count;
    entry->counter = count + 1;
  }
  entry->counter += 1;
  const QString name = msgFileName(entry->counter);
  if (!QFileInfo::exists(dir + name))
    return name;
  return first_free_msg_name(folder);
}

FolderEntry* MailStore::findFolderEntry(const QString& folder) {
  const QString wanted = folder.toUpper();
  for (FolderEntry& entry : folder_table)
    if (!entry.name.isEmpty() && entry.name.toUpper() == wanted)
      return &entry;
  return nullptr;
}

void MailStore::add_folder_entry(const QString& folder, qint64 counter) {
  for (FolderEntry& entry : folder_table) {
    if (entry.name.isEmpty()) {
      entry.name = folder;
      entry.counter = counter;
      return;
    }
  }
  folder_table.append(FolderEntry{folder, counter});
}

QStringList MailStore::listFolderNames() const {
  QStringList folders{QStringLiteral("Inbox")};
  // Directory order as the file system returns it.
  const QStringList entries =
      QDir(mail_root).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
  for (const QString& entry : entries) {
    if (entry.startsWith(QLatin1Char('.')))
      continue;
    const QString name = entry.left(1).toUpper() + entry.mid(1).toLower();
    if (name == QLatin1String("Inbox") || name.contains(QLatin1Char('.')))
      continue;
    folders.append(name);
  }
  return folders;
}

void MailStore::fillFolderTable(const QStringList& folders) {
  folder_table = QVector<FolderEntry>(kStartupFolderSlots);
  for (int i = 0; i < folders.size() && i < kStartupFolderSlots; ++i)
    folder_table[i] = FolderEntry{folders.at(i), -1};
}
