// The key table and the shipped fonts: reading neltex.csv, turning keys
// into font codes in each input mode, the function keys and the language
// switches; both families load, every code the table types has a glyph,
// every letter of the scripts is listed and typed; font-code text <->
// Unicode: real words, the font's visual order, what passes through, how
// the result looks next to the Noto fonts; and the command line: the
// program's own options among Qt's, the conversions and the script
// detection it runs.
#include "language/fonts.h"
#include "language/fontunicode.h"
#include "language/languagestate.h"
#include "platform/paths.h"
#include "shell/commandline.h"
#include "support/files.h"
#include "support/scriptedprompter.h"

#include <QFile>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <set>

Q_DECLARE_METATYPE(FontScript)

namespace {

const QString kSource = QStringLiteral(TOVEL_SOURCE_DIR);

QString codes(std::initializer_list<int> list) {
  QString s;
  for (int c : list)
    s.append(QChar(c));
  return s;
}

QString spell(const QString& text) {
  QStringList parts;
  for (const QChar c : text)
    parts << (c.unicode() < 256 ? QString::number(c.unicode()) : QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')));
  return parts.join(QLatin1Char(' '));
}

QStringList readWords(const QString& file) { return readWordList(file); }

struct Letter {
  FontScript script;
  QString text;
  QString codes;
  QList<int> modes;
};

QList<Letter> readLetters() {
  QList<Letter> letters;
  QFile file(kSource + QStringLiteral("/tools/letters.tsv"));
  if (!file.open(QIODevice::ReadOnly))
    return letters;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const QList<QByteArray> f = line.split('\t');
    if (line.startsWith('#') || f.size() != 4)
      continue;
    Letter l{f[0] == "Velan_nm" ? FontScript::Tamil : FontScript::Sinhala, QString::fromUtf8(f[1]), {}, {}};
    for (const QByteArray& c : f[2].split(' '))
      l.codes.append(QChar(c.toInt()));
    for (const QByteArray& m : f[3].split(' '))
      l.modes.append(m.toInt());
    letters.append(l);
  }
  return letters;
}

// The codes an input mode types: every printable key and the function keys
// of its language, through the shipped table.
std::set<int> typeable(int mode) {
  const LanguageState saved = language();
  language().input_mode = mode;
  std::set<int> typed;
  const auto add = [&](int key) {
    if (const int code = translate_key(key); code > 0)
      typed.insert(code);
  };
  for (int key = 33; key <= 126; ++key)
    add(key);
  set_key_sequences(mode == ModeTamilPhonetic ? Tamil : Sinhala);
  for (int i = 0; i <= 10; ++i)
    for (const QChar ch : key_sequence(i))
      add(ch.unicode());
  language() = saved;
  return typed;
}

bool hasGlyph(const QRawFont& font, int code) {
  const QList<quint32> glyphs = font.glyphIndexesForString(QString(QChar(code)));
  return glyphs.size() == 1 && glyphs[0] != 0 && !font.pathForGlyph(glyphs[0]).isEmpty();
}

bool isSign(QChar c) { return c.category() == QChar::Mark_NonSpacing || c.category() == QChar::Mark_SpacingCombining; }
bool isConsonant(QChar c) { return (c >= QChar(0x0D9A) && c <= QChar(0x0DC6)) || (c >= QChar(0x0B95) && c <= QChar(0x0BB9)); }

// ----------------------------------------------------------- drawing

QString familyOf(const QString& file) {
  static QHash<QString, QString> families;
  if (!families.contains(file)) {
    const int id = QFontDatabase::addApplicationFont(file);
    families[file] = id < 0 ? QString() : QFontDatabase::applicationFontFamilies(id).value(0);
  }
  return families[file];
}

QString notoFamily(FontScript script) {
  return familyOf(QStringLiteral("/usr/share/fonts/truetype/noto/NotoSans%1-Regular.ttf").arg(fontScriptName(script)));
}

QString fontFile(int lang) { return platform::joinPath(platform::fontsFolder(), lang == Tamil ? kTamilFontFile : kSinhalaFontFile); }

QString ourFamily(FontScript script) { return familyOf(fontFile(script == FontScript::Sinhala ? Sinhala : Tamil)); }

// The outlines of text shaped in one font, on its baseline at x = 0.
QPainterPath shaped(const QString& text, const QString& family, int pixels) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setStyleStrategy(QFont::NoFontMerging);
  QTextLayout layout(text, font);
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  QPainterPath path;
  for (const QGlyphRun& run : layout.glyphRuns()) {
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> at = run.positions();
    for (qsizetype i = 0; i < glyphs.size(); ++i)
      path.addPath(run.rawFont().pathForGlyph(glyphs[i]).translated(at[i] - QPointF(0, line.ascent())));
  }
  return path;
}

// 1 when the two drawings cover the same pixels, 0 when they share none.
double likeness(const QPainterPath& a, const QPainterPath& b) {
  const QRectF box = a.boundingRect().united(b.boundingRect()).adjusted(-2, -2, 2, 2);
  QImage one(box.size().toSize(), QImage::Format_Grayscale8), two(one.size(), QImage::Format_Grayscale8);
  for (auto [image, path] : {std::pair{&one, &a}, std::pair{&two, &b}}) {
    image->fill(0);
    QPainter p(image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(-box.topLeft());
    p.fillPath(*path, Qt::white);
  }
  double diff = 0, ink = 0;
  for (int y = 0; y < one.height(); ++y) {
    const uchar* p = one.constScanLine(y);
    const uchar* q = two.constScanLine(y);
    for (int x = 0; x < one.width(); ++x) {
      diff += qAbs(p[x] - q[x]);
      ink += qMax(p[x], q[x]);
    }
  }
  return ink > 0 ? 1 - diff / ink : 1;
}

// The program run on the command line: exit status (-1 if it did not end
// normally), standard output and standard error.
struct Run {
  int status = -1;
  QByteArray out;
  QString err;
};

Run runProgram(const QStringList& args, const QByteArray& input) {
  QProcess process;
  process.start(QStringLiteral(TOVEL_BIN_DIR "/tovelmail"), args);
  process.waitForStarted();
  process.write(input);
  process.closeWriteChannel();
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
    return {};
  return {process.exitCode(), process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class FontUnicodeTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() {
    ScriptedPrompter prompter;
    init_language_support();
    QVERIFY2(prompter.messages.isEmpty(), "the shipped key table reads");
    for (int mode = 0; mode < 4; ++mode)
      typed_[mode] = typeable(mode);
  }

  void familiesLoad() {
    const QStringList families = registerBundledFonts();
    QVERIFY2(families.contains(QStringLiteral("Nelira98")), qPrintable(families.join(QLatin1Char(','))));
    QVERIFY(families.contains(QStringLiteral("Velan_nm")));
    QVERIFY(QFontDatabase::families().contains(QStringLiteral("Nelira98")));
    QVERIFY(QFontDatabase::families().contains(QStringLiteral("Velan_nm")));
    // The file names the Attach menu sends are the files that hold the families.
    QCOMPARE(QRawFont(fontFile(Sinhala), 12).familyName(), QStringLiteral("Nelira98"));
    QCOMPARE(QRawFont(fontFile(Tamil), 12).familyName(), QStringLiteral("Velan_nm"));
  }

  void everyTypeableCodeHasAGlyph() {
    // English keeps the font of the language before it, so the English column
    // must draw in both fonts as well.
    const struct {
      int language;
      QList<int> modes;
    } fonts[] = {{Sinhala, {0, 1, 2}}, {Tamil, {0, 3}}};
    for (const auto& f : fonts) {
      const QRawFont raw(fontFile(f.language), 48);
      QVERIFY(raw.isValid());
      for (int mode : f.modes)
        for (int code : typed_[mode])
          QVERIFY2(hasGlyph(raw, code), qPrintable(QStringLiteral("language %1: code %2 (mode %3) has no glyph")
                                                       .arg(f.language).arg(code).arg(mode)));
      set_key_sequences(f.language);  // the carriers of the button captions
      for (const QString& caption : language().key_captions)
        for (const QChar ch : caption)
          QVERIFY2(hasGlyph(raw, ch.unicode()), qPrintable(QString::number(ch.unicode())));
      QVERIFY2(!hasGlyph(raw, 173), "the soft hyphen stays unused");
    }
  }

  void everyLetterOfTheScriptsIsListed() {
    QSet<QChar> listed;
    for (const Letter& l : readLetters())
      for (const QChar ch : l.text)
        listed.insert(ch);
    const QList<QPair<int, int>> ranges = {{0x0D82, 0x0D83}, {0x0D85, 0x0D96}, {0x0D9A, 0x0DB1},
                                           {0x0DB3, 0x0DBB}, {0x0DBD, 0x0DBD}, {0x0DC0, 0x0DC6},
                                           {0x0DCA, 0x0DCA}, {0x0DCF, 0x0DD4}, {0x0DD6, 0x0DD6},
                                           {0x0DD8, 0x0DDF}, {0x0DF2, 0x0DF3},
                                           {0x0B83, 0x0B83}, {0x0B85, 0x0B8A}, {0x0B8E, 0x0B90},
                                           {0x0B92, 0x0B95}, {0x0B99, 0x0B9A}, {0x0B9C, 0x0B9C},
                                           {0x0B9E, 0x0B9F}, {0x0BA3, 0x0BA4}, {0x0BA8, 0x0BAA},
                                           {0x0BAE, 0x0BB5}, {0x0BB7, 0x0BB9}, {0x0BBE, 0x0BC2},
                                           {0x0BC6, 0x0BC8}, {0x0BCA, 0x0BCD}};
    for (const auto& r : ranges)
      for (int u = r.first; u <= r.second; ++u)
        QVERIFY2(listed.contains(QChar(u)), qPrintable(QStringLiteral("U+%1 is not in the letter list").arg(u, 4, 16)));
  }

  // Every letter of tools/letters.tsv, with every consonant where it is a
  // sign: the codes the key table types become that letter, and the letter
  // becomes those codes again.
  void typedLettersConvertBothWays_data() {
    QTest::addColumn<FontScript>("script");
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QList<int>>("modes");
    const QList<Letter> letters = readLetters();
    QVERIFY(letters.size() > 150);
    for (const Letter& l : letters)
      QTest::addRow("%s %s", l.script == FontScript::Sinhala ? "si" : "ta", qPrintable(spell(l.codes)))
          << l.script << l.text << l.codes << l.modes;
  }

  void typedLettersConvertBothWays() {
    QFETCH(FontScript, script);
    QFETCH(QString, letter);
    QFETCH(QString, codes);
    QFETCH(QList<int>, modes);
    const QChar ka = QChar(script == FontScript::Sinhala ? 108 : 107);
    QList<std::pair<QString, QString>> cases;
    if (!isSign(letter[0]) || !codes.contains(ka)) {
      cases.append({letter, codes});
    } else {
      // the sign on every consonant of the font
      for (const Letter& base : readLetters())
        if (base.script == script && base.text.size() == 1 && isConsonant(base.text[0]) && base.codes.size() == 1)
          cases.append({base.text + letter, QString(codes).replace(ka, base.codes[0])});
      QVERIFY(cases.size() >= (script == FontScript::Sinhala ? 41 : 22));
    }
    for (const auto& [text, typedCodes] : cases) {
      for (int mode : modes)
        for (const QChar c : typedCodes)
          QVERIFY2(typed_[mode].count(c.unicode()), qPrintable(QStringLiteral("mode %1 cannot type %2").arg(mode).arg(c.unicode())));
      const QString unicode = fontCodesToUnicode(typedCodes, script);
      QCOMPARE(spell(unicode), spell(text));
      QCOMPARE(spell(unicodeToFontCodes(text, script)), spell(typedCodes));
    }
  }

  void realWordsRoundTrip_data() {
    QTest::addColumn<FontScript>("script");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<int>>("modes");
    QTest::newRow("Sinhala") << FontScript::Sinhala << QStringLiteral("sinhala_words.txt") << QList<int>{1, 2};
    QTest::newRow("Tamil") << FontScript::Tamil << QStringLiteral("tamil_words.txt") << QList<int>{3};
  }

  // Unicode -> codes -> Unicode is the identity, and the codes are ones the
  // key table types; a whole line with blanks, digits and punctuation too.
  void realWordsRoundTrip() {
    QFETCH(FontScript, script);
    QFETCH(QString, file);
    QFETCH(QList<int>, modes);
    const QStringList words = readWords(file);
    QVERIFY(words.size() > 200);
    QStringList failures;
    for (const QString& word : words) {
      QCOMPARE(word, word.normalized(QString::NormalizationForm_C));
      const QString fontCodes = unicodeToFontCodes(word, script);
      const bool typeable = std::all_of(fontCodes.begin(), fontCodes.end(), [&](QChar c) {
        return std::any_of(modes.begin(), modes.end(), [&](int m) { return typed_[m].count(c.unicode()) > 0; });
      });
      if (!typeable || fontCodesToUnicode(fontCodes, script) != word)
        failures << QStringLiteral("%1 -> %2 -> %3").arg(word, spell(fontCodes), fontCodesToUnicode(fontCodes, script));
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.mid(0, 10).join(QLatin1Char('\n'))));
    const QString line = words.mid(0, 40).join(QStringLiteral(", ")) + QStringLiteral(" (1998-2024)? 5.5!\r\n");
    QCOMPARE(fontCodesToUnicode(unicodeToFontCodes(line, script), script), line);
  }

  // Letters the keys can type in more than one way read the same, and come
  // back in the spelling every input mode of the script types.
  void otherSpellingsGiveTheKeyTableSpelling_data() {
    QTest::addColumn<FontScript>("script");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("usual");
    const FontScript si = FontScript::Sinhala, ta = FontScript::Tamil;
    QTest::newRow("si uu by the phonetic key") << si << codes({131}) << codes({87, 65});
    QTest::newRow("si oo by the phonetic key") << si << codes({136}) << codes({84, 97});
    QTest::newRow("si sri typewriter key") << si << codes({92}) << codes({89, 96, 83});
    QTest::newRow("si lu typewriter key") << si << codes({74}) << codes({60, 113});
    QTest::newRow("si ku print form") << si << codes({140}) << codes({108, 113});
    QTest::newRow("si aa print form") << si << codes({128}) << codes({119, 100});
    QTest::newRow("si kombu deka code") << si << codes({138, 108}) << codes({102, 102, 108});
    QTest::newRow("si oo tail code") << si << codes({102, 108, 139}) << codes({102, 108, 100, 97});
    QTest::newRow("si marks in either order") << si << codes({108, 115, 96}) << codes({108, 96, 115});
    QTest::newRow("si anusvara before sign") << si << codes({108, 120, 100}) << codes({108, 100, 120});
    QTest::newRow("si ra with yansaya is repaya") << si << codes({114, 72}) << codes({104, 126});
    QTest::newRow("si second carrier") << si << codes({184}) << codes({154});
    QTest::newRow("ta ku with the grantha sign") << ta << codes({107, 72}) << codes({75});
    QTest::newRow("ta kssa in pieces") << ta << codes({107, 120, 115}) << codes({88});
    QTest::newRow("ta sri in pieces") << ta << codes({83, 120, 114, 66}) << codes({215});
    QTest::newRow("ta au code") << ta << codes({203}) << codes({111, 76});
    QTest::newRow("ta carriers") << ta << codes({244, 249}) << codes({235, 235});
  }

  void otherSpellingsGiveTheKeyTableSpelling() {
    QFETCH(FontScript, script);
    QFETCH(QString, other);
    QFETCH(QString, usual);
    const QString unicode = fontCodesToUnicode(other, script);
    QCOMPARE(spell(unicode), spell(fontCodesToUnicode(usual, script)));
    QCOMPARE(spell(unicodeToFontCodes(unicode, script)), spell(usual));
  }

  void visualOrderBecomesLogical_data() {
    QTest::addColumn<FontScript>("script");
    QTest::addColumn<QString>("fontCodes");
    QTest::addColumn<QString>("unicode");
    const FontScript si = FontScript::Sinhala, ta = FontScript::Tamil;
    const auto row = [](const char* name, FontScript s, const QString& c, const char16_t* u) {
      QTest::newRow(name) << s << c << QString::fromUtf16(u);
    };
    row("si sentence", si, QStringLiteral("uu f.or hkjd"), u"මම ගෙදර යනවා");
    row("si kombuva then consonant", si, QStringLiteral("fld"), u"කො");
    row("si rakaransaya and e", si, QStringLiteral("fm`a"), u"ප්\u200Dරේ");
    row("si yansaya and aa", si, QStringLiteral("jHd"), u"ව්\u200Dයා");
    row("si repaya drawn after", si, QStringLiteral("ldh~h"), u"කාර්\u200Dයය");
    row("si kombuva before e", si, QStringLiteral("ft"), u"ඓ");
    row("si sign at line start", si, QStringLiteral("d\nl"), u"ා\nක");
    row("si kombuva left hanging", si, QStringLiteral("lf \nf"), u"කෙ \nෙ");
    row("si repaya without a letter", si, QStringLiteral("~"), u"ර්\u200D");
    row("si caption carrier", si, codes({154, 202}), u"◌ඟ");
    row("si key letters are letters", si, QStringLiteral("Hello"), u"්\u200Dයැකකද");
    row("si controls pass", si, QStringLiteral("\t\r\n") + QChar(127) + QChar(173), u"\t\r\n\u007F\u00AD");
    row("si above 255 passes", si, QStringLiteral("l€l"), u"ක€ක");
    row("ta sentence", ta, QStringLiteral("wf] tmbzx"), u"நாடு தமிழ்");
    row("ta o and oo", ta, QStringLiteral("Dkf Fkf"), u"கொ கோ");
    row("ta ai before", ta, QStringLiteral("Cv"), u"வை");
    row("ta lla after e is au", ta, QStringLiteral("DmLnmx"), u"மௌனம்");
    row("ta lla with virama stays", ta, QStringLiteral("DvLxCL"), u"வெள்ளை");
    row("ta lla with i stays", ta, QStringLiteral("oLb"), u"ஒளி");
    row("ta o with lla is au", ta, QStringLiteral("oLCv"), u"ஔவை");
    row("ta au at the end", ta, QStringLiteral("DkL"), u"கௌ");
    row("ta grantha u", ta, QStringLiteral("jHrmx"), u"ஜுரம்");
    row("ta code without glyph passes", ta, codes({200, 128}), u"\u00C8\u0080");
    row("ta latin looking keys", ta, QStringLiteral("Tamil"), u"துஅமஇல");
  }

  void visualOrderBecomesLogical() {
    QFETCH(FontScript, script);
    QFETCH(QString, fontCodes);
    QFETCH(QString, unicode);
    const QString converted = fontCodesToUnicode(fontCodes, script);
    QCOMPARE(spell(converted), spell(unicode));
    QCOMPARE(converted, converted.normalized(QString::NormalizationForm_C));
  }

  void unicodeBecomesCodes_data() {
    QTest::addColumn<FontScript>("script");
    QTest::addColumn<QString>("unicode");
    QTest::addColumn<QString>("fontCodes");
    const FontScript si = FontScript::Sinhala, ta = FontScript::Tamil;
    const auto row = [](const char* name, FontScript s, const char16_t* u, const QString& c) {
      QTest::newRow(name) << s << QString::fromUtf16(u) << c;
    };
    row("ta decomposed o", ta, u"\u0B95\u0BC6\u0BBE", QStringLiteral("Dkf"));
    row("ta decomposed au", ta, u"\u0B95\u0BC6\u0BD7", QStringLiteral("DkL"));
    row("si decomposed ee", si, u"\u0D9A\u0DD9\u0DCA", QStringLiteral("fla"));
    row("si touching letters lose the joiner", si, u"ක\u200D්ව", QStringLiteral("laj"));
    row("si joiner after hal with no conjunct form", si, u"ක්\u200Dව", QStringLiteral("laj"));
    row("si non-joiner dropped", si, u"ක\u200Cම", QStringLiteral("lu"));
    row("si hal before ra without joiner", si, u"ක්ර", QStringLiteral("lar"));
    row("si kssa needs the joiner", si, u"ක්\u200Dෂ ක්ෂ", QStringLiteral("| laI"));
    row("si punctuation the font draws", si, u"\"අ,ආ.\" ;:", QStringLiteral("Zw\"wd'Z ]}"));
    row("si digits and signs stay", si, u"10% (x2)", QStringLiteral("10% (x2)"));
    row("si lith digit has no code", si, u"෧", QStringLiteral("\u0DE7"));
    row("si emoji joiners kept", si, u"👨\u200D👩", QStringLiteral("👨\u200D👩"));
    row("si tamil text passes", si, u"தமிழ்", QStringLiteral("தமிழ்"));
    row("ta tamil digit has no code", ta, u"௧", QStringLiteral("\u0BE7"));
    row("ta dotted circle", ta, u"◌", codes({235}));
  }

  void unicodeBecomesCodes() {
    QFETCH(FontScript, script);
    QFETCH(QString, unicode);
    QFETCH(QString, fontCodes);
    QCOMPARE(spell(unicodeToFontCodes(unicode, script)), spell(fontCodes));
  }

  // Every code of both fonts, drawn in our font, looks like Noto drawing the
  // Unicode the code converts to (signs on a dotted circle, as the font's
  // glyphs were made).
  void everyGlyphIsTheLetterItConvertsTo_data() {
    QTest::addColumn<FontScript>("script");
    QTest::addColumn<QString>("fontCodes");
    QTest::addColumn<QString>("unicode");
    for (const FontScript script : {FontScript::Sinhala, FontScript::Tamil}) {
      const QChar carrier = QChar(script == FontScript::Sinhala ? 154 : 235);
      const QString jaCode = QStringLiteral("j");
      for (int code = 33; code < 256; ++code) {
        const QString unicode = fontCodesToUnicode(QString(QChar(code)), script);
        if (unicode == QString(QChar(code)))
          continue;  // punctuation as it is, or no glyph
        QString drawn = QString(QChar(code)), expected = unicode;
        const QChar first = unicode[0];
        const bool prefix = QStringView(u"\u0DD9\u0DDB\u0BC6\u0BC7\u0BC8").contains(first) && unicode.size() == 1;
        if (script == FontScript::Tamil && (code == 'H' || code == 'G')) {
          drawn = jaCode + drawn;  // the grantha u signs stand apart from JA
          expected = fontCodesToUnicode(drawn, script);
        } else if (prefix) {
          drawn += carrier;
          expected = QStringLiteral("◌") + unicode;
        } else if (isSign(first) || (first == QChar(0x0DBB) && unicode.endsWith(QChar(0x200D)))) {
          drawn = carrier + drawn;
          expected = first == QChar(0x0DBB) ? unicode + QStringLiteral("◌") : QStringLiteral("◌") + unicode;
        }
        QTest::addRow("%s %d", script == FontScript::Sinhala ? "si" : "ta", code) << script << drawn << expected;
      }
    }
  }

  void everyGlyphIsTheLetterItConvertsTo() {
    QFETCH(FontScript, script);
    if (notoFamily(script).isEmpty())
      QSKIP("the Noto fonts (fonts-noto-core) are not installed");
    QFETCH(QString, fontCodes);
    QFETCH(QString, unicode);
    const double like = likeness(shaped(fontCodes, ourFamily(script), 64), shaped(unicode, notoFamily(script), 64));
    QVERIFY2(like > 0.95, qPrintable(QStringLiteral("%1 looks %2 like %3").arg(spell(fontCodes)).arg(like).arg(unicode)));
  }

  void commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QByteArray sinhala = QStringLiteral("මම ගෙදර යනවා\r\n").toUtf8();
    const QByteArray tamil = QStringLiteral("நாடு\n").toUtf8();
    const QString usage = QStringLiteral("usage: tovelmail");
    QTest::newRow("to unicode") << QStringList{"--to-unicode", "sinhala"} << QByteArray("uu f.or hkjd\r\n") << sinhala << 0 << QString();
    QTest::newRow("from unicode") << QStringList{"--from-unicode", "Sinhala"} << sinhala << QByteArray("uu f.or hkjd\r\n") << 0 << QString();
    QTest::newRow("upper codes are bytes") << QStringList{"--from-unicode=tamil"} << QStringLiteral("கூ").toUtf8() << QByteArray("\xCA") << 0 << QString();
    QTest::newRow("bytes are codes") << QStringList{"--to-unicode", "tamil"} << QByteArray("wf]\n") << tamil << 0 << QString();
    QTest::newRow("empty input") << QStringList{"--to-unicode", "tamil"} << QByteArray() << QByteArray() << 0 << QString();
    QTest::newRow("no script") << QStringList{"--to-unicode"} << QByteArray("x") << QByteArray() << 2 << usage;
    QTest::newRow("unknown script") << QStringList{"--from-unicode", "hindi"} << QByteArray("x") << QByteArray() << 2 << QStringLiteral("unknown script \"hindi\"");
    QTest::newRow("extra argument") << QStringList{"--to-unicode", "tamil", "file.txt"} << QByteArray("x") << QByteArray() << 2 << QStringLiteral("unexpected argument \"file.txt\"");
    QTest::newRow("both directions") << QStringList{"--to-unicode", "tamil", "--from-unicode", "tamil"} << QByteArray("x") << QByteArray() << 2 << usage;
    QTest::newRow("not shown by the font") << QStringList{"--from-unicode", "sinhala"} << QStringLiteral("ක😀ම\n").toUtf8()
                                           << QByteArray("l?u\n") << 1 << QStringLiteral("1 character has no code in the Sinhala font");
    QTest::newRow("not utf-8") << QStringList{"--from-unicode", "tamil"} << QByteArray("a\xFF\n") << QByteArray("a?\n") << 1 << QStringLiteral("not valid UTF-8");
    const QByteArray lines = QByteArray("Nimal Perera\r\nuu f.or hkjd\n\n") + QByteArray(1, '\0') + "\x01\nvNkxkmx tmbzx\n" +
                             QStringLiteral("ආයුබෝවන්\nவணக்கம்").toUtf8();
    QTest::newRow("detect script") << QStringList{"--detect-script"} << lines
                                   << QByteArray("latin\nsinhala-font\nlatin\nlatin\ntamil-font\nsinhala\ntamil\n") << 0 << QString();
    QTest::newRow("detect script, no input") << QStringList{"--detect-script"} << QByteArray() << QByteArray() << 0 << QString();
    QTest::newRow("detect script, a file") << QStringList{"--detect-script", "mail.txt"} << QByteArray("x\n") << QByteArray() << 2
                                           << QStringLiteral("unexpected argument \"mail.txt\"");
    QTest::newRow("detect script and more") << QStringList{"--no-splash", "--detect-script"} << QByteArray("x\n") << QByteArray() << 2
                                            << QStringLiteral("usage: tovelmail --detect-script");
  }

  void commandLine() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    QFETCH(int, status);
    QFETCH(QString, message);
    const Run run = runProgram(args, input);
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, output);
    QVERIFY2(message.isEmpty() ? run.err.isEmpty() : run.err.contains(message), qPrintable(run.err));
  }

  // Several megabytes (read in pieces) come back byte for byte.
  void commandLineKeepsLargeArchivesWhole() {
    const QString line = readWords(QStringLiteral("sinhala_words.txt")).join(QLatin1Char(' '));
    QByteArray archive;
    for (int i = 0; archive.size() < 3 * 1024 * 1024; ++i)
      archive += (line + QStringLiteral(" %1\n").arg(i)).toUtf8();
    archive += line.toUtf8();  // no line break at the end
    const Run there = runProgram({QStringLiteral("--from-unicode"), QStringLiteral("sinhala")}, archive);
    QCOMPARE(there.status, 0);
    const Run back = runProgram({QStringLiteral("--to-unicode"), QStringLiteral("sinhala")}, there.out);
    QCOMPARE(back.status, 0);
    QVERIFY(back.out == archive);
  }

  void parse_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("splash");
    QTest::newRow("nothing") << QStringList{} << Action::Start << true;
    QTest::newRow("no splash") << QStringList{"--no-splash"} << Action::Start << false;
    QTest::newRow("Qt option and its value") << QStringList{"-platform", "offscreen", "--no-splash"} << Action::Start << false;
    QTest::newRow("Qt option with =") << QStringList{"--style=fusion"} << Action::Start << true;
    QTest::newRow("Qt value that looks like ours") << QStringList{"-qwindowtitle", "--check"} << Action::Start << true;
    QTest::newRow("Qt switch") << QStringList{"-reverse", "--check"} << Action::Check << false;
    QTest::newRow("version wins") << QStringList{"--no-splash", "-v"} << Action::Version << false;
    QTest::newRow("help") << QStringList{"-style", "fusion", "--help"} << Action::Help << true;
    QTest::newRow("unknown option") << QStringList{"--splash-off"} << Action::Error << true;
    QTest::newRow("stray argument") << QStringList{"mail.msg"} << Action::Error << true;
    QTest::newRow("Qt option without its value") << QStringList{"--no-splash", "-platform"} << Action::Start << false;
  }

  void parse() {
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(bool, splash);
    const CommandLine line = parseCommandLine(args);
    QCOMPARE(line.action, action);
    QCOMPARE(line.splash, splash);
    QCOMPARE(line.error.isEmpty(), action != Action::Error);
    if (action == Action::Error)
      QVERIFY(line.error.contains(args.last()));
  }

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
    return writeTestFile(dir_.filePath(QStringLiteral("neltex%1.csv").arg(++files_)), text);
  }

  QTemporaryDir dir_;
  int files_ = 0;
 private:
  std::set<int> typed_[4];
};

QTEST_MAIN(FontUnicodeTest)
#include "tst_fontunicode.moc"
