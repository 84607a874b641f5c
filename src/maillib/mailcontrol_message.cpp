// The message side of the mail control: header and MIME fields of the
// current entity, body lines, and the message operations.
#include <QFile>
#include <QFileInfo>

#include "maillib/mailcontrol.h"
#include "maillib/messageengine.h"
#include "maillib/mimetext.h"
#include "maillib/transfercodec.h"
#include "platform/codepage.h"
#include "store/safewrite.h"

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

}  // namespace

// ------------------------------------------------------------ header fields

QString MailControl::From() const { return fieldOf(engine_->message(), "From"); }
QString MailControl::To() const { return fieldOf(engine_->message(), "To"); }
QString MailControl::CC() const { return fieldOf(engine_->message(), "Cc"); }
QString MailControl::BCC() const { return fieldOf(engine_->message(), "Bcc"); }
QString MailControl::Subject() const { return fieldOf(engine_->message(), "Subject"); }
QString MailControl::Date() const { return fieldOf(engine_->message(), "Date"); }

namespace {
void setField(maillib::MessageEngine& engine, const char* name, const QString& value, bool addresses) {
  Entity* m = engine.message();
  if (!m) return;
  if (value.trimmed().isEmpty()) {
    if (m->find(name)) m->remove(name);
  } else {
    m->set(name, addresses ? mt::encodeAddressList(value) : mt::encodeText(value));
  }
  engine.touch();
}
}  // namespace

void MailControl::setFrom(const QString& value) { setField(*engine_, "From", value, true); }
void MailControl::setTo(const QString& value) { setField(*engine_, "To", value, true); }
void MailControl::setCC(const QString& value) { setField(*engine_, "Cc", value, true); }
void MailControl::setBCC(const QString& value) { setField(*engine_, "Bcc", value, true); }
void MailControl::setSubject(const QString& value) { setField(*engine_, "Subject", value, false); }
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

void MailControl::setHeaderLine(int index, const QString& line) {
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
  return e ? mt::readableParameters(e->params()) : QString();
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
  if (!split.second.isEmpty()) out += QStringLiteral("; ") + mt::readableParameters(split.second);
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
    fillTextBody(*p, text);
    s->parts.insert(s->parts.begin(), std::move(p));
    engine_->touch();
    return;
  }
  if (index == 0) {
    fillTextBody(*s, text);
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
    for (const QString& a : mt::addresses(mt::decodeHeader(r->value(field)))) {
      bool seen = false;
      for (const QString& o : out)
        if (o.compare(a, Qt::CaseInsensitive) == 0) seen = true;
      if (!seen) out.append(a);
    }
  }
  return out;
}

// ------------------------------------------------------------ operations

void MailControl::reportParseProblem() {
  const QString problem = engine_->takeParseProblem();
  if (!problem.isEmpty()) reportError(ErrParse, problem);
}

void MailControl::opLoadFile() {
  QString problem;
  switch (engine_->loadFile(part_file_, &problem)) {
    case maillib::MessageEngine::LoadResult::Ok: break;
    case maillib::MessageEngine::LoadResult::FileError: reportError(ErrFile, problem); break;
    case maillib::MessageEngine::LoadResult::NotAMessage: reportError(ErrParse, problem); break;
  }
}

void MailControl::opWriteFile() {
  if (message_file_.trimmed().isEmpty()) {
    reportError(ErrFile, QStringLiteral("No file was named to write the message to."));
    return;
  }
  if (engine_->isEmpty()) {
    reportError(ErrState, QStringLiteral("There is no message to write to %1.").arg(message_file_));
    return;
  }
  engine_->completeHeaders(message_number_, sender_);
  // An existing file is never replaced: a message already stored there
  // would be lost.
  const QByteArray bytes = engine_->serialize(false);
  if (!engine_->isComplete()) {
    reportError(ErrFile, engine_->takeParseProblem());
    return;
  }
  const store::WriteResult r = store::writeFileSafely(message_file_, bytes, false);
  if (!r.ok) reportError(ErrFile, r.error);
}

void MailControl::opWriteSource() {
  output_text_ = engine_->isEmpty() ? QString() : mt::rawToText(engine_->serialize(false));
  reportParseProblem();
}

void MailControl::opSavePartText() {
  const maillib::MessageEngine::Content c = engine_->content();
  output_text_ = mt::bytesToText(c.bytes, c.charset);
  reportParseProblem();
  if (!c.problem.isEmpty()) reportError(ErrParse, c.problem);
}

void MailControl::opSavePartFile() {
  if (message_file_.trimmed().isEmpty()) {
    reportError(ErrFile, QStringLiteral("No file was named to save the part to."));
    return;
  }
  // Decoded straight into the file: a large part is never in memory whole.
  const maillib::MessageEngine::Saved saved = engine_->saveContent(message_file_);
  reportParseProblem();
  if (!saved.hasPart) {
    reportError(ErrPart, saved.problem);
    return;
  }
  if (!saved.written) {
    reportError(ErrFile, saved.writeError);
    return;
  }
  if (!saved.problem.isEmpty()) reportError(ErrParse, saved.problem + QStringLiteral(" (saved what could be read)"));
}

void MailControl::opEnterPart() {
  QString problem;
  const bool ok = engine_->enter(part_index_, &problem);
  reportParseProblem();
  if (!ok) reportError(ErrPart, problem);
}

void MailControl::opLeavePart() { engine_->leave(); }

void MailControl::opAddPart() {
  const int index = engine_->addPart(part_index_set_ ? part_index_ : -1);
  part_index_set_ = false;
  if (index < 0) {
    reportError(ErrState, QStringLiteral("A part cannot be added here."));
    return;
  }
  part_index_ = index;
}

void MailControl::opLoadPartFile() {
  Entity* s = engine_->structure();
  Entity* fields = engine_->part();
  if (!s || !fields || s->isMultipart() || s != fields) {
    reportError(ErrState, QStringLiteral("A file can only be loaded into a single part."));
    return;
  }
  QFile file(part_file_);
  if (part_file_.isEmpty() || !file.open(QIODevice::ReadOnly)) {
    reportError(ErrFile, QStringLiteral("Cannot open %1: %2").arg(part_file_, file.errorString()));
    return;
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    reportError(ErrFile, QStringLiteral("Cannot read %1: %2").arg(part_file_, file.errorString()));
    return;
  }
  codec::Encoding enc = codec::fromName(TransferEncoding());
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
  if (name.isEmpty()) name = QFileInfo(part_file_).fileName().toUtf8();
  const qsizetype slash = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
  if (slash >= 0) name = name.mid(slash + 1);
  s->body = codec::encode(enc, data, name, false);
  s->bodyChanged();
  engine_->touch();
}

void MailControl::opRelease() {
  engine_->clear();
  part_index_set_ = false;
}
