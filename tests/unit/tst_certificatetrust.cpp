// Trusting server certificates that fail verification: the stored file and
// the decision for a certificate that is new, trusted, declined or changed.
#include "maillib/certificatetrust.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using maillib::CertificateTrustStore;

namespace {

QSslCertificate makeCertificate(const QTemporaryDir& dir, const QString& name) {
  const QString pem = dir.filePath(name + QStringLiteral(".pem"));
  QProcess openssl;
  openssl.start(QStringLiteral("openssl"),
                {"req", "-x509", "-newkey", "rsa:1024", "-nodes", "-days", "2", "-subj",
                 "/CN=" + name, "-keyout", dir.filePath(name + ".key"), "-out", pem});
  openssl.waitForFinished(30000);
  const QList<QSslCertificate> certs = QSslCertificate::fromPath(pem);
  return certs.isEmpty() ? QSslCertificate() : certs.first();
}

}  // namespace

class CertificateTrustTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() {
    mine_ = makeCertificate(certs_, QStringLiteral("mail.example.org"));
    other_ = makeCertificate(certs_, QStringLiteral("attacker.example.org"));
    QVERIFY(!mine_.isNull() && !other_.isNull());
  }

  void cleanup() { maillib::setCertificateDecider({}); }

  void storeKeepsOneFingerprintPerServer() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/trusted-certificates.txt"));
    CertificateTrustStore store(path);
    const QString v6 = maillib::serverKey(QStringLiteral("::1"), 25);
    QVERIFY(store.trust(QStringLiteral("a:995"), QStringLiteral("aa:bb")));
    QVERIFY(store.trust(v6, QStringLiteral("CC:DD")));
    QVERIFY(store.trust(QStringLiteral("a:995"), QStringLiteral("EE:FF")));
    // Lines someone added by hand that are not entries are passed over.
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("garbage\nb:1 11:22 extra\n\n# b:2 33:44\n");
    file.close();
    QCOMPARE(store.fingerprintFor(QStringLiteral("a:995")).value_or(QString()), QStringLiteral("EE:FF"));
    QCOMPARE(store.fingerprintFor(QStringLiteral("[::1]:25")).value_or(QString()), QStringLiteral("CC:DD"));
    for (const char* absent : {"a:110", "b:1", "# b:2"})
      QVERIFY2(!store.fingerprintFor(QString::fromLatin1(absent)), absent);
  }

  void judgement_data() {
    QTest::addColumn<bool>("storedMine");   // the store already trusts mine_ for the server
    QTest::addColumn<bool>("presentOther"); // the server shows other_ instead of mine_
    QTest::addColumn<int>("answer");        // -1: no decider, 0: No, 1: Yes
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<int>("asked");
    QTest::addColumn<QString>("refusal");   // part of the warning, when one is expected
    QTest::newRow("new, nobody to ask") << false << false << -1 << false << 0 << QString();
    QTest::newRow("new, declined") << false << false << 0 << false << 1 << QStringLiteral("not trusted");
    QTest::newRow("new, trusted") << false << false << 1 << true << 1 << QString();
    QTest::newRow("trusted before") << true << false << 1 << true << 0 << QString();
    QTest::newRow("changed") << true << true << 1 << false << 0 << QStringLiteral("not the one you trusted");
  }

  void judgement() {
    QFETCH(bool, storedMine);
    QFETCH(bool, presentOther);
    QFETCH(int, answer);
    QFETCH(bool, trusted);
    QFETCH(int, asked);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString server = QStringLiteral("mail.example.org:995");
    CertificateTrustStore store(dir.filePath(QStringLiteral("trusted-certificates.txt")));
    const QString mineFingerprint =
        maillib::CertificateFacts::of(server, mine_, {}).fingerprint;
    if (storedMine)
      QVERIFY(store.trust(server, mineFingerprint));
    QList<maillib::CertificateFacts> questions;
    if (answer >= 0)
      maillib::setCertificateDecider([&](const maillib::CertificateFacts& facts) {
        questions << facts;
        return answer == 1;
      });
    const QSslCertificate& shown = presentOther ? other_ : mine_;
    const QList<QSslError> errors{QSslError(QSslError::SelfSignedCertificate, shown)};

    const maillib::TrustVerdict verdict = maillib::judgeCertificate(server, shown, errors, store);
    QCOMPARE(verdict.trusted, trusted);
    QCOMPARE(questions.size(), asked);
    QVERIFY2(verdict.refusal.contains(refusal), qPrintable(verdict.refusal));
    if (presentOther)
      QVERIFY(verdict.refusal.contains(store.path()));
    if (asked)
      QVERIFY(questions.first().text().contains(QStringLiteral("SHA-256 fingerprint: ") + mineFingerprint));
    // Only an explicit Yes adds to the store; a changed certificate replaces nothing.
    QCOMPARE(store.fingerprintFor(server).has_value(), storedMine || trusted);
    if (storedMine)
      QCOMPARE(*store.fingerprintFor(server), mineFingerprint);
  }

 private:
  QTemporaryDir certs_;
  QSslCertificate mine_, other_;
};

QTEST_GUILESS_MAIN(CertificateTrustTest)
#include "tst_certificatetrust.moc"
