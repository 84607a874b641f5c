#pragma once
// What the in-box already holds of one POP3 account, by the server's unique
// id of each message (UIDL), kept in a small file in the mailbox root so
// that no message is ever stored twice, even after a session was cut off.
//
// An id is noted before its message is stored, together with the file the
// message goes to, and counts as stored once that file exists. So the line
// appended before the message is the only write a message costs, and a
// crash at any point leaves the record right: noted but no file means not
// stored (fetched again), noted with its file means stored (never fetched
// again). A line cut off by a crash is passed over. The file is rewritten
// short, with every note settled, once per session (keepOnly).
//
// The notes reach the disk itself at sync(), once per session: a power cut
// before then can at worst have a message fetched twice, never lost (what
// is deleted on the server was synced to disk before its QUIT).
#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>

namespace retrieval {

class UidlRecord {
 public:
  // The record of the account user on host, under the mailbox root.
  UidlRecord(const QString& mailRoot, const QString& host, const QString& user);

  // Reads the record file; a missing file is an empty record. False (with
  // the reason in why) when the file exists but cannot be read.
  bool load(QString* why = nullptr);
  // Forgets every id (fetching everything again); the file is rewritten at
  // the next save.
  void clear();

  bool isStored(const QString& uidl) const;
  // Notes that the message with this id is about to be stored in
  // relativePath (below the mailbox root): one line appended to the file.
  // False when the record could not be written: then the message must not
  // be stored either.
  bool noteStoring(const QString& uidl, const QString& relativePath, QString* why = nullptr);
  // Puts what was noted on the disk. False when the system could not.
  bool sync();
  // Keeps only the ids the server still holds (the rest were deleted there),
  // settles every note (stored, or forgotten when its file never came) and
  // rewrites the file in that short form.
  bool keepOnly(const QStringList& serverUidls, QString* why = nullptr);

  QString filePath() const { return path_; }
  int storedCount() const;

 private:
  struct Entry {
    QString pendingPath;  // empty once the message is known to be stored
    qint64 notedAt = 0;   // when the note was made, ms since the epoch
  };
  bool entryStored(const QString& uidl, Entry& entry) const;
  bool save(QString* why);
  bool append(const QByteArray& line, QString* why);
  QByteArray header() const;
  QByteArray serialize() const;

  QString root_;
  QString path_;
  QString account_;
  QHash<QString, Entry> entries_;
  QStringList order_;  // ids in the order they were noted, for a stable file
  bool ends_in_newline_ = true;  // false after a line cut off by a crash
  std::unique_ptr<QFile> journal_;  // open for notes since the last save
};

// The record's file name for an account: "uidl-" and the account, reduced to
// characters that are safe in a file name, then ".txt".
QString uidlRecordFileName(const QString& host, const QString& user);

}  // namespace retrieval
