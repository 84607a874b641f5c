#include "maillib/tlsconfig.h"

#include <QSslCertificate>

namespace maillib {

QSslConfiguration clientTlsConfiguration() {
  QSslConfiguration config = QSslConfiguration::defaultConfiguration();
  config.setPeerVerifyMode(QSslSocket::VerifyPeer);
  config.setProtocol(QSsl::SecureProtocols);
  const QString caFile = qEnvironmentVariable(kCaFileVariable);
  if (!caFile.isEmpty()) {
    const QList<QSslCertificate> extra = QSslCertificate::fromPath(caFile, QSsl::Pem);
    if (!extra.isEmpty())
      config.addCaCertificates(extra);
  }
  return config;
}

}  // namespace maillib
