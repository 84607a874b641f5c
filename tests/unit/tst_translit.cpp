// The key table: reading neltex.csv, turning keys into font codes in each
// input mode, the function keys and the language switches.
#include "language/languagestate.h"
#include "support/scriptedprompter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TranslitTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    language() = LanguageState();
  }

  void recordsFillTheirRowAndMirrorTheKey() {
    ScriptedPrompter prompter;
    QVERIFY(load_translit_table(writeTable("97,108,119,107\r\n98,0,3,255\r\n")));
    QVERIFY(prompter.messages.isEmpty());
    const TranslitTable& t = language().translit_table;
    QCOMPARE(t[97][0], std::optional<qint64>(97));
    QCOMPARE(t[97][1], std::optional<qint64>(108));
    QCOMPARE(t[97][2], std::optional<qint64>(119));
    QCOMPARE(t[97][3], std::optional<qint64>(107));
    QCOMPARE(t[98][3], std::optional<qint64>(255));
    QVERIFY(!t[99][0].has_value());
    QVERIFY(!t[99][1].has_value());
  }

  void quotesBlanksFractionsAndReplacedRecords() {
    ScriptedPrompter prompter;
    // quoted fields, blanks before fields, records split over lines, negative
    // fractions dropped toward minus infinity, a later record replacing one.
    const QByteArray text =
        "\xEF\xBB\xBF  \"65\", \"66\" ,  67.9 , 68.2\n"
        "70,1.5,-0.5,\n2\n"
        "65,10,20,30";
    QVERIFY(load_translit_table(writeTable(text)));
    QVERIFY(prompter.messages.isEmpty());
    const TranslitTable& t = language().translit_table;
    QCOMPARE(t[65][1], std::optional<qint64>(10));
    QCOMPARE(t[65][3], std::optional<qint64>(30));
    QCOMPARE(t[70][1], std::optional<qint64>(1));
    QCOMPARE(t[70][2], std::optional<qint64>(-1));
    QCOMPARE(t[70][3], std::optional<qint64>(2));
  }

  void badRecordStopsButKeepsEarlierRows_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("key 32") << QByteArray("97,1,2,3\n32,1,2,3\n98,1,2,3\n");
    QTest::newRow("key 256") << QByteArray("97,1,2,3\n256,1,2,3\n98,1,2,3\n");
    QTest::newRow("not a number") << QByteArray("97,1,2,3\n99,x,2,3\n98,1,2,3\n");
    QTest::newRow("short last record") << QByteArray("97,1,2,3\n98,1,2\n");
    QTest::newRow("empty field") << QByteArray("97,1,2,3\n98,,2,3\n");
    QTest::newRow("binary junk") << QByteArray("97,1,2,3\n\x01\xff\xfe,\x80\n");
  }

  void badRecordStopsButKeepsEarlierRows() {
    QFETCH(QByteArray, text);
    ScriptedPrompter prompter;
    const QString path = writeTable(text);
    QVERIFY(!load_translit_table(path));
    QCOMPARE(prompter.messages, QStringList{QStringLiteral("Missing ") + path});
    QCOMPARE(language().translit_table[97][2], std::optional<qint64>(2));
    QVERIFY(!language().translit_table[98][0].has_value());
  }

  void missingTableStillTypesEnglish() {
    ScriptedPrompter prompter;
    const QString path = dir_.filePath(QStringLiteral("absent.csv"));
    QVERIFY(!load_translit_table(path));
    QCOMPARE(prompter.messages, QStringList{QStringLiteral("Missing ") + path});
    language().input_mode = ModeEnglish;
    QCOMPARE(translate_key('a'), int('a'));
    QCOMPARE(translate_key(233), 233);
    // Sinhala and Tamil have nothing to type with.
    language().input_mode = ModeSinhalaPhonetic;
    QCOMPARE(translate_key('a'), 0);
    language().input_mode = ModeTamilPhonetic;
    QCOMPARE(translate_key('a'), 0);
  }

  void translationPerModeAndSwallowedKeys() {
    ScriptedPrompter prompter;
    QVERIFY(load_translit_table(writeTable("97,108,119,107\n98,0,300,-4\n")));
    LanguageState& s = language();
    const int expected[4] = {97, 108, 119, 107};
    for (int mode = 0; mode < 4; ++mode) {
      s.input_mode = mode;
      QCOMPARE(translate_key('a'), expected[mode]);
      QCOMPARE(translate_key('c'), 0);            // no record: swallowed, English too
      QCOMPARE(translate_key(' '), int(' '));     // below 33 passes
      QCOMPARE(translate_key('\r'), int('\r'));
      QCOMPARE(translate_key(0x0D9A), 0x0D9A);    // above 255 passes
    }
    s.input_mode = 1;
    QCOMPARE(translate_key('b'), 0);  // 0 cancels
    s.input_mode = 2;
    QCOMPARE(translate_key('b'), 0);  // outside the code page: nothing
    s.input_mode = 3;
    QCOMPARE(translate_key('b'), 0);
    s.input_mode = 0;
    QCOMPARE(translate_key('b'), int('b'));
  }

  void functionKeyIndexes_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("index");
    QTest::newRow("F3 is no function key") << int(Qt::Key_F3) << 0 << -1;
    QTest::newRow("F13") << int(Qt::Key_F13) << 0 << -1;
    QTest::newRow("letter") << int(Qt::Key_A) << 0 << -1;
    QTest::newRow("F4") << int(Qt::Key_F4) << 0 << 0;
    QTest::newRow("F10") << int(Qt::Key_F10) << 0 << 6;
    QTest::newRow("F12") << int(Qt::Key_F12) << 0 << 8;
    QTest::newRow("Shift+F4 types F10") << int(Qt::Key_F4) << int(Qt::ShiftModifier) << 6;
    QTest::newRow("Shift+F8") << int(Qt::Key_F8) << int(Qt::ShiftModifier) << 10;
    QTest::newRow("Shift+F9 beyond") << int(Qt::Key_F9) << int(Qt::ShiftModifier) << 11;
    QTest::newRow("Ctrl+F4") << int(Qt::Key_F4) << int(Qt::ControlModifier) << 0;
    QTest::newRow("Shift+Ctrl+F7") << int(Qt::Key_F7) << int(Qt::ShiftModifier | Qt::ControlModifier) << 3;
    QTest::newRow("Shift+Alt+F5") << int(Qt::Key_F5) << int(Qt::ShiftModifier | Qt::AltModifier) << 1;
    QTest::newRow("keypad Shift+F5") << int(Qt::Key_F5) << int(Qt::ShiftModifier | Qt::KeypadModifier) << 7;
  }

  void functionKeyIndexes() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, index);
    QCOMPARE(function_key_index(key, Qt::KeyboardModifiers(modifiers)), index);
  }

  void keySequencesPerLanguage() {
    set_key_sequences(Sinhala);
    const LanguageState& s = language();
    QCOMPARE(key_sequence(0), QString(QChar(202)));
    QCOMPARE(key_sequence(3), QString(QChar(212)));
    QCOMPARE(key_sequence(6), QString(QChar(203)));
    QCOMPARE(s.key_captions[3], QString(QChar(184)) + QChar(212));
    QCOMPARE(s.key_captions[10], QString(QChar(154)) + QChar(215));
    QCOMPARE(s.key_font_name, QStringLiteral("Nelira98"));
    for (int empty : {7, 8, 11, 14, -1})
      QVERIFY2(key_sequence(empty).isEmpty(), qPrintable(QString::number(empty)));

    set_key_sequences(Tamil);
    QCOMPARE(key_sequence(1), QString(QChar(210)));
    QCOMPARE(key_sequence(6), QString(QChar(202)));
    QCOMPARE(key_sequence(9), QString(QChar(213)));
    QCOMPARE(s.key_captions[6], QString(QChar(235)) + QChar(202));
    QCOMPARE(s.key_captions[5], QString(QChar(244)) + QChar(220));
    QCOMPARE(s.key_captions[9], QString(QChar(249)) + QChar(213));
    QCOMPARE(s.key_font_name, QStringLiteral("Velan_nm"));

    // English and unknown values leave the last setting.
    set_key_sequences(English);
    set_key_sequences(7);
    QCOMPARE(key_sequence(6), QString(QChar(202)));
    QCOMPARE(s.key_font_name, QStringLiteral("Velan_nm"));
  }

  void languageSwitchesAndEnglishKeepsFont() {
    LanguageState& s = language();
    struct Step {
      int choice, language, mode;
      const char* font;
    };
    const Step steps[] = {
        {Tamil, 1, 3, "Velan_nm"},  {English, 2, 0, "Velan_nm"}, {Sinhala, 0, 1, "Nelira98"},
        {English, 2, 0, "Nelira98"}, {English, 2, 0, "Nelira98"}, {Tamil, 1, 3, "Velan_nm"},
    };
    for (const Step& step : steps) {
      set_language(step.choice);
      QCOMPARE(s.current_language, step.language);
      QCOMPARE(s.input_mode, step.mode);
      QCOMPARE(s.display_font_name, QString::fromLatin1(step.font));
      QCOMPARE(s.display_font_size, 14);
    }
    // After English the sequences are those of the language before it.
    set_language(Sinhala);
    set_language(English);
    QCOMPARE(key_sequence(6), QString(QChar(203)));
    QCOMPARE(s.key_font_name, QStringLiteral("Nelira98"));
    // English from English with a font set by hand keeps that font.
    s.display_font_name = QStringLiteral("Verdana");
    set_language(English);
    QCOMPARE(s.display_font_name, QStringLiteral("Verdana"));
  }

  void inputModeOnlyChangesInSinhala() {
    LanguageState& s = language();
    set_language(Tamil);
    set_input_mode(2);
    QCOMPARE(s.input_mode, 3);
    // The Wijesekara button: Sinhala first, then its mode, whatever came before.
    set_language(Sinhala);
    set_input_mode(2);
    QCOMPARE(s.current_language, 0);
    QCOMPARE(s.input_mode, 2);
  }

  void shippedTableReadsCleanly() {
    ScriptedPrompter prompter;
    init_language_support();
    QVERIFY2(prompter.messages.isEmpty(), qPrintable(prompter.messages.join(QLatin1Char('\n'))));
    // English types every printable key as it is.
    for (int code = 33; code <= 126; ++code)
      QCOMPARE(language().translit_table[size_t(code)][0], std::optional<qint64>(code));
  }

 private:
  QString writeTable(const QByteArray& text) {
    const QString path = dir_.filePath(QStringLiteral("neltex%1.csv").arg(++files_));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return path;
  }

  QTemporaryDir dir_;
  int files_ = 0;
};

QTEST_GUILESS_MAIN(TranslitTest)
#include "tst_translit.moc"
