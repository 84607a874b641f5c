// BinHex 4.0 codec: checksums, a vector made by another implementation
// (macutils), round trips through run-length coding, damaged input.
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include "maillib/binhex.h"
#include "maillib/transfercodec.h"

using namespace maillib;

class TestBinhex : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void crcIsTheXmodemCrc() {
    QCOMPARE(binhex::crc16("123456789"), quint16(0x31C3));
    QCOMPARE(binhex::crc16(QByteArray()), quint16(0));
  }

  void decodesAVectorFromMacutils() {
    QFile f(QStringLiteral(TOVEL_SOURCE_DIR "/tests/data/hello_macutils.hqx"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const binhex::Decoded d = binhex::decode(f.readAll());
    const QByteArray expected = QByteArray("hello\x90\x90\x90world\n") + QByteArray(400, '\0') +
                                QByteArray("AAAAAAAAAAAA\x90" "end");
    QCOMPARE(d.problem, QString());
    QCOMPARE(d.name, QByteArray("hello.dat"));
    QCOMPARE(d.data, expected);
  }

  void roundTripsThroughRunLengthCoding_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one byte") << QByteArray("x");
    QTest::newRow("two bytes") << QByteArray("xy");
    QTest::newRow("marker alone") << QByteArray("\x90", 1);
    QTest::newRow("marker run") << QByteArray(700, '\x90');
    QTest::newRow("long run") << QByteArray(1000, 'z');
    QTest::newRow("run of 255 and 256") << QByteArray(255, 'a') + QByteArray(256, 'b');
    QByteArray mixed;
    for (int i = 0; i < 20000; ++i) mixed.append(char((i * 37) ^ (i >> 3)));
    QTest::newRow("every byte") << mixed;
    QTest::newRow("marker after run") << QByteArray(5, 'q') + QByteArray("\x90\x00\x90", 3);
  }

  void roundTripsThroughRunLengthCoding() {
    QFETCH(QByteArray, data);
    const QByteArray text = binhex::encode(data, "file.bin");
    for (const QByteArray& line : text.split('\n')) QVERIFY(line.size() <= 65);
    const binhex::Decoded d = binhex::decode(text);
    QCOMPARE(d.problem, QString());
    QCOMPARE(d.name, QByteArray("file.bin"));
    QCOMPARE(d.data, data);
    // The name is matched case-insensitively through the codec layer.
    QCOMPARE(codec::decode(codec::fromName(QStringLiteral("Mac-BinHex40")), text).data, data);
  }

  void damagedDataIsReported() {
    const QByteArray data = "The quick brown fox jumps over the lazy dog";
    const QByteArray text = binhex::encode(data, "fox.txt");
    // One character changed inside the data fork: the CRC must catch it.
    QByteArray flipped = text;
    const qsizetype p = flipped.indexOf(':') + 40;
    flipped[p] = flipped[p] == 'A' ? 'B' : 'A';
    QVERIFY(!binhex::decode(flipped).problem.isEmpty());
    // Cut in the middle: the part read so far and a problem.
    const binhex::Decoded cut = binhex::decode(text.left(text.size() / 2));
    QVERIFY(!cut.problem.isEmpty());
    QVERIFY(data.startsWith(cut.data));
    QVERIFY(!binhex::decode("no colon here at all").problem.isEmpty());
    QVERIFY(!binhex::decode(":\x01\x02 bad chars:").problem.isEmpty());
    QVERIFY(!binhex::decode(":").problem.isEmpty());
  }

  void hugeDeclaredLengthAllocatesNothing() {
    // A header claiming a 4 GB data fork, followed by endless runs.
    QByteArray bin;
    bin.append(char(1)).append('x').append('\0').append("????????").append(2, '\0');
    bin.append("\xff\xff\xff\xff", 4).append(4, '\0');
    const quint16 crc = binhex::crc16(bin);
    bin.append(char(crc >> 8)).append(char(crc & 0xFF));
    for (int i = 0; i < 3000; ++i) bin.append("A\x90\xff", 3);
    // Six-bit encode by hand (no run-length pass: the runs are in bin).
    static const char alphabet[] = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
    QByteArray text = ":";
    while (bin.size() % 3) bin.append('\0');
    for (qsizetype i = 0; i < bin.size(); i += 3) {
      const quint32 v = (quint32(quint8(bin[i])) << 16) | (quint32(quint8(bin[i + 1])) << 8) | quint8(bin[i + 2]);
      for (int s = 18; s >= 0; s -= 6) text.append(alphabet[(v >> s) & 63]);
    }
    text.append(':');
    QElapsedTimer t;
    t.start();
    const binhex::Decoded d = binhex::decode(text);
    QVERIFY(!d.problem.isEmpty());
    QVERIFY(d.data.size() < 4 * 1024 * 1024);
    QVERIFY(t.elapsed() < 5000);
  }
};

QTEST_GUILESS_MAIN(TestBinhex)
#include "tst_binhex.moc"
