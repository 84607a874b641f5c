#include "maillib/mimetext.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cstring>

#include "maillib/addresses.h"
#include "maillib/charsets.h"
#include "maillib/gmimeinit.h"
#include "maillib/parameters.h"

namespace maillib::mimetext {

namespace {

bool isWsp(char c) { return c == ' ' || c == '\t'; }

QByteArray lowerTrim(const QByteArray& s) {
  QByteArray t = s.trimmed().toLower();
  if (t.size() >= 2 && t.startsWith('"') && t.endsWith('"'))
    t = t.mid(1, t.size() - 2);
  return t;
}

bool isLatin1Charset(const QByteArray& cs) { return charsets::readsByteForByte(cs); }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The next position of one byte at or after a position, found with memchr
// and remembered: asked with positions that never go back, a whole header
// costs one scan, however many encoded words fail to close.
class NextByte {
 public:
  NextByte(const QByteArray& s, char c) : s_(s), c_(c) {}
  qsizetype at(qsizetype from) {
    if (from >= s_.size()) return s_.size();
    if (found_ < from) {
      const void* hit = std::memchr(s_.constData() + from, c_, size_t(s_.size() - from));
      found_ = hit ? static_cast<const char*>(hit) - s_.constData() : s_.size();
    }
    return found_;
  }

 private:
  const QByteArray& s_;
  char c_;
  qsizetype found_ = -1;
};

// Where encoded words are looked for in one header value.
struct WordScan {
  explicit WordScan(const QByteArray& s)
      : s(s), charsetEnd(s, '?'), textEnd(s, '?'), space(s, ' '), tab(s, '\t') {}
  const QByteArray& s;
  NextByte charsetEnd, textEnd, space, tab;
};

// One encoded word "=?cs?X?text?=" starting at pos; on success the decoded
// characters and the index just after the word. The text of a word holds
// no '?' and no blank (RFC 2047), so its end is the first '?' after it.
bool decodeWord(WordScan& scan, qsizetype pos, QString* out, qsizetype* end) {
  const QByteArray& s = scan.s;
  if (pos + 1 >= s.size() || s[pos] != '=' || s[pos + 1] != '?') return false;
  const qsizetype q1 = scan.charsetEnd.at(pos + 2);
  if (q1 + 2 >= s.size() || s[q1 + 2] != '?') return false;
  const char enc = s[q1 + 1];
  const qsizetype q3 = scan.textEnd.at(q1 + 3);
  if (q3 + 1 >= s.size() || s[q3 + 1] != '=') return false;
  if (std::min(scan.space.at(q1 + 3), scan.tab.at(q1 + 3)) < q3) return false;
  QByteArray charset = s.mid(pos + 2, q1 - pos - 2);
  if (charset.isEmpty() || charset.contains(' ')) return false;
  const qsizetype star = charset.indexOf('*');  // RFC 2231 language suffix
  if (star >= 0) charset.truncate(star);
  const QByteArray text = s.mid(q1 + 3, q3 - q1 - 3);
  QByteArray bytes;
  if (enc == 'B' || enc == 'b') {
    auto r = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!r) return false;
    bytes = *r;
  } else if (enc == 'Q' || enc == 'q') {
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '_') {
        bytes.append(' ');
      } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                 hexValue(text[i + 2]) >= 0) {
        bytes.append(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
        i += 2;
      } else {
        bytes.append(c);
      }
    }
  } else {
    return false;
  }
  *out = bytesToText(bytes, charset);
  *end = q3 + 2;
  return true;
}

QByteArray encodedWords(const QString& text, bool alwaysUtf8 = false) {
  // Every character fits in Latin-1: keep the bytes exactly as iso-8859-1.
  bool latin1 = !alwaysUtf8;
  for (QChar c : text)
    if (c.unicode() > 0xFF) { latin1 = false; break; }
  const QByteArray prefix = latin1 ? "=?iso-8859-1?B?" : "=?utf-8?B?";
  QList<QByteArray> words;
  QByteArray chunk;
  const qsizetype maxBytes = latin1 ? 39 : 36;  // words of at most 69 characters
  auto flush = [&] {
    if (!chunk.isEmpty()) words.append(prefix + chunk.toBase64() + "?=");
    chunk.clear();
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    QByteArray piece;
    if (latin1) {
      piece = QByteArray(1, char(text[i].unicode()));
    } else {
      qsizetype n = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
      piece = text.mid(i, n).toUtf8();
      i += n - 1;
    }
    if (chunk.size() + piece.size() > maxBytes) flush();
    chunk.append(piece);
  }
  flush();
  return words.join("\r\n ");
}

}  // namespace

bool needsEncoding(const QString& text) {
  for (QChar c : text)
    if (c.unicode() > 0x7E || (c.unicode() < 0x20 && c != QLatin1Char('\t'))) return true;
  return text.contains(QLatin1String("=?"));
}

QByteArray encodeWords(const QString& text) { return encodedWords(text); }

bool isAscii(const QByteArray& bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) > 0x7F) return false;
  return true;
}

bool isUtf8(const QByteArray& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  for (qsizetype i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c < 0x80) { ++i; continue; }
    int len = 0;
    unsigned min = 0;
    unsigned cp = 0;
    if ((c & 0xE0) == 0xC0) { len = 2; min = 0x80; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { len = 3; min = 0x800; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { len = 4; min = 0x10000; cp = c & 0x07; }
    else return false;
    if (i + len > n) return false;
    for (int k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

QString rawToText(const QByteArray& bytes) {
  if (isAscii(bytes)) return QString::fromLatin1(bytes);
  return isUtf8(bytes) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

bool readsAlikeLineByLine(const QByteArray& bytes, const QByteArray& charsetIn) {
  const QByteArray cs = lowerTrim(charsetIn);
  if (isLatin1Charset(cs) || isAscii(bytes)) return true;
  return (cs == "utf-8" || cs == "utf8") && isUtf8(bytes);
}

QString bytesToText(const QByteArray& bytes, const QByteArray& charsetIn) {
  const QByteArray cs = lowerTrim(charsetIn);
  if (isLatin1Charset(cs) || isAscii(bytes)) return QString::fromLatin1(bytes);
  if (cs == "utf-8" || cs == "utf8")
    return isUtf8(bytes) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
  // A charset not known here reads byte for byte.
  std::optional<QString> text = charsets::decode(bytes, cs);
  return text ? *std::move(text) : QString::fromLatin1(bytes);
}

QByteArray unfold(const QByteArray& raw) {
  // Most fields are on one line: then nothing is copied.
  if (!raw.isEmpty() && !raw.contains('\n') && !raw.contains('\r'))
    return raw.trimmed();
  QByteArray out;
  out.reserve(raw.size());
  const char* at = raw.constData();
  const char* const end = at + raw.size();
  while (at < end) {
    const char* stop = at;
    while (stop < end && *stop != '\r' && *stop != '\n')
      ++stop;
    out.append(at, stop - at);
    // A fold keeps the whitespace after it.
    for (at = stop; at < end && (*at == '\r' || *at == '\n');)
      ++at;
  }
  return out.trimmed();
}

QString decodeHeader(const QByteArray& raw) {
  const QByteArray s = unfold(raw);
  if (!s.contains("=?")) return rawToText(s);
  QString out;
  QByteArray pending;  // undecoded bytes since the last word
  bool lastWasWord = false;
  WordScan scan(s);
  qsizetype i = 0;
  while (i < s.size()) {
    QString word;
    qsizetype end = 0;
    if (s[i] == '=' && decodeWord(scan, i, &word, &end)) {
      // Whitespace between two encoded words is not part of the text.
      bool onlySpace = true;
      for (char c : pending)
        if (!isWsp(c)) { onlySpace = false; break; }
      if (!(lastWasWord && onlySpace)) out += rawToText(pending);
      pending.clear();
      out += word;
      lastWasWord = true;
      i = end;
      continue;
    }
    pending.append(s[i]);
    ++i;
  }
  out += rawToText(pending);
  return out;
}

QByteArray encodeText(const QString& text, bool alwaysUtf8) {
  if (!needsEncoding(text)) return text.toLatin1();
  // Keep leading plain ASCII words readable; encode from the first word that
  // needs it to the end.
  const QStringList wordsIn = text.split(QLatin1Char(' '));
  qsizetype first = 0;
  while (first < wordsIn.size() && !needsEncoding(wordsIn[first])) ++first;
  QByteArray out;
  for (qsizetype k = 0; k < first; ++k) out += wordsIn[k].toLatin1() + ' ';
  out += encodedWords(QStringList(wordsIn.mid(first)).join(QLatin1Char(' ')), alwaysUtf8);
  return out;
}

QByteArray encodeParameterField(const QString& value) {
  if (!needsEncoding(value)) return value.toLatin1();
  const auto split = splitAtFirstParameter(value.toUtf8());
  QByteArray out = split.first.trimmed();
  // Walk "name=value" items; values are taken literally (backslashes in
  // paths are not escapes here).
  QList<QByteArray> items;
  QByteArray cur;
  bool quoted = false;
  for (char c : split.second) {
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) {
      items.append(cur);
      cur.clear();
      continue;
    }
    cur.append(c);
  }
  items.append(cur);
  for (QByteArray item : items) {
    item = item.trimmed();
    if (item.isEmpty()) continue;
    const qsizetype eq = item.indexOf('=');
    if (eq < 0) {
      out += "; " + item;
      continue;
    }
    const QByteArray name = item.left(eq).trimmed();
    QByteArray v = item.mid(eq + 1).trimmed();
    if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"')) v = v.mid(1, v.size() - 2);
    if (isAscii(v)) {
      out += "; " + name + "=\"" + v + "\"";
      continue;
    }
    QByteArray pct;
    for (char c : v) {
      const auto u = static_cast<unsigned char>(c);
      if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
          u == '.' || u == '-' || u == '_' || u == '!' || u == '~')
        pct.append(c);
      else
        pct.append('%').append(QByteArray::number(u, 16).toUpper().rightJustified(2, '0'));
    }
    out += "; " + name + "*=utf-8''" + pct;
  }
  return out;
}

QByteArray foldHeaderLine(const QByteArray& name, const QByteArray& value) {
  QByteArray line = name + ": " + value;
  // Values that already carry folds keep them.
  QByteArray out;
  const QList<QByteArray> physical = toCrlf(line).split('\n');
  for (QByteArray l : physical) {
    if (l.endsWith('\r')) l.chop(1);
    if (l.isEmpty() && !out.isEmpty()) continue;
    // The rest of the line starts at `at`; it is never copied, so a long
    // value folds in one pass.
    qsizetype at = 0;
    while (l.size() - at > 78) {
      qsizetype cut = -1;
      for (qsizetype k = 76; k > name.size() + 2; --k)
        if (isWsp(l[at + k])) { cut = k; break; }
      if (cut < 0) {
        for (qsizetype k = 77; at + k < l.size(); ++k)
          if (isWsp(l[at + k])) { cut = k; break; }
      }
      if (cut < 0) break;
      out.append(l.constData() + at, cut).append("\r\n");
      at += cut;
    }
    out.append(l.constData() + at, l.size() - at).append("\r\n");
  }
  return out;
}

QPair<QByteArray, QByteArray> splitAtFirstParameter(const QByteArray& value) {
  bool quoted = false;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (quoted && value[i] == '\\' && i + 1 < value.size() && (value[i + 1] == '"' || value[i + 1] == '\\')) ++i;
    else if (value[i] == '"') quoted = !quoted;
    else if (value[i] == ';' && !quoted) return {value.left(i), value.mid(i + 1).trimmed()};
  }
  return {value, QByteArray()};
}

namespace {
bool needsQuotes(const QByteArray& v) {
  if (v.isEmpty()) return true;
  for (char c : v)
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == '+'))
      return true;
  return false;
}
}  // namespace

QByteArray parameter(const QByteArray& params, const QByteArray& name) {
  const QString value = parameterValue(QString::fromLatin1(params), QString::fromLatin1(name));
  return value.isNull() ? QByteArray() : value.toUtf8();
}

QByteArray withParameter(const QByteArray& params, const QByteArray& name, const QByteArray& value) {
  QList<QByteArray> items;
  bool replaced = false;
  const QByteArray formatted = name + "=" + (needsQuotes(value) ? "\"" + value + "\"" : value);
  for (const QString& item : splitParameterItems(QString::fromLatin1(params))) {
    const QByteArray t = item.toLatin1();
    const qsizetype eq = t.indexOf('=');
    const QByteArray n = (eq < 0 ? t : t.left(eq)).trimmed();
    if (n.compare(name, Qt::CaseInsensitive) == 0) {
      if (!replaced) items.append(formatted);
      replaced = true;
    } else {
      items.append(t);
    }
  }
  if (!replaced) items.append(formatted);
  return items.join("; ");
}

QByteArray encodeAddressList(const QString& text) { return maillib::encodeAddressList(text); }

QList<QString> addresses(const QString& list) { return splitAddressList(list); }

namespace {

// Finds line-break bytes with memchr, remembering the next CR and the next
// LF, so a long run of lines costs one library scan per break, not a test
// per byte.
class BreakFinder {
 public:
  BreakFinder(const char* data, qsizetype size) : data_(data), size_(size) {}

  // Position of the first CR or LF at or after `from`; size when none.
  qsizetype next(qsizetype from) {
    if (cr_ < from) cr_ = find('\r', from);
    if (lf_ < from) lf_ = find('\n', from);
    return std::min(cr_, lf_);
  }

 private:
  qsizetype find(char c, qsizetype from) const {
    const void* hit = std::memchr(data_ + from, c, size_t(size_ - from));
    return hit ? static_cast<const char*>(hit) - data_ : size_;
  }

  const char* data_;
  qsizetype size_;
  qsizetype cr_ = -1;
  qsizetype lf_ = -1;
};

bool isCrLfAt(const char* data, qsizetype size, qsizetype i) {
  return data[i] == '\r' && i + 1 < size && data[i + 1] == '\n';
}

}  // namespace

QByteArray toCrlf(const QByteArray& bytes) {
  const char* const data = bytes.constData();
  const qsizetype size = bytes.size();
  BreakFinder breaks(data, size);
  // Bytes whose every line already ends in CR LF are handed back shared, not
  // copied: a message of large attachments is otherwise copied once more.
  qsizetype at = breaks.next(0);
  while (at < size && isCrLfAt(data, size, at)) at = breaks.next(at + 2);
  if (at >= size) return bytes;
  QByteArray out;
  out.reserve(size + size / 32);
  out.append(data, at);
  while (at < size) {
    out.append("\r\n", 2);
    const qsizetype runStart = at + (isCrLfAt(data, size, at) ? 2 : 1);
    at = breaks.next(runStart);
    out.append(data + runStart, at - runStart);
  }
  return out;
}

}  // namespace maillib::mimetext
