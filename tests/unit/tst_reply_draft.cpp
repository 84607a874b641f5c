// The drafts Reply and Forward make: line ends of the quoting block, and
// which forwarded parts reach the compose window.
#include "compose/replydraft.h"

#include <QTest>

using namespace compose;

static QuoteSource sample(const QString& view = {}, const QString& subject = QStringLiteral("Lunch")) {
  return {QStringLiteral("K <k@x.lk>"), QStringLiteral("today"), QStringLiteral("me@x.org"), {}, subject, view};
}

class ReplyDraftTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void quotedViewLines_data() {
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("tail");  // what follows "Subject: "
    QTest::newRow("CR LF not doubled, lone CR") << "a\r\nb\rc\n" << "Lunch" << "Lunch\r\na\r\nb\r\nc\r\n\r\n";
    QTest::newRow("empty view") << "" << "Lunch" << "Lunch\r\n\r\n";
    QTest::newRow("a subject cannot add lines") << "" << "x\r\nFrom   : y" << "x  From   : y\r\n\r\n";
  }

  void quotedViewLines() {
    QFETCH(QString, view);
    QFETCH(QString, subject);
    QFETCH(QString, tail);
    const QString head = QStringLiteral(" \r\n \r\n \r\n---------------------------\r\nFrom   : K <k@x.lk>\r\n"
                                        "Date   : today\r\nTo     : me@x.org\r\nCC     : \r\nSubject: ");
    QCOMPARE(replyDraft(sample(view, subject)).quote, head + tail);
  }

  void forwardListsOnlySavedParts_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("failing");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("none") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("the middle one fails") << QStringList{"a.gif", "bad.bin", "c.txt"} << QStringList{"bad.bin"}
                                          << QStringList{"/f/a.gif", "/f/c.txt"};
    QTest::newRow("all fail") << QStringList{"a", "b"} << QStringList{"a", "b"} << QStringList{};
  }

  void forwardListsOnlySavedParts() {
    QFETCH(QStringList, names);
    QFETCH(QStringList, failing);
    QFETCH(QStringList, files);
    QList<ForwardPart> parts;
    for (int i = 0; i < names.size(); ++i)
      parts.append({names[i], {i}});
    int saves = 0;
    const ReplyDraft draft = forwardDraft(sample(), parts, [&](const ForwardPart& part, QString* why) {
      ++saves;
      *why = QStringLiteral("disk full");
      return failing.contains(part.name) ? QString() : QStringLiteral("/f/") + part.name;
    });
    QVERIFY(draft.forward && draft.to.isEmpty());
    QCOMPARE(draft.files, files);
    QCOMPARE(saves, names.size());  // each part saved once
    const QString report = notSavedReport(draft);
    QCOMPARE(report.isEmpty(), failing.isEmpty());
    for (const QString& name : failing)
      QVERIFY(report.contains(name + QStringLiteral(": disk full")));
  }
};

QTEST_GUILESS_MAIN(ReplyDraftTest)
#include "tst_reply_draft.moc"
