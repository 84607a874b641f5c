#include "maillib/certificatetrust.h"

#include "platform/paths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace maillib {

namespace {

CertificateDecider& deciderSlot() {
  static CertificateDecider decider;
  return decider;
}

QString distinguishedName(const QSslCertificate& certificate, bool subject) {
  const QList<QByteArray> attributes =
      subject ? certificate.subjectInfoAttributes() : certificate.issuerInfoAttributes();
  QStringList parts;
  for (const QByteArray& attribute : attributes) {
    const QStringList values =
        subject ? certificate.subjectInfo(attribute) : certificate.issuerInfo(attribute);
    for (const QString& value : values)
      parts << QString::fromLatin1(attribute) + QLatin1Char('=') + value;
  }
  return parts.isEmpty() ? QStringLiteral("(none)") : parts.join(QStringLiteral(", "));
}

QString shownDate(const QDateTime& when) {
  return when.isValid() ? when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))
                        : QStringLiteral("(unknown)");
}

bool restrictToOwner(QFileDevice& file) {
  return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

}  // namespace

CertificateFacts CertificateFacts::of(const QString& server, const QSslCertificate& certificate,
                                      const QList<QSslError>& errors) {
  CertificateFacts facts;
  facts.server = server;
  facts.subject = distinguishedName(certificate, true);
  facts.issuer = distinguishedName(certificate, false);
  facts.validFrom = certificate.effectiveDate();
  facts.validUntil = certificate.expiryDate();
  facts.fingerprint =
      QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
  for (const QSslError& e : errors)
    if (!facts.problems.contains(e.errorString()))
      facts.problems << e.errorString();
  return facts;
}

QString CertificateFacts::text() const {
  QStringList lines;
  lines << QStringLiteral("Server: %1").arg(server)
        << QStringLiteral("Subject: %1").arg(subject)
        << QStringLiteral("Issuer: %1").arg(issuer)
        << QStringLiteral("Valid from %1 until %2").arg(shownDate(validFrom), shownDate(validUntil))
        << QStringLiteral("SHA-256 fingerprint: %1").arg(fingerprint);
  for (const QString& problem : problems)
    lines << QStringLiteral("Problem: %1").arg(problem);
  return lines.join(QLatin1Char('\n'));
}

QString serverKey(const QString& host, quint16 port) {
  if (host.contains(QLatin1Char(':')))
    return QStringLiteral("[%1]:%2").arg(host).arg(port);
  return QStringLiteral("%1:%2").arg(host).arg(port);
}

void setCertificateDecider(CertificateDecider decider) { deciderSlot() = std::move(decider); }

CertificateTrustStore::CertificateTrustStore(QString path) : path_(std::move(path)) {}

QString CertificateTrustStore::defaultPath() {
  return platform::joinPath(QFileInfo(platform::settingsFilePath()).absolutePath(),
                            QStringLiteral("trusted-certificates.txt"));
}

QMap<QString, QString> CertificateTrustStore::read() const {
  QMap<QString, QString> entries;
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly))
    return entries;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
      continue;
    const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() == 2)
      entries.insert(fields[0], fields[1].toUpper());
  }
  return entries;
}

std::optional<QString> CertificateTrustStore::fingerprintFor(const QString& server) const {
  const QMap<QString, QString> entries = read();
  const auto it = entries.constFind(server);
  if (it == entries.constEnd())
    return std::nullopt;
  return *it;
}

bool CertificateTrustStore::trust(const QString& server, const QString& fingerprint, QString* why) {
  QMap<QString, QString> entries = read();
  entries.insert(server, fingerprint.toUpper());
  QByteArray text = "# Server certificates trusted by the user: host:port SHA-256 fingerprint\n";
  for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
    text += it.key().toUtf8() + ' ' + it.value().toLatin1() + '\n';

  QDir().mkpath(QFileInfo(path_).absolutePath());
  QSaveFile file(path_);
  const bool written = file.open(QIODevice::WriteOnly) && restrictToOwner(file) &&
                       file.write(text) == text.size() && file.commit();
  if (!written) {
    if (why)
      *why = QStringLiteral("Cannot write %1: %2").arg(path_, file.errorString());
    file.cancelWriting();
    return false;
  }
  QFile stored(path_);
  restrictToOwner(stored);
  return true;
}

TrustVerdict judgeCertificate(const QString& server, const QSslCertificate& certificate,
                              const QList<QSslError>& errors, CertificateTrustStore store) {
  if (certificate.isNull())
    return {};
  const CertificateFacts facts = CertificateFacts::of(server, certificate, errors);
  if (const std::optional<QString> known = store.fingerprintFor(server)) {
    if (*known == facts.fingerprint)
      return {true, {}};
    return {false,
            QStringLiteral("The certificate of %1 is not the one you trusted: its SHA-256 "
                           "fingerprint is now %2, not %3. An attacker between you and the server "
                           "would show a new certificate like this, so the connection was refused "
                           "and nothing was sent. If the server's administrator confirms that the "
                           "certificate was replaced, remove the line for %1 from %4 and connect "
                           "again.")
                .arg(server, facts.fingerprint, *known, store.path())};
  }
  const CertificateDecider decide = deciderSlot();
  if (!decide)
    return {};
  if (!decide(facts))
    return {false, QStringLiteral("The certificate of %1 was not trusted, so the connection was "
                                  "refused and nothing was sent.")
                       .arg(server)};
  QString why;
  if (!store.trust(server, facts.fingerprint, &why))
    return {false, QStringLiteral("The certificate of %1 could not be recorded as trusted, so the "
                                  "connection was refused. %2")
                       .arg(server, why)};
  return {true, {}};
}

}  // namespace maillib
