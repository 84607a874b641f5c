// Each text in the font of its own script, through the real main window:
// the list's columns and the message view at start-up defaults and with
// Automatic font turned off; windows-1252 punctuation read right; and the
// reply quoting each text in its own font with the bytes it always had.
#include "compose/newmessage.h"
#include "language/fonts.h"
#include "language/fontunicode.h"
#include "language/languagestate.h"
#include "reading/messagelistdelegate.h"
#include "support/files.h"
#include "support/mainwindowtest.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const QString kNotoSinhala = QStringLiteral("Noto Sans Sinhala");
const QString kDate = QStringLiteral("Sun, 6 Dec 2026 10:00:00 +0000");

const QString kSinhalaSubject = QStringLiteral("හෙට ගෙදර එනවා");
const QString kSinhalaLetter =
    QStringLiteral("මම හෙට ගෙදර එනවා. අම්මා සහ තාත්තා හොඳින් ඉන්නවා.\nඔබට කොහොමද? ඉක්මනින් ලියන්න.");
const QString kTamilSubject = QStringLiteral("நாளை வருகிறேன்");
const QString kTamilLetter =
    QStringLiteral("நான் நாளை வீட்டுக்கு வருகிறேன். அம்மா நலமாக இருக்கிறார்.\nநீங்கள் எப்படி இருக்கிறீர்கள்?");
const QString kEnglishLetter =
    QStringLiteral("Dear Kamala,\nThe meeting is on Friday at ten. Please bring the report with you.\nNimal");

QString codes(const QString& unicode, FontScript script) { return unicodeToFontCodes(unicode, script); }

// An encoded word of the bytes, as mailers write a subject beyond ASCII.
QByteArray encodedWord(const QByteArray& bytes, const QByteArray& charset) {
  return "=?" + charset + "?B?" + bytes.toBase64() + "?=";
}

QByteArray letter(const QByteArray& subject, const QByteArray& contentType, const QByteArray& body) {
  return testMessage("Nimal Perera <nimal@example.lk>", subject, contentType,
                     QByteArray(body).replace("\n", "\r\n") + "\r\n", "Content-Transfer-Encoding: 8bit\r\n");
}

// The font a position of the view is drawn in: its own, or the document's.
QString familyAt(const QTextDocument* document, int position) {
  QTextCursor cursor(const_cast<QTextDocument*>(document));
  cursor.setPosition(position + 1);
  const QStringList own = cursor.charFormat().fontFamilies().toStringList();
  return own.isEmpty() ? document->defaultFont().families().value(0) : own.value(0);
}

}  // namespace

class AutoFontTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { QVERIFY(registerBundledFonts().contains(kTamilFont)); }
  void init() { openMainWindow(); }
  void cleanup() { closeMainWindow(); }

  void eachTextInItsScriptsFont_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("body");     // as the view shows it
    QTest::addColumn<QString>("subject");  // font of the subject column and the view
    QTest::addColumn<QString>("off");      // of list and view, Automatic font off
    const QString sinhala = codes(kSinhalaLetter, FontScript::Sinhala);
    const QString tamil = codes(kTamilLetter, FontScript::Tamil);
    QTest::newRow("english") << letter("Meeting on Friday", "text/plain; charset=us-ascii", kEnglishLetter.toLatin1())
                             << kEnglishLetter << kEnglishFont << kSinhalaFont;
    // The font codes arrive under the labels mailers give them, which say
    // nothing of the font; their bytes stay as they are.
    QTest::newRow("sinhala font codes")
        << letter(encodedWord(codes(kSinhalaSubject, FontScript::Sinhala).toLatin1(), "windows-1252"),
                  "text/plain; charset=windows-1252", sinhala.toLatin1())
        << sinhala << kSinhalaFont << kSinhalaFont;
    QTest::newRow("tamil font codes")
        << letter(encodedWord(codes(kTamilSubject, FontScript::Tamil).toLatin1(), "iso-8859-1"), "text/plain",
                  tamil.toLatin1())
        << tamil << kTamilFont << kSinhalaFont;
    QTest::newRow("utf-8 sinhala") << letter(encodedWord(kSinhalaSubject.toUtf8(), "utf-8"),
                                             "text/plain; charset=utf-8", kSinhalaLetter.toUtf8())
                                   << kSinhalaLetter << kNotoSinhala << kNotoSinhala;
  }

  void eachTextInItsScriptsFont() {
    QFETCH(QByteArray, file);
    QFETCH(QString, body);
    QFETCH(QString, subject);
    QFETCH(QString, off);
    root_->write(QStringLiteral("Inbox/00000001.msg"), file);
    QVERIFY(form_->mnuAutoFont->isChecked());  // on at start-up
    showMessage();
    QCOMPARE(form_->textBody->toPlainText(), body + QLatin1Char('\n'));
    QCOMPARE(listFonts(), QStringList({kEnglishFont, subject, kEnglishFont}));
    QCOMPARE(familyAt(form_->textBody->document(), 1), subject);
    QCOMPARE(form_->listFolders->currentItem()->font().families().value(0), kEnglishFont);

    // Off: the font of the language chosen, as the Language menu sets it.
    form_->mnuAutoFont->trigger();
    QCOMPARE(listFonts(), QStringList({off, off, off}));
    QCOMPARE(familyAt(form_->textBody->document(), 1), off);
    QCOMPARE(form_->textBody->toPlainText(), body + QLatin1Char('\n'));
    form_->mnuLangSinh[1]->trigger();
    if (off == kSinhalaFont)
      QCOMPARE(familyAt(form_->textBody->document(), 1), kTamilFont);
  }

  void theChoiceIsRemembered() {
    form_->mnuAutoFont->trigger();
    form_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    loadMainWindow();
    QVERIFY(!form_->mnuAutoFont->isChecked());
    QVERIFY(!form_->mnuLangSinh[2]->isChecked());  // and the language is still the specified one
  }

  // Outlook's punctuation in the subject and the body.
  void windows1252Punctuation_data() {
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("decoded");
    QTest::newRow("automatic font") << true << 0 << true;
    QTest::newRow("english, automatic font off") << false << 2 << true;
    // In an 8-bit display font every byte is a font code and stays.
    QTest::newRow("sinhala, automatic font off") << false << 0 << false;
  }

  void windows1252Punctuation() {
    QFETCH(bool, automatic);
    QFETCH(int, language);
    QFETCH(bool, decoded);
    root_->write(QStringLiteral("Inbox/00000001.msg"),
                 letter("=?windows-1252?Q?=93quoted=94_price?=", "text/plain; charset=windows-1252",
                        "He said \x93yes\x94 \x96 it costs \x80" "5."));
    if (!automatic)
      form_->mnuAutoFont->trigger();
    form_->mnuLangSinh[size_t(language)]->trigger();
    showMessage();
    const QString subject = decoded ? QStringLiteral("“quoted” price") : QStringLiteral("\u0093quoted\u0094 price");
    const QString body = decoded ? QStringLiteral("He said “yes” – it costs €5.")
                                 : QStringLiteral("He said \u0093yes\u0094 \u0096 it costs \u00805.");
    QVERIFY2(form_->listMessages->item(0)->text().contains(subject), qPrintable(form_->listMessages->item(0)->text()));
    QCOMPARE(form_->textBody->toPlainText(), body + QLatin1Char('\n'));
  }

  // The quote keeps the characters of today's reply; each text in its font.
  void replyQuotesEachTextInItsFont_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("font");
    const QString tamilSubject = codes(kTamilSubject, FontScript::Tamil);
    const QString tamil = codes(kTamilLetter, FontScript::Tamil);
    QTest::newRow("tamil font codes") << letter(encodedWord(tamilSubject.toLatin1(), "iso-8859-1"),
                                                "text/plain; charset=iso-8859-1", tamil.toLatin1())
                                      << tamilSubject << tamil << kTamilFont;
    QTest::newRow("english") << letter("Meeting on Friday", "text/plain", kEnglishLetter.toLatin1())
                             << QStringLiteral("Meeting on Friday") << kEnglishLetter << kEnglishFont;
  }

  void replyQuotesEachTextInItsFont() {
    QFETCH(QByteArray, file);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QString, font);
    root_->write(QStringLiteral("Inbox/00000001.msg"), file);
    showMessage();
    QTest::mouseClick(form_->cmdReply, Qt::LeftButton);
    NewMessage* w = newMessage();
    const QString quote = QStringLiteral(" \n \n \n---------------------------\nFrom   : Nimal Perera <nimal@example.lk>\n"
                                         "Date   : %1\nTo     : me@example.org\nCC     : \nSubject: %2\n%3\n\n")
                              .arg(kDate, subject, body);
    QCOMPARE(w->bodyText(), quote);
    QCOMPARE(w->txtSubject->text(), subject);
    QCOMPARE(readTestFile(root_->path(QStringLiteral("reply.tmp"))), quote.toLatin1().replace("\n", "\r\n"));
    const QTextDocument* document = w->txtBody->document();
    QCOMPARE(familyAt(document, int(quote.indexOf(QLatin1String("Subject")))), kEnglishFont);
    QCOMPARE(familyAt(document, int(quote.indexOf(subject))), font);
    QCOMPARE(familyAt(document, int(quote.indexOf(body)) + 1), font);
  }

 private:
  void showMessage() {
    form_->listFolders->setCurrentRow(-1);
    selectFolder(QStringLiteral("Inbox"));
    form_->listMessages->setCurrentRow(0);
  }

  // The fonts the first entry's sender, subject and date are drawn in.
  QStringList listFonts() const {
    auto* delegate = qobject_cast<reading::TabStopDelegate*>(form_->listMessages->itemDelegate());
    QStyleOptionViewItem option;
    option.initFrom(form_->listMessages);
    option.widget = form_->listMessages;
    option.font = form_->listMessages->font();
    const QModelIndex index = form_->listMessages->model()->index(0, 0);
    QStringList families;
    for (int column = 0; column < 3; ++column)
      families << delegate->cellFont(option, index, column).families().value(0);
    return families;
  }
};

QTEST_MAIN(AutoFontTest)
#include "tst_autofont.moc"
