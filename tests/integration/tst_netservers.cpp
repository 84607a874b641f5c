// The mail control against real servers: Postfix takes mail over SMTP
// (STARTTLS, AUTH, SMTPS, size limit) and delivers it to the maildir that
// Dovecot serves over POP3 (STLS, POP3S); what comes back is byte for byte
// what the server holds. Certificates are checked for real.
#include "maillib/certificatetrust.h"
#include "maillib/mailcontrol.h"
#include "maillib/netsession.h"
#include "support/mailservers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray crlf(QByteArray lf) {
  lf.replace("\r\n", "\n");
  lf.replace("\n", "\r\n");
  return lf;
}

struct Spies {
  explicit Spies(MailControl* c)
      : done(c, &MailControl::Done), error(c, &MailControl::AsyncError), debug(c, &MailControl::Debug) {}
  QSignalSpy done, error, debug;
  QString transcript() const {
    QStringList lines;
    for (const auto& a : debug)
      lines << a.at(0).toString();
    return lines.join('\n');
  }
  QString lastError() const {
    return error.isEmpty() ? QString() : error.last().at(1).toString();
  }
  int lastCode() const { return error.isEmpty() ? 0 : error.last().at(0).toInt(); }
};

// Runs one operation to its end; true when it succeeded.
bool run(MailControl& c, Spies& s, int code) {
  const auto before = s.done.size() + s.error.size();
  const auto errors = s.error.size();
  c.setActionCode(code);
  if (c.Blocking())
    return s.error.size() == errors;
  if (!QTest::qWaitFor([&] { return s.done.size() + s.error.size() > before; }, 30000))
    return false;
  return s.error.size() == errors;
}

}  // namespace

class NetServersTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void init();
  void cleanupTestCase();
  void sentMailComesBackByteForByte_data();
  void sentMailComesBackByteForByte();
  void submissionNeedsTlsAndLogin();
  void implicitTlsPorts();
  void untrustedCertificateIsRefused();
  void certificateTrustedOnFirstUseOnly_data();
  void certificateTrustedOnFirstUseOnly();
  void wrongPopPassword();
  void tooLargeIsRefusedBeforeData();
  void deleteAndQuitCommits();

 private:
  bool send(const QString& host, const QByteArray& raw, bool withLogin, Spies** spiesOut = nullptr);
  QByteArray fetch(int n, bool blocking);

  MailServers servers_;
  QTemporaryDir scratch_;
};

void NetServersTest::initTestCase() {
  START_MAIL_SERVERS(servers_);
  qputenv("TOVELMAIL_CA_FILE", servers_.caFile().toLocal8Bit());
  maillib::NetSession::setDefaultTimeout(20000);
}

void NetServersTest::init() {
  qputenv("TOVELMAIL_CA_FILE", servers_.caFile().toLocal8Bit());
  qunsetenv("TOVELMAIL_SETTINGS");
  maillib::setCertificateDecider({});
  servers_.clearMailbox();
}

void NetServersTest::cleanupTestCase() { servers_.stop(); }

bool NetServersTest::send(const QString& host, const QByteArray& raw, bool withLogin, Spies**) {
  MailControl c;
  Spies s(&c);
  c.setDebugMode(1);
  c.setProtocol(0);
  c.setHost(host);
  if (withLogin) {
    c.setUserName(MailServers::user());
    c.setPassword(MailServers::password());
  }
  c.setSender(QStringLiteral("\"Sender Name\"<sender@example.org>"));
  if (!c.loadMessageBytes(raw))
    return false;
  const bool ok = run(c, s, 3) && [&] {
    c.setTransferFlags(64);
    return run(c, s, 15);
  }();
  run(c, s, 8);
  if (!ok)
    qInfo().noquote() << "send refused:" << s.lastError();
  return ok;
}

QByteArray NetServersTest::fetch(int n, bool blocking) {
  MailControl c;
  Spies s(&c);
  c.setBlocking(blocking);
  c.setProtocol(1);
  c.setHost(servers_.pop3Host());
  c.setUserName(MailServers::user());
  c.setPassword(MailServers::password());
  if (!run(c, s, 3) || c.MessageCount() < n)
    return {};
  c.setMessageNumber(QString::number(n));
  c.setTransferFlags(4);
  if (!run(c, s, 13))
    return {};
  const QString file = scratch_.filePath(QStringLiteral("fetched-%1.msg").arg(n));
  QFile::remove(file);
  c.setMessageFile(file);
  c.setTransferFlags(32);
  c.setActionCode(15);
  run(c, s, 8);
  QFile f(file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void NetServersTest::sentMailComesBackByteForByte_data() {
  QTest::addColumn<bool>("blocking");
  QTest::newRow("asynchronous") << false;
  QTest::newRow("blocking") << true;
}

void NetServersTest::sentMailComesBackByteForByte() {
  QFETCH(bool, blocking);
  const QByteArray body =
      "Ayubowan \xe0\xb6\x86\xe0\xb6\xba\xe0\xb7\x94\r\n"
      ".a line that starts with a dot\r\n"
      ".\r\n"
      "..\r\n"
      "last line\r\n";
  const QByteArray raw = "From: Sender Name <sender@example.org>\r\n"
                         "To: \"Demo, the user\" <demo@example.test>\r\n"
                         "Bcc: secret-copy@example.test\r\n"
                         "Subject: round trip\r\n"
                         "MIME-Version: 1.0\r\n"
                         "Content-Type: text/plain; charset=utf-8\r\n"
                         "Content-Transfer-Encoding: 8bit\r\n"
                         "\r\n" + body;
  // The Bcc address has no mailbox here: only the To copy is delivered.
  QVERIFY(!send(servers_.smtpHost(), raw, false));
  QCOMPARE(servers_.messageCount(), 0);  // nobody got a partial send

  const QByteArray noBccAddress = QByteArray(raw).replace("secret-copy@example.test", "demo@example.test");
  QVERIFY(send(servers_.smtpHost(), noBccAddress, false));
  QVERIFY(servers_.waitForMessages(1, 20000));
  const QByteArray stored = servers_.messages().first();
  QVERIFY(!stored.contains("Bcc:"));
  QVERIFY(crlf(stored).endsWith(body));

  const QByteArray fetched = fetch(1, blocking);
  QCOMPARE(fetched, crlf(stored));
}

void NetServersTest::submissionNeedsTlsAndLogin() {
  const QByteArray raw = "From: sender@example.org\r\nTo: demo@example.test\r\nSubject: auth\r\n\r\nhi\r\n";
  // Relaying through the submission port needs a login.
  QVERIFY(!send(servers_.submissionHost(), raw, false));
  QVERIFY(send(servers_.submissionHost(), raw, true));

  MailControl c;
  Spies s(&c);
  c.setDebugMode(1);
  c.setProtocol(0);
  c.setHost(servers_.submissionHost());
  c.setUserName(MailServers::user());
  c.setPassword(QStringLiteral("wrong"));
  QVERIFY(!run(c, s, 3));
  QCOMPARE(s.lastCode(), int(MailControl::ErrAuth));
  const QString t = s.transcript();
  QVERIFY(t.contains(QStringLiteral("--> STARTTLS")));
  QVERIFY(t.indexOf(QStringLiteral("STARTTLS")) < t.indexOf(QStringLiteral("AUTH PLAIN ****")));
  QVERIFY(!t.contains(MailServers::password()));
  QVERIFY(!t.contains(QStringLiteral("wrong")));
  QVERIFY(servers_.waitForMessages(1, 20000));
}

void NetServersTest::implicitTlsPorts() {
  const QByteArray raw = "From: sender@example.org\r\nTo: demo@example.test\r\nSubject: smtps\r\n\r\nhi\r\n";
  QVERIFY(send(QStringLiteral("smtps://") + servers_.smtpsHost(), raw, false));
  QVERIFY(servers_.waitForMessages(1, 20000));

  MailControl c;
  Spies s(&c);
  c.setDebugMode(1);
  c.setProtocol(1);
  c.setHost(QStringLiteral("pop3s://") + servers_.pop3sHost());
  c.setUserName(MailServers::user());
  c.setPassword(MailServers::password());
  QVERIFY2(run(c, s, 3), qPrintable(s.lastError()));
  QCOMPARE(c.MessageCount(), 1);
  QVERIFY(s.transcript().contains(QStringLiteral("TLS session established")));
  QVERIFY(!s.transcript().contains(QStringLiteral("--> STLS")));
  run(c, s, 8);

  // The plain port switches to TLS before the login.
  c.setHost(servers_.pop3Host());
  s.debug.clear();
  QVERIFY(run(c, s, 3));
  const QString t = s.transcript();
  QVERIFY(t.contains(QStringLiteral("--> STLS")));
  QVERIFY(t.indexOf(QStringLiteral("TLS session established")) < t.indexOf(QStringLiteral("--> PASS")));
  run(c, s, 8);
}

void NetServersTest::untrustedCertificateIsRefused() {
  qunsetenv("TOVELMAIL_CA_FILE");
  for (const bool pop : {true, false}) {
    MailControl c;
    Spies s(&c);
    c.setDebugMode(1);
    c.setProtocol(pop ? 1 : 0);
    c.setHost(pop ? servers_.pop3Host() : servers_.smtpHost());
    c.setUserName(MailServers::user());
    c.setPassword(MailServers::password());
    QVERIFY(!run(c, s, 3));
    QCOMPARE(s.lastCode(), int(MailControl::ErrTls));
    QVERIFY2(s.lastError().contains(QStringLiteral("certificate"), Qt::CaseInsensitive),
             qPrintable(s.lastError()));
    QVERIFY(!s.transcript().contains(QStringLiteral("--> PASS")));
    QVERIFY(!s.transcript().contains(QStringLiteral("--> AUTH")));
    QVERIFY(!s.transcript().contains(QStringLiteral("--> MAIL")));
  }
}

void NetServersTest::certificateTrustedOnFirstUseOnly_data() {
  QTest::addColumn<bool>("pop");
  QTest::addColumn<bool>("blocking");
  QTest::newRow("POP3 STLS, asynchronous") << true << false;
  QTest::newRow("SMTP STARTTLS, blocking") << false << true;
}

void NetServersTest::certificateTrustedOnFirstUseOnly() {
  QFETCH(bool, pop);
  QFETCH(bool, blocking);
  qunsetenv("TOVELMAIL_CA_FILE");
  QTemporaryDir config;
  qputenv("TOVELMAIL_SETTINGS", config.filePath(QStringLiteral("tovelmail.ini")).toLocal8Bit());
  QList<maillib::CertificateFacts> asked;
  maillib::setCertificateDecider([&](const maillib::CertificateFacts& facts) {
    asked << facts;
    return true;
  });
  struct Outcome {
    bool ok = false;
    int code = 0;
    QString error, transcript;
  };
  auto connectOnce = [&] {
    MailControl c;
    Spies s(&c);
    c.setBlocking(blocking);
    c.setDebugMode(1);
    c.setProtocol(pop ? 1 : 0);
    c.setHost(pop ? servers_.pop3Host() : servers_.smtpHost());
    c.setUserName(MailServers::user());
    c.setPassword(MailServers::password());
    Outcome out;
    out.ok = run(c, s, 3);
    out.code = s.lastCode();
    out.error = s.lastError();
    run(c, s, 8);
    out.transcript = s.transcript();
    return out;
  };

  const Outcome first = connectOnce();
  QVERIFY2(first.ok, qPrintable(first.error));
  QCOMPARE(asked.size(), 1);
  const maillib::CertificateFacts facts = asked.first();
  QCOMPARE(facts.server, pop ? servers_.pop3Host() : servers_.smtpHost());
  QCOMPARE(facts.subject, QStringLiteral("CN=localhost"));
  QCOMPARE(facts.issuer, QStringLiteral("CN=Test Mail Authority"));
  QCOMPARE(facts.fingerprint.size(), 32 * 3 - 1);
  QVERIFY(facts.validFrom < QDateTime::currentDateTimeUtc() &&
          QDateTime::currentDateTimeUtc() < facts.validUntil);
  const QString storePath = maillib::CertificateTrustStore::defaultPath();
  QCOMPARE(QFileInfo(storePath).absolutePath(), QFileInfo(config.path()).absoluteFilePath());
  // Only the owner may read or write it (the User bits repeat the owner's).
  QCOMPARE(QFile::permissions(storePath) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
           QFileDevice::ReadOwner | QFileDevice::WriteOwner);

  QVERIFY(connectOnce().ok);  // silent the second time
  QCOMPARE(asked.size(), 1);

  // The server now shows another certificate than the one trusted.
  QString other = facts.fingerprint;
  other[0] = other[0] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
  QVERIFY(maillib::CertificateTrustStore(storePath).trust(facts.server, other));
  const Outcome changed = connectOnce();
  QVERIFY(!changed.ok);
  QCOMPARE(asked.size(), 1);  // refused, not asked again
  QCOMPARE(changed.code, int(MailControl::ErrTls));
  QVERIFY2(changed.error.contains(QStringLiteral("not the one you trusted")), qPrintable(changed.error));
  QVERIFY(changed.error.contains(storePath));
  QVERIFY(!changed.transcript.contains(QStringLiteral("--> PASS")));
  QVERIFY(!changed.transcript.contains(QStringLiteral("--> AUTH")));

}

void NetServersTest::wrongPopPassword() {
  MailControl c;
  Spies s(&c);
  c.setProtocol(1);
  c.setHost(servers_.pop3Host());
  c.setUserName(MailServers::user());
  c.setPassword(QStringLiteral("not it"));
  QVERIFY(!run(c, s, 3));
  QCOMPARE(s.lastCode(), int(MailControl::ErrAuth));
  QVERIFY(s.lastError().contains(QStringLiteral("Authentication failed")));
}

void NetServersTest::tooLargeIsRefusedBeforeData() {
  QByteArray raw = "From: sender@example.org\r\nTo: demo@example.test\r\nSubject: big\r\n\r\n";
  const QByteArray line = QByteArray(76, 'A') + "\r\n";
  while (raw.size() < 10400000)
    raw += line;
  MailControl c;
  Spies s(&c);
  c.setDebugMode(1);
  c.setProtocol(0);
  c.setHost(servers_.smtpHost());
  c.setSender(QStringLiteral("sender@example.org"));
  QVERIFY(c.loadMessageBytes(raw));
  QVERIFY(run(c, s, 3));
  c.setTransferFlags(64);
  QVERIFY(!run(c, s, 15));
  QCOMPARE(s.lastCode(), int(MailControl::ErrTooLarge));
  QVERIFY(!s.transcript().contains(QStringLiteral("--> DATA")));
  QVERIFY(!s.transcript().contains(QStringLiteral("--> MAIL")));
  // The session is still good for a message that fits.
  QVERIFY(c.loadMessageBytes("From: sender@example.org\r\nTo: demo@example.test\r\n\r\nsmall\r\n"));
  QVERIFY(run(c, s, 15));
  run(c, s, 8);
  QVERIFY(servers_.waitForMessages(1, 20000));
}

void NetServersTest::deleteAndQuitCommits() {
  for (int i = 1; i <= 3; ++i)
    servers_.deliver("Subject: " + QByteArray::number(i) + "\n\nbody\n");
  MailControl c;
  Spies s(&c);
  c.setProtocol(1);
  c.setHost(servers_.pop3Host());
  c.setUserName(MailServers::user());
  c.setPassword(MailServers::password());
  QVERIFY(run(c, s, 3));
  QCOMPARE(c.MessageCount(), 3);
  QCOMPARE(c.MessageSize(1), long(crlf("Subject: 1\n\nbody\n").size()));
  c.setMessageNumber(QStringLiteral("2"));
  QVERIFY(run(c, s, 10));
  QVERIFY(run(c, s, 8));
  const QList<QByteArray> left = servers_.messages();
  QCOMPARE(left.size(), 2);
  QVERIFY(left[0].startsWith("Subject: 1"));
  QVERIFY(left[1].startsWith("Subject: 3"));
}

QTEST_GUILESS_MAIN(NetServersTest)
#include "tst_netservers.moc"
