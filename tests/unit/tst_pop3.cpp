// The POP3 side of the mail control against a scripted server: what the
// control reports for good sessions, broken servers, silence and cut
// connections, in both asynchronous and blocking mode.
#include "maillib/mailcontrol.h"
#include "maillib/netsession.h"
#include "support/scriptedpeer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

namespace {

const QByteArray kBig = "Subject: big\r\n\r\n" + QByteArray(20000, 'q') + "\r\n";

// A control pointed at a scripted mailbox. The scripted server speaks no
// TLS, so the login in clear is allowed.
struct Session {
  explicit Session(const QList<QByteArray>& mail) {
    peer.servePop3(mail);
    c.setProtocol(1);
    c.setHost(peer.host());
    c.setUserName(QStringLiteral("joe"));
    c.setPassword(QStringLiteral("s3cret"));
    c.setAllowPlainLogin(true);
  }
  // Starts `action` (on message `n` when given) and waits until it has
  // reported Done or AsyncError; false when it reports nothing, or more.
  bool run(int action, int n = 0, int ms = 5000) {
    if (n > 0)
      c.setMessageNumber(QString::number(n));
    c.setTransferFlags(4);
    c.setActionCode(action);
    ++events;
    if (!QTest::qWaitFor([&] { return done.size() + error.size() >= events; }, ms))
      return false;
    QTest::qWait(30);  // nothing further may follow
    return done.size() + error.size() == events;
  }
  int errorCode(int i = -1) const { return error.at(i < 0 ? error.size() - 1 : i).at(0).toInt(); }
  QString errorText() const { return error.last().at(1).toString(); }
  bool sent(const char* prefix) const {
    return std::any_of(peer.commands.begin(), peer.commands.end(),
                       [&](const QByteArray& cmd) { return cmd.startsWith(prefix); });
  }

  ScriptedPeer peer;
  MailControl c;
  QSignalSpy done{&c, &MailControl::Done}, error{&c, &MailControl::AsyncError}, debug{&c, &MailControl::Debug};
  qsizetype events = 0;
};

}  // namespace

class Pop3Test : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() { maillib::NetSession::setDefaultTimeout(5000); }
  void serverAddresses();
  void connectReadsCountAndSizesOnce();
  void faultsEndInOneErrorNotAHang_data();
  void faultsEndInOneErrorNotAHang();
  void disconnectWhileConnectingIsQuiet();
  void refusedDeleteLeavesSessionUsable();
  void blockingModeFinishesInsideTheCall();
  void transcriptMasksThePassword();
  void loginNeverGoesOutUnprotected_data();
  void loginNeverGoesOutUnprotected();
};

void Pop3Test::serverAddresses() {
  // "host port", " tls" when TLS starts at once, or "bad".
  auto parsed = [](const char* text, bool pop3) {
    maillib::ServerAddress a;
    if (!maillib::parseServerAddress(QString::fromLatin1(text), pop3, &a))
      return QStringLiteral("bad");
    return QStringLiteral("%1 %2%3").arg(a.host).arg(a.port).arg(a.implicitTls ? " tls" : "");
  };
  QCOMPARE(parsed("mail.example.org", true), QStringLiteral("mail.example.org 110"));
  QCOMPARE(parsed("mail.example.org", false), QStringLiteral("mail.example.org 25"));
  QCOMPARE(parsed(" 127.0.0.1:995 ", true), QStringLiteral("127.0.0.1 995 tls"));
  QCOMPARE(parsed("[::1]:2525", false), QStringLiteral("::1 2525"));
  QCOMPARE(parsed("pop3s://mail.example.org", true), QStringLiteral("mail.example.org 995 tls"));
  QCOMPARE(parsed("smtps://127.0.0.1:2465", false), QStringLiteral("127.0.0.1 2465 tls"));
  QCOMPARE(parsed("smtp.example.org:465", false), QStringLiteral("smtp.example.org 465 tls"));
  for (const char* bad : {"host:", "host:0", "host:70000", "host:x", "", "a b", "[::1", "[::1]x"})
    QVERIFY2(parsed(bad, false) == QLatin1String("bad"), bad);
  QCOMPARE(parsed("smtps://x", true), QStringLiteral("bad"));
  QCOMPARE(parsed("http://x", false), QStringLiteral("bad"));
}

void Pop3Test::connectReadsCountAndSizesOnce() {
  Session empty({});
  QVERIFY(empty.run(3));
  QCOMPARE(empty.done.size(), 1);  // an empty mailbox is no error
  QCOMPARE(empty.c.MessageCount(), 0);

  Session p({"Subject: one\r\n\r\nx\r\n", QByteArray(5000, 'y') + "\r\n", "z\r\n"});
  p.c.setActionCode(3);
  QCOMPARE(p.done.size(), 0);  // the call returns before the work is done
  p.events = 1;
  QVERIFY(QTest::qWaitFor([&] { return p.done.size() == 1; }, 5000));
  QCOMPARE(p.c.MessageCount(), 3);
  QCOMPARE(p.c.MessageSize(2), 5002L);
  QCOMPARE(p.c.MessageSize(4), 0L);
  QVERIFY(p.peer.commands.contains("PASS s3cret"));
  QVERIFY(p.run(8));
  QCOMPARE(p.peer.commands.last(), QByteArray("QUIT"));
  QCOMPARE(p.error.size(), 0);
}

void Pop3Test::faultsEndInOneErrorNotAHang_data() {
  QTest::addColumn<QByteArray>("greeting");
  QTest::addColumn<QByteArray>("command");  // answered with reply, then after
  QTest::addColumn<QByteArray>("reply");
  QTest::addColumn<int>("after");
  QTest::addColumn<int>("failing");  // 3: the connect fails; 13: the retrieve of message 1
  QTest::addColumn<int>("code");
  QTest::addColumn<QStringList>("words");
  QTest::addColumn<QByteArray>("never");  // a command that must not reach the server
  const QByteArray ready = "+OK scripted POP3 ready\r\n";
  const int stay = ScriptedPeer::Stay;
  QTest::newRow("not POP3") << QByteArray("HTTP/1.0 400 Bad\r\n") << QByteArray() << QByteArray() << stay << 3
                            << int(MailControl::ErrServer) << QStringList() << QByteArray("USER");
  QTest::newRow("refusing") << QByteArray("-ERR go away\r\n") << QByteArray() << QByteArray() << stay << 3
                            << int(MailControl::ErrServer) << QStringList() << QByteArray("USER");
  QTest::newRow("binary junk") << QByteArray("\x01\x02\xff\r\n", 6) << QByteArray() << QByteArray() << stay << 3
                               << int(MailControl::ErrServer) << QStringList() << QByteArray("USER");
  QTest::newRow("endless line") << QByteArray("+OK ") + QByteArray(200000, 'a') << QByteArray() << QByteArray()
                                << stay << 3 << int(MailControl::ErrServer) << QStringList() << QByteArray("USER");
  QTest::newRow("silent") << QByteArray() << QByteArray() << QByteArray() << stay << 3
                          << int(MailControl::ErrTimeout) << QStringList() << QByteArray("USER");
  QTest::newRow("STAT without count") << ready << QByteArray("STAT") << QByteArray("+OK lots\r\n") << stay << 3
                                      << int(MailControl::ErrServer) << QStringList() << QByteArray("LIST");
  QTest::newRow("wrong password") << ready << QByteArray("PASS") << QByteArray("-ERR [AUTH] Authentication failed.\r\n")
                                  << stay << 3 << int(MailControl::ErrAuth)
                                  << QStringList{"refused the login", "[AUTH] Authentication failed."}
                                  << QByteArray("STAT");
  // Once a retrieve has lost the session, a delete is refused at home.
  QTest::newRow("cut in a message") << ready << QByteArray("RETR 1") << "+OK\r\n" + kBig.left(9000)
                                    << int(ScriptedPeer::Close) << 13 << int(MailControl::ErrConnect)
                                    << QStringList{"closed the connection"} << QByteArray("DELE");
  QTest::newRow("silent after RETR") << ready << QByteArray("RETR 1") << QByteArray() << int(ScriptedPeer::Silence)
                                     << 13 << int(MailControl::ErrTimeout) << QStringList() << QByteArray("DELE");
}

void Pop3Test::faultsEndInOneErrorNotAHang() {
  QFETCH(QByteArray, greeting);
  QFETCH(QByteArray, command);
  QFETCH(QByteArray, reply);
  QFETCH(int, after);
  QFETCH(int, failing);
  QFETCH(int, code);
  QFETCH(QStringList, words);
  QFETCH(QByteArray, never);
  if (code == MailControl::ErrTimeout)
    maillib::NetSession::setDefaultTimeout(300);
  Session p({kBig});
  p.peer.greeting = greeting;
  if (!command.isEmpty())
    p.peer.on(command, reply, ScriptedPeer::After(after));
  QElapsedTimer clock;
  clock.start();
  QVERIFY(p.run(3));
  if (failing == 13) {
    QCOMPARE(p.done.size(), 1);
    QVERIFY(p.run(13, 1));
    QCOMPARE(p.done.size(), 1);
    QVERIFY(p.run(10, 1));
    QCOMPARE(p.errorCode(), int(MailControl::ErrState));
  }
  QCOMPARE(p.done.size(), failing == 13 ? 1 : 0);
  QCOMPARE(p.errorCode(0), code);
  const QString text = p.error.at(0).at(1).toString();
  QVERIFY(!text.isEmpty() && text.size() < 1000);
  for (const QString& word : words)
    QVERIFY2(text.contains(word), qPrintable(text));
  QVERIFY(!p.sent(never.constData()));
  if (code == MailControl::ErrTimeout)
    QVERIFY(clock.elapsed() < 3000);
  // Put right, the same control connects and fetches at once.
  p.peer.servePop3({kBig});
  QVERIFY(p.run(3));
  QVERIFY(p.run(13, 1));
  QCOMPARE(p.done.size(), failing == 13 ? 3 : 2);
}

void Pop3Test::disconnectWhileConnectingIsQuiet() {
  maillib::NetSession::setDefaultTimeout(300);
  Session p({});
  p.peer.greeting.clear();  // silent
  p.c.setActionCode(3);
  p.c.setActionCode(8);
  QTest::qWait(700);  // past the connect's timeout
  QCOMPARE(p.done.size(), 1);
  QCOMPARE(p.error.size(), 0);
}

void Pop3Test::refusedDeleteLeavesSessionUsable() {
  Session p({"a\r\n", "b\r\n"});
  p.peer.on("DELE 1", "-ERR message already deleted\r\n");
  QVERIFY(p.run(3));
  QVERIFY(p.run(10, 1));
  QCOMPARE(p.errorCode(), int(MailControl::ErrServer));
  QVERIFY(p.errorText().contains(QStringLiteral("already deleted")));
  QVERIFY(p.run(10, 2));
  QCOMPARE(p.done.size(), 2);
  // Numbers the server does not have never reach it.
  QVERIFY(p.run(10, 7));
  QCOMPARE(p.errorCode(), int(MailControl::ErrState));
  p.c.setMessageNumber(QStringLiteral("seven"));
  p.c.setActionCode(10);
  QTRY_COMPARE(p.error.size(), 3);
  QCOMPARE(p.errorCode(), int(MailControl::ErrState));
  QVERIFY(!p.peer.commands.contains("DELE 7"));
}

void Pop3Test::blockingModeFinishesInsideTheCall() {
  Session p({"a\r\n", "b\r\n"});
  p.c.setBlocking(true);
  p.c.setActionCode(3);
  QCOMPARE(p.c.MessageCount(), 2);
  p.c.setMessageNumber(QStringLiteral("2"));
  p.c.setActionCode(10);
  QVERIFY(p.peer.commands.contains("DELE 2"));
  p.c.setActionCode(8);
  QVERIFY(p.peer.commands.contains("QUIT"));
  QTest::qWait(50);
  QCOMPARE(p.done.size(), 0);
  QCOMPARE(p.error.size(), 0);
  // A failure arrives inside the call as well.
  p.peer.on("PASS", "-ERR no\r\n");
  p.c.setActionCode(3);
  QCOMPARE(p.error.size(), 1);
  QCOMPARE(p.errorCode(), int(MailControl::ErrAuth));
}

void Pop3Test::transcriptMasksThePassword() {
  Session p({"a\r\n"});
  p.c.setDebugMode(1);
  QVERIFY(p.run(3));
  QStringList lines;
  for (const auto& args : p.debug)
    lines << args.at(0).toString();
  QVERIFY(lines.contains(QStringLiteral("--> USER joe")));
  QVERIFY(lines.contains(QStringLiteral("--> PASS ****")));
  QVERIFY(lines.contains(QStringLiteral("<-- +OK logged in")));
  QVERIFY(!lines.join('\n').contains(QStringLiteral("s3cret")));
  p.c.setDebugMode(0);
  const auto before = p.debug.size();
  QVERIFY(p.run(8));
  QCOMPARE(p.debug.size(), before);
}

void Pop3Test::loginNeverGoesOutUnprotected_data() {
  QTest::addColumn<QByteArray>("capa");
  QTest::addColumn<QByteArray>("stlsReply");
  QTest::addColumn<bool>("allowPlain");
  QTest::addColumn<QString>("user");
  QTest::addColumn<int>("code");  // 0: the login goes through
  QTest::addColumn<QString>("why");
  const QByteArray plain = "+OK\r\nUSER\r\n.\r\n";
  const QByteArray stls = "+OK\r\nSTLS\r\nUSER\r\n.\r\n";
  QTest::newRow("no STLS offered") << plain << QByteArray() << false << "joe" << int(MailControl::ErrTls)
                                   << "turn on \"Allow password without encryption\"";
  QTest::newRow("no STLS, plain allowed") << plain << QByteArray() << true << "joe" << 0 << "";
  // Offered and agreed, but the server then speaks no TLS: never skipped.
  QTest::newRow("no TLS after STLS") << stls << QByteArray("+OK begin TLS\r\n") << true << "joe"
                                     << int(MailControl::ErrTls) << "";
  // A man in the middle answers for the server before TLS starts.
  QTest::newRow("bytes after the STLS answer")
      << stls << QByteArray("+OK begin TLS\r\n+OK logged in\r\n") << true << "joe"
      << int(MailControl::ErrTls) << "before the secure connection began";
  QTest::newRow("line break in the user name")
      << plain << QByteArray() << true << "joe\r\nDELE 1" << int(MailControl::ErrAuth) << "line break";
}

void Pop3Test::loginNeverGoesOutUnprotected() {
  QFETCH(QByteArray, capa);
  QFETCH(QByteArray, stlsReply);
  QFETCH(bool, allowPlain);
  QFETCH(QString, user);
  QFETCH(int, code);
  QFETCH(QString, why);
  maillib::NetSession::setDefaultTimeout(1000);
  Session p({"a\r\n"});
  p.peer.on("CAPA", capa);
  if (!stlsReply.isEmpty())
    p.peer.on("STLS", stlsReply);
  p.c.setUserName(user);
  p.c.setAllowPlainLogin(allowPlain);
  QVERIFY(p.run(3, 0, 10000));
  if (code == 0) {
    QCOMPARE(p.done.size(), 1);
    QVERIFY(p.peer.commands.contains("PASS s3cret"));
    return;
  }
  QCOMPARE(p.errorCode(), code);
  QVERIFY(!p.sent("USER") && !p.sent("PASS") && !p.sent("DELE"));
  QVERIFY(p.errorText().contains(QStringLiteral("127.0.0.1")));
  QVERIFY2(p.errorText().contains(why), qPrintable(p.errorText()));
}

QTEST_GUILESS_MAIN(Pop3Test)
#include "tst_pop3.moc"
