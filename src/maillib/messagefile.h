#pragma once
// A stored message file, opened for reading where its bodies are used, so a
// large message is never held in memory whole. The file stays open until
// the message is let go: a message file replaced by a rename (as every
// writer here stores them) keeps reading as it was loaded. A file cut short
// in place reads short; the shortfall is recorded, never a crash.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>

typedef struct _GMimeStream GMimeStream;

namespace maillib {

class MessageFile {
 public:
  // Null, with the reason (the system's words) in problem, when the file
  // cannot be opened.
  static std::shared_ptr<MessageFile> open(const QString& path, QString* problem);
  ~MessageFile();
  MessageFile(const MessageFile&) = delete;
  MessageFile& operator=(const MessageFile&) = delete;

  const QString& path() const { return path_; }
  qint64 size() const { return size_; }

  // Bytes [offset, offset + length); fewer when the file became shorter.
  QByteArray read(qint64 offset, qint64 length);
  // The same bytes handed to take in pieces; false when not all could be read.
  bool readPieces(qint64 offset, qint64 length, const std::function<void(QByteArrayView)>& take);

  // The first read that came short, for the user; empty when none did.
  QString takeProblem();

  // For the MIME parser, and to tell its content streams from others.
  GMimeStream* stream() const { return stream_; }
  bool isStreamOfThisFile(GMimeStream* other) const;

 private:
  MessageFile() = default;
  void noteShortRead(qint64 offset, qint64 wanted, qint64 got);

  QString path_;
  qint64 size_ = 0;
  GMimeStream* stream_ = nullptr;
  QString problem_;
};

}  // namespace maillib
