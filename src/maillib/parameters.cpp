#include "maillib/parameters.h"

#include <QHash>
#include <QMap>

#include "maillib/mimetext.h"

namespace maillib {

namespace mt = mimetext;

namespace {

bool isEscapable(QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\\'); }

QString unquote(const QString& value) {
  if (!value.startsWith(QLatin1Char('"')))
    return value;
  QString out;
  for (qsizetype i = 1; i < value.size() && value[i] != QLatin1Char('"'); ++i) {
    if (value[i] == QLatin1Char('\\') && i + 1 < value.size() && isEscapable(value[i + 1]))
      ++i;
    out += value[i];
  }
  return out;
}

int hexValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9')
    return u - '0';
  if (u >= 'a' && u <= 'f')
    return u - 'a' + 10;
  if (u >= 'A' && u <= 'F')
    return u - 'A' + 10;
  return -1;
}

QByteArray percentDecode(const QString& text) {
  QByteArray out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('%') && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out.append(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else if (c.unicode() < 256) {
      out.append(char(c.unicode()));
    } else {
      out.append(QString(c).toUtf8());
    }
  }
  return out;
}

QString bytesIn(const QByteArray& bytes, const QString& charset) {
  return charset.isEmpty() ? mt::rawToText(bytes) : mt::bytesToText(bytes, charset.toLatin1());
}

// charset'language'percent-encoded
QString decodeExtended(const QString& value) {
  const qsizetype q1 = value.indexOf(QLatin1Char('\''));
  const qsizetype q2 = q1 < 0 ? -1 : value.indexOf(QLatin1Char('\''), q1 + 1);
  if (q2 < 0)
    return bytesIn(percentDecode(value), {});
  return bytesIn(percentDecode(value.mid(q2 + 1)), value.left(q1));
}

// What is known of one parameter name.
struct Gathered {
  QString name;
  QString plain;
  bool havePlain = false;
  QString extended;
  bool haveExtended = false;
  QMap<int, QPair<QString, bool>> pieces;  // continuation index -> value, percent-encoded

  QString value() const {
    if (haveExtended)
      return extended;
    if (pieces.contains(0))
      return joinedPieces();
    if (havePlain)
      return plain.contains(QLatin1String("=?")) ? mt::decodeHeader(plain.toUtf8()) : plain;
    return {};
  }
  bool present() const { return haveExtended || pieces.contains(0) || havePlain; }

  // Joined in index order up to the first gap; encoded pieces are decoded
  // in the charset named by the first piece.
  QString joinedPieces() const {
    QString charset;
    QByteArray bytes;
    for (int index = 0; pieces.contains(index); ++index) {
      QString value = pieces.value(index).first;
      const bool encoded = pieces.value(index).second;
      if (index == 0 && encoded) {
        const qsizetype q1 = value.indexOf(QLatin1Char('\''));
        const qsizetype q2 = q1 < 0 ? -1 : value.indexOf(QLatin1Char('\''), q1 + 1);
        if (q2 >= 0) {
          charset = value.left(q1);
          value = value.mid(q2 + 1);
        }
      }
      bytes += encoded ? percentDecode(value) : value.toUtf8();
    }
    return bytesIn(bytes, charset);
  }
};

// "name", "name*", "name*3" or "name*3*" -> the name and what it holds.
void gather(Gathered& g, const QString& key, const QString& value) {
  const qsizetype star = key.indexOf(QLatin1Char('*'));
  if (star < 0) {
    if (!g.havePlain) {
      g.plain = value;
      g.havePlain = true;
    }
    return;
  }
  QString rest = key.mid(star + 1);
  if (rest.isEmpty()) {
    if (!g.haveExtended) {
      g.extended = decodeExtended(value);
      g.haveExtended = true;
    }
    return;
  }
  const bool encoded = rest.endsWith(QLatin1Char('*'));
  if (encoded)
    rest.chop(1);
  bool ok = false;
  const int index = rest.toInt(&ok);
  if (ok && index >= 0 && index < 1000 && rest.at(0).isDigit() && !g.pieces.contains(index))
    g.pieces.insert(index, qMakePair(value, encoded));
}

bool isToken(const QString& name) {
  if (name.isEmpty())
    return false;
  for (const QChar c : name)
    if (c.unicode() <= 32 || c.unicode() >= 127 || c == QLatin1Char('"'))
      return false;
  return true;
}

QString escaped(QString value) {
  return value.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
}

}  // namespace

QStringList splitParameterItems(const QString& text) {
  QStringList items;
  QString cur;
  bool quoted = false;
  auto flush = [&] {
    const QString item = cur.trimmed();
    if (!item.isEmpty())
      items.append(item);
    cur.clear();
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted && c == QLatin1Char('\\') && i + 1 < text.size() && isEscapable(text[i + 1])) {
      cur += c;
      cur += text[++i];
      continue;
    }
    if (c == QLatin1Char('"'))
      quoted = !quoted;
    else if (c == QLatin1Char(';') && !quoted) {
      flush();
      continue;
    }
    cur += c;
  }
  flush();
  return items;
}

QList<MimeParameter> parseParameters(const QString& text) {
  QList<Gathered> all;
  QHash<QString, qsizetype> indexOf;
  for (const QString& item : splitParameterItems(text)) {
    const qsizetype eq = item.indexOf(QLatin1Char('='));
    if (eq < 0)
      continue;  // the type or disposition, or junk
    const QString key = item.left(eq).trimmed();
    if (!isToken(key))
      continue;
    const QString value = unquote(item.mid(eq + 1).trimmed());
    const qsizetype star = key.indexOf(QLatin1Char('*'));
    const QString base = star < 0 ? key : key.left(star);
    if (base.isEmpty())
      continue;
    // A hash, so a field of thousands of different names stays quick.
    const QString lower = base.toLower();
    auto slot = indexOf.constFind(lower);
    if (slot == indexOf.constEnd()) {
      slot = indexOf.insert(lower, all.size());
      all.append(Gathered{base, {}, false, {}, false, {}});
    }
    gather(all[*slot], key.toLower(), value);
  }
  QList<MimeParameter> out;
  for (const Gathered& g : all)
    if (g.present())
      out.append({g.name, g.value()});
  return out;
}

QString parameterValue(const QString& text, const QString& name) {
  for (const MimeParameter& p : parseParameters(text))
    if (p.name.compare(name, Qt::CaseInsensitive) == 0)
      return p.value.isNull() ? QStringLiteral("") : p.value;
  return {};
}

QString readableParameters(const QByteArray& raw) {
  const QByteArray flat = mt::unfold(raw);
  if (mt::isAscii(flat) && !flat.contains('*') && !flat.contains("=?"))
    return QString::fromLatin1(flat);
  QStringList items;
  for (const MimeParameter& p : parseParameters(mt::rawToText(flat)))
    items.append(p.name + QStringLiteral("=\"") + escaped(p.value) + QLatin1Char('"'));
  return items.join(QStringLiteral("; "));
}

}  // namespace maillib
