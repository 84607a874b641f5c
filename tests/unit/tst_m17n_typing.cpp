// The m17n input methods without a window: tovelmail --type, Backspace in
// the pending text, and font-code text that reads back as the Unicode the
// method gave, however the method handed it over in pieces.
#include "language/m17ncli.h"
#include "language/m17ninput.h"
#include "language/m17ntext.h"

#include <QBuffer>
#include <QTest>

namespace {

QString keyNameOf(QChar c) { return c == QLatin1Char('\b') ? QStringLiteral("BackSpace") : QString(c); }

// Types keys (\b is Backspace) and finishes the pending text.
QString typed(const QString& method, const QString& keys, std::optional<FontScript> script = std::nullopt) {
  const std::unique_ptr<M17nInput> input = M17nInput::open(*m17nMethodNamed(method));
  M17nTypedText text(script);
  text.attach(*input);
  for (const QChar c : keys)
    text.key(*input, keyNameOf(c));
  text.commit(*input);
  return text.text();
}

}  // namespace

class M17nTypingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void typeCommand_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("singlish, a line each") << QStringList{"--type", "sinhala-singlish"}
                                           << QByteArray("mama dhan gedhara yanavaa\nammaa")
                                           << QByteArray("මම දන් ගෙදර යනවා\nඅම්මා") << 0 << QByteArray();
    QTest::newRow("wijesekera, = form") << QStringList{"--type=sinhala-wijesekera"} << QByteArray("uu f.or hkjd\r\n")
                                        << QByteArray("මම ගෙදර යනවා\n") << 0 << QByteArray();
    QTest::newRow("itrans, blanks kept") << QStringList{"--type", "tamil-itrans"} << QByteArray("vaNakkam  ammaa \n")
                                         << QByteArray("வணக்கம்  அம்மா \n") << 0 << QByteArray();
    QTest::newRow("tamil99") << QStringList{"--type", "tamil-tamil99"} << QByteArray("hf\n") << QByteArray("க்\n")
                             << 0 << QByteArray();
    QTest::newRow("list") << QStringList{"--type", "list"} << QByteArray() << QByteArray("tamil-itrans\tTamil Itrans")
                          << 0 << QByteArray();
    QTest::newRow("unknown method") << QStringList{"--type", "klingon"} << QByteArray("x\n") << QByteArray() << 2
                                    << QByteArray("sinhala-singlish\t");
    QTest::newRow("no method") << QStringList{"--type"} << QByteArray() << QByteArray() << 2
                               << QByteArray("needs the name");
    QTest::newRow("extra argument") << QStringList{"--type", "tamil-itrans", "x"} << QByteArray() << QByteArray() << 2
                                    << QByteArray("unexpected argument");
  }

  void typeCommand() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    QFETCH(int, status);
    QFETCH(QByteArray, err);
    QBuffer input(&in), output, errors;
    input.open(QIODevice::ReadOnly);
    output.open(QIODevice::WriteOnly);
    errors.open(QIODevice::WriteOnly);
    QCOMPARE(runTypeCommand(args, input, output, errors), std::optional<int>(status));
    if (QByteArray(QTest::currentDataTag()) == "list")
      QVERIFY(output.data().contains(out));
    else
      QCOMPARE(QString::fromUtf8(output.data()), QString::fromUtf8(out));
    QVERIFY2(errors.data().contains(err), errors.data().constData());
    QVERIFY(!runTypeCommand({QStringLiteral("--to-unicode")}, input, output, errors));
  }

  void backspaceEditsThePendingText_data() {
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("unicode");
    // Singlish and ITRANS do not take Backspace themselves: it takes back
    // the last key of the pending letter.
    QTest::newRow("singlish long vowel") << "sinhala-singlish" << "kaa\b" << "ක";
    QTest::newRow("singlish aspirate") << "sinhala-singlish" << "gedha\b\bara" << "ගෙඩර";
    QTest::newRow("singlish all of it") << "sinhala-singlish" << "k\bma" << "ම";
    QTest::newRow("after a blank, the text") << "sinhala-singlish" << "ma \bma" << "මම";
    QTest::newRow("itrans") << "tamil-itrans" << "ki\bu" << "கு";
    // A letter the method already finished is the box's to take back.
    QTest::newRow("itrans, finished letter") << "tamil-itrans" << "kaa\bi" << "கஇ";
    // Wijesekara edits its own pending text.
    QTest::newRow("wijesekera") << "sinhala-wijesekera" << "ka\bl" << "නක";
  }

  void backspaceEditsThePendingText() {
    QFETCH(QString, method);
    QFETCH(QString, keys);
    QFETCH(QString, unicode);
    QCOMPARE(typed(method, keys), unicode);
  }

  // Font codes made piece by piece read back as the Unicode of the whole.
  void fontCodesReadBackAsTyped_data() {
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("script");
    const int si = int(FontScript::Sinhala), ta = int(FontScript::Tamil);
    QTest::newRow("singlish") << "sinhala-singlish" << "gedhara kohedha pothak ammaa thaaththaa" << si;
    QTest::newRow("singlish conjuncts") << "sinhala-singlish" << "shrii laqkaava vidhyaava" << si;
    QTest::newRow("wijesekera") << "sinhala-wijesekera" << "uu f.or hkjd fld<UU" << si;
    QTest::newRow("phonetic-dynamic, looking back") << "sinhala-phonetic-dynamic" << "kiyanna mAlu" << si;
    QTest::newRow("samanala") << "sinhala-samanala" << "ammaa gedhara" << si;
    QTest::newRow("itrans") << "tamil-itrans" << "vaNakkam thamizh poo kai" << ta;
    QTest::newRow("tamil99") << "tamil-tamil99" << "hfh kjhd" << ta;
    QTest::newRow("lk-renganathan, looking back") << "tamil-lk-renganathan" << "kdsl hgak" << ta;
  }

  void fontCodesReadBackAsTyped() {
    QFETCH(QString, method);
    QFETCH(QString, keys);
    QFETCH(int, script);
    const QString unicode = typed(method, keys);
    QVERIFY(containsScript(unicode, FontScript(script)));
    const QString codes = typed(method, keys, FontScript(script));
    QVERIFY(std::all_of(codes.begin(), codes.end(), [](QChar c) { return c.unicode() <= 255; }));
    auto plain = [](QString s) { return s.remove(QChar(0x200C)).remove(QChar(0x200D)).normalized(QString::NormalizationForm_C); };
    QCOMPARE(plain(fontCodesToUnicode(codes, FontScript(script))), plain(unicode));
  }
};

QTEST_MAIN(M17nTypingTest)
#include "tst_m17n_typing.moc"
