// The get-mail session and the Message Delete Service window against a real
// Dovecot: files in the in-box, host delete on and off, empty mailboxes,
// wrong passwords and a vanished in-box, in blocking and asynchronous mode.
#include "maillib/netsession.h"
#include "retrieval/testform.h"
#include "support/getmailfixture.h"
#include "support/mailservers.h"

#include <QTest>

namespace {

QByteArray sample(int i) {
  return "From: Sender " + QByteArray::number(i) + " <s" + QByteArray::number(i) +
         "@example.org>\nTo: demo@example.test\nSubject: message " + QByteArray::number(i) +
         "\nDate: Sun, 6 Dec 2026 10:00:00 +0000\n\nBody of message " + QByteArray::number(i) +
         "\n.dotted line\n" + QByteArray(3000 * i, 'x') + "\n";
}

}  // namespace

class GetMailServersTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void init();
  void threeMessagesFillTheInbox_data();
  void threeMessagesFillTheInbox();
  void getMailWhileConnecting();
  void refusedLoginThenTryAgain_data();
  void refusedLoginThenTryAgain();
  void inboxGoneKeepsMailOnServer_data();
  void inboxGoneKeepsMailOnServer();
  void deleteWindowListsAndDeletes();

 private:
  std::unique_ptr<GetMailFixture> fixture(const QString& password = MailServers::password()) {
    return std::make_unique<GetMailFixture>(servers_.pop3Host(), MailServers::user(), password);
  }
  MailServers servers_{false};
};

void GetMailServersTest::initTestCase() {
  START_MAIL_SERVERS(servers_);
  qputenv("TOVELMAIL_CA_FILE", servers_.caFile().toLocal8Bit());
  maillib::NetSession::setDefaultTimeout(20000);
}

void GetMailServersTest::init() { servers_.clearMailbox(); }

void GetMailServersTest::threeMessagesFillTheInbox_data() {
  QTest::addColumn<bool>("blocking");
  QTest::addColumn<bool>("hostDelete");
  QTest::newRow("asynchronous, keep on server") << false << false;
  QTest::newRow("asynchronous, host delete") << false << true;
  QTest::newRow("blocking, keep on server") << true << false;
  QTest::newRow("blocking, host delete") << true << true;
}

void GetMailServersTest::threeMessagesFillTheInbox() {
  QFETCH(bool, blocking);
  QFETCH(bool, hostDelete);
  auto f = fixture();
  f->setBlocking(blocking);
  f->setHostDelete(hostDelete);
  QVERIFY(f->getMail());
  QCOMPARE(f->prompter->messages, QStringList({"No mail waiting"}));
  QVERIFY(f->inboxNames().isEmpty());

  // The next GetMail starts a fresh session, not "Try again Please", while
  // another folder is on display.
  for (int i = 1; i <= 3; ++i)
    servers_.deliver(sample(i));
  const auto sent = f->form->listFolders->findItems(QStringLiteral("Sent"), Qt::MatchFixedString);
  QVERIFY(!sent.isEmpty());
  f->form->listFolders->setCurrentItem(sent.first());
  mailStore().current_folder = QStringLiteral("Sent");
  QVERIFY(f->getMail());
  QCOMPARE(f->prompter->messages.size(), 1);
  QCOMPARE(f->inboxNames(), QStringList({"00000002.msg", "00000003.msg", "00000004.msg"}));
  for (int i = 1; i <= 3; ++i)
    QCOMPARE(f->inboxFile(QStringLiteral("0000000%1.msg").arg(i + 1)), MailServers::crlf(sample(i)));
  QCOMPARE(servers_.messageCount(), hostDelete ? 0 : 3);
  QVERIFY(!f->form->mnuDelMsgSvr->isEnabled());

  // What stayed on the server is not fetched twice, unless asked for, and
  // then comes under the next numbers; after that only new mail comes.
  QVERIFY(f->getMail());
  QCOMPARE(f->inboxNames().size(), 3);
  f->form->mnuGetAllMail->trigger();
  QVERIFY(f->waitIdle());
  QCOMPARE(f->inboxNames().size(), hostDelete ? 3 : 6);
  if (!hostDelete)
    QCOMPARE(f->inboxFile(QStringLiteral("00000007.msg")), MailServers::crlf(sample(3)));
  servers_.deliver(sample(4));
  QVERIFY(f->getMail());
  QVERIFY(f->getMail());
  QCOMPARE(f->inboxNames().size(), hostDelete ? 4 : 7);
  QCOMPARE(f->inboxFile(f->inboxNames().last()), MailServers::crlf(sample(4)));
  QCOMPARE(f->prompter->messages.size(), hostDelete ? 4 : 1);  // "No mail waiting" each time it is empty
}

void GetMailServersTest::getMailWhileConnecting() {
  servers_.deliver(sample(1));
  auto f = fixture();
  f->form->cmdGetMail_Click();
  QCOMPARE(f->form->getMail->state(), retrieval::GetMailSession::State::Connecting);
  f->form->cmdGetMail_Click();
  QCOMPARE(f->prompter->messages, QStringList({"Try again Please"}));
  QCOMPARE(f->form->getMail->state(), retrieval::GetMailSession::State::Idle);
  QTest::qWait(500);
  QCOMPARE(f->prompter->messages.size(), 1);
  QVERIFY(f->inboxNames().isEmpty());
  QVERIFY(f->getMail());
  QCOMPARE(f->inboxNames(), QStringList({"00000002.msg"}));
  QCOMPARE(f->prompter->messages.size(), 1);
  // Pressed twice and at once again: the abandoned session's late Done is
  // not taken for the new session's connect.
  servers_.deliver(sample(2));
  f->form->cmdGetMail_Click();
  f->form->cmdGetMail_Click();
  QVERIFY(f->getMail());
  QCOMPARE(f->prompter->messages, QStringList({"Try again Please", "Try again Please"}));
  QCOMPARE(f->inboxNames(), QStringList({"00000002.msg", "00000003.msg"}));
}

void GetMailServersTest::refusedLoginThenTryAgain_data() {
  QTest::addColumn<QString>("password");
  QTest::addColumn<bool>("trusted");  // the authority that signed the certificate
  QTest::addColumn<QString>("code");
  QTest::addColumn<QStringList>("words");
  QTest::newRow("wrong password") << "wrong password" << true << "( 20202)"
                                  << QStringList{"AsyncError: The POP3 server", "Authentication failed"};
  QTest::newRow("untrusted certificate") << MailServers::password() << false << "( 20201)"
                                         << QStringList{"AsyncError: ", "certificate"};
}

void GetMailServersTest::refusedLoginThenTryAgain() {
  QFETCH(QString, password);
  QFETCH(bool, trusted);
  QFETCH(QString, code);
  QFETCH(QStringList, words);
  servers_.deliver(sample(1));
  if (!trusted)
    qunsetenv("TOVELMAIL_CA_FILE");
  auto f = fixture(password);
  f->setHostDelete(true);
  QVERIFY(f->getMail());
  qputenv("TOVELMAIL_CA_FILE", servers_.caFile().toLocal8Bit());
  QCOMPARE(f->prompter->messages.size(), 1);
  const QString shown = f->prompter->messages.first();
  QVERIFY2(shown.startsWith(words.first()) && shown.endsWith(code), qPrintable(shown));
  QVERIFY2(shown.contains(words.last()), qPrintable(shown));
  // An unknown certificate is shown to the user, who says No (the scripted
  // answer).
  QCOMPARE(f->prompter->questions.size(), trusted ? 0 : 1);
  if (!trusted)
    QVERIFY(f->prompter->questions.first().contains(QStringLiteral("SHA-256 fingerprint: ")));
  QVERIFY(f->inboxNames().isEmpty());
  QCOMPARE(servers_.messageCount(), 1);
  // No restart needed: put right, the next GetMail works at once.
  settings().pop_password = MailServers::password();
  QVERIFY(f->getMail());
  QCOMPARE(f->prompter->messages.size(), 1);
  QCOMPARE(f->inboxNames(), QStringList({"00000002.msg"}));
}

void GetMailServersTest::inboxGoneKeepsMailOnServer_data() {
  QTest::addColumn<bool>("blocking");
  QTest::newRow("asynchronous") << false;
  QTest::newRow("blocking") << true;
}

void GetMailServersTest::inboxGoneKeepsMailOnServer() {
  QFETCH(bool, blocking);
  servers_.deliver(sample(1));
  servers_.deliver(sample(2));
  auto f = fixture();
  f->setBlocking(blocking);
  f->setHostDelete(true);
  QVERIFY(QDir(f->root->path(QStringLiteral("Inbox"))).removeRecursively());
  QVERIFY(f->getMail());
  QCOMPARE(f->prompter->messages.size(), 1);
  QVERIFY(f->prompter->messages.first().startsWith(QStringLiteral("AsyncError: ")));
  QCOMPARE(servers_.messageCount(), 2);
  // With the folder back, the same messages arrive.
  QVERIFY(QDir().mkpath(f->root->path(QStringLiteral("Inbox"))));
  QVERIFY(f->getMail());
  QCOMPARE(f->inboxNames().size(), 2);
  QCOMPARE(servers_.messageCount(), 0);
}

void GetMailServersTest::deleteWindowListsAndDeletes() {
  auto f = fixture();
  f->form->mnuDelMsgSvr_Click();
  testform* w = f->form->deleteService;
  QVERIFY(w && w->isVisible());
  QVERIFY(!w->discon->isEnabled());
  QVERIFY(!w->delmsg->isEnabled());
  QTest::mouseClick(w->connect, Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(f->prompter->messages, QStringList({"0 Messages"}), 20000);
  QCOMPARE(w->msglist1->count(), 0);
  QTest::mouseClick(w->discon, Qt::LeftButton);
  QTRY_COMPARE(f->prompter->messages.last(), QStringLiteral("Disconnected"));
  f->prompter->messages.clear();

  for (int i = 1; i <= 3; ++i)
    servers_.deliver(sample(i));
  QTest::mouseClick(w->connect, Qt::LeftButton);
  QVERIFY(!w->connect->isEnabled());
  QVERIFY(w->discon->isEnabled());
  QTRY_COMPARE_WITH_TIMEOUT(f->prompter->messages, QStringList({"3 Messages"}), 20000);
  QCOMPARE(w->msglist1->count(), 3);
  for (int i = 1; i <= 3; ++i)
    QCOMPARE(w->msglist1->itemText(i - 1),
             QStringLiteral("Mail %1 Size %2").arg(i).arg(MailServers::crlf(sample(i)).size()));
  QVERIFY(w->delmsg->isEnabled());

  w->msglist1->setCurrentIndex(1);
  QTest::mouseClick(w->delmsg, Qt::LeftButton);
  QTRY_COMPARE(f->prompter->messages.size(), 2);
  QCOMPARE(f->prompter->messages.last(), QStringLiteral("Deleted"));
  QTest::mouseClick(w->delmsg, Qt::LeftButton);
  QCOMPARE(f->prompter->messages.last(), QStringLiteral("Already deleted"));
  QCOMPARE(w->msglist1->count(), 3);  // the line stays; numbers keep their meaning

  QTest::mouseClick(w->discon, Qt::LeftButton);
  QCOMPARE(w->msglist1->count(), 0);
  QVERIFY(w->connect->isEnabled());
  QTRY_COMPARE(f->prompter->messages.last(), QStringLiteral("Disconnected"));
  const QList<QByteArray> left = servers_.messages();
  QCOMPARE(left.size(), 2);
  QCOMPARE(left[0], sample(1));
  QCOMPARE(left[1], sample(3));
}

QTEST_MAIN(GetMailServersTest)
#include "tst_getmail_servers.moc"
