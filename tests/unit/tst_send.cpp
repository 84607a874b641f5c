// Sending without a window: the address checks, From and the message
// token, header values that try to add lines, and the send session against
// a scripted SMTP server (accepted, refused, cut off, silent; one message or
// an out-box run; blocking and asynchronous).
#include "compose/sendrules.h"
#include "compose/sendsession.h"
#include "maillib/addresses.h"
#include "maillib/mailcontrol.h"
#include "maillib/netsession.h"
#include "store/mailstore.h"
#include "support/scriptedpeer.h"
#include "support/testroot.h"

#include <QDir>
#include <QFile>
#include <QTest>

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

class SendTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
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
};

QTEST_MAIN(SendTest)
#include "tst_send.moc"
