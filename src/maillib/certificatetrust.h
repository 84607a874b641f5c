#pragma once
// Server certificates that fail verification (self-signed, an unknown
// authority, another name): the facts a user needs to judge one, the
// question hook that asks the user, and the file of certificates the user
// chose to trust, one exact certificate per server.
//
// A trusted server whose certificate later differs is refused with a
// warning and is not asked about again: a changed certificate is what a man
// in the middle presents.
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace maillib {

struct CertificateFacts {
  QString server;       // "host:port" ("[v6]:port")
  QString subject;
  QString issuer;
  QDateTime validFrom;
  QDateTime validUntil;
  QString fingerprint;  // SHA-256, upper-case hex pairs joined by ':'
  QStringList problems; // why verification failed

  static CertificateFacts of(const QString& server, const QSslCertificate& certificate,
                             const QList<QSslError>& errors);
  // The facts as lines for a message box.
  QString text() const;
};

// "host:port", with brackets around an IPv6 address.
QString serverKey(const QString& host, quint16 port);

// Asks whether to trust a certificate that failed verification; true trusts
// it for good. Without a decider such certificates are refused.
using CertificateDecider = std::function<bool(const CertificateFacts&)>;
void setCertificateDecider(CertificateDecider decider);

// "trusted-certificates.txt": one "host:port fingerprint" line per server,
// mode 0600, rewritten through a temporary file.
class CertificateTrustStore {
 public:
  explicit CertificateTrustStore(QString path);
  // Beside the settings file.
  static QString defaultPath();
  const QString& path() const { return path_; }

  std::optional<QString> fingerprintFor(const QString& server) const;
  // Records (or replaces) the trusted fingerprint of server.
  bool trust(const QString& server, const QString& fingerprint, QString* why = nullptr);

 private:
  QMap<QString, QString> read() const;
  QString path_;
};

struct TrustVerdict {
  bool trusted = false;
  QString refusal;  // when refused for a reason beyond the failed check
};

// What to do with a certificate that failed verification: trusted when the
// store holds its fingerprint for this server, or when the decider says so
// (then it is stored); refused with a warning when the store holds another
// fingerprint for the server; refused otherwise.
TrustVerdict judgeCertificate(const QString& server, const QSslCertificate& certificate,
                              const QList<QSslError>& errors,
                              CertificateTrustStore store =
                                  CertificateTrustStore(CertificateTrustStore::defaultPath()));

}  // namespace maillib
