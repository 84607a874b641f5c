// One GetMail in a process of its own, so that a test can kill it at any
// moment: stores the account's mail into the mailbox root and exits 0 when
// the session is over, printing every message it would have shown.
//
// usage: fetchchild ROOT HOST USER PASSWORD keep|delete
#include "maillib/mailcontrol.h"
#include "retrieval/getmailsession.h"
#include "settings/settingsstore.h"
#include "store/mailstore.h"
#include "support/scriptedprompter.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 6) {
    std::fprintf(stderr, "usage: fetchchild ROOT HOST USER PASSWORD keep|delete\n");
    return 2;
  }
  ScriptedPrompter prompter;
  MailStore& store = mailStore();
  store.setRoot(args[1]);
  store.createStandardFolders();
  store.fillFolderTable(store.listFolderNames());
  settings().pop_host = args[2];
  settings().pop_user = args[3];
  settings().pop_password = args[4];
  const bool hostDelete = args[5] == QLatin1String("delete");

  MailControl control;
  retrieval::GetMailSession::Window window;
  window.hostDelete = [hostDelete] { return hostDelete; };
  window.setGetMailEnabled = [](bool) {};
  window.sessionEnded = [] { QCoreApplication::quit(); };
  retrieval::GetMailSession session(&control, window);
  QObject::connect(&control, &MailControl::Done, &session, &retrieval::GetMailSession::done);
  QObject::connect(&control, &MailControl::AsyncError, &session, &retrieval::GetMailSession::failed);
  session.start();
  if (session.isActive())
    app.exec();
  for (const QString& text : prompter.messages)
    std::printf("%s\n", qPrintable(text));
  return 0;
}
