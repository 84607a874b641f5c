// Reading mail in the main window: the message list, the message view with
// its text parts, the attachment box and Save Attachments, the header and
// source views, on message files written by the test; a line with no place
// to break seen exactly in every view.
#include "compose/newmessage.h"
#include "editing/bodytext.h"
#include "editing/editcommands.h"
#include "editing/find.h"
#include "editing/findstate.h"
#include "reading/messagelistdelegate.h"
#include "reading/sourcedisplay.h"
#include "reading/viewcap.h"
#include "store/mailstore.h"
#include "support/files.h"
#include "support/mainwindowtest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

namespace {

QByteArray header(const QString& from, const QString& subject, const QByteArray& contentType) {
  return QStringLiteral("From: %1\r\nTo: me@example.org\r\nSubject: %2\r\nDate: Sun, 6 Dec 2026 10:00:00 +0000\r\n"
                        "MIME-Version: 1.0\r\n")
             .arg(from, subject)
             .toUtf8() +
         "Content-Type: " + contentType + "\r\n";
}

QByteArray plain(const QString& subject, const QByteArray& body, const QString& from = QStringLiteral("Kamala <k@example.lk>")) {
  return header(from, subject, "text/plain; charset=us-ascii") + "\r\n" + body + "\r\n";
}

QByteArray base64Lines(const QByteArray& data) {
  const QByteArray b64 = data.toBase64();
  QByteArray out;
  for (qsizetype i = 0; i < b64.size(); i += 76)
    out += b64.mid(i, 76) + "\r\n";
  return out;
}

QByteArray attachmentPart(const QByteArray& disposition, const QByteArray& data,
                          const QByteArray& type = "application/octet-stream") {
  return "--BOUND\r\nContent-Type: " + type + "\r\nContent-Transfer-Encoding: base64\r\n" +
         (disposition.isEmpty() ? QByteArray() : "Content-Disposition: " + disposition + "\r\n") + "\r\n" +
         base64Lines(data);
}

QByteArray mixed(const QString& subject, const QByteArray& parts) {
  return header(QStringLiteral("Nimal <n@example.lk>"), subject, "multipart/mixed; boundary=\"BOUND\"") +
         "\r\n--BOUND\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nSee the files.\r\n" + parts +
         "--BOUND--\r\n";
}

QByteArray allBytes(int seed) {
  QByteArray data;
  for (int i = 0; i < 1000; ++i)
    data.append(char((i * 7 + seed) & 0xFF));
  return data;
}

const char kBinHex[] =
    "(This file must be converted with BinHex 4.0)\r\n"
    ":#'j[G'8ZG(Kd!&4&@&4dG(Kd!!!!!!!i!!!!!%b63QPZ5'9i)(4PH(3k)%&jG@*\r\n"
    "[Gf&Z)'CbEfdJ5f&ZC(NZ$3T6C@0[EQ3JE'PZC5#3!#\"SCA*P,Jd+4%J!!!:\r\n";

}  // namespace

class ReadingGuiTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void init() { prepareRoot(); }
  void cleanup() { closeMainWindow(); }

  // The columns themselves are the list format's (tst_reading); here the
  // rows come from the files, in number order.
  void listsInNumberOrderWithColumns() {
    // Written out of order; the list follows the numbers.
    for (int n : {10, 2, 100, 1}) {
      const QString subject = n == 1 ? QStringLiteral("First") : QString::number(n);
      root_->write(QStringLiteral("Inbox/") + MailStore::msgFileName(n), plain(subject, "x"));
    }
    root_->write(QStringLiteral("Inbox/readme.txt"), "not a message");
    start();

    QListWidget* list = form_->listMessages;
    QCOMPARE(list->count(), 4);
    QList<qint64> numbers;
    for (int i = 0; i < list->count(); ++i)
      numbers << list->item(i)->data(Qt::UserRole).toLongLong();
    QCOMPARE(numbers, (QList<qint64>{1, 2, 10, 100}));
    QCOMPARE(list->currentRow(), -1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Kamala") + QString(15, QLatin1Char(' ')) + QLatin1Char('\t') +
                                        QStringLiteral("First") + QString(31, QLatin1Char(' ')) + QStringLiteral("\tSun, 6 Dec 2026"));

    // Each listing hands the folder's highest number to the table.
    form_->listFolders_Click();
    bool found = false;
    for (const FolderEntry& entry : mailStore().folder_table)
      found = found || (entry.name == QStringLiteral("Inbox") && entry.counter == 100);
    QVERIFY(found);
  }

  void emptyFolderAndOddNames() {
    QDir(root_->root()).mkpath(QStringLiteral("Empty"));
    root_->write(QStringLiteral("Odd/notes.msg"), plain(QStringLiteral("Named by hand"), "hand made"));
    root_->write(QStringLiteral("Odd/00000003.msg"), plain(QStringLiteral("Numbered"), "three"));
    start(QStringLiteral("Empty"));
    QCOMPARE(form_->listMessages->count(), 0);
    bool emptyEntry = false;
    for (const FolderEntry& entry : mailStore().folder_table)
      emptyEntry = emptyEntry || (entry.name == QStringLiteral("Empty") && entry.counter == 0);
    QVERIFY(emptyEntry);

    const QList<QListWidgetItem*> odd = form_->listFolders->findItems(QStringLiteral("Odd"), Qt::MatchFixedString);
    form_->listFolders->setCurrentItem(odd.first());
    QCOMPARE(form_->listMessages->count(), 2);
    // "notes.msg" has no number: item data 0; choosing it shows that file.
    QCOMPARE(form_->listMessages->item(1)->data(Qt::UserRole).toLongLong(), qint64(0));
    form_->listMessages->setCurrentRow(1);
    QVERIFY(viewText().contains(QLatin1String("hand made")));
    form_->listMessages->setCurrentRow(0);
    QVERIFY(viewText().contains(QLatin1String("three")));
  }

  void columnsLineUpAtTabStops() {
    root_->write(QStringLiteral("Inbox/00000001.msg"), plain(QStringLiteral("Short"), "x", QStringLiteral("A <a@b.lk>")));
    root_->write(QStringLiteral("Inbox/00000002.msg"),
                 plain(QStringLiteral("A much longer subject line here"), "y", QStringLiteral("Bartholomew Long <b@b.lk>")));
    start();
    auto* delegate = qobject_cast<reading::TabStopDelegate*>(form_->listMessages->itemDelegate());
    QVERIFY(delegate);
    const QFont font = form_->listMessages->font();
    const QList<qreal> stops = delegate->stopPixels(font);
    QCOMPARE(stops.size(), 3);
    const qreal unit = QFontMetricsF(font).averageCharWidth() / 4.0;
    QCOMPARE(stops.at(0), 125 * unit);
    QCOMPARE(stops.at(2), 500 * unit);

    // Drawn rows: the subject column starts at the same x in both rows.
    form_->resize(1400, 700);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    const QImage image = form_->listMessages->viewport()->grab().toImage();
    auto firstInk = [&](int row, int fromX) {
      const QRect rect = form_->listMessages->visualItemRect(form_->listMessages->item(row));
      const QColor background = image.pixelColor(image.width() - 2, rect.center().y());
      for (int x = fromX; x < image.width(); ++x)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
          if (image.pixelColor(x, y) != background)
            return x;
      return -1;
    };
    const int secondColumn = int(stops.at(0));
    const int a = firstInk(0, secondColumn - 2);
    const int b = firstInk(1, secondColumn - 2);
    QVERIFY(a > 0);
    QVERIFY(qAbs(a - b) <= 2);
  }

  void plainMessageAndHeaders() {
    root_->write(QStringLiteral("Inbox/00000001.msg"), plain(QStringLiteral("Hello"), "Line one\r\nLine two"));
    start();
    form_->listMessages->setCurrentRow(0);
    const QString plainView = viewText();
    QVERIFY(plainView.startsWith(QLatin1String("Line one\nLine two")));
    QVERIFY(!plainView.contains(QLatin1String("Subject:")));
    QVERIFY(!form_->attachments->isVisible() && !form_->attLabel->isVisible());
    QVERIFY(form_->attachments->isHidden() && form_->attLabel->isHidden());

    form_->ShowHeaders->trigger();
    QVERIFY(form_->ShowHeaders->isChecked());
    const QString withHeaders = viewText();
    QVERIFY(withHeaders.contains(QLatin1String("Subject: Hello")));
    QVERIFY(withHeaders.indexOf(QLatin1String("Subject: Hello")) < withHeaders.indexOf(QLatin1String("Line one")));
    QCOMPARE(form_->attachments->count(), 0);

    form_->ShowHeaders->trigger();
    QVERIFY(!form_->ShowHeaders->isChecked());
    QCOMPARE(viewText(), plainView);
    QVERIFY(prompter_->messages.isEmpty());

    // With nothing selected the switch only changes the setting.
    start();
    form_->ShowHeaders->trigger();
    QVERIFY(form_->ShowHeaders->isChecked());
    QVERIFY(viewText().isEmpty());
  }

  void textPartsShowDecoded_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("hidden");
    auto encoded = [](const QByteArray& charset, const QByteArray& encoding, const QByteArray& body) {
      return header(QStringLiteral("E <e@example.lk>"), QString::fromLatin1(encoding), "text/plain; charset=" + charset) +
             "Content-Transfer-Encoding: " + encoding + "\r\n\r\n" + body;
    };
    QTest::newRow("base64") << encoded("us-ascii", "base64", base64Lines("Base64 text from Galle.\r\n"))
                            << QStringList{"Base64 text from Galle."} << "";
    QTest::newRow("quoted-printable")
        << encoded("us-ascii", "Quoted-Printable", "Quoted =3D printable from Matara, a long line that =\r\ncontinues.\r\n")
        << QStringList{"Quoted = printable from Matara, a long line that continues."} << "";
    QTest::newRow("uuencode")
        << encoded("us-ascii", "x-uuencode", "begin 644 note.txt\r\n=575E;F-O9&5D('1E>'0@9G)O;2!*869F;F$N#0H`\r\n`\r\nend\r\n")
        << QStringList{"Uuencoded text from Jaffna."} << "";
    QTest::newRow("binhex") << encoded("us-ascii", "mac-binhex40", kBinHex) << QStringList{"BinHex text: Ayubowan from Kandy."}
                            << "";
    QTest::newRow("encoding name in capitals") << encoded("us-ascii", "BASE64", base64Lines("Upper case encoding name.\r\n"))
                                               << QStringList{"Upper case encoding name."} << "";
    QTest::newRow("latin-1") << encoded("iso-8859-1", "8bit", "Caf\xe9 cr\xe8me\r\n") << QStringList{QString::fromUtf8("Café crème")}
                             << "";
    QTest::newRow("utf-8") << encoded("utf-8", "base64", base64Lines(QStringLiteral("ආයුබෝවන් வணக்கம்\r\n").toUtf8()))
                           << QStringList{QStringLiteral("ආයුබෝවන් வணக்கம்")} << "";
    QTest::newRow("html only")
        << header(QStringLiteral("H <h@example.lk>"), QStringLiteral("Html only"), "text/html; charset=utf-8") +
               "\r\n<html><body><p>Hello <b>bold</b> world</p><p>Second &amp; last</p></body></html>\r\n"
        << QStringList{"Hello bold world", "Second & last"} << "<p>";
    // A message without any MIME header is plain text.
    QTest::newRow("no MIME") << QByteArray("From: old@example.lk\r\nSubject: Old style\r\n\r\nNo MIME here.\r\n")
                             << QStringList{"No MIME here."} << "Subject";
  }

  void textPartsShowDecoded() {
    QFETCH(QByteArray, message);
    QFETCH(QStringList, shown);
    QFETCH(QString, hidden);
    root_->write(QStringLiteral("Inbox/00000001.msg"), message);
    start();
    form_->listMessages->setCurrentRow(0);
    for (const QString& text : shown)
      QVERIFY2(viewText().contains(text), qPrintable(viewText()));
    if (!hidden.isEmpty())
      QVERIFY(!viewText().contains(hidden));
    QCOMPARE(form_->attachments->count(), 0);
  }

  void alternativeAndNestedParts() {
    const QByteArray nested =
        header(QStringLiteral("N <n@example.lk>"), QStringLiteral("Nested"), "multipart/mixed; boundary=\"OUT\"") +
        "\r\n--OUT\r\nContent-Type: multipart/alternative; boundary=\"ALT\"\r\n\r\n"
        "--ALT\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nPlain alternative.\r\n"
        "--ALT\r\nContent-Type: text/html; charset=us-ascii\r\n\r\n<p>HTML alternative.</p>\r\n"
        "--ALT--\r\n"
        "--OUT\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        base64Lines(QByteArray("\x89PNG\r\n\x1a\n-not-really-a-png", 25)) +
        "--OUT\r\nContent-Type: message/rfc822\r\n\r\n" + plain(QStringLiteral("Forwarded one"), "Inner body") +
        "--OUT--\r\n";
    root_->write(QStringLiteral("Inbox/00000001.msg"), nested);
    start();
    form_->listMessages->setCurrentRow(0);
    QVERIFY2(viewText().contains(QLatin1String("Plain alternative.")), qPrintable(viewText()));
    QVERIFY(!viewText().contains(QLatin1String("HTML alternative")));
    QCOMPARE(attachmentNames(), (QStringList{QStringLiteral("part2.png"), QStringLiteral("part3.eml")}));
    QVERIFY(form_->attachments->isVisibleTo(form_.get()));
    QCOMPARE(form_->attLabel->text(), QStringLiteral("Attach:"));

    prompter_->messages.clear();
    form_->mnuSaveAtt_Click();
    const QString files = mailStore().folderPath(QStringLiteral("Files"));
    QCOMPARE(readTestFile(files + QStringLiteral("part2.png")), QByteArray("\x89PNG\r\n\x1a\n-not-really-a-png", 25));
    QVERIFY(readTestFile(files + QStringLiteral("part3.eml")).contains("Inner body"));
  }

  void attachmentsSavedIntact() {
    const QByteArray first = allBytes(1);
    const QByteArray second = allBytes(2);
    const QByteArray third = allBytes(3);
    root_->write(QStringLiteral("Inbox/00000001.msg"),
                 mixed(QStringLiteral("Files"),
                       attachmentPart("attachment; filename=\"a.bin\"", first) +
                           attachmentPart("attachment; filename=\"a.bin\"", second) +
                           attachmentPart("", third, "application/pdf; name=report.pdf")));
    root_->write(QStringLiteral("Files/report.pdf"), "saved earlier");
    start();
    form_->listMessages->setCurrentRow(0);
    QVERIFY(viewText().contains(QLatin1String("See the files.")));
    QCOMPARE(attachmentNames(), (QStringList{QStringLiteral("a.bin"), QStringLiteral("a.bin"), QStringLiteral("report.pdf")}));
    QCOMPARE(form_->attachments->itemData(2, Qt::UserRole).toInt(), 3);
    QVERIFY(form_->attachments->isVisibleTo(form_.get()) && form_->attLabel->isVisibleTo(form_.get()));

    form_->mnuSaveAtt_Click();
    const QString files = mailStore().folderPath(QStringLiteral("Files"));
    QCOMPARE(readTestFile(files + QStringLiteral("a.bin")), first);
    QCOMPARE(readTestFile(files + QStringLiteral("a (2).bin")), second);
    QCOMPARE(readTestFile(files + QStringLiteral("report (2).pdf")), third);
    QCOMPARE(readTestFile(files + QStringLiteral("report.pdf")), QByteArray("saved earlier"));
    QCOMPARE(prompter_->messages,
             QStringList{QStringLiteral("Extracted Following Attachments..!\n") +
                         QDir::toNativeSeparators(files + QStringLiteral("a.bin")) + QLatin1Char('\n') +
                         QDir::toNativeSeparators(files + QStringLiteral("a (2).bin")) + QLatin1Char('\n') +
                         QDir::toNativeSeparators(files + QStringLiteral("report (2).pdf")) + QLatin1Char('\n')});

    // A new listing leaves the view as it was; saving still takes the
    // attachments of the message shown, not those of the last one listed.
    root_->write(QStringLiteral("Inbox/00000002.msg"),
                 mixed(QStringLiteral("Other"), attachmentPart("attachment; filename=\"other.bin\"", "other")));
    form_->listFolders_Click();
    prompter_->messages.clear();
    form_->mnuSaveAtt_Click();
    QCOMPARE(readTestFile(files + QStringLiteral("a (3).bin")), first);
    QVERIFY(!QFileInfo::exists(files + QStringLiteral("other.bin")));
    form_->ShowSourceMenu_Click();
    QVERIFY(form_->sourceDisplay->Text1->toPlainText().contains(QLatin1String("Subject: Files")));

    // Nothing listed: the command does nothing.
    root_->write(QStringLiteral("Inbox/00000002.msg"), plain(QStringLiteral("no files"), "x"));
    start();
    form_->listMessages->setCurrentRow(1);
    prompter_->messages.clear();
    form_->mnuSaveAtt_Click();
    QVERIFY(prompter_->messages.isEmpty());
  }

  void hostileNamesStayInFiles() {
    root_->write(QStringLiteral("Inbox/00000001.msg"),
                 mixed(QStringLiteral("Hostile"),
                       attachmentPart("attachment; filename=\"../../x\"", "one") +
                           attachmentPart("attachment; filename=\"/etc/passwd\"", "two") +
                           attachmentPart("attachment; filename=\"a\\\\b\"", "three") +
                           attachmentPart("attachment; filename=\"\"", "four") +
                           attachmentPart("attachment; filename=\"..\"", "five") +
                           // A sender's Windows path, its backslashes not escaped.
                           attachmentPart("attachment; filename=\"C:\\dir\\report.zip\"", "six")));
    start();
    form_->listMessages->setCurrentRow(0);
    const QStringList names = attachmentNames();
    QCOMPARE(names.mid(0, 3), (QStringList{QStringLiteral("x"), QStringLiteral("passwd"), QStringLiteral("b")}));
    QCOMPARE(names.value(5), QStringLiteral("report.zip"));
    // An empty name and ".." become plain names of their own.
    QCOMPARE(names.size(), 6);
    for (const QString& name : names.mid(3, 2))
      QVERIFY2(!name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".."), qPrintable(name));
    form_->mnuSaveAtt_Click();
    const QString files = mailStore().folderPath(QStringLiteral("Files"));
    const QStringList saved = QDir(files).entryList(QDir::Files, QDir::Name);
    QCOMPARE(saved.size(), 6);
    QCOMPARE(readTestFile(files + QStringLiteral("report.zip")), QByteArray("six"));
    QCOMPARE(readTestFile(files + QStringLiteral("x")), QByteArray("one"));
    QCOMPARE(readTestFile(files + QStringLiteral("passwd")), QByteArray("two"));
    QCOMPARE(readTestFile(files + QStringLiteral("b")), QByteArray("three"));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/etc/passwd")) || readTestFile(QStringLiteral("/etc/passwd")) != "two");
    QVERIFY(!QFileInfo::exists(root_->path(QStringLiteral("../x"))));
    QVERIFY(!QFileInfo::exists(root_->path(QStringLiteral("x"))));
  }

  void sourceWindow() {
    const QByteArray raw = plain(QStringLiteral("Source"), "Body\r\nof the source");
    root_->write(QStringLiteral("Inbox/00000001.msg"), raw);
    start();
    // Nothing selected: nothing to show.
    form_->ShowSourceMenu_Click();
    QVERIFY(!form_->sourceDisplay || !form_->sourceDisplay->isVisible());
    QCOMPARE(prompter_->messages.size(), 1);

    form_->listMessages->setCurrentRow(0);
    form_->ShowSourceMenu->trigger();
    SourceDisplay* window = form_->sourceDisplay;
    QVERIFY(window && window->isVisible());
    QString expected = QString::fromLatin1(raw);
    expected.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QCOMPARE(window->Text1->toPlainText().trimmed(), expected.trimmed());

    window->resize(500, 300);
    QCoreApplication::processEvents();
    QCOMPARE(window->Text1->geometry(), window->rect());

    // A second Source replaces the text in the same window.
    root_->write(QStringLiteral("Inbox/00000002.msg"), plain(QStringLiteral("Other"), "Second body"));
    form_->listFolders->setCurrentRow(form_->listFolders->currentRow());
    form_->listFolders_Click();
    form_->listMessages->setCurrentRow(1);
    form_->ShowSourceMenu_Click();
    QCOMPARE(form_->sourceDisplay.data(), window);
    QVERIFY(window->Text1->toPlainText().contains(QLatin1String("Second body")));
  }

  void longMessageCappedSourceWhole() {
    QByteArray body;
    const int lines = reading::kViewLimit.maxLines + 5000;
    for (int i = 1; i <= lines; ++i)
      body += "Report line " + QByteArray::number(i) + "\r\n";
    root_->write(QStringLiteral("Inbox/00000001.msg"), plain(QStringLiteral("Long"), body));
    start();
    form_->listMessages->setCurrentRow(0);
    const QTextDocument* view = form_->textBody->document();
    // The view stops at its limit and says how much it leaves out.
    QCOMPARE(view->blockCount(), reading::kViewLimit.maxLines + 2);  // the notice, then the view's last empty line
    const QString notice = view->findBlockByNumber(reading::kViewLimit.maxLines).text();
    QVERIFY2(notice.startsWith(QStringLiteral("... 5001 more lines")), qPrintable(notice));
    QVERIFY(notice.contains(QLatin1String("Show, Source shows the whole message")));
    QVERIFY(!form_->textBody->toPlainText().contains(QLatin1String("Report line 25000")));

    form_->ShowSourceMenu_Click();
    QVERIFY(form_->sourceDisplay && form_->sourceDisplay->isVisible());
    const QString source = form_->sourceDisplay->Text1->toPlainText();
    QVERIFY(source.contains(QLatin1String("Report line 1\n")));
    QVERIFY(source.contains(QStringLiteral("Report line %1\n").arg(lines)));
  }

  // A line with no place to break is laid out unwrapped, and the view,
  // copy, find, the part lookups, the source and a reply's quote all see it
  // exactly as it arrived.
  void unbreakableLineKeptExact_data() {
    QTest::addColumn<bool>("headers");
    QTest::addColumn<QByteArray>("line");
    const QByteArray letters(200 * 1024, 'a');
    QTest::newRow("header line of one letter") << true << "X-Long: " + letters + "Z";
    QTest::newRow("body line of one letter") << false << letters + "Z";
    QByteArray codes;
    for (int n = 0; n < 50 * 1024; ++n)
      codes += char(0xC0 + n % 23);  // the letters among the 8-bit codes
    QTest::newRow("body line of 8-bit font codes") << false << codes + "Z";
  }

  void unbreakableLineKeptExact() {
    QFETCH(bool, headers);
    QFETCH(QByteArray, line);
    const QByteArray words = QByteArray("ordinary words wrap ").repeated(300);
    QByteArray message = plain(QStringLiteral("Long"), words + "\r\n" + (headers ? "" : line) + "\r\nend\r\n");
    if (headers)
      message.prepend(line + "\r\n");
    root_->write(QStringLiteral("Inbox/00000001.msg"), message);
    start();
    if (headers)
      form_->ShowHeaders->trigger();
    form_->listMessages->setCurrentRow(0);
    const QString expected = QString::fromLatin1(line);
    QTextBlock block = form_->textBody->document()->firstBlock();
    while (block.isValid() && block.text().size() < expected.size() / 2)
      block = block.next();
    QVERIFY(block.isValid());
    QCOMPARE(block.text(), expected);
    QCOMPARE(form_->shown_view.line(block.blockNumber()), expected);
    QCOMPARE(form_->textBody->document()->blockCount(), form_->shown_view.lineCount() + 1);
    QVERIFY(block.blockFormat().nonBreakableLines());
    const QTextBlock wordLine = form_->textBody->document()->find(QStringLiteral("ordinary words")).block();
    QVERIFY(!wordLine.blockFormat().nonBreakableLines());

    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    form_->textBody->setTextCursor(cursor);
    editing::copySelection(form_->textBody);
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);

    editing::FindState& find = editing::findState();
    find = {};
    find.find_text = expected.right(2);
    find.find_direction = 1;
    form_->textBody->moveCursor(QTextCursor::Start);
    editing::find_next(form_->textBody);
    QCOMPARE(form_->textBody->textCursor().selectionStart(), block.position() + expected.size() - 2);
    QCOMPARE(form_->textBody->textCursor().selectedText(), find.find_text);

    form_->ShowSourceMenu_Click();
    QVERIFY(form_->sourceDisplay->Text1->toPlainText().contains(expected + QLatin1Char('\n')));
    form_->cmdReply_Click();
    QVERIFY(editing::bodyText(newMessage()->txtBody).contains(QLatin1Char('\n') + expected + QLatin1Char('\n')));
    QVERIFY(prompter_->messages.isEmpty());
  }

  void unreadableMessage() {
    root_->write(QStringLiteral("Inbox/00000001.msg"), plain(QStringLiteral("Fine"), "fine body"));
    root_->write(QStringLiteral("Inbox/00000002.msg"), plain(QStringLiteral("Gone"), "gone body"));
    start();
    form_->listMessages->setCurrentRow(0);
    QVERIFY(viewText().contains(QLatin1String("fine body")));
    QFile::remove(root_->path(QStringLiteral("Inbox/00000002.msg")));
    form_->listMessages->setCurrentRow(1);
    QVERIFY(viewText().contains(QLatin1String("cannot be shown")));
    QVERIFY(!viewText().contains(QLatin1String("fine body")));
    QVERIFY(form_->attachments->isHidden());
    // Headers and source do not bring back the previous message.
    form_->ShowHeaders->trigger();
    QVERIFY(!viewText().contains(QLatin1String("fine body")));

    // Damaged files list and show without a flood of error boxes.
    root_->write(QStringLiteral("Inbox/00000003.msg"), QByteArray());
    QByteArray junk;
    for (int i = 0; i < 5000; ++i)
      junk.append(char((i * 131 + 7) % 256));
    root_->write(QStringLiteral("Inbox/00000004.msg"), junk);
    form_->listFolders_Click();
    QCOMPARE(form_->listMessages->count(), 3);
    for (int row = 1; row < 3; ++row) {
      form_->listMessages->setCurrentRow(row);
      QVERIFY(!viewText().contains(QLatin1String("fine body")));
    }
    QVERIFY2(prompter_->messages.isEmpty(), qPrintable(prompter_->messages.join(QLatin1Char('|'))));
  }

  void doubleClickActsOnThePartOfTheLine() {
    // Lines in the layout the handler acts on, written by the sender inside
    // a text part: they name part 1 and "evil.txt", but the part acted on is
    // the one the line belongs to, under its own name.
    const QByteArray text = "Read me.\r\n"
                            "Part number:    1\r\n"
                            "Content: application/octet-stream  Double-click this line to Extract\r\n"
                            "File name: evil.txt and more\r\n"
                            "Content: text\\plain  Double-click this line to Extract\r\n";
    root_->write(QStringLiteral("Inbox/00000001.msg"),
                 header(QStringLiteral("P <p@example.lk>"), QStringLiteral("Parts"), "multipart/mixed; boundary=\"BOUND\"") +
                     "\r\n--BOUND\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + text +
                     attachmentPart("attachment; filename=\"data.bin\"", allBytes(5)) + "--BOUND--\r\n");
    start();
    form_->listMessages->setCurrentRow(0);
    const QString files = mailStore().folderPath(QStringLiteral("Files"));
    const QString target = files + QStringLiteral("part1.txt");
    for (bool headers : {false, true}) {
      if (headers)
        form_->ShowHeaders->trigger();  // the lines move down; the map follows
      prompter_->messages.clear();
      doubleClickLine(QStringLiteral("Content: application"));
      const QString saved = headers ? files + QStringLiteral("part1 (2).txt") : target;
      QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Extracted to ") + QDir::toNativeSeparators(saved)});
      QCOMPARE(readTestFile(saved), text.chopped(2));  // the last line end belongs to the boundary
    }
    QVERIFY(!QFileInfo::exists(files + QStringLiteral("evil.txt")));
    QVERIFY(!QFileInfo::exists(files + QStringLiteral("data.bin")));

    // A "text\plain" line opens its part in the view; the attachments listed
    // before still save from the message, not from inside the opened part.
    form_->ShowHeaders->trigger();
    prompter_->messages.clear();
    doubleClickLine(QStringLiteral("Content: text"));
    QVERIFY(prompter_->messages.isEmpty());
    QVERIFY(viewText().startsWith(QLatin1String("Read me.")));
    QCOMPARE(attachmentNames(), QStringList{QStringLiteral("data.bin")});
    form_->mnuSaveAtt_Click();
    QCOMPARE(readTestFile(files + QStringLiteral("data.bin")), allBytes(5));

    // Text put into the view by other means is never acted on, nor is the
    // first line of the view.
    prompter_->messages.clear();
    form_->textBody->setPlainText(QStringLiteral("Content: application/x  Double-click this line to Extract\n"
                                                 "Content: application/x  Double-click this line to Extract\n"
                                                 "File name: a.txt"));
    doubleClickLine(QStringLiteral("Content"));
    QTextCursor cursor = form_->textBody->textCursor();
    cursor.setPosition(form_->textBody->document()->findBlockByNumber(1).position());
    form_->textBody->setTextCursor(cursor);
    form_->textBody_DblClick();
    QVERIFY(prompter_->messages.isEmpty());
    QVERIFY(!QFileInfo::exists(files + QStringLiteral("a.txt")));
  }

 private:
  void start(const QString& folder = QStringLiteral("Inbox"));
  QString viewText() const { return form_->textBody->toPlainText(); }

  QStringList attachmentNames() const {
    QStringList names;
    for (int i = 0; i < form_->attachments->count(); ++i)
      names << form_->attachments->itemText(i);
    return names;
  }

  void doubleClickLine(const QString& start) {
    QTextBlock block = form_->textBody->document()->firstBlock();
    while (block.isValid() && !block.text().startsWith(start))
      block = block.next();
    QVERIFY2(block.isValid(), qPrintable(start));
    QTextCursor cursor = form_->textBody->textCursor();
    cursor.setPosition(block.position() + 3);
    form_->textBody->setTextCursor(cursor);
    form_->textBody_DblClick();
  }
};

void ReadingGuiTest::start(const QString& folder) {
  loadMainWindow();
  QVERIFY(selectFolder(folder));
}

QTEST_MAIN(ReadingGuiTest)
#include "tst_reading_view.moc"
