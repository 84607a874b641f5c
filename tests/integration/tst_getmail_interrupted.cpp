// GetMail against a real Dovecot when it does not run to its end: the
// fetching process killed at random moments, and a mailbox on a full disk.
// Whatever happens, every message ends up in the in-box exactly once or is
// still on the server.
#include "support/mailservers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

constexpr int kMessages = 40;

QByteArray sample(int i) {
  return "From: Sender <s" + QByteArray::number(i) + "@example.org>\nTo: demo@example.test\nSubject: " +
         "message " + QByteArray::number(i) + "\nMessage-ID: <m" + QByteArray::number(i) +
         "@example.org>\n\n.dotted\n" + QByteArray(1000 + (i * 7919) % 30000, 'a' + i % 26) + "\n";
}

// Every message file of the in-box below root, by content.
QList<QByteArray> inbox(const QString& root) {
  QList<QByteArray> out;
  const QDir dir(root + QStringLiteral("/Inbox"));
  for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::ReadOnly))
      out << f.readAll();
  }
  return out;
}

QList<QByteArray> samples() {
  QList<QByteArray> out;
  for (int i = 1; i <= kMessages; ++i)
    out << sample(i);
  return out;
}

// Messages as fetched, in one order.
QList<QByteArray> sorted(QList<QByteArray> messages) {
  for (QByteArray& m : messages)
    m = MailServers::crlf(m);
  std::sort(messages.begin(), messages.end());
  return messages;
}

}  // namespace

class GetMailInterruptedTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void init() { servers_.clearMailbox(); }
  void killedSessionsStoreEachMessageOnce_data();
  void killedSessionsStoreEachMessageOnce();
  void unwritableMailboxLosesNothing_data();
  void unwritableMailboxLosesNothing();

 private:
  // Starts a GetMail in a child process on root; the child's messages.
  QProcess* startChild(const QString& root, bool hostDelete);
  QString finishChild(QProcess* child);
  MailServers servers_{false};
};

void GetMailInterruptedTest::initTestCase() {
  START_MAIL_SERVERS(servers_);
  qputenv("TOVELMAIL_CA_FILE", servers_.caFile().toLocal8Bit());
  qputenv("TOVELMAIL_TIMEOUT_MS", "20000");
}

QProcess* GetMailInterruptedTest::startChild(const QString& root, bool hostDelete) {
  auto* child = new QProcess(this);
  child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child->start(QStringLiteral(TOVEL_BIN_DIR "/fetchchild"),
               {root, servers_.pop3Host(), MailServers::user(), MailServers::password(),
                hostDelete ? QStringLiteral("delete") : QStringLiteral("keep")});
  return child;
}

QString GetMailInterruptedTest::finishChild(QProcess* child) {
  const bool ended = child->waitForFinished(60000);
  const QString shown = QString::fromUtf8(child->readAllStandardOutput()).trimmed();
  const bool ok = ended && child->exitStatus() == QProcess::NormalExit && child->exitCode() == 0;
  delete child;
  return ok ? shown : QStringLiteral("child failed: ") + shown;
}

void GetMailInterruptedTest::killedSessionsStoreEachMessageOnce_data() {
  QTest::addColumn<bool>("hostDelete");
  QTest::newRow("host delete") << true;
  QTest::newRow("keep on server") << false;
}

void GetMailInterruptedTest::killedSessionsStoreEachMessageOnce() {
  QFETCH(bool, hostDelete);
  const QList<QByteArray> all = samples();
  QTemporaryDir root;
  auto count = [&] { return QDir(root.path() + QStringLiteral("/Inbox")).entryList(QDir::Files).size(); };
  const quint32 seed = QRandomGenerator::global()->generate();
  qInfo("kill points from seed %u", seed);
  QRandomGenerator random(seed);
  for (int round = 0; round < 5; ++round) {
    // New mail each round, so that every child has work when it is killed:
    // once a few more messages are in, at a random moment of the next one,
    // while it is read, noted, stored or deleted.
    for (const QByteArray& m : all.mid(round * kMessages / 5, kMessages / 5))
      servers_.deliver(m);
    const qsizetype target = count() + random.bounded(1, 8);
    QProcess* child = startChild(root.path(), hostDelete);
    QVERIFY(child->waitForStarted());
    QDeadlineTimer deadline(20000);
    while (count() < target && !child->waitForFinished(1) && !deadline.hasExpired()) {
    }
    QThread::usleep(random.bounded(0, 5000));
    child->kill();
    child->waitForFinished();
    delete child;
    qInfo("killed, %d messages in the in-box, %d on the server", int(inbox(root.path()).size()),
          servers_.messageCount());
  }
  // Two whole sessions after the killed ones: the second finds nothing new.
  for (int run = 0; run < 2; ++run) {
    const QString shown = finishChild(startChild(root.path(), hostDelete));
    QVERIFY2(shown.isEmpty() || shown == QLatin1String("No mail waiting"), qPrintable(shown));
  }

  const QList<QByteArray> stored = sorted(inbox(root.path()));
  QCOMPARE(stored.size(), kMessages);
  QVERIFY(stored == sorted(samples()));
  QCOMPARE(servers_.messageCount(), hostDelete ? 0 : kMessages);
}

void GetMailInterruptedTest::unwritableMailboxLosesNothing_data() {
  QTest::addColumn<bool>("readOnly");
  QTest::addColumn<QStringList>("words");
  QTest::newRow("full disk") << false << QStringList{"is full", "needs", "Nothing was lost"};
  QTest::newRow("read-only") << true << QStringList{"may not be written to", "Nothing was fetched", "on the server"};
}

// The mailbox on a small tmpfs that fills up, or one mounted read-only
// (root may write anywhere else): the text says why, and each message is
// either whole in the in-box or still on the server.
void GetMailInterruptedTest::unwritableMailboxLosesNothing() {
  QFETCH(bool, readOnly);
  QFETCH(QStringList, words);
  QTemporaryDir mountPoint;
  const QString root = mountPoint.path();
  const int mounted = QProcess::execute(QStringLiteral("mount"),
                                        {"-t", "tmpfs", "-o", "size=256k", "tmpfs", root});
  if (mounted != 0) {
    if (qEnvironmentVariable("CI") == QLatin1String("true"))
      QFAIL("cannot mount a small tmpfs (needs root)");
    QSKIP("cannot mount a small tmpfs (needs root)");
  }
  struct Unmount {
    QString path;
    ~Unmount() { QProcess::execute(QStringLiteral("umount"), {path}); }
  } unmount{root};
  // A first GetMail with nothing waiting lays out the folders.
  QCOMPARE(finishChild(startChild(root, true)), QStringLiteral("No mail waiting"));
  if (readOnly)
    QCOMPARE(QProcess::execute(QStringLiteral("mount"), {"-o", "remount,ro", root}), 0);

  for (const QByteArray& m : samples())
    servers_.deliver(m);
  const QString shown = finishChild(startChild(root, true));
  for (const QString& word : words)
    QVERIFY2(shown.contains(word), qPrintable(shown));

  const QList<QByteArray> stored = inbox(root);
  QCOMPARE(stored.isEmpty(), readOnly);
  const QList<QByteArray> all = sorted(stored + servers_.messages());
  QCOMPARE(all.size(), kMessages);
  QVERIFY(all == sorted(samples()));
}

QTEST_MAIN(GetMailInterruptedTest)
#include "tst_getmail_interrupted.moc"
