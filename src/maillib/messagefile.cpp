#include "maillib/messagefile.h"

#include <fcntl.h>

#include <QFile>

#include "maillib/gmimeinit.h"
#include "maillib/gmimeref.h"

namespace maillib {

namespace {
constexpr qint64 kPiece = 256 * 1024;
}

std::shared_ptr<MessageFile> MessageFile::open(const QString& path, QString* problem) {
  ensureGMime();
  GError* error = nullptr;
  GMimeStream* s = g_mime_stream_fs_open(QFile::encodeName(path).constData(), O_RDONLY, 0, &error);
  if (!s) {
    if (problem) *problem = error ? QString::fromUtf8(error->message) : QStringLiteral("it cannot be opened");
    if (error) g_error_free(error);
    return nullptr;
  }
  std::shared_ptr<MessageFile> file(new MessageFile);
  file->path_ = path;
  file->stream_ = s;
  const gint64 length = g_mime_stream_length(s);
  file->size_ = length < 0 ? 0 : length;
  return file;
}

MessageFile::~MessageFile() {
  if (stream_) g_object_unref(stream_);
}

bool MessageFile::readPieces(qint64 offset, qint64 length, const std::function<void(QByteArrayView)>& take) {
  if (offset < 0 || length <= 0) return length == 0;
  if (g_mime_stream_seek(stream_, offset, GMIME_STREAM_SEEK_SET) != offset) {
    noteShortRead(offset, length, 0);
    return false;
  }
  QByteArray buffer(std::min(length, kPiece), Qt::Uninitialized);
  qint64 done = 0;
  while (done < length) {
    const size_t want = size_t(std::min<qint64>(buffer.size(), length - done));
    const ssize_t got = g_mime_stream_read(stream_, buffer.data(), want);
    if (got <= 0) {
      noteShortRead(offset, length, done);
      return false;
    }
    take(QByteArrayView(buffer.constData(), qsizetype(got)));
    done += got;
  }
  return true;
}

QByteArray MessageFile::read(qint64 offset, qint64 length) {
  QByteArray out;
  if (length > 0) out.reserve(qsizetype(std::min(length, size_)));
  readPieces(offset, length, [&out](QByteArrayView piece) { out.append(piece); });
  return out;
}

void MessageFile::noteShortRead(qint64 offset, qint64 wanted, qint64 got) {
  if (!problem_.isEmpty()) return;
  problem_ = QStringLiteral("The message file %1 changed while it was open: %2 of %3 bytes from offset %4 "
                            "could be read.")
                 .arg(path_)
                 .arg(got)
                 .arg(wanted)
                 .arg(offset);
}

QString MessageFile::takeProblem() { return std::exchange(problem_, QString()); }

bool MessageFile::isStreamOfThisFile(GMimeStream* other) const {
  return other && GMIME_IS_STREAM_FS(other) && GMIME_STREAM_FS(other)->fd == GMIME_STREAM_FS(stream_)->fd;
}

}  // namespace maillib
