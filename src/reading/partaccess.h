#pragma once
// Reaching a part of the message a mail control holds by its path (part
// indexes from the loaded message), from wherever the control stands, and
// saving it decoded under a free name.
#include <QList>
#include <QString>

class MailControl;

namespace reading {

// Enters each index of path from the control's current entity. On failure
// the control is back where it was.
bool enterPath(MailControl& control, const QList<int>& path, QString* why = nullptr);
void leavePath(MailControl& control, qsizetype depth);

// Saves the part at `part` decoded into folder under name, or under a free
// name like it ("a (2).txt") when that is taken. The control stands at
// `at` before and after. Returns the file written, empty when nothing was;
// why tells what went wrong, or of damage in what was saved.
QString savePartInFolder(MailControl& control, const QList<int>& at, const QList<int>& part,
                         const QString& folder, const QString& name, QString* why);

// As savePartInFolder, but no second copy stays: when name, or one of the
// free names made from it, already holds the same bytes in folder, the
// file just written is removed and that one is returned.
QString savePartOnceInFolder(MailControl& control, const QList<int>& at, const QList<int>& part,
                             const QString& folder, const QString& name, QString* why);

}  // namespace reading
