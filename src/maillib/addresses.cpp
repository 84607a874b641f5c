#include "maillib/addresses.h"

#include "maillib/mimetext.h"

namespace maillib {

namespace mt = mimetext;

namespace {

enum class Kind { Text, Quoted, Comment, Angle, Comma, Semicolon, Colon };

struct Token {
  Kind kind;
  QString raw;    // as written
  QString value;  // quoted string or comment unescaped, angle-addr without brackets
};

// A backslash escapes only these, so stray backslashes (Windows paths) stay.
bool isEscapable(QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\\'); }

// Reads a quoted string starting at the opening quote; i ends past it.
QString readQuoted(const QString& s, qsizetype& i) {
  QString value;
  for (++i; i < s.size() && s[i] != QLatin1Char('"'); ++i) {
    if (s[i] == QLatin1Char('\\') && i + 1 < s.size() && isEscapable(s[i + 1]))
      ++i;
    value += s[i];
  }
  if (i < s.size())
    ++i;
  return value;
}

QString readComment(const QString& s, qsizetype& i) {
  QString value;
  int depth = 0;
  for (; i < s.size(); ++i) {
    const QChar c = s[i];
    if (c == QLatin1Char('\\') && i + 1 < s.size()) {
      value += s[++i];
      continue;
    }
    if (c == QLatin1Char('(') && depth++ == 0)
      continue;
    if (c == QLatin1Char(')') && --depth == 0) {
      ++i;
      break;
    }
    value += c;
  }
  return value;
}

QString readAngle(const QString& s, qsizetype& i) {
  QString value;
  for (++i; i < s.size() && s[i] != QLatin1Char('>'); ++i) {
    if (s[i] == QLatin1Char('"')) {
      const qsizetype start = i;
      readQuoted(s, i);
      value += s.mid(start, i - start);
      --i;
      continue;
    }
    value += s[i];
  }
  if (i < s.size())
    ++i;
  return value;
}

QList<Token> tokenize(const QString& s) {
  QList<Token> out;
  qsizetype i = 0;
  while (i < s.size()) {
    const QChar c = s[i];
    const qsizetype start = i;
    Token t{Kind::Text, {}, {}};
    if (c == QLatin1Char('"')) {
      t = {Kind::Quoted, {}, readQuoted(s, i)};
    } else if (c == QLatin1Char('(')) {
      t = {Kind::Comment, {}, readComment(s, i)};
    } else if (c == QLatin1Char('<')) {
      t = {Kind::Angle, {}, readAngle(s, i)};
    } else if (c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char(':')) {
      t.kind = c == QLatin1Char(',') ? Kind::Comma : c == QLatin1Char(';') ? Kind::Semicolon : Kind::Colon;
      ++i;
    } else {
      if (!out.isEmpty() && out.back().kind == Kind::Text) {
        out.back().raw += c;
        out.back().value += c;
      } else {
        out.append({Kind::Text, QString(c), QString(c)});
      }
      ++i;
      continue;
    }
    t.raw = s.mid(start, i - start);
    out.append(t);
  }
  return out;
}

// One entry of a list: the tokens of one mailbox, and the group it opens
// or closes.
struct Entry {
  QList<Token> tokens;
  QString group;  // null unless a group label stands before this entry
  bool endsGroup = false;
};

bool holdsAddress(const QList<Token>& tokens) {
  for (const Token& t : tokens)
    if (t.kind == Kind::Angle || (t.kind == Kind::Text && t.raw.contains(QLatin1Char('@'))))
      return true;
  return false;
}

QString decodeWords(const QString& text) {
  return text.contains(QLatin1String("=?")) ? mt::decodeHeader(text.toUtf8()) : text;
}

QList<Entry> splitEntries(const QList<Token>& tokens) {
  QList<Entry> out;
  Entry cur;
  bool inGroup = false;
  for (const Token& t : tokens) {
    if (t.kind == Kind::Comma || t.kind == Kind::Semicolon) {
      if (t.kind == Kind::Semicolon && inGroup) {
        cur.endsGroup = true;
        inGroup = false;
      }
      out.append(cur);
      cur = Entry();
    } else if (t.kind == Kind::Colon && !inGroup && !holdsAddress(cur.tokens)) {
      QString label;
      for (const Token& p : cur.tokens)
        label += p.kind == Kind::Quoted ? p.value : p.kind == Kind::Text ? p.raw : QString();
      cur.group = decodeWords(label.trimmed());
      if (cur.group.isNull())
        cur.group = QStringLiteral("");
      cur.tokens.clear();
      inGroup = true;
    } else {
      cur.tokens.append(t);
    }
  }
  out.append(cur);
  return out;
}

Mailbox mailboxOf(const QList<Token>& tokens) {
  qsizetype angle = -1;
  for (qsizetype k = 0; k < tokens.size(); ++k)
    if (tokens[k].kind == Kind::Angle)
      angle = k;
  QString phrase, bare;
  QStringList comments;
  int quotedCount = 0;
  QString onlyQuoted;
  bool otherText = false;
  for (qsizetype k = 0; k < tokens.size(); ++k) {
    const Token& t = tokens[k];
    switch (t.kind) {
      case Kind::Text:
        if (angle >= 0)
          phrase += t.raw;
        else
          bare += t.raw;
        otherText = otherText || !t.raw.trimmed().isEmpty();
        break;
      case Kind::Quoted:
        if (angle >= 0)
          phrase += t.value;
        else
          bare += t.raw;
        ++quotedCount;
        onlyQuoted = t.value;
        break;
      case Kind::Comment: comments << t.value.trimmed(); break;
      case Kind::Colon: (angle >= 0 ? phrase : bare) += t.raw; break;
      default: break;
    }
  }
  Mailbox m;
  if (angle >= 0) {
    m.address = tokens[angle].value.trimmed();
    m.name = decodeWords(phrase).trimmed();
  } else {
    // A lone quoted string is the address itself ("a@b.org").
    m.address = (quotedCount == 1 && !otherText) ? onlyQuoted.trimmed() : bare.trimmed();
  }
  if (m.name.isEmpty())
    m.name = decodeWords(comments.join(QLatin1Char(' '))).trimmed();
  return m;
}

bool needsQuotes(const QString& name) {
  static const QString specials = QStringLiteral("()<>[]:;@\\,.\"");
  for (const QChar c : name)
    if (specials.contains(c))
      return true;
  return false;
}

QString quoted(QString text) {
  text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
  return QLatin1Char('"') + text + QLatin1Char('"');
}

QString rawOf(const QList<Token>& tokens) {
  QString out;
  for (const Token& t : tokens)
    out += t.raw;
  return out;
}

QByteArray encodePhrase(const QString& name) {
  if (mt::needsEncoding(name))
    return mt::encodeWords(name);
  return (needsQuotes(name) ? quoted(name) : name).toLatin1();
}

QByteArray encodePlain(const QString& text) {
  return mt::needsEncoding(text) ? mt::encodeWords(text) : text.toLatin1();
}

// A decoded name may hold line breaks an encoded word carried; they
// become blanks so the name reads back on one line.
QString oneLine(QString text) {
  for (QChar& c : text)
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
      c = QLatin1Char(' ');
  return text;
}

QByteArray encodeEntry(const Entry& e) {
  QByteArray item;
  if (!e.group.isNull())
    item += encodePhrase(oneLine(e.group)) + ": ";
  Mailbox m = mailboxOf(e.tokens);
  m.name = oneLine(m.name);
  bool angle = false;
  for (const Token& t : e.tokens)
    angle = angle || t.kind == Kind::Angle;
  if (angle && !m.address.isEmpty()) {
    if (!m.name.isEmpty())
      item += encodePhrase(m.name) + ' ';
    item += '<' + encodePlain(m.address) + '>';
  } else if (!m.address.isEmpty()) {
    item += encodePlain(m.address);
    if (!m.name.isEmpty())
      item += " (" + encodePlain(m.name) + ')';
  } else {
    // Not a mailbox: kept as typed.
    item += encodePlain(rawOf(e.tokens).trimmed());
  }
  if (e.endsGroup)
    item += ';';
  return item.trimmed();
}

}  // namespace

QList<Mailbox> parseAddressList(const QString& list) {
  QList<Mailbox> out;
  for (const Entry& e : splitEntries(tokenize(list))) {
    const Mailbox m = mailboxOf(e.tokens);
    if (!m.address.isEmpty())
      out.append(m);
  }
  return out;
}

QString formatMailbox(const Mailbox& mailbox) {
  if (mailbox.name.isEmpty())
    return mailbox.address;
  const QString name = needsQuotes(mailbox.name) ? quoted(mailbox.name) : mailbox.name;
  return name + QStringLiteral(" <") + mailbox.address + QLatin1Char('>');
}

QString decodeAddressHeader(const QByteArray& raw) {
  const QString text = mt::rawToText(mt::unfold(raw));
  if (!text.contains(QLatin1String("=?")))
    return text;
  const QList<Token> tokens = tokenize(text);
  // A text run is a name (decoded) when an angle-addr follows in its entry
  // or it labels a group; otherwise it is an address and stays as it is.
  auto isName = [&](qsizetype k) {
    for (qsizetype j = k + 1; j < tokens.size(); ++j) {
      if (tokens[j].kind == Kind::Angle || tokens[j].kind == Kind::Colon)
        return true;
      if (tokens[j].kind == Kind::Comma || tokens[j].kind == Kind::Semicolon)
        return false;
    }
    return false;
  };
  QString out;
  for (qsizetype k = 0; k < tokens.size(); ++k) {
    const Token& t = tokens[k];
    if (!t.raw.contains(QLatin1String("=?"))) {
      out += t.raw;
      continue;
    }
    if (t.kind == Kind::Text && isName(k)) {
      const QString name = t.raw.trimmed();
      const qsizetype lead = t.raw.indexOf(name);
      const QString decoded = decodeWords(name).trimmed();
      out += t.raw.left(lead) + (needsQuotes(decoded) ? quoted(decoded) : decoded) + t.raw.mid(lead + name.size());
    } else if (t.kind == Kind::Quoted) {
      out += quoted(decodeWords(t.value));
    } else if (t.kind == Kind::Comment) {
      const QString comment = decodeWords(t.value);
      const bool plain = !comment.contains(QLatin1Char('(')) && !comment.contains(QLatin1Char(')')) &&
                         !comment.contains(QLatin1Char('\\'));
      out += plain ? QLatin1Char('(') + comment + QLatin1Char(')') : t.raw;
    } else {
      out += t.raw;
    }
  }
  return out;
}

QByteArray encodeAddressList(const QString& text) {
  QList<QByteArray> items;
  for (const Entry& e : splitEntries(tokenize(text))) {
    const QByteArray item = encodeEntry(e);
    if (!item.isEmpty())
      items.append(item);
  }
  return items.join(", ");
}

QString bareAddress(const QString& mailbox) {
  const QList<Mailbox> all = parseAddressList(mailbox);
  return all.isEmpty() ? QString() : all.first().address;
}

QStringList splitAddressList(const QString& list) {
  QStringList out;
  for (const Mailbox& m : parseAddressList(list))
    out.append(m.address);
  return out;
}

}  // namespace maillib
