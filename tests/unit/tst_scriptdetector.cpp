// Telling Latin text from Sinhala and Tamil in font codes or Unicode: the
// accuracy on held-out words, sentences and the short texts of mail headers,
// per class and length; the rules for texts without letters, UTF-8 and
// decoded characters. (tovelmail --detect-script is tried with the other
// command-line conversions in tst_fontunicode.)
#include "language/fontunicode.h"
#include "language/scriptdetector.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>
#include <map>

Q_DECLARE_METATYPE(TextScript)

namespace {

struct Sample {
  TextScript script;
  QByteArray bytes;  // as a message holds it
  QString chars;     // as a view holds it: font codes one to one, or decoded
  bool short_;       // one or two words
};

// label TAB how-to-bytes TAB text: "font" converts the text to the codes
// of the label's font, anything else names the charset.
QList<Sample> readSamples(const QString& file, QString& problem) {
  QFile f(QStringLiteral(TOVEL_SOURCE_DIR "/tests/data/") + file);
  if (!f.open(QIODevice::ReadOnly))
    problem = f.fileName() + QStringLiteral(": ") + f.errorString();
  QList<Sample> samples;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QList<QByteArray> field = line.split('\t');
    if (line.startsWith('#') || field.size() != 3)
      continue;
    const QString text = QString::fromUtf8(field[2]);
    const std::optional<TextScript> script = scriptFromLabel(QString::fromLatin1(field[0]));
    Sample s{script.value_or(TextScript::Latin), {}, {}, text.split(QLatin1Char(' '), Qt::SkipEmptyParts).size() <= 2};
    if (field[1] == "font") {
      s.chars = unicodeToFontCodes(text, s.script == TextScript::TamilFont ? FontScript::Tamil : FontScript::Sinhala);
      s.bytes = s.chars.toLatin1();
    } else {
      QStringEncoder encode(field[1].constData());
      s.bytes = encode(text);
      s.chars = text;
      if (!encode.isValid() || encode.hasError())
        problem = QStringLiteral("%1 cannot be written in %2").arg(text, QString::fromLatin1(field[1]));
    }
    if (!script)
      problem = QStringLiteral("unknown label in: ") + QString::fromUtf8(line);
    samples.append(s);
  }
  return samples;
}

}  // namespace

class ScriptDetectorTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Per class and length band, on the bytes and on the characters of each
  // text: at least 95% right for one or two words, 99% for more.
  void accuracyOnHeldOutTexts() {
    QString problem;
    const QList<Sample> samples = readSamples(QStringLiteral("script_heldout.tsv"), problem) +
                                  readSamples(QStringLiteral("script_samples.tsv"), problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    struct Tally {
      int total = 0, bytes = 0, chars = 0;
    };
    std::map<std::pair<TextScript, bool>, Tally> tally;
    QStringList wrong;
    for (const Sample& s : samples) {
      Tally& t = tally[{s.script, s.short_}];
      const TextScript fromBytes = detectScript(QByteArrayView(s.bytes));
      ++t.total;
      t.bytes += fromBytes == s.script;
      t.chars += detectScript(QStringView(s.chars)) == s.script;
      if (fromBytes != s.script && wrong.size() < 40)
        wrong << QStringLiteral("  %1 taken for %2: %3").arg(scriptLabel(s.script), scriptLabel(fromBytes), s.chars);
    }
    QStringList table{QStringLiteral("class          words  texts   bytes    chars")};
    bool fine = true;
    for (const auto& [key, t] : tally) {
      const double need = key.second ? 95 : 99;
      const double bytes = 100.0 * t.bytes / t.total, chars = 100.0 * t.chars / t.total;
      fine = fine && bytes >= need && chars >= need;
      table << QStringLiteral("%1 %2 %3 %4% %5%")
                   .arg(scriptLabel(key.first), -14)
                   .arg(key.second ? QStringLiteral("1-2") : QStringLiteral("3+"), -5)
                   .arg(t.total, 6)
                   .arg(bytes, 7, 'f', 2)
                   .arg(chars, 7, 'f', 2);
    }
    qInfo().noquote() << table.join(QLatin1Char('\n')) << "\nsome misses:\n" << wrong.join(QLatin1Char('\n'));
    QCOMPARE(tally.size(), std::size_t(10));
    QVERIFY2(fine, "a class is below its accuracy target");
  }

  void rules_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("chars");
    QTest::addColumn<TextScript>("script");
    const auto both = [](const char* name, const QByteArray& bytes, TextScript script) {
      QTest::newRow(name) << bytes << QString::fromLatin1(bytes) << script;
    };
    both("empty", "", TextScript::Latin);
    both("blanks and controls", " \t\r\n\x01", TextScript::Latin);
    both("time", "10:00:00", TextScript::Latin);
    both("numbers and signs", "+94 (11) 234-5678; 12.5%, #3", TextScript::Latin);
    both("Sinhala font on punctuation keys", ";d;a;d", TextScript::SinhalaFont);
    both("windows-1252 quotes", "\x93quoted\x94 price \x96 \x80" "5", TextScript::Latin);
    both("a long Tamil-font line", QByteArray("vNkxkmx tmbzx ").repeated(2000), TextScript::TamilFont);
    both("a long Sinhala-font line", QByteArray("uu f.or hkjd ").repeated(2000), TextScript::SinhalaFont);
    both("a 1 MB Sinhala-font letter, English at the end", QByteArray("uu f.or hkjd\r\n").repeated(70000) + QByteArray("Sent from my phone\r\n").repeated(1000),
         TextScript::SinhalaFont);
    both("mostly Sinhala font, an English word", "uu f.or hkjd" " hello " "uu f.or hkjd uu f.or hkjd", TextScript::SinhalaFont);
    QTest::newRow("Sinhala in UTF-8") << QStringLiteral("Re: ආයුබෝවන්").toUtf8() << QStringLiteral("Re: ආයුබෝවන්") << TextScript::Sinhala;
    QTest::newRow("more Tamil than Sinhala") << QStringLiteral("வணக்கம் ක").toUtf8() << QStringLiteral("வணக்கம் ක") << TextScript::Tamil;
    QTest::newRow("Cyrillic in UTF-8") << QStringLiteral("Привет").toUtf8() << QStringLiteral("Привет") << TextScript::Latin;
    QTest::newRow("accents in UTF-8") << QStringLiteral("Grüße, Zoë").toUtf8() << QStringLiteral("Grüße, Zoë") << TextScript::Latin;
    QTest::newRow("broken UTF-8 of font codes") << QByteArray("\xC3 hkjd uu f.or") << QStringLiteral("\u00C3 hkjd uu f.or")
                                                << TextScript::SinhalaFont;
  }

  void rules() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, chars);
    QFETCH(TextScript, script);
    QCOMPARE(detectScript(QByteArrayView(bytes)), script);
    QCOMPARE(detectScript(QStringView(chars)), script);
  }

  void labels() {
    for (TextScript s : {TextScript::Latin, TextScript::SinhalaFont, TextScript::TamilFont, TextScript::Sinhala, TextScript::Tamil})
      QCOMPARE(scriptFromLabel(scriptLabel(s)), s);
    QCOMPARE(scriptFromLabel(u"Sinhala"), std::nullopt);
  }
};

QTEST_GUILESS_MAIN(ScriptDetectorTest)
#include "tst_scriptdetector.moc"
