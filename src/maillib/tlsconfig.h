#pragma once
// TLS settings for every mail connection: the system's trusted authorities,
// plus those of the PEM file named by TOVELMAIL_CA_FILE (private servers and
// tests), and full verification of the server's certificate and name.
#include <QSslConfiguration>
#include <QString>

namespace maillib {

QSslConfiguration clientTlsConfiguration();

// The environment variable naming an extra PEM file of trusted authorities.
inline constexpr const char* kCaFileVariable = "TOVELMAIL_CA_FILE";

}  // namespace maillib
