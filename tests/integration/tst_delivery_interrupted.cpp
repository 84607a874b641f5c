// Sending through the real Postfix into Dovecot when the sending process is
// killed the moment the server accepted a message, before the program took
// note: the next run asks about exactly that message; Yes sends it again, No
// keeps it in the OutBox, and a later run neither asks nor sends it. Every
// other message arrives once, and each is in Sent or in the OutBox.
#include "support/mailservers.h"
#include "support/testroot.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

QByteArray queued(const QString& subject) {
  return "From: demo@example.test\r\nTo: demo@example.test\r\nSubject: " + subject.toUtf8() +
         "\r\nMessage-ID: <" + subject.toUtf8().replace(' ', '.') + "@example.test>\r\n\r\nqueued\r\n";
}

QByteArray field(const QByteArray& message, const char* name) {
  const QRegularExpression re(QStringLiteral("^%1: *(.*?)\\r?$").arg(QLatin1String(name)),
                              QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
  return re.match(QString::fromLatin1(message)).captured(1).toLatin1();
}

}  // namespace

class DeliveryInterruptedTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void init() { servers_.clearMailbox(); }
  void nextRunAsksAboutTheMessageInFlight_data();
  void nextRunAsksAboutTheMessageInFlight();

 private:
  // Runs a child on the root; its questions and messages. killAt > 0: the
  // child must die after that many accepted messages.
  QStringList run(const TestRoot& root, const QString& mode, const QString& subject,
                  const QString& answers = {}, int killAt = 0);
  // Message-ID -> file contents of every message in a folder.
  static QMap<QByteArray, QByteArray> byId(const QString& folder);
  MailServers servers_;
};

void DeliveryInterruptedTest::initTestCase() {
  START_MAIL_SERVERS(servers_);
  qputenv("TOVELMAIL_CA_FILE", servers_.caFile().toLocal8Bit());
  qputenv("TOVELMAIL_TIMEOUT_MS", "20000");
}

QStringList DeliveryInterruptedTest::run(const TestRoot& root, const QString& mode, const QString& subject,
                                         const QString& answers, int killAt) {
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (killAt > 0)
    env.insert(QStringLiteral("TOVELMAIL_KILL_AFTER_ACCEPTED"), QString::number(killAt));
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QStringLiteral(TOVEL_BIN_DIR "/deliverchild"),
              {root.root(), servers_.submissionHost(), MailServers::user(), MailServers::password(), mode,
               subject, answers});
  const bool ended = child.waitForFinished(60000);
  const QStringList shown = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  const bool asExpected = ended && child.exitStatus() == (killAt > 0 ? QProcess::CrashExit : QProcess::NormalExit);
  return asExpected ? shown : QStringList{QStringLiteral("child did not end as expected")} + shown;
}

QMap<QByteArray, QByteArray> DeliveryInterruptedTest::byId(const QString& folder) {
  QMap<QByteArray, QByteArray> out;
  const QDir dir(folder);
  for (const QString& name : dir.entryList({QStringLiteral("*.msg")}, QDir::Files)) {
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::ReadOnly)) {
      const QByteArray m = f.readAll();
      out.insert(field(m, "Message-ID"), m);
    }
  }
  return out;
}

void DeliveryInterruptedTest::nextRunAsksAboutTheMessageInFlight_data() {
  QTest::addColumn<QString>("first");   // the killed child: a run or an immediate send
  QTest::addColumn<int>("killAt");
  QTest::addColumn<QString>("second");  // the child that asks
  QTest::addColumn<bool>("yes");
  QTest::addColumn<QString>("asked");   // subject of the message in flight
  QTest::newRow("run, next run, Yes") << "queue" << 3 << "queue" << true << "queued 3";
  QTest::newRow("run, next run, No") << "queue" << 3 << "queue" << false << "queued 3";
  QTest::newRow("send, next send, Yes") << "now" << 1 << "now" << true << "at once";
  QTest::newRow("send, next run, No") << "now" << 1 << "queue" << false << "at once";
}

void DeliveryInterruptedTest::nextRunAsksAboutTheMessageInFlight() {
  QFETCH(QString, first);
  QFETCH(int, killAt);
  QFETCH(QString, second);
  QFETCH(bool, yes);
  QFETCH(QString, asked);
  TestRoot root;
  const int queuedCount = first == QLatin1String("queue") ? 5 : 2;
  for (int i = 1; i <= queuedCount; ++i)
    root.write(QStringLiteral("OutBox/%1.msg").arg(i + 1, 8, 10, QLatin1Char('0')), queued(QStringLiteral("queued %1").arg(i)));

  QStringList shown = run(root, first, QStringLiteral("at once"), {}, killAt);
  QVERIFY2(shown.isEmpty(), qPrintable(shown.join(QLatin1Char('\n'))));
  QVERIFY(servers_.waitForMessages(killAt, 20000));

  shown = run(root, second, QStringLiteral("afterwards"), yes ? QStringLiteral("y") : QStringLiteral("n"));
  QCOMPARE(shown.size(), 1);
  QVERIFY2(shown.first().startsWith(QStringLiteral("? The message \"%1\" to ").arg(asked)), qPrintable(shown.first()));
  QVERIFY(shown.first().endsWith(QStringLiteral("may already have been sent when the program stopped; send it again?")));

  // A later run neither asks about a held message nor sends it.
  root.write(QStringLiteral("OutBox/00000099.msg"), queued(QStringLiteral("later")));
  shown = run(root, QStringLiteral("queue"), {});
  QVERIFY2(shown.isEmpty(), qPrintable(shown.join(QLatin1Char('\n'))));

  const QMap<QByteArray, QByteArray> sent = byId(root.path(QStringLiteral("Sent")));
  const QMap<QByteArray, QByteArray> outbox = byId(root.path(QStringLiteral("OutBox")));
  const int created = queuedCount + (first == QLatin1String("now") ? 1 : 0) +
                      (second == QLatin1String("now") ? 1 : 0) + 1;
  QCOMPARE(sent.size() + outbox.size(), created);
  QCOMPARE(outbox.size(), yes ? 0 : 1);
  if (!yes)
    QCOMPARE(field(outbox.first(), "Subject"), asked.toLatin1());
  const int arrivals = created + (yes ? 1 : 0);
  QVERIFY(servers_.waitForMessages(arrivals, 20000));
  QTest::qWait(500);  // nothing more arrives
  QMap<QByteArray, int> arrived;
  for (const QByteArray& m : servers_.messages())
    ++arrived[field(m, "Message-ID")];
  QCOMPARE(arrived.size(), created);
  for (auto it = arrived.begin(); it != arrived.end(); ++it) {
    const QByteArray& m = sent.contains(it.key()) ? sent[it.key()] : outbox.value(it.key());
    QVERIFY2(!m.isEmpty(), it.key().constData());
    QCOMPARE(it.value(), yes && field(m, "Subject") == asked.toLatin1() ? 2 : 1);
  }
}

QTEST_MAIN(DeliveryInterruptedTest)
#include "tst_delivery_interrupted.moc"
