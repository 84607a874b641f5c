// The shipped table, fonts and pictures agree: every code the table can type
// has a glyph, every letter can be typed in its modes, the glyphs are the
// letters they claim to be, and the two family names load.
#include "language/fonts.h"
#include "language/languagestate.h"
#include "platform/paths.h"
#include "support/scriptedprompter.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainterPath>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>
#include <set>

namespace {

QString fontPath(const QString& file) { return platform::joinPath(platform::fontsFolder(), file); }

bool hasGlyph(const QRawFont& font, int code) {
  const QList<quint32> glyphs = font.glyphIndexesForString(QString(QChar(code)));
  if (glyphs.size() != 1 || glyphs[0] == 0)
    return false;
  return !font.pathForGlyph(glyphs[0]).isEmpty();
}

struct Letter {
  QString font, text;
  QList<int> codes;
  QList<int> modes;
};

QList<Letter> readLetters() {
  QList<Letter> letters;
  QFile file(QStringLiteral(TOVEL_SOURCE_DIR "/tools/letters.tsv"));
  if (!file.open(QIODevice::ReadOnly))
    return letters;
  for (const QByteArray& line : file.readAll().split('\n')) {
    if (line.isEmpty() || line.startsWith('#'))
      continue;
    const QList<QByteArray> f = line.split('\t');
    if (f.size() != 4)
      continue;
    Letter l{QString::fromLatin1(f[0]), QString::fromUtf8(f[1]), {}, {}};
    for (const QByteArray& c : f[2].split(' '))
      l.codes.append(c.toInt());
    for (const QByteArray& m : f[3].split(' '))
      l.modes.append(m.toInt());
    letters.append(l);
  }
  return letters;
}

// The codes a mode can type: the printable keys and the function keys of the
// language, each through the table.
std::set<int> typeable(int mode) {
  std::set<int> codes;
  const LanguageState& s = language();
  const auto add = [&](int key) {
    const int code = translate_key(key);
    if (code > 0)
      codes.insert(code);
  };
  LanguageState saved = s;
  language().input_mode = mode;
  for (int key = 33; key <= 126; ++key)
    add(key);
  set_key_sequences(mode == ModeTamilPhonetic ? Tamil : Sinhala);
  for (int i = 0; i <= 10; ++i)
    for (const QChar ch : key_sequence(i))
      add(ch.unicode());
  language() = saved;
  return codes;
}

}  // namespace

class FontAssetsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void familiesLoad();
  void everyTypeableCodeHasAGlyph();
  void everyLetterCanBeTyped();
  void glyphsAreTheLettersTheyClaim();
  void picturesAreReadable();
};

void FontAssetsTest::initTestCase() {
  ScriptedPrompter prompter;
  init_language_support();
  QVERIFY2(prompter.messages.isEmpty(), "the shipped table reads without an error");
}

void FontAssetsTest::familiesLoad() {
  const QStringList families = registerBundledFonts();
  QVERIFY2(families.contains(QStringLiteral("Nelira98")), qPrintable(families.join(QLatin1Char(','))));
  QVERIFY(families.contains(QStringLiteral("Velan_nm")));
  QVERIFY(QFontDatabase::families().contains(QStringLiteral("Nelira98")));
  QVERIFY(QFontDatabase::families().contains(QStringLiteral("Velan_nm")));
  // The file names the Attach menu sends are the files that hold the families.
  QCOMPARE(QRawFont(fontPath(kSinhalaFontFile), 12).familyName(), QStringLiteral("Nelira98"));
  QCOMPARE(QRawFont(fontPath(kTamilFontFile), 12).familyName(), QStringLiteral("Velan_nm"));
}

void FontAssetsTest::everyTypeableCodeHasAGlyph() {
  // English keeps the font of the language before it, so the English column
  // must draw in both fonts as well.
  const struct {
    QString file;
    QList<int> modes;
  } fonts[] = {{kSinhalaFontFile, {0, 1, 2}}, {kTamilFontFile, {0, 3}}};
  for (const auto& f : fonts) {
    const QRawFont raw(fontPath(f.file), 48);
    QVERIFY(raw.isValid());
    for (int mode : f.modes)
      for (int code : typeable(mode))
        QVERIFY2(hasGlyph(raw, code), qPrintable(QStringLiteral("%1: code %2 (mode %3) has no glyph")
                                                     .arg(f.file).arg(code).arg(mode)));
    // the carriers of the button captions
    for (int i = 0; i <= 10; ++i) {
      set_key_sequences(f.file == kTamilFontFile ? Tamil : Sinhala);
      for (const QChar ch : language().key_captions[size_t(i)])
        QVERIFY2(hasGlyph(raw, ch.unicode()), qPrintable(QString::number(ch.unicode())));
    }
    QVERIFY2(!hasGlyph(raw, 173), "the soft hyphen stays unused");
  }
}

void FontAssetsTest::everyLetterCanBeTyped() {
  const QList<Letter> letters = readLetters();
  QVERIFY(letters.size() > 120);
  // every Sinhala and Tamil letter of Unicode is in the list
  QSet<QChar> listed;
  for (const Letter& l : letters)
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

  const std::set<int> typed[4] = {typeable(0), typeable(1), typeable(2), typeable(3)};
  for (const Letter& l : letters)
    for (int mode : l.modes)
      for (int code : l.codes)
        QVERIFY2(typed[mode].count(code),
                 qPrintable(QStringLiteral("%1 needs code %2, which mode %3 cannot type").arg(l.text).arg(code).arg(mode)));
}

void FontAssetsTest::glyphsAreTheLettersTheyClaim() {
  const QString sinhala = QStringLiteral("/usr/share/fonts/truetype/noto/NotoSansSinhala-Regular.ttf");
  const QString tamil = QStringLiteral("/usr/share/fonts/truetype/noto/NotoSansTamil-Regular.ttf");
  if (!QFile::exists(sinhala) || !QFile::exists(tamil))
    QSKIP("the Noto source fonts (fonts-noto-core) are not installed");
  const int notoSi = QFontDatabase::addApplicationFont(sinhala);
  const int notoTa = QFontDatabase::addApplicationFont(tamil);
  QVERIFY(notoSi >= 0 && notoTa >= 0);
  const qreal size = 200;
  int compared = 0;
  for (const Letter& l : readLetters()) {
    if (l.codes.size() != 1)
      continue;
    const bool isTamil = l.font == QStringLiteral("Velan_nm");
    QFont source(QFontDatabase::applicationFontFamilies(isTamil ? notoTa : notoSi).first());
    source.setPixelSize(int(size));
    QTextLayout layout(l.text, source);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs[0].glyphIndexes().size() != 1)
      continue;  // drawn from several glyphs: nothing simple to compare
    const QRectF expected = runs[0].rawFont().pathForGlyph(runs[0].glyphIndexes()[0]).boundingRect();
    const QRawFont ours(fontPath(isTamil ? kTamilFontFile : kSinhalaFontFile), size);
    const QList<quint32> glyph = ours.glyphIndexesForString(QString(QChar(l.codes[0])));
    const QRectF actual = ours.pathForGlyph(glyph.value(0)).boundingRect();
    const qreal tolerance = size * 0.01;
    const bool same = qAbs(actual.left() - expected.left()) < tolerance &&
                      qAbs(actual.right() - expected.right()) < tolerance &&
                      qAbs(actual.top() - expected.top()) < tolerance &&
                      qAbs(actual.bottom() - expected.bottom()) < tolerance;
    QVERIFY2(same, qPrintable(QStringLiteral("code %1 of %2 does not look like %3").arg(l.codes[0]).arg(l.font, l.text)));
    ++compared;
  }
  QVERIFY2(compared > 60, qPrintable(QString::number(compared)));
}

void FontAssetsTest::picturesAreReadable() {
  for (const char* name : {"Nelisin.gif", "Velan.gif"}) {
    QImageReader reader(platform::joinPath(platform::programFolder(), QString::fromLatin1(name)));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), name);
    QVERIFY(image.width() >= 800 && image.width() <= 1400);  // readable at 100 %
  }
}

QTEST_MAIN(FontAssetsTest)
#include "tst_fontassets.moc"
