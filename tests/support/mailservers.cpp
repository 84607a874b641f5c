#include "support/mailservers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

QString setupScript() {
  return QStringLiteral(TOVEL_SOURCE_DIR "/tests/support/mailservers-setup.sh");
}

bool isRoot() { return ::geteuid() == 0; }

}  // namespace

MailServers::MailServers(bool withPostfix) : with_postfix_(withPostfix) {}

MailServers::~MailServers() { stop(); }

QString MailServers::caFile() const { return folder() + QStringLiteral("/tls/ca.pem"); }

QString MailServers::maildir() const {
  return folder() + QStringLiteral("/mail/example.test/demo");
}

static QString hostPort(quint16 port) { return QStringLiteral("127.0.0.1:%1").arg(port); }
QString MailServers::pop3Host() const { return hostPort(ports_[0]); }
QString MailServers::pop3sHost() const { return hostPort(ports_[1]); }
QString MailServers::smtpHost() const { return hostPort(ports_[2]); }
QString MailServers::submissionHost() const { return hostPort(ports_[3]); }
QString MailServers::smtpsHost() const { return hostPort(ports_[4]); }

bool MailServers::waitForPort(quint16 port, int ms) const {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (probe.waitForConnected(200)) {
      probe.abort();
      return true;
    }
    QThread::msleep(100);
  }
  return false;
}

bool MailServers::start(QString* why) {
  dir_ = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/tovel-servers-XXXXXX"));
  if (!dir_->isValid()) {
    *why = QStringLiteral("no temporary folder");
    return false;
  }
  for (const char* tool : {"dovecot", "openssl"})
    if (QStandardPaths::findExecutable(QString::fromLatin1(tool), {"/usr/sbin", "/usr/bin", "/sbin"})
            .isEmpty()) {
      *why = QStringLiteral("%1 is not installed (scripts/install-deps.sh --tests)").arg(tool);
      return false;
    }
  if (with_postfix_ && !isRoot()) {
    *why = QStringLiteral("Postfix needs root to start");
    return false;
  }
  // Free ports: bind all at once so that they differ, then let go.
  {
    QTcpServer holders[5];
    for (int i = 0; i < 5; ++i) {
      if (!holders[i].listen(QHostAddress::LocalHost, 0)) {
        *why = QStringLiteral("no free port");
        return false;
      }
      ports_[i] = holders[i].serverPort();
    }
  }
  return launch(why);
}

bool MailServers::launch(QString* why) {
  QProcess setup;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (self_signed_)
    env.insert(QStringLiteral("TOVEL_SELF_SIGNED"), QStringLiteral("1"));
  setup.setProcessEnvironment(env);
  setup.setProcessChannelMode(QProcess::MergedChannels);
  setup.start(QStringLiteral("bash"),
              {setupScript(), folder(), QString::number(ports_[0]), QString::number(ports_[1]),
               QString::number(ports_[2]), QString::number(ports_[3]), QString::number(ports_[4]),
               user(), password()});
  if (!setup.waitForFinished(60000) || setup.exitCode() != 0) {
    *why = QStringLiteral("setup failed: ") + QString::fromLocal8Bit(setup.readAll());
    return false;
  }

  dovecot_ = std::make_unique<QProcess>();
  dovecot_->setProcessChannelMode(QProcess::MergedChannels);
  dovecot_->start(QStringLiteral("dovecot"),
                  {QStringLiteral("-F"), QStringLiteral("-c"),
                   folder() + QStringLiteral("/dovecot/dovecot.conf")});
  if (!dovecot_->waitForStarted(10000) || !waitForPort(ports_[0], 15000) ||
      !waitForPort(ports_[1], 5000)) {
    *why = QStringLiteral("Dovecot did not start: ") + QString::fromLocal8Bit(dovecot_->readAll()) +
           log();
    return false;
  }
  if (with_postfix_) {
    postfix_ = std::make_unique<QProcess>();
    postfix_->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(postfix_.get(), &QProcess::readyRead, [this] {
      postfix_log_ += postfix_->readAll();
    });
    postfix_->start(QStringLiteral("postfix"),
                    {QStringLiteral("-c"), folder() + QStringLiteral("/postfix"),
                     QStringLiteral("start-fg")});
    if (!postfix_->waitForStarted(10000) || !waitForPort(ports_[2], 20000) ||
        !waitForPort(ports_[3], 5000) || !waitForPort(ports_[4], 5000)) {
      postfix_log_ += postfix_->readAll();
      *why = QStringLiteral("Postfix did not start: ") + QString::fromLocal8Bit(postfix_log_);
      return false;
    }
  }
  return true;
}

bool MailServers::renewCertificate(QString* why) {
  stop();
  for (const char* name : {"server.pem", "server.key", "server.csr"})
    QFile::remove(folder() + QStringLiteral("/tls/") + QLatin1String(name));
  return launch(why);
}

void MailServers::stop() {
  if (postfix_) {
    QProcess::execute(QStringLiteral("postfix"),
                      {QStringLiteral("-c"), folder() + QStringLiteral("/postfix"),
                       QStringLiteral("stop")});
    if (!postfix_->waitForFinished(10000)) {
      postfix_->kill();
      postfix_->waitForFinished(3000);
    }
    postfix_.reset();
  }
  if (dovecot_) {
    dovecot_->terminate();
    if (!dovecot_->waitForFinished(10000)) {
      dovecot_->kill();
      dovecot_->waitForFinished(3000);
    }
    dovecot_.reset();
  }
}

void MailServers::deliver(const QByteArray& message) const {
  static int serial = 0;
  const QString name = QStringLiteral("%1.T%2P%3.test")
                           .arg(QDateTime::currentSecsSinceEpoch())
                           .arg(++serial, 6, 10, QLatin1Char('0'))
                           .arg(QCoreApplication::applicationPid());
  const QString tmp = maildir() + QStringLiteral("/tmp/") + name;
  QFile file(tmp);
  if (!file.open(QIODevice::WriteOnly))
    return;
  file.write(message);
  file.close();
  if (isRoot()) {
    if (const passwd* pw = ::getpwnam("mail"))
      if (::chown(QFile::encodeName(tmp).constData(), pw->pw_uid, pw->pw_gid) != 0)
        return;
  }
  QFile::rename(tmp, maildir() + QStringLiteral("/new/") + name);
}

QList<QByteArray> MailServers::messages() const {
  QList<QPair<QString, QString>> files;  // name, path
  for (const char* sub : {"new", "cur"}) {
    QDir d(maildir() + QLatin1Char('/') + QLatin1String(sub));
    for (const QString& f : d.entryList(QDir::Files))
      files.append({f, d.filePath(f)});
  }
  std::sort(files.begin(), files.end());
  QList<QByteArray> out;
  for (const auto& f : files) {
    QFile file(f.second);
    if (file.open(QIODevice::ReadOnly))
      out << file.readAll();
  }
  return out;
}

int MailServers::messageCount() const { return int(messages().size()); }

bool MailServers::waitForMessages(int count, int ms) const {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    if (messageCount() >= count)
      return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(50);
  }
  return messageCount() >= count;
}

void MailServers::clearMailbox() const {
  for (const char* sub : {"new", "cur", "tmp"}) {
    QDir d(maildir() + QLatin1Char('/') + QLatin1String(sub));
    for (const QString& f : d.entryList(QDir::Files))
      d.remove(f);
  }
}

QString MailServers::log() const {
  QFile dl(folder() + QStringLiteral("/dovecot/dovecot.log"));
  QByteArray text;
  if (dl.open(QIODevice::ReadOnly))
    text = dl.readAll().right(4000);
  if (postfix_)
    postfix_log_ += postfix_->readAll();
  return QString::fromLocal8Bit(text + "\n" + postfix_log_.right(4000));
}
