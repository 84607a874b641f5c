#pragma once
// Address lists: the one reader of "To:", "From:" and what users type into
// address boxes, and the writer of address header values.
//
// Lists are read the way people and mailers write them: entries separated
// by ',' or ';' outside quoted strings, comments and angle brackets; a
// group ("team: a@x.org, b@x.org;") gives its members; a name may be plain
// words, a quoted string, encoded words or a comment after the address. In
// a quoted string a backslash escapes only '"' and '\', so a name such as
// "C:\dir" keeps its backslashes.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace maillib {

struct Mailbox {
  QString name;     // display name, decoded, without quotes; may be empty
  QString address;  // what goes between the angle brackets
};

QList<Mailbox> parseAddressList(const QString& list);

// "name <address>", the name quoted when it holds specials (so the text
// reads back as the same mailbox); the bare address when there is no name.
QString formatMailbox(const Mailbox& mailbox);

// A stored address header value as text: unfolded, encoded words decoded;
// a decoded name that holds specials comes back quoted, so the text still
// splits into the same mailboxes. Addresses themselves are never decoded.
QString decodeAddressHeader(const QByteArray& raw);

// Characters -> a header value safe on the wire: names that need it become
// encoded words, names with specials are quoted, addresses stay as typed.
QByteArray encodeAddressList(const QString& text);

// The address inside a mailbox text: "Name" <a@b>, Name <a@b>, a@b (Name)
// or a@b.
QString bareAddress(const QString& mailbox);
// Every address of a list.
QStringList splitAddressList(const QString& list);

}  // namespace maillib
