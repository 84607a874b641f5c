// Sending: the address checks, From and the message token, header values
// that try to add lines; the SMTP side: the DATA block, a session against a
// scripted server for greetings, login methods, size limits and refusals,
// the send session (accepted, refused, cut off, silent; one message or an
// out-box run; blocking and asynchronous); and trusting server certificates
// that fail verification: the stored file and the decision for a
// certificate that is new, trusted, declined or changed.
#include "compose/sendrules.h"
#include "compose/sendsession.h"
#include "maillib/addresses.h"
#include "maillib/certificatetrust.h"
#include "maillib/linechannel.h"
#include "maillib/mailcontrol.h"
#include "maillib/netsession.h"
#include "maillib/smtpclient.h"
#include "store/mailstore.h"
#include "support/scriptedpeer.h"
#include "support/testroot.h"

#include <QDir>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using maillib::smtpDataBlock;
using maillib::splitAddressList;

namespace {

struct Session {
  explicit Session(ScriptedPeer& peer, const QString& user = {}, const QString& password = {},
                   bool allowPlainLogin = false)
      : smtp(&channel) {
    smtp.setAllowPlainLogin(allowPlainLogin);
    smtp.setFailureHandler([this](const maillib::NetError& e) { errors << e; });
    smtp.open(QStringLiteral("127.0.0.1"), peer.port(), false, user, password, [this] { opened = true; });
    (void)QTest::qWaitFor([this] { return opened || !errors.isEmpty(); }, 5000);
  }
  bool send(const QStringList& rcpts, const QByteArray& message) {
    bool sent = false;
    const auto before = errors.size();
    smtp.send(QStringLiteral("me@example.org"), rcpts, message, [&] { sent = true; });
    (void)QTest::qWaitFor([&] { return sent || errors.size() > before; }, 5000);
    return sent;
  }
  maillib::LineChannel channel;
  maillib::SmtpClient smtp;
  QList<maillib::NetError> errors;
  bool opened = false;
};

}  // namespace

using maillib::CertificateTrustStore;

namespace {

QSslCertificate makeCertificate(const QTemporaryDir& dir, const QString& name) {
  const QString pem = dir.filePath(name + QStringLiteral(".pem"));
  QProcess openssl;
  openssl.start(QStringLiteral("openssl"),
                {"req", "-x509", "-newkey", "rsa:1024", "-nodes", "-days", "2", "-subj",
                 "/CN=" + name, "-keyout", dir.filePath(name + ".key"), "-out", pem});
  openssl.waitForFinished(30000);
  const QList<QSslCertificate> certs = QSslCertificate::fromPath(pem);
  return certs.isEmpty() ? QSslCertificate() : certs.first();
}

}  // namespace

using compose::SendSession;

namespace {

// Takes every message, but refuses the recipients at "refused@".
void serveSmtp(ScriptedPeer& peer) {
  peer.serveSmtp("250-scripted\r\n250 SIZE 100000000\r\n");
  peer.on("RCPT TO:<refused@", "550 5.1.1 <refused@x.org>: Recipient address rejected\r\n");
}

QByteArray queuedMessage(int i, const QByteArray& to = "a@x.org") {
  return "From: me@example.org\r\nTo: " + to + "\r\nSubject: queued " + QByteArray::number(i) +
         "\r\n\r\nbody " + QByteArray::number(i) + "\r\n";
}

QStringList namesIn(const TestRoot& root, const QString& folder) {
  return QDir(root.path(folder)).entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::Name);
}

// A session on its own control, the control's events handed to it as the
// compose window does.
struct SessionRig {
  explicit SessionRig(bool blocking) : session(&control) {
    control.setBlocking(blocking);
    QObject::connect(&control, &MailControl::Done, &session, &SendSession::done);
    QObject::connect(&control, &MailControl::AsyncError, &session, &SendSession::failed);
    QObject::connect(&control, &MailControl::Progress, &session, &SendSession::transferred);
    QObject::connect(&session, &SendSession::progress, [this](const QString& t) { progress << t; });
    QObject::connect(&session, &SendSession::finished, [this] { ++finished; });
  }
  bool waitForEnd() { return QTest::qWaitFor([this] { return finished > 0; }, 15000); }
  compose::SendAccount account(const ScriptedPeer& peer) const {
    return {peer.host(), {}, {}, QStringLiteral("Me <me@example.org>")};
  }
  MailControl control;
  SendSession session;
  QStringList progress;
  int finished = 0;
};

}  // namespace

class SmtpTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:

  void dataBlockStuffsDotsAndEndsLines() {
    QCOMPARE(smtpDataBlock("a\r\n.b\r\n.\r\nc"), QByteArray("a\r\n..b\r\n..\r\nc\r\n.\r\n"));
    QCOMPARE(smtpDataBlock("lf\nonly\n"), QByteArray("lf\r\nonly\r\n.\r\n"));
    QCOMPARE(smtpDataBlock(".first\n"), QByteArray("..first\r\n.\r\n"));
    QCOMPARE(smtpDataBlock("bare\rcr"), QByteArray("bare\r\ncr\r\n.\r\n"));
    QCOMPARE(smtpDataBlock("mid.dot\r\n"), QByteArray("mid.dot\r\n.\r\n"));
    QCOMPARE(smtpDataBlock(""), QByteArray(".\r\n"));
  }

  void sendsWhatTheServerExpects() {
    ScriptedPeer peer;
    peer.serveSmtp("250-scripted\r\n250-SIZE 100000\r\n250 8BITMIME\r\n");
    Session s(peer);
    QVERIFY(s.opened);
    const QByteArray message = "Subject: caf\xc3\xa9\n\n.dot\nend\n";
    QVERIFY(s.send({"a@x.org", "b@y.org"}, message));
    QCOMPARE(peer.dataBlocks, QList<QByteArray>({"Subject: caf\xc3\xa9\r\n\r\n..dot\r\nend\r\n"}));
    QVERIFY(peer.commands.contains("MAIL FROM:<me@example.org> SIZE=" +
                                   QByteArray::number(smtpDataBlock(message).size()) + " BODY=8BITMIME"));
    QVERIFY(peer.commands.contains("RCPT TO:<a@x.org>"));
    QVERIFY(peer.commands.contains("RCPT TO:<b@y.org>"));
  }

  void oldServerGetsHelo() {
    ScriptedPeer peer;
    peer.serveSmtp("502 not here\r\n");
    peer.on("HELO", "250 hello\r\n");
    Session s(peer, QStringLiteral("u"), QStringLiteral("p"));
    QVERIFY(s.opened);
    QVERIFY(s.send({"a@x.org"}, "x\r\n"));
    // No extensions known: no SIZE parameter, no AUTH.
    QVERIFY(peer.commands.contains("MAIL FROM:<me@example.org>"));
    for (const QByteArray& c : peer.commands)
      QVERIFY(!c.startsWith("AUTH"));
  }

  void loginMethods_data() {
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<QByteArray>("used");
    QTest::newRow("plain") << QByteArray("PLAIN LOGIN") << QByteArray("AUTH PLAIN");
    QTest::newRow("login") << QByteArray("LOGIN") << QByteArray("AUTH LOGIN");
    QTest::newRow("cram-md5 without TLS") << QByteArray("PLAIN CRAM-MD5") << QByteArray("AUTH CRAM-MD5");
  }

  void loginMethods() {
    QFETCH(QByteArray, offered);
    QFETCH(QByteArray, used);
    ScriptedPeer peer;
    peer.serveSmtp("250-scripted\r\n250 AUTH " + offered + "\r\n");
    const QByteArray challenge = "<1896.697170952@scripted>";
    peer.on("AUTH PLAIN", "235 ok\r\n");
    peer.on("AUTH LOGIN", "334 VXNlcm5hbWU6\r\n");
    peer.on("dXNlcg==", "334 UGFzc3dvcmQ6\r\n");  // "user"
    peer.on("cGFzcw==", "235 ok\r\n");            // "pass"
    peer.on("AUTH CRAM-MD5", "334 " + challenge.toBase64() + "\r\n");
    const QByteArray digest =
        QMessageAuthenticationCode::hash(challenge, "pass", QCryptographicHash::Md5).toHex();
    peer.on(QByteArray("user " + digest).toBase64(), "235 ok\r\n");
    // The scripted server has no TLS: the user allowed logins in clear.
    Session s(peer, QStringLiteral("user"), QStringLiteral("pass"), true);
    QVERIFY2(s.opened, s.errors.isEmpty() ? "" : qPrintable(s.errors.first().text()));
    bool found = false;
    for (const QByteArray& c : peer.commands)
      found = found || c.startsWith(used);
    QVERIFY(found);
    if (used == "AUTH PLAIN")
      QVERIFY(peer.commands.contains("AUTH PLAIN " + QByteArray("\0user\0pass", 10).toBase64()));

    // A refused login is an authentication error with the server's words.
    ScriptedPeer refusing;
    refusing.serveSmtp("250-scripted\r\n250 AUTH " + offered + "\r\n");
    refusing.on("AUTH", "535 5.7.8 Error: authentication failed\r\n");
    Session bad(refusing, QStringLiteral("user"), QStringLiteral("pass"), true);
    QVERIFY(!bad.opened);
    QCOMPARE(bad.errors.size(), 1);
    QCOMPARE(bad.errors.first().code, int(MailControl::ErrAuth));
    QVERIFY(bad.errors.first().serverText.contains(QStringLiteral("535 5.7.8")));
  }

  void loginNeedsTlsUnlessAllowed_data() {
    QTest::addColumn<QByteArray>("ehlo");
    QTest::addColumn<QByteArray>("starttlsReply");
    QTest::addColumn<bool>("allowPlain");
    QTest::addColumn<QString>("why");
    const QByteArray noTls = "250-scripted\r\n250 AUTH PLAIN LOGIN\r\n";
    const QByteArray tls = "250-scripted\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN\r\n";
    QTest::newRow("no STARTTLS offered") << noTls << QByteArray() << false
                                         << "\"Allow password without encryption\"";
    // A man in the middle answers for the server before TLS starts.
    QTest::newRow("bytes after the STARTTLS answer")
        << tls << QByteArray("220 go ahead\r\n250 AUTH PLAIN\r\n") << true
        << "before the secure connection began";
  }

  void loginNeedsTlsUnlessAllowed() {
    QFETCH(QByteArray, ehlo);
    QFETCH(QByteArray, starttlsReply);
    QFETCH(bool, allowPlain);
    QFETCH(QString, why);
    ScriptedPeer peer;
    peer.serveSmtp(ehlo);
    peer.on("AUTH", "235 ok\r\n");
    if (!starttlsReply.isEmpty())
      peer.on("STARTTLS", starttlsReply);
    Session s(peer, QStringLiteral("user"), QStringLiteral("pass"), allowPlain);
    QVERIFY(!s.opened);
    QCOMPARE(s.errors.size(), 1);
    QCOMPARE(s.errors.first().code, int(MailControl::ErrTls));
    QVERIFY(s.errors.first().diagnosis.contains(QStringLiteral("127.0.0.1")));
    QVERIFY2(s.errors.first().diagnosis.contains(why), qPrintable(s.errors.first().diagnosis));
    for (const QByteArray& c : peer.commands)
      QVERIFY2(!c.startsWith("AUTH") && !c.startsWith("MAIL"), c);
  }

  void addressesThatBreakTheLineAreRefused_data() {
    QTest::addColumn<QString>("recipient");
    QTest::newRow("CR LF") << QStringLiteral("a@x.org>\r\nRCPT TO:<evil@x.org");
    QTest::newRow("LF") << QStringLiteral("a@x.org\nRSET");
    QTest::newRow("NUL") << QString::fromUtf8("a@x.org\0b", 9);
  }

  void addressesThatBreakTheLineAreRefused() {
    QFETCH(QString, recipient);
    ScriptedPeer peer;
    peer.serveSmtp("250 scripted\r\n");
    Session s(peer);
    QVERIFY(s.opened);
    QVERIFY(!s.send({QStringLiteral("ok@x.org"), recipient}, "Subject: s\r\n\r\nbody\r\n"));
    QCOMPARE(s.errors.size(), 1);
    QCOMPARE(s.errors.first().code, int(MailControl::ErrState));
    QVERIFY(!s.errors.first().diagnosis.contains(QLatin1Char('\n')));
    QCOMPARE(peer.commands, QList<QByteArray>{"EHLO [127.0.0.1]"});
    // Nothing was sent, so the session is still usable.
    QVERIFY(s.send({QStringLiteral("ok@x.org")}, "Subject: s\r\n\r\nbody\r\n"));
  }

  void tooLargeStopsBeforeMail() {
    ScriptedPeer peer;
    peer.serveSmtp("250-scripted\r\n250 SIZE 1000\r\n");
    Session s(peer);
    QVERIFY(!s.send({"a@x.org"}, QByteArray(2000, 'x')));
    QCOMPARE(s.errors.first().code, int(MailControl::ErrTooLarge));
    for (const QByteArray& c : peer.commands)
      QVERIFY(!c.startsWith("MAIL") && !c.startsWith("DATA"));
    QVERIFY(s.send({"a@x.org"}, "small\r\n"));  // the session goes on
  }

  void oneRefusedRecipientSendsNothing() {
    ScriptedPeer peer;
    peer.serveSmtp("250 scripted\r\n");
    peer.on("RCPT TO:<nobody", "550 5.1.1 no such user\r\n");
    Session s(peer);
    QVERIFY(!s.send({"a@x.org", "nobody@x.org", "c@x.org"}, "x\r\n"));
    QCOMPARE(s.errors.first().code, int(MailControl::ErrServer));
    QVERIFY(s.errors.first().diagnosis.contains(QStringLiteral("nobody@x.org")));
    QVERIFY(s.errors.first().serverText.contains(QStringLiteral("no such user")));
    QTRY_VERIFY(peer.commands.contains("RSET"));
    QVERIFY(!peer.commands.contains("DATA"));
    QVERIFY(peer.dataBlocks.isEmpty());
  }

  // The control sends a message of its own: progress up to the whole size,
  // every recipient of To, Cc and Bcc, the Bcc line left out of the data, and
  // display names that decode to a line break and a command add no recipient.
  void controlSendsToEveryRecipientWithProgress() {
    ScriptedPeer peer;
    peer.serveSmtp("250 scripted\r\n");
    MailControl c;
    QSignalSpy done(&c, &MailControl::Done);
    QSignalSpy error(&c, &MailControl::AsyncError);
    QSignalSpy progress(&c, &MailControl::Progress);
    c.setProtocol(0);
    c.setHost(peer.host());
    c.setSender(QStringLiteral("\"Me\"<me@example.org>"));
    // Display names and an address that decode to a CR LF and a command.
    const QByteArray raw =
        "From: me@example.org\r\n"
        "To: =?utf-8?q?x=0D=0ARCPT_TO=3A=3Cevil=40x=2Eorg=3E?= <a@x.org>,\r\n"
        " =?utf-8?b?" + QByteArray("b@x.org>\r\nRCPT TO:<evil@x.org").toBase64() + "?=\r\n"
        "Cc: b@y.org; c@z.org\r\nBcc: hidden@w.org\r\nSubject: s\r\n\r\n" + QByteArray(300000, 'b') + "\r\n";
    QVERIFY(c.loadMessageBytes(raw));
    c.setActionCode(3);
    QTRY_COMPARE(done.size(), 1);
    c.setTransferFlags(64);
    c.setActionCode(15);
    QTRY_COMPARE(done.size(), 2);
    QCOMPARE(error.size(), 0);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), progress.last().at(1).toLongLong());
    QVERIFY(peer.commands.contains("MAIL FROM:<me@example.org>"));
    for (const char* r : {"a@x.org", "b@y.org", "c@z.org", "hidden@w.org"})
      QVERIFY2(peer.commands.contains(QByteArray("RCPT TO:<") + r + ">"), r);
    for (const QByteArray& command : peer.commands)
      QVERIFY2(!command.startsWith("RCPT TO:<evil"), command);
    QCOMPARE(peer.dataBlocks.size(), 1);
    QVERIFY(!peer.dataBlocks.first().contains("Bcc"));
    QVERIFY(peer.dataBlocks.first().contains("hidden") == false);
  }

  void oneControlForBothProtocols() {
    ScriptedPeer pop;
    pop.servePop3({"a\r\n"});
    ScriptedPeer smtp;
    smtp.serveSmtp("250 scripted\r\n");
    smtp.on("QUIT", "", ScriptedPeer::Close);  // hangs up without a word
    MailControl c;
    QSignalSpy done(&c, &MailControl::Done);
    QSignalSpy error(&c, &MailControl::AsyncError);
    c.setProtocol(1);
    c.setHost(pop.host());
    c.setUserName(QStringLiteral("u"));
    c.setPassword(QStringLiteral("p"));
    c.setAllowPlainLogin(true);  // the scripted server has no TLS
    c.setActionCode(3);
    QTRY_COMPARE(done.size(), 1);
    c.setProtocol(0);
    c.setHost(smtp.host());
    c.setActionCode(3);  // a new connection replaces the POP3 one
    QTRY_COMPARE(done.size(), 2);
    c.setActionCode(8);
    QTRY_COMPARE(done.size(), 3);
    QTest::qWait(50);
    QCOMPARE(error.size(), 0);
    QCOMPARE(done.size(), 3);
    QVERIFY(smtp.commands.contains("QUIT"));
  }

  void initTestCase() {
    mine_ = makeCertificate(certs_, QStringLiteral("mail.example.org"));
    other_ = makeCertificate(certs_, QStringLiteral("attacker.example.org"));
    QVERIFY(!mine_.isNull() && !other_.isNull());
  }

  void cleanup() { maillib::setCertificateDecider({}); }

  void storeKeepsOneFingerprintPerServer() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/trusted-certificates.txt"));
    CertificateTrustStore store(path);
    const QString v6 = maillib::serverKey(QStringLiteral("::1"), 25);
    QVERIFY(store.trust(QStringLiteral("a:995"), QStringLiteral("aa:bb")));
    QVERIFY(store.trust(v6, QStringLiteral("CC:DD")));
    QVERIFY(store.trust(QStringLiteral("a:995"), QStringLiteral("EE:FF")));
    // Lines someone added by hand that are not entries are passed over.
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("garbage\nb:1 11:22 extra\n\n# b:2 33:44\n");
    file.close();
    QCOMPARE(store.fingerprintFor(QStringLiteral("a:995")).value_or(QString()), QStringLiteral("EE:FF"));
    QCOMPARE(store.fingerprintFor(QStringLiteral("[::1]:25")).value_or(QString()), QStringLiteral("CC:DD"));
    for (const char* absent : {"a:110", "b:1", "# b:2"})
      QVERIFY2(!store.fingerprintFor(QString::fromLatin1(absent)), absent);
  }

  void judgement_data() {
    QTest::addColumn<bool>("storedMine");   // the store already trusts mine_ for the server
    QTest::addColumn<bool>("presentOther"); // the server shows other_ instead of mine_
    QTest::addColumn<int>("answer");        // -1: no decider, 0: No, 1: Yes
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<int>("asked");
    QTest::addColumn<QString>("refusal");   // part of the warning, when one is expected
    QTest::newRow("new, nobody to ask") << false << false << -1 << false << 0 << QString();
    QTest::newRow("new, declined") << false << false << 0 << false << 1 << QStringLiteral("not trusted");
    QTest::newRow("new, trusted") << false << false << 1 << true << 1 << QString();
    QTest::newRow("trusted before") << true << false << 1 << true << 0 << QString();
    QTest::newRow("changed") << true << true << 1 << false << 0 << QStringLiteral("not the one you trusted");
  }

  void judgement() {
    QFETCH(bool, storedMine);
    QFETCH(bool, presentOther);
    QFETCH(int, answer);
    QFETCH(bool, trusted);
    QFETCH(int, asked);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString server = QStringLiteral("mail.example.org:995");
    CertificateTrustStore store(dir.filePath(QStringLiteral("trusted-certificates.txt")));
    const QString mineFingerprint =
        maillib::CertificateFacts::of(server, mine_, {}).fingerprint;
    if (storedMine)
      QVERIFY(store.trust(server, mineFingerprint));
    QList<maillib::CertificateFacts> questions;
    if (answer >= 0)
      maillib::setCertificateDecider([&](const maillib::CertificateFacts& facts) {
        questions << facts;
        return answer == 1;
      });
    const QSslCertificate& shown = presentOther ? other_ : mine_;
    const QList<QSslError> errors{QSslError(QSslError::SelfSignedCertificate, shown)};

    const maillib::TrustVerdict verdict = maillib::judgeCertificate(server, shown, errors, store);
    QCOMPARE(verdict.trusted, trusted);
    QCOMPARE(questions.size(), asked);
    QVERIFY2(verdict.refusal.contains(refusal), qPrintable(verdict.refusal));
    if (presentOther)
      QVERIFY(verdict.refusal.contains(store.path()));
    if (asked)
      QVERIFY(questions.first().text().contains(QStringLiteral("SHA-256 fingerprint: ") + mineFingerprint));
    // Only an explicit Yes adds to the store; a changed certificate replaces nothing.
    QCOMPARE(store.fingerprintFor(server).has_value(), storedMine || trusted);
    if (storedMine)
      QCOMPARE(*store.fingerprintFor(server), mineFingerprint);
  }

  void init() {
    root_ = std::make_unique<TestRoot>();
    resetProgramState(*root_);
    mailStore().createStandardFolders();
    maillib::NetSession::setDefaultTimeout(1500);
  }

  void addressLists_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("normalised");
    QTest::addColumn<QString>("badItem");
    QTest::newRow("empty") << "" << true << "" << "";
    QTest::newRow("semicolon") << "a@x.org;b@y.org" << true << "a@x.org,b@y.org" << "";
    QTest::newRow("semicolon and blank") << "a@x.org; b@y.org" << true << "a@x.org, b@y.org" << "";
    QTest::newRow("dot before at") << "first.last@x" << true << "first.last@x" << "";
    QTest::newRow("quoted name with comma") << "\"Perera, Nimal\" <n@x.lk>; k@y.lk" << true
                                            << "\"Perera, Nimal\" <n@x.lk>, k@y.lk" << "";
    QTest::newRow("second address bad") << "a@x.org, b-at-y.org" << false << "" << " b-at-y.org";
    QTest::newRow("starts with at") << "@x.org" << false << "" << "@x.org";
    QTest::newRow("starts with dot") << ".a@x" << false << "" << ".a@x";
    QTest::newRow("two commas") << "a@x.org,,b@y.org" << false << "" << "";
    QTest::newRow("trailing comma") << "a@x.org," << false << "" << "";
    QTest::newRow("blank inside") << "a b@x.org" << false << "" << "a b@x.org";
    QTest::newRow("line break") << "a@x.org\r\nRCPT TO:<b@y.org>" << false << "" << "a@x.org\r\nRCPT TO:<b@y.org>";
  }

  void addressLists() {
    QFETCH(QString, list);
    QFETCH(bool, ok);
    QFETCH(QString, normalised);
    QFETCH(QString, badItem);
    const compose::AddressListCheck check = compose::checkAddressList(list);
    QCOMPARE(check.ok, ok);
    if (ok)
      QCOMPARE(check.normalised, normalised);
    else
      QCOMPARE(check.badItem, badItem);
    // Only a list that ends in a separator fails without naming an entry.
    QCOMPARE(check.hasBadItem, !ok && !list.endsWith(QLatin1Char(',')));
  }

  void tokensDifferForDifferentMoments() {
    const QTime ten(10, 0, 0);
    const QString january = compose::messageToken(QDateTime(QDate(1998, 1, 12), ten), 1);
    const QString november = compose::messageToken(QDateTime(QDate(1998, 11, 2), ten), 1);
    QVERIFY(january != november);
    QCOMPARE(compose::messageToken(QDateTime(QDate(1998, 5, 3), ten), 7), QStringLiteral("1998050336000000.7_TovelMail"));
    QVERIFY(compose::nextMessageToken() != compose::nextMessageToken());
  }

  void fromNamesReadBackAsOneMailbox_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "Nimal Perera";
    QTest::newRow("comma") << "Perera, Nimal";
    QTest::newRow("quotes") << "Nimal \"Nim\" Perera";
    QTest::newRow("non-ASCII") << QString::fromUtf8("Nimal Pérera ශ්‍රී");
    QTest::newRow("line break") << "Nimal\r\nBcc: evil@y.org";
  }

  void fromNamesReadBackAsOneMailbox() {
    QFETCH(QString, name);
    MailControl mail;
    mail.setFrom(compose::fromMailbox(name, QStringLiteral("me@example.org")));
    mail.setTo(QStringLiteral("a@x.org"));
    MailControl back;
    QVERIFY(back.loadMessageBytes(mail.messageBytes(false)));
    QString expected = name;
    expected.replace(QLatin1String("\r\n"), QLatin1String("  "));
    QCOMPARE(back.From(), compose::fromMailbox(expected, QStringLiteral("me@example.org")));
    QCOMPARE(maillib::parseAddressList(back.From()).size(), 1);
  }

  void lineBreaksNeverAddHeadersOrRecipients() {
    MailControl mail;
    // A name carried in an encoded word that decodes to a line break, as a
    // reply takes it from a received From.
    mail.setTo(QStringLiteral("=?us-ascii?q?Evil=0D=0ABcc=3A_b=40y=2Eorg?= <a@x.org>"));
    mail.setCC(QStringLiteral("c@x.org\r\nBcc: d@y.org"));
    mail.setSubject(QStringLiteral("Hello\r\nBcc: e@y.org"));
    mail.setFrom(QStringLiteral("Me\nX-Injected: 1 <me@example.org>"));
    mail.setHeaderLine(0, QStringLiteral("X-Mailer: TovelMail\r\nBcc: f@y.org"));
    mail.setSender(QStringLiteral("me@example.org\r\nRCPT TO:<g@y.org>"));
    mail.setBodyText(0, QStringLiteral("text"));
    const QByteArray bytes = mail.messageBytes(true);
    const QByteArray head = bytes.left(bytes.indexOf("\r\n\r\n"));
    for (const QByteArray& line : head.split('\n')) {
      QVERIFY2(!line.startsWith("Bcc") && !line.startsWith("X-Injected"), line.constData());
      QVERIFY2(!line.contains("=0D") && !line.contains("=0A"), line.constData());
    }
    // The CC text that hid a line break is no address: nobody gets it.
    QCOMPARE(mail.recipientAddresses(), QStringList({"a@x.org"}));
    QVERIFY2(!mail.To().contains(QLatin1Char('\n')), qPrintable(mail.To()));
    QVERIFY(!mail.Sender().contains(QLatin1Char('\n')));
  }

  void immediateSend_data() {
    QTest::addColumn<bool>("blocking");
    QTest::addColumn<QString>("fault");  // "", "refused", "cut", "silent"
    for (const bool blocking : {false, true}) {
      const char* mode = blocking ? "blocking" : "asynchronous";
      QTest::addRow("%s, accepted", mode) << blocking << "";
      QTest::addRow("%s, recipient refused", mode) << blocking << "refused";
      QTest::addRow("%s, cut in DATA", mode) << blocking << "cut";
      QTest::addRow("%s, silent after DATA", mode) << blocking << "silent";
    }
  }

  void immediateSend() {
    QFETCH(bool, blocking);
    QFETCH(QString, fault);
    ScriptedPeer peer;
    serveSmtp(peer);
    if (fault == QLatin1String("cut"))
      peer.on("DATA", "354 go ahead\r\n", ScriptedPeer::Close);
    if (fault == QLatin1String("silent"))
      peer.onData("DATA", "354 go ahead\r\n", "");
    SessionRig rig(blocking);
    rig.control.setTo(fault == QLatin1String("refused") ? QStringLiteral("a@x.org, refused@x.org")
                                                        : QStringLiteral("a@x.org"));
    rig.control.setSubject(QStringLiteral("now"));
    rig.control.setBodyText(0, QStringLiteral("body"));
    rig.session.sendNow(rig.account(peer));
    QVERIFY(rig.waitForEnd());
    QCOMPARE(rig.finished, 1);
    QVERIFY(!rig.session.isActive());
    // Stored in the OutBox while it goes, it is never left there.
    QVERIFY(namesIn(*root_, QStringLiteral("OutBox")).isEmpty());
    if (fault.isEmpty()) {
      QCOMPARE(rig.session.outcome(), SendSession::Outcome::Sent);
      QCOMPARE(namesIn(*root_, QStringLiteral("Sent")).size(), 1);
      QCOMPARE(peer.dataBlocks.size(), 1);
      QVERIFY(peer.commands.first().startsWith("EHLO"));
      QVERIFY(peer.commands.contains("RCPT TO:<a@x.org>"));
      QVERIFY(rig.progress.contains(QStringLiteral("Sending message 1 of 1")));
      QVERIFY2(rig.progress.contains(QStringLiteral("Sending message 1 of 1: 100%")), qPrintable(rig.progress.join(" | ")));
      return;
    }
    // Nothing the server did not accept is in Sent, and the reason is given.
    QCOMPARE(rig.session.outcome(), SendSession::Outcome::Failed);
    QVERIFY(namesIn(*root_, QStringLiteral("Sent")).isEmpty());
    if (fault == QLatin1String("refused")) {
      QVERIFY2(rig.session.failure().contains(QStringLiteral("refused@x.org")), qPrintable(rig.session.failure()));
      QVERIFY(rig.session.failure().contains(QStringLiteral("Recipient address rejected")));
      QVERIFY(peer.dataBlocks.isEmpty());
    }
    QVERIFY(!rig.session.failure().isEmpty());
  }

  void deliveryRun_data() {
    QTest::addColumn<bool>("blocking");
    QTest::addColumn<int>("refusedAt");  // 0: none refused; -1: Sent cannot take files
    for (const bool blocking : {false, true}) {
      const char* mode = blocking ? "blocking" : "asynchronous";
      QTest::addRow("%s, all accepted", mode) << blocking << 0;
      QTest::addRow("%s, second refused", mode) << blocking << 2;
      QTest::addRow("%s, Sent unusable", mode) << blocking << -1;
    }
  }

  void deliveryRun() {
    QFETCH(bool, blocking);
    QFETCH(int, refusedAt);
    ScriptedPeer peer;
    serveSmtp(peer);
    QStringList files;
    for (int i = 1; i <= 3; ++i) {
      const QString name = MailStore::msgFileName(i + 1);
      root_->write(QStringLiteral("OutBox/") + name, queuedMessage(i, i == refusedAt ? "refused@x.org" : "a@x.org"));
      files << root_->path(QStringLiteral("OutBox/") + name);
    }
    root_->write(QStringLiteral("config.msg"), "");
    if (refusedAt < 0) {
      QDir(root_->root()).rmdir(QStringLiteral("Sent"));
      root_->write(QStringLiteral("Sent"), "a file where the folder should be");
    }
    SessionRig rig(blocking);
    rig.session.deliver(rig.account(peer), files);
    QVERIFY(rig.waitForEnd());
    QCOMPARE(peer.connections, 1);
    if (refusedAt == 0) {
      QCOMPARE(rig.session.outcome(), SendSession::Outcome::Sent);
      QCOMPARE(peer.dataBlocks.size(), 3);
      QVERIFY(namesIn(*root_, QStringLiteral("OutBox")).isEmpty());
      const QStringList sent = namesIn(*root_, QStringLiteral("Sent"));
      QCOMPARE(sent.size(), 3);
      // Each file moved as it was: the stored bytes are what went out.
      for (int i = 0; i < 3; ++i) {
        QFile f(root_->path(QStringLiteral("Sent/") + sent[i]));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), queuedMessage(i + 1));
        QCOMPARE(peer.dataBlocks[i], queuedMessage(i + 1));
      }
      QVERIFY(rig.progress.contains(QStringLiteral("Sending message 3 of 3")));
      return;
    }
    if (refusedAt < 0) {
      // The first went out but could not be moved: the run stops, says so,
      // and sends nothing more.
      QCOMPARE(rig.session.outcome(), SendSession::Outcome::Failed);
      QCOMPARE(peer.dataBlocks.size(), 1);
      QCOMPARE(namesIn(*root_, QStringLiteral("OutBox")).size(), 3);
      QVERIFY(rig.session.storeProblem().contains(QStringLiteral("was sent, but it could not be moved into Sent")));
      QCOMPARE(rig.session.failure(), rig.session.storeProblem());
      return;
    }
    // The first went out and is in Sent; the refused one and the one after it
    // stay in the OutBox, and nothing was sent twice.
    QCOMPARE(rig.session.outcome(), SendSession::Outcome::Failed);
    QCOMPARE(peer.dataBlocks.size(), 1);
    QCOMPARE(namesIn(*root_, QStringLiteral("Sent")).size(), 1);
    QCOMPARE(namesIn(*root_, QStringLiteral("OutBox")), QStringList({"00000003.msg", "00000004.msg"}));
    QVERIFY(rig.session.failure().contains(QStringLiteral("refused@x.org")));
    QVERIFY(rig.session.failure().contains(QStringLiteral("message 2 of 3")));
  }

 private:
  std::unique_ptr<TestRoot> root_;
 private:
  QTemporaryDir certs_;
  QSslCertificate mine_, other_;
};

QTEST_GUILESS_MAIN(SmtpTest)
#include "tst_smtp.moc"
