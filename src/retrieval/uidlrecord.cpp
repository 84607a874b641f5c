#include "retrieval/uidlrecord.h"

#include "store/safewrite.h"
#include "store/writefailure.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <unistd.h>

namespace retrieval {

namespace {

const QByteArray kStored = "S ";
const QByteArray kPending = "P ";
// A message file is written within moments of its note; allow for coarse
// file times and a slow disk.
constexpr qint64 kClockSlackMs = 2000;
constexpr qint64 kStoreWindowMs = 10 * 60 * 1000;

QString safeForFileName(const QString& text) {
  QString out;
  for (const QChar c : text)
    out += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.') ||
                   c == QLatin1Char('@') || c == QLatin1Char('-')
               ? c
               : QLatin1Char('_');
  return out;
}

}  // namespace

QString uidlRecordFileName(const QString& host, const QString& user) {
  return QStringLiteral("uidl-%1.txt").arg(safeForFileName(user.trimmed() + QLatin1Char('@') + host.trimmed()));
}

UidlRecord::UidlRecord(const QString& mailRoot, const QString& host, const QString& user)
    : root_(mailRoot), account_(user.trimmed() + QStringLiteral(" on ") + host.trimmed()) {
  path_ = QDir(mailRoot).filePath(uidlRecordFileName(host, user));
}

bool UidlRecord::load(QString* why) {
  clear();
  QFile file(path_);
  if (!file.exists())
    return true;
  if (!file.open(QIODevice::ReadOnly)) {
    if (why)
      *why = QStringLiteral("Cannot read %1: %2").arg(path_, file.errorString());
    return false;
  }
  const QByteArray text = file.readAll();
  ends_in_newline_ = text.isEmpty() || text.endsWith('\n');
  QList<QByteArray> lines = text.split('\n');
  if (!ends_in_newline_)
    lines.removeLast();  // cut off while it was written
  for (const QByteArray& raw : std::as_const(lines)) {
    const QByteArray line = raw.trimmed();
    const bool pending = line.startsWith(kPending);
    if (!pending && !line.startsWith(kStored))
      continue;
    const QList<QByteArray> fields = line.mid(2).split(' ');
    const QString uidl = QString::fromUtf8(fields.first());
    if (uidl.isEmpty())
      continue;
    Entry entry;
    if (pending) {
      // A damaged note never counts as stored.
      entry.notedAt = fields.value(1).toLongLong();
      entry.pendingPath = QString::fromUtf8(line.mid(2 + fields[0].size() + fields.value(1).size() + 2));
      if (entry.pendingPath.isEmpty() || entry.notedAt <= 0)
        continue;
    }
    // A later note of the same id (an earlier store that never happened)
    // takes the place of the earlier one, unless that one was stored.
    auto known = entries_.find(uidl);
    if (known == entries_.end()) {
      entries_.insert(uidl, entry);
      order_ << uidl;
    } else if (!entryStored(uidl, *known)) {
      *known = entry;
    }
  }
  return true;
}

void UidlRecord::clear() {
  entries_.clear();
  order_.clear();
}

bool UidlRecord::entryStored(const QString&, Entry& entry) const {
  if (entry.pendingPath.isEmpty())
    return true;
  // The file must have been written right after the note: a message that
  // later took the same name (moved into the in-box) has another time.
  const QFileInfo file(QDir(root_).filePath(entry.pendingPath));
  const qint64 written = file.exists() ? file.lastModified().toMSecsSinceEpoch() : 0;
  if (written < entry.notedAt - kClockSlackMs || written > entry.notedAt + kStoreWindowMs)
    return false;
  entry.pendingPath.clear();
  return true;
}

bool UidlRecord::isStored(const QString& uidl) const {
  auto it = entries_.constFind(uidl);
  if (it == entries_.constEnd())
    return false;
  Entry copy = *it;
  return entryStored(uidl, copy);
}

int UidlRecord::storedCount() const {
  int n = 0;
  for (const QString& uidl : order_)
    n += isStored(uidl) ? 1 : 0;
  return n;
}

bool UidlRecord::noteStoring(const QString& uidl, const QString& relativePath, QString* why) {
  const Entry entry{relativePath, QDateTime::currentMSecsSinceEpoch()};
  if (!entries_.contains(uidl))
    order_ << uidl;
  entries_.insert(uidl, entry);
  return append(kPending + uidl.toUtf8() + ' ' + QByteArray::number(entry.notedAt) + ' ' +
                    relativePath.toUtf8() + '\n',
                why);
}

bool UidlRecord::keepOnly(const QStringList& serverUidls, QString* why) {
  const QSet<QString> onServer(serverUidls.cbegin(), serverUidls.cend());
  QStringList kept;
  for (const QString& id : std::as_const(order_)) {
    Entry& entry = entries_[id];
    if (onServer.contains(id) && entryStored(id, entry))
      kept << id;
    else
      entries_.remove(id);
  }
  order_ = kept;
  return save(why);
}

QByteArray UidlRecord::header() const {
  return "# Messages of " + account_.toUtf8() + " already in the mailbox, by UIDL\n";
}

QByteArray UidlRecord::serialize() const {
  QByteArray out = header();
  for (const QString& id : order_) {
    const Entry& entry = entries_[id];
    if (entry.pendingPath.isEmpty())
      out += kStored + id.toUtf8() + '\n';
    else
      out += kPending + id.toUtf8() + ' ' + QByteArray::number(entry.notedAt) + ' ' +
             entry.pendingPath.toUtf8() + '\n';
  }
  return out;
}

bool UidlRecord::save(QString* why) {
  journal_.reset();  // the file is replaced: notes go to the new one
  const store::WriteResult r = store::writeFileSafely(path_, serialize(), true);
  if (r.ok)
    ends_in_newline_ = true;
  else if (why)
    *why = r.error;
  return r.ok;
}

bool UidlRecord::append(const QByteArray& line, QString* why) {
  QByteArray bytes = line;
  if (!ends_in_newline_)
    bytes.prepend('\n');
  if (!journal_) {
    journal_ = std::make_unique<QFile>(path_);
    if (!journal_->exists())
      bytes.prepend(header());
    journal_->open(QIODevice::WriteOnly | QIODevice::Append);
  }
  // Handed to the system before the message it notes is written: that is
  // all a killed program needs. The disk gets it at sync().
  if (journal_->isOpen() && journal_->write(bytes) == bytes.size() && journal_->flush()) {
    ends_in_newline_ = true;
    return true;
  }
  // What did get out may end mid-line; the next line starts on its own.
  ends_in_newline_ = false;
  if (why)
    *why = store::writeFailureText(path_, bytes.size(), journal_->errorString());
  journal_.reset();
  return false;
}

bool UidlRecord::sync() {
  if (journal_)
    return ::fdatasync(journal_->handle()) == 0;
  QFile file(path_);
  return !file.exists() || (file.open(QIODevice::ReadOnly) && ::fdatasync(file.handle()) == 0);
}

}  // namespace retrieval
