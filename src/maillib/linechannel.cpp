#include "maillib/linechannel.h"

#include "maillib/certificatetrust.h"
#include "maillib/mailcontrol.h"
#include "maillib/tlsconfig.h"

#include <QCryptographicHash>
#include <QSslCipher>
#include <QSslSocket>
#include <cctype>

namespace maillib {

namespace {

// Longest reply line we wait for before calling the server broken.
constexpr qsizetype kMaxReplyLine = 64 * 1024;

// Server text made safe to show: control characters become blanks and an
// endless reply is cut short.
QString readable(const QByteArray& bytes) {
  QString text = QString::fromUtf8(bytes.left(400));
  for (QChar& c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f)
      c = QLatin1Char(' ');
  text = text.trimmed();
  if (bytes.size() > 400)
    text += QStringLiteral("...");
  return text;
}

bool startsWith(const QByteArray& line, const char* prefix) {
  return line.startsWith(prefix);
}

}  // namespace

bool breaksCommandLine(const QByteArray& text) {
  return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

bool breaksCommandLine(const QString& text) {
  return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
         text.contains(QChar(0));
}

QString NetError::text() const {
  if (serverText.isEmpty())
    return diagnosis;
  return QStringLiteral("%1 [%2]").arg(diagnosis, serverText);
}

QString Reply::shownText() const {
  if (code != 0)
    return QStringLiteral("%1 %2").arg(code).arg(readable(text));
  return readable((ok ? QByteArray("+OK ") : QByteArray("-ERR ")) + text);
}

LineChannel::LineChannel(QObject* parent) : QObject(parent) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &LineChannel::onTimeout);
}

LineChannel::~LineChannel() {
  if (judging_)
    judging_->setParent(nullptr);  // onSslErrors lets go of it
  close();
}

void LineChannel::log(const QString& text) {
  if (transcript_)
    transcript_(text);
}

void LineChannel::armTimer() { timer_.start(timeout_ms_); }

void LineChannel::open(const QString& host, quint16 port, bool implicitTls) {
  close();
  host_ = host;
  port_ = port;
  socket_ = new QSslSocket(this);
  socket_->setSslConfiguration(clientTlsConfiguration());
  connect(socket_, &QSslSocket::connected, this, [this] {
    connected_ = true;
    if (!handshaking_) {
      timer_.stop();
      Q_EMIT opened();
    }
  });
  connect(socket_, &QSslSocket::encrypted, this, [this] {
    handshaking_ = false;
    timer_.stop();
    log(QStringLiteral("TLS session established (%1)").arg(socket_->sessionCipher().name()));
    if (starting_tls_) {
      starting_tls_ = false;
      Q_EMIT secured();
    } else {
      Q_EMIT opened();
    }
  });
  connect(socket_, &QSslSocket::sslErrors, this, &LineChannel::onSslErrors);
  connect(socket_, &QSslSocket::readyRead, this, &LineChannel::onReadyRead);
  connect(socket_, &QSslSocket::bytesWritten, this, &LineChannel::onBytesWritten);
  connect(socket_, &QSslSocket::errorOccurred, this, &LineChannel::onSocketError);
  connect(socket_, &QSslSocket::disconnected, this, [this] {
    connected_ = false;
    if (handler_ || pending_write_ > 0 || handshaking_)
      fail(MailControl::ErrConnect, QStringLiteral("The server %1 closed the connection.").arg(host_));
  });
  armTimer();
  log(QStringLiteral("connecting to %1 port %2%3")
          .arg(host)
          .arg(port)
          .arg(implicitTls ? QStringLiteral(" with TLS") : QString()));
  if (implicitTls) {
    handshaking_ = true;
    socket_->connectToHostEncrypted(host, port);
  } else {
    socket_->connectToHost(host, port);
  }
}

void LineChannel::startTls() {
  if (!isOpen()) {
    fail(MailControl::ErrConnect, QStringLiteral("The connection to %1 is closed.").arg(host_));
    return;
  }
  if (pos_ < buffer_.size() || socket_->bytesAvailable() > 0) {
    fail(MailControl::ErrTls,
         QStringLiteral("The server %1 sent more than its answer before the secure connection "
                        "began, as an attacker on the line would; the connection was closed before "
                        "anything else was sent.")
             .arg(host_));
    return;
  }
  handshaking_ = true;
  starting_tls_ = true;
  armTimer();
  socket_->startClientEncryption();
}

bool LineChannel::isOpen() const {
  return socket_ && connected_ && socket_->state() == QAbstractSocket::ConnectedState;
}

bool LineChannel::isEncrypted() const { return socket_ && socket_->isEncrypted(); }

QString LineChannel::localAddressLiteral() const {
  if (!socket_)
    return QStringLiteral("[127.0.0.1]");
  const QHostAddress a = socket_->localAddress();
  if (a.protocol() == QAbstractSocket::IPv6Protocol)
    return QStringLiteral("[IPv6:%1]").arg(a.toString());
  return QStringLiteral("[%1]").arg(a.toString());
}

void LineChannel::close() {
  timer_.stop();
  handler_ = nullptr;
  in_data_ = false;
  handshaking_ = starting_tls_ = false;
  connected_ = false;
  pending_write_ = written_ = 0;
  buffer_.clear();
  pos_ = 0;
  tls_errors_.clear();
  tls_refusal_.clear();
  if (socket_) {
    QSslSocket* s = socket_;
    socket_ = nullptr;
    s->disconnect(this);
    if (s == judging_)
      return;
    s->abort();
    s->deleteLater();
  }
}

void LineChannel::fail(int code, const QString& diagnosis, const QString& serverText) {
  if (!socket_)
    return;
  NetError error{code, diagnosis, serverText};
  log(QStringLiteral("failed: %1").arg(error.text()));
  close();
  Q_EMIT failed(error);
}

void LineChannel::onSslErrors(const QList<QSslError>& errors) {
  QStringList texts;
  for (const QSslError& e : errors)
    texts << e.errorString();
  tls_errors_ = texts.join(QStringLiteral("; "));
  // The user may be asked: the server's silence meanwhile is not its fault.
  timer_.stop();
  QPointer<LineChannel> alive(this);
  QSslSocket* socket = socket_;
  judging_ = socket;
  const TrustVerdict verdict =
      judgeCertificate(serverKey(host_, port_), socket->peerCertificate(), errors);
  if (!alive || socket != socket_) {
    // Closed (or gone) while the user was asked: the socket goes once its
    // signal is over.
    if (alive)
      judging_ = nullptr;
    socket->deleteLater();
    return;
  }
  judging_ = nullptr;
  armTimer();
  if (verdict.trusted) {
    log(QStringLiteral("certificate trusted by the user (SHA-256 %1)")
            .arg(QString::fromLatin1(
                socket_->peerCertificate().digest(QCryptographicHash::Sha256).toHex(':').toUpper())));
    socket_->ignoreSslErrors(errors);
    return;
  }
  tls_refusal_ = verdict.refusal;
}

void LineChannel::onSocketError() {
  if (!socket_)
    return;
  const QAbstractSocket::SocketError err = socket_->error();
  const QString systemText = socket_->errorString();
  if (handshaking_ || err == QAbstractSocket::SslHandshakeFailedError ||
      err == QAbstractSocket::SslInternalError || err == QAbstractSocket::SslInvalidUserDataError) {
    const QString why = tls_errors_.isEmpty() ? systemText : tls_errors_;
    if (!tls_refusal_.isEmpty())
      return fail(MailControl::ErrTls, tls_refusal_, why);
    fail(MailControl::ErrTls,
         QStringLiteral("A secure connection to %1 could not be made; nothing was sent.").arg(host_),
         why);
    return;
  }
  switch (err) {
    case QAbstractSocket::ConnectionRefusedError:
      fail(MailControl::ErrConnect, QStringLiteral("The server %1 refused the connection.").arg(host_),
           systemText);
      return;
    case QAbstractSocket::HostNotFoundError:
      fail(MailControl::ErrConnect, QStringLiteral("The server name %1 was not found.").arg(host_),
           systemText);
      return;
    case QAbstractSocket::SocketTimeoutError:
      fail(MailControl::ErrTimeout, QStringLiteral("The server %1 did not answer in time.").arg(host_),
           systemText);
      return;
    case QAbstractSocket::RemoteHostClosedError:
      connected_ = false;
      if (handler_ || pending_write_ > 0)
        fail(MailControl::ErrConnect,
             QStringLiteral("The server %1 closed the connection.").arg(host_), systemText);
      return;
    default:
      fail(MailControl::ErrConnect,
           QStringLiteral("The connection to %1 failed.").arg(host_), systemText);
      return;
  }
}

void LineChannel::onTimeout() {
  const char* what = handshaking_          ? "while setting up TLS"
                     : !connected_         ? "while connecting"
                     : pending_write_ > 0  ? "while taking the message"
                                           : "to a command";
  fail(handshaking_ ? MailControl::ErrTls : MailControl::ErrTimeout,
       QStringLiteral("The server %1 did not answer %2 within %3 seconds.")
           .arg(host_, QString::fromLatin1(what))
           .arg(timeout_ms_ / 1000.0));
}

void LineChannel::sendLine(const QByteArray& line, const QByteArray& shown) {
  if (!isOpen()) {
    fail(MailControl::ErrConnect, QStringLiteral("The connection to %1 is closed.").arg(host_));
    return;
  }
  if (breaksCommandLine(line)) {
    fail(MailControl::ErrState,
         QStringLiteral("A command for %1 held a line break or NUL character and was not sent.")
             .arg(host_));
    return;
  }
  log(QStringLiteral("--> ") + QString::fromUtf8(shown.isEmpty() ? line : shown));
  socket_->write(line + "\r\n");
}

void LineChannel::sendData(const QByteArray& data) {
  if (!isOpen()) {
    fail(MailControl::ErrConnect, QStringLiteral("The connection to %1 is closed.").arg(host_));
    return;
  }
  log(QStringLiteral("--> [%1 bytes of message data]").arg(data.size()));
  pending_write_ = data.size();
  written_ = 0;
  armTimer();
  socket_->write(data);
}

void LineChannel::onBytesWritten(qint64 bytes) {
  if (pending_write_ <= 0)
    return;
  written_ = qMin(pending_write_, written_ + bytes);
  const qint64 done = written_;
  const qint64 total = pending_write_;
  if (written_ >= pending_write_) {
    pending_write_ = 0;
    if (!handler_)
      timer_.stop();
  } else {
    armTimer();
  }
  Q_EMIT written(done, total);
}

void LineChannel::expect(ReplyKind kind, ReplyHandler handler) {
  if (!isOpen()) {
    fail(MailControl::ErrConnect, QStringLiteral("The connection to %1 is closed.").arg(host_));
    return;
  }
  handler_ = std::move(handler);
  kind_ = kind;
  in_data_ = false;
  partial_ = Reply();
  data_bytes_ = 0;
  armTimer();
  if (pos_ < buffer_.size())
    QMetaObject::invokeMethod(this, &LineChannel::onReadyRead, Qt::QueuedConnection);
}

void LineChannel::onReadyRead() {
  if (!socket_)
    return;
  if (socket_->bytesAvailable() > 0)
    buffer_.append(socket_->readAll());
  if (handler_)
    armTimer();
  QPointer<LineChannel> alive(this);
  while (alive && socket_ && handler_ && parseReply()) {
  }
  if (!alive || !socket_)
    return;
  if (pos_ > 0 && (pos_ == buffer_.size() || pos_ > 256 * 1024)) {
    buffer_.remove(0, pos_);
    pos_ = 0;
  }
}

bool LineChannel::handOnReply() {
  Reply reply = std::move(partial_);
  partial_ = Reply();
  ReplyHandler handler = std::move(handler_);
  handler_ = nullptr;
  timer_.stop();
  handler(reply);
  return true;
}

bool LineChannel::takeLine(QByteArray& line) {
  const qsizetype nl = buffer_.indexOf('\n', pos_);
  if (nl < 0) {
    if (buffer_.size() - pos_ > kMaxReplyLine)
      fail(MailControl::ErrServer,
           QStringLiteral("The server %1 sent a reply line that never ends.").arg(host_));
    return false;
  }
  qsizetype end = nl;
  if (end > pos_ && buffer_.at(end - 1) == '\r')
    --end;
  line = buffer_.mid(pos_, end - pos_);
  pos_ = nl + 1;
  return true;
}

bool LineChannel::parseReply() {
  if (kind_ == ReplyKind::Smtp) {
    QByteArray line;
    while (takeLine(line)) {
      log(QStringLiteral("<-- ") + QString::fromUtf8(line));
      const bool shaped = line.size() >= 3 && std::isdigit(uchar(line[0])) &&
                          std::isdigit(uchar(line[1])) && std::isdigit(uchar(line[2])) &&
                          (line.size() == 3 || line[3] == ' ' || line[3] == '-');
      if (!shaped) {
        fail(MailControl::ErrServer,
             QStringLiteral("The server %1 does not speak SMTP as expected.").arg(host_),
             readable(line));
        return false;
      }
      partial_.code = line.left(3).toInt();
      partial_.text = line.mid(4);
      partial_.lines.append(partial_.text);
      if (line.size() == 3 || line[3] == ' ') {
        partial_.ok = partial_.code < 400;
        return handOnReply();
      }
    }
    return false;
  }

  if (!in_data_) {
    QByteArray line;
    if (!takeLine(line))
      return false;
    log(QStringLiteral("<-- ") + QString::fromUtf8(line));
    if (startsWith(line, "+OK")) {
      partial_.ok = true;
      partial_.text = line.mid(4);
    } else if (startsWith(line, "-ERR")) {
      partial_.ok = false;
      partial_.text = line.mid(5);
    } else {
      fail(MailControl::ErrServer,
           QStringLiteral("The server %1 does not speak POP3 as expected.").arg(host_),
           readable(line));
      return false;
    }
    if (kind_ == ReplyKind::Pop3Multi && partial_.ok) {
      in_data_ = true;
    } else {
      return handOnReply();
    }
  }

  // Body lines: copy runs of lines at once, dropping the stuffed dot of
  // lines that start with one, until the line that is a lone dot.
  qsizetype spanStart = pos_;
  bool complete = false;
  while (true) {
    const qsizetype nl = buffer_.indexOf('\n', pos_);
    if (nl < 0)
      break;
    if (buffer_.at(pos_) == '.') {
      partial_.data.append(buffer_.constData() + spanStart, pos_ - spanStart);
      qsizetype contentEnd = nl;
      if (contentEnd > pos_ && buffer_.at(contentEnd - 1) == '\r')
        --contentEnd;
      if (contentEnd - pos_ == 1) {
        pos_ = nl + 1;
        complete = true;
        break;
      }
      spanStart = pos_ + 1;
    }
    pos_ = nl + 1;
  }
  if (!complete)
    partial_.data.append(buffer_.constData() + spanStart, pos_ - spanStart);
  if (partial_.data.size() > data_limit_) {
    fail(MailControl::ErrTooLarge,
         QStringLiteral("The message on %1 is larger than %2 bytes.").arg(host_).arg(data_limit_));
    return false;
  }
  data_bytes_ = partial_.data.size();
  if (!complete) {
    Q_EMIT dataRead(data_bytes_);
    return false;
  }
  log(QStringLiteral("<-- [%1 bytes of message data]").arg(partial_.data.size()));
  log(QStringLiteral("<-- ."));
  Q_EMIT dataRead(data_bytes_);
  in_data_ = false;
  return handOnReply();
}

}  // namespace maillib
