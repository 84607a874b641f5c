#pragma once
// Real mail servers for tests: Dovecot (POP3, POP3S with STLS) and Postfix
// (SMTP with STARTTLS and AUTH through Dovecot, a port that demands AUTH, and
// SMTPS), started on free ports of 127.0.0.1 with their configuration in a
// temporary folder and stopped when the object dies. Postfix delivers the
// test domain into the maildir that Dovecot serves. The certificate is signed
// by an authority made for the run; caFile() names it. With setSelfSigned it
// is signed by nobody but itself, as a small office server's often is.
#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class MailServers {
 public:
  explicit MailServers(bool withPostfix = true);
  ~MailServers();

  // Before start(): a self-signed server certificate.
  void setSelfSigned(bool on) { self_signed_ = on; }
  // Starts the servers; on failure `why` says what went wrong.
  bool start(QString* why);
  // Gives the servers a new certificate and key, restarting them on the
  // same ports.
  bool renewCertificate(QString* why);
  void stop();

  static QString user() { return QStringLiteral("demo@example.test"); }
  static QString password() { return QStringLiteral("Pass-w0rd"); }

  QString pop3Host() const;        // "127.0.0.1:port", STLS offered
  QString pop3sHost() const;       // TLS from the start
  QString smtpHost() const;        // STARTTLS offered, AUTH after TLS
  QString submissionHost() const;  // TLS and AUTH required
  QString smtpsHost() const;       // TLS from the start
  QString caFile() const;
  QString folder() const { return dir_ ? dir_->path() : QString(); }

  // The maildir of user(): messages put there directly, as delivered.
  void deliver(const QByteArray& message) const;
  QList<QByteArray> messages() const;  // contents, oldest first
  int messageCount() const;
  bool waitForMessages(int count, int ms) const;
  void clearMailbox() const;

  QString log() const;  // both servers' logs, for failure reports

  // A message as POP3 hands it over: every line end CRLF.
  static QByteArray crlf(QByteArray text) {
    text.replace("\r\n", "\n");
    return text.replace("\n", "\r\n");
  }

 private:
  QString maildir() const;
  bool waitForPort(quint16 port, int ms) const;
  bool launch(QString* why);  // configuration, then the server processes

  bool with_postfix_;
  bool self_signed_ = false;
  std::unique_ptr<QTemporaryDir> dir_;  // made by start()
  quint16 ports_[5] = {};
  std::unique_ptr<QProcess> dovecot_;
  std::unique_ptr<QProcess> postfix_;
  mutable QByteArray postfix_log_;
};

// Starts `servers` or ends the test: a failure under CI (CI=true), a skip
// elsewhere.
#define START_MAIL_SERVERS(servers)                                         \
  do {                                                                      \
    QString why_;                                                           \
    if (!(servers).start(&why_)) {                                          \
      if (qEnvironmentVariable("CI") == QLatin1String("true"))              \
        QFAIL(qPrintable(QStringLiteral("mail servers: ") + why_));         \
      QSKIP(qPrintable(QStringLiteral("mail servers unavailable: ") + why_)); \
    }                                                                       \
  } while (0)
