#pragma once
#include <QString>

// The text of a mail control error as the windows show it:
// "AsyncError: " message "(" code written with a leading blank when not
// negative ")".
inline QString asyncErrorText(int code, const QString& message) {
  const QString number = code >= 0 ? QStringLiteral(" %1").arg(code) : QString::number(code);
  return QStringLiteral("AsyncError: ") + message + QStringLiteral("(") + number + QStringLiteral(")");
}
