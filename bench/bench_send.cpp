// Sends mail the way the compose window does, through the send session, and
// prints the time taken in milliseconds.
//
// usage: bench_send HOST USER PASSWORD SENDER big MESSAGEFILE
//        bench_send HOST USER PASSWORD SENDER queue MAILROOT
// big: the message file is sent at once, its copy kept in MAILROOT-less
// scratch Sent; queue: every file in MAILROOT/OutBox is delivered over one
// connection and moved into MAILROOT/Sent. The trusted authority for the
// server's certificate comes from TOVELMAIL_CA_FILE.
#include "compose/sendsession.h"
#include "maillib/mailcontrol.h"
#include "store/mailstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 7) {
    std::fprintf(stderr, "usage: bench_send HOST USER PASSWORD SENDER big|queue FILE|MAILROOT\n");
    return 2;
  }
  const compose::SendAccount account{args[1], args[2], args[3], args[4]};
  const bool queue = args[5] == QLatin1String("queue");
  QTemporaryDir scratch;
  mailStore().setRoot(queue ? args[6] : scratch.path());
  mailStore().createStandardFolders();

  MailControl control;
  compose::SendSession session(&control);
  QObject::connect(&control, &MailControl::Done, &session, &compose::SendSession::done);
  QObject::connect(&control, &MailControl::AsyncError, &session, &compose::SendSession::failed);
  QObject::connect(&session, &compose::SendSession::finished, &app, &QCoreApplication::quit);

  QElapsedTimer clock;
  clock.start();
  if (queue) {
    const QDir outbox(mailStore().folderPath(QStringLiteral("OutBox")));
    QStringList files;
    for (const QString& name : outbox.entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::Name))
      files << outbox.filePath(name);
    session.deliver(account, files);
  } else {
    QString why;
    if (!control.loadFile(args[6], &why)) {
      std::fprintf(stderr, "%s\n", qPrintable(why));
      return 1;
    }
    session.sendNow(account);
  }
  if (session.isActive())
    app.exec();
  const qint64 ms = clock.elapsed();
  if (session.outcome() != compose::SendSession::Outcome::Sent) {
    std::fprintf(stderr, "not sent: %s\n", qPrintable(session.failure()));
    return 1;
  }
  std::printf("%lld\n", static_cast<long long>(ms));
  return 0;
}
