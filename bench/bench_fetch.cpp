// Fetches every message of a POP3 account with the mail control, storing each
// one as a file the way the get-mail session does, and prints the time taken.
//
// usage: bench_fetch HOST USER PASSWORD blocking|async OUTDIR
// The trusted authority for the server's certificate comes from
// TOVELMAIL_CA_FILE.
#include "maillib/mailcontrol.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 6) {
    std::fprintf(stderr, "usage: bench_fetch HOST USER PASSWORD blocking|async OUTDIR\n");
    return 2;
  }
  const bool blocking = args[4] == QLatin1String("blocking");
  const QString out = args[5];
  QDir().mkpath(out);

  MailControl c;
  c.setBlocking(blocking);
  c.setProtocol(1);
  c.setHost(args[1]);
  c.setUserName(args[2]);
  c.setPassword(args[3]);
  int failures = 0;
  QObject::connect(&c, &MailControl::AsyncError, [&](int code, const QString& text) {
    ++failures;
    std::fprintf(stderr, "error %d: %s\n", code, qPrintable(text));
    QCoreApplication::exit(1);
  });

  QElapsedTimer clock;
  clock.start();
  int n = 0;
  int stored = 0;
  enum { Connecting, Getting, Quitting } state = Connecting;
  auto store = [&] {
    c.setTransferFlags(32);
    c.setMessageFile(QStringLiteral("%1/%2.msg").arg(out).arg(n, 8, 10, QLatin1Char('0')));
    c.setActionCode(15);
    ++stored;
  };
  auto next = [&] {
    if (n < c.MessageCount()) {
      ++n;
      state = Getting;
      c.setMessageNumber(QString::number(n));
      c.setTransferFlags(4);
      c.setActionCode(13);
    } else {
      state = Quitting;
      c.setActionCode(8);
    }
  };

  if (blocking) {
    c.setActionCode(3);
    for (n = 1; failures == 0 && n <= c.MessageCount(); ++n) {
      c.setMessageNumber(QString::number(n));
      c.setTransferFlags(4);
      c.setActionCode(13);
      if (failures == 0)
        store();
    }
    c.setActionCode(8);
  } else {
    QObject::connect(&c, &MailControl::Done, [&] {
      switch (state) {
        case Connecting: next(); break;
        case Getting: store(); next(); break;
        case Quitting: QCoreApplication::quit(); break;
      }
    });
    c.setActionCode(3);
    if (app.exec() != 0)
      return 1;
  }
  if (failures)
    return 1;
  QTextStream(stdout) << "fetched " << stored << " messages in " << clock.elapsed() << " ms\n";
  return 0;
}
