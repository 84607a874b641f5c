#include "maillib/messageengine.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <functional>
#include <utility>

#include "maillib/messageengine_common.h"
#include "maillib/mimetext.h"

namespace maillib {

using engine_detail::isWsp;
using engine_detail::CrlfPieces;
using engine_detail::randomToken;

namespace {

QByteArray rfc2822Date(const QDateTime& when) {
  const QLocale c = QLocale::c();
  const int offset = when.offsetFromUtc() / 60;
  const QByteArray zone = (offset < 0 ? "-" : "+") +
                          QByteArray::number(qAbs(offset) / 60).rightJustified(2, '0') +
                          QByteArray::number(qAbs(offset) % 60).rightJustified(2, '0');
  return c.toString(when, QStringLiteral("ddd, d MMM yyyy hh:mm:ss ")).toLatin1() + zone;
}

QByteArray headerLine(const Header& h) {
  // Values set here come unfolded; long ones are folded at blanks.
  if (!h.raw.contains('\n') && h.name.size() + h.raw.size() + 2 > 78)
    return mimetext::foldHeaderLine(h.name, h.raw);
  return h.name + ": " + h.raw + "\r\n";
}

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

using Sink = std::function<void(QByteArrayView)>;

void writeEntity(const Sink& out, const Entity& e, bool skipBcc);

QByteArray entityBytes(const Entity& e, bool skipBcc = false) {
  QByteArray out;
  writeEntity([&out](QByteArrayView piece) { out.append(piece); }, e, skipBcc);
  return out;
}

void writeHeaders(const Sink& out, const QList<Header>& headers, bool skipBcc) {
  QByteArray block;
  appendHeaders(block, headers, skipBcc);
  out(block);
}

// Hands the entity to out in pieces. A leaf part's body is handed on where
// it lies, so a large attachment is not copied on the way.
void writeEntity(const Sink& out, const Entity& e, bool skipBcc) {
  if (!e.isMultipart()) {
    writeHeaders(out, e.headers, skipBcc);
    if (e.enclosed)
      writeEntity(out, *e.enclosed, false);
    else
      out(e.body.bytes());
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
    writeHeaders(out, e.headers, skipBcc);
  } else {
    do boundary = "=_" + randomToken(); while (clashes(boundary));
    // The header block carries the boundary actually used.
    Entity copyHeaders;
    copyHeaders.headers = e.headers;
    copyHeaders.setContentType(e.type(), e.subtype(),
                               mimetext::withParameter(mimetext::unfold(e.params()), "boundary", boundary));
    writeHeaders(out, copyHeaders.headers, skipBcc);
  }
  if (!e.preamble.isEmpty()) out(e.preamble + "\r\n");
  for (size_t i = 0; i < e.parts.size(); ++i) {
    // The line end before each delimiter belongs to the delimiter.
    out("--" + boundary + "\r\n");
    if (isLeaf(*e.parts[i])) {
      out(leafHeaders[i]);
      out(e.parts[i]->body.bytes());
    } else {
      out(nested[i]);
    }
    out("\r\n");
  }
  out("--" + boundary + "--\r\n");
  if (!e.epilogue.isEmpty()) out(e.epilogue);
}

}  // namespace

QByteArray MessageEngine::serializeEntity(const Entity& e, bool skipBcc) { return entityBytes(e, skipBcc); }

QByteArray MessageEngine::pristineBytes(bool forTransport) {
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

QByteArray MessageEngine::serialize(bool forTransport) {
  if (isPristine()) return pristineBytes(forTransport);
  QByteArray out;
  serializeTo(forTransport, [&out](QByteArrayView piece) { out.append(piece); });
  return out;
}

void MessageEngine::serializeTo(bool forTransport, const std::function<void(QByteArrayView)>& take) {
  if (isPristine()) {
    take(pristineBytes(forTransport));
    return;
  }
  ensureParsed();
  CrlfPieces crlf(take);
  writeEntity(std::ref(crlf), *root_, forTransport);
  crlf.finish();
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

}  // namespace maillib
