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
  void progressLabel();
  void menuAndCheckBoxSwitches();
  void deleteWindowRecoversFromRefusals();
  void uidlRecordAfterACrash_data();
  void uidlRecordAfterACrash();
  void pipelinedFetch_data();
  void pipelinedFetch();
  void brokenSessionStoresOnlyWholeMessages_data();
  void brokenSessionStoresOnlyWholeMessages();
};

void GetMailTest::progressLabel() {
  ScriptedPeer peer;
  GetMailFixture f(peer.host());
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

void GetMailTest::menuAndCheckBoxSwitches() {
  ScriptedPeer peer;
  GetMailFixture f(peer.host());
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
  for (const bool on : {true, false}) {
    QTest::mouseClick(f.form->chkHostDelete, Qt::LeftButton);
    QCOMPARE(f.form->chkHostDelete->isChecked(), on);
    QCOMPARE(f.prompter->messages.size(), 2);
  }

  for (const bool on : {true, false}) {
    f.form->chkBlocking->setChecked(on);
    f.form->mnuBlocking_Click();
    QCOMPARE(f.form->Mail1->Blocking(), on);
    QCOMPARE(f.form->mnuBlocking->isChecked(), on);
    QCOMPARE(f.form->chkBlocking->isChecked(), on);
  }
  QTest::mouseClick(f.form->chkBlocking, Qt::LeftButton);
  QVERIFY(f.form->Mail1->Blocking());
  for (const int mode : {1, 0}) {
    QTest::mouseClick(f.form->chkTrace, Qt::LeftButton);
    QCOMPARE(f.form->Mail1->DebugMode(), mode);
  }
}

void GetMailTest::deleteWindowRecoversFromRefusals() {
  ScriptedPeer peer;
  peer.servePop3({"a\r\n", "b\r\n"});
  peer.on("PASS", "-ERR [AUTH] nope\r\n");
  GetMailFixture f(peer.host());
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

void GetMailTest::uidlRecordAfterACrash_data() {
  QTest::addColumn<int>("fileAgeSeconds");  // -1: no file written
  QTest::addColumn<bool>("cutNote");        // killed while the note was written: half a line
  QTest::addColumn<bool>("stored");
  QTest::newRow("noted, then killed before the store") << -1 << false << false;
  QTest::newRow("noted and stored, killed before the delete") << 0 << false << true;
  QTest::newRow("name later taken by an older message") << 86400 << false << false;
  QTest::newRow("killed while noting") << -1 << true << false;
}

void GetMailTest::uidlRecordAfterACrash() {
  QFETCH(int, fileAgeSeconds);
  QFETCH(bool, cutNote);
  QFETCH(bool, stored);
  TestRoot root;
  QDir().mkpath(root.path(QStringLiteral("Inbox")));
  auto record = [&] {
    auto r = std::make_unique<retrieval::UidlRecord>(root.root(), QStringLiteral("pop:110"), QStringLiteral("me"));
    return r->load() ? std::move(r) : nullptr;
  };
  auto noteAndStore = [&](retrieval::UidlRecord& r, const QString& uidl, const QString& file) {
    QVERIFY(r.noteStoring(uidl, QStringLiteral("Inbox/") + file));
    root.write(QStringLiteral("Inbox/") + file, uidl.toUtf8());
  };
  noteAndStore(*record(), QStringLiteral("old"), QStringLiteral("00000001.msg"));
  QFile file(record()->filePath());
  if (cutNote) {
    QVERIFY(file.open(QIODevice::Append));
    file.write("P uid-2 17");
    file.close();
  } else {
    QVERIFY(record()->noteStoring(QStringLiteral("uid-2"), QStringLiteral("Inbox/00000002.msg")));
  }
  if (fileAgeSeconds >= 0) {
    root.write(QStringLiteral("Inbox/00000002.msg"), "second");
    QFile written(root.path(QStringLiteral("Inbox/00000002.msg")));
    QVERIFY(written.open(QIODevice::ReadWrite));
    QVERIFY(written.setFileTime(QDateTime::currentDateTime().addSecs(-fileAgeSeconds),
                                QFileDevice::FileModificationTime));
  }
  // A later session reads what the killed one left, and notes on.
  auto later = record();
  QVERIFY(later);
  QVERIFY(later->isStored(QStringLiteral("old")));
  QCOMPARE(later->isStored(QStringLiteral("uid-2")), stored);
  noteAndStore(*later, QStringLiteral("c"), QStringLiteral("00000003.msg"));
  QVERIFY(record()->isStored(QStringLiteral("c")));
  // Once per session the file is rewritten with every note settled, and
  // ids the server no longer holds are forgotten.
  QVERIFY(record()->keepOnly({QStringLiteral("uid-2"), QStringLiteral("c"), QStringLiteral("d")}));
  QVERIFY(!record()->isStored(QStringLiteral("old")));
  QVERIFY(file.open(QIODevice::ReadOnly));
  QList<QByteArray> lines = file.readAll().split('\n').mid(1);
  std::sort(lines.begin(), lines.end());
  QCOMPARE(lines, stored ? QList<QByteArray>({"", "S c", "S uid-2"}) : QList<QByteArray>({"", "S c"}));
}

void GetMailTest::pipelinedFetch_data() {
  QTest::addColumn<bool>("blocking");
  QTest::addColumn<bool>("hostDelete");
  QTest::newRow("asynchronous, host delete") << false << true;
  QTest::newRow("blocking, host delete") << true << true;
  QTest::newRow("asynchronous, keep on server") << false << false;
}

void GetMailTest::pipelinedFetch() {
  QFETCH(bool, blocking);
  QFETCH(bool, hostDelete);
  QList<QByteArray> mail = messages(6);
  ScriptedPeer peer;
  serve(peer, mail, true);
  GetMailFixture f(peer.host());
  f.setBlocking(blocking);
  f.setHostDelete(hostDelete);
  QStringList deletedUnstored;
  peer.onCommand = [&](const QByteArray& line) {
    if (line.startsWith("DELE ") &&
        (!hostDelete || !QFile::exists(f.root->path(QStringLiteral("Inbox/") +
                                                    MailStore::msgFileName(line.mid(5).toInt() + 1)))))
      deletedUnstored << QString::fromLatin1(line);
  };
  QVERIFY(f.getMail());
  QCOMPARE(f.prompter->messages, QStringList());
  QCOMPARE(deletedUnstored, QStringList());
  QCOMPARE(f.inboxNames().size(), 6);
  for (int n = 1; n <= 6; ++n)
    QCOMPARE(f.inboxFile(MailStore::msgFileName(n + 1)), mail[n - 1]);
  QCOMPARE(peer.commands.last(), QByteArray("QUIT"));
  if (hostDelete) {
    // The next messages were asked for before the first one was deleted.
    QVERIFY(peer.commands.indexOf("RETR 3") < peer.commands.indexOf("DELE 1"));
    return;
  }
  // Kept on the server: the next sessions fetch only what is new.
  QVERIFY(f.getMail());
  mail << "Subject: new\r\n\r\nnew\r\n";
  serve(peer, mail, true);
  QVERIFY(f.getMail());
  QCOMPARE(f.inboxNames().size(), 7);
  QCOMPARE(f.inboxFile(MailStore::msgFileName(8)), mail[6]);
  QCOMPARE(peer.commands.count("RETR 1"), 1);
  QCOMPARE(f.prompter->messages, QStringList());
  QCOMPARE(deletedUnstored, QStringList());
}

void GetMailTest::brokenSessionStoresOnlyWholeMessages_data() {
  QTest::addColumn<QString>("fault");  // in the transfer of message 3
  QTest::addColumn<bool>("blocking");
  QTest::addColumn<bool>("uidl");
  QTest::addColumn<QString>("shown");  // how the message shown ends
  QTest::newRow("cut") << "cut" << false << false << "( 20200)";
  QTest::newRow("cut, blocking") << "cut" << true << false << "( 20200)";
  QTest::newRow("cut, UIDL") << "cut" << false << true << "( 20200)";
  QTest::newRow("cut, blocking, UIDL") << "cut" << true << true << "( 20200)";
  QTest::newRow("timed out") << "silent" << false << false << "( 20204)";
  QTest::newRow("toolbar GetMail") << "toolbar" << false << false << "Try again Please";
}

void GetMailTest::brokenSessionStoresOnlyWholeMessages() {
  QFETCH(QString, fault);
  QFETCH(bool, blocking);
  QFETCH(bool, uidl);
  QFETCH(QString, shown);
  maillib::NetSession::setDefaultTimeout(fault == QLatin1String("silent") ? 300 : 5000);
  const QList<QByteArray> mail = messages(4);
  ScriptedPeer peer;
  peer.servePop3(mail);
  if (uidl)
    offerUidls(peer, 4, false);
  if (fault == QLatin1String("cut"))
    peer.cutRetr(3, 5000);
  else
    peer.on("RETR 3", {}, ScriptedPeer::Silence);
  GetMailFixture f(peer.host());
  f.setBlocking(blocking);
  f.setHostDelete(true);
  f.form->cmdGetMail_Click();
  if (fault == QLatin1String("toolbar")) {
    // The toolbar button works while the GetMail button is disabled, and
    // stops the session at once.
    QTRY_VERIFY(peer.commands.contains("RETR 3"));
    QVERIFY(!f.form->cmdGetMail->isEnabled());
    f.form->pictbut_Click(0);
    QVERIFY(f.form->cmdGetMail->isEnabled());
  }
  QVERIFY(f.waitIdle(5000));
  QTest::qWait(100);
  // No half file, no temporary file; nothing after the break.
  QCOMPARE(f.inboxNames(), QStringList({"00000002.msg", "00000003.msg"}));
  for (int n = 1; n <= 2; ++n)
    QCOMPARE(f.inboxFile(MailStore::msgFileName(n + 1)), mail[n - 1]);
  QVERIFY(!peer.commands.contains("DELE 3"));
  QVERIFY(!peer.commands.contains("RETR 4"));
  QCOMPARE(f.prompter->messages.size(), 1);
  const QString text = f.prompter->messages.first();
  QVERIFY2(text.endsWith(shown), qPrintable(text));
  QCOMPARE(f.form->getMail->state(), retrieval::GetMailSession::State::Idle);
  if (fault == QLatin1String("cut"))
    QVERIFY2(text.contains(QStringLiteral("closed the connection")), qPrintable(text));
  if (uidl) {
    QVERIFY2(text.contains(QStringLiteral("2 of the 4 messages")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("deleted on the server by the next GetMail")), qPrintable(text));
  } else {
    QVERIFY(peer.commands.contains("DELE 1"));
  }

  // Ready for another try right away. Without QUIT the server still holds
  // all four; with UIDL the next session only deletes the two stored, and
  // without it the scripted server is left with the two not deleted.
  if (uidl)
    serve(peer, mail, false);
  else
    peer.servePop3(mail.mid(2));
  peer.commands.clear();
  QVERIFY(f.getMail());
  QCOMPARE(f.prompter->messages.size(), 1);
  QCOMPARE(f.inboxNames().size(), 4);
  for (int n = 1; n <= 4; ++n)
    QCOMPARE(f.inboxFile(MailStore::msgFileName(n + 1)), mail[n - 1]);
  if (!uidl)
    return;
  for (const char* command : {"DELE 1", "DELE 2", "RETR 3", "DELE 3", "RETR 4", "DELE 4"})
    QVERIFY2(peer.commands.contains(command), command);
  QVERIFY(!peer.commands.contains("RETR 1"));
  QVERIFY(!peer.commands.contains("RETR 2"));
}

QTEST_MAIN(GetMailTest)
#include "tst_getmail.moc"
