#pragma once
// One connection to a mail server: TCP with TLS either from the start or
// switched on later, a read buffer that yields complete POP3 or SMTP replies,
// a timeout whenever the server owes us something, and a protocol transcript.
//
// The protocol clients work in continuation style: send a command, then
// expect() a reply with the function that handles it. Any failure (refused,
// name not found, TLS, timeout, connection lost, malformed reply) drops the
// pending handler and is reported once through failed().
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

class QSslError;
class QSslSocket;

namespace maillib {

// A failure with our own diagnosis kept apart from what the server said.
struct NetError {
  int code = 0;           // MailControl::ErrorCode
  QString diagnosis;      // our explanation
  QString serverText;     // the server's reply or the system's error text
  QString text() const;   // both, for the user
};

// True when text holds CR, LF or NUL: such text would end a command line
// early or cut a login token short, so it never goes into a command.
bool breaksCommandLine(const QByteArray& text);
bool breaksCommandLine(const QString& text);

enum class ReplyKind {
  Pop3Status,  // one "+OK ..." or "-ERR ..." line
  Pop3Multi,   // status line, then (on +OK) dot-terminated lines
  Smtp,        // "ddd-text" lines ending with "ddd text"
};

struct Reply {
  bool ok = false;        // +OK, or an SMTP code below 400
  int code = 0;           // SMTP reply code
  QByteArray text;        // POP3: text after the indicator; SMTP: last line's text
  QList<QByteArray> lines;  // SMTP: the text of every line
  QByteArray data;        // POP3 multi-line body, dot-unstuffed, line ends as sent
  QString shownText() const;  // the reply as readable text for messages
};

class LineChannel : public QObject {
  Q_OBJECT
 public:
  using ReplyHandler = std::function<void(Reply&)>;
  using Transcript = std::function<void(const QString&)>;

  explicit LineChannel(QObject* parent = nullptr);
  ~LineChannel() override;

  void setTimeout(int ms) { timeout_ms_ = ms; }
  int timeout() const { return timeout_ms_; }
  void setTranscript(Transcript sink) { transcript_ = std::move(sink); }
  // Largest multi-line body accepted, in bytes.
  void setDataLimit(qint64 bytes) { data_limit_ = bytes; }

  // Connects; opened() follows (after the TLS handshake when implicitTls).
  // A certificate that fails verification is judged by judgeCertificate().
  void open(const QString& host, quint16 port, bool implicitTls);
  // Starts TLS on the open connection; secured() follows. Refused when the
  // server has already sent bytes past the reply that agreed to TLS: those
  // bytes would be read as if they had come over the secure connection.
  void startTls();
  bool isOpen() const;
  bool isEncrypted() const;
  QString localAddressLiteral() const;
  // Drops the connection at once; no signal follows.
  void close();

  // Sends one command line (CRLF appended). The transcript shows `shown`
  // instead when given (passwords). A line that breaksCommandLine() is not
  // sent: the connection is closed and failed() reports it.
  void sendLine(const QByteArray& line, const QByteArray& shown = {});
  // Sends bulk data (a message body); written() reports progress.
  void sendData(const QByteArray& data);
  // Waits for one reply of the given kind.
  void expect(ReplyKind kind, ReplyHandler handler);

 Q_SIGNALS:
  void opened();
  void secured();
  void failed(const maillib::NetError& error);
  void written(qint64 done, qint64 total);  // bulk data handed to the network
  void dataRead(qint64 bytes);     // bytes of a multi-line body received so far

 private:
  void onReadyRead();
  void onBytesWritten(qint64 bytes);
  void onSocketError();
  void onSslErrors(const QList<QSslError>& errors);
  void onTimeout();
  void fail(int code, const QString& diagnosis, const QString& serverText = {});
  bool parseReply();   // true when a reply was completed and handed on
  bool handOnReply();  // gives the finished reply to its handler
  bool takeLine(QByteArray& line);  // next complete line without its line end
  void armTimer();
  void log(const QString& text);

  QSslSocket* socket_ = nullptr;
  QTimer timer_;
  int timeout_ms_ = 60000;
  qint64 data_limit_ = qint64(256) << 20;
  Transcript transcript_;
  QString host_;
  quint16 port_ = 0;
  bool handshaking_ = false;
  bool starting_tls_ = false;
  bool connected_ = false;
  QString tls_errors_;
  QString tls_refusal_;  // our own reason for refusing the certificate
  // The socket whose certificate the user is being asked about: it is still
  // inside its own signal, so closing only lets go of it.
  QSslSocket* judging_ = nullptr;

  QByteArray buffer_;
  qsizetype pos_ = 0;

  ReplyHandler handler_;
  ReplyKind kind_ = ReplyKind::Pop3Status;
  bool in_data_ = false;   // Pop3Multi: status seen, reading lines
  Reply partial_;
  qint64 data_bytes_ = 0;
  qint64 pending_write_ = 0;
  qint64 written_ = 0;
};

}  // namespace maillib
