// Typing Sinhala and Tamil through the table into a real text box, the
// start-up fonts of the main window and its Language menu.
#include "language/fonts.h"
#include "language/keyinput.h"
#include "language/languagestate.h"
#include "settings/settingsstore.h"
#include "support/mainwindowtest.h"

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
  void cleanup() { closeMainWindow(); }

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
};

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
