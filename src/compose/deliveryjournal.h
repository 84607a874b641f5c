#pragma once
// The OutBox's record of sending, one small file in the mailbox root.
//
// Before a message's data ends, a line appended to the record (and synced)
// names it as in flight; the next message's line supersedes it once the
// first is in Sent. A line cut off by a crash is passed over: it was being
// written before its message's data ended, so that message did not go. A record that
// still names a file in the OutBox, unchanged, means nobody knows whether
// the server took that message (the program stopped, or the connection was
// lost after the data went out): it is not sent again without asking.
//
// The record also keeps the messages the user chose not to send again:
// they are held in the OutBox, and a delivery run leaves them there unless
// nothing else is queued, when it asks about them once more.
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace compose {

// One OutBox file as the record knows it: a file of the same name that was
// since replaced by another message does not match.
struct QueuedFile {
  QString name;  // file name in the OutBox
  qint64 size = -1;
  qint64 modified = -1;  // ms since the epoch
  QString label;         // "subject" to recipient, for questions

  bool sameFile(const QueuedFile& other) const {
    return name == other.name && size == other.size && modified == other.modified;
  }
};

class DeliveryJournal {
 public:
  enum class Loss { ProgramStopped, ConnectionLost };

  // The record of the store's OutBox.
  DeliveryJournal();
  DeliveryJournal(const QString& path, const QString& outboxFolder);
  DeliveryJournal(const DeliveryJournal& other);
  DeliveryJournal& operator=(const DeliveryJournal& other);
  ~DeliveryJournal();

  // Reads the file; none is an empty record, and lines that cannot be read
  // are passed over.
  void load();
  // Writes it whole and safely, and syncs the folder.
  bool save(QString* why);
  // Notes file as in flight: one line appended and synced (the whole
  // record is written when there is none yet).
  bool noteInFlight(const QueuedFile& file, QString* why, Loss loss = Loss::ProgramStopped);

  // What is on disk now for an OutBox file (by full path).
  QueuedFile describe(const QString& file, const QString& label = {}) const;

  // The message whose data is about to end, or none.
  void setInFlight(const QueuedFile& file, Loss loss = Loss::ProgramStopped);
  void clearInFlight() { in_flight_.reset(); }
  // True when the in-flight message is file, unchanged.
  bool isUnknown(const QString& file) const;
  bool isHeld(const QString& file) const;
  void hold(const QString& file);
  void release(const QString& file);
  // Drops the marks of held files that are no longer among files.
  void keepHeldOnly(const QStringList& files);
  // The question for a file whose outcome is unknown or that is held.
  QString question(const QString& file) const;

  QString path() const { return path_; }

 private:
  struct Entry {
    QueuedFile file;
    Loss loss = Loss::ProgramStopped;
  };
  const Entry* find(const QString& file) const;

  QString path_;
  QString outbox_;
  std::optional<Entry> in_flight_;
  QList<QueuedFile> held_;
  bool whole_ = false;              // the file holds a readable record
  bool ends_in_newline_ = true;     // false after a line cut off by a crash
  std::unique_ptr<QFile> appender_;  // open for notes since the last save
};

// The message files of the store's OutBox (full paths), in name order.
QStringList queuedFiles();

// What a delivery run sends of the OutBox files given (full paths, in
// order), after asking about each whose outcome is unknown; with wholeOutBox
// false (an immediate send) only those are considered. The record is
// updated and saved; when it cannot be written nothing may be sent.
struct DeliveryChoice {
  QStringList send;
  int held = 0;     // files left in the OutBox because they may have been sent
  QString problem;  // the record could not be written: send nothing
};
DeliveryChoice chooseDeliveries(const QStringList& files, bool wholeOutBox = true);

}  // namespace compose
