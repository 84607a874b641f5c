#pragma once
// Why a file could not be written, in words a user can act on: the disk is
// full (how much is free, how much was needed), the folder may not be
// written to, or else what the system said.
#include <QString>

namespace store {

QString writeFailureText(const QString& path, qint64 bytesNeeded, const QString& systemText);

// A size for people: "512 bytes", "30 kB", "1.5 MB".
QString sizeText(qint64 bytes);

}  // namespace store
