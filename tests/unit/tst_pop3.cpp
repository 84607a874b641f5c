// The POP3 side of the mail control against a scripted server: what the
// control reports for good sessions, broken servers, silence and cut
// connections, in both asynchronous and blocking mode.
#include "maillib/linechannel.h"
#include "maillib/mailcontrol.h"
#include "maillib/netsession.h"
#include "maillib/pop3client.h"
#include "support/scriptedpeer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {

const QByteArray kTricky =
    "From: a@example.org\r\nSubject: dots\r\n\r\n.leading dot\r\n..two dots\r\n.\r\nend\r\n";

struct Spies {
  explicit Spies(MailControl* c)
      : done(c, &MailControl::Done), error(c, &MailControl::AsyncError),
        progress(c, &MailControl::Progress), debug(c, &MailControl::Debug) {}
  QSignalSpy done, error, progress, debug;
  int errorCode(int i = 0) const { return error.at(i).at(0).toInt(); }
  QString errorText(int i = 0) const { return error.at(i).at(1).toString(); }
};

// The scripted server speaks no TLS, so the login in clear is allowed.
void point(MailControl& c, const ScriptedPeer& peer) {
  c.setProtocol(1);
  c.setHost(peer.host());
  c.setUserName(QStringLiteral("joe"));
  c.setPassword(QStringLiteral("s3cret"));
  c.setAllowPlainLogin(true);
}

// Waits until the control has reported count events (Done or AsyncError).
bool settle(Spies& s, int count = 1, int ms = 5000) {
  if (!QTest::qWaitFor([&] { return s.done.size() + s.error.size() >= count; }, ms))
    return false;
  // Nothing further may follow.
  QTest::qWait(30);
  return s.done.size() + s.error.size() == count;
}

}  // namespace

class Pop3Test : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() { maillib::NetSession::setDefaultTimeout(5000); }
  void hostAndPortText();
  void connectReadsCountAndSizesOnce();
  void emptyMailboxIsNotAnError();
  void retrieveUnstuffsAndKeepsBytes();
  void wrongPasswordKeepsServerTextApart();
  void brokenServersGiveErrorsNotHangs_data();
  void brokenServersGiveErrorsNotHangs();
  void cutInTheMiddleOfAMessage();
  void silentServerTimesOut();
  void disconnectWhileConnectingIsQuiet();
  void refusedDeleteLeavesSessionUsable();
  void blockingModeFinishesInsideTheCall();
  void transcriptMasksThePassword();
  void offeredTlsIsNeverSkipped();
  void loginNeverGoesOutUnprotected_data();
  void loginNeverGoesOutUnprotected();
};

void Pop3Test::hostAndPortText() {
  QString host;
  quint16 port = 0;
  QVERIFY(maillib::parseHostPort(QStringLiteral("mail.example.org"), 110, &host, &port));
  QCOMPARE(host, QStringLiteral("mail.example.org"));
  QCOMPARE(port, quint16(110));
  QVERIFY(maillib::parseHostPort(QStringLiteral(" 127.0.0.1:995 "), 110, &host, &port));
  QCOMPARE(host, QStringLiteral("127.0.0.1"));
  QCOMPARE(port, quint16(995));
  QVERIFY(maillib::parseHostPort(QStringLiteral("[::1]:2525"), 25, &host, &port));
  QCOMPARE(host, QStringLiteral("::1"));
  QCOMPARE(port, quint16(2525));
  for (const char* bad : {"host:", "host:0", "host:70000", "host:x", "", "a b", "[::1", "[::1]x"})
    QVERIFY2(!maillib::parseHostPort(QString::fromLatin1(bad), 25, &host, &port), bad);

  // TLS from the start: the well-known ports, or asked for by name.
  maillib::ServerAddress a;
  QVERIFY(maillib::parseServerAddress(QStringLiteral("mail.example.org:995"), true, &a));
  QVERIFY(a.implicitTls);
  QVERIFY(maillib::parseServerAddress(QStringLiteral("mail.example.org"), true, &a));
  QVERIFY(!a.implicitTls);
  QCOMPARE(a.port, quint16(110));
  QVERIFY(maillib::parseServerAddress(QStringLiteral("pop3s://mail.example.org"), true, &a));
  QVERIFY(a.implicitTls);
  QCOMPARE(a.port, quint16(995));
  QVERIFY(maillib::parseServerAddress(QStringLiteral("smtps://127.0.0.1:2465"), false, &a));
  QVERIFY(a.implicitTls);
  QCOMPARE(a.port, quint16(2465));
  QVERIFY(maillib::parseServerAddress(QStringLiteral("smtp.example.org:465"), false, &a));
  QVERIFY(a.implicitTls);
  QVERIFY(!maillib::parseServerAddress(QStringLiteral("smtps://x"), true, &a));
  QVERIFY(!maillib::parseServerAddress(QStringLiteral("http://x"), false, &a));
}

void Pop3Test::connectReadsCountAndSizesOnce() {
  ScriptedPeer peer;
  peer.servePop3({"Subject: one\r\n\r\nx\r\n", QByteArray(5000, 'y') + "\r\n", "z\r\n"});
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setActionCode(3);
  QCOMPARE(s.done.size(), 0);  // the call returns before the work is done
  QVERIFY(settle(s));
  QCOMPARE(s.done.size(), 1);
  QCOMPARE(c.MessageCount(), 3);
  QCOMPARE(c.MessageSize(2), 5002L);
  QCOMPARE(c.MessageSize(4), 0L);
  QVERIFY(peer.commands.contains("PASS s3cret"));
  c.setActionCode(8);
  QVERIFY(settle(s, 2));
  QCOMPARE(peer.commands.last(), QByteArray("QUIT"));
}

void Pop3Test::emptyMailboxIsNotAnError() {
  ScriptedPeer peer;
  peer.servePop3({});
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setActionCode(3);
  QVERIFY(settle(s));
  QCOMPARE(s.done.size(), 1);
  QCOMPARE(c.MessageCount(), 0);
}

void Pop3Test::retrieveUnstuffsAndKeepsBytes() {
  // The client layer: the message comes back exactly as it was before the
  // server stuffed it, and progress reaches the whole size.
  ScriptedPeer peer;
  peer.servePop3({kTricky, QByteArray("LF only\nline\n")});
  maillib::LineChannel channel;
  maillib::Pop3Client pop(&channel);
  pop.setAllowPlainLogin(true);
  QList<maillib::NetError> errors;
  pop.setFailureHandler([&](const maillib::NetError& e) { errors << e; });
  QSignalSpy read(&channel, &maillib::LineChannel::dataRead);
  bool loggedIn = false;
  pop.login(QStringLiteral("127.0.0.1"), peer.port(), false, QStringLiteral("u"), QStringLiteral("p"),
            [&] { loggedIn = true; });
  QTRY_VERIFY(loggedIn || !errors.isEmpty());
  QVERIFY(errors.isEmpty());
  QByteArray got;
  bool have = false;
  pop.retrieve(1, [&](QByteArray& data) { got = data; have = true; });
  QTRY_VERIFY(have || !errors.isEmpty());
  QCOMPARE(got, kTricky);
  QVERIFY(!read.isEmpty());
  QCOMPARE(read.last().at(0).toLongLong(), qint64(kTricky.size()));
  have = false;
  pop.retrieve(2, [&](QByteArray& data) { got = data; have = true; });
  QTRY_VERIFY(have || !errors.isEmpty());
  QCOMPARE(got, QByteArray("LF only\r\nline\r\n"));  // the peer sends CRLF; kept as sent
}

void Pop3Test::wrongPasswordKeepsServerTextApart() {
  ScriptedPeer peer;
  peer.servePop3({"x\r\n"});
  peer.on("PASS", "-ERR [AUTH] Authentication failed.\r\n");
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setActionCode(3);
  QVERIFY(settle(s));
  QCOMPARE(s.errorCode(), int(MailControl::ErrAuth));
  QVERIFY(s.errorText().contains(QStringLiteral("refused the login")));
  QVERIFY(s.errorText().contains(QStringLiteral("[AUTH] Authentication failed.")));
  QVERIFY(!peer.commands.contains("STAT"));
}

void Pop3Test::brokenServersGiveErrorsNotHangs_data() {
  QTest::addColumn<QByteArray>("greeting");
  QTest::addColumn<QByteArray>("statReply");
  QTest::addColumn<int>("code");
  QTest::newRow("not POP3") << QByteArray("HTTP/1.0 400 Bad\r\n") << QByteArray() << int(MailControl::ErrServer);
  QTest::newRow("refusing") << QByteArray("-ERR go away\r\n") << QByteArray() << int(MailControl::ErrServer);
  QTest::newRow("binary junk") << QByteArray("\x01\x02\xff\r\n", 6) << QByteArray() << int(MailControl::ErrServer);
  QTest::newRow("STAT without count") << QByteArray("+OK\r\n") << QByteArray("+OK lots\r\n") << int(MailControl::ErrServer);
  QTest::newRow("endless line") << QByteArray("+OK ") + QByteArray(200000, 'a') << QByteArray() << int(MailControl::ErrServer);
}

void Pop3Test::brokenServersGiveErrorsNotHangs() {
  QFETCH(QByteArray, greeting);
  QFETCH(QByteArray, statReply);
  QFETCH(int, code);
  ScriptedPeer peer;
  peer.servePop3({"x\r\n"});
  peer.greeting = greeting;
  if (!statReply.isEmpty())
    peer.on("STAT", statReply);
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setActionCode(3);
  QVERIFY(settle(s));
  QCOMPARE(s.errorCode(), code);
  QVERIFY(!s.errorText().isEmpty());
  QVERIFY(s.errorText().size() < 1000);
}

void Pop3Test::cutInTheMiddleOfAMessage() {
  ScriptedPeer peer;
  peer.servePop3({QByteArray("Subject: big\r\n\r\n") + QByteArray(20000, 'q') + "\r\n"});
  peer.cutRetr(1, 9000);
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setActionCode(3);
  QVERIFY(settle(s));
  c.setMessageNumber(QStringLiteral("1"));
  c.setTransferFlags(4);
  c.setActionCode(13);
  QVERIFY(settle(s, 2));
  QCOMPARE(s.done.size(), 1);  // only the connect
  QCOMPARE(s.errorCode(), int(MailControl::ErrConnect));
  QVERIFY(s.errorText().contains(QStringLiteral("closed the connection")));
  // The session is gone: deleting now is refused, not sent anywhere.
  c.setActionCode(10);
  QVERIFY(settle(s, 3));
  QCOMPARE(s.errorCode(1), int(MailControl::ErrState));
  QVERIFY(!peer.commands.contains("DELE 1"));
}

void Pop3Test::silentServerTimesOut() {
  maillib::NetSession::setDefaultTimeout(300);
  ScriptedPeer peer;  // accepts and never says a word
  MailControl c;
  Spies s(&c);
  point(c, peer);
  QElapsedTimer clock;
  clock.start();
  c.setActionCode(3);
  QVERIFY(settle(s));
  QCOMPARE(s.errorCode(), int(MailControl::ErrTimeout));
  QVERIFY(clock.elapsed() < 3000);

  // Silence after a command, too.
  ScriptedPeer later;
  later.servePop3({"x\r\n"});
  later.on("RETR 1", {}, ScriptedPeer::Silence);
  point(c, later);
  c.setActionCode(3);
  QVERIFY(settle(s, 2));
  c.setMessageNumber(QStringLiteral("1"));
  c.setTransferFlags(4);
  c.setActionCode(13);
  QVERIFY(settle(s, 3));
  QCOMPARE(s.errorCode(1), int(MailControl::ErrTimeout));
}

void Pop3Test::disconnectWhileConnectingIsQuiet() {
  maillib::NetSession::setDefaultTimeout(300);
  ScriptedPeer peer;  // silent
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setActionCode(3);
  c.setActionCode(8);
  QTest::qWait(700);  // past the connect's timeout
  QCOMPARE(s.done.size(), 1);
  QCOMPARE(s.error.size(), 0);
}

void Pop3Test::refusedDeleteLeavesSessionUsable() {
  ScriptedPeer peer;
  peer.servePop3({"a\r\n", "b\r\n"});
  peer.on("DELE 1", "-ERR message already deleted\r\n");
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setActionCode(3);
  QVERIFY(settle(s));
  c.setMessageNumber(QStringLiteral("1"));
  c.setActionCode(10);
  QVERIFY(settle(s, 2));
  QCOMPARE(s.errorCode(), int(MailControl::ErrServer));
  QVERIFY(s.errorText().contains(QStringLiteral("already deleted")));
  c.setMessageNumber(QStringLiteral("2"));
  c.setActionCode(10);
  QVERIFY(settle(s, 3));
  QCOMPARE(s.done.size(), 2);
  // Numbers the server does not have never reach it.
  c.setMessageNumber(QStringLiteral("7"));
  c.setActionCode(10);
  c.setMessageNumber(QStringLiteral("seven"));
  c.setActionCode(10);
  QVERIFY(settle(s, 5));
  QCOMPARE(s.errorCode(1), int(MailControl::ErrState));
  QCOMPARE(s.errorCode(2), int(MailControl::ErrState));
  QVERIFY(!peer.commands.contains("DELE 7"));
}

void Pop3Test::blockingModeFinishesInsideTheCall() {
  ScriptedPeer peer;
  peer.servePop3({"a\r\n", "b\r\n"});
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setBlocking(true);
  c.setActionCode(3);
  QCOMPARE(c.MessageCount(), 2);
  c.setMessageNumber(QStringLiteral("2"));
  c.setActionCode(10);
  QVERIFY(peer.commands.contains("DELE 2"));
  c.setActionCode(8);
  QVERIFY(peer.commands.contains("QUIT"));
  QTest::qWait(50);
  QCOMPARE(s.done.size(), 0);
  QCOMPARE(s.error.size(), 0);
  // A failure arrives inside the call as well.
  peer.on("PASS", "-ERR no\r\n");
  c.setActionCode(3);
  QCOMPARE(s.error.size(), 1);
  QCOMPARE(s.errorCode(), int(MailControl::ErrAuth));
}

void Pop3Test::transcriptMasksThePassword() {
  ScriptedPeer peer;
  peer.servePop3({"a\r\n"});
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setDebugMode(1);
  c.setActionCode(3);
  QVERIFY(settle(s));
  QStringList lines;
  for (const auto& args : s.debug)
    lines << args.at(0).toString();
  QVERIFY(lines.contains(QStringLiteral("--> USER joe")));
  QVERIFY(lines.contains(QStringLiteral("--> PASS ****")));
  QVERIFY(lines.contains(QStringLiteral("<-- +OK logged in")));
  QVERIFY(!lines.join('\n').contains(QStringLiteral("s3cret")));
  c.setDebugMode(0);
  const auto before = s.debug.size();
  c.setActionCode(8);
  QVERIFY(settle(s, 2));
  QCOMPARE(s.debug.size(), before);
}

void Pop3Test::offeredTlsIsNeverSkipped() {
  // The server offers STLS, agrees, and then does not speak TLS: the login
  // must not go out in plain text.
  maillib::NetSession::setDefaultTimeout(1000);
  ScriptedPeer peer;
  peer.servePop3({"a\r\n"});
  peer.on("CAPA", "+OK\r\nSTLS\r\nUSER\r\n.\r\n");
  peer.on("STLS", "+OK begin TLS\r\n");
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setActionCode(3);
  QVERIFY(settle(s, 1, 10000));
  QCOMPARE(s.errorCode(), int(MailControl::ErrTls));
  for (const QByteArray& cmd : peer.commands)
    QVERIFY(!cmd.startsWith("USER") && !cmd.startsWith("PASS"));
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
  QTest::newRow("no STLS offered") << plain << QByteArray() << false << "joe"
                                   << int(MailControl::ErrTls)
                                   << "turn on \"Allow password without encryption\"";
  QTest::newRow("no STLS, plain allowed") << plain << QByteArray() << true << "joe" << 0 << "";
  // A man in the middle answers for the server before TLS starts.
  QTest::newRow("bytes after the STLS answer")
      << stls << QByteArray("+OK begin TLS\r\n+OK logged in\r\n") << true << "joe"
      << int(MailControl::ErrTls) << "before the secure connection began";
  QTest::newRow("line break in the user name")
      << plain << QByteArray() << true << "joe\r\nDELE 1" << int(MailControl::ErrAuth)
      << "line break";
}

void Pop3Test::loginNeverGoesOutUnprotected() {
  QFETCH(QByteArray, capa);
  QFETCH(QByteArray, stlsReply);
  QFETCH(bool, allowPlain);
  QFETCH(QString, user);
  QFETCH(int, code);
  QFETCH(QString, why);
  ScriptedPeer peer;
  peer.servePop3({"a\r\n"});
  peer.on("CAPA", capa);
  if (!stlsReply.isEmpty())
    peer.on("STLS", stlsReply);
  MailControl c;
  Spies s(&c);
  point(c, peer);
  c.setUserName(user);
  c.setAllowPlainLogin(allowPlain);
  c.setActionCode(3);
  QVERIFY(settle(s));
  if (code == 0) {
    QCOMPARE(s.done.size(), 1);
    QVERIFY(peer.commands.contains("PASS s3cret"));
    return;
  }
  QCOMPARE(s.errorCode(), code);
  for (const QByteArray& cmd : peer.commands)
    QVERIFY2(!cmd.startsWith("USER") && !cmd.startsWith("PASS") && !cmd.startsWith("DELE"), cmd);
  QVERIFY(s.errorText().contains(QStringLiteral("127.0.0.1")));
  QVERIFY2(s.errorText().contains(why), qPrintable(s.errorText()));
}

QTEST_GUILESS_MAIN(Pop3Test)
#include "tst_pop3.moc"
