#include "maillib/messageengine.h"

#include <algorithm>
#include <limits>

#include "maillib/messageengine_common.h"
#include "maillib/mimetext.h"

namespace maillib {

using engine_detail::randomToken;

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

}  // namespace maillib
