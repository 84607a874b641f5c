// Typing Sinhala and Tamil through the table into a real text box, the
// start-up fonts of the main window and its Language menu, and the
// keyboard layout viewer: which picture it shows, its silence about
// missing pictures, the click message, printing and closing.
#include "language/fonts.h"
#include "language/frmkeybd.h"
#include "language/keyinput.h"
#include "language/languagestate.h"
#include "platform/paths.h"
#include "settings/settingsstore.h"
#include "support/mainwindowtest.h"
#include "support/scriptedprompter.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

class LanguageTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() {
    // main() registers the bundled fonts before the main window loads
    QVERIFY(registerBundledFonts().contains(QStringLiteral("Nelira98")));
  }

  void init() {
    openMainWindow();
    QVERIFY2(prompter_->messages.isEmpty(), qPrintable(prompter_->messages.join(QLatin1Char('\n'))));
  }
  void cleanup() {
    if (frmkeybd* open = frmkeybd::openViewer())
      delete open;
    closeMainWindow();
  }

  void startupSetsTheMainWindowFonts() {
    QCOMPARE(form_->textBody->font().family(), QStringLiteral("Nelira98"));
    QCOMPARE(form_->textBody->font().pointSize(), 12);
    QCOMPARE(form_->listMessages->font().family(), QStringLiteral("Nelira98"));
    QCOMPARE(form_->listMessages->font().pointSize(), 10);
    const LanguageState& s = language();
    QCOMPARE(s.current_language, 0);
    QCOMPARE(s.input_mode, 1);
    QCOMPARE(s.display_font_name, QStringLiteral("Nelira98"));
    QVERIFY(form_->mnuLangSinh[0]->isChecked());
    // the fonts really resolve to the bundled files
    QCOMPARE(QFontInfo(form_->textBody->font()).family(), QStringLiteral("Nelira98"));
  }

  void languageMenuSetsFontsAndKeepsHeights() {
    form_->resize(900, 640);
    QWidget* const widgets[3] = {form_->listMessages, form_->listFolders, form_->textBody};
    int heights[3];
    for (int i = 0; i < 3; ++i)
      heights[i] = widgets[i]->height();
    language().input_mode = 2;
    const struct {
      int index;
      const char* font;
      int size;
    } cases[] = {{1, "Velan_nm", 12}, {2, "Verdana", 10}, {0, "Nelira98", 12}, {2, "Verdana", 10}};
    for (const auto& c : cases) {
      form_->mnuLangSinh[size_t(c.index)]->trigger();
      QCOMPARE(language().current_language, c.index);
      for (int i = 0; i < 3; ++i) {
        QCOMPARE(widgets[i]->font().family(), QString::fromLatin1(c.font));
        QCOMPARE(widgets[i]->font().pointSize(), c.size);
        QCOMPARE(widgets[i]->height(), heights[i]);
        QCOMPARE(form_->mnuLangSinh[size_t(i)]->isChecked(), i == c.index);
      }
      QCOMPARE(language().input_mode, 2);  // the menu leaves the input mode alone
    }
  }

  void typingInEachMode() {
    QTextEdit edit;
    new TranslitInput(&edit);
    edit.show();
    const auto type = [&](int mode, const QString& keys) {
      language().input_mode = mode;
      edit.clear();
      QTest::keyClicks(&edit, keys);
      return edit.toPlainText();
    };
    // Wijesekara types each key's own code; the phonetic keys reach the same
    // glyphs by sound: "siVhl" and "isxy," both spell Sinhala.
    QCOMPARE(type(2, QStringLiteral("isxy,")), QStringLiteral("isxy,"));
    QCOMPARE(type(1, QStringLiteral("siVhl")), QStringLiteral("isxy,"));
    QCOMPARE(type(1, QStringLiteral("lVkAv")), QStringLiteral(",xldj"));
    QCOMPARE(type(1, QStringLiteral("egdr")), QStringLiteral("f.or"));
    // phonetic punctuation lands on the codes that draw . and ,
    QCOMPARE(type(1, QStringLiteral("k.,")), QStringLiteral("l'\""));
    QCOMPARE(type(3, QStringLiteral("vNkxkmx")), QStringLiteral("vNkxkmx"));
    QCOMPARE(type(0, QStringLiteral("Hello, world!")), QStringLiteral("Hello, world!"));
    // space, Enter and Backspace pass in every mode
    QCOMPARE(type(1, QStringLiteral("k k")), QStringLiteral("l l"));
    language().input_mode = 1;
    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("kk"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.toPlainText(), QStringLiteral("l\n"));
  }

  void shortcutsAreNotTranslated() {
    QTextEdit edit;
    new TranslitInput(&edit);
    edit.show();
    language().input_mode = 1;
    QTest::keyClicks(&edit, QStringLiteral("kkk"));
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);  // select all, not "a"
    QTest::keyClicks(&edit, QStringLiteral("t"));
    QCOMPARE(edit.toPlainText(), QStringLiteral(";"));
  }

  void opensOnSinhalaAtFullSize() {
    frmkeybd* viewer = frmkeybd::showViewer();
    QVERIFY(viewer->isVisible());
    QVERIFY(!viewer->isModal());
    QVERIFY(viewer->picturePath().endsWith(QStringLiteral("/Nelisin.gif")));
    QVERIFY(!viewer->keybd->pixmap().isNull());
    // the picture is shown at 100 %, neither squeezed nor cut, and readable so
    QCOMPARE(viewer->keybd->contentsRect().size(), viewer->keybd->pixmap().size());
    QVERIFY(viewer->keybd->pixmap().width() >= 800 && viewer->keybd->pixmap().width() <= 1400);
    QVERIFY(prompter_->messages.isEmpty());
  }

  void tamilThenReopenStartsOnSinhala() {
    frmkeybd* viewer = frmkeybd::showViewer();
    QTest::mouseClick(viewer->Tamil_k, Qt::LeftButton);
    QVERIFY(viewer->picturePath().endsWith(QStringLiteral("/Velan.gif")));
    QVERIFY(viewer->keybd->pixmap().width() >= 800 && viewer->keybd->pixmap().width() <= 1400);
    QPointer<frmkeybd> closed = viewer;
    QTest::mouseClick(viewer->Command1, Qt::LeftButton);
    QTRY_VERIFY(closed.isNull());  // closing discards the window
    frmkeybd* again = frmkeybd::showViewer();
    QVERIFY(again->picturePath().endsWith(QStringLiteral("/Nelisin.gif")));
  }

  void openViewerIsReusedAsItIs() {
    frmkeybd* viewer = frmkeybd::showViewer();
    viewer->Tamil_k_Click();
    QCOMPARE(frmkeybd::showViewer(), viewer);
    QVERIFY(viewer->picturePath().endsWith(QStringLiteral("/Velan.gif")));
  }

  void missingPictureIsSilent() {
    QTemporaryDir folder;
    QVERIFY(QFile::copy(platform::joinPath(platform::programFolder(), QStringLiteral("Nelisin.gif")),
                        folder.filePath(QStringLiteral("Nelisin.gif"))));
    QFile broken(folder.filePath(QStringLiteral("Velan.gif")));
    frmkeybd* viewer = frmkeybd::showViewer();
    viewer->setPictureFolder(folder.path());
    viewer->sinhala_k_Click();
    const qint64 shown = viewer->keybd->pixmap().cacheKey();
    QTest::mouseClick(viewer->Tamil_k, Qt::LeftButton);  // Velan.gif absent
    QVERIFY(viewer->picturePath().endsWith(QStringLiteral("/Nelisin.gif")));
    QCOMPARE(viewer->keybd->pixmap().cacheKey(), shown);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("GIF89a not really a picture");
    broken.close();
    QTest::mouseClick(viewer->Tamil_k, Qt::LeftButton);  // Velan.gif unreadable
    QCOMPARE(viewer->keybd->pixmap().cacheKey(), shown);
    QVERIFY(prompter_->messages.isEmpty());
  }

  void clickOnThePictureShowsTheMessage() {
    frmkeybd* viewer = frmkeybd::showViewer();
    QTest::mouseClick(viewer->keybd, Qt::LeftButton);
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Please view the keyboards from the keybd.htm file")});
    QCOMPARE(prompter_->titles, QStringList{QString()});
  }

  void printsTheWindowImage() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("layout.pdf"));
    frmkeybd* viewer = frmkeybd::showViewer();
    viewer->setPrinterFactory([pdf] {
      auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(pdf);
      return printer;
    });
    QTest::mouseClick(viewer->xprint, Qt::LeftButton);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY2(bytes.size() > 20000, "the page carries the window's image");
    QVERIFY(prompter_->messages.isEmpty());

    // no printer at all: a clear message instead of silence
    viewer->setPrinterFactory([] { return std::unique_ptr<QPrinter>(); });
    viewer->xprint_Click();
    QCOMPARE(prompter_->messages.size(), 1);
  }
};

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
