#pragma once
// The message view as Unicode: the text parts of a rendered message that
// hold 8-bit font codes converted to real Sinhala or Tamil, with the subject
// on top, and a selection of the view copied as Unicode. Text that already
// arrived as Unicode is never converted again; header lines stay as they
// are. When each text of the view has its font (its blocks carry script
// runs), each part converts from the codes judged for it and Latin text is
// left alone. No widget is involved.
#include "language/fontunicode.h"
#include "reading/messagerenderer.h"

#include <QList>
#include <QString>
#include <optional>

namespace reading {

// True for the text of a part shown in the view (not the header block) that
// holds no real Sinhala or Tamil letter: its characters are font codes.
bool isFontCodeBlock(const ViewBlock& block);

// The script of the real Unicode letters in the view's text parts, when the
// message arrived as Unicode Sinhala or Tamil.
std::optional<FontScript> arrivedUnicodeScript(const RenderedMessage& view);

// The view with every font-code part converted from the codes of script,
// and the subject (decoded, font codes or Unicode) as the first line: the
// Subject line of the header block is replaced, or a one-line block comes
// first when there is no header block. Line numbers are counted anew, so
// each line still names the part it came from.
RenderedMessage viewAsUnicode(const RenderedMessage& view, FontScript script, const QString& subject);

// One selected piece of a view line.
struct SelectedPiece {
  int line = 0;
  QString text;
};

// The selection as Unicode: pieces of font-code lines converted from the
// codes of script, all others kept; the pieces joined by line breaks.
QString selectionAsUnicode(const RenderedMessage& view, const QList<SelectedPiece>& pieces, FontScript script);

}  // namespace reading
