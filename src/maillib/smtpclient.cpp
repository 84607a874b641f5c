#include "maillib/smtpclient.h"

#include "maillib/mailcontrol.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

namespace maillib {

QByteArray smtpDataBlock(const QByteArray& message) {
  QByteArray out;
  out.reserve(message.size() + message.size() / 50 + 8);
  bool lineStart = true;
  const qsizetype n = message.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char c = message[i];
    if (lineStart && c == '.')
      out += '.';
    if (c == '\n') {
      if (out.isEmpty() || out.back() != '\r')
        out += '\r';
      out += '\n';
      lineStart = true;
      continue;
    }
    if (c == '\r' && (i + 1 >= n || message[i + 1] != '\n')) {
      // A bare CR ends a line too.
      out += "\r\n";
      lineStart = true;
      continue;
    }
    out += c;
    lineStart = false;
  }
  if (!out.isEmpty() && !out.endsWith("\r\n"))
    out += "\r\n";
  out += ".\r\n";
  return out;
}

namespace {

// An address as an error message shows it: line breaks and NULs written out,
// so the user sees what was wrong with it.
QString visibleAddress(QString text) {
  text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
  text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
  text.replace(QChar(0), QStringLiteral("\\0"));
  return text;
}

}  // namespace

SmtpClient::SmtpClient(LineChannel* channel, QObject* parent) : ProtocolClient(channel, parent) {}

void SmtpClient::sessionLost() { ready_ = false; }

void SmtpClient::open(const QString& host, quint16 port, bool implicitTls, const QString& user,
                      const QString& password, DoneFn done) {
  host_ = host;
  user_ = user;
  password_ = password;
  open_done_ = std::move(done);
  ready_ = false;
  ext_.clear();
  auth_.clear();
  size_limit_ = 0;
  disconnect(ch_, &LineChannel::opened, this, nullptr);
  disconnect(ch_, &LineChannel::secured, this, nullptr);
  connect(ch_, &LineChannel::opened, this, [this] {
    ch_->expect(ReplyKind::Smtp, [this](Reply& r) {
      if (r.code != 220)
        return fail(MailControl::ErrServer,
                    QStringLiteral("The SMTP server %1 refused the session.").arg(host_), &r);
      greet();
    });
  });
  connect(ch_, &LineChannel::secured, this, [this] { greet(); });
  ch_->open(host, port, implicitTls);
}

void SmtpClient::greet() {
  const QByteArray name = ch_->localAddressLiteral().toLatin1();
  ch_->sendLine("EHLO " + name);
  ch_->expect(ReplyKind::Smtp, [this, name](Reply& r) {
    if (r.code == 250) {
      readExtensions(r);
      return afterGreeting();
    }
    // An old server: HELO, and no extensions.
    ch_->sendLine("HELO " + name);
    ch_->expect(ReplyKind::Smtp, [this](Reply& r2) {
      if (r2.code != 250)
        return fail(MailControl::ErrServer,
                    QStringLiteral("The SMTP server %1 refused the greeting.").arg(host_), &r2);
      ext_.clear();
      auth_.clear();
      afterGreeting();
    });
  });
}

void SmtpClient::readExtensions(const Reply& r) {
  ext_.clear();
  auth_.clear();
  size_limit_ = 0;
  for (int i = 1; i < r.lines.size(); ++i) {
    const QList<QByteArray> words = r.lines[i].trimmed().toUpper().split(' ');
    if (words.isEmpty() || words[0].isEmpty())
      continue;
    ext_.insert(words[0]);
    if (words[0] == "AUTH")
      auth_ = words.mid(1);
    else if (words[0] == "SIZE" && words.size() > 1)
      size_limit_ = words[1].toLongLong();
  }
}

void SmtpClient::afterGreeting() {
  if (!ch_->isEncrypted() && ext_.contains("STARTTLS")) {
    ch_->sendLine("STARTTLS");
    ch_->expect(ReplyKind::Smtp, [this](Reply& r) {
      if (r.code != 220)
        return fail(MailControl::ErrTls,
                    QStringLiteral("The SMTP server %1 offered TLS but then refused it; nothing "
                                   "was sent.")
                        .arg(host_),
                    &r);
      ch_->startTls();
    });
    return;
  }
  if (!user_.isEmpty() && !password_.isEmpty() && !auth_.isEmpty())
    return authenticate();
  finishOpen();
}

void SmtpClient::finishOpen() {
  ready_ = true;
  DoneFn done = std::move(open_done_);
  if (done)
    done();
}

void SmtpClient::authenticate() {
  if (!mayLogin(QStringLiteral("SMTP server %1").arg(host_), user_, password_))
    return;
  const QByteArray user = user_.toUtf8();
  const QByteArray pass = password_.toUtf8();
  auto onResult = [this](Reply& r) {
    if (r.code == 235)
      return finishOpen();
    fail(MailControl::ErrAuth, QStringLiteral("The SMTP server %1 refused the login.").arg(host_), &r);
  };
  // Without TLS (only when the user allowed it) CRAM-MD5 at least keeps the
  // password itself off the wire.
  QList<QByteArray> order;
  if (ch_->isEncrypted())
    order = {"PLAIN", "LOGIN", "CRAM-MD5"};
  else
    order = {"CRAM-MD5", "PLAIN", "LOGIN"};
  QByteArray mech;
  for (const QByteArray& m : order)
    if (auth_.contains(m)) {
      mech = m;
      break;
    }
  if (mech.isEmpty())
    return fail(MailControl::ErrAuth,
                QStringLiteral("The SMTP server %1 offers no login method this program knows (%2).")
                    .arg(host_, QString::fromLatin1(auth_.join(' '))));
  if (mech == "PLAIN") {
    const QByteArray token = (QByteArray(1, '\0') + user + '\0' + pass).toBase64();
    ch_->sendLine("AUTH PLAIN " + token, "AUTH PLAIN ****");
    ch_->expect(ReplyKind::Smtp, onResult);
  } else if (mech == "LOGIN") {
    ch_->sendLine("AUTH LOGIN");
    ch_->expect(ReplyKind::Smtp, [this, user, pass, onResult](Reply& r) {
      if (r.code != 334)
        return onResult(r);
      ch_->sendLine(user.toBase64(), "****");
      ch_->expect(ReplyKind::Smtp, [this, pass, onResult](Reply& r2) {
        if (r2.code != 334)
          return onResult(r2);
        ch_->sendLine(pass.toBase64(), "****");
        ch_->expect(ReplyKind::Smtp, onResult);
      });
    });
  } else {
    ch_->sendLine("AUTH CRAM-MD5");
    ch_->expect(ReplyKind::Smtp, [this, user, pass, onResult](Reply& r) {
      if (r.code != 334)
        return onResult(r);
      const QByteArray challenge = QByteArray::fromBase64(r.text.trimmed());
      const QByteArray digest =
          QMessageAuthenticationCode::hash(challenge, pass, QCryptographicHash::Md5).toHex();
      ch_->sendLine((user + ' ' + digest).toBase64(), "****");
      ch_->expect(ReplyKind::Smtp, onResult);
    });
  }
}

void SmtpClient::send(const QString& from, const QStringList& recipients, const QByteArray& message,
                      DoneFn done) {
  if (!ready_ || !ch_->isOpen())
    return fail(MailControl::ErrState, QStringLiteral("Not connected to an SMTP server."));
  if (recipients.isEmpty())
    return fail(MailControl::ErrState, QStringLiteral("The message has no recipients."), nullptr, true);
  const QStringList addresses = QStringList(recipients) << from;
  for (const QString& address : addresses)
    if (breaksCommandLine(address))
      return fail(MailControl::ErrState,
                  QStringLiteral("The address \"%1\" holds a line break or NUL character; nothing "
                                 "was sent.")
                      .arg(visibleAddress(address)),
                  nullptr, true);
  block_ = smtpDataBlock(message);
  if (size_limit_ > 0 && block_.size() > size_limit_)
    return fail(MailControl::ErrTooLarge,
                QStringLiteral("The message (%1 bytes) is larger than the %2 bytes the SMTP server %3 "
                               "accepts; nothing was sent.")
                    .arg(block_.size())
                    .arg(size_limit_)
                    .arg(host_),
                nullptr, true);
  rcpts_ = recipients;
  send_done_ = std::move(done);
  QByteArray mail = "MAIL FROM:<" + from.toUtf8() + ">";
  if (ext_.contains("SIZE"))
    mail += " SIZE=" + QByteArray::number(block_.size());
  if (ext_.contains("8BITMIME")) {
    for (const char c : message)
      if (uchar(c) >= 0x80) {
        mail += " BODY=8BITMIME";
        break;
      }
  }
  ch_->sendLine(mail);
  ch_->expect(ReplyKind::Smtp, [this](Reply& r) {
    if (r.code != 250)
      return fail(r.code == 552 ? MailControl::ErrTooLarge : MailControl::ErrServer,
                  QStringLiteral("The SMTP server %1 refused the sender.").arg(host_), &r, true);
    sendRecipient(0);
  });
}

void SmtpClient::sendRecipient(int index) {
  if (index >= rcpts_.size()) {
    ch_->sendLine("DATA");
    ch_->expect(ReplyKind::Smtp, [this](Reply& r) {
      if (r.code != 354)
        return fail(MailControl::ErrServer,
                    QStringLiteral("The SMTP server %1 refused to take the message.").arg(host_), &r, true);
      ch_->expect(ReplyKind::Smtp, [this](Reply& r2) {
        if (r2.code != 250)
          return fail(r2.code == 552 ? MailControl::ErrTooLarge : MailControl::ErrServer,
                      QStringLiteral("The SMTP server %1 did not accept the message.").arg(host_), &r2, true);
        block_.clear();
        DoneFn done = std::move(send_done_);
        done();
      });
      ch_->sendData(block_);
    });
    return;
  }
  const QString rcpt = rcpts_[index];
  ch_->sendLine("RCPT TO:<" + rcpt.toUtf8() + ">");
  ch_->expect(ReplyKind::Smtp, [this, index, rcpt](Reply& r) {
    if (r.code == 250 || r.code == 251)
      return sendRecipient(index + 1);
    // Nobody gets a message that some of its recipients would miss.
    const NetError error{r.code == 552 ? int(MailControl::ErrTooLarge) : int(MailControl::ErrServer),
                         QStringLiteral("The SMTP server %1 refused the recipient %2; nothing was "
                                        "sent.")
                             .arg(host_, rcpt),
                         r.shownText()};
    ch_->sendLine("RSET");
    ch_->expect(ReplyKind::Smtp, [this, error](Reply&) {
      if (fail_)
        fail_(error);
    });
  });
}

void SmtpClient::quit(DoneFn done) { sayGoodbye(ReplyKind::Smtp, std::move(done)); }

}  // namespace maillib
