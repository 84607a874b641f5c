// The message side of the mail control: header and MIME fields of the
// current entity, body lines, and the message operations.
#include <QFile>
#include <QFileInfo>

#include "maillib/addresses.h"
#include "maillib/mailcontrol.h"
#include "maillib/messageengine.h"
#include "maillib/mimetext.h"
#include "maillib/parameters.h"
#include "maillib/transfercodec.h"
#include "platform/codepage.h"
#include "store/safewrite.h"
#include "store/streamedwrite.h"

using maillib::Entity;
namespace mt = maillib::mimetext;
namespace codec = maillib::codec;

namespace {

bool isNamedField(const QByteArray& name) {
  static const char* const named[] = {"From", "To", "Cc", "Bcc", "Subject", "Date"};
  for (const char* n : named)
    if (name.compare(n, Qt::CaseInsensitive) == 0) return true;
  return false;
}

QString fieldOf(const Entity* e, const char* name) {
  return e ? mt::decodeHeader(e->value(name)) : QString();
}

QString addressFieldOf(const Entity* e, const char* name) {
  return e ? maillib::decodeAddressHeader(e->value(name)) : QString();
}

// The entity whose Content-Type describes the stored body of the frame.
Entity* bodyFields(maillib::MessageEngine& engine) {
  if (engine.frameIsEnclosedMessage() || engine.frameIsBodyOf()) return engine.structure();
  return engine.part();
}

QByteArray headerBlockText(const Entity& e) {
  QByteArray out;
  for (const maillib::Header& h : e.headers) out += h.name + ": " + h.raw + "\r\n";
  return mt::toCrlf(out);
}

// Text of a body set through BodyText: 8-bit font text stays byte for byte
// (iso-8859-1); text beyond Latin-1 goes as UTF-8.
void fillTextBody(Entity& e, const QString& text) {
  bool latin1 = true;
  bool ascii = true;
  for (QChar c : text) {
    if (c.unicode() > 0x7F) ascii = false;
    if (c.unicode() > 0xFF) latin1 = false;
  }
  const QByteArray charset = ascii ? "us-ascii" : latin1 ? "iso-8859-1" : "utf-8";
  const QByteArray bytes = mt::toCrlf(latin1 ? platform::toCodePage(text) : text.toUtf8());

  if (!e.find("Content-Type")) {
    e.setContentType("text", "plain", "charset=" + charset);
  } else if (e.type().compare("text", Qt::CaseInsensitive) == 0 && !ascii) {
    e.setContentType(e.type(), e.subtype(),
                     mt::withParameter(mt::unfold(e.params()), "charset", charset));
  }
  codec::Encoding enc = codec::fromName(QString::fromLatin1(mt::unfold(e.value("Content-Transfer-Encoding"))));
  if (enc == codec::Encoding::Identity) {
    bool longLine = false;
    qsizetype run = 0;
    for (char c : bytes) {
      run = (c == '\n') ? 0 : run + 1;
      if (run > 998) { longLine = true; break; }
    }
    if (!ascii || longLine) {
      enc = codec::Encoding::QuotedPrintable;
      e.set("Content-Transfer-Encoding", "quoted-printable");
    } else if (!e.find("Content-Transfer-Encoding")) {
      e.set("Content-Transfer-Encoding", "7bit");
    }
  }
  e.body = enc == codec::Encoding::Identity ? bytes : codec::encode(enc, bytes, {}, true);
  e.bodyChanged();
}

// Text of a body written in Unicode: always UTF-8, in the encoding that
// suits its bytes unless the entity already names one.
void fillUtf8TextBody(Entity& e, const QString& text) {
  const QByteArray bytes = mt::toCrlf(text.toUtf8());
  if (!e.find("Content-Type"))
    e.setContentType("text", "plain", "charset=utf-8");
  else if (e.type().compare("text", Qt::CaseInsensitive) == 0)
    e.setContentType(e.type(), e.subtype(), mt::withParameter(mt::unfold(e.params()), "charset", "utf-8"));
  codec::Encoding enc = codec::fromName(QString::fromLatin1(mt::unfold(e.value("Content-Transfer-Encoding"))));
  if (enc == codec::Encoding::Identity) {
    enc = codec::bestTextEncoding(bytes);
    e.set("Content-Transfer-Encoding", codec::name(enc));
  }
  e.body = enc == codec::Encoding::Identity ? bytes : codec::encode(enc, bytes, {}, true);
  e.bodyChanged();
}

}  // namespace

// ------------------------------------------------------------ header fields

QString MailControl::From() const { return addressFieldOf(engine_->message(), "From"); }
QString MailControl::To() const { return addressFieldOf(engine_->message(), "To"); }
QString MailControl::CC() const { return addressFieldOf(engine_->message(), "Cc"); }
QString MailControl::BCC() const { return addressFieldOf(engine_->message(), "Bcc"); }
QString MailControl::Subject() const { return fieldOf(engine_->message(), "Subject"); }
QString MailControl::Date() const { return fieldOf(engine_->message(), "Date"); }

namespace {
// A header value typed or pasted on several lines goes on one: a line
// break can never start a header of its own.
QString oneLine(QString value) {
  for (QChar& c : value)
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0)) c = QLatin1Char(' ');
  return value;
}

void setField(maillib::MessageEngine& engine, const char* name, const QString& typed, bool addresses,
              bool utf8 = false) {
  Entity* m = engine.message();
  if (!m) return;
  const QString value = oneLine(typed);
  if (value.trimmed().isEmpty()) {
    if (m->find(name)) m->remove(name);
  } else {
    m->set(name, addresses ? maillib::encodeAddressList(value) : mt::encodeText(value, utf8));
  }
  engine.touch();
}
}  // namespace

void MailControl::setFrom(const QString& value) { setField(*engine_, "From", value, true); }
void MailControl::setTo(const QString& value) { setField(*engine_, "To", value, true); }
void MailControl::setCC(const QString& value) { setField(*engine_, "Cc", value, true); }
void MailControl::setBCC(const QString& value) { setField(*engine_, "Bcc", value, true); }
void MailControl::setSubject(const QString& value) { setField(*engine_, "Subject", value, false, unicode_text_); }
void MailControl::setDate(const QString& value) { setField(*engine_, "Date", value, false); }

QString MailControl::HeaderText() const {
  maillib::MessageEngine& engine = *engine_;
  if (engine.atTop()) {
    if (engine.isPristine()) {
      // The header block exactly as stored, without the empty line.
      qsizetype end = 0;
      maillib::parseHeaderBlock(engine.raw(), 0, &end);
      QByteArray block = engine.raw().left(end);
      while (block.endsWith('\n') || block.endsWith('\r')) block.chop(1);
      return mt::rawToText(mt::toCrlf(block));
    }
    return mt::rawToText(headerBlockText(*engine.root()).trimmed());
  }
  const Entity* e = engine.frameIsEnclosedMessage() ? engine.structure() : engine.part();
  return e ? mt::rawToText(headerBlockText(*e).trimmed()) : QString();
}

int MailControl::HeaderCount() const {
  const Entity* m = engine_->message();
  int n = 0;
  if (m)
    for (const maillib::Header& h : m->headers)
      if (!isNamedField(h.name)) ++n;
  return n;
}

QString MailControl::HeaderLine(int index) const {
  const Entity* m = engine_->message();
  if (!m) return {};
  int n = 0;
  for (const maillib::Header& h : m->headers) {
    if (isNamedField(h.name)) continue;
    if (n++ == index) return QString::fromLatin1(h.name) + QStringLiteral(": ") + mt::decodeHeader(h.raw);
  }
  return {};
}

void MailControl::setSender(const QString& sender) { sender_ = oneLine(sender); }

void MailControl::setHeaderLine(int index, const QString& typed) {
  const QString line = oneLine(typed);
  Entity* m = engine_->message();
  const qsizetype colon = line.indexOf(QLatin1Char(':'));
  const QByteArray name = colon > 0 ? line.left(colon).trimmed().toLatin1() : QByteArray();
  bool validName = !name.isEmpty();
  for (char c : name)
    if (static_cast<unsigned char>(c) <= 32 || static_cast<unsigned char>(c) >= 127) validName = false;
  if (!m || !validName) {
    reportError(ErrState, QStringLiteral("\"%1\" is not a header line (Name: value).").arg(line));
    return;
  }
  const QByteArray value = mt::encodeText(line.mid(colon + 1).trimmed());
  int n = 0;
  for (maillib::Header& h : m->headers) {
    if (isNamedField(h.name)) continue;
    if (n++ == index) {
      h.name = name;
      h.raw = value;
      engine_->touch();
      return;
    }
  }
  m->headers.append({name, value});
  engine_->touch();
}

// ------------------------------------------------------------ MIME fields

QString MailControl::ContentType() const {
  const Entity* e = engine_->part();
  return e ? QString::fromLatin1(e->type()) : QString();
}

QString MailControl::ContentSubType() const {
  const Entity* e = engine_->part();
  return e ? QString::fromLatin1(e->subtype()) : QString();
}

QString MailControl::ContentParameters() const {
  const Entity* e = engine_->part();
  return e ? maillib::readableParameters(e->params()) : QString();
}

void MailControl::setContentType(const QString& value) {
  if (Entity* e = engine_->part()) {
    if (value.trimmed().compare(QLatin1String("multipart"), Qt::CaseInsensitive) == 0 && e == engine_->structure())
      engine_->moveBodyIntoPart(e);
    e->setContentType(value.trimmed().toLatin1(), e->subtype(), e->params());
    engine_->touch();
  }
}

void MailControl::setContentSubType(const QString& value) {
  if (Entity* e = engine_->part()) {
    e->setContentType(e->type(), value.trimmed().toLatin1(), e->params());
    engine_->touch();
  }
}

void MailControl::setContentParameters(const QString& value) {
  if (Entity* e = engine_->part()) {
    const QByteArray encoded = mt::encodeParameterField(QStringLiteral("x/x; ") + value.trimmed());
    e->setContentType(e->type(), e->subtype(), mt::splitAtFirstParameter(encoded).second);
    engine_->touch();
  }
}

QString MailControl::ContentDisposition() const {
  const Entity* e = engine_->part();
  if (!e) return {};
  const QByteArray v = e->value("Content-Disposition");
  if (v.isNull()) return {};
  const auto split = mt::splitAtFirstParameter(mt::unfold(v));
  QString out = QString::fromLatin1(split.first.trimmed());
  if (!split.second.isEmpty()) out += QStringLiteral("; ") + maillib::readableParameters(split.second);
  return out;
}

void MailControl::setContentDisposition(const QString& value) {
  if (Entity* e = engine_->part()) {
    if (value.trimmed().isEmpty())
      e->remove("Content-Disposition");
    else
      e->set("Content-Disposition", mt::encodeParameterField(value.trimmed()));
    engine_->touch();
  }
}

QString MailControl::TransferEncoding() const {
  const Entity* e = engine_->part();
  return e ? QString::fromLatin1(mt::unfold(e->value("Content-Transfer-Encoding"))) : QString();
}

void MailControl::setTransferEncoding(const QString& value) {
  if (Entity* e = engine_->part()) {
    if (value.trimmed().isEmpty())
      e->remove("Content-Transfer-Encoding");
    else
      e->set("Content-Transfer-Encoding", value.trimmed().toLatin1());
    engine_->touch();
  }
}

QString MailControl::Boundary() const {
  const Entity* e = engine_->part();
  return e ? QString::fromLatin1(mt::parameter(mt::unfold(e->params()), "boundary")) : QString();
}

void MailControl::setBoundary(const QString& value) {
  if (Entity* e = engine_->part()) {
    e->setContentType(e->type(), e->subtype(),
                      mt::withParameter(mt::unfold(e->params()), "boundary", value.trimmed().toLatin1()));
    engine_->touch();
  }
}

int MailControl::PartCount() const { return engine_->partCount(); }

// ------------------------------------------------------------ body lines

int MailControl::LineCount() const {
  const Entity* s = engine_->structure();
  if (!s || s->isMultipart()) return 0;
  return s->lineCount();
}

QString MailControl::BodyText(int index) const {
  const Entity* s = engine_->structure();
  if (!s || s->isMultipart()) return {};
  const Entity* fields = bodyFields(*engine_);
  const QByteArray charset = fields ? mt::parameter(mt::unfold(fields->params()), "charset") : QByteArray();
  return mt::bytesToText(s->line(index), charset);
}

QString MailControl::storedBodyText() const {
  const Entity* s = engine_->structure();
  if (!s || s->isMultipart()) return {};
  const Entity* fields = bodyFields(*engine_);
  const QByteArray charset = fields ? mt::parameter(mt::unfold(fields->params()), "charset") : QByteArray();
  const int count = s->lineCount();
  QByteArray lines;
  lines.reserve(qsizetype(s->body.size()) + 2);
  for (int i = 0; i < count; ++i) {
    lines += s->line(i);
    lines += "\r\n";
  }
  // One conversion for all the lines, where that reads them alike.
  if (mt::readsAlikeLineByLine(lines, charset)) return mt::bytesToText(lines, charset);
  QString out;
  out.reserve(lines.size());
  for (int i = 0; i < count; ++i) {
    out += mt::bytesToText(s->line(i), charset);
    out += QLatin1String("\r\n");
  }
  return out;
}

void MailControl::setBodyText(int index, const QString& text) {
  Entity* s = engine_->structure();
  if (!s) {
    reportError(ErrState, QStringLiteral("There is no part here to take the text."));
    return;
  }
  if (index == 0 && s->isMultipart()) {
    // Text given to a multipart becomes its first part, so nothing is lost;
    // no text adds no part.
    if (text.isEmpty()) return;
    auto p = std::make_unique<Entity>();
    unicode_text_ ? fillUtf8TextBody(*p, text) : fillTextBody(*p, text);
    s->parts.insert(s->parts.begin(), std::move(p));
    engine_->touch();
    return;
  }
  if (index == 0) {
    unicode_text_ ? fillUtf8TextBody(*s, text) : fillTextBody(*s, text);
  } else {
    if (index < 0 || s->isMultipart()) {
      reportError(ErrPart, QStringLiteral("There is no body line %1.").arg(index));
      return;
    }
    QList<QByteArray> lines;
    for (int i = 0; i < s->lineCount(); ++i) lines.append(s->line(i));
    const QByteArray line = platform::toCodePage(text);
    if (index < lines.size())
      lines[index] = line;
    else
      lines.append(line);
    s->body = lines.join("\r\n") + "\r\n";
    s->bodyChanged();
  }
  engine_->touch();
}

// ------------------------------------------------------------ raw access

bool MailControl::loadMessageBytes(const QByteArray& raw) {
  QString problem;
  engine_->loadBytes(raw, &problem);
  // Bytes that do not look like a message are still kept as received.
  return !raw.isEmpty();
}

QByteArray MailControl::messageBytes(bool forTransport) const {
  if (engine_->isEmpty()) return {};
  engine_->completeHeaders(message_number_, sender_);
  return engine_->serialize(forTransport);
}

QStringList MailControl::recipientAddresses() const {
  const Entity* r = engine_->root();
  QStringList out;
  for (const char* field : {"To", "Cc", "Bcc"}) {
    // Read from the stored text: an address is never taken from a decoded
    // encoded word.
    for (const QString& a : maillib::splitAddressList(mt::rawToText(mt::unfold(r->value(field))))) {
      bool seen = false;
      for (const QChar c : a)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F) seen = true;
      for (const QString& o : out)
        if (o.compare(a, Qt::CaseInsensitive) == 0) seen = true;
      if (!seen) out.append(a);
    }
  }
  return out;
}

QByteArray MailControl::snapshot() const {
  return engine_->isEmpty() ? QByteArray() : engine_->serialize(false);
}

void MailControl::restore(const QByteArray& snapshot) {
  release();
  if (!snapshot.isEmpty()) loadMessageBytes(snapshot);
}

// ------------------------------------------------------------ outcomes

void MailControl::Outcome::fail(int code, const QString& text) {
  failed = true;
  problems.append({code, text});
}

void MailControl::Outcome::note(int code, const QString& text) {
  if (!text.isEmpty()) problems.append({code, text});
}

bool MailControl::Outcome::settle(QString* why) const {
  if (why) {
    QStringList texts;
    for (const auto& p : problems) texts.append(p.second);
    *why = texts.join(QLatin1Char('\n'));
  }
  return !failed;
}

void MailControl::report(const Outcome& outcome) {
  for (const auto& p : outcome.problems) reportError(p.first, p.second);
}

void MailControl::noteParseProblem(Outcome& outcome) {
  outcome.note(ErrParse, engine_->takeParseProblem());
}

// ------------------------------------------------------------ operation codes

void MailControl::runMessageCode(int code, int flags) {
  Outcome o;
  switch (code) {
    case 11: release(); break;
    case 13: runLoadFile(part_file_, o); break;
    case 15:
      if (flags & 32)
        runWriteFile(message_file_, o);
      else if (flags & 16)
        output_text_ = runSourceText(o);
      // Flags 2: nothing to write.
      break;
    case 5:
      if (flags & 32)
        runSavePartFile(message_file_, o);
      else
        output_text_ = runPartText(o);
      break;
    case 7: runEnterPart(part_index_, o); break;
    case 2: leavePart(); break;
    case 4: {
      const int index = runAddPart(part_index_set_ ? part_index_ : -1, o);
      part_index_set_ = false;
      if (index >= 0) part_index_ = index;
      break;
    }
    case 9: runLoadPartFile(part_file_, o); break;
    default: break;
  }
  report(o);
}

// ------------------------------------------------------------ typed calls

bool MailControl::loadFile(const QString& path, QString* why) {
  Outcome o;
  runLoadFile(path, o);
  return o.settle(why);
}

bool MailControl::writeToFile(const QString& path, QString* why) {
  Outcome o;
  runWriteFile(path, o);
  return o.settle(why);
}

QString MailControl::sourceText(QString* why) {
  Outcome o;
  const QString text = runSourceText(o);
  o.settle(why);
  return text;
}

bool MailControl::enterPart(int index, QString* why) {
  Outcome o;
  runEnterPart(index, o);
  return o.settle(why);
}

void MailControl::leavePart() { engine_->leave(); }

QString MailControl::partText(QString* why) {
  Outcome o;
  const QString text = runPartText(o);
  o.settle(why);
  return text;
}

bool MailControl::savePartToFile(const QString& path, QString* why) {
  Outcome o;
  runSavePartFile(path, o);
  return o.settle(why);
}

int MailControl::addPart(int index, QString* why) {
  Outcome o;
  const int added = runAddPart(index, o);
  o.settle(why);
  return added;
}

bool MailControl::loadPartFile(const QString& path, QString* why) {
  Outcome o;
  runLoadPartFile(path, o);
  return o.settle(why);
}

void MailControl::release() {
  engine_->clear();
  part_index_set_ = false;
}

// ------------------------------------------------------------ operations

void MailControl::runLoadFile(const QString& path, Outcome& o) {
  QString problem;
  switch (engine_->loadFile(path, &problem)) {
    case maillib::MessageEngine::LoadResult::Ok: break;
    case maillib::MessageEngine::LoadResult::FileError: o.fail(ErrFile, problem); break;
    case maillib::MessageEngine::LoadResult::NotAMessage: o.fail(ErrParse, problem); break;
  }
}

void MailControl::runWriteFile(const QString& path, Outcome& o) {
  if (path.trimmed().isEmpty()) {
    o.fail(ErrFile, QStringLiteral("No file was named to write the message to."));
    return;
  }
  if (engine_->isEmpty()) {
    o.fail(ErrState, QStringLiteral("There is no message to write to %1.").arg(path));
    return;
  }
  engine_->completeHeaders(message_number_, sender_);
  // An existing file is never replaced: a message already stored there
  // would be lost.
  // The message goes to the file in pieces as it is written out, so a large
  // attachment is not held a second time.
  bool incomplete = false;
  const auto produce = [&](QIODevice& out) {
    QString writeError;
    engine_->serializeTo(false, [&](QByteArrayView piece) {
      if (writeError.isEmpty() && !piece.isEmpty() && out.write(piece.data(), piece.size()) != piece.size())
        writeError = out.errorString();
    });
    incomplete = !engine_->isComplete();
    return incomplete ? QStringLiteral("the message could not be read to its end") : writeError;
  };
  const auto bytesNeeded = [&] {
    qint64 size = 0;
    engine_->serializeTo(false, [&size](QByteArrayView piece) { size += piece.size(); });
    return size;
  };
  const store::WriteResult r = store::writeFileStreamed(path, produce, false, bytesNeeded);
  if (incomplete)
    o.fail(ErrFile, engine_->takeParseProblem());
  else if (!r.ok)
    o.fail(ErrFile, r.error);
}

QString MailControl::runSourceText(Outcome& o) {
  const QString text = engine_->isEmpty() ? QString() : mt::rawToText(engine_->serialize(false));
  noteParseProblem(o);
  return text;
}

QString MailControl::runPartText(Outcome& o) {
  const maillib::MessageEngine::Content c = engine_->content();
  const QString text = mt::bytesToText(c.bytes, c.charset);
  noteParseProblem(o);
  o.note(ErrParse, c.problem);
  return text;
}

void MailControl::runSavePartFile(const QString& path, Outcome& o) {
  if (path.trimmed().isEmpty()) {
    o.fail(ErrFile, QStringLiteral("No file was named to save the part to."));
    return;
  }
  // Decoded straight into the file: a large part is never in memory whole.
  const maillib::MessageEngine::Saved saved = engine_->saveContent(path);
  noteParseProblem(o);
  if (!saved.hasPart) {
    o.fail(ErrPart, saved.problem);
    return;
  }
  if (!saved.written) {
    o.fail(ErrFile, saved.writeError);
    return;
  }
  if (!saved.problem.isEmpty()) o.note(ErrParse, saved.problem + QStringLiteral(" (saved what could be read)"));
}

void MailControl::runEnterPart(int index, Outcome& o) {
  QString problem;
  const bool ok = engine_->enter(index, &problem);
  noteParseProblem(o);
  if (!ok) o.fail(ErrPart, problem);
}

int MailControl::runAddPart(int index, Outcome& o) {
  const int added = engine_->addPart(index);
  if (added < 0) o.fail(ErrState, QStringLiteral("A part cannot be added here."));
  return added;
}

void MailControl::runLoadPartFile(const QString& path, Outcome& o) {
  Entity* s = engine_->structure();
  Entity* fields = engine_->part();
  if (!s || !fields || s->isMultipart() || s != fields) {
    o.fail(ErrState, QStringLiteral("A file can only be loaded into a single part."));
    return;
  }
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
    o.fail(ErrFile, QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    return;
  }
  codec::Encoding enc = codec::fromName(TransferEncoding());
  if (enc == codec::Encoding::Base64) {
    // Encoded as it is read: the file is never in memory beside its
    // encoding.
    QByteArray encoded = codec::encodeBase64(file, file.size());
    if (file.error() != QFileDevice::NoError) {
      o.fail(ErrFile, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
      return;
    }
    s->body = std::move(encoded);
    s->bodyChanged();
    engine_->touch();
    return;
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    o.fail(ErrFile, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return;
  }
  if (enc == codec::Encoding::Identity) {
    // Without a transfer encoding only short 7-bit lines survive mail.
    bool safe = mt::isAscii(data) && !data.contains('\0');
    qsizetype run = 0;
    for (char c : data) {
      run = (c == '\n') ? 0 : run + 1;
      if (run > 998) { safe = false; break; }
    }
    if (!safe) {
      enc = codec::Encoding::Base64;
      s->set("Content-Transfer-Encoding", "base64");
    }
  }
  QByteArray name = mt::parameter(mt::splitAtFirstParameter(mt::unfold(s->value("Content-Disposition"))).second,
                                  "filename");
  if (name.isEmpty()) name = QFileInfo(path).fileName().toUtf8();
  const qsizetype slash = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
  if (slash >= 0) name = name.mid(slash + 1);
  s->body = codec::encode(enc, data, name, false);
  s->bodyChanged();
  engine_->touch();
}
