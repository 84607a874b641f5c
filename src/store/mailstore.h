#pragma once
// The mailbox on disk: one folder per directory under the mailbox root, one
// file per message named by an eight-digit number and ".msg", and the table
// of per-folder counters that hands out new message numbers.
#include <QString>
#include <QStringList>
#include <QVector>

struct FolderEntry {
  QString name;
  qint64 counter = 0;  // -1: not counted yet; else the last number handed out
};

class MailStore {
 public:
  static inline const QStringList kStandardFolders = {
      QStringLiteral("Inbox"), QStringLiteral("OutBox"), QStringLiteral("Deleted"),
      QStringLiteral("Files"), QStringLiteral("Sent")};
  static constexpr int kStartupFolderSlots = 21;

  // Program-wide mailbox state.
  QString mail_root;       // ends in a separator
  QString config_path;     // mail_root + "config.msg"
  QString current_folder;  // folder shown in the message list
  bool offline_flag = false;
  QVector<FolderEntry> folder_table;

  // Points the store at a root (a separator is appended when missing) and
  // empties the folder table.
  void setRoot(const QString& root);

  // The directory of a folder, found without regard to case: "INBOX",
  // "inbox" and "Inbox" all reach the one directory that exists. When none
  // exists yet, the path spelled as given. Always ends in a separator.
  QString folderPath(const QString& folder) const;
  // folderPath(folder) + name.
  QString messagePath(const QString& folder, const QString& name) const;

  // Creates each missing standard folder. Returns false when one could not
  // be created.
  bool createStandardFolders() const;

  bool configExists() const;

  // Message numbering.
  static QString msgFileName(qint64 number);
  // The number at the start of a file name (12 for 00000012.msg, 0 if none).
  static qint64 msgNumber(const QString& fileName);
  // The message files of a folder path in directory order: regular files
  // (or links to them) whose names end in ".msg", any case, not hidden. One
  // pass over the directory, so a large folder lists quickly.
  static QStringList messageFileNames(const QString& dir);
  QString first_free_msg_name(const QString& folder) const;
  QString next_msg_name(const QString& folder);
  void add_folder_entry(const QString& folder, qint64 counter);
  FolderEntry* findFolderEntry(const QString& folder);

  // The folder names for the folder list: "Inbox" first, then every
  // directory of the root in directory order, capitalised (first letter
  // upper, the rest lower); names starting with "." or holding a "." are
  // left out, and so is Inbox itself.
  QStringList listFolderNames() const;

  // Fills folder_table from the folder list: 21 slots, never written past
  // index 20; counters start at -1.
  void fillFolderTable(const QStringList& folders);

  // Case-insensitive lookup of an existing entry of the root.
  QString existingEntry(const QString& name) const;
};

// The program-wide store.
MailStore& mailStore();
