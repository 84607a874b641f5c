#pragma once
// The current message of a mail control and the entity path into it.
//
// A message is kept as a tree of entities. Loading reads the header block at
// once and leaves the body for later: the tree below the top is built on
// first use (GMime parses it; leaf bodies stay slices of the loaded bytes or,
// for a large file, stretches of the file read when used, so nothing is
// copied). A message that was loaded and not changed is written back exactly
// as it was read.
//
// The path is a stack of frames. Each frame names the entity whose MIME
// fields are reported (part), the entity whose parts and body are reported
// (structure: the same entity, or the enclosed message of a message/rfc822
// part) and, for message frames, the message whose header fields are
// reported.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "maillib/transfercodec.h"

namespace maillib {

class MessageFile;

struct Header {
  QByteArray name;
  QByteArray raw;  // value as on the wire, after "Name:" and its blanks; folds kept
};

// The stored (transfer-encoded) body of a leaf: bytes in memory, or a
// stretch of the message file, read when first needed.
class Body {
 public:
  Body() = default;
  // A body built or received in memory is assigned as its bytes.
  Body(const QByteArray& bytes) : bytes_(bytes), size_(bytes.size()) {}  // NOLINT(google-explicit-constructor)
  Body(std::shared_ptr<MessageFile> file, qint64 start, qint64 size);

  qint64 size() const { return size_; }
  bool isEmpty() const { return size_ == 0; }
  // The whole body; a stretch of the file is read once and then kept.
  const QByteArray& bytes() const;
  // The body in pieces without keeping it in memory; false when the file
  // could not be read to the end.
  bool readPieces(const std::function<void(QByteArrayView)>& take) const;
  void clear() { *this = Body(); }

 private:
  mutable QByteArray bytes_;
  mutable std::shared_ptr<MessageFile> file_;  // until the stretch is read
  qint64 start_ = 0;
  qint64 size_ = 0;
};

struct Entity {
  QList<Header> headers;
  Body body;  // leaf: the body as stored (transfer-encoded)
  std::vector<std::unique_ptr<Entity>> parts;
  std::unique_ptr<Entity> enclosed;  // message/rfc822: the message inside
  QByteArray preamble;
  QByteArray epilogue;
  bool isMessage = false;

  const Header* find(const QByteArray& name) const;
  QByteArray value(const QByteArray& name) const;  // null when absent
  // Replaces the first header of that name (removing further ones) or appends.
  void set(const QByteArray& name, const QByteArray& raw);
  void remove(const QByteArray& name);

  // Content-Type split up; a missing field means text/plain.
  QByteArray type() const;
  QByteArray subtype() const;
  QByteArray params() const;
  bool isMultipart() const;
  void setContentType(const QByteArray& type, const QByteArray& subtype, const QByteArray& params);

  // Stored body lines (CRLF or LF), computed once.
  int lineCount() const;
  QByteArray line(int index) const;
  void bodyChanged() { lines_.clear(); linesKnown_ = false; }

 private:
  mutable std::vector<qsizetype> lines_;  // start of each line
  mutable bool linesKnown_ = false;
};

// Header block at the start of bytes: the fields and where the body starts.
QList<Header> parseHeaderBlock(const QByteArray& bytes, qsizetype from, qsizetype* bodyStart);

class MessageEngine {
 public:
  MessageEngine();
  ~MessageEngine();

  // An empty message, ready to be built.
  void clear();
  // Replaces the message; problem explains a failure (the message is then
  // empty, so no field of an earlier message is reported).
  // Bytes without any header line are kept (and written back as they are)
  // but reported as not a mail message.
  bool loadBytes(const QByteArray& raw, QString* problem);
  enum class LoadResult { Ok, FileError, NotAMessage };
  LoadResult loadFile(const QString& path, QString* problem);
  bool isEmpty() const { return !hasRaw_ && !modified_; }

  bool isPristine() const { return hasRaw_ && !modified_; }
  // The loaded bytes. They always hold the whole header block; of a large
  // file they hold little more, its bodies being read from the file where
  // they are used.
  const QByteArray& raw() const { return raw_; }
  // False when the rest of such a file could no longer be read.
  bool isComplete() const { return !incomplete_; }
  void touch() { modified_ = true; }

  // Damage found while parsing the body, reported once.
  QString takeParseProblem();

  // The frame in use. Entities may be null when a failed enter left a
  // placeholder frame (so that the caller's following "return" balances).
  Entity* part();
  Entity* structure();
  Entity* message();  // the nearest enclosing message
  Entity* root() { return root_.get(); }
  bool atTop() const { return path_.size() == 1; }
  // True when the frame shows an enclosed message as a whole (a
  // message/rfc822 part entered).
  bool frameIsEnclosedMessage() const;
  bool frameIsBodyOf() const;

  int partCount();
  bool enter(int index, QString* problem);
  void leave();
  // Adds an empty part to the current container at index (append when
  // index < 0 or past the end); makes the entity multipart/mixed first
  // when it is not. Returns the index of the new part.
  int addPart(int index);
  // A body already stored in a leaf that is becoming multipart moves into
  // its first part, so no text is lost.
  void moveBodyIntoPart(Entity* e);

  // Whole message bytes: exactly as loaded when unchanged; otherwise built,
  // CRLF line ends. forTransport leaves out Bcc.
  QByteArray serialize(bool forTransport);
  // The same bytes handed to take in pieces as they are produced, so a
  // large message need not be in memory twice.
  void serializeTo(bool forTransport, const std::function<void(QByteArrayView)>& take);
  QByteArray serializeEntity(const Entity& e, bool skipBcc = false);

  // Date, Message-ID, MIME-Version and From for a message that is written
  // from the tree.
  void completeHeaders(const QString& messageToken, const QString& sender);

  // The body of the current structure, transfer-decoded.
  struct Content {
    QByteArray bytes;
    QByteArray charset;  // for text parts
    QString problem;
  };
  Content content();

  // The same body decoded straight into the file at path (replaced when it
  // exists), never held in memory whole.
  struct Saved {
    bool hasPart = false;  // false: nothing here to save (problem says why)
    bool written = false;
    QString writeError;    // for the user, when not written
    QString problem;       // damage in the part; what could be read was saved
  };
  Saved saveContent(const QString& path);

 private:
  void ensureParsed();
  // Opens a large file whose header block alone was read; false (and
  // incomplete) when it is gone or changed since.
  bool ensureComplete();
  // The whole loaded message as stored.
  QByteArray wholeRaw();
  Body bodyAfterHeaders() const;
  // The loaded bytes as they are, or without Bcc and in CR LF for transport.
  QByteArray pristineBytes(bool forTransport);

  // What a save of the current structure writes: the stored bytes of a
  // whole entity, or a leaf body decoded.
  struct ContentPlan {
    const Entity* leaf = nullptr;  // null: whole holds the bytes
    QByteArray whole;
    codec::Encoding encoding = codec::Encoding::Identity;
    QByteArray charset;
    QString problem;
    bool hasPart = false;
  };
  ContentPlan planContent();
  // Hands the leaf's body decoded to take in pieces; returns the damage found.
  QString decodeLeaf(const ContentPlan& plan, const std::function<void(QByteArrayView)>& take);

  struct Frame {
    Entity* part = nullptr;
    Entity* structure = nullptr;
    Entity* message = nullptr;
    bool bodyOf = false;
  };

  QByteArray raw_;
  bool hasRaw_ = false;
  bool modified_ = false;
  bool parsed_ = true;
  qsizetype bodyStart_ = 0;
  QString pendingFile_;  // file still to be opened
  qint64 pendingSize_ = 0;
  std::shared_ptr<MessageFile> file_;  // the loaded large file, once opened
  bool incomplete_ = false;
  std::unique_ptr<Entity> root_;
  std::vector<Frame> path_;
  QString parseProblem_;
};

}  // namespace maillib
