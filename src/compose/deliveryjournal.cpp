#include "compose/deliveryjournal.h"

#include "platform/prompter.h"
#include "store/mailstore.h"
#include "store/safewrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace compose {

namespace {

const QByteArray kHeader = "TovelMail OutBox record 1";

// One line: kind, name, size, time, label, separated by tabs.
QByteArray line(const char* kind, const QueuedFile& f) {
  QString label = f.label;
  for (QChar& c : label)
    if (c.category() == QChar::Other_Control)
      c = QLatin1Char(' ');
  return QByteArray(kind) + '\t' + f.name.toUtf8() + '\t' + QByteArray::number(f.size) + '\t' +
         QByteArray::number(f.modified) + '\t' + label.toUtf8() + '\n';
}

std::optional<QueuedFile> parse(const QList<QByteArray>& fields) {
  if (fields.size() != 5)
    return std::nullopt;
  QueuedFile f;
  bool sizeOk = false, timeOk = false;
  f.name = QString::fromUtf8(fields[1]);
  f.size = fields[2].toLongLong(&sizeOk);
  f.modified = fields[3].toLongLong(&timeOk);
  f.label = QString::fromUtf8(fields[4]);
  if (!sizeOk || !timeOk || f.name.isEmpty() || f.name.contains(QLatin1Char('/')))
    return std::nullopt;
  return f;
}

}  // namespace

DeliveryJournal::DeliveryJournal()
    : DeliveryJournal(mailStore().mail_root + QStringLiteral("outbox.journal"),
                      mailStore().folderPath(QStringLiteral("OutBox"))) {}

DeliveryJournal::DeliveryJournal(const QString& path, const QString& outboxFolder)
    : path_(path), outbox_(outboxFolder) {}

DeliveryJournal::DeliveryJournal(const DeliveryJournal& other) { *this = other; }

DeliveryJournal& DeliveryJournal::operator=(const DeliveryJournal& other) {
  if (this == &other)
    return *this;
  path_ = other.path_;
  outbox_ = other.outbox_;
  in_flight_ = other.in_flight_;
  held_ = other.held_;
  whole_ = other.whole_;
  ends_in_newline_ = other.ends_in_newline_;
  appender_.reset();
  return *this;
}

DeliveryJournal::~DeliveryJournal() = default;

void DeliveryJournal::load() {
  in_flight_.reset();
  held_.clear();
  appender_.reset();
  whole_ = false;
  ends_in_newline_ = true;
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly))
    return;
  const QByteArray data = file.readAll();
  const QList<QByteArray> lines = data.split('\n');
  if (lines.first() != kHeader)
    return;
  whole_ = true;
  ends_in_newline_ = data.endsWith('\n');
  // The last piece follows the last line break: whole lines only.
  for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
    const QList<QByteArray> fields = lines[i].split('\t');
    const std::optional<QueuedFile> f = parse(fields);
    if (!f)
      continue;
    if (fields[0] == "held")
      held_ << *f;
    else if (fields[0] == "settled")
      in_flight_.reset();
    else if (fields[0] == "sending")
      in_flight_ = Entry{*f, Loss::ProgramStopped};
    else if (fields[0] == "lost")
      in_flight_ = Entry{*f, Loss::ConnectionLost};
  }
}

bool DeliveryJournal::save(QString* why) {
  QByteArray data = kHeader + '\n';
  for (const QueuedFile& f : held_)
    data += line("held", f);
  if (in_flight_)
    data += line(in_flight_->loss == Loss::ConnectionLost ? "lost" : "sending", in_flight_->file);
  appender_.reset();
  store::WriteResult r = store::writeFileSafely(path_, data);
  whole_ = r.ok;
  ends_in_newline_ = true;
  if (r.ok && !store::syncFolder(QFileInfo(path_).absolutePath()))
    r = {false, QStringLiteral("%1 could not be synced to disk.").arg(path_)};
  if (!r.ok && why)
    *why = r.error;
  return r.ok;
}

QueuedFile DeliveryJournal::describe(const QString& file, const QString& label) const {
  const QFileInfo info(file);
  QueuedFile f;
  f.name = info.fileName();
  f.label = label;
  if (info.exists() && QFileInfo(info.absolutePath()) == QFileInfo(outbox_)) {
    f.size = info.size();
    f.modified = info.lastModified().toMSecsSinceEpoch();
  }
  return f;
}

bool DeliveryJournal::noteInFlight(const QueuedFile& file, QString* why, Loss loss) {
  setInFlight(file, loss);
  if (!whole_)
    return save(why);
  if (!appender_) {
    appender_ = std::make_unique<QFile>(path_);
    if (!appender_->open(QIODevice::WriteOnly | QIODevice::Append)) {
      if (why)
        *why = appender_->errorString();
      appender_.reset();
      return false;
    }
  }
  QByteArray bytes = line(loss == Loss::ConnectionLost ? "lost" : "sending", file);
  if (!ends_in_newline_)
    bytes.prepend('\n');
  if (appender_->write(bytes) != bytes.size() || !appender_->flush() || ::fdatasync(appender_->handle()) != 0) {
    if (why)
      *why = appender_->errorString();
    appender_.reset();
    whole_ = false;  // rewritten whole next time
    return false;
  }
  ends_in_newline_ = true;
  return true;
}

void DeliveryJournal::setInFlight(const QueuedFile& file, Loss loss) { in_flight_ = Entry{file, loss}; }

bool DeliveryJournal::isUnknown(const QString& file) const {
  return in_flight_ && in_flight_->file.size >= 0 && in_flight_->file.sameFile(describe(file));
}

bool DeliveryJournal::isHeld(const QString& file) const {
  const QueuedFile now = describe(file);
  return now.size >= 0 && std::any_of(held_.begin(), held_.end(), [&](const QueuedFile& f) { return f.sameFile(now); });
}

void DeliveryJournal::hold(const QString& file) {
  if (isHeld(file))
    return;
  QueuedFile f = describe(file);
  if (in_flight_ && in_flight_->file.sameFile(f))
    f.label = in_flight_->file.label;
  held_ << f;
}

void DeliveryJournal::release(const QString& file) {
  const QueuedFile now = describe(file);
  held_.removeIf([&](const QueuedFile& f) { return f.sameFile(now); });
}

void DeliveryJournal::keepHeldOnly(const QStringList& files) {
  QList<QueuedFile> kept;
  for (const QString& file : files) {
    const QueuedFile now = describe(file);
    for (const QueuedFile& f : held_)
      if (f.sameFile(now))
        kept << f;
  }
  held_ = kept;
}

QString DeliveryJournal::question(const QString& file) const {
  const QueuedFile now = describe(file);
  QString label = now.name;
  for (const QueuedFile& f : held_)
    if (f.sameFile(now) && !f.label.isEmpty())
      label = f.label;
  if (isUnknown(file)) {
    if (!in_flight_->file.label.isEmpty())
      label = in_flight_->file.label;
    return QStringLiteral("The message %1 may already have been sent when %2; send it again?")
        .arg(label, in_flight_->loss == Loss::ConnectionLost ? QStringLiteral("the connection was lost")
                                                              : QStringLiteral("the program stopped"));
  }
  return QStringLiteral("The message %1 is held in the OutBox because it may already have been sent; "
                        "send it again?")
      .arg(label);
}

QStringList queuedFiles() {
  const QDir outbox(mailStore().folderPath(QStringLiteral("OutBox")));
  QStringList files;
  for (const QString& name : outbox.entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::Name))
    if (name.compare(QStringLiteral("config.msg"), Qt::CaseInsensitive) != 0)
      files << outbox.filePath(name);
  return files;
}

DeliveryChoice chooseDeliveries(const QStringList& files, bool wholeOutBox) {
  DeliveryJournal journal;
  journal.load();
  DeliveryChoice choice;
  // Held files are asked about again when nothing else is queued.
  const bool askHeld = wholeOutBox && std::all_of(files.begin(), files.end(), [&](const QString& f) {
                         return journal.isHeld(f) || journal.isUnknown(f);
                       });
  bool changed = false;
  for (const QString& file : files) {
    const bool unknown = journal.isUnknown(file);
    const bool held = !unknown && journal.isHeld(file);
    if (!unknown && !held) {
      if (wholeOutBox)
        choice.send << file;
      continue;
    }
    if (held && !askHeld) {
      ++choice.held;
      continue;
    }
    changed = true;
    if (platform::prompter().question(journal.question(file))) {
      journal.release(file);
      choice.send << file;
    } else {
      journal.hold(file);
      ++choice.held;
    }
  }
  if (changed || wholeOutBox) {
    journal.clearInFlight();
    if (wholeOutBox)
      journal.keepHeldOnly(files);
    if (!journal.save(&choice.problem)) {
      choice.problem = QStringLiteral("The OutBox record could not be written (%1); nothing was sent, so that "
                                      "no message can go out twice.")
                           .arg(choice.problem);
      choice.send.clear();
    }
  }
  return choice;
}

}  // namespace compose
