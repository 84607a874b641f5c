#pragma once
// Text of the message list: three columns (sender, subject, date) of fixed
// widths joined by TAB characters, and the order in which a folder's message
// files are listed.
#include "reading/textscripts.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace reading {

inline constexpr int kSenderWidth = 20;
inline constexpr int kSubjectWidth = 35;
inline constexpr int kDateWidth = 15;

// Trims text in place; returns its first width characters when it is at
// least that long, else text followed by (width - length + 1) blanks.
QString pad_column(QString& text, int width);

// The part of text before its first "<" (the display name of "Name <a@b>").
QString name_before_address(const QString& text);

// Sorts ascending by character code, in place. A shell sort whose gaps are
// 2^k - 1 (for 10 names: 7, 3, 1).
void sort_file_names(QStringList& names);

// sender, TAB, subject, TAB, date, each through pad_column.
QString messageListEntry(QString sender, QString subject, QString date);

// Where the columns of an entry end and the script of each, kept with the
// entry under kListCellsRole as one number. A column's script is judged
// when the entry is built only where its characters depend on it (bytes
// that windows-1252 reads otherwise); the others are judged when first
// drawn, so a large folder lists at the speed of its files.
struct ListCells {
  int senderEnd = 0;   // position of the TAB after the sender column
  int subjectEnd = 0;  // position of the TAB after the subject column
  std::array<std::optional<TextScript>, 3> scripts{};
  quint32 pack() const;
  static ListCells unpack(quint32 packed);
};
inline constexpr int kListCellsRole = Qt::UserRole + 2;
// The entry as the mail control read it, kept under this role when the
// entry shows other characters (windows-1252 read in a Unicode font).
inline constexpr int kListStoredRole = Qt::UserRole + 3;

struct ListRow {
  QString text;    // the entry as shown
  QString stored;  // the entry as read, when it differs from text; else null
  ListCells cells;
};

// The entry of messageListEntry with the script of each column judged and
// its characters read for the font the column is shown in.
ListRow listRow(QString sender, QString subject, QString date, FontChoice choice);

// The text of an entry read as stored, for another choice of fonts.
QString listRowText(const QString& stored, const ListCells& cells, FontChoice choice);

}  // namespace reading
