#pragma once
// The mail control: one object per mail window (Mail1). It holds at most one
// current message, parses and builds MIME, and talks POP3 and SMTP. Callers
// set properties and start an operation by assigning an ActionCode.
//
// Operation codes (TransferFlags select the variant):
//    3 connect and log in to Host          8 disconnect
//   10 delete MessageNumber on the server  11 release the current message
//   13 load a message: flags 4 from the server (MessageNumber), 2 from PartFile
//   15 write the current message: 32 to MessageFile, 64 over SMTP,
//      16 as source into OutputText, 2 nothing
//    5 save the current part decoded: 24 into OutputText, 40 into MessageFile
//    7 enter part PartIndex             2 return to the enclosing entity
//    4 add a part at PartIndex          9 load PartFile into the current part,
//                                          encoded as TransferEncoding says
//
// Network operations are asynchronous unless Blocking is set: Done follows
// through the event loop exactly once. With Blocking set they finish inside
// the assignment and no Done is emitted. Message operations always finish
// inside the assignment. Failures emit AsyncError(code, text).
//
// The message operations are also plain member functions (loadFile,
// enterPart, savePartToFile, ...). These take their arguments directly,
// leave the properties alone and return whether they worked, with the reason
// in `why`, instead of emitting AsyncError; the operation codes call them and
// report a failure through AsyncError.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

namespace maillib {
class MessageEngine;
class NetSession;
}  // namespace maillib

class MailControl : public QObject {
  Q_OBJECT

 public:
  // Error codes of AsyncError.
  enum ErrorCode {
    NoMailAvailable = 20002,  // the server holds no mail
    ErrFile = 20100,          // a file could not be read or written
    ErrParse = 20101,         // the message is damaged
    ErrPart = 20102,          // no such part
    ErrState = 20103,         // operation not possible now
    ErrConnect = 20200,       // refused, host not found, connection lost
    ErrTls = 20201,           // TLS handshake or certificate failure
    ErrAuth = 20202,          // login refused
    ErrServer = 20203,        // -ERR or 4xx/5xx reply
    ErrTimeout = 20204,       // the server did not answer in time
    ErrTooLarge = 20205,      // the server refuses the message size
  };

  explicit MailControl(QObject* parent = nullptr);
  ~MailControl() override;

  // --- operation and options
  int ActionCode() const { return action_code_; }
  void setActionCode(int code);
  bool Blocking() const { return blocking_; }
  void setBlocking(bool on) { blocking_ = on; }
  int DebugMode() const { return debug_mode_; }
  void setDebugMode(int mode) { debug_mode_ = mode; }
  int TransferFlags() const { return transfer_flags_; }
  void setTransferFlags(int flags) { transfer_flags_ = flags; }
  // While on, the Subject and the text given through BodyText go out as
  // UTF-8 whatever they hold (the Subject as UTF-8 encoded words, the text
  // as charset=utf-8 in the transfer encoding that suits it). Off, the
  // default, text that fits in Latin-1 keeps its 8-bit bytes.
  bool unicodeText() const { return unicode_text_; }
  void setUnicodeText(bool on) { unicode_text_ = on; }
  long Protocol() const { return protocol_; }
  void setProtocol(long protocol) { protocol_ = protocol; }

  // --- files and text results
  QString MessageFile() const { return message_file_; }
  void setMessageFile(const QString& path) { message_file_ = path; }
  QString PartFile() const { return part_file_; }
  void setPartFile(const QString& path) { part_file_ = path; }
  QString OutputText() const { return output_text_; }

  // --- server and login
  QString Host() const { return host_; }
  void setHost(const QString& host) { host_ = host; }
  QString UserName() const { return user_name_; }
  void setUserName(const QString& user) { user_name_ = user; }
  QString Password() const { return password_; }
  void setPassword(const QString& password) { password_ = password; }
  // Whether the password may go to a server that offers no encryption
  // (off by default: the login is then refused before anything is sent).
  bool allowPlainLogin() const { return allow_plain_login_; }
  void setAllowPlainLogin(bool allow) { allow_plain_login_ = allow; }
  QString Sender() const { return sender_; }
  // Line breaks become blanks: the sender can never add an SMTP command.
  void setSender(const QString& sender);
  int MessageCount() const { return message_count_; }
  // Server message number (POP3) or, when sending, the message token.
  QString MessageNumber() const { return message_number_; }
  void setMessageNumber(const QString& number) { message_number_ = number; }
  // Size of server message n (from LIST), 0 when unknown.
  long MessageSize(int n) const;
  // The server's unique id of message n (UIDL), empty when the server gives
  // none (then no message of this session has one).
  QString MessageUidl(int n) const;
  // The messages that will be retrieved next, in order. A server that takes
  // pipelined commands is asked for them ahead; without a plan the messages
  // after each retrieved one are expected.
  void setRetrievalPlan(const QList<int>& numbers);

  // --- header fields of the current message (the enclosed message after
  // entering a message/rfc822 part)
  QString From() const;
  void setFrom(const QString& value);
  QString To() const;
  void setTo(const QString& value);
  QString CC() const;
  void setCC(const QString& value);
  QString BCC() const;
  void setBCC(const QString& value);
  QString Subject() const;
  void setSubject(const QString& value);
  QString Date() const;
  void setDate(const QString& value);
  QString HeaderText() const;
  // Extra header lines ("Name: value") beyond the fields above.
  int HeaderCount() const;
  QString HeaderLine(int index) const;
  void setHeaderLine(int index, const QString& line);

  // --- MIME fields of the current entity
  QString ContentType() const;
  void setContentType(const QString& value);
  QString ContentSubType() const;
  void setContentSubType(const QString& value);
  QString ContentParameters() const;
  void setContentParameters(const QString& value);
  QString ContentDisposition() const;
  void setContentDisposition(const QString& value);
  QString TransferEncoding() const;
  void setTransferEncoding(const QString& value);
  QString Boundary() const;
  void setBoundary(const QString& value);
  // An add (4) inserts at PartIndex when PartIndex was assigned since the
  // previous add, and appends otherwise; either way PartIndex then names the
  // new part, so enter (7) reaches it.
  int PartIndex() const { return part_index_; }
  void setPartIndex(int index) {
    part_index_ = index;
    part_index_set_ = true;
  }
  int PartCount() const;

  // --- body lines of the current entity
  int LineCount() const;
  QString BodyText(int index) const;
  // Every stored line as BodyText gives it, each followed by CR LF: the
  // charset is looked up once, not once a line.
  QString storedBodyText() const;
  // Index 0 with a whole text replaces the body with that text.
  void setBodyText(int index, const QString& text);

 Q_SIGNALS:
  void Done();
  void Progress(qint64 done, qint64 total);
  void AsyncError(int code, const QString& message);
  void Debug(const QString& message);

 public:
  // --- for the network side: the current message as raw bytes
  // Replaces the current message with bytes received from a server; the
  // bytes are kept exactly so that writing the message stores them as is.
  bool loadMessageBytes(const QByteArray& raw);
  // The current message as it goes over SMTP (Bcc left out) or to a file.
  QByteArray messageBytes(bool forTransport) const;
  // Envelope recipients: every address of To, CC and BCC (an address
  // holding a blank or a control character is left out).
  QStringList recipientAddresses() const;
  // The current message as it stands, and putting it back later (a
  // compose window that failed to send keeps what was written).
  QByteArray snapshot() const;
  void restore(const QByteArray& snapshot);

  // --- typed message operations (see the top of this file)
  // Loads a message file; the fields of the message are readable at once.
  bool loadFile(const QString& path, QString* why = nullptr);
  // Writes the current message to a new file (an existing file is never
  // replaced).
  bool writeToFile(const QString& path, QString* why = nullptr);
  // The whole current message as text, headers and MIME structure included.
  QString sourceText(QString* why = nullptr);
  // Makes part index of the current entity current; on failure the entity
  // stays balanced, so the leavePart() that follows lands where it was.
  bool enterPart(int index, QString* why = nullptr);
  void leavePart();
  // The current part decoded, as text. why tells of damage; the text is then
  // what could be read.
  QString partText(QString* why = nullptr);
  // The current part decoded into a file (replaced when it exists). A part
  // that was only partly readable is still written and returns true, with
  // the damage in why.
  bool savePartToFile(const QString& path, QString* why = nullptr);
  // Adds an empty part at index (appends when index < 0); returns the new
  // part's index, or -1.
  int addPart(int index = -1, QString* why = nullptr);
  // Loads a file into the current part, encoded as its TransferEncoding says.
  bool loadPartFile(const QString& path, QString* why = nullptr);
  // Lets go of the current message (before its file is moved or deleted).
  void release();

  // Reports a failure: emits AsyncError and, with DebugMode on, Debug.
  void reportError(int code, const QString& message);
  // True when the operation started last reported a failure (for callers
  // that must know at once, such as storing a fetched message).
  bool lastOperationFailed() const { return last_failed_; }

 private:
  // What a message operation found wrong, each problem as AsyncError would
  // report it, in order. A failed operation did not do its work; a noted
  // problem leaves a usable result (a damaged part read as far as it goes).
  struct Outcome {
    QList<QPair<int, QString>> problems;
    bool failed = false;
    void fail(int code, const QString& text);
    void note(int code, const QString& text);
    // Puts the problems into why and returns whether the work was done.
    bool settle(QString* why) const;
  };
  void report(const Outcome& outcome);
  void noteParseProblem(Outcome& outcome);

  // Message operations (message side).
  void runLoadFile(const QString& path, Outcome& outcome);
  void runWriteFile(const QString& path, Outcome& outcome);
  QString runSourceText(Outcome& outcome);
  void runEnterPart(int index, Outcome& outcome);
  QString runPartText(Outcome& outcome);
  void runSavePartFile(const QString& path, Outcome& outcome);
  int runAddPart(int index, Outcome& outcome);
  void runLoadPartFile(const QString& path, Outcome& outcome);
  void runMessageCode(int code, int flags);

  // Network operations (network side).
  void opConnect();
  void opDisconnect();
  void opDelete();
  void opRetrieve();
  void opSend();

  friend class maillib::NetSession;

  int action_code_ = 0;
  bool blocking_ = false;
  int debug_mode_ = 0;
  bool unicode_text_ = false;
  int transfer_flags_ = 0;
  long protocol_ = 1;
  QString message_file_;
  QString part_file_;
  QString output_text_;
  QString host_;
  QString user_name_;
  QString password_;
  QString sender_;
  bool allow_plain_login_ = false;
  int message_count_ = 0;
  QString message_number_;
  int part_index_ = 0;
  bool part_index_set_ = false;
  bool last_failed_ = false;

  std::unique_ptr<maillib::MessageEngine> engine_;
  std::unique_ptr<maillib::NetSession> net_;
};
