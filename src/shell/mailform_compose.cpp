// Reply, forward and new message.
#include "compose/newmessage.h"
#include "compose/replydraft.h"
#include "compose/replywindow.h"
#include "platform/prompter.h"
#include "reading/partaccess.h"
#include "shell/mailform.h"
#include "store/mailstore.h"

#include <QDir>
#include <optional>

namespace {

void showComposeWindow(NewMessage* compose) {
  compose->show();
  compose->raise();
  compose->activateWindow();
}

// The compose window a reply or forward fills: the shared one, emptied
// first when the user agrees to give up what it holds; null when they keep
// it (it is shown as it is).
NewMessage* composeWindowToFill() {
  NewMessage* compose = newMessage();
  if (!compose->hasUnsentWork())
    return compose;
  if (!compose->confirmDiscard()) {
    showComposeWindow(compose);
    return nullptr;
  }
  compose->Unload();
  return newMessage();
}

QString filesFolder() {
  const QString dir = mailStore().folderPath(QStringLiteral("Files"));
  QDir().mkpath(dir);
  return dir;
}

}  // namespace

// The message on view, with the control standing at the part the view
// shows (a folder listing may have loaded another message since).
static std::optional<compose::QuoteSource> shownMessageSource(MailForm& form) {
  if (!form.message_loaded && form.shown_message_path.isEmpty()) {
    platform::msgBox(QStringLiteral("Please select a message first."));
    return std::nullopt;
  }
  if (!form.reloadShownMessage())
    return std::nullopt;
  return form.shownQuoteSource();
}

static void fillAndShow(MailForm& form, NewMessage* compose, const compose::ReplyDraft& draft) {
  // The quote file is for the user to find; the body is filled from the
  // block itself, so a file that cannot be written or text beyond the code
  // page loses nothing.
  compose::writeQuoteFile(mailStore().mail_root + compose::kQuoteFileName, draft.quote);
  compose::fillComposeWindow(*compose, draft, form.textBody->font().family());
  showComposeWindow(compose);
}

// The compose window's message is on its way to the server: it is not
// replaced, and no part is saved for it.
static bool sendUnderWay() { return newMessageLoaded() && newMessage()->refuseWhileSending(); }

void MailForm::cmdReply_Click() {
  if (sendUnderWay())
    return;
  const auto source = shownMessageSource(*this);
  if (!source)
    return;
  if (NewMessage* compose = composeWindowToFill())
    fillAndShow(*this, compose, compose::replyDraft(*source));
}

void MailForm::forward_msg_Click() {
  if (sendUnderWay())
    return;
  const auto source = shownMessageSource(*this);
  if (!source)
    return;
  NewMessage* compose = composeWindowToFill();
  if (!compose)
    return;
  QList<compose::ForwardPart> parts;
  for (const reading::AttachmentEntry& entry : shown_view.attachments)
    parts.append({entry.name, entry.path});
  // Each part goes out from a file holding its own bytes: a file of the
  // same name in Files with other bytes is never sent instead, and one with
  // the same bytes is used rather than copied again.
  const QString folder = filesFolder();
  const compose::PartSaver save = [this, &folder](const compose::ForwardPart& part, QString* why) {
    return reading::savePartOnceInFolder(*Mail1, shown_part_path, part.path, folder, part.name, why);
  };
  const compose::ReplyDraft draft = compose::forwardDraft(*source, parts, save);
  fillAndShow(*this, compose, draft);
  const QString report = compose::notSavedReport(draft);
  if (!report.isEmpty())
    platform::msgBox(report);
}

void MailForm::news_msg_Click() {
  showComposeWindow(newMessage());
  mnuDelMsgSvr->setEnabled(true);
}
