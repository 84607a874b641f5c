#pragma once
// The checks and values of an outgoing message that need no window: the
// address checks of the To, CC and BCC boxes, the From and Sender values
// and the message token.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace compose {

// True when the first "@" stands after the first character and so does the
// first "." ("." may come before "@").
bool valid_address(const QString& text);

// One address box read as a list: entries separated by "," or ";" outside
// quoted names and angle brackets.
struct AddressListCheck {
  bool ok = false;
  QString normalised;     // the list with "," for every separating ";"
  QString badItem;        // the first entry that failed, as typed
  bool hasBadItem = false;  // false when the list only ended in a separator
};

// Every entry must be one mailbox ("a@b.org", "Name <a@b.org>") whose
// address passes valid_address and holds no blank or line break. An empty
// list passes; an empty entry or a trailing separator fails.
AddressListCheck checkAddressList(const QString& list);

// The copy-list check of the compose window: true for an empty list or one
// whose every entry passes; the normalised list is what the box then shows.
bool check_copy_list(const QString& list, QString* normalised, QString* badItem, bool* hasBadItem);

// "Name <address>", the name quoted when it holds quotes, commas or other
// specials; line breaks in either become blanks. The bare address when the
// name is empty.
QString fromMailbox(const QString& userName, const QString& userEmail);

// The message token: year, month and day, the seconds since midnight, the
// milliseconds and a sequence number, then "_TovelMail". The date is
// written with padding, so no two dates give the same digits.
QString messageToken(const QDateTime& when, quint64 sequence);
// A token for now that no other token of this run repeats.
QString nextMessageToken();

}  // namespace compose
