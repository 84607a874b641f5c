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
  void initTestCase();
  void cleanup() { maillib::setCertificateDecider({}); }
  void storeKeepsOneFingerprintPerServer();
  void judgement_data();
  void judgement();

 private:
  QTemporaryDir certs_;
  QSslCertificate mine_, other_;
};

void CertificateTrustTest::initTestCase() {
  mine_ = makeCertificate(certs_, QStringLiteral("mail.example.org"));
  other_ = makeCertificate(certs_, QStringLiteral("attacker.example.org"));
  QVERIFY(!mine_.isNull() && !other_.isNull());
}

void CertificateTrustTest::storeKeepsOneFingerprintPerServer() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sub/trusted-certificates.txt"));
  CertificateTrustStore store(path);
  QVERIFY(!store.fingerprintFor(QStringLiteral("a:995")));
  QVERIFY(store.trust(QStringLiteral("a:995"), QStringLiteral("aa:bb")));
  QVERIFY(store.trust(QStringLiteral("[::1]:25"), QStringLiteral("CC:DD")));
  QVERIFY(store.trust(QStringLiteral("a:995"), QStringLiteral("EE:FF")));
  QCOMPARE(store.fingerprintFor(QStringLiteral("a:995")).value_or(QString()), QStringLiteral("EE:FF"));
  QCOMPARE(store.fingerprintFor(QStringLiteral("[::1]:25")).value_or(QString()), QStringLiteral("CC:DD"));
  QVERIFY(!store.fingerprintFor(QStringLiteral("a:110")));
  // Only the owner may read or write it (the User bits repeat the owner's).
  QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
           QFileDevice::ReadOwner | QFileDevice::WriteOwner);

  // Lines someone added by hand that are not entries are passed over.
  QFile file(path);
  QVERIFY(file.open(QIODevice::Append));
  file.write("garbage\nb:1 11:22 extra\n\n# b:2 33:44\n");
  file.close();
  QVERIFY(!store.fingerprintFor(QStringLiteral("b:1")));
  QVERIFY(!store.fingerprintFor(QStringLiteral("# b:2")));
  QCOMPARE(store.fingerprintFor(QStringLiteral("a:995")).value_or(QString()), QStringLiteral("EE:FF"));
  QCOMPARE(maillib::serverKey(QStringLiteral("::1"), 25), QStringLiteral("[::1]:25"));
}

void CertificateTrustTest::judgement_data() {
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

void CertificateTrustTest::judgement() {
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
  if (asked) {
    QCOMPARE(questions.first().subject, QStringLiteral("CN=mail.example.org"));
    QCOMPARE(questions.first().fingerprint, mineFingerprint);
    QVERIFY(questions.first().text().contains(mineFingerprint));
    QVERIFY(!questions.first().problems.isEmpty());
  }
  // Only an explicit Yes adds to the store; a changed certificate replaces nothing.
  QCOMPARE(store.fingerprintFor(server).has_value(), storedMine || trusted);
  if (storedMine)
    QCOMPARE(*store.fingerprintFor(server), mineFingerprint);
}

QTEST_GUILESS_MAIN(CertificateTrustTest)
#include "tst_certificatetrust.moc"
