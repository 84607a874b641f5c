#pragma once
// An SMTP client session (RFC 5321) with STARTTLS (RFC 3207), SIZE
// (RFC 1870), 8BITMIME and AUTH PLAIN / LOGIN / CRAM-MD5 (RFC 4954) over a
// LineChannel. Each call ends with its done function or the failure handler.
#include "maillib/addresses.h"
#include "maillib/protocolclient.h"

#include <QSet>
#include <QStringList>
#include <functional>

namespace maillib {

// bareAddress and splitAddressList: see addresses.h.
// The message as the DATA command carries it: CRLF line ends, leading dots
// doubled, ending with the line that is a lone dot.
QByteArray smtpDataBlock(const QByteArray& message);

class SmtpClient : public ProtocolClient {
  Q_OBJECT
 public:
  explicit SmtpClient(LineChannel* channel, QObject* parent = nullptr);

  // Connects, greets (EHLO, else HELO), switches to TLS when offered, and
  // authenticates when a user and password are given and AUTH is offered.
  void open(const QString& host, quint16 port, bool implicitTls, const QString& user,
            const QString& password, DoneFn done);
  // One message to the recipients; progress through the channel's written().
  void send(const QString& from, const QStringList& recipients, const QByteArray& message,
            DoneFn done);
  // QUIT, then closes. Never fails.
  void quit(DoneFn done);

  bool ready() const { return ready_; }
  qint64 sizeLimit() const { return size_limit_; }
  const QSet<QByteArray>& extensions() const { return ext_; }

 private:
  void sessionLost() override;
  void greet();
  void readExtensions(const Reply& r);
  void afterGreeting();
  void authenticate();
  void finishOpen();
  void sendRecipient(int index);

  DoneFn open_done_;
  QString host_, user_, password_;
  bool ready_ = false;
  QSet<QByteArray> ext_;      // keywords, upper case
  QList<QByteArray> auth_;    // offered mechanisms, upper case
  qint64 size_limit_ = 0;

  // The message under way.
  QStringList rcpts_;
  QByteArray block_;
  DoneFn send_done_;
};

}  // namespace maillib
