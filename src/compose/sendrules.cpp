#include "compose/sendrules.h"

#include "maillib/addresses.h"

#include <atomic>

namespace compose {

bool valid_address(const QString& text) {
  // Positions counted from 0 here: "after the first character" is > 0.
  return text.indexOf(QLatin1Char('@')) > 0 && text.indexOf(QLatin1Char('.')) > 0;
}

namespace {

struct Entry {
  QString text;
  qsizetype separator = -1;  // index of the separator after it, -1 at the end
};

// Splits at "," and ";" that stand outside quotes and angle brackets.
QList<Entry> splitEntries(const QString& list) {
  QList<Entry> out;
  QString current;
  bool quoted = false;
  int angle = 0;
  for (qsizetype i = 0; i < list.size(); ++i) {
    const QChar c = list[i];
    if (quoted && c == QLatin1Char('\\') && i + 1 < list.size()) {
      current += c;
      current += list[++i];
      continue;
    }
    if (c == QLatin1Char('"'))
      quoted = !quoted;
    else if (!quoted && c == QLatin1Char('<'))
      ++angle;
    else if (!quoted && c == QLatin1Char('>') && angle > 0)
      --angle;
    else if (!quoted && angle == 0 && (c == QLatin1Char(',') || c == QLatin1Char(';'))) {
      out.append({current, i});
      current.clear();
      continue;
    }
    current += c;
  }
  out.append({current, -1});
  return out;
}

bool hasBlankOrControl(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() <= 0x20 || c.unicode() == 0x7F)
      return true;
  return false;
}

bool validEntry(const QString& entry) {
  const QString trimmed = entry.trimmed();
  if (trimmed.isEmpty() || trimmed.contains(QLatin1Char('\r')) || trimmed.contains(QLatin1Char('\n')))
    return false;
  const QList<maillib::Mailbox> boxes = maillib::parseAddressList(trimmed);
  if (boxes.size() != 1)
    return false;
  const QString address = boxes.first().address;
  const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
  return valid_address(address) && at < address.size() - 1 && !hasBlankOrControl(address);
}

QString oneLine(QString text) {
  for (QChar& c : text)
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
      c = QLatin1Char(' ');
  return text.trimmed();
}

}  // namespace

AddressListCheck checkAddressList(const QString& list) {
  AddressListCheck result;
  if (list.isEmpty()) {
    result.ok = true;
    return result;
  }
  const QList<Entry> entries = splitEntries(list);
  QString normalised;
  for (const Entry& e : entries) {
    const bool last = e.separator < 0;
    if (last && e.text.isEmpty() && entries.size() > 1)
      return result;  // the list ends in a separator
    if (!validEntry(e.text)) {
      result.badItem = e.text;
      result.hasBadItem = true;
      return result;
    }
    normalised += e.text;
    if (!last)
      normalised += QLatin1Char(',');
  }
  result.ok = true;
  result.normalised = normalised;
  return result;
}

bool check_copy_list(const QString& list, QString* normalised, QString* badItem, bool* hasBadItem) {
  const AddressListCheck check = checkAddressList(list);
  if (normalised)
    *normalised = check.ok ? check.normalised : list;
  if (badItem)
    *badItem = check.badItem;
  if (hasBadItem)
    *hasBadItem = check.hasBadItem;
  return check.ok;
}

QString fromMailbox(const QString& userName, const QString& userEmail) {
  return maillib::formatMailbox({oneLine(userName), oneLine(userEmail)});
}

QString messageToken(const QDateTime& when, quint64 sequence) {
  const QTime t = when.time();
  const int seconds = t.hour() * 3600 + t.minute() * 60 + t.second();
  return QStringLiteral("%1%2%3.%4_TovelMail")
      .arg(when.date().toString(QStringLiteral("yyyyMMdd")))
      .arg(seconds, 5, 10, QLatin1Char('0'))
      .arg(t.msec(), 3, 10, QLatin1Char('0'))
      .arg(sequence);
}

QString nextMessageToken() {
  static std::atomic<quint64> sequence{0};
  return messageToken(QDateTime::currentDateTime(), ++sequence);
}

}  // namespace compose
