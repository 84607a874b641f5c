// The drafts Reply and Forward make: the quoting block and its file, the
// fields, and which forwarded parts reach the compose window.
#include "compose/replydraft.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace compose;

namespace {

QuoteSource sample(const QString& viewText = QStringLiteral("Hello\n")) {
  return {QStringLiteral("Kamala <k@example.lk>"), QStringLiteral("Sun, 6 Dec 2026 10:00:00 +0000"),
          QStringLiteral("me@example.org"), QString(), QStringLiteral("Lunch"), viewText};
}

const QString kHead = QStringLiteral(
    " \r\n \r\n \r\n---------------------------\r\n"
    "From   : Kamala <k@example.lk>\r\nDate   : Sun, 6 Dec 2026 10:00:00 +0000\r\n"
    "To     : me@example.org\r\nCC     : \r\nSubject: Lunch\r\n");

}  // namespace

class ReplyDraftTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void quotingBlock_data();
  void quotingBlock();
  void headerValuesStayOnTheirLine();
  void quoteFileHoldsTheCodePage();
  void forwardListsOnlySavedParts_data();
  void forwardListsOnlySavedParts();
};

void ReplyDraftTest::quotingBlock_data() {
  QTest::addColumn<QString>("view");
  QTest::addColumn<QString>("quotedView");
  QTest::newRow("view lines end in LF") << "Hello\n\nBye\n" << "Hello\r\n\r\nBye\r\n\r\n";
  QTest::newRow("CR LF not doubled") << "Hello\r\nBye\r\n" << "Hello\r\nBye\r\n\r\n";
  QTest::newRow("lone CR") << "a\rb\n" << "a\r\nb\r\n\r\n";
  QTest::newRow("empty view") << "" << "\r\n";
  QTest::newRow("font codes kept") << QString::fromLatin1("\xe0\xa0\xff\n") << QString::fromLatin1("\xe0\xa0\xff\r\n\r\n");
}

void ReplyDraftTest::quotingBlock() {
  QFETCH(QString, view);
  QFETCH(QString, quotedView);
  QCOMPARE(compose::quotingBlock(sample(view)), kHead + quotedView);
  const ReplyDraft reply = replyDraft(sample(view));
  QCOMPARE(reply.to, QStringLiteral("Kamala <k@example.lk>"));
  QCOMPARE(reply.subject, QStringLiteral("Lunch"));  // no prefix
  QVERIFY(!reply.forward);
}

void ReplyDraftTest::headerValuesStayOnTheirLine() {
  QuoteSource source = sample();
  source.subject = QStringLiteral("Two\r\nFrom   : someone else");
  const QStringList lines = compose::quotingBlock(source).split(QStringLiteral("\r\n"));
  QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^From   : "))).size(), 1);
  QCOMPARE(lines.at(8), QStringLiteral("Subject: Two  From   : someone else"));
}

void ReplyDraftTest::quoteFileHoldsTheCodePage() {
  QTemporaryDir dir;
  const QString path = dir.filePath(kQuoteFileName);
  QVERIFY(writeQuoteFile(path, QString(5000, QLatin1Char('x'))));
  const QString block = compose::quotingBlock(sample(QString::fromLatin1("\xe0\x80\x9f\n")));
  QVERIFY(writeQuoteFile(path, block));
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), block.toLatin1());  // a longer older file leaves no tail
  QString why;
  QVERIFY(!writeQuoteFile(dir.filePath(QStringLiteral("missing/reply.tmp")), block, &why));
  QVERIFY(!why.isEmpty());
}

void ReplyDraftTest::forwardListsOnlySavedParts_data() {
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<QStringList>("failing");
  QTest::addColumn<QStringList>("files");
  QTest::newRow("none") << QStringList{} << QStringList{} << QStringList{};
  QTest::newRow("two saved, in order") << QStringList{"a.gif", "b.zip"} << QStringList{}
                                       << QStringList{"/f/a.gif", "/f/b.zip"};
  QTest::newRow("the middle one fails") << QStringList{"a.gif", "bad.bin", "c.txt"} << QStringList{"bad.bin"}
                                        << QStringList{"/f/a.gif", "/f/c.txt"};
  QTest::newRow("all fail") << QStringList{"a", "b"} << QStringList{"a", "b"} << QStringList{};
}

void ReplyDraftTest::forwardListsOnlySavedParts() {
  QFETCH(QStringList, names);
  QFETCH(QStringList, failing);
  QFETCH(QStringList, files);
  QList<ForwardPart> parts;
  for (int i = 0; i < names.size(); ++i)
    parts.append({names[i], {i + 1}});
  QList<QList<int>> asked;
  const PartSaver save = [&](const ForwardPart& part, QString* why) {
    asked.append(part.path);
    if (failing.contains(part.name)) {
      *why = QStringLiteral("disk full");
      return QString();
    }
    return QStringLiteral("/f/") + part.name;
  };
  const ReplyDraft draft = forwardDraft(sample(), parts, save);
  QVERIFY(draft.forward);
  QVERIFY(draft.to.isEmpty());
  QCOMPARE(draft.subject, QStringLiteral("Lunch"));
  QCOMPARE(draft.files, files);
  QCOMPARE(asked.size(), names.size());  // each part saved once
  const QString report = notSavedReport(draft);
  QCOMPARE(report.isEmpty(), failing.isEmpty());
  for (const QString& name : failing)
    QVERIFY(report.contains(name + QStringLiteral(": disk full")));
}

QTEST_GUILESS_MAIN(ReplyDraftTest)
#include "tst_reply_draft.moc"
