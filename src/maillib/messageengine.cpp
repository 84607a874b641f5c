#include "maillib/messageengine.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTimeZone>
#include <algorithm>
#include <limits>
#include <optional>

#include "maillib/gmimeinit.h"
#include "maillib/gmimeref.h"
#include "maillib/messagefile.h"
#include "maillib/mimetext.h"
#include "maillib/transfercodec.h"
#include "store/safewrite.h"
#include "store/streamedwrite.h"

namespace maillib {

namespace {

// Deeper structures are cut here; what lies below stays unreadable rather
// than exhausting the stack.
constexpr int kMaxDepth = 200;

bool isWsp(char c) { return c == ' ' || c == '\t'; }

bool validFieldName(const QByteArray& line, qsizetype colon) {
  if (colon <= 0) return false;
  for (qsizetype i = 0; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c <= 32 || c >= 127) {
      // "Name :" (a blank before the colon) is accepted.
      if (isWsp(char(c))) {
        for (qsizetype k = i; k < colon; ++k)
          if (!isWsp(line[k])) return false;
        return true;
      }
      return false;
    }
  }
  return true;
}

QByteArray randomToken() {
  return QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}

QByteArray rfc2822Date(const QDateTime& when) {
  const QLocale c = QLocale::c();
  const int offset = when.offsetFromUtc() / 60;
  const QByteArray zone = (offset < 0 ? "-" : "+") +
                          QByteArray::number(qAbs(offset) / 60).rightJustified(2, '0') +
                          QByteArray::number(qAbs(offset) % 60).rightJustified(2, '0');
  return c.toString(when, QStringLiteral("ddd, d MMM yyyy hh:mm:ss ")).toLatin1() + zone;
}

QList<Header> headersOf(GMimeObject* obj) {
  QList<QPair<gint64, Header>> list;
  auto take = [&list](GMimeObject* o) {
    if (!o) return;
    GMimeHeaderList* hl = g_mime_object_get_header_list(o);
    const int n = hl ? g_mime_header_list_get_count(hl) : 0;
    for (int i = 0; i < n; ++i) {
      GMimeHeader* h = g_mime_header_list_get_header_at(hl, i);
      Header out;
      out.name = g_mime_header_get_name(h);
      const char* raw = g_mime_header_get_raw_value(h);
      out.raw = raw ? QByteArray(raw) : QByteArray();
      while (!out.raw.isEmpty() && isWsp(out.raw.front())) out.raw.remove(0, 1);
      while (!out.raw.isEmpty() && (out.raw.back() == '\n' || out.raw.back() == '\r')) out.raw.chop(1);
      list.append({g_mime_header_get_offset(h), out});
    }
  };
  take(obj);
  if (GMIME_IS_MESSAGE(obj)) take(g_mime_message_get_mime_part(GMIME_MESSAGE(obj)));
  std::stable_sort(list.begin(), list.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  QList<Header> out;
  for (auto& p : list) out.append(p.second);
  return out;
}

struct Converter {
  const QByteArray& raw;
  const std::shared_ptr<MessageFile>& file;  // set when parsing from the file
  bool truncated = false;

  Body slice(qint64 start, qint64 end) const {
    const qint64 size = file ? file->size() : raw.size();
    if (start < 0) start = 0;
    if (end < 0 || end > size) end = size;
    if (start >= end) return Body();
    if (file) return Body(file, start, end - start);
    return QByteArray::fromRawData(raw.constData() + start, qsizetype(end - start));
  }

  Body leafBody(GMimePart* part) {
    GMimeDataWrapper* w = g_mime_part_get_content(part);
    if (!w) return {};
    GMimeStream* s = g_mime_data_wrapper_get_stream(w);
    if (!s) return {};
    // A substream of the loaded bytes or file: its bounds are offsets into
    // them.
    if (file && file->isStreamOfThisFile(s)) return slice(s->bound_start, s->bound_end);
    if (!file && GMIME_IS_STREAM_MEM(s)) {
      GByteArray* a = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(s));
      if (a && reinterpret_cast<const char*>(a->data) == raw.constData())
        return slice(s->bound_start, s->bound_end);
    }
    // Anything else: copy what the stream holds.
    GRef<GMimeStream> sink(g_mime_stream_mem_new());
    g_mime_stream_reset(s);
    g_mime_stream_write_to_stream(s, sink.get());
    g_mime_stream_reset(s);
    GByteArray* a = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(sink.get()));
    return a ? QByteArray(reinterpret_cast<const char*>(a->data), a->len) : QByteArray();
  }

  // Fills e (whose headers are already set) from the GMime object that
  // carries its content.
  void fill(Entity& e, GMimeObject* obj, int depth) {
    if (!obj) return;
    if (depth > kMaxDepth) {
      truncated = true;
      return;
    }
    if (GMIME_IS_MULTIPART(obj)) {
      GMimeMultipart* mp = GMIME_MULTIPART(obj);
      if (const char* p = g_mime_multipart_get_prologue(mp)) e.preamble = p;
      if (const char* p = g_mime_multipart_get_epilogue(mp)) e.epilogue = p;
      const int n = g_mime_multipart_get_count(mp);
      for (int i = 0; i < n; ++i) {
        GMimeObject* child = g_mime_multipart_get_part(mp, i);
        auto c = std::make_unique<Entity>();
        c->headers = headersOf(child);
        fill(*c, child, depth + 1);
        e.parts.push_back(std::move(c));
      }
    } else if (GMIME_IS_MESSAGE_PART(obj)) {
      GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(obj));
      if (inner) {
        auto m = std::make_unique<Entity>();
        m->isMessage = true;
        m->headers = headersOf(GMIME_OBJECT(inner));
        fill(*m, g_mime_message_get_mime_part(inner), depth + 1);
        e.enclosed = std::move(m);
      }
    } else if (GMIME_IS_PART(obj)) {
      e.body = leafBody(GMIME_PART(obj));
    }
  }
};

void collectWarning(gint64, GMimeParserWarning code, const gchar*, gpointer data) {
  auto* problem = static_cast<QString*>(data);
  if (!problem->isEmpty()) return;
  switch (code) {
    case GMIME_WARN_MALFORMED_MULTIPART:
    case GMIME_CRIT_MULTIPART_WITHOUT_BOUNDARY:
      *problem = QStringLiteral("The message is damaged: a multipart has no parts or no boundary.");
      break;
    case GMIME_WARN_TRUNCATED_MESSAGE:
      *problem = QStringLiteral("The message is damaged: it is truncated.");
      break;
    case GMIME_WARN_MALFORMED_MESSAGE:
    case GMIME_CRIT_PART_WITHOUT_HEADERS_OR_CONTENT:
      *problem = QStringLiteral("The message is damaged: its MIME structure is malformed.");
      break;
    case GMIME_CRIT_NESTING_OVERFLOW:
      *problem = QStringLiteral("The message is damaged: its parts are nested too deeply.");
      break;
    default:
      break;
  }
}

}  // namespace

// ---------------------------------------------------------------- Body

Body::Body(std::shared_ptr<MessageFile> file, qint64 start, qint64 size)
    : file_(std::move(file)), start_(start), size_(size) {}

const QByteArray& Body::bytes() const {
  if (file_) {
    bytes_ = file_->read(start_, size_);
    file_.reset();
  }
  return bytes_;
}

bool Body::readPieces(const std::function<void(QByteArrayView)>& take) const {
  if (file_) return file_->readPieces(start_, size_, take);
  // Pieces keep a decoder's own buffers small.
  constexpr qsizetype kPiece = 256 * 1024;
  const QByteArrayView all(bytes_);
  for (qsizetype at = 0; at < all.size(); at += kPiece) take(all.sliced(at, std::min(kPiece, all.size() - at)));
  return true;
}

// ---------------------------------------------------------------- Entity

const Header* Entity::find(const QByteArray& name) const {
  for (const Header& h : headers)
    if (h.name.compare(name, Qt::CaseInsensitive) == 0) return &h;
  return nullptr;
}

QByteArray Entity::value(const QByteArray& name) const {
  const Header* h = find(name);
  return h ? (h->raw.isNull() ? QByteArray("") : h->raw) : QByteArray();
}

void Entity::set(const QByteArray& name, const QByteArray& raw) {
  bool done = false;
  for (qsizetype i = 0; i < headers.size();) {
    if (headers[i].name.compare(name, Qt::CaseInsensitive) == 0) {
      if (!done) {
        headers[i].raw = raw;
        done = true;
        ++i;
      } else {
        headers.removeAt(i);
      }
    } else {
      ++i;
    }
  }
  if (!done) headers.append({name, raw});
}

void Entity::remove(const QByteArray& name) {
  headers.removeIf([&](const Header& h) { return h.name.compare(name, Qt::CaseInsensitive) == 0; });
}

QByteArray Entity::type() const {
  const QByteArray v = mimetext::unfold(value("Content-Type"));
  const QByteArray t = mimetext::splitAtFirstParameter(v).first.trimmed();
  if (t.isEmpty()) return "text";
  const qsizetype slash = t.indexOf('/');
  return (slash < 0 ? t : t.left(slash)).trimmed();
}

QByteArray Entity::subtype() const {
  const QByteArray v = mimetext::unfold(value("Content-Type"));
  const QByteArray t = mimetext::splitAtFirstParameter(v).first.trimmed();
  if (t.isEmpty()) return "plain";
  const qsizetype slash = t.indexOf('/');
  return slash < 0 ? QByteArray() : t.mid(slash + 1).trimmed();
}

QByteArray Entity::params() const {
  return mimetext::splitAtFirstParameter(value("Content-Type")).second;
}

bool Entity::isMultipart() const {
  return !parts.empty() || type().compare("multipart", Qt::CaseInsensitive) == 0;
}

void Entity::setContentType(const QByteArray& t, const QByteArray& s, const QByteArray& p) {
  QByteArray v = t + "/" + s;
  if (!p.trimmed().isEmpty()) v += "; " + p.trimmed();
  set("Content-Type", v);
}

int Entity::lineCount() const {
  if (!linesKnown_) {
    const QByteArray& body = this->body.bytes();
    lines_.clear();
    qsizetype start = 0;
    while (start < body.size()) {
      lines_.push_back(start);
      const qsizetype nl = body.indexOf('\n', start);
      if (nl < 0) break;
      start = nl + 1;
    }
    linesKnown_ = true;
  }
  return int(std::min<size_t>(lines_.size(), size_t(INT_MAX)));
}

QByteArray Entity::line(int index) const {
  if (index < 0 || index >= lineCount()) return {};
  const QByteArray& body = this->body.bytes();
  const qsizetype start = lines_[size_t(index)];
  qsizetype end = size_t(index) + 1 < lines_.size() ? lines_[size_t(index) + 1] : body.size();
  if (end > start && body[end - 1] == '\n') --end;
  if (end > start && body[end - 1] == '\r') --end;
  return body.mid(start, end - start);
}

QList<Header> parseHeaderBlock(const QByteArray& bytes, qsizetype from, qsizetype* bodyStart) {
  QList<Header> out;
  qsizetype pos = from;
  const qsizetype n = bytes.size();
  bool first = true;
  while (pos < n) {
    qsizetype nl = bytes.indexOf('\n', pos);
    const qsizetype next = nl < 0 ? n : nl + 1;
    qsizetype end = nl < 0 ? n : nl;
    if (end > pos && bytes[end - 1] == '\r') --end;
    if (end == pos) {  // the empty line ends the block
      pos = next;
      break;
    }
    const char c0 = bytes[pos];
    if (isWsp(c0) && !out.isEmpty()) {
      out.back().raw.append("\r\n").append(bytes.constData() + pos, end - pos);
      pos = next;
      first = false;
      continue;
    }
    const QByteArray line = QByteArray::fromRawData(bytes.constData() + pos, end - pos);
    if (first && line.startsWith("From ")) {  // an mbox separator line
      pos = next;
      first = false;
      continue;
    }
    const qsizetype colon = line.indexOf(':');
    if (!validFieldName(line, colon)) break;  // not a header: the body starts here
    Header h;
    h.name = line.left(colon).trimmed();
    qsizetype v = colon + 1;
    while (v < line.size() && isWsp(line[v])) ++v;
    h.raw = line.mid(v);
    out.append(h);
    pos = next;
    first = false;
  }
  if (bodyStart) *bodyStart = pos;
  return out;
}

// ---------------------------------------------------------------- engine

MessageEngine::MessageEngine() { clear(); }
MessageEngine::~MessageEngine() = default;

void MessageEngine::clear() {
  path_.clear();
  root_ = std::make_unique<Entity>();
  root_->isMessage = true;
  raw_.clear();
  pendingFile_.clear();
  pendingSize_ = 0;
  file_.reset();
  incomplete_ = false;
  hasRaw_ = false;
  modified_ = false;
  parsed_ = true;
  bodyStart_ = 0;
  parseProblem_.clear();
  path_.push_back({root_.get(), root_.get(), root_.get(), false});
}

bool MessageEngine::loadBytes(const QByteArray& raw, QString* problem) {
  clear();
  if (raw.isEmpty()) {
    if (problem) *problem = QStringLiteral("The message is empty.");
    return false;
  }
  raw_ = raw;
  hasRaw_ = true;
  root_->headers = parseHeaderBlock(raw_, 0, &bodyStart_);
  parsed_ = false;
  if (root_->headers.isEmpty()) {
    if (problem) *problem = QStringLiteral("This is not a mail message: it has no header lines.");
    return false;
  }
  return true;
}

namespace {

// True when the header block parsed from the start of head ends inside it:
// at an empty line, or at a complete line that is not a header.
bool headerBlockEndsIn(const QByteArray& head, qsizetype bodyStart) {
  if (bodyStart <= 0 || bodyStart > head.size()) return false;
  if (head[bodyStart - 1] == '\n' &&
      (head.mid(bodyStart - 2, 2) == "\n\n" || head.mid(bodyStart - 3, 3) == "\n\r\n"))
    return true;
  return bodyStart < head.size() && head.indexOf('\n', bodyStart) >= 0;
}

}  // namespace

MessageEngine::LoadResult MessageEngine::loadFile(const QString& path, QString* problem) {
  clear();
  QFile file(path);
  if (path.isEmpty()) {
    if (problem) *problem = QStringLiteral("No message file was named.");
    return LoadResult::FileError;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    if (problem) *problem = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
    return LoadResult::FileError;
  }
  // Listing a folder only needs the header block: of a large file, read
  // that alone (a long one in growing steps); the bodies are read from the
  // file where they are used.
  constexpr qint64 kLazyAbove = 16 * 1024;
  const qint64 size = file.size();
  QByteArray head;
  if (size > kLazyAbove) {
    for (qint64 step = 16 * 1024; head.size() < size; step *= 2) {
      const QByteArray more = file.read(step);
      if (more.isEmpty()) break;
      head += more;
      qsizetype bodyStart = 0;
      QList<Header> headers = parseHeaderBlock(head, 0, &bodyStart);
      if (headers.isEmpty()) break;
      if (head.size() < size && headerBlockEndsIn(head, bodyStart)) {
        raw_ = head;
        hasRaw_ = true;
        root_->headers = std::move(headers);
        bodyStart_ = bodyStart;
        parsed_ = false;
        pendingFile_ = path;
        pendingSize_ = size;
        return LoadResult::Ok;
      }
    }
  }
  const QByteArray bytes = head + file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (problem) *problem = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    return LoadResult::FileError;
  }
  if (bytes.isEmpty()) {
    if (problem) *problem = QStringLiteral("The message file %1 is empty.").arg(path);
    return LoadResult::FileError;
  }
  return loadBytes(bytes, problem) ? LoadResult::Ok : LoadResult::NotAMessage;
}

QString MessageEngine::takeParseProblem() {
  if (parseProblem_.isEmpty() && file_) parseProblem_ = file_->takeProblem();
  return std::exchange(parseProblem_, QString());
}

bool MessageEngine::ensureComplete() {
  if (pendingFile_.isEmpty()) return !incomplete_;
  const QString path = std::exchange(pendingFile_, QString());
  QString why;
  std::shared_ptr<MessageFile> file = MessageFile::open(path, &why);
  if (file && (file->size() != pendingSize_ || file->read(0, bodyStart_) != raw_.left(bodyStart_))) {
    why = QStringLiteral("it changed since its header was read");
    file.reset();
  }
  if (!file) {
    // The file went away or changed since its header was read.
    incomplete_ = true;
    if (parseProblem_.isEmpty())
      parseProblem_ = QStringLiteral("The message file %1 could not be read again: %2").arg(path, why);
    return false;
  }
  file_ = std::move(file);
  return true;
}

QByteArray MessageEngine::wholeRaw() {
  if (!ensureComplete() || !file_) return raw_;
  QByteArray all = file_->read(0, file_->size());
  if (all.size() != file_->size()) {
    incomplete_ = true;
    if (parseProblem_.isEmpty()) parseProblem_ = file_->takeProblem();
  }
  return all;
}

Body MessageEngine::bodyAfterHeaders() const {
  if (file_) return Body(file_, bodyStart_, std::max<qint64>(0, file_->size() - bodyStart_));
  const qsizetype start = std::min(bodyStart_, raw_.size());
  return QByteArray::fromRawData(raw_.constData() + start, raw_.size() - start);
}

void MessageEngine::ensureParsed() {
  if (parsed_) return;
  parsed_ = true;
  ensureComplete();
  Entity& r = *root_;
  const QByteArray type = r.type().toLower();
  if (type != "multipart" && !(type == "message" && r.subtype().toLower() == "rfc822")) {
    // A single part: the body is everything after the header block.
    r.body = bodyAfterHeaders();
    r.bodyChanged();
    return;
  }
  ensureGMime();
  // A large file is parsed from the file itself, so it is never in memory
  // whole; loaded bytes are parsed where they lie.
  std::optional<BorrowedBytes> memory;
  GMimeStream* source = nullptr;
  if (file_) {
    source = file_->stream();
    g_mime_stream_seek(source, 0, GMIME_STREAM_SEEK_SET);
  } else {
    memory.emplace(raw_);
    source = memory->stream();
  }
  GRef<GMimeParser> parser(g_mime_parser_new_with_stream(source));
  g_mime_parser_set_persist_stream(parser.get(), TRUE);
  GMimeParserOptions* options = g_mime_parser_options_new();
  g_mime_parser_options_set_warning_callback(options, collectWarning, &parseProblem_);
  GRef<GMimeMessage> msg(g_mime_parser_construct_message(parser.get(), options));
  Converter conv{raw_, file_};
  if (msg) {
    GMimeObject* body = g_mime_message_get_mime_part(msg.get());
    if (body && (GMIME_IS_MULTIPART(body) || GMIME_IS_MESSAGE_PART(body))) {
      conv.fill(r, body, 0);
    } else if (body && GMIME_IS_PART(body)) {
      r.body = conv.leafBody(GMIME_PART(body));
    }
  } else if (parseProblem_.isEmpty()) {
    parseProblem_ = QStringLiteral("The message is damaged: its MIME structure cannot be read.");
  }
  msg.reset();
  parser.reset();
  g_mime_parser_options_free(options);
  if (conv.truncated && parseProblem_.isEmpty())
    parseProblem_ = QStringLiteral("The message is damaged: its parts are nested too deeply.");
  if (r.parts.empty() && r.body.isEmpty()) {
    // No parts (a single enclosed message, or nothing usable): the body
    // stays readable as stored.
    r.body = bodyAfterHeaders();
  }
  r.bodyChanged();
}

Entity* MessageEngine::part() { return path_.back().part; }

Entity* MessageEngine::structure() {
  ensureParsed();
  return path_.back().structure;
}

Entity* MessageEngine::message() {
  for (auto it = path_.rbegin(); it != path_.rend(); ++it)
    if (it->message) return it->message;
  return root_.get();
}

bool MessageEngine::frameIsEnclosedMessage() const {
  const Frame& f = path_.back();
  return f.structure && f.part && f.structure != f.part && f.structure == f.part->enclosed.get();
}

bool MessageEngine::frameIsBodyOf() const { return path_.back().bodyOf; }

int MessageEngine::partCount() {
  Entity* s = structure();
  if (!s || path_.back().bodyOf) return 0;
  return int(std::min<size_t>(s->parts.size(), size_t(std::numeric_limits<int>::max())));
}

bool MessageEngine::enter(int index, QString* problem) {
  Entity* s = structure();
  Frame f;
  bool ok = false;
  if (!s) {
    if (problem) *problem = QStringLiteral("There is no part to enter here.");
  } else if (!path_.back().bodyOf && !s->parts.empty()) {
    if (index >= 0 && size_t(index) < s->parts.size()) {
      Entity* c = s->parts[size_t(index)].get();
      f.part = c;
      if (c->enclosed) {
        f.structure = c->enclosed.get();
        f.message = c->enclosed.get();
      } else {
        f.structure = c;
      }
      ok = true;
    } else if (problem) {
      *problem = QStringLiteral("There is no part %1; this entity has %2 parts.")
                     .arg(index)
                     .arg(s->parts.size());
    }
  } else if (index == 0 && !path_.back().bodyOf && s->parts.empty() && s->enclosed) {
    // The one part of a message/rfc822 entity is the message inside.
    f.part = s;
    f.structure = s->enclosed.get();
    f.message = s->enclosed.get();
    ok = true;
  } else if (index == 0 && !s->isMultipart()) {
    // Part 0 of a single-part entity is its own body.
    f.part = s;
    f.structure = s;
    f.bodyOf = true;
    ok = true;
  } else if (problem) {
    *problem = QStringLiteral("There is no part %1: this entity has no parts.").arg(index);
  }
  // A failed enter still pushes a frame, so the caller's "return" that
  // follows lands where it started.
  path_.push_back(f);
  return ok;
}

void MessageEngine::leave() {
  if (path_.size() > 1) path_.pop_back();
}

void MessageEngine::moveBodyIntoPart(Entity* s) {
  if (!s || !s->parts.empty() || s->body.isEmpty()) return;
  auto first = std::make_unique<Entity>();
  for (const Header& h : s->headers)
    if (h.name.toLower().startsWith("content-") && h.name.compare("Content-Type", Qt::CaseInsensitive) != 0)
      first->headers.append(h);
  const Header* type = s->find("Content-Type");
  if (type && s->type().compare("multipart", Qt::CaseInsensitive) != 0) first->headers.prepend(*type);
  first->body = s->body;
  s->body.clear();
  s->bodyChanged();
  s->remove("Content-Transfer-Encoding");
  s->remove("Content-Disposition");
  s->parts.push_back(std::move(first));
  modified_ = true;
}

int MessageEngine::addPart(int index) {
  Entity* s = structure();
  if (!s) return -1;
  modified_ = true;
  if (!s->isMultipart()) {
    moveBodyIntoPart(s);
    s->setContentType("multipart", "mixed", "boundary=\"=_" + randomToken() + "\"");
  }
  auto p = std::make_unique<Entity>();
  if (index < 0 || size_t(index) >= s->parts.size()) {
    s->parts.push_back(std::move(p));
    return int(s->parts.size() - 1);
  }
  s->parts.insert(s->parts.begin() + index, std::move(p));
  return index;
}

namespace {
QByteArray headerLine(const Header& h) {
  // Values set here come unfolded; long ones are folded at blanks.
  if (!h.raw.contains('\n') && h.name.size() + h.raw.size() + 2 > 78)
    return mimetext::foldHeaderLine(h.name, h.raw);
  return h.name + ": " + h.raw + "\r\n";
}
}  // namespace

namespace {

void appendHeaders(QByteArray& out, const QList<Header>& headers, bool skipBcc) {
  for (const Header& h : headers)
    if (!(skipBcc && h.name.compare("Bcc", Qt::CaseInsensitive) == 0)) out += headerLine(h);
  out += "\r\n";
}

// True when a line of bytes starts with marker.
bool startsALine(const QByteArray& bytes, const QByteArray& marker) {
  for (qsizetype pos = bytes.indexOf(marker); pos >= 0; pos = bytes.indexOf(marker, pos + 1))
    if (pos == 0 || bytes[pos - 1] == '\n') return true;
  return false;
}

bool isLeaf(const Entity& e) { return !e.isMultipart() && !e.enclosed; }

void appendEntity(QByteArray& out, const Entity& e, bool skipBcc);

QByteArray entityBytes(const Entity& e) {
  QByteArray out;
  appendEntity(out, e, false);
  return out;
}

// Writes the entity onto the end of out. A leaf part's body goes straight
// into the one buffer, so a large attachment is not copied on the way.
void appendEntity(QByteArray& out, const Entity& e, bool skipBcc) {
  if (!e.isMultipart()) {
    appendHeaders(out, e.headers, skipBcc);
    if (e.enclosed)
      appendEntity(out, *e.enclosed, false);
    else
      out += e.body.bytes();
    return;
  }
  // Nested containers are written out first to look for the boundary in
  // them; leaves are looked at where they are.
  std::vector<QByteArray> nested(e.parts.size());
  std::vector<QByteArray> leafHeaders(e.parts.size());
  for (size_t i = 0; i < e.parts.size(); ++i) {
    if (isLeaf(*e.parts[i])) {
      appendHeaders(leafHeaders[i], e.parts[i]->headers, false);
    } else {
      nested[i] = entityBytes(*e.parts[i]);
    }
  }
  auto clashes = [&](const QByteArray& b) {
    if (b.isEmpty()) return true;
    const QByteArray marker = "--" + b;
    for (size_t i = 0; i < e.parts.size(); ++i) {
      const bool hit = isLeaf(*e.parts[i])
                           ? startsALine(leafHeaders[i], marker) || startsALine(e.parts[i]->body.bytes(), marker)
                           : startsALine(nested[i], marker);
      if (hit) return true;
    }
    return e.preamble.contains(marker) || e.epilogue.contains(marker);
  };
  QByteArray boundary = mimetext::parameter(mimetext::unfold(e.params()), "boundary");
  if (!clashes(boundary)) {
    appendHeaders(out, e.headers, skipBcc);
  } else {
    do boundary = "=_" + randomToken(); while (clashes(boundary));
    // The header block carries the boundary actually used.
    Entity copyHeaders;
    copyHeaders.headers = e.headers;
    copyHeaders.setContentType(e.type(), e.subtype(),
                               mimetext::withParameter(mimetext::unfold(e.params()), "boundary", boundary));
    appendHeaders(out, copyHeaders.headers, skipBcc);
  }
  if (!e.preamble.isEmpty()) out += e.preamble + "\r\n";
  for (size_t i = 0; i < e.parts.size(); ++i) {
    // The line end before each delimiter belongs to the delimiter.
    out += "--" + boundary + "\r\n";
    if (isLeaf(*e.parts[i])) {
      out += leafHeaders[i];
      out += e.parts[i]->body.bytes();
    } else {
      out += nested[i];
    }
    out += "\r\n";
  }
  out += "--" + boundary + "--\r\n";
  if (!e.epilogue.isEmpty()) out += e.epilogue;
}

}  // namespace

QByteArray MessageEngine::serializeEntity(const Entity& e, bool skipBcc) {
  QByteArray out;
  appendEntity(out, e, skipBcc);
  return out;
}

QByteArray MessageEngine::serialize(bool forTransport) {
  if (isPristine()) {
    const QByteArray all = wholeRaw();
    if (!forTransport) return all;
    // Drop the Bcc field from the header block, keep every other byte.
    QByteArray out;
    out.reserve(all.size());
    qsizetype pos = 0;
    bool skipping = false;
    while (pos < all.size()) {
      const qsizetype nl = all.indexOf('\n', pos);
      const qsizetype next = nl < 0 ? all.size() : nl + 1;
      const QByteArray line = QByteArray::fromRawData(all.constData() + pos, next - pos);
      if (line == "\r\n" || line == "\n" || pos >= bodyStart_) break;
      if (!isWsp(line[0])) skipping = line.startsWith("Bcc:") || line.toLower().startsWith("bcc:");
      if (!skipping) out += line;
      pos = next;
    }
    out += QByteArray::fromRawData(all.constData() + pos, all.size() - pos);
    return mimetext::toCrlf(out);
  }
  ensureParsed();
  return mimetext::toCrlf(serializeEntity(*root_, forTransport));
}

void MessageEngine::completeHeaders(const QString& messageToken, const QString& sender) {
  if (isPristine()) return;
  Entity& r = *root_;
  if (!r.find("From")) {
    r.set("From", sender.trimmed().isEmpty() ? QByteArray("undisclosed-sender:;")
                                             : mimetext::encodeAddressList(sender));
    modified_ = true;
  }
  if (!r.find("Date")) {
    r.set("Date", rfc2822Date(QDateTime::currentDateTime()));
    modified_ = true;
  }
  if (!r.find("Message-ID")) {
    QByteArray token;
    for (QChar c : messageToken) {
      const char16_t u = c.unicode();
      if (u < 127 && (QChar(u).isLetterOrNumber() || QByteArray("!#$%&'*+-/=?^_`{|}~.").contains(char(u))))
        token.append(char(u));
    }
    if (token.isEmpty()) token = "tovelmail";
    QByteArray domain = "tovelmail.invalid";
    const QList<QString> from = mimetext::addresses(mimetext::decodeHeader(r.value("From")));
    if (!from.isEmpty()) {
      const QString addr = from.first();
      const qsizetype at = addr.lastIndexOf(QLatin1Char('@'));
      const QByteArray d = at >= 0 ? addr.mid(at + 1).toLatin1() : QByteArray();
      bool ok = !d.isEmpty();
      for (char c : d)
        if (!(isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-')) ok = false;
      if (ok) domain = d;
    }
    r.set("Message-ID", "<" + token + "." + randomToken() + "@" + domain + ">");
    modified_ = true;
  }
  if (!r.find("MIME-Version")) {
    r.set("MIME-Version", "1.0");
    modified_ = true;
  }
}

MessageEngine::ContentPlan MessageEngine::planContent() {
  ContentPlan p;
  Entity* s = structure();
  const Frame& f = path_.back();
  if (!s) {
    p.problem = QStringLiteral("There is no part here to save.");
    return p;
  }
  p.hasPart = true;
  if (!f.bodyOf && (frameIsEnclosedMessage() || (s->isMultipart() && path_.size() > 1))) {
    // A whole enclosed message or a nested multipart is saved as it stands.
    p.whole = mimetext::toCrlf(serializeEntity(*s));
    return p;
  }
  if (!f.bodyOf && s->isMultipart()) {
    p.whole = serialize(false);
    return p;
  }
  const Entity* fields = f.part ? f.part : s;
  p.encoding = codec::fromName(
      QString::fromLatin1(mimetext::unfold(fields->value("Content-Transfer-Encoding"))));
  // BinHex is usually sent as its own content type over 7bit.
  if (p.encoding == codec::Encoding::Identity && fields->type().toLower() == "application" &&
      fields->subtype().toLower() == "mac-binhex40")
    p.encoding = codec::Encoding::BinHex;
  p.charset = mimetext::parameter(mimetext::unfold(fields->params()), "charset");
  p.leaf = s;
  return p;
}

QString MessageEngine::decodeLeaf(const ContentPlan& p, const std::function<void(QByteArrayView)>& take) {
  codec::StreamDecoder decoder(p.encoding);
  const bool readAll = p.leaf->body.readPieces([&](QByteArrayView piece) { take(decoder.step(piece)); });
  take(decoder.finish());
  QString problem = decoder.problem();
  if (!readAll && file_) {
    const QString shortRead = file_->takeProblem();
    problem = problem.isEmpty() ? shortRead : problem + QLatin1Char(' ') + shortRead;
  }
  return problem;
}

MessageEngine::Content MessageEngine::content() {
  ContentPlan p = planContent();
  Content c;
  c.problem = p.problem;
  if (!p.leaf) {
    c.bytes = std::move(p.whole);
    return c;
  }
  c.charset = p.charset;
  c.bytes.reserve(qsizetype(p.leaf->body.size()));
  c.problem = decodeLeaf(p, [&c](QByteArrayView bytes) { c.bytes.append(bytes); });
  c.bytes.squeeze();
  return c;
}

MessageEngine::Saved MessageEngine::saveContent(const QString& path) {
  ContentPlan p = planContent();
  Saved saved;
  saved.hasPart = p.hasPart;
  saved.problem = p.problem;
  if (!p.hasPart) return saved;
  store::WriteResult r;
  if (!p.leaf) {
    r = store::writeFileSafely(path, p.whole, true);
  } else {
    r = store::writeFileStreamed(path, [&](QIODevice& out) {
      QString writeError;
      saved.problem = decodeLeaf(p, [&](QByteArrayView bytes) {
        if (writeError.isEmpty() && !bytes.isEmpty() && out.write(bytes.data(), bytes.size()) != bytes.size())
          writeError = out.errorString();
      });
      return writeError;
    });
  }
  saved.written = r.ok;
  saved.writeError = r.error;
  return saved;
}

}  // namespace maillib
