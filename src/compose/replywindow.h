#pragma once
// Puts a reply or forward draft into the compose window.
#include "compose/replydraft.h"

#include <QString>

class NewMessage;

namespace compose {

// The quoting block becomes the body, in the quote colour and in
// quoteFontFamily (the font the message was read in: Sinhala and Tamil text
// is only readable in its own font; empty: the body's font), or each text
// in the font of its script when the draft has its runs, with the caret
// at the top in the colour and font typed before; To and
// Subject take the draft's. A forward replaces the attachments: the list
// and the message's parts are emptied and the saved files wait in
// forwardlist until the window is next activated.
void fillComposeWindow(NewMessage& window, const ReplyDraft& draft, const QString& quoteFontFamily = {});

}  // namespace compose
