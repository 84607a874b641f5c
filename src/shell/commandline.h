#pragma once
// The program's command line: what to do and how to start.
#include <QString>
#include <QStringList>

struct CommandLine {
  enum class Action { Start, Version, Help, Check, Error };
  Action action = Action::Start;
  bool splash = true;
  QString error;  // for Action::Error: what was wrong
};

// args are the arguments after the program name. Qt's own options
// (-platform NAME, -style NAME, -display NAME, ...) are passed over; they
// are Qt's to read.
CommandLine parseCommandLine(const QStringList& args);

QString versionText();
QString helpText();
