#pragma once
// tovelmail --check: the whole start-up as far as the main window shown, with
// nobody to answer. Messages are written down instead of shown, questions
// answered No, and windows that would wait for an answer (the settings
// dialogs of an incomplete setup) closed at once. Then a report of where the
// table, fonts and pictures were found, and exit status 1 when anything the
// program needs was missing.
#include <QElapsedTimer>

class QTextStream;

// sinceStart runs from the start of main. Writes the report to out.
int runStartupCheck(const QElapsedTimer& sinceStart, QTextStream& out);
