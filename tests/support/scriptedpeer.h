#pragma once
// A scripted mail server on 127.0.0.1 for faults that real servers do not
// produce on demand: replies chosen per command, garbage, a connection cut in
// the middle of a message, or silence.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

class ScriptedPeer : public QObject {
  Q_OBJECT
 public:
  enum After { Stay, Close, Silence };

  ScriptedPeer();
  quint16 port() const { return server_.serverPort(); }
  QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

  // Sent when a client connects (nothing: the server stays silent).
  QByteArray greeting;
  // The reply to a command no rule matches.
  QByteArray unknownReply = "-ERR unknown command\r\n";
  // The reply to every command line that starts with `command` (compared
  // without regard to case; the longest matching rule wins), then `after`.
  void on(const QByteArray& command, const QByteArray& reply, After after = Stay);
  // After the reply to `command` the peer reads message data up to the line
  // "." and then sends `afterData`.
  void onData(const QByteArray& command, const QByteArray& reply, const QByteArray& afterData);

  // What arrived: command lines without line ends, and message data blocks
  // (the lines between the DATA reply and "." exactly as received).
  QList<QByteArray> commands;
  QList<QByteArray> dataBlocks;
  int connections = 0;
  // Called with each command line as it arrives, before it is answered.
  std::function<void(const QByteArray&)> onCommand;

  // A POP3 mailbox: greeting, USER/PASS, STAT, LIST, RETR n and DELE n for
  // these messages, QUIT. Messages are sent dot-stuffed with CRLF line ends.
  void servePop3(const QList<QByteArray>& messages);
  // An SMTP server: greeting, `ehlo` as the reply to EHLO, then MAIL, RCPT,
  // DATA (the message queued), RSET and QUIT accepted.
  void serveSmtp(const QByteArray& ehlo);
  // RETR n sends only the first `bytes` bytes of message n, then closes.
  void cutRetr(int n, int bytes);

  static QByteArray dotStuff(const QByteArray& message);

 private:
  struct Rule {
    QByteArray reply;
    After after = Stay;
    bool data = false;
    QByteArray afterData;
  };
  void onConnection();
  void onReadyRead(QTcpSocket* socket);

  QMap<QByteArray, Rule> rules_;
  QMap<QTcpSocket*, QByteArray> buffers_;
  QMap<QTcpSocket*, bool> inData_;
  QMap<QTcpSocket*, QByteArray> pendingAfterData_;
  QTcpServer server_;  // last: its sockets go before the maps they are kept in
};
