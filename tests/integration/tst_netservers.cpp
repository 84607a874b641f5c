// The mail control against real servers: Postfix takes mail over SMTP
// (STARTTLS, AUTH, SMTPS, size limit) and delivers it to the maildir that
// Dovecot serves over POP3 (STLS, POP3S); what comes back is byte for byte
// what the server holds. Certificates are checked for real.
#include "maillib/certificatetrust.h"
#include "maillib/mailcontrol.h"
#include "maillib/netsession.h"
#include "support/mailops.h"
#include "support/mailservers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// A control on one of the servers with its transcript on; logs in when
// given a password.
struct Client {
  Client(bool pop, const QString& host, const QString& password = MailServers::password()) {
    c.setDebugMode(1);
    c.setProtocol(pop ? 1 : 0);
    c.setHost(host);
    if (!password.isEmpty()) {
      c.setUserName(MailServers::user());
      c.setPassword(password);
    }
  }
  // Runs one operation to its end; true when it succeeded.
  bool run(int code) {
    const auto before = done.size() + error.size();
    const auto errors = error.size();
    c.setActionCode(code);
    ok = (c.Blocking() || QTest::qWaitFor([&] { return done.size() + error.size() > before; }, 30000)) &&
         error.size() == errors;
    return ok;
  }
  QString transcript() const {
    QStringList lines;
    for (const auto& a : debug)
      lines << a.at(0).toString();
    return lines.join('\n');
  }
  QString lastError() const { return error.isEmpty() ? QString() : error.last().at(1).toString(); }
  int lastCode() const { return error.isEmpty() ? 0 : error.last().at(0).toInt(); }

  bool ok = false;  // how the last operation ended
  MailControl c;
  QSignalSpy done{&c, &MailControl::Done}, error{&c, &MailControl::AsyncError}, debug{&c, &MailControl::Debug};
};

}  // namespace

class NetServersTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void init();
  void cleanupTestCase();
  void sentMailComesBackByteForByte_data();
  void sentMailComesBackByteForByte();
  void eachSendPortAndPop3s();
  void refusedBeforeCredentialsOrMail_data();
  void refusedBeforeCredentialsOrMail();
  void selfSignedCertificateTrustedOnFirstUseOnly();
  void tooLargeIsRefusedBeforeData();

 private:
  bool send(const QString& host, const QByteArray& raw, bool withLogin);
  QByteArray fetch(int n, bool blocking);

  MailServers servers_;
  QTemporaryDir scratch_;
};

void NetServersTest::initTestCase() {
  START_MAIL_SERVERS(servers_);
  maillib::NetSession::setDefaultTimeout(20000);
}

void NetServersTest::init() {
  qputenv("TOVELMAIL_CA_FILE", servers_.caFile().toLocal8Bit());
  qunsetenv("TOVELMAIL_SETTINGS");
  maillib::setCertificateDecider({});
  servers_.clearMailbox();
}

void NetServersTest::cleanupTestCase() { servers_.stop(); }

bool NetServersTest::send(const QString& host, const QByteArray& raw, bool withLogin) {
  Client k(false, host, withLogin ? MailServers::password() : QString());
  k.c.setSender(QStringLiteral("\"Sender Name\"<sender@example.org>"));
  if (!k.c.loadMessageBytes(raw))
    return false;
  const bool ok = k.run(3) && [&] {
    k.c.setTransferFlags(64);
    return k.run(15);
  }();
  k.run(8);
  if (!ok)
    qInfo().noquote() << "send refused:" << k.lastError();
  return ok;
}

QByteArray NetServersTest::fetch(int n, bool blocking) {
  Client k(true, servers_.pop3Host());
  k.c.setBlocking(blocking);
  if (!k.run(3) || k.c.MessageCount() < n)
    return {};
  k.c.setMessageNumber(QString::number(n));
  k.c.setTransferFlags(4);
  if (!k.run(13))
    return {};
  const QString file = scratch_.filePath(QStringLiteral("fetched-%1.msg").arg(n));
  QFile::remove(file);
  ops::store(k.c, file);
  k.run(8);
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
  QVERIFY(MailServers::crlf(stored).endsWith(body));

  const QByteArray fetched = fetch(1, blocking);
  QCOMPARE(fetched, MailServers::crlf(stored));
}

void NetServersTest::eachSendPortAndPop3s() {
  const QByteArray raw = "From: sender@example.org\r\nTo: demo@example.test\r\nSubject: ports\r\n\r\nhi\r\n";
  // Relaying through the submission port needs a login.
  QVERIFY(!send(servers_.submissionHost(), raw, false));
  QVERIFY(send(servers_.submissionHost(), raw, true));
  QVERIFY(send(QStringLiteral("smtps://") + servers_.smtpsHost(), raw, false));
  QVERIFY(servers_.waitForMessages(2, 20000));

  Client k(true, QStringLiteral("pop3s://") + servers_.pop3sHost());
  QVERIFY2(k.run(3), qPrintable(k.lastError()));
  QCOMPARE(k.c.MessageCount(), 2);
  QVERIFY(k.transcript().contains(QStringLiteral("TLS session established")));
  QVERIFY(!k.transcript().contains(QStringLiteral("--> STLS")));
  k.run(8);
}

void NetServersTest::refusedBeforeCredentialsOrMail_data() {
  QTest::addColumn<bool>("pop");
  QTest::addColumn<QString>("server");
  QTest::addColumn<QString>("password");
  QTest::addColumn<bool>("trusted");  // the authority that signed the servers' certificate
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("word");
  QTest::addColumn<QStringList>("inOrder");  // transcript lines, in this order
  QTest::addColumn<QStringList>("never");
  const QStringList nothingSent{"--> PASS", "--> AUTH", "--> MAIL"};
  // The plain ports switch to TLS before the login.
  QTest::newRow("POP3 wrong password")
      << true << "pop3" << "not it" << true << int(MailControl::ErrAuth) << "Authentication failed"
      << QStringList{"--> STLS", "TLS session established", "--> PASS ****"} << QStringList();
  QTest::newRow("submission wrong password")
      << false << "submission" << "wrong" << true << int(MailControl::ErrAuth) << ""
      << QStringList{"--> STARTTLS", "AUTH PLAIN ****"} << QStringList{"wrong"};
  QTest::newRow("POP3 untrusted certificate") << true << "pop3" << MailServers::password() << false
                                              << int(MailControl::ErrTls) << "certificate" << QStringList()
                                              << nothingSent;
  QTest::newRow("SMTP untrusted certificate") << false << "smtp" << MailServers::password() << false
                                              << int(MailControl::ErrTls) << "certificate" << QStringList()
                                              << nothingSent;
}

void NetServersTest::refusedBeforeCredentialsOrMail() {
  QFETCH(bool, pop);
  QFETCH(QString, server);
  QFETCH(QString, password);
  QFETCH(bool, trusted);
  QFETCH(int, code);
  QFETCH(QString, word);
  QFETCH(QStringList, inOrder);
  QFETCH(QStringList, never);
  if (!trusted)
    qunsetenv("TOVELMAIL_CA_FILE");
  const QString host = server == QLatin1String("pop3")   ? servers_.pop3Host()
                       : server == QLatin1String("smtp") ? servers_.smtpHost()
                                                         : servers_.submissionHost();
  Client k(pop, host, password);
  QVERIFY(!k.run(3));
  QCOMPARE(k.lastCode(), code);
  QVERIFY2(k.lastError().contains(word, Qt::CaseInsensitive), qPrintable(k.lastError()));
  const QString t = k.transcript();
  QVERIFY(!t.contains(MailServers::password()));
  qsizetype at = 0;
  for (const QString& line : inOrder) {
    at = t.indexOf(line, at);
    QVERIFY2(at >= 0, qPrintable(line));
  }
  for (const QString& line : never)
    QVERIFY2(!t.contains(line), qPrintable(line));
}

void NetServersTest::selfSignedCertificateTrustedOnFirstUseOnly() {
  MailServers office;
  office.setSelfSigned(true);
  START_MAIL_SERVERS(office);
  qunsetenv("TOVELMAIL_CA_FILE");
  QTemporaryDir config;
  qputenv("TOVELMAIL_SETTINGS", config.filePath(QStringLiteral("tovelmail.ini")).toLocal8Bit());
  QList<maillib::CertificateFacts> asked;
  maillib::setCertificateDecider([&](const maillib::CertificateFacts& facts) {
    asked << facts;
    return true;
  });
  // POP3 asynchronous, SMTP blocking: the question comes inside both.
  auto connectOnce = [&](bool pop) {
    auto k = std::make_unique<Client>(pop, pop ? office.pop3Host() : office.smtpHost());
    k->c.setBlocking(!pop);
    k->run(3);
    return k;
  };

  for (const bool pop : {true, false}) {
    const auto first = connectOnce(pop);
    QVERIFY2(first->ok, qPrintable(first->lastError()));
    QCOMPARE(asked.size(), pop ? 1 : 2);
    const maillib::CertificateFacts& facts = asked.last();
    QCOMPARE(facts.server, pop ? office.pop3Host() : office.smtpHost());
    QCOMPARE(facts.subject, QStringLiteral("CN=localhost"));
    QCOMPARE(facts.issuer, QStringLiteral("CN=localhost"));
    QCOMPARE(facts.fingerprint.size(), 32 * 3 - 1);
    QVERIFY(facts.validFrom < QDateTime::currentDateTimeUtc() &&
            QDateTime::currentDateTimeUtc() < facts.validUntil);
    QVERIFY(connectOnce(pop)->ok);  // silent the second time
    QCOMPARE(asked.size(), pop ? 1 : 2);
  }
  const QString storePath = maillib::CertificateTrustStore::defaultPath();
  QCOMPARE(QFileInfo(storePath).absolutePath(), QFileInfo(config.path()).absoluteFilePath());
  // Only the owner may read or write it (the User bits repeat the owner's).
  const auto userBits = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
  QCOMPARE(QFile::permissions(storePath) & ~userBits, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

  // The servers now show another certificate than the one trusted.
  QString why;
  QVERIFY2(office.renewCertificate(&why), qPrintable(why));
  for (const bool pop : {true, false}) {
    const auto changed = connectOnce(pop);
    QVERIFY(!changed->ok);
    QCOMPARE(asked.size(), 2);  // refused, not asked again
    QCOMPARE(changed->lastCode(), int(MailControl::ErrTls));
    QVERIFY2(changed->lastError().contains(QStringLiteral("not the one you trusted")),
             qPrintable(changed->lastError()));
    QVERIFY(changed->lastError().contains(storePath));
    QVERIFY(!changed->transcript().contains(QStringLiteral("--> PASS")));
    QVERIFY(!changed->transcript().contains(QStringLiteral("--> AUTH")));
  }
}

void NetServersTest::tooLargeIsRefusedBeforeData() {
  QByteArray raw = "From: sender@example.org\r\nTo: demo@example.test\r\nSubject: big\r\n\r\n";
  const QByteArray line = QByteArray(76, 'A') + "\r\n";
  while (raw.size() < 10400000)
    raw += line;
  Client k(false, servers_.smtpHost(), {});
  k.c.setSender(QStringLiteral("sender@example.org"));
  QVERIFY(k.c.loadMessageBytes(raw));
  QVERIFY(k.run(3));
  k.c.setTransferFlags(64);
  QVERIFY(!k.run(15));
  QCOMPARE(k.lastCode(), int(MailControl::ErrTooLarge));
  QVERIFY(!k.transcript().contains(QStringLiteral("--> DATA")));
  QVERIFY(!k.transcript().contains(QStringLiteral("--> MAIL")));
  // The session is still good for a message that fits.
  QVERIFY(k.c.loadMessageBytes("From: sender@example.org\r\nTo: demo@example.test\r\n\r\nsmall\r\n"));
  QVERIFY(k.run(15));
  k.run(8);
  QVERIFY(servers_.waitForMessages(1, 20000));
}

QTEST_GUILESS_MAIN(NetServersTest)
#include "tst_netservers.moc"
