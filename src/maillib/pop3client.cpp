#include "maillib/pop3client.h"

#include "maillib/mailcontrol.h"

namespace maillib {

Pop3Client::Pop3Client(LineChannel* channel, QObject* parent) : ProtocolClient(channel, parent) {}

void Pop3Client::sessionLost() {
  logged_in_ = false;
  dropPipeline();
}

qint64 Pop3Client::messageSize(int n) const {
  return n >= 1 && n <= sizes_.size() ? sizes_[n - 1] : 0;
}

void Pop3Client::login(const QString& host, quint16 port, bool implicitTls, const QString& user,
                       const QString& password, DoneFn done) {
  host_ = host;
  user_ = user;
  password_ = password;
  login_done_ = std::move(done);
  logged_in_ = false;
  count_ = 0;
  sizes_.clear();
  uidls_.clear();
  pipelining_ = false;
  // What an abandoned session left under way.
  dropPipeline();
  disconnect(ch_, &LineChannel::opened, this, nullptr);
  disconnect(ch_, &LineChannel::secured, this, nullptr);
  connect(ch_, &LineChannel::opened, this, [this] {
    ch_->expect(ReplyKind::Pop3Status, [this](Reply& r) {
      if (!r.ok)
        return fail(MailControl::ErrServer,
                    QStringLiteral("The POP3 server %1 refused the session.").arg(host_), &r);
      afterGreeting();
    });
  });
  connect(ch_, &LineChannel::secured, this, [this] { sendUser(); });
  ch_->open(host, port, implicitTls);
}

void Pop3Client::afterGreeting() {
  if (ch_->isEncrypted())
    return sendUser();
  ch_->sendLine("CAPA");
  ch_->expect(ReplyKind::Pop3Multi, [this](Reply& r) {
    bool stls = false;
    if (r.ok)
      for (const QByteArray& line : r.data.split('\n'))
        if (line.trimmed().toUpper() == "STLS")
          stls = true;
    if (!stls)
      return sendUser();
    ch_->sendLine("STLS");
    ch_->expect(ReplyKind::Pop3Status, [this](Reply& r2) {
      if (!r2.ok)
        return fail(MailControl::ErrTls,
                    QStringLiteral("The POP3 server %1 offered TLS but then refused it; the password "
                                   "was not sent.")
                        .arg(host_),
                    &r2);
      ch_->startTls();
    });
  });
}

void Pop3Client::sendUser() {
  if (user_.isEmpty())
    return fail(MailControl::ErrAuth, QStringLiteral("No POP3 user name is set."));
  if (!mayLogin(QStringLiteral("POP3 server %1").arg(host_), user_, password_))
    return;
  ch_->sendLine("USER " + user_.toUtf8());
  ch_->expect(ReplyKind::Pop3Status, [this](Reply& r) {
    if (!r.ok)
      return fail(MailControl::ErrAuth,
                  QStringLiteral("The POP3 server %1 refused the user name.").arg(host_), &r);
    ch_->sendLine("PASS " + password_.toUtf8(), "PASS ****");
    ch_->expect(ReplyKind::Pop3Status, [this](Reply& r2) {
      if (!r2.ok)
        return fail(MailControl::ErrAuth,
                    QStringLiteral("The POP3 server %1 refused the login.").arg(host_), &r2);
      readStat();
    });
  });
}

void Pop3Client::readStat() {
  ch_->sendLine("STAT");
  ch_->expect(ReplyKind::Pop3Status, [this](Reply& r) {
    bool okCount = false;
    const int count = r.text.split(' ').value(0).toInt(&okCount);
    if (!r.ok || !okCount || count < 0)
      return fail(MailControl::ErrServer,
                  QStringLiteral("The POP3 server %1 did not say how many messages it holds.")
                      .arg(host_),
                  &r);
    count_ = count;
    sizes_.fill(0, count);
    ch_->sendLine("LIST");
    ch_->expect(ReplyKind::Pop3Multi, [this](Reply& r2) {
      if (r2.ok) {
        for (const QByteArray& raw : r2.data.split('\n')) {
          const QList<QByteArray> f = raw.trimmed().split(' ');
          if (f.size() < 2)
            continue;
          const int n = f[0].toInt();
          if (n >= 1 && n <= count_)
            sizes_[n - 1] = f[1].toLongLong();
        }
      }
      readCapabilities();
    });
  });
}


}  // namespace maillib
