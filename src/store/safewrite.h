#pragma once
// Writes a file so that a half-written file never carries the final name:
// a temporary file in the same folder, flushed to disk, then renamed into
// place. Every writer of message files and saved attachments goes through
// here.
#include <QByteArray>
#include <QString>

namespace store {

struct WriteResult {
  bool ok = false;
  QString error;  // what went wrong, for the user
};

// Writes data to path, replacing an existing file only when overwrite is set.
WriteResult writeFileSafely(const QString& path, const QByteArray& data, bool overwrite = true);

// Makes the names written into folder (new files, renames) last through a
// power cut: a file synced to disk is found after one only once its folder
// is synced too. False when the folder could not be synced.
bool syncFolder(const QString& folder);

// Renames from to to (an existing file at to is never replaced) so that the
// move lasts through a power cut: the file and its new folder are synced.
// A move that happened but could not be synced still fails, with the reason.
WriteResult moveFileSafely(const QString& from, const QString& to);

// "name.ext", "name (2).ext", ... : the first name that is free in folder.
QString freeFileName(const QString& folder, const QString& fileName);

}  // namespace store
