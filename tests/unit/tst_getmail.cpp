// The get-mail session on faults no real server makes on demand (a cut in
// the middle of a message, a server gone silent), and the session's controls:
// progress label, host-delete warning, blocking and trace switches.
#include "maillib/netsession.h"
#include "retrieval/testform.h"
#include "retrieval/uidlrecord.h"
#include "support/getmailfixture.h"
#include "support/scriptedpeer.h"

#include <QDateTime>
#include <QTest>

namespace {

// The peer gives each message the unique id "uid-n" and, when asked,
// takes pipelined commands.
void offerUidls(ScriptedPeer& peer, int count, bool pipelining) {
  peer.on("CAPA", QByteArray("+OK\r\nUSER\r\nUIDL\r\n") + (pipelining ? "PIPELINING\r\n" : "") + ".\r\n");
  QByteArray list = "+OK\r\n";
  for (int n = 1; n <= count; ++n)
    list += QByteArray::number(n) + " uid-" + QByteArray::number(n) + "\r\n";
  peer.on("UIDL", list + ".\r\n");
}

QList<QByteArray> messages(int count) {
  QList<QByteArray> out;
  for (int n = 1; n <= count; ++n)
    out << "Subject: " + QByteArray::number(n) + "\r\n\r\n" + QByteArray(2000 * n, 'a' + n) + "\r\n";
  return out;
}

void serve(ScriptedPeer& peer, const QList<QByteArray>& mail, bool pipelining) {
  peer.servePop3(mail);
  offerUidls(peer, mail.size(), pipelining);
}

}  // namespace

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
  void uidlRecordAfterACrash_data();
  void uidlRecordAfterACrash();
  void uidlRecordPassesOverACutLine();
  void pipelinedFetchStoresBeforeEachDelete_data();
  void pipelinedFetchStoresBeforeEachDelete();
  void cutSessionLeavesOnlyDeletes_data();
  void cutSessionLeavesOnlyDeletes();
  void keepOnServerFetchesOnlyNewMail();
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

void GetMailTest::uidlRecordAfterACrash_data() {
  QTest::addColumn<int>("fileAgeSeconds");  // -1: no file written
  QTest::addColumn<bool>("stored");
  QTest::newRow("noted, then killed before the store") << -1 << false;
  QTest::newRow("noted and stored, killed before the delete") << 0 << true;
  QTest::newRow("name later taken by an older message") << 86400 << false;
}

void GetMailTest::uidlRecordAfterACrash() {
  QFETCH(int, fileAgeSeconds);
  QFETCH(bool, stored);
  TestRoot root;
  QDir().mkpath(root.path(QStringLiteral("Inbox")));
  {
    retrieval::UidlRecord record(root.root(), QStringLiteral("pop:110"), QStringLiteral("me"));
    QVERIFY(record.load());
    QVERIFY(record.noteStoring(QStringLiteral("old"), QStringLiteral("Inbox/00000001.msg")));
    root.write(QStringLiteral("Inbox/00000001.msg"), "first");
    QVERIFY(record.noteStoring(QStringLiteral("uid-2"), QStringLiteral("Inbox/00000002.msg")));
  }
  if (fileAgeSeconds >= 0) {
    root.write(QStringLiteral("Inbox/00000002.msg"), "second");
    QFile file(root.path(QStringLiteral("Inbox/00000002.msg")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-fileAgeSeconds),
                             QFileDevice::FileModificationTime));
  }
  // A later session reads what the killed one left.
  retrieval::UidlRecord record(root.root(), QStringLiteral("pop:110"), QStringLiteral("me"));
  QVERIFY(record.load());
  QVERIFY(record.isStored(QStringLiteral("old")));
  QCOMPARE(record.isStored(QStringLiteral("uid-2")), stored);
  // Ids the server no longer holds are forgotten.
  QVERIFY(record.keepOnly({QStringLiteral("uid-2")}));
  retrieval::UidlRecord reread(root.root(), QStringLiteral("pop:110"), QStringLiteral("me"));
  QVERIFY(reread.load());
  QVERIFY(!reread.isStored(QStringLiteral("old")));
}

void GetMailTest::uidlRecordPassesOverACutLine() {
  TestRoot root;
  QDir().mkpath(root.path(QStringLiteral("Inbox")));
  auto record = [&] {
    auto r = std::make_unique<retrieval::UidlRecord>(root.root(), QStringLiteral("pop:110"), QStringLiteral("me"));
    r->load();
    return r;
  };
  auto noteAndStore = [&](retrieval::UidlRecord& r, const QString& uidl, const QString& file) {
    QVERIFY(r.noteStoring(uidl, QStringLiteral("Inbox/") + file));
    root.write(QStringLiteral("Inbox/") + file, uidl.toUtf8());
  };
  noteAndStore(*record(), QStringLiteral("a"), QStringLiteral("00000001.msg"));
  // Killed while the note of b was written: half a line, no newline.
  QFile file(record()->filePath());
  QVERIFY(file.open(QIODevice::Append));
  file.write("P b 17");
  file.close();
  auto later = record();
  QVERIFY(later->isStored(QStringLiteral("a")));
  QVERIFY(!later->isStored(QStringLiteral("b")));
  noteAndStore(*later, QStringLiteral("c"), QStringLiteral("00000003.msg"));
  QVERIFY(record()->isStored(QStringLiteral("c")));
  // Once per session the file is rewritten with every note settled.
  QVERIFY(record()->keepOnly({QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("d")}));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  QCOMPARE(lines.mid(1), QList<QByteArray>({"S a", "S c", ""}));
}

void GetMailTest::pipelinedFetchStoresBeforeEachDelete_data() { cutMessageIsNeitherStoredNorDeleted_data(); }

void GetMailTest::pipelinedFetchStoresBeforeEachDelete() {
  QFETCH(bool, blocking);
  const QList<QByteArray> mail = messages(6);
  ScriptedPeer peer;
  serve(peer, mail, true);
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  f.setBlocking(blocking);
  f.setHostDelete(true);
  QStringList deletedUnstored;
  peer.onCommand = [&](const QByteArray& line) {
    if (line.startsWith("DELE ") &&
        !QFile::exists(f.root->path(QStringLiteral("Inbox/") + MailStore::msgFileName(line.mid(5).toInt() + 1))))
      deletedUnstored << QString::fromLatin1(line);
  };
  QVERIFY(f.getMail());
  QCOMPARE(f.prompter->messages, QStringList());
  QCOMPARE(deletedUnstored, QStringList());
  QCOMPARE(f.inboxNames().size(), 6);
  for (int n = 1; n <= 6; ++n)
    QCOMPARE(f.inboxFile(MailStore::msgFileName(n + 1)), mail[n - 1]);
  // The next messages were asked for before the first one was deleted.
  QVERIFY(peer.commands.indexOf("RETR 3") < peer.commands.indexOf("DELE 1"));
  QCOMPARE(peer.commands.last(), QByteArray("QUIT"));
}

void GetMailTest::cutSessionLeavesOnlyDeletes_data() { cutMessageIsNeitherStoredNorDeleted_data(); }

void GetMailTest::cutSessionLeavesOnlyDeletes() {
  QFETCH(bool, blocking);
  const QList<QByteArray> mail = messages(4);
  ScriptedPeer peer;
  serve(peer, mail, false);
  peer.cutRetr(3, 100);
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  f.setBlocking(blocking);
  f.setHostDelete(true);
  QVERIFY(f.getMail());
  QCOMPARE(f.inboxNames().size(), 2);
  QCOMPARE(f.prompter->messages.size(), 1);
  const QString shown = f.prompter->messages.first();
  QVERIFY2(shown.contains(QStringLiteral("closed the connection")), qPrintable(shown));
  QVERIFY2(shown.contains(QStringLiteral("2 of the 4 messages")), qPrintable(shown));
  QVERIFY2(shown.contains(QStringLiteral("deleted on the server by the next GetMail")), qPrintable(shown));

  // No QUIT, so the server still holds all four: the next session only
  // deletes the two already stored.
  serve(peer, mail, false);
  peer.commands.clear();
  QVERIFY(f.getMail());
  QCOMPARE(f.prompter->messages.size(), 1);
  QCOMPARE(f.inboxNames().size(), 4);
  for (int n = 1; n <= 4; ++n)
    QCOMPARE(f.inboxFile(MailStore::msgFileName(n + 1)), mail[n - 1]);
  for (const char* command : {"DELE 1", "DELE 2", "RETR 3", "DELE 3", "RETR 4", "DELE 4"})
    QVERIFY2(peer.commands.contains(command), command);
  QVERIFY(!peer.commands.contains("RETR 1"));
  QVERIFY(!peer.commands.contains("RETR 2"));
}

void GetMailTest::keepOnServerFetchesOnlyNewMail() {
  QList<QByteArray> mail = messages(3);
  ScriptedPeer peer;
  serve(peer, mail, true);
  GetMailFixture f(peer.host(), QStringLiteral("u"), QStringLiteral("p"));
  QVERIFY(f.getMail());
  QVERIFY(f.getMail());
  QCOMPARE(f.inboxNames().size(), 3);
  mail << "Subject: new\r\n\r\nnew\r\n";
  serve(peer, mail, true);
  QVERIFY(f.getMail());
  QCOMPARE(f.inboxNames().size(), 4);
  QCOMPARE(f.inboxFile(MailStore::msgFileName(5)), mail[3]);
  QCOMPARE(peer.commands.count("RETR 1"), 1);
  QCOMPARE(f.prompter->messages, QStringList());

  // The Utilities menu fetches everything once more.
  f.form->mnuGetAllMail->trigger();
  QVERIFY(QTest::qWaitFor([&] { return !f.form->getMail->isActive() && f.form->cmdGetMail->isEnabled(); }, 5000));
  QCOMPARE(f.inboxNames().size(), 8);
  QCOMPARE(f.inboxFile(MailStore::msgFileName(6)), mail[0]);
  QVERIFY(f.getMail());
  QCOMPARE(f.inboxNames().size(), 8);
}

QTEST_MAIN(GetMailTest)
#include "tst_getmail.moc"
