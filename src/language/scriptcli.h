#pragma once
// tovelmail --detect-script: reads lines of bytes from standard input and
// writes for each the script it is in, one label a line ("latin",
// "sinhala-font", "tamil-font", "sinhala", "tamil"); no window opens.
// Exit status 0, 1 when the output could not be written, 2 for bad
// arguments.
#include <QIODevice>
#include <QStringList>
#include <optional>

// args are the arguments after the program name. Returns nullopt when they
// do not ask for detection (the program then starts as usual).
std::optional<int> runScriptCommand(const QStringList& args, QIODevice& in, QIODevice& out, QIODevice& err);

