#include "maillib/messageengine.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <optional>

#include "maillib/gmimeinit.h"
#include "maillib/gmimeref.h"
#include "maillib/messagefile.h"
#include "maillib/messageengine_common.h"

namespace maillib {

using engine_detail::isWsp;

namespace {

// Deeper structures are cut here; what lies below stays unreadable rather
// than exhausting the stack.
constexpr int kMaxDepth = 200;

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

namespace {

// One line of a header block: where its text ends (before CR LF or LF) and
// where the next line starts.
struct Line {
  qsizetype end;
  qsizetype next;
};

Line lineAt(const char* data, qsizetype size, qsizetype pos) {
  const auto* nl = static_cast<const char*>(std::memchr(data + pos, '\n', size_t(size - pos)));
  const qsizetype next = nl ? nl - data + 1 : size;
  qsizetype end = nl ? next - 1 : size;
  if (end > pos && data[end - 1] == '\r') --end;
  return {end, next};
}

// The name as written; the usual ones share one copy, so listing a
// folder does not allocate each of them again for every message.
QByteArray fieldName(QByteArrayView written) {
  static const QByteArray kCommon[] = {
      "Received", "From", "To", "Cc", "Subject", "Date", "Message-ID", "MIME-Version", "Content-Type",
      "Content-Transfer-Encoding", "Return-Path", "Reply-To", "Delivered-To", "X-UIDL", "Status"};
  const QByteArrayView name = written.trimmed();
  for (const QByteArray& common : kCommon)
    if (common.size() == name.size() && common == name) return common;
  return name.toByteArray();
}

}  // namespace

QList<Header> parseHeaderBlock(const QByteArray& bytes, qsizetype from, qsizetype* bodyStart) {
  QList<Header> out;
  out.reserve(24);
  const char* const data = bytes.constData();
  const qsizetype n = bytes.size();
  qsizetype pos = from;
  bool first = true;
  while (pos < n) {
    const Line line = lineAt(data, n, pos);
    if (line.end == pos) {  // the empty line ends the block
      pos = line.next;
      break;
    }
    const QByteArray text = QByteArray::fromRawData(data + pos, line.end - pos);
    if (first && text.startsWith("From ")) {  // an mbox separator line
      pos = line.next;
      first = false;
      continue;
    }
    first = false;
    const qsizetype colon = text.indexOf(':');
    if (!validFieldName(text, colon)) break;  // not a header: the body starts here
    qsizetype v = colon + 1;
    while (v < text.size() && isWsp(text[v])) ++v;
    // The lines folded into this field follow it, each starting with a blank;
    // the value keeps them, joined by CR LF, built in one piece.
    qsizetype valueSize = text.size() - v;
    qsizetype after = line.next;
    while (after < n && isWsp(data[after])) {
      const Line fold = lineAt(data, n, after);
      valueSize += 2 + (fold.end - after);
      after = fold.next;
    }
    Header h;
    h.name = fieldName(QByteArrayView(data + pos, colon));
    h.raw = QByteArray(valueSize, Qt::Uninitialized);
    char* to = h.raw.data();
    to = std::copy(data + pos + v, data + line.end, to);
    for (qsizetype at = line.next; at < after;) {
      const Line fold = lineAt(data, n, at);
      *to++ = '\r';
      *to++ = '\n';
      to = std::copy(data + at, data + fold.end, to);
      at = fold.next;
    }
    out.append(std::move(h));
    pos = after;
  }
  if (bodyStart) *bodyStart = pos;
  return out;
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
  // Reads go straight into the message's own bytes.
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
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
  // The size known, one read mostly gets it all; only a short read looks
  // for more.
  QByteArray bytes = head;
  if (size > head.size()) bytes += file.read(size - head.size());
  if (bytes.size() < size || size == 0) bytes += file.readAll();
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

}  // namespace maillib
