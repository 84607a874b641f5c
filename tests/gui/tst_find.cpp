// The compose body's editing tools: the search itself (findMatch) and,
// on real widgets, the Find dialog and Find Next, the clipboard commands
// on a one-line field and on the body, and plain text files: their limits,
// line ends and the messages for files that cannot be read or written,
// and the files opened into, inserted into and saved from the body.
#include "editing/editing.h"
#include "editing/findstate.h"
#include "editing/textfiles.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/scriptedprompter.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>
#include <functional>

using editing::frmFind;

namespace {

constexpr int kUp = 0;
constexpr int kDown = 1;

// A stand-in for the compose window: one field and the body.
struct Editor {
  QWidget window;
  QLineEdit* subject = new QLineEdit(&window);
  QTextEdit* body = new QTextEdit(&window);

  explicit Editor(const QString& text = {}) {
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(subject);
    layout->addWidget(body);
    body->setAcceptRichText(false);
    body->setPlainText(text);
    window.show();
  }
  void select(int start, int length) {
    QTextCursor cursor = body->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    body->setTextCursor(cursor);
  }
  int selectionStart() const { return body->textCursor().selectionStart(); }
  QString text() const { return editing::bodyText(body); }
};

// Runs `drive` on the Find dialog once it is up, then makes sure it closes.
void whenFindDialogAppears(std::function<void(frmFind*)> drive) {
  whenModalAppears([drive](QWidget* modal) {
    if (auto* dialog = qobject_cast<frmFind*>(modal))
      drive(dialog);
    if (modal->isVisible())
      modal->close();
  });
}

QString asBodyText(const QByteArray& fileBytes) {
  return QString::fromLatin1(fileBytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

enum class Command { Copy, Cut, Paste, Delete };

}  // namespace

Q_DECLARE_METATYPE(Command)

using editing::FindState;

namespace {

FindState search(const char* text, int direction, int matchCase = 0, qsizetype lastPos = 0,
                 bool fresh = true) {
  return FindState{QString::fromLatin1(text), matchCase, direction, lastPos, fresh};
}

}  // namespace

class FindTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    prompter_ = std::make_unique<ScriptedPrompter>();
    editing::findState() = {};
    QGuiApplication::clipboard()->clear();
  }

  void cleanup() {
    prompter_.reset();
    dir_.reset();
  }

  void findNextSequence_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("find");
    QTest::addColumn<int>("matchCase");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QList<int>>("starts");  // one per Find Next; -1: "Cannot find"

    QTest::newRow("down") << QStringLiteral("xabcabc") << 0 << QStringLiteral("abc") << 0 << kDown
                          << QList<int>{1, 4, -1, -1};
    QTest::newRow("up, without case") << QStringLiteral("abc\nabc") << 7 << QStringLiteral("ABC") << 0 << kUp
                                      << QList<int>{4, 0, -1};
    QTest::newRow("match case") << QStringLiteral("Abc abc ABC") << 0 << QStringLiteral("abc") << 1 << kDown
                                << QList<int>{4, -1};
    QString manyLines = QStringLiteral("line of text\n").repeated(8000) + QStringLiteral("needle\n");
    QTest::newRow("past 100,000 characters over many lines")
        << manyLines << 0 << QStringLiteral("needle") << 0 << kDown << QList<int>{104'000, -1};
  }

  void findNextSequence() {
    QFETCH(QString, body);
    QFETCH(int, caret);
    QFETCH(QString, find);
    QFETCH(int, matchCase);
    QFETCH(int, direction);
    QFETCH(QList<int>, starts);
    Editor editor(body);
    editor.select(caret, 0);
    // As the Find dialog leaves the state after the text was typed.
    editing::findState() = {find, matchCase, direction, 0, true};

    int previous = caret;
    for (int expected : starts) {
      prompter_->messages.clear();
      editing::mnuFindnext_Click(editor.body, &editor.window);
      if (expected < 0) {
        QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Cannot find \"%1\"").arg(find)});
        QCOMPARE(editor.selectionStart(), previous);
        continue;
      }
      QVERIFY(prompter_->messages.isEmpty());
      QCOMPARE(editor.selectionStart(), expected);
      QCOMPARE(editor.body->textCursor().selectedText().compare(find, Qt::CaseInsensitive), 0);
      previous = expected;
    }
  }

  void dialogSearchesAndKeepsItsState() {
    Editor editor(QStringLiteral("one two one"));
    editor.select(0, 3);
    struct Seen {
      QString text;
      bool findEnabled = false, up = false, caseTicked = true, modal = false;
      QList<int> starts;
      bool findEnabledWhenEmpty = true;
      bool oldTextSelected = false;
    } seen;
    whenFindDialogAppears([&](frmFind* dialog) {
      seen = {dialog->Text1->text(), dialog->cmdFind->isEnabled(), dialog->optDirection[kUp]->isChecked(),
              dialog->chkCase->isChecked(), dialog->isModal(), {}, true, false};
      QTest::mouseClick(dialog->optDirection[kDown], Qt::LeftButton);
      QTest::mouseClick(dialog->chkCase, Qt::LeftButton);
      for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(dialog->cmdFind, Qt::LeftButton);
        seen.starts << editor.selectionStart();
      }
      dialog->Text1->clear();
      seen.findEnabledWhenEmpty = dialog->cmdFind->isEnabled();
      QTest::keyClicks(dialog->Text1, QStringLiteral("TWO"));
      QTest::mouseClick(dialog->cmdcancel, Qt::LeftButton);
    });
    editing::mnuFind_Click(editor.body, &editor.window);

    QCOMPARE(seen.text, QStringLiteral("one"));  // the selection is the text to find
    QVERIFY(seen.findEnabled && seen.up && !seen.caseTicked && seen.modal);
    // A fresh search takes the selected match first, then the next one.
    QCOMPARE(seen.starts, (QList<int>{0, 8, 8}));
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Cannot find \"one\"")});
    QVERIFY(!seen.findEnabledWhenEmpty);
    const editing::FindState& state = editing::findState();
    QCOMPARE(state.find_text, QStringLiteral("TWO"));
    QCOMPARE(state.find_match_case, 1);
    QCOMPARE(state.find_direction, kDown);

    // Find Next after the dialog is gone uses its last text and options.
    editor.select(0, 0);
    prompter_->messages.clear();
    editing::mnuFindnext_Click(editor.body, &editor.window);
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Cannot find \"TWO\"")});

    // Reopened without a selection, the dialog shows the last search; Esc keeps what was typed.
    whenFindDialogAppears([&](frmFind* dialog) {
      seen.text = dialog->Text1->text();
      seen.caseTicked = dialog->chkCase->isChecked();
      seen.up = dialog->optDirection[kUp]->isChecked();
      seen.oldTextSelected = dialog->Text1->selectedText() == dialog->Text1->text();
      QTest::keyClicks(dialog->Text1, QStringLiteral("two"));
      QTest::mouseClick(dialog->chkCase, Qt::LeftButton);
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    editing::mnuFind_Click(editor.body, &editor.window);
    QCOMPARE(seen.text, QStringLiteral("TWO"));
    QVERIFY(seen.caseTicked && !seen.up);
    QVERIFY(seen.oldTextSelected);  // the old text is selected, so typing replaces it
    QCOMPARE(state.find_text, QStringLiteral("two"));
    QCOMPARE(state.find_match_case, 0);
    editing::mnuFindnext_Click(editor.body, &editor.window);
    QCOMPARE(editor.selectionStart(), 4);
  }

  void findNextWithNothingSearchedOpensTheDialog() {
    Editor editor(QStringLiteral("text"));
    bool opened = false, findEnabled = true;
    whenFindDialogAppears([&](frmFind* dialog) {
      opened = true;
      findEnabled = dialog->cmdFind->isEnabled();
    });
    editing::mnuFindnext_Click(editor.body, &editor.window);
    QVERIFY(opened);
    QVERIFY(!findEnabled);  // nothing to find yet
    QVERIFY(prompter_->messages.isEmpty());
  }

  void editCommands_data() {
    QTest::addColumn<bool>("inBody");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("clipboardBefore");
    QTest::addColumn<QString>("textAfter");
    QTest::addColumn<QString>("clipboardAfter");

    const QString nbsp = QString::fromLatin1("a\xa0" "b");
    QTest::newRow("copy in a field") << false << false << "Hello" << 1 << 3 << Command::Copy << "" << "Hello"
                                     << "ell";
    QTest::newRow("copy of nothing keeps the clipboard")
        << true << false << "Hello" << 2 << 0 << Command::Copy << "kept" << "Hello" << "kept";
    QTest::newRow("cut across lines") << true << false << "ab\ncd" << 1 << 3 << Command::Cut << "" << "ad"
                                      << "b\nc";
    QTest::newRow("cut keeps code 160") << true << false << nbsp << 0 << 3 << Command::Cut << "" << "" << nbsp;
    QTest::newRow("cut in a read-only body only copies")
        << true << true << "abc" << 0 << 2 << Command::Cut << "" << "abc" << "ab";
    QTest::newRow("paste over the selection") << true << false << "abc" << 1 << 1 << Command::Paste << "x\ny"
                                              << "ax\nyc" << "x\ny";
    QTest::newRow("paste into a field stays on one line")
        << false << false << "ab" << 1 << 0 << Command::Paste << "x\r\ny\nz" << "ax y zb" << "x\r\ny\nz";
    QTest::newRow("paste of nothing keeps the selection")
        << false << false << "ab" << 0 << 2 << Command::Paste << "" << "ab" << "";
    QTest::newRow("delete a line break as a whole")
        << true << false << "ab\ncd" << 2 << 0 << Command::Delete << "" << "abcd" << "";
    QTest::newRow("delete CR LF in a field") << false << false << "ab\r\ncd" << 2 << 0 << Command::Delete << ""
                                             << "abcd" << "";
    QTest::newRow("delete the selection") << false << false << "abcd" << 1 << 2 << Command::Delete << "" << "ad"
                                          << "";
    QTest::newRow("delete at the end does nothing")
        << true << false << "ab\n" << 3 << 0 << Command::Delete << "" << "ab\n" << "";
    QTest::newRow("delete in a read-only field") << false << true << "ab" << 0 << 0 << Command::Delete << ""
                                                 << "ab" << "";
  }

  void editCommands() {
    QFETCH(bool, inBody);
    QFETCH(bool, readOnly);
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(Command, command);
    QFETCH(QString, clipboardBefore);
    QFETCH(QString, textAfter);
    QFETCH(QString, clipboardAfter);

    Editor editor;
    QWidget* active = editor.subject;
    if (inBody) {
      editor.body->setPlainText(text);
      editor.body->setReadOnly(readOnly);
      editor.select(start, length);
      active = editor.body;
    } else {
      editor.subject->setText(text);
      editor.subject->setReadOnly(readOnly);
      editor.subject->setSelection(start, length);
    }
    QGuiApplication::clipboard()->setText(clipboardBefore);

    switch (command) {
      case Command::Copy: editing::copySelection(active); break;
      case Command::Cut: editing::cutSelection(active); break;
      case Command::Paste: editing::pasteInto(active); break;
      case Command::Delete: editing::deleteAtCaret(active); break;
    }
    QCOMPARE(inBody ? editor.text() : editor.subject->text(), textAfter);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboardAfter);
  }

  void commandsIgnoreOtherWidgets() {
    QPushButton button(QStringLiteral("Send"));
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    for (auto command : {editing::copySelection, editing::cutSelection, editing::pasteInto, editing::deleteAtCaret}) {
      command(&button);
      command(nullptr);
    }
    QCOMPARE(button.text(), QStringLiteral("Send"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
  }

  void selectAllAndDateTimeWorkOnTheBody() {
    Editor editor(QStringLiteral("first\nsecond"));
    editor.subject->setFocus();
    editing::selectAll(editor.body);
    QCOMPARE(editing::withNewlines(editor.body->textCursor().selectedText()), QStringLiteral("first\nsecond"));
    QCOMPARE(editor.window.focusWidget(), editor.subject);

    editor.select(6, 6);  // "second"
    editing::insertDateTime(editor.body);
    const QString today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    QVERIFY2(editor.text().startsWith(QStringLiteral("first\n") + today), qPrintable(editor.text()));
    QVERIFY(!editor.text().contains(QStringLiteral("second")));
    for (QChar c : editor.text())
      QVERIFY2(c.unicode() <= 0xFF, "the date must fit the body's code page");
  }

  void textFileRoundTrip_data() {
    QTest::addColumn<bool>("insert");  // Insert File; otherwise Open
    QTest::addColumn<QByteArray>("saved");
    const QByteArray file = eightBitLines();
    QTest::newRow("open") << false << file;
    QTest::newRow("insert file") << true << QByteArray("[" + file + "]");
  }

  void textFileRoundTrip() {
    QFETCH(bool, insert);
    QFETCH(QByteArray, saved);
    const QString in = writeTestFile(dir_->filePath(QStringLiteral("in.txt")), eightBitLines());
    Editor editor(QStringLiteral("[old]"));
    editor.select(1, 3);
    prompter_->fileAnswers.enqueue(in);
    insert ? editing::insertFile(editor.body) : editing::openFile(editor.body);
    QCOMPARE(editor.text(), asBodyText(saved));

    const QString out = dir_->filePath(QStringLiteral("out.txt"));
    prompter_->fileAnswers.enqueue(out);
    prompter_->fileAnswers.enqueue(out);
    editing::saveBodyAs(editor.body);
    editing::saveBodyAs(editor.body);  // saving twice adds nothing
    QCOMPARE(readTestFile(out), saved);
    QCOMPARE(prompter_->proposedSaveNames, (QStringList{in, out}));
    QVERIFY(prompter_->messages.isEmpty());
    QVERIFY(!QGuiApplication::overrideCursor());  // the hourglass is gone

    editor.body->undo();
    QCOMPARE(editor.text(), QStringLiteral("[old]"));
  }

  void cancelOrFailureLeavesTheBody_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer");  // the chosen file; empty: cancelled
    QTest::addColumn<QString>("message");
    QTest::newRow("open cancelled") << "open" << "" << "";
    QTest::newRow("insert cancelled") << "insert" << "" << "";
    QTest::newRow("save cancelled") << "save" << "" << "";
    QTest::newRow("open a missing file") << "open" << "gone.txt" << "Can't open file: ";
    QTest::newRow("insert a folder") << "insert" << "." << "Can't open file: ";
  }

  void cancelOrFailureLeavesTheBody() {
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(QString, message);
    Editor editor(QStringLiteral("keep\nthis"));
    editor.select(2, 4);
    if (!answer.isEmpty())
      prompter_->fileAnswers.enqueue(QDir::cleanPath(dir_->filePath(answer)));
    if (command == QLatin1String("open"))
      editing::openFile(editor.body);
    else if (command == QLatin1String("insert"))
      editing::insertFile(editor.body);
    else
      editing::saveBodyAs(editor.body);

    QCOMPARE(editor.text(), QStringLiteral("keep\nthis"));
    QCOMPARE(editor.body->textCursor().selectionStart(), 2);
    QCOMPARE(editor.body->textCursor().selectionEnd(), 6);
    QVERIFY(!editor.body->document()->isUndoAvailable());
    QCOMPARE(QDir(dir_->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    if (message.isEmpty()) {
      QVERIFY(prompter_->messages.isEmpty());
    } else {
      QCOMPARE(prompter_->messages.size(), 1);
      QVERIFY2(prompter_->messages[0].startsWith(message + QDir::toNativeSeparators(dir_->path())),
               qPrintable(prompter_->messages[0]));
    }
    QVERIFY(!QGuiApplication::overrideCursor());
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

QTEST_MAIN(FindTest)
#include "tst_find.moc"
