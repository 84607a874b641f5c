#pragma once
// Finding a file that already holds the same bytes, so that saving the same
// attachment again adds no copy.
#include <QString>

namespace store {

// Whether the two files hold the same bytes (false when either cannot be read).
bool sameContents(const QString& a, const QString& b);

// Among fileName and the free names made from it ("name (2).ext", ...) in
// folder, the first file other than `file` whose bytes equal those of
// `file`; its full path, or empty when there is none.
QString sameFileInFolder(const QString& folder, const QString& fileName, const QString& file);

}  // namespace store
