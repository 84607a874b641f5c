// Message numbering, folder names and safe writes of the mailbox store.
#include "store/mailstore.h"
#include "store/safewrite.h"
#include "support/testroot.h"

#include <QDir>
#include <QFile>
#include <QTest>

class StoreTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    root_ = std::make_unique<TestRoot>();
    resetProgramState(*root_);
    QVERIFY(mailStore().createStandardFolders());
    mailStore().fillFolderTable(mailStore().listFolderNames());
  }

  void numberingFollowsTheDirectoryCount() {
    MailStore& store = mailStore();
    QCOMPARE(store.next_msg_name(QStringLiteral("Inbox")), QStringLiteral("00000002.msg"));
    root_->write(QStringLiteral("Inbox/00000002.msg"), "x");
    QCOMPARE(store.next_msg_name(QStringLiteral("Inbox")), QStringLiteral("00000003.msg"));

    // Five files at the first count give 7; dot-files are not counted.
    for (int n = 1; n <= 5; ++n)
      root_->write(QStringLiteral("Sent/%1").arg(MailStore::msgFileName(n)), "x");
    root_->write(QStringLiteral("Sent/.hidden"), "x");
    QCOMPARE(store.next_msg_name(QStringLiteral("Sent")), QStringLiteral("00000007.msg"));
    QCOMPARE(store.next_msg_name(QStringLiteral("SENT")), QStringLiteral("00000008.msg"));

    // A folder without a table entry always probes from 1.
    QDir().mkdir(root_->path(QStringLiteral("Later")));
    QCOMPARE(store.next_msg_name(QStringLiteral("Later")), QStringLiteral("00000001.msg"));
  }

  void messageFilesListLikeTheDirectoryFilter() {
    // The one-pass listing names what QDir's "*.msg" file filter names.
    const QString dir = root_->path(QStringLiteral("Inbox"));
    for (const char* name : {"00000001.msg", "00000002.MSG", "note.Msg", ".hidden.msg", "00000003.msg.bak", "x.txt",
                             "Unicode \xe0\xb6\x85.msg"})
      root_->write(QStringLiteral("Inbox/") + QString::fromUtf8(name), "x");
    QVERIFY(QDir(dir).mkdir(QStringLiteral("folder.msg")));
    QVERIFY(QFile::link(dir + QStringLiteral("/00000001.msg"), dir + QStringLiteral("/link.msg")));
    QVERIFY(QFile::link(dir + QStringLiteral("/gone"), dir + QStringLiteral("/broken.msg")));
    QStringList listed = MailStore::messageFileNames(dir);
    listed.sort();
    QCOMPARE(listed, QDir(dir).entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::Name));
    QCOMPARE(listed.size(), 5);
    QVERIFY(MailStore::messageFileNames(root_->path(QStringLiteral("Nowhere"))).isEmpty());
  }

  void takenNameFallsBackToLowestFree() {
    MailStore& store = mailStore();
    root_->write(QStringLiteral("Inbox/00000002.msg"), "copied in by hand");
    // Count is 1 -> counter 2 -> 3 is free.
    QCOMPARE(store.next_msg_name(QStringLiteral("Inbox")), QStringLiteral("00000003.msg"));
    root_->write(QStringLiteral("Inbox/00000004.msg"), "x");
    // Counter's next (4) is taken: lowest free from 1 is used; the counter stays.
    QCOMPARE(store.next_msg_name(QStringLiteral("Inbox")), QStringLiteral("00000001.msg"));
    QCOMPARE(store.findFolderEntry(QStringLiteral("Inbox"))->counter, 4);
  }

  void numbersBeyondEightDigits() {
    QCOMPARE(MailStore::msgFileName(7), QStringLiteral("00000007.msg"));
    QCOMPARE(MailStore::msgFileName(123456789), QStringLiteral("123456789.msg"));
    QCOMPARE(MailStore::msgNumber(QStringLiteral("123456789.msg")), 123456789);
    QCOMPARE(MailStore::msgNumber(QStringLiteral("00000012.msg")), 12);
    QCOMPARE(MailStore::msgNumber(QStringLiteral("readme.msg")), 0);
    MailStore& store = mailStore();
    store.findFolderEntry(QStringLiteral("Inbox"))->counter = 99999999;
    QCOMPARE(store.next_msg_name(QStringLiteral("Inbox")), QStringLiteral("100000000.msg"));
  }

  void folderNamesIgnoreCase() {
    MailStore& store = mailStore();
    // On this case-sensitive file system every spelling reaches the one folder.
    const QString inbox = store.folderPath(QStringLiteral("Inbox"));
    QCOMPARE(store.folderPath(QStringLiteral("INBOX")), inbox);
    QCOMPARE(store.folderPath(QStringLiteral("inbox")), inbox);
    QCOMPARE(store.folderPath(QStringLiteral("outbox")), store.folderPath(QStringLiteral("OutBox")));
    root_->write(QStringLiteral("Inbox/00000002.msg"), "x");
    QVERIFY(QFile::exists(store.messagePath(QStringLiteral("INBOX"), QStringLiteral("00000002.msg"))));
    // A folder made outside the program in capitals is reached in any spelling.
    QDir().mkdir(root_->path(QStringLiteral("WORK")));
    QCOMPARE(store.folderPath(QStringLiteral("Work")), root_->path(QStringLiteral("WORK/")));
    // Creating the standard folders again creates no second spelling.
    QVERIFY(store.createStandardFolders());
    QCOMPARE(QDir(root_->root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 6);
  }

  void folderTableEntries() {
    MailStore& store = mailStore();
    store.folder_table = QVector<FolderEntry>(3);
    store.add_folder_entry(QStringLiteral("Inbox"), 5);
    store.add_folder_entry(QStringLiteral("Inbox"), 9);  // no search for an existing entry
    store.add_folder_entry(QStringLiteral("Sent"), 0);
    store.add_folder_entry(QStringLiteral("Files"), 1);  // table full: grows by one
    QCOMPARE(store.folder_table.size(), 4);
    QCOMPARE(store.folder_table[1].counter, 9);
    QCOMPARE(store.findFolderEntry(QStringLiteral("inbox"))->counter, 5);  // first match wins
    QCOMPARE(store.folder_table[3].name, QStringLiteral("Files"));
  }

  void safeWriteNeverLeavesHalfFiles() {
    const QString path = root_->path(QStringLiteral("Inbox/00000002.msg"));
    QVERIFY(store::writeFileSafely(path, "first").ok);
    QVERIFY(store::writeFileSafely(path, "second").ok);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("second"));
    file.close();

    const store::WriteResult refused = store::writeFileSafely(path, "third", /*overwrite=*/false);
    QVERIFY(!refused.ok);
    QVERIFY(!refused.error.isEmpty());

    // A vanished folder is an error, never a file elsewhere.
    const store::WriteResult gone = store::writeFileSafely(root_->path(QStringLiteral("Gone/1.msg")), "x");
    QVERIFY(!gone.ok);
    QVERIFY(gone.error.contains(QStringLiteral("Gone")));
    // Nothing but the message is left in the folder.
    QCOMPARE(QDir(root_->path(QStringLiteral("Inbox"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("00000002.msg")});
  }

  void freeFileNameNeverOverwrites() {
    const QString files = root_->path(QStringLiteral("Files"));
    QCOMPARE(store::freeFileName(files, QStringLiteral("a.txt")), QStringLiteral("a.txt"));
    root_->write(QStringLiteral("Files/a.txt"), "1");
    QCOMPARE(store::freeFileName(files, QStringLiteral("a.txt")), QStringLiteral("a (2).txt"));
    root_->write(QStringLiteral("Files/a (2).txt"), "2");
    QCOMPARE(store::freeFileName(files, QStringLiteral("a.txt")), QStringLiteral("a (3).txt"));
    root_->write(QStringLiteral("Files/README"), "3");
    QCOMPARE(store::freeFileName(files, QStringLiteral("README")), QStringLiteral("README (2)"));
  }

 private:
  std::unique_ptr<TestRoot> root_;
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
