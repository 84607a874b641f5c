#pragma once
// Putting long text into a view or the compose body so that it is laid out
// in time whatever its lines look like. Qt wraps a line at word boundaries
// by measuring, for every screen line, the text up to the next place the
// line may break: on a line with no such place (300 kB of one letter, a long
// run of base64) that is the whole rest of the line each time, and the
// window freezes for many seconds. Lines holding such a run are laid out
// unwrapped instead (the box scrolls sideways to them); every other line
// wraps as before. The text itself is never changed, so copying, finding,
// saving and line numbers see exactly what was put in.
#include <QString>
#include <QStringView>

class QPlainTextEdit;
class QTextCharFormat;
class QTextCursor;
class QTextDocument;
class QTextEdit;

namespace editing {

// Longer runs without a break opportunity are not wrapped. Each screen line
// then costs at most this many characters of measuring.
inline constexpr qsizetype kLongestWrappedRun = 500;

// Whether text holds more than `longest` characters in a row with no place
// where a line may break (Unicode line breaking, as Qt lays out).
bool hasUnbreakableRun(QStringView text, qsizetype longest = kLongestWrappedRun);

// Lays out the blocks of doc that overlap the positions from..to unwrapped
// when they hold such a run, and wrapped again when they no longer do. Call
// it inside the edit block that changed them: the layout is done once, when
// the edit block ends.
void unwrapUnbreakableLines(QTextDocument* doc, int from = 0, int to = -1);

// The box's text replaced as setPlainText does, laid out once and in time.
void setLaidOutText(QTextEdit* box, const QString& text);
// A plain text box lays out only the lines on screen; when it wraps and the
// text holds an unbreakable run, it wraps anywhere instead of at words.
void setLaidOutText(QPlainTextEdit* box, const QString& text);

// Inserts text at the cursor (replacing its selection) as one edit block,
// in format when one is given, with the lines it touches laid out as above.
void insertLaidOutText(QTextCursor& cursor, const QString& text);
void insertLaidOutText(QTextCursor& cursor, const QString& text, const QTextCharFormat& format);

}  // namespace editing
