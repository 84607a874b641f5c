#include "shell/commandline.h"

#ifndef TOVEL_VERSION
#define TOVEL_VERSION "0"
#endif

namespace {

// Options QGuiApplication and QApplication read themselves; those in the
// first list take the next argument as their value.
const QStringList kQtOptionsWithValue = {
    QStringLiteral("platform"),     QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),       QStringLiteral("qwindowgeometry"),    QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"), QStringLiteral("display"),            QStringLiteral("geometry"),
    QStringLiteral("style"),        QStringLiteral("stylesheet"),         QStringLiteral("session"),
    QStringLiteral("name"),         QStringLiteral("title"),              QStringLiteral("visual")};
const QStringList kQtFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                              QStringLiteral("nograb"),  QStringLiteral("dograb"),
                              QStringLiteral("sync"),    QStringLiteral("qmljsdebugger")};

// "-platform" and "--platform" both name Qt's option; "-style=fusion" too.
QString qtOptionName(const QString& arg) {
  QString name = arg;
  while (name.startsWith(QLatin1Char('-')))
    name.remove(0, 1);
  return name.section(QLatin1Char('='), 0, 0);
}

}  // namespace

CommandLine parseCommandLine(const QStringList& args) {
  CommandLine line;
  for (int i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == QLatin1String("--version") || arg == QLatin1String("-v")) {
      line.action = CommandLine::Action::Version;
      return line;
    }
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      line.action = CommandLine::Action::Help;
      return line;
    }
    if (arg == QLatin1String("--no-splash")) {
      line.splash = false;
    } else if (arg == QLatin1String("--check")) {
      line.action = CommandLine::Action::Check;
      line.splash = false;
    } else if (arg.startsWith(QLatin1Char('-')) && kQtOptionsWithValue.contains(qtOptionName(arg))) {
      if (!arg.contains(QLatin1Char('=')))
        ++i;
    } else if (arg.startsWith(QLatin1Char('-')) && kQtFlags.contains(qtOptionName(arg))) {
      // Qt's own switch.
    } else {
      line.action = CommandLine::Action::Error;
      line.error = arg.startsWith(QLatin1Char('-')) ? QStringLiteral("unknown option \"%1\"").arg(arg)
                                                    : QStringLiteral("unexpected argument \"%1\"").arg(arg);
      return line;
    }
  }
  return line;
}

QString versionText() { return QStringLiteral("Tovel Mail 98 %1\n").arg(QLatin1String(TOVEL_VERSION)); }

QString helpText() {
  return QStringLiteral(
      "Usage: tovelmail [--no-splash] [Qt options]\n"
      "       tovelmail --check\n"
      "       tovelmail --to-unicode sinhala|tamil  <font-codes >utf-8\n"
      "       tovelmail --from-unicode sinhala|tamil  <utf-8 >font-codes\n"
      "       tovelmail --detect-script  <lines >labels\n"
      "\n"
      "A desktop mail client for Sinhala, Tamil and English mail.\n"
      "\n"
      "  --no-splash     start without the splash window\n"
      "  --check         start as far as the main window without asking\n"
      "                  anything, then report the table, fonts and pictures\n"
      "                  found and exit (status 1 when something is missing)\n"
      "  --to-unicode, --from-unicode\n"
      "                  convert text between font codes and Unicode on\n"
      "                  standard input and output; no window opens\n"
      "  --detect-script for each line of standard input print the script it\n"
      "                  is in: latin, sinhala-font, tamil-font (the codes of\n"
      "                  the display fonts), sinhala or tamil (Unicode)\n"
      "  -v, --version   print the version and exit\n"
      "  -h, --help      print this help and exit\n"
      "\n"
      "Environment:\n"
      "  TOVELMAIL_ROOT      mailbox root (default ~/Email/)\n"
      "  TOVELMAIL_SETTINGS  settings file (default\n"
      "                      $XDG_CONFIG_HOME/TovelMail/tovelmail.ini)\n"
      "  TOVELMAIL_CA_FILE   PEM file of further trusted CA certificates\n"
      "  TOVELMAIL_TIMEOUT_MS  network time-out in milliseconds (default 60000)\n"
      "  TOVELMAIL_KEYRING   off: the POP password stays in the settings file\n"
      "                      even when a desktop keyring is there\n"
      "  QT_QPA_PLATFORM     Qt's display platform (offscreen: no display)\n");
}
