#include "settings/desktopkeyring.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace {

const QString kService = QStringLiteral("Tovel Mail 98");
const QString kSecrets = QStringLiteral("org.freedesktop.secrets");
// Questions to the bus itself are answered at once by any working bus.
constexpr int kBusQuestionMs = 3000;

// The session bus the way libsecret finds it, without ever starting one.
QString sessionBusAddress() {
  const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  if (!address.isEmpty())
    return address;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
    return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
  return {};
}

// A private connection per question, so a changed environment is seen.
class BusConnection {
 public:
  BusConnection()
      : name_(QStringLiteral("tovelmail-keyring-%1").arg(++serial_)),
        bus_(QDBusConnection::connectToBus(sessionBusAddress(), name_)) {}
  ~BusConnection() { QDBusConnection::disconnectFromBus(name_); }
  bool connected() const { return !sessionBusAddress().isEmpty() && bus_.isConnected(); }

  QVariant ask(const QString& service, const QString& path, const QString& interface,
               const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kBusQuestionMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
      return {};
    return reply.arguments().constFirst();
  }

  QVariant askBus(const QString& method, const QVariantList& arguments = {}) {
    return ask(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
               QStringLiteral("org.freedesktop.DBus"), method, arguments);
  }

 private:
  static inline int serial_ = 0;
  QString name_;
  QDBusConnection bus_;
};

SecretStore::Reply replyOf(QKeychain::Job* job) {
  switch (job->error()) {
    case QKeychain::NoError: {
      auto* reader = qobject_cast<QKeychain::ReadPasswordJob*>(job);
      return {SecretStore::Status::Ok, reader ? reader->textData() : QString(), {}};
    }
    case QKeychain::EntryNotFound:
      return {SecretStore::Status::NotFound, {}, {}};
    default:
      return {SecretStore::Status::Failed, {},
              job->errorString().isEmpty() ? QStringLiteral("the keyring gave no reason")
                                           : job->errorString()};
  }
}

}  // namespace

DesktopKeyring::DesktopKeyring(int timeoutMs) : timeoutMs_(timeoutMs) {}

QString DesktopKeyring::absence() {
  if (sessionBusAddress().isEmpty())
    return QStringLiteral("there is no D-Bus session");
  BusConnection bus;
  if (!bus.connected())
    return QStringLiteral("the D-Bus session cannot be reached");
  if (bus.askBus(QStringLiteral("NameHasOwner"), {kSecrets}).toBool())
    return {};
  if (bus.askBus(QStringLiteral("ListActivatableNames")).toStringList().contains(kSecrets))
    return {};
  return QStringLiteral("no Secret Service runs on this desktop");
}

bool DesktopKeyring::locked() {
  BusConnection bus;
  const QVariant value = bus.ask(kSecrets, QStringLiteral("/org/freedesktop/secrets/aliases/default"),
                                 QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                 {QStringLiteral("org.freedesktop.Secret.Collection"), QStringLiteral("Locked")});
  return value.value<QDBusVariant>().variant().toBool();
}

SecretStore::Reply DesktopKeyring::read(const QString& account) {
  auto* job = new QKeychain::ReadPasswordJob(kService);
  job->setKey(account);
  return run(job);
}

SecretStore::Reply DesktopKeyring::write(const QString& account, const QString& secret) {
  auto* job = new QKeychain::WritePasswordJob(kService);
  job->setKey(account);
  job->setTextData(secret);
  return run(job);
}

SecretStore::Reply DesktopKeyring::run(QKeychain::Job* job) {
  // The job deletes itself when it finishes, even after the time-out has
  // given up on it; the connection ends with the loop.
  job->setAutoDelete(true);
  job->setInsecureFallback(false);
  QEventLoop loop;
  bool finished = false;
  Reply reply{Status::Failed, {},
              QStringLiteral("the keyring did not answer within %1 seconds").arg(timeoutMs_ / 1000.0)};
  QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
    reply = replyOf(done);
    finished = true;
    loop.quit();
  });
  QTimer::singleShot(timeoutMs_, &loop, &QEventLoop::quit);
  job->start();
  if (!finished)
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  return reply;
}
