// Transfer codecs and large messages: BinHex 4.0 (checksums, a vector
// made by another implementation, macutils, round trips through
// run-length coding, damaged input), decoding piece by piece, bodies read
// from the file where they are used, parts decoded straight into the
// target file, and a file that changes under an open message.
#include "maillib/binhex.h"
#include "maillib/mailcontrol.h"
#include "maillib/transfercodec.h"
#include "support/files.h"
#include "support/mailops.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using maillib::codec::Encoding;

namespace {

QByteArray noise(qsizetype size, quint32 seed) {
  QByteArray out(size, Qt::Uninitialized);
  for (qsizetype i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    out[i] = char(seed >> 24);
  }
  return out;
}

QByteArray text(qsizetype size) {
  QByteArray out;
  for (int i = 0; out.size() < size; ++i)
    out += "Line " + QByteArray::number(i) + " of a report = caf\xe9, with a trailing blank \r\n";
  return out;
}

void savePart(MailControl& m, int index, const QString& target) {
  ops::enter(m, index);
  ops::save(m, target);
  ops::leave(m);
}

// The decoded content of every part of the large sample, by part index.
struct Sample {
  QByteArray message;
  QList<QByteArray> parts;
};

// Each part is several decoder pieces long, so every seam between pieces is
// crossed; a header block of 40 kB comes first.
Sample largeSample() {
  Sample s;
  QByteArray longField = "X-Trace:";
  while (longField.size() < 40 * 1024) longField += " hop-" + QByteArray::number(longField.size()) + "\r\n";
  s.message = "From: big@example.org\r\n" + longField +
              "Subject: large\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"L\"\r\n\r\n";
  const QByteArray binary = noise(700 * 1024, 7);
  const QByteArray report = text(600 * 1024);
  const struct {
    Encoding encoding;
    QByteArray data;
    bool isText;
  } parts[] = {{Encoding::Identity, report, true},
               {Encoding::Base64, binary, false},
               {Encoding::QuotedPrintable, report, true},
               {Encoding::UUEncode, binary, false},
               {Encoding::BinHex, binary.left(300 * 1024), false}};
  for (const auto& p : parts) {
    s.message += "--L\r\nContent-Type: " + QByteArray(p.isText ? "text/plain; charset=iso-8859-1" : "application/octet-stream") +
                 "\r\nContent-Transfer-Encoding: " + maillib::codec::name(p.encoding) + "\r\n\r\n" +
                 maillib::codec::encode(p.encoding, p.data, "part.bin", p.isText) + "\r\n";
    s.parts.append(p.data);
  }
  s.message += "--L--\r\n";
  return s;
}

}  // namespace

using namespace maillib;

class TestMessageStream : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  Sample sample_;

  QString path(const QString& name) const { return dir_.filePath(name); }

 private Q_SLOTS:
  void initTestCase() {
    sample_ = largeSample();
    writeTestFile(path("large.msg"), sample_.message);
  }

  void decodingInPiecesGivesTheWholeDecoding_data() {
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("damaged");
    const QByteArray data = noise(20000, 3) + text(5000);
    for (Encoding e : {Encoding::Base64, Encoding::QuotedPrintable, Encoding::UUEncode, Encoding::BinHex})
      QTest::newRow(maillib::codec::name(e).constData())
          << int(e) << maillib::codec::encode(e, data, "a.bin", false) << false;
    QTest::newRow("base64, bad byte") << int(Encoding::Base64) << QByteArray("QUJD\r\nR!VG\r\n") << true;
    QTest::newRow("uuencode, no begin line") << int(Encoding::UUEncode) << QByteArray("M86)C\r\nend\r\n") << true;
    const QByteArray uu = maillib::codec::encode(Encoding::UUEncode, data, "a.bin", false);
    QTest::newRow("uuencode after text") << int(Encoding::UUEncode) << "Here is the file:\r\n\r\n" + uu << false;
    QTest::newRow("uuencode, begin only inside a line")
        << int(Encoding::UUEncode) << "this is not begin 644 a\r\n" + uu.mid(uu.indexOf('\n') + 1) << true;
    // Lines shorter than their length byte says, then more text and parts.
    const QByteArray shortLines = readTestFile(QStringLiteral(TOVEL_SOURCE_DIR "/tests/data/uuencode_short_lines.msg"));
    QTest::newRow("uuencode, short lines") << int(Encoding::UUEncode) << shortLines.mid(shortLines.indexOf("\r\n\r\n") + 4)
                                          << false;
    QByteArray cut = uu;
    cut.chop(5);  // "end\r\n"
    QTest::newRow("uuencode, no end line") << int(Encoding::UUEncode) << cut << true;
  }

  void decodingInPiecesGivesTheWholeDecoding() {
    QFETCH(int, encoding);
    QFETCH(QByteArray, body);
    QFETCH(bool, damaged);
    const maillib::codec::Decoded whole = maillib::codec::decode(Encoding(encoding), body);
    QCOMPARE(whole.problem.isEmpty(), !damaged);
    // Pieces cut inside lines, inside "begin ", inside "=XX" and quanta.
    for (qsizetype size : {1, 2, 5, 63, 64, 77, 4096}) {
      maillib::codec::StreamDecoder decoder{Encoding(encoding)};
      QByteArray out;
      for (qsizetype at = 0; at < body.size(); at += size) out += decoder.step(QByteArrayView(body).sliced(at, std::min(size, body.size() - at)));
      out += decoder.finish();
      QCOMPARE(out, whole.data);
      QCOMPARE(decoder.problem(), whole.problem);
    }
  }

  void everyPartOfALargeFileSavesExactly_data() {
    QTest::addColumn<int>("part");
    const char* names[] = {"7bit text", "base64", "quoted-printable", "x-uuencode", "mac-binhex40"};
    for (int i = 0; i < 5; ++i) QTest::newRow(names[i]) << i;
  }

  void everyPartOfALargeFileSavesExactly() {
    QFETCH(int, part);
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, path("large.msg"));
    QCOMPARE(m.Subject(), QStringLiteral("large"));  // after the 40 kB field
    QCOMPARE(m.PartCount(), 5);
    const QString target = path(QStringLiteral("part%1.out").arg(part));
    savePart(m, part, target);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(readTestFile(target), sample_.parts[part]);
  }

  void largeFileReadsItsLinesAndWritesBackUnchanged() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, path("large.msg"));
    QVERIFY(m.HeaderText().endsWith(QStringLiteral("boundary=\"L\"")));
    ops::enter(m, 0);
    const QList<QByteArray> lines = sample_.parts[0].split('\n');
    QCOMPARE(m.LineCount(), lines.size() - 1);
    QCOMPARE(m.BodyText(m.LineCount() - 1).toLatin1() + "\r", lines[lines.size() - 2]);
    QCOMPARE(ops::text(m).toLatin1(), sample_.parts[0]);
    ops::leave(m);
    ops::store(m, path("copy.msg"));
    QCOMPARE(errors.count(), 0);
    QCOMPARE(readTestFile(path("copy.msg")), sample_.message);
  }

  // A message file changed under an open message: replaced by a rename (a
  // folder command storing another message under the name) it reads on as
  // it was; cut short, what could be read of a part is saved and said so,
  // and it is never stored; rewritten between listing and use, it is never
  // stored either.
  void fileChangedUnderAnOpenMessage_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("problem");  // the store's complaint; empty: the part saves whole
    QTest::newRow("replaced by a rename") << "replace" << QString();
    QTest::newRow("cut short") << "cut" << "changed while it was open";
    QTest::newRow("gone between listing and use") << "remove" << "could not be read again";
    QTest::newRow("rewritten in place") << "rewrite" << "changed since its header was read";
  }

  void fileChangedUnderAnOpenMessage() {
    QFETCH(QString, change);
    QFETCH(QString, problem);
    const QString file = writeTestFile(path(change + ".msg"), sample_.message);
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, file);
    const bool listedOnly = change == QLatin1String("rewrite") || change == QLatin1String("remove");
    if (!listedOnly)
      QCOMPARE(m.PartCount(), 5);  // the body is open before the change
    if (change == QLatin1String("replace")) {
      QVERIFY(QFile::remove(file));
      QVERIFY(QFile::rename(writeTestFile(path("other.msg"), "From: x@y.z\r\n\r\nother\r\n"), file));
    } else if (change == QLatin1String("cut")) {
      QFile f(file);
      QVERIFY(f.open(QIODevice::ReadWrite));
      QVERIFY(f.resize(f.size() / 2));
    } else if (change == QLatin1String("remove")) {
      QVERIFY(QFile::remove(file));
    } else {
      writeTestFile(file, QByteArray(sample_.message).replace("Subject: large", "Subject: LARGE"));
    }
    if (!listedOnly) {
      savePart(m, 3, path(change + ".out"));  // the part past the cut
      if (problem.isEmpty()) {
        QCOMPARE(readTestFile(path(change + ".out")), sample_.parts[3]);
        QCOMPARE(errors.count(), 0);
        return;
      }
      QCOMPARE(ops::codes(errors), QList<int>{MailControl::ErrParse});
      QVERIFY(errors.at(0).at(1).toString().contains(problem));
    }
    // Never stored as a message: the copy would be silently wrong, or half
    // written.
    ops::store(m, path(change + "-copy.msg"));
    QVERIFY(m.lastOperationFailed());
    QCOMPARE(ops::codes(errors).last(), int(MailControl::ErrFile));
    QVERIFY(!QFile::exists(path(change + "-copy.msg")));
    if (listedOnly) {
      QCOMPARE(errors.count(), 1);
      QVERIFY2(errors.last().at(1).toString().contains(problem), qPrintable(errors.last().at(1).toString()));
    }
  }

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

QTEST_GUILESS_MAIN(TestMessageStream)
#include "tst_message_stream.moc"
