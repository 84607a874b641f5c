#include "language/fonts.h"
#include "language/scriptdetector.h"
#include "language/m17ncli.h"
#include "language/scriptcli.h"
#include "language/unicodecli.h"
#include "platform/paths.h"
#include "platform/windowmanager.h"
#include "shell/commandline.h"
#include "shell/lazyfileicon.h"
#include "shell/mailform.h"
#include "shell/startupcheck.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <thread>

namespace {

QStringList argumentsAfterProgram(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i)
    args += QString::fromLocal8Bit(argv[i]);
  return args;
}

// The commands that read standard input and write standard output, with no
// window: the font-code converters, script detection and typing.
std::optional<int> runStreamCommand(const QStringList& args) {
  QFile in, out, err;
  in.open(stdin, QIODevice::ReadOnly);
  out.open(stdout, QIODevice::WriteOnly);
  err.open(stderr, QIODevice::WriteOnly);
  std::optional<int> status = runUnicodeCommand(args, in, out, err);
  if (!status)
    status = runScriptCommand(args, in, out, err);
  if (!status)
    status = runTypeCommand(args, in, out, err);
  if (status && !out.flush() && *status == 0)
    return 1;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  if (const std::optional<int> status = runStreamCommand(argumentsAfterProgram(argc, argv)))
    return *status;

  // Version, help and mistakes are answered before Qt needs a display.
  const CommandLine line = parseCommandLine(argumentsAfterProgram(argc, argv));
  QTextStream out(stdout);
  switch (line.action) {
    case CommandLine::Action::Version:
      out << versionText();
      return 0;
    case CommandLine::Action::Help:
      out << helpText();
      return 0;
    case CommandLine::Action::Error:
      std::fprintf(stderr, "tovelmail: %s\nTry 'tovelmail --help'.\n", qPrintable(line.error));
      return 2;
    default:
      break;
  }

  // The first folder listing judges the script of every name; the tables
  // it needs are unpacked on the other core while Qt starts.
  const std::jthread scriptModelLoader(preloadScriptModel);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tovel Mail 98"));
  QGuiApplication::setDesktopFileName(QStringLiteral("tovelmail"));
  QApplication::setWindowIcon(
      lazyFileIcon(platform::joinPath(platform::programFolder(), QStringLiteral("desktop/tovelmail-256.png")), QSize(256, 256)));
  registerBundledFonts();
  if (line.action == CommandLine::Action::Check)
    return runStartupCheck(sinceStart, out);

  MailForm mainWindow;
  // The splash waits for a click; where no window manager runs nobody may
  // be there to click it, and the start would hang.
  mainWindow.Form_Load(line.splash && platform::hasWindowManager());
  return app.exec();
}
