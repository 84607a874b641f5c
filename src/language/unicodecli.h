#pragma once
// The command-line converters between font-code text and Unicode:
//   tovelmail --to-unicode sinhala|tamil    8-bit font codes in, UTF-8 out
//   tovelmail --from-unicode sinhala|tamil  UTF-8 in, 8-bit font codes out
// Both read standard input to its end and write standard output; no window
// opens. Exit status 0 when everything converted, 1 when the output lost
// something (input that is not UTF-8, characters the font cannot show,
// written as "?") or could not be written, 2 for bad arguments.
#include <QIODevice>
#include <QStringList>
#include <optional>

// args are the arguments after the program name. Returns nullopt when they
// ask for no conversion (the program then starts as usual).
std::optional<int> runUnicodeCommand(const QStringList& args, QIODevice& in, QIODevice& out, QIODevice& err);

