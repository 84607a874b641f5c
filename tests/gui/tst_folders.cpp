// Folders / New, Delete, Rename, the Clear menu, and the Delete and Move
// commands on real folders, driven through the main window.
#include "store/mailstore.h"
#include "support/files.h"
#include "support/mainwindowtest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

QByteArray message(int n) {
  const QByteArray i = QByteArray::number(n);
  return testMessage("Sender " + i + " <s" + i + "@example.org>", "Subject " + i, "text/plain; charset=us-ascii",
                     "Body of message " + i + "\r\n");
}

QStringList filesIn(const QString& dir) { return QDir(dir).entryList(QDir::Files, QDir::Name); }

}  // namespace

class FoldersTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    prepareRoot(QStringLiteral("Secret9"));
    for (int n = 1; n <= 3; ++n)
      root_->write(QStringLiteral("Inbox/%1").arg(MailStore::msgFileName(n)), message(n));
  }

  void cleanup() { closeMainWindow(); }

  void newFolder() {
    start();
    const int slots = int(mailStore().folder_table.size());
    prompter_->inputAnswers << QStringLiteral("  Work  ");
    form_->mnuFolderNew_Click();
    QCOMPARE(prompter_->prompts.last(), QStringLiteral("Enter folder to Create"));
    QVERIFY(QFileInfo(root_->path(QStringLiteral("Work"))).isDir());
    QCOMPARE(form_->listFolders->item(form_->listFolders->count() - 1)->text(), QStringLiteral("Work"));
    QCOMPARE(mailStore().folder_table.size(), slots + 1);
    QCOMPARE(mailStore().folder_table.last().name, QStringLiteral("Work"));
    QCOMPARE(mailStore().folder_table.last().counter, qint64(1));

    // The same name in other letters, an empty name and a cancel do nothing.
    const int count = form_->listFolders->count();
    prompter_->inputAnswers << QStringLiteral("WORK") << QStringLiteral("   ") << std::nullopt;
    form_->mnuFolderNew_Click();
    form_->mnuFolderNew_Click();
    form_->mnuFolderNew_Click();
    QCOMPARE(form_->listFolders->count(), count);
    QVERIFY(prompter_->messages.isEmpty());

    // The new folder's first message number is 2.
    QCOMPARE(mailStore().next_msg_name(QStringLiteral("Work")), QStringLiteral("00000002.msg"));
  }

  void newFolderRefusesPathsAndDots() {
    start();
    const int count = form_->listFolders->count();
    for (const char* name : {"../Escaped", "a/b", "x.y", "..", "sub\\dir"}) {
      prompter_->messages.clear();
      prompter_->inputAnswers << QString::fromLatin1(name);
      form_->mnuFolderNew_Click();
      QCOMPARE(prompter_->messages.size(), 1);
    }
    QCOMPARE(form_->listFolders->count(), count);
    QVERIFY(!QFileInfo::exists(root_->path(QStringLiteral("../Escaped"))));
    QVERIFY(!QFileInfo::exists(root_->path(QStringLiteral("a"))));
    QVERIFY(!QFileInfo::exists(root_->path(QStringLiteral("x.y"))));
  }

  void deleteFolder() {
    for (const char* name : {"Projects", "Absent", "MyFiles", "Notes"})
      QDir(root_->root()).mkdir(QString::fromLatin1(name));
    root_->write(QStringLiteral("Notes/todo.txt"), "not a message");
    start();

    // A folder whose messages are listed is refused with a message.
    QVERIFY(selectFolder(QStringLiteral("Inbox")));
    form_->mnuFloderDel_Click();
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Please remove all the mails before deleting the folder")});
    QVERIFY(QFileInfo(root_->path(QStringLiteral("Inbox"))).isDir());

    // Names holding a standard folder's name are refused without a message.
    prompter_->messages.clear();
    for (const char* name : {"Absent", "Myfiles", "Outbox", "Sent", "Deleted", "Files"}) {
      QVERIFY(selectFolder(QString::fromLatin1(name)));
      form_->mnuFloderDel_Click();
      QVERIFY2(folderRow(QString::fromLatin1(name)) >= 0, name);
    }
    QVERIFY(prompter_->messages.isEmpty());
    QVERIFY(QFileInfo(root_->path(QStringLiteral("Absent"))).isDir());

    // A folder holding a file that is not a message cannot be removed.
    QVERIFY(selectFolder(QStringLiteral("Notes")));
    form_->mnuFloderDel_Click();
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Error!")});
    QVERIFY(QFileInfo::exists(root_->path(QStringLiteral("Notes/todo.txt"))));

    // An empty folder goes, from the disk, the list and the table.
    prompter_->messages.clear();
    QVERIFY(selectFolder(QStringLiteral("Projects")));
    form_->mnuFloderDel_Click();
    QVERIFY(prompter_->messages.isEmpty());
    QVERIFY(!QFileInfo::exists(root_->path(QStringLiteral("Projects"))));
    QCOMPARE(folderRow(QStringLiteral("Projects")), -1);
    QVERIFY(!mailStore().findFolderEntry(QStringLiteral("Projects")));
    bool renamed = false;
    for (const FolderEntry& entry : mailStore().folder_table)
      renamed = renamed || entry.name == QStringLiteral("~ZZZ");
    QVERIFY(renamed);
  }

  void renameFolder() {
    start();
    // Inbox, Sent and Deleted keep their names, in any spelling; no question asked.
    for (const char* name : {"Inbox", "Sent", "Deleted"}) {
      QVERIFY(selectFolder(QString::fromLatin1(name)));
      form_->mnuFloderRename_Click();
    }
    QCOMPARE(prompter_->messages, QStringList(3, QStringLiteral("Can't Rename these fields")));
    QVERIFY(prompter_->prompts.isEmpty());

    // Onto an existing folder (any letter case) or an empty name: refused.
    prompter_->messages.clear();
    QVERIFY(selectFolder(QStringLiteral("Outbox")));
    prompter_->inputAnswers << QStringLiteral("inbox") << QStringLiteral("  ");
    form_->mnuFloderRename_Click();
    form_->mnuFloderRename_Click();
    QCOMPARE(prompter_->messages, QStringList(2, QStringLiteral("folder already exist")));
    QCOMPARE(prompter_->prompts.last(), QStringLiteral("Enter new name"));

    // OutBox can be renamed; the list and the table follow.
    prompter_->messages.clear();
    prompter_->inputAnswers << QStringLiteral(" Waiting ");
    form_->mnuFloderRename_Click();
    QVERIFY(prompter_->messages.isEmpty());
    QVERIFY(QFileInfo(root_->path(QStringLiteral("Waiting"))).isDir());
    QVERIFY(!QFileInfo::exists(root_->path(QStringLiteral("OutBox"))));
    QCOMPARE(form_->listFolders->currentItem()->text(), QStringLiteral("Waiting"));
    QVERIFY(mailStore().findFolderEntry(QStringLiteral("Waiting")));
    QVERIFY(!mailStore().findFolderEntry(QStringLiteral("Outbox")));
  }

  void renameFolderOnDisplay() {
    root_->write(QStringLiteral("Work/00000004.msg"), message(4));
    start();
    QVERIFY(selectFolder(QStringLiteral("Work")));
    QCOMPARE(form_->listMessages->count(), 1);
    prompter_->inputAnswers << QStringLiteral("Projects");
    form_->mnuFloderRename_Click();
    QCOMPARE(mailStore().current_folder, QStringLiteral("Projects"));
    // The listed message is still found, now in the renamed folder.
    form_->listMessages->setCurrentRow(0);
    QVERIFY(!form_->textBody->toPlainText().contains(QLatin1String("cannot be shown")));

    // A move into the renamed folder from elsewhere reaches it.
    QVERIFY(selectFolder(QStringLiteral("Inbox")));
    form_->listMessages->setCurrentRow(0);
    prompter_->inputAnswers << QStringLiteral("projects");
    form_->Move_msg_Click();
    QVERIFY(QFileInfo::exists(root_->path(QStringLiteral("Projects/00000001.msg"))));
  }

  void clearNeedsThePassword() {
    root_->write(QStringLiteral("Files/photo.jpg"), "jpeg");
    start();
    QVERIFY(selectFolder(QStringLiteral("Inbox")));

    // Wrong password (case counts): nothing happens, nothing is said.
    prompter_->inputAnswers << QStringLiteral("secret9");
    form_->mnuClearFiles_Click(3);
    QCOMPARE(prompter_->prompts, QStringList{QStringLiteral("Enter Your E-mail Pass Word")});
    QCOMPARE(prompter_->maskedInputs, QList<bool>{true});
    QCOMPARE(filesIn(root_->path(QStringLiteral("Inbox"))).size(), 3);
    QVERIFY(prompter_->messages.isEmpty());

    // Right password: every file of the in-box goes; the list still shows them.
    prompter_->inputAnswers << QStringLiteral("Secret9");
    form_->mnuClearFiles_Click(3);
    QVERIFY(filesIn(root_->path(QStringLiteral("Inbox"))).isEmpty());
    QCOMPARE(form_->listMessages->count(), 3);
    QVERIFY(QFileInfo::exists(root_->path(QStringLiteral("Files/photo.jpg"))));
    // Choosing a stale entry says so instead of showing old text.
    form_->listMessages->setCurrentRow(1);
    QVERIFY(form_->textBody->toPlainText().contains(QLatin1String("cannot be shown")));

    // Clearing another folder leaves the displayed folder in charge.
    prompter_->inputAnswers << QStringLiteral("Secret9");
    form_->mnuClearFiles_Click(0);
    QVERIFY(filesIn(root_->path(QStringLiteral("Files"))).isEmpty());
    QCOMPARE(mailStore().current_folder, QStringLiteral("Inbox"));
  }

  void deleteMessageShowsTheNext() {
    start();
    QVERIFY(selectFolder(QStringLiteral("Inbox")));
    const QByteArray second = readTestFile(root_->path(QStringLiteral("Inbox/00000002.msg")));
    form_->listMessages->setCurrentRow(1);
    form_->pictbut_Click(4);  // toolbar Delete
    QCOMPARE(readTestFile(root_->path(QStringLiteral("Deleted/00000002.msg"))), second);
    QVERIFY(!QFileInfo::exists(root_->path(QStringLiteral("Inbox/00000002.msg"))));
    QCOMPARE(form_->listMessages->count(), 2);
    // The message that moved into its place is selected and shown.
    QCOMPARE(form_->listMessages->currentRow(), 1);
    QVERIFY(form_->textBody->toPlainText().contains(QLatin1String("Body of message 3")));

    // Deleting the last one leaves nothing selected and an empty view.
    form_->Del_msg_Click();
    QCOMPARE(form_->listMessages->count(), 1);
    QCOMPARE(form_->listMessages->currentRow(), -1);
    QVERIFY(form_->textBody->toPlainText().isEmpty());
    QVERIFY(!form_->attachments->isVisible());

    // Nothing selected: nothing happens.
    form_->Del_msg_Click();
    QCOMPARE(form_->listMessages->count(), 1);
  }

  void deleteInDeletedIsForGood() {
    root_->write(QStringLiteral("Deleted/00000007.msg"), message(7));
    start();
    QVERIFY(selectFolder(QStringLiteral("Deleted")));
    form_->listMessages->setCurrentRow(0);
    form_->Del_msg_Click();
    QVERIFY(filesIn(root_->path(QStringLiteral("Deleted"))).isEmpty());
    QCOMPARE(form_->listMessages->count(), 0);
  }

  void moveMessage() {
    QDir(root_->root()).mkdir(QStringLiteral("Work"));
    start();
    QVERIFY(selectFolder(QStringLiteral("Inbox")));
    const QByteArray first = readTestFile(root_->path(QStringLiteral("Inbox/00000001.msg")));
    form_->listMessages->setCurrentRow(0);
    prompter_->inputAnswers << QStringLiteral(" work ");
    form_->pictbut_Click(5);  // toolbar Move
    QCOMPARE(prompter_->prompts.last(), QStringLiteral("Enter folder to move"));
    QCOMPARE(form_->last_move_target, QStringLiteral(" work "));
    QCOMPARE(readTestFile(root_->path(QStringLiteral("Work/00000001.msg"))), first);
    QCOMPARE(form_->listMessages->count(), 2);
    QCOMPARE(form_->listMessages->currentRow(), 0);
    QVERIFY(form_->textBody->toPlainText().contains(QLatin1String("Body of message 2")));

    // The current folder as target: nothing moves, the list stays.
    prompter_->inputAnswers << QStringLiteral("INBOX");
    form_->Move_msg_Click();
    QCOMPARE(filesIn(root_->path(QStringLiteral("Inbox"))).size(), 2);
    QCOMPARE(form_->listMessages->count(), 2);
    QCOMPARE(form_->listMessages->currentRow(), 0);

    // Cancel keeps the remembered target.
    form_->Move_msg_Click();
    QCOMPARE(form_->last_move_target, QStringLiteral("INBOX"));
  }

  void takenNumberKeepsBoth_data() {
    QTest::addColumn<QString>("target");  // empty: Delete; otherwise Move there
    QTest::addColumn<int>("number");
    QTest::newRow("delete") << QString() << 1;
    QTest::newRow("move") << QStringLiteral("Work") << 2;
  }

  // A message sent where its number is already taken lands beside the older file.
  void takenNumberKeepsBoth() {
    QFETCH(QString, target);
    QFETCH(int, number);
    const QString folder = target.isEmpty() ? QStringLiteral("Deleted") : target;
    const QString name = MailStore::msgFileName(number);
    root_->write(folder + QLatin1Char('/') + name, "already here");
    start();
    QVERIFY(selectFolder(QStringLiteral("Inbox")));
    const QByteArray moved = readTestFile(root_->path(QStringLiteral("Inbox/") + name));
    form_->listMessages->setCurrentRow(number - 1);
    if (target.isEmpty()) {
      form_->Del_msg_Click();
    } else {
      prompter_->inputAnswers << target;
      form_->Move_msg_Click();
    }
    QCOMPARE(readTestFile(root_->path(folder + QLatin1Char('/') + name)), QByteArray("already here"));
    QStringList files = filesIn(root_->path(folder));
    QCOMPARE(files.size(), 2);
    files.removeOne(name);
    QCOMPARE(readTestFile(root_->path(folder + QLatin1Char('/') + files.first())), moved);
  }

  void moveIgnoresBadTargets() {
    start();
    QVERIFY(selectFolder(QStringLiteral("Inbox")));
    form_->listMessages->setCurrentRow(0);
    for (const char* target : {"Nowhere", "../Email/Sent", "/tmp", "", "   "}) {
      prompter_->inputAnswers << QString::fromLatin1(target);
      form_->Move_msg_Click();
    }
    QCOMPARE(filesIn(root_->path(QStringLiteral("Inbox"))).size(), 3);
    QCOMPARE(form_->listMessages->count(), 3);
    QVERIFY(prompter_->messages.isEmpty());
  }

 private:
  void start() {
    loadMainWindow();
    QVERIFY(prompter_->messages.isEmpty());
  }
  int folderRow(const QString& name) const { return int(listTexts(form_->listFolders).indexOf(name)); }
};

QTEST_MAIN(FoldersTest)
#include "tst_folders.moc"
