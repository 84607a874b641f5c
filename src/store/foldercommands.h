#pragma once
// The folder and message commands of the main window, as plain operations on
// the mailbox tree: create, delete, rename and empty folders; move a message
// into Deleted or another folder. They keep folder_table in step; the window
// keeps its lists in step with what they report.
#include <QString>

class MailStore;

namespace store {

// What a command did and what, if anything, to tell the user.
struct CommandOutcome {
  bool done = false;
  QString message;  // empty: say nothing
};

// A name that can be a folder directly under the mailbox root: not empty,
// no path separators, no ".", no control characters.
bool isPlainFolderName(const QString& name);

// Folders that Folders / Delete refuses: any name containing INBOX, OUTBOX,
// FILES, SENT or DELETED, in any case (so "Absent" and "MyFiles" too).
bool isProtectedFromDelete(const QString& name);
// Folders that Folders / Rename refuses: Inbox, Deleted and Sent.
bool isProtectedFromRename(const QString& name);

// Creates the folder typed (trimmed). Done means the caller lists the name.
// An empty name or an existing folder (in any case) ends without a message.
CommandOutcome createFolder(MailStore& store, const QString& typed);

// Removes an empty folder. listHasMessages is whether the message list shows
// anything for it.
CommandOutcome deleteFolder(MailStore& store, const QString& name, bool listHasMessages);

// Renames folder oldName to the name typed (trimmed); current_folder follows
// when it was the renamed folder. Done means the caller shows the new name.
CommandOutcome renameFolder(MailStore& store, const QString& oldName, const QString& typed);

// Index 0..3: Files, Sent, Deleted, Inbox; other indexes name nothing.
QString clearableFolder(int index);
// Deletes every plain file of the folder; files that cannot be deleted are
// skipped. Returns how many were deleted.
int clearFolder(MailStore& store, const QString& folder);

struct MessageMove {
  bool removed = false;  // the message left its folder: drop it from the list
  QString target;        // where it went; empty when deleted for good
  QString message;       // for the user when something failed
};

// Moves a message file into Deleted under its own name, or under a free
// number there when that name is taken; in Deleted itself it is deleted for
// good. A file that is already gone counts as removed.
MessageMove deleteMessage(MailStore& store, const QString& folder, const QString& fileName);

// Moves a message file into another folder, under a free number there when
// its name is taken. The target must be an existing folder; moving into the
// same folder does nothing.
MessageMove moveMessage(MailStore& store, const QString& folder, const QString& fileName,
                        const QString& target);

}  // namespace store
