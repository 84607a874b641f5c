#pragma once
// The script of each text the reader sees and the characters it is shown
// with. The mail control reads Latin-1 family labels byte for byte (see
// maillib/charsets.h), which is right for the 8-bit display fonts; text
// shown in a Unicode font is read here with its real charset: windows-1252
// for those labels, UTF-8 for unlabelled bytes that are UTF-8. No widget is
// involved.
#include "language/scriptfonts.h"
#include "reading/messagerenderer.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace reading {

// How the texts of the view and the list choose their fonts.
enum class FontChoice {
  PerText,      // each text in the font of its own script
  DisplayFont,  // all in the 8-bit display font of the language chosen
  UnicodeFont,  // all in one Unicode font (the English one)
};

struct ScriptedText {
  QString text;
  TextScript script = TextScript::Latin;
};

// The script of a text as the mail control gives it, judged on its start
// when it is long.
TextScript scriptOf(QStringView text);

// True when text of that script is shown in a Unicode font under choice.
bool inUnicodeFont(TextScript script, FontChoice choice);

// A header value as the mail control gives it (encoded words decoded),
// with its script and the characters its font needs.
ScriptedText readHeaderValue(QString value, FontChoice choice);

// A text part as the mail control gives it, with the charset label of the
// part. The script is judged under PerText only (Latin otherwise).
ScriptedText readPartText(QString text, QByteArrayView charset, FontChoice choice);

// The runs of a header block: on each line the field name is Latin and the
// value is in its own script.
ScriptRuns headerRuns(QStringView headers);

// Reads every text of a rendered view for choice: each text part as a
// whole, the header block line by line. Under PerText every block gets its
// runs; otherwise the blocks keep none.
void readView(RenderedMessage& view, FontChoice choice);

// The runs of the whole view text (positions in RenderedMessage::text());
// empty when the blocks have none.
ScriptRuns viewRuns(const RenderedMessage& view);

// The script most of the text is in; Latin for no runs.
TextScript mainScript(const ScriptRuns& runs, qsizetype textSize);

}  // namespace reading
