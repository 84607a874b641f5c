#pragma once
// The safe write of safewrite.h for data that is produced while it is
// written (a large attachment decoded piece by piece), so it never has to
// sit in memory whole. Same rules: a temporary file in the same folder,
// flushed to disk, renamed into place only when everything was written.
#include <QIODevice>
#include <QString>
#include <functional>

#include "store/safewrite.h"

namespace store {

// produce writes the data to the device it is given and returns an empty
// text, or what went wrong (then nothing is renamed into place). When given,
// bytesNeeded tells a failure's text how large the whole file would be.
WriteResult writeFileStreamed(const QString& path, const std::function<QString(QIODevice&)>& produce,
                              bool overwrite = true, const std::function<qint64()>& bytesNeeded = {});

}  // namespace store
