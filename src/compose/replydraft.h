#pragma once
// What Reply and Forward put into the compose window, worked out without a
// window: the quoting block that goes above the message shown, the To and
// Subject fields, and for a forward the files saved from the message's
// attachments (only those that really were saved).
#include "language/scriptfonts.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace compose {

// The message being answered, as its header fields read and as the view
// shows it.
struct QuoteSource {
  QString from;
  QString date;
  QString to;
  QString cc;
  QString subject;
  QString viewText;  // the whole view, any line breaks
  // When each text is quoted in its own font: the scripts of from, date,
  // to, cc and subject, and the runs of viewText. Empty: one font for all.
  QList<TextScript> fieldScripts;
  ScriptRuns viewRuns;
};

// The dark blue the quoted text is shown in.
inline const QColor kQuoteColour = QColor(0, 0, 128);

// The name of the quote file in the mailbox root.
inline const QString kQuoteFileName = QStringLiteral("reply.tmp");

// Three one-space lines, a rule of 27 hyphens, the five header lines with
// their 9-character labels, the view text and one more line end. Every line
// ends in CR LF.
QString quotingBlock(const QuoteSource& source);

// Writes the block to the quote file in the single-byte code page,
// replacing the file only once the whole block is written. False (with the
// reason in why) when it could not be written.
bool writeQuoteFile(const QString& path, const QString& block, QString* why = nullptr);

// One attachment of the shown message that a forward carries along.
struct ForwardPart {
  QString name;     // bare, safe file name
  QList<int> path;  // part indexes from the loaded message
};

// Saves a part as a file of its own and returns the path written, or an
// empty path with the reason in why.
using PartSaver = std::function<QString(const ForwardPart& part, QString* why)>;

// The runs of the quoting block as the compose body holds it (LF line
// ends): the labels in Latin, each value and each text of the view in its
// own script. Empty when the source has no scripts.
ScriptRuns quoteRuns(const QuoteSource& source);

struct ReplyDraft {
  QString to;
  QString subject;
  QString quote;           // the quoting block
  ScriptRuns quoteRuns;    // its scripts, when each text has its font
  bool forward = false;    // the window's attachments are replaced by files
  QStringList files;       // files to attach, in the message's order
  QStringList fileNames;   // the name each file goes out under: its part's name in the message
  QStringList notSaved;    // "name: reason" for each part that could not be saved
};

ReplyDraft replyDraft(const QuoteSource& source);

// Every part is saved once, in order, through save; a part that could not
// be saved is not among the files.
ReplyDraft forwardDraft(const QuoteSource& source, const QList<ForwardPart>& parts, const PartSaver& save);

// What the user is told when some forwarded parts could not be saved;
// empty when all were.
QString notSavedReport(const ReplyDraft& draft);

}  // namespace compose
