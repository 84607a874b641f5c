#pragma once
// Text of the message list: three columns (sender, subject, date) of fixed
// widths joined by TAB characters, and the order in which a folder's message
// files are listed.
#include <QString>
#include <QStringList>

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

}  // namespace reading
