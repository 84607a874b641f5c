// The POP password in a real desktop keyring: gnome-keyring-daemon on a
// private D-Bus session bus that this program starts for itself (it runs
// again under dbus-run-session, with a throw-away home). The keyring
// answering, absent, locked and hung; the password moved out of the file
// only once the keyring gives it back, and never lost.
#include "settings/connectionoptionsform.h"
#include "settings/crypt.h"
#include "settings/desktopkeyring.h"
#include "settings/passwordkeeper.h"
#include "support/scriptedprompter.h"
#include "support/testroot.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <qt6keychain/keychain.h>

#include <csignal>

namespace {

using Place = TovelSettings::PasswordPlace;
const char* const kInSession = "TOVEL_KEYRING_TEST_SESSION";

// A session bus that starts nothing on demand: the keyring runs only while
// the test has started it.
const char* const kBusConfig =
    "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
    "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>\n"
    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";

QString stored(const QString& name) {
  const QString value = settingsBackend().query_value(name);
  return value.isEmpty() ? QString() : decode_value(value).value_or(QStringLiteral("<damaged>"));
}

void storeInFile(const QString& password, const QString& place) {
  storeCompleteSettings(password);
  if (password.isEmpty())
    settingsBackend().remove_value(kPasswordName);
  if (!place.isEmpty())
    settingsBackend().set_key_value(kPasswordPlaceName, encode_value(place));
}

class KeyringDaemon {
 public:
  ~KeyringDaemon() { stop(); }

  bool running() const { return process_.state() == QProcess::Running; }

  void start() {
    if (running())
      return;
    process_.setProgram(QStringLiteral("gnome-keyring-daemon"));
    process_.setArguments({QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                           QStringLiteral("--components=secrets")});
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start();
    QVERIFY2(process_.waitForStarted(), "gnome-keyring-daemon does not start");
    process_.write("unlock-pw");
    process_.closeWriteChannel();
    QTRY_VERIFY_WITH_TIMEOUT(DesktopKeyring().absence().isEmpty(), 10000);
  }

  void lock() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
        QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
    call << QVariant::fromValue(QList<QDBusObjectPath>{
        QDBusObjectPath(QStringLiteral("/org/freedesktop/secrets/collection/login"))});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call);
    QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    QVERIFY(DesktopKeyring().locked());
  }

  void signal(int sig) { ::kill(static_cast<pid_t>(process_.processId()), sig); }

  void stop() {
    if (!running())
      return;
    signal(SIGCONT);
    process_.terminate();
    if (!process_.waitForFinished(5000))
      process_.kill();
    process_.waitForFinished(5000);
  }

 private:
  QProcess process_;
};

// The account storeCompleteSettings writes.
const QString kAccount = QStringLiteral("me@127.0.0.1:1");
// Enough for a keyring on a busy machine.
constexpr int kPatientMs = 15000;

void forget() {
  auto* job = new QKeychain::DeletePasswordJob(QStringLiteral("Tovel Mail 98"));
  job->setKey(kAccount);
  QSignalSpy done(job, &QKeychain::Job::finished);
  job->start();
  QVERIFY(done.wait(kPatientMs));
}

}  // namespace

class KeyringTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    root_ = std::make_unique<TestRoot>();
    resetProgramState(*root_);
    prompter_ = std::make_unique<ScriptedPrompter>();
  }

  void cleanup() {
    setSecretStore(nullptr);
    prompter_.reset();
    root_.reset();
  }

  void cleanupTestCase() { daemon_.stop(); }

  // Runs before any keyring is started. A desktop without one keeps the
  // file behaviour, fast, and says something only when the password it
  // needs sits in a keyring it cannot reach.
  void withoutKeyring_data() {
    QTest::addColumn<bool>("session");
    QTest::addColumn<bool>("turnedOff");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("message");
    QTest::newRow("no D-Bus session") << false << false << QString() << QString();
    QTest::newRow("no D-Bus session, password was in the keyring")
        << false << false << "keyring" << "there is no D-Bus session";
    QTest::newRow("no Secret Service") << true << false << QString() << QString();
    QTest::newRow("no Secret Service, password was in the keyring")
        << true << false << "keyring" << "no Secret Service runs";
    QTest::newRow("turned off") << true << true << "file" << QString();
    QTest::newRow("turned off, password was in the keyring")
        << true << true << "keyring" << "keyring use is turned off";
  }
  void withoutKeyring() {
    QFETCH(bool, session);
    QFETCH(bool, turnedOff);
    QFETCH(QString, place);
    QFETCH(QString, message);
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!session)
      qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    const QString password = message.isEmpty() ? QStringLiteral("pw") : QString();
    storeInFile(password, place);
    DesktopKeyring desktop;
    QElapsedTimer clock;
    clock.start();
    TovelSettings s;
    const bool complete = PasswordKeeper(settingsBackend(), turnedOff ? nullptr : &desktop).load(s);
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(complete, !password.isEmpty());
    QCOMPARE(s.pop_password, password);
    QCOMPARE(s.password_place, Place::SettingsFile);
    QCOMPARE(stored(kPasswordName), password);
    if (message.isEmpty())
      QCOMPARE(prompter_->messages, QStringList());
    else
      QVERIFY2(prompter_->messages.size() == 1 && prompter_->messages[0].contains(message),
               qPrintable(prompter_->messages.join(QLatin1Char('|'))));

    settings() = s;
    QCOMPARE(ConnectionOptionsForm().PasswordPlace->text(), QStringLiteral("Password kept in the settings file"));

    // Saving keeps the password in the file, where the program reads it,
    // unless the file cannot hold it: then it is not saved wrong.
    PasswordKeeper keeper(settingsBackend(), turnedOff ? nullptr : &desktop);
    s.pop_password = QStringLiteral("typed again");
    keeper.store(s);
    QCOMPARE(stored(kPasswordName), QStringLiteral("typed again"));
    QVERIFY(stored(kPasswordPlaceName).isEmpty());
    prompter_->messages.clear();
    s.pop_password = QString::fromUtf8("ශ්‍රී");
    keeper.store(s);
    QVERIFY(stored(kPasswordName).isEmpty());
    QCOMPARE(prompter_->messages.size(), 1);
  }

  // An unlocked keyring: start-up takes the password from it, or moves the
  // file's into it and out of the file.
  void unlocked_data() {
    QTest::addColumn<QString>("inKeyring");  // null: no entry
    QTest::addColumn<QString>("inFile");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("keyringAfter");
    QTest::addColumn<bool>("fileKeepsIt");
    QTest::addColumn<bool>("damaged");  // POPHOST unreadable
    QTest::newRow("first start moves the file's password")
        << QString() << "pw1" << QString() << "pw1" << "pw1" << false << false;
    QTest::newRow("file password newer than the keyring's")
        << "old" << "new" << "keyring" << "new" << "new" << false << false;
    QTest::newRow("read from the keyring") << "pw2" << QString() << "keyring" << "pw2" << "pw2" << false << false;
    QTest::newRow("text beyond Latin-1 comes back whole")
        << QString::fromUtf8("පාස් வார்த்தை é") << QString() << "keyring"
        << QString::fromUtf8("පාස් வார்த்தை é") << QString::fromUtf8("පාස් வார்த்தை é") << false << false;
    QTest::newRow("refused once: stays in the file, no retry at start-up")
        << "older" << "pw3" << "file" << "pw3" << "older" << true << false;
    QTest::newRow("nothing stored anywhere") << QString() << QString() << QString() << QString()
                                             << QString() << false << false;
    QTest::newRow("damaged settings file: nothing moved")
        << QString() << "pw" << QString() << QString() << QString() << true << true;
  }
  void unlocked() {
    QFETCH(QString, inKeyring);
    QFETCH(QString, inFile);
    QFETCH(QString, place);
    QFETCH(QString, expected);
    QFETCH(QString, keyringAfter);
    QFETCH(bool, fileKeepsIt);
    QFETCH(bool, damaged);
    daemon_.start();
    DesktopKeyring desktop(kPatientMs);
    forget();
    if (!inKeyring.isNull())
      QCOMPARE(desktop.write(kAccount, inKeyring).status, SecretStore::Status::Ok);
    storeInFile(inFile, place);
    if (damaged)
      settingsBackend().set_key_value(QStringLiteral("POPHOST"), QStringLiteral("12"));

    TovelSettings s;
    QCOMPARE(PasswordKeeper(settingsBackend(), &desktop).load(s), !expected.isEmpty());
    QCOMPARE(prompter_->messages, QStringList());
    QCOMPARE(s.pop_password, expected);
    QCOMPARE(s.password_place, fileKeepsIt ? Place::SettingsFile : Place::Keyring);
    QCOMPARE(stored(kPasswordName), fileKeepsIt ? inFile : QString());
    const SecretStore::Reply after = desktop.read(kAccount);
    QCOMPARE(after.secret, keyringAfter);
    if (!fileKeepsIt && !expected.isEmpty())
      QCOMPARE(stored(kPasswordPlaceName), QStringLiteral("keyring"));
  }

  // The connection dialog saves into the keyring, names the place, and the
  // next start reads the password back from there.
  void connectionDialogSavesIntoKeyring() {
    daemon_.start();
    forget();
    setSecretStore(std::make_unique<DesktopKeyring>(kPatientMs));
    storeInFile(QStringLiteral("in file"), {});
    QVERIFY(passwordKeeper().load(settings()));
    ConnectionOptionsForm dialog;
    QCOMPARE(dialog.PasswordPlace->text(), QStringLiteral("Password kept in the desktop keyring"));
    dialog.PopPasswd1->setText(QStringLiteral("typed"));
    dialog.PopPasswd2->setText(QStringLiteral("typed"));
    dialog.Ok->click();
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Values Saved")});
    QVERIFY(stored(kPasswordName).isEmpty());
    TovelSettings next;
    QVERIFY(passwordKeeper().load(next));
    QCOMPARE(next.pop_password, QStringLiteral("typed"));
    // Another account (another profile) does not get this one's password.
    settingsBackend().set_key_value(QStringLiteral("POPUSER"), encode_value(QStringLiteral("other")));
    TovelSettings other;
    QVERIFY(!passwordKeeper().load(other));
    QVERIFY(other.pop_password.isEmpty());
  }

  // A locked keyring refuses, a stopped one never answers: clear messages,
  // no hang, and the password stays where the program can read it.
  void failing_data() {
    QTest::addColumn<bool>("saving");
    QTest::addColumn<bool>("hung");
    QTest::addColumn<QString>("inFile");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("filePlace");
    QTest::newRow("locked: read at start-up") << false << false << QString() << "could not be read" << "keyring";
    QTest::newRow("locked: move at start-up") << false << false << "pw" << "could not be moved" << "file";
    QTest::newRow("locked: save") << true << false << "pw" << "did not keep the POP password" << "file";
    QTest::newRow("hung: move at start-up") << false << true << "pw" << "did not answer" << "file";
  }
  void failing() {
    QFETCH(bool, saving);
    QFETCH(bool, hung);
    QFETCH(QString, inFile);
    QFETCH(QString, message);
    QFETCH(QString, filePlace);
    daemon_.start();
    DesktopKeyring desktop(hung ? 1000 : kPatientMs);
    if (!desktop.locked()) {  // the rows share one locked keyring
      forget();
      QCOMPARE(desktop.write(kAccount, QStringLiteral("in keyring")).status, SecretStore::Status::Ok);
      daemon_.lock();
    }
    storeInFile(inFile, QStringLiteral("keyring"));
    if (hung)
      daemon_.signal(SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    TovelSettings s;
    PasswordKeeper keeper(settingsBackend(), &desktop);
    QCOMPARE(keeper.load(s), !inFile.isEmpty());
    if (saving) {
      prompter_->messages.clear();
      s.pop_password = inFile = QStringLiteral("new");
      keeper.store(s);
    }
    if (hung)  // the time-out, not the keyring's own minutes
      QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    daemon_.signal(SIGCONT);
    QCOMPARE(prompter_->messages.size(), 1);
    QVERIFY2(prompter_->messages[0].contains(message), qPrintable(prompter_->messages[0]));
    QCOMPARE(s.password_place, Place::SettingsFile);
    QCOMPARE(s.pop_password, inFile);
    QCOMPARE(stored(kPasswordName), inFile);
    QCOMPARE(stored(kPasswordPlaceName), filePlace);
  }

 private:
  std::unique_ptr<TestRoot> root_;
  std::unique_ptr<ScriptedPrompter> prompter_;
  KeyringDaemon daemon_;
};

// Runs the tests again on a private session bus, with a home of their own
// so no keyring of the machine is read or changed.
int runInPrivateSession(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir home;
  QFile config(home.filePath(QStringLiteral("bus.conf")));
  if (!home.isValid() || !config.open(QIODevice::WriteOnly) || config.write(kBusConfig) < 0)
    return 1;
  config.close();
  QDir(home.path()).mkpath(QStringLiteral("run"));
  QFile::setPermissions(home.filePath(QStringLiteral("run")), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(kInSession), QStringLiteral("1"));
  env.insert(QStringLiteral("HOME"), home.path());
  env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
  env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  QStringList args{QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--"),
                   QCoreApplication::applicationFilePath()};
  args += app.arguments().mid(1);
  child.start(QStringLiteral("dbus-run-session"), args);
  if (!child.waitForStarted()) {
    qCritical("dbus-run-session does not start: %s", qPrintable(child.errorString()));
    return 1;
  }
  child.waitForFinished(-1);
  return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : 1;
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty(kInSession))
    return runInPrivateSession(argc, argv);
  QApplication app(argc, argv);
  KeyringTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_keyring.moc"
