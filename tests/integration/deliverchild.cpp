// One send in a process of its own, so that a test can kill it at a chosen
// moment: "queue" delivers the OutBox of ROOT, "now" sends one new message
// with the given subject at once, as the compose window does. Questions are
// answered from ANSWERS (y and n, in order; none left: No). Prints every
// question ("? text") and message and exits 0.
//
// With TOVELMAIL_KILL_AFTER_ACCEPTED=n set, the process kills itself the
// moment the server accepted the n-th message, before the program does
// anything with that answer.
//
// usage: deliverchild ROOT HOST USER PASSWORD queue|now SUBJECT ANSWERS
#include "compose/deliveryjournal.h"
#include "compose/sendsession.h"
#include "maillib/mailcontrol.h"
#include "store/mailstore.h"
#include "support/scriptedprompter.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 8) {
    std::fprintf(stderr, "usage: deliverchild ROOT HOST USER PASSWORD queue|now SUBJECT ANSWERS\n");
    return 2;
  }
  ScriptedPrompter prompter;
  for (const QChar c : args[7])
    prompter.questionAnswers.enqueue(c == QLatin1Char('y'));
  MailStore& store = mailStore();
  store.setRoot(args[1]);
  store.createStandardFolders();
  store.fillFolderTable(store.listFolderNames());
  const bool now = args[5] == QLatin1String("now");

  MailControl control;
  compose::SendSession session(&control);
  const int killAt = qEnvironmentVariableIntValue("TOVELMAIL_KILL_AFTER_ACCEPTED");
  int accepted = 0;
  // Connected first, so it hears of the acceptance before the session does.
  QObject::connect(&control, &MailControl::Done, [&] {
    if (session.state() == compose::SendSession::State::Sending && ++accepted == killAt)
      std::raise(SIGKILL);
  });
  QObject::connect(&control, &MailControl::Done, &session, &compose::SendSession::done);
  QObject::connect(&control, &MailControl::AsyncError, &session, &compose::SendSession::failed);
  QObject::connect(&session, &compose::SendSession::finished, &app, &QCoreApplication::quit);

  const compose::SendAccount account{args[2], args[3], args[4], args[3]};
  const compose::DeliveryChoice choice = compose::chooseDeliveries(compose::queuedFiles(), !now);
  if (!choice.problem.isEmpty()) {
    prompter.messages << choice.problem;
  } else if (now) {
    control.setTo(args[3]);
    control.setFrom(args[3]);
    control.setSubject(args[6]);
    control.setBodyText(0, QStringLiteral("sent at once"));
    session.sendNow(account, choice.send);
  } else {
    session.deliver(account, choice.send);
  }
  if (session.isActive())
    app.exec();
  for (const QString& text : prompter.questions)
    std::printf("? %s\n", qPrintable(text));
  for (const QString& text : prompter.messages)
    std::printf("%s\n", qPrintable(text));
  if (!session.failure().isEmpty())
    std::printf("%s\n", qPrintable(session.failure()));
  return 0;
}
