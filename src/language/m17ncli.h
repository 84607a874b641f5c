#pragma once
// Typing from the command line through an input method:
//   tovelmail --type METHOD   lines of key strokes in, a line of UTF-8 out each
//   tovelmail --type list     the methods, a name and a title a line
// Each character of a line is one key (a backspace character is Backspace); a blank finishes the pending text and
// is typed as itself, and so does the end of the line. Exit status 0, 1 when
// the output could not be written, 2 for an unknown method or bad arguments.
#include <QIODevice>
#include <QStringList>
#include <optional>

// args are the arguments after the program name; nullopt when they do not
// ask for typing.
std::optional<int> runTypeCommand(const QStringList& args, QIODevice& in, QIODevice& out, QIODevice& err);
