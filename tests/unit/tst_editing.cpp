// Find without a window, and plain text files: limits, line ends and the
// messages for files that cannot be read or written (8-bit bytes go
// through the window's Open and Save As in tst_find).
#include "editing/findstate.h"
#include "editing/textfiles.h"
#include "support/files.h"
#include "support/scriptedprompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using editing::FindState;

namespace {

constexpr int kUp = 0;
constexpr int kDown = 1;

FindState search(const char* text, int direction, int matchCase = 0, qsizetype lastPos = 0,
                 bool fresh = true) {
  return FindState{QString::fromLatin1(text), matchCase, direction, lastPos, fresh};
}

}  // namespace

class EditingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    prompter_ = std::make_unique<ScriptedPrompter>();
  }

  void cleanup() {
    prompter_.reset();
    dir_.reset();
  }

  void findMatch_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<FindState>("state");
    QTest::addColumn<qsizetype>("expected");

    const QString xabcabc = QStringLiteral("xabcabc");
    QTest::newRow("down from the start") << xabcabc << qsizetype(0) << search("abc", kDown) << qsizetype(1);
    QTest::newRow("down again skips the match under the caret")
        << xabcabc << qsizetype(1) << search("abc", kDown, 0, 1, false) << qsizetype(4);
    QTest::newRow("down past the last match") << xabcabc << qsizetype(4) << search("abc", kDown, 0, 4, false)
                                              << qsizetype(-1);
    QTest::newRow("a fresh search takes the match at the caret")
        << xabcabc << qsizetype(4) << search("abc", kDown, 0, 4, true) << qsizetype(4);
    QTest::newRow("caret moved since the last search")
        << xabcabc << qsizetype(4) << search("abc", kDown, 0, 1, false) << qsizetype(4);
    QTest::newRow("case ignored") << xabcabc << qsizetype(0) << search("ABC", kDown) << qsizetype(1);
    QTest::newRow("match case") << QStringLiteral("xabcAbc") << qsizetype(0) << search("Abc", kDown, 1)
                                << qsizetype(4);
    QTest::newRow("match case, no such text") << xabcabc << qsizetype(0) << search("ABC", kDown, 1)
                                              << qsizetype(-1);
    QTest::newRow("up finds a match that ends at the caret")
        << QStringLiteral("abcx") << qsizetype(4) << search("x", kUp) << qsizetype(3);
    QTest::newRow("up from a match finds the one before")
        << QStringLiteral("abcabc") << qsizetype(3) << search("abc", kUp, 0, 3, false) << qsizetype(0);
    QTest::newRow("up ignores a match across the caret")
        << QStringLiteral("abcdef") << qsizetype(3) << search("cd", kUp) << qsizetype(-1);
    QTest::newRow("up at the start") << xabcabc << qsizetype(0) << search("x", kUp) << qsizetype(-1);
    QTest::newRow("any direction but 1 is up") << xabcabc << qsizetype(7) << search("abc", 7) << qsizetype(4);
    QTest::newRow("caret past the end") << QStringLiteral("abcx") << qsizetype(99) << search("x", kUp)
                                        << qsizetype(3);
    QTest::newRow("nothing to find") << xabcabc << qsizetype(0) << search("", kDown) << qsizetype(-1);
    QString big(100'000, u'.');
    big.replace(70'000, 4, QStringLiteral("Word")).replace(99'990, 4, QStringLiteral("word"));
    QTest::newRow("beyond 16 bits, down") << big << qsizetype(40'000) << search("word", kDown) << qsizetype(70'000);
    QTest::newRow("beyond 16 bits, down again") << big << qsizetype(70'000) << search("word", kDown, 0, 70'000, false)
                                                << qsizetype(99'990);
    QTest::newRow("beyond 16 bits, up") << big << qsizetype(100'000) << search("WORD", kUp) << qsizetype(99'990);
    QTest::newRow("beyond 16 bits, up, match case") << big << qsizetype(99'990) << search("Word", kUp, 1)
                                                    << qsizetype(70'000);
    QTest::newRow("8-bit font codes, across a line")
        << QString::fromLatin1("\xe0\xa0\n\xff\xe0\xa0\n") << qsizetype(7) << search("\xa0\n", kUp)
        << qsizetype(5);
  }

  void findMatch() {
    QFETCH(QString, body);
    QFETCH(qsizetype, caret);
    QFETCH(FindState, state);
    QFETCH(qsizetype, expected);
    QCOMPARE(editing::findMatch(body, caret, state), expected);
  }

  void openTextFile_data() {
    QTest::addColumn<QByteArray>("bytes");  // empty: no file at all
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("message");   // its start; the name and reason follow

    QTest::newRow("empty file") << QByteArray("") << true << QString();
    QTest::newRow("as large as allowed") << QByteArray(editing::kMaxTextFileBytes, 'a') << true << QString();
    QTest::newRow("one byte too large") << QByteArray(editing::kMaxTextFileBytes + 1, 'a') << false
                                        << QStringLiteral("The file is too large to open.");
    QTest::newRow("missing") << QByteArray() << false << QStringLiteral("Can't open file: ");
  }

  void openTextFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, opens);
    QFETCH(QString, message);
    const QString path = bytes.isNull() ? dir_->filePath(QStringLiteral("gone.txt"))
                                        : writeFile(QStringLiteral("in.txt"), bytes);
    prompter_->fileAnswers.enqueue(path);

    const std::optional<QString> text = editing::open_text_file();
    QCOMPARE(text.has_value(), opens);
    if (opens) {
      QCOMPARE(text->toLatin1(), QByteArray(bytes).replace("\r\n", "\n"));
      QVERIFY(prompter_->messages.isEmpty());
      return;
    }
    QCOMPARE(prompter_->messages.size(), 1);
    QVERIFY2(prompter_->messages[0].startsWith(message), qPrintable(prompter_->messages[0]));
    if (message.startsWith(QStringLiteral("Can't")))
      QVERIFY(prompter_->messages[0].contains(QStringLiteral("gone.txt (")));

    // Cancelling the chooser reads nothing and says nothing.
    prompter_->messages.clear();
    QVERIFY(!editing::open_text_file());
    QVERIFY(prompter_->messages.isEmpty());
  }

  void saveTextFile_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("newline becomes CR LF") << QStringLiteral("a\nb") << QByteArray("a\r\nb");
    QTest::newRow("CR LF stays one line end") << QStringLiteral("a\r\nb") << QByteArray("a\r\nb");
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << QByteArray("a\r\nb");
    QTest::newRow("no line end added") << QStringLiteral("last line\n") << QByteArray("last line\r\n");
    QTest::newRow("empty") << QString() << QByteArray("");
    QTest::newRow("outside the code page") << QStringLiteral("a\u0D85b") << QByteArray("a?b");
  }

  void saveTextFile() {
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    // An older, longer file is replaced entirely.
    const QString path = writeFile(QStringLiteral("out.txt"), QByteArray(5000, 'z'));
    QVERIFY(editing::save_text_file(text, path));
    QCOMPARE(readTestFile(path), written);
    QVERIFY(editing::save_text_file(text, path));  // saving again adds nothing
    QCOMPARE(readTestFile(path), written);
    QVERIFY(prompter_->messages.isEmpty());
  }

  void failedSaveIsReported_data() {
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing folder") << QStringLiteral("no such folder/out.txt");
    QTest::newRow("a file where the folder should be") << QStringLiteral("plain.txt/out.txt");
    QTest::newRow("read-only folder") << QStringLiteral("locked/out.txt");
    QTest::newRow("a folder where the file should be") << QStringLiteral("locked");
  }

  void failedSaveIsReported() {
    QFETCH(QString, relative);
    writeFile(QStringLiteral("plain.txt"), "keep");
    const QString locked = dir_->filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    if (relative.startsWith(QStringLiteral("locked/")) && QFileInfo(locked).isWritable())
      QSKIP("running with rights that ignore folder permissions");

    const QString path = dir_->filePath(relative);
    QVERIFY(!editing::save_text_file(QStringLiteral("text"), path));
    QCOMPARE(prompter_->messages.size(), 1);
    const QString& message = prompter_->messages[0];
    QVERIFY2(message.startsWith(QStringLiteral("Can't save file: ") + QDir::toNativeSeparators(path) + " ("),
             qPrintable(message));
    QVERIFY2(!message.endsWith(QStringLiteral("()")), qPrintable(message));  // a reason is given
    QCOMPARE(readTestFile(dir_->filePath(QStringLiteral("plain.txt"))), QByteArray("keep"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

 private:
  QString writeFile(const QString& name, const QByteArray& bytes) {
    return writeTestFile(dir_->filePath(name), bytes);
  }
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<ScriptedPrompter> prompter_;
};

QTEST_GUILESS_MAIN(EditingTest)
#include "tst_editing.moc"
