// The get-mail session on faults no real server makes on demand (a cut in
// the middle of a message, a server gone silent), and the session's controls:
// progress label, host-delete warning, blocking and trace switches.
#include "maillib/netsession.h"
#include "retrieval/testform.h"
#include "support/getmailfixture.h"
#include "support/scriptedpeer.h"

#include <QTest>

class GetMailTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() { maillib::NetSession::setDefaultTimeout(5000); }
  void cutMessageIsNeitherStoredNorDeleted_data();
  void cutMessageIsNeitherStoredNorDeleted();
  void silentServerEndsTheSession();
  void progressLabel();
  void hostDeleteMenuWarnsAndTicksBoth();
  void blockingAndTraceSwitches();
  void deleteWindowRecoversFromRefusals();
  void toolbarGetMailDuringSession();
  void getMailRightAfterTryAgain();
};

void GetMailTest::cutMessageIsNeitherStoredNorDeleted_data() {
  QTest::addColumn<bool>("blocking");
  QTest::newRow("asynchronous") << false;
  QTest::newRow("blocking") << true;
}

void GetMailTest::cutMessageIsNeitherStoredNorDeleted() {
  QFETCH(bool, blocking);
  const QByteArray first = "Subject: one\r\n\r\nfirst\r\n";
  const QByteArray second = "Subject: two\r\n\r\n" + QByteArray(30000, 'z') + "\r\n";
  ScriptedPeer peer;
  peer.servePop3({first, second, "Subject: three\r\n\r\nthird\r\n"});
  peer.cutRetr(2, 10000);
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  f.setBlocking(blocking);
  f.setHostDelete(true);
  QVERIFY(f.getMail());

  QCOMPARE(f.inboxNames(), QStringList({"00000002.msg"}));  // no half file, no temporary file
  QCOMPARE(f.inboxFile(QStringLiteral("00000002.msg")), first);
  QVERIFY(peer.commands.contains("DELE 1"));
  QVERIFY(!peer.commands.contains("DELE 2"));
  QVERIFY(!peer.commands.contains("RETR 3"));
  QCOMPARE(f.prompter->messages.size(), 1);
  QVERIFY(f.prompter->messages.first().endsWith(QStringLiteral("( 20200)")));
  QVERIFY(f.form->cmdGetMail->isEnabled());
  QCOMPARE(f.form->getMail->state(), retrieval::GetMailSession::State::Idle);
}

void GetMailTest::silentServerEndsTheSession() {
  maillib::NetSession::setDefaultTimeout(300);
  ScriptedPeer peer;
  peer.servePop3({"Subject: one\r\n\r\nfirst\r\n", "Subject: two\r\n\r\nsecond\r\n"});
  peer.on("RETR 2", {}, ScriptedPeer::Silence);
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  QVERIFY(f.getMail(5000));
  QCOMPARE(f.inboxNames(), QStringList({"00000002.msg"}));
  QCOMPARE(f.prompter->messages.size(), 1);
  QVERIFY(f.prompter->messages.first().endsWith(QStringLiteral("( 20204)")));
  // Ready for another try right away.
  peer.on("RETR 2", "+OK\r\nSubject: two\r\n\r\nsecond\r\n.\r\n");
  QVERIFY(f.getMail(5000));
  QCOMPARE(f.inboxNames().size(), 3);
}

void GetMailTest::progressLabel() {
  ScriptedPeer peer;
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  f.form->Mail1_Progress(512, 2048);
  QCOMPARE(f.form->lblPercentage->text(), QStringLiteral("25%"));
  f.form->Mail1_Progress(2047, 2048);
  QCOMPARE(f.form->lblPercentage->text(), QStringLiteral("99%"));
  f.form->Mail1_Progress(12, 0);
  QCOMPARE(f.form->lblPercentage->text(), QStringLiteral("0"));
  // A real transfer ends at 100%.
  peer.servePop3({"Subject: x\r\n\r\n" + QByteArray(50000, 'p') + "\r\n"});
  QVERIFY(f.getMail(5000));
  QCOMPARE(f.form->lblPercentage->text(), QStringLiteral("100%"));
}

void GetMailTest::hostDeleteMenuWarnsAndTicksBoth() {
  ScriptedPeer peer;
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  f.form->mnuHostDelete_Click();
  QCOMPARE(f.prompter->messages,
           QStringList({"Messages will be deleted after they are read from the host."}));
  QVERIFY(f.form->chkHostDelete->isChecked());
  QVERIFY(f.form->mnuHostDelete->isChecked());
  f.form->mnuHostDelete_Click();
  QVERIFY(!f.form->chkHostDelete->isChecked());
  QVERIFY(!f.form->mnuHostDelete->isChecked());
  QCOMPARE(f.prompter->messages.size(), 1);
  // Clicking the check box itself warns when it becomes ticked.
  QTest::mouseClick(f.form->chkHostDelete, Qt::LeftButton);
  QCOMPARE(f.prompter->messages.size(), 2);
  QTest::mouseClick(f.form->chkHostDelete, Qt::LeftButton);
  QCOMPARE(f.prompter->messages.size(), 2);
}

void GetMailTest::blockingAndTraceSwitches() {
  ScriptedPeer peer;
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  f.form->chkBlocking->setChecked(true);
  f.form->mnuBlocking_Click();
  QVERIFY(f.form->Mail1->Blocking());
  QVERIFY(f.form->mnuBlocking->isChecked());
  QVERIFY(f.form->chkBlocking->isChecked());
  f.form->chkBlocking->setChecked(false);
  f.form->mnuBlocking_Click();
  QVERIFY(!f.form->Mail1->Blocking());
  QVERIFY(!f.form->mnuBlocking->isChecked());
  QTest::mouseClick(f.form->chkBlocking, Qt::LeftButton);
  QVERIFY(f.form->Mail1->Blocking());

  QTest::mouseClick(f.form->chkTrace, Qt::LeftButton);
  QCOMPARE(f.form->Mail1->DebugMode(), 1);
  QTest::mouseClick(f.form->chkTrace, Qt::LeftButton);
  QCOMPARE(f.form->Mail1->DebugMode(), 0);
}

void GetMailTest::deleteWindowRecoversFromRefusals() {
  ScriptedPeer peer;
  peer.servePop3({"a\r\n", "b\r\n"});
  peer.on("PASS", "-ERR [AUTH] nope\r\n");
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  f.form->mnuDelMsgSvr_Click();
  testform* w = f.form->deleteService;
  // A refused login leaves Read Message Sizes ready for another try.
  w->connect_Click();
  QTRY_COMPARE(f.prompter->messages.size(), 1);
  QVERIFY(f.prompter->messages.first().endsWith(QStringLiteral("( 20202)")));
  QVERIFY(w->connect->isEnabled());
  QVERIFY(!w->discon->isEnabled());

  // A refused delete keeps its line deletable: the message is still there.
  peer.on("PASS", "+OK\r\n");
  peer.on("DELE 2", "-ERR [IN-USE] busy\r\n");
  w->connect_Click();
  QTRY_COMPARE(f.prompter->messages.last(), QStringLiteral("2 Messages"));
  w->msglist1->setCurrentIndex(1);
  w->delmsg_Click();
  QTRY_COMPARE(f.prompter->messages.size(), 3);
  QVERIFY(f.prompter->messages.last().contains(QStringLiteral("busy")));
  peer.on("DELE 2", "+OK\r\n");
  w->delmsg_Click();
  QTRY_COMPARE(f.prompter->messages.last(), QStringLiteral("Deleted"));
  QCOMPARE(peer.commands.count("DELE 2"), 2);
}

void GetMailTest::toolbarGetMailDuringSession() {
  // The toolbar button works while the GetMail button is disabled: pressing
  // it in the middle of a transfer stops the session cleanly.
  ScriptedPeer peer;
  peer.servePop3({"Subject: one\r\n\r\n1\r\n", "Subject: two\r\n\r\n2\r\n"});
  peer.on("RETR 2", {}, ScriptedPeer::Silence);
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  f.setHostDelete(true);
  f.form->cmdGetMail_Click();
  QTRY_VERIFY(peer.commands.contains("RETR 2"));
  QVERIFY(!f.form->cmdGetMail->isEnabled());
  f.form->pictbut_Click(0);
  QCOMPARE(f.prompter->messages, QStringList({"Try again Please"}));
  QVERIFY(f.form->cmdGetMail->isEnabled());
  QCOMPARE(f.form->getMail->state(), retrieval::GetMailSession::State::Idle);
  QTest::qWait(100);
  QCOMPARE(f.inboxNames(), QStringList({"00000002.msg"}));
  QVERIFY(!peer.commands.contains("DELE 2"));
  peer.on("RETR 2", "+OK\r\nSubject: two\r\n\r\n2\r\n.\r\n");
  peer.on("RETR 1", "+OK\r\nSubject: two\r\n\r\n2\r\n.\r\n");
  peer.on("STAT", "+OK 1 20\r\n");
  QVERIFY(f.getMail(5000));
  QCOMPARE(f.inboxNames().size(), 2);
  QCOMPARE(f.prompter->messages.size(), 1);
}

void GetMailTest::getMailRightAfterTryAgain() {
  // The disconnect of the abandoned session finishes later; its Done must
  // not be taken for the new session's connect.
  ScriptedPeer peer;
  peer.servePop3({"Subject: one\r\n\r\n1\r\n"});
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  f.form->cmdGetMail_Click();
  f.form->cmdGetMail_Click();
  QCOMPARE(f.prompter->messages, QStringList({"Try again Please"}));
  QVERIFY(f.getMail(5000));
  QCOMPARE(f.prompter->messages, QStringList({"Try again Please"}));
  QCOMPARE(f.inboxNames(), QStringList({"00000002.msg"}));
}

QTEST_MAIN(GetMailTest)
#include "tst_getmail.moc"
