// The OutBox record: which queued messages a run sends, which it asks about
// and which it holds, from records left by crashes, by lost connections and
// by earlier answers, whole or damaged.
#include "compose/deliveryjournal.h"
#include "store/mailstore.h"
#include "support/scriptedprompter.h"
#include "support/testroot.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QString queuedPath(const TestRoot& root, int n) {
  return root.path(QStringLiteral("OutBox/") + MailStore::msgFileName(n));
}

QStringList numbers(const QStringList& files) {
  QStringList out;
  for (const QString& f : files)
    out << QString::number(MailStore::msgNumber(QFileInfo(f).fileName()));
  return out;
}

void append(const QString& path, const QByteArray& text) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::Append));
  f.write(text);
}

}  // namespace

class DeliveryJournalTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void choosesWhatToSend_data();
  void choosesWhatToSend();
  void noteAfterATornLineIsRead();
};

void DeliveryJournalTest::choosesWhatToSend_data() {
  QTest::addColumn<QStringList>("record");  // "kind n [changed]", "garbage", "torn n", "unwritable"
  QTest::addColumn<bool>("whole");          // a delivery run; else an immediate send
  QTest::addColumn<QString>("answers");
  QTest::addColumn<QStringList>("sent");
  QTest::addColumn<QString>("asked");       // words of the one question; empty: none
  QTest::addColumn<QStringList>("held");
  const QStringList none;
  QTest::newRow("nothing recorded") << none << true << "" << QStringList{"2", "3", "4"} << "" << none;
  QTest::newRow("in flight, Yes") << QStringList{"sending 3"} << true << "y" << QStringList{"2", "3", "4"}
                                  << "when the program stopped" << none;
  QTest::newRow("in flight, No") << QStringList{"sending 3"} << true << "n" << QStringList{"2", "4"}
                                 << "\"s3\" to r3 may already" << QStringList{"3"};
  QTest::newRow("connection lost, No") << QStringList{"lost 4"} << true << "n" << QStringList{"2", "3"}
                                       << "when the connection was lost" << QStringList{"4"};
  QTest::newRow("already in Sent") << QStringList{"sending 9"} << true << "" << QStringList{"2", "3", "4"} << "" << none;
  QTest::newRow("its name since taken by another message")
      << QStringList{"sending 3 changed"} << true << "" << QStringList{"2", "3", "4"} << "" << none;
  QTest::newRow("held stays held, unasked") << QStringList{"held 3"} << true << "" << QStringList{"2", "4"} << "" << QStringList{"3"};
  QTest::newRow("only held ones left: asked again")
      << QStringList{"held 2", "held 3", "held 4"} << true << "yny" << QStringList{"2", "4"} << "is held in the OutBox"
      << QStringList{"3"};
  QTest::newRow("damaged and torn lines") << QStringList{"garbage", "held 3", "torn 4"} << true << ""
                                          << QStringList{"2", "4"} << "" << QStringList{"3"};
  QTest::newRow("record unwritable") << QStringList{"unwritable"} << true << "" << none << "" << none;
  QTest::newRow("immediate send: only the one in flight")
      << QStringList{"sending 3", "held 4"} << false << "y" << QStringList{"3"} << "may already" << QStringList{"4"};
}

void DeliveryJournalTest::choosesWhatToSend() {
  QFETCH(QStringList, record);
  QFETCH(bool, whole);
  QFETCH(QString, answers);
  QFETCH(QStringList, sent);
  QFETCH(QString, asked);
  QFETCH(QStringList, held);
  TestRoot root;
  resetProgramState(root);
  QVERIFY(mailStore().createStandardFolders());
  for (int n = 2; n <= 4; ++n)
    root.write(QStringLiteral("OutBox/") + MailStore::msgFileName(n), "message " + QByteArray::number(n));
  root.write(QStringLiteral("OutBox/00000009.msg"), "message 9");

  compose::DeliveryJournal journal;
  QByteArray extra;
  for (const QString& item : record) {
    const QStringList words = item.split(QLatin1Char(' '));
    const int n = words.value(1).toInt();
    const QString file = queuedPath(root, n);
    const compose::QueuedFile described = journal.describe(file, QStringLiteral("\"s%1\" to r%1").arg(n));
    if (words[0] == QLatin1String("sending") || words[0] == QLatin1String("lost"))
      journal.setInFlight(described, words[0] == QLatin1String("lost") ? compose::DeliveryJournal::Loss::ConnectionLost
                                                            : compose::DeliveryJournal::Loss::ProgramStopped);
    else if (words[0] == QLatin1String("held"))
      journal.hold(file);
    else if (words[0] == QLatin1String("garbage"))
      extra += "held\tno size\tx\ty\tz\nsending\t../Inbox/00000001.msg\t1\t1\tescape\n\x01\xff\n";
    else if (words[0] == QLatin1String("torn"))
      extra += "sending\t" + described.name.toUtf8() + '\t' + QByteArray::number(described.size) + '\t' +
               QByteArray::number(described.modified) + "\tthe line break never came";
    else if (words[0] == QLatin1String("unwritable"))
      QVERIFY(QDir().mkpath(journal.path()));
  }
  if (!record.contains(QStringLiteral("unwritable"))) {
    QVERIFY(journal.save(nullptr));
    append(journal.path(), extra);
  }
  // Accepted and moved into Sent before the program stopped.
  QVERIFY(QFile::rename(queuedPath(root, 9), root.path(QStringLiteral("Sent/00000009.msg"))));
  if (record.contains(QStringLiteral("sending 3 changed")))
    root.write(QStringLiteral("OutBox/00000003.msg"), "a new message under the old name");

  ScriptedPrompter prompter;
  for (const QChar c : answers)
    prompter.questionAnswers.enqueue(c == QLatin1Char('y'));
  const compose::DeliveryChoice choice = compose::chooseDeliveries(compose::queuedFiles(), whole);
  QCOMPARE(numbers(choice.send), sent);
  QCOMPARE(choice.problem.isEmpty(), !record.contains(QStringLiteral("unwritable")));
  QCOMPARE(prompter.questions.size(), asked.isEmpty() ? 0 : int(answers.size()));
  for (const QString& q : prompter.questions)
    QVERIFY2(q.contains(asked) && q.endsWith(QStringLiteral("send it again?")), qPrintable(q));

  // What the record keeps for the next run.
  compose::DeliveryJournal after;
  after.load();
  for (int n = 2; n <= 4; ++n) {
    QCOMPARE(after.isHeld(queuedPath(root, n)), held.contains(QString::number(n)));
    QVERIFY(!after.isUnknown(queuedPath(root, n)));
  }
}

// A crash cut the last note short; the next session's note still counts.
void DeliveryJournalTest::noteAfterATornLineIsRead() {
  TestRoot root;
  resetProgramState(root);
  root.write(QStringLiteral("OutBox/00000002.msg"), "message 2");
  compose::DeliveryJournal journal;
  QVERIFY(journal.save(nullptr));
  append(journal.path(), "sending\t00000002.msg\t9");
  journal.load();
  QVERIFY(!journal.isUnknown(queuedPath(root, 2)));
  QVERIFY(journal.noteInFlight(journal.describe(queuedPath(root, 2)), nullptr));
  compose::DeliveryJournal after;
  after.load();
  QVERIFY(after.isUnknown(queuedPath(root, 2)));
}

QTEST_GUILESS_MAIN(DeliveryJournalTest)
#include "tst_deliveryjournal.moc"
