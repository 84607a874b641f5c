#pragma once
// How much of a rendered message the message view takes. The view lays out
// and wraps everything it holds, so a text of megabytes, or one endless
// line, would freeze the window; beyond a limit the view shows the start
// and a notice line saying how much is left out. The source window still
// shows the whole message. No widget is involved.
#include <QString>

namespace reading {

struct ViewLimit {
  int maxLines = 0;
  qsizetype maxChars = 0;
};

// About a few hundred screens of ordinary mail, laid out well under a second.
inline constexpr ViewLimit kViewLimit{20000, 1000 * 1000};

struct CappedText {
  QString text;           // what the view shows, the notice line included
  int hiddenLines = 0;    // lines left out (a line cut short counts as one)
  qsizetype hiddenChars = 0;
  bool capped() const { return hiddenChars > 0; }
};

// The text (LF line ends) up to the limit: whole lines where possible; a
// single line longer than the limit is cut. Text within the limit comes
// back as it is.
CappedText capViewText(const QString& text, ViewLimit limit = kViewLimit);

// "... 12345 more lines (1234567 characters) are not shown here; Show,
// Source shows the whole message." on a line of its own.
QString hiddenTextNotice(int lines, qsizetype chars);

}  // namespace reading
