// Text rules of the message side: charsets, encoded words, address lists,
// parameters, the quoted-printable encoder.
#include <QRandomGenerator>
#include <QTest>

#include "maillib/addresses.h"
#include "maillib/mimetext.h"
#include "maillib/parameters.h"
#include "maillib/transfercodec.h"

using namespace maillib;

class TestMimeText : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void charsetsMapBytesAsTheFontsNeed() {
    const QByteArray bytes("\x80\x9f\xa0\xe9", 4);
    // Single-byte labels and unknown ones: byte n is character n.
    for (const char* cs : {"us-ascii", "ISO-8859-1", "windows-1252", "x-nonsense", "", "\"latin1\""})
      QCOMPARE(mimetext::bytesToText(bytes, cs), QString::fromLatin1(bytes));
    QCOMPARE(mimetext::bytesToText("\xc3\xa9", "UTF-8"), QString::fromUtf8("é"));
    // Mislabelled UTF-8 keeps its bytes rather than turning into U+FFFD.
    QCOMPARE(mimetext::bytesToText("\xe9t\xe9", "utf-8"), QString::fromLatin1("\xe9t\xe9"));
    // Other real charsets are converted.
    QCOMPARE(mimetext::bytesToText("\xf0\xd2\xc9", "koi8-r"), QString::fromUtf8("При"));
    QCOMPARE(mimetext::bytesToText(QByteArray("\xff\xfe" "a\0", 4), "utf-16"), QStringLiteral("a"));
  }

  void encodedWordsDecode_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("text");
    QTest::newRow("q") << QByteArray("=?ISO-8859-1?Q?Andr=E9_Pirard?=") << QString::fromUtf8("André Pirard");
    QTest::newRow("b utf8") << QByteArray("=?UTF-8?B?4LeD4LeS4LaC4LeE4La9?=") << QString::fromUtf8("සිංහල");
    QTest::newRow("adjacent words join") << QByteArray("=?utf-8?q?a?=  \r\n =?utf-8?q?b?=") << QStringLiteral("ab");
    QTest::newRow("text between stays") << QByteArray("=?utf-8?q?a?= x =?utf-8?q?b?=") << QStringLiteral("a x b");
    QTest::newRow("language suffix") << QByteArray("=?utf-8*en?q?hi?=") << QStringLiteral("hi");
    QTest::newRow("bad base64 left alone") << QByteArray("=?utf-8?b?###?=") << QStringLiteral("=?utf-8?b?###?=");
    QTest::newRow("unterminated") << QByteArray("=?utf-8?q?abc") << QStringLiteral("=?utf-8?q?abc");
    QTest::newRow("unknown encoding") << QByteArray("=?utf-8?x?abc?=") << QStringLiteral("=?utf-8?x?abc?=");
    QTest::newRow("raw utf-8") << QByteArray("\xe0\xb6\x86") << QString::fromUtf8("ආ");
    QTest::newRow("raw latin-1") << QByteArray("\xe0\xb6") << QString::fromLatin1("\xe0\xb6");
    QTest::newRow("folded") << QByteArray("one\r\n two") << QStringLiteral("one two");
    QTest::newRow("'?' ends the text") << QByteArray("=?utf-8?q?a?b?=") << QStringLiteral("=?utf-8?q?a?b?=");
    QTest::newRow("word after an unclosed one") << QByteArray("=?utf-8?q?x =?utf-8?q?y?=")
                                                << QStringLiteral("=?utf-8?q?x y");
    // Each start would once look for its end through all the rest.
    const QByteArray starts = QByteArray("=?a?b?A").repeated(200000);
    QTest::newRow("200,000 words that never end") << starts << QString::fromLatin1(starts);
  }

  void longValuesFold_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("lines");
    QTest::newRow("short") << QByteArray("a short subject") << 1;
    QTest::newRow("words") << QByteArray("word ").repeated(20000).trimmed() << 1334;
    QTest::newRow("one long word stays whole") << QByteArray(500, 'x') << 1;
  }

  void longValuesFold() {
    QFETCH(QByteArray, value);
    QFETCH(int, lines);
    const QByteArray folded = mimetext::foldHeaderLine("Subject", value);
    QVERIFY(folded.endsWith("\r\n"));
    const QList<QByteArray> physical = folded.chopped(2).split('\n');
    QCOMPARE(physical.size(), lines);
    if (lines > 1)
      for (const QByteArray& line : physical)
        QVERIFY(line.size() <= 79);  // 78 and the CR
    QCOMPARE(mimetext::unfold(folded), "Subject: " + value);
  }

  void encodedWordsDecode() {
    QFETCH(QByteArray, raw);
    QFETCH(QString, text);
    QCOMPARE(mimetext::decodeHeader(raw), text);
  }

  void headerTextRoundTrips() {
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 200; ++round) {
      QString s;
      const int len = int(rng->bounded(1, 120));
      const bool wide = round % 2;
      for (int i = 0; i < len; ++i) {
        char16_t c = char16_t(rng->bounded(32, wide ? 0x0DFF : 0x100));
        if (c >= 0x7F && c < 0xA0 && !wide) c = 0xE9;
        if (c >= 0xD800 && c < 0xE000) c = 'x';
        s += QChar(c);
      }
      s = s.simplified();
      const QByteArray encoded = mimetext::encodeText(s);
      QVERIFY(mimetext::isAscii(encoded));
      QCOMPARE(mimetext::decodeHeader(encoded), s);
    }
  }

  void addressListsReadLikeMailersWrite_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("mailboxes");  // "name|address"
    QTest::newRow("bare") << "a@x.org" << QStringList{"|a@x.org"};
    QTest::newRow("quoted comma, semicolons, empty entries")
        << "\"Doe, John\" <j@x.org>; b@y.org ,, <c@z.org>" << QStringList{"Doe, John|j@x.org", "|b@y.org", "|c@z.org"};
    QTest::newRow("comment name and a group")
        << "d@x.org (Dora, home), friends: e@x.org, f@x.org;" << QStringList{"Dora, home|d@x.org", "|e@x.org", "|f@x.org"};
    QTest::newRow("empty group") << "undisclosed-recipients:;" << QStringList();
    QTest::newRow("nothing") << "" << QStringList();
    QTest::newRow("separators only") << " , ;; " << QStringList();
    QTest::newRow("no space before angle") << "\"Me\"<me@example.org>" << QStringList{"Me|me@example.org"};
    QTest::newRow("comma inside angle brackets") << "<odd,one@x.org>" << QStringList{"|odd,one@x.org"};
    QTest::newRow("stray backslashes stay") << "\"C:\\dir\\mail\" <x@y.org>" << QStringList{"C:\\dir\\mail|x@y.org"};
    QTest::newRow("escaped quote and backslash") << "\"a \\\"b\\\" \\\\c\" <x@y.org>" << QStringList{"a \"b\" \\c|x@y.org"};
    QTest::newRow("encoded name") << "=?UTF-8?B?4LeD4LeS4LaC4LeE4La9?= <s@x.org>" << QStringList{QString::fromUtf8("සිංහල|s@x.org")};
    QTest::newRow("lone quoted address") << "\"a@b.org\"" << QStringList{"|a@b.org"};
    QTest::newRow("8-bit font name") << QString::fromLatin1("\xaa\x9f <f@x.lk>") << QStringList{QString::fromLatin1("\xaa\x9f|f@x.lk")};
  }

  void addressListsReadLikeMailersWrite() {
    QFETCH(QString, list);
    QFETCH(QStringList, mailboxes);
    QStringList got;
    for (const maillib::Mailbox& m : maillib::parseAddressList(list))
      got << m.name + QLatin1Char('|') + m.address;
    QCOMPARE(got, mailboxes);
  }

  void addressListsSurviveTheHeader_data() {
    QTest::addColumn<QString>("list");
    QTest::newRow("specials in a plain name") << "\"Perera, Nimal\" <n@x.lk>, John Q. Public <j@x.org>";
    QTest::newRow("specials in an encoded name") << QString::fromUtf8("\"Zoë; the first\" <z@x.org>; b@y.org");
    QTest::newRow("sinhala and tamil") << QString::fromUtf8("සිංහල නම <s@x.lk>, தமிழ் <t@x.lk>");
    QTest::newRow("8-bit font codes") << QString::fromLatin1("\"\xaa\x9f, \xe9\" <f@x.lk>");
    QTest::newRow("backslash and quote") << "\"C:\\\\dir \\\"x\\\"\" <c@x.org>";
    QTest::newRow("group") << "team: a@x.org, b@x.org;, c@x.org";
  }

  void addressListsSurviveTheHeader() {
    // Written into a header and read back, every mailbox is the same, and
    // the readable text splits into the same mailboxes again.
    QFETCH(QString, list);
    auto mailboxes = [](const QString& text) {
      QStringList out;
      for (const maillib::Mailbox& m : maillib::parseAddressList(text))
        out << m.name + QLatin1Char('|') + m.address;
      return out;
    };
    const QByteArray header = maillib::encodeAddressList(list);
    QVERIFY(mimetext::isAscii(header));
    const QString readable = maillib::decodeAddressHeader(header);
    QCOMPARE(mailboxes(readable), mailboxes(list));
    QCOMPARE(mailboxes(QString::fromLatin1(header)).size(), mailboxes(list).size());
  }

  void decodedNamesKeepTheirQuotesAddressesStayEncoded() {
    QCOMPARE(maillib::decodeAddressHeader("=?utf-8?q?Doe=2C_John?= <j@x.org>, b@y.org"),
             QStringLiteral("\"Doe, John\" <j@x.org>, b@y.org"));
    QCOMPARE(maillib::decodeAddressHeader("Plain <p@x.org>"), QStringLiteral("Plain <p@x.org>"));
    // An encoded word where the address belongs is never turned into one.
    const QByteArray crafted = "=?utf-8?q?a=0D=0ARCPT_TO=3A=3Cevil=40x=3E?=@x.org";
    QCOMPARE(maillib::decodeAddressHeader(crafted), QString::fromLatin1(crafted));
    QCOMPARE(maillib::splitAddressList(maillib::decodeAddressHeader(crafted)), QStringList{QString::fromLatin1(crafted)});
  }

  void displayNamesAreEncodedAddressesAreNot() {
    const QByteArray enc = maillib::encodeAddressList(QString::fromUtf8("සිංහල <s@x.org>, b@y.org"));
    QVERIFY(mimetext::isAscii(enc));
    QVERIFY(enc.contains("<s@x.org>"));
    QVERIFY(enc.contains(", b@y.org"));
    QCOMPARE(maillib::decodeAddressHeader(enc), QString::fromUtf8("සිංහල <s@x.org>, b@y.org"));
    // A plain name with a comma keeps its quotes next to an encoded one.
    const QByteArray mixed = maillib::encodeAddressList(QString::fromUtf8("\"Doe, John\" <j@x.org>, Zoë <z@x.org>"));
    QVERIFY(mixed.startsWith("\"Doe, John\" <j@x.org>, =?iso-8859-1?B?"));
    QCOMPARE(maillib::splitAddressList(maillib::decodeAddressHeader(mixed)), QStringList({"j@x.org", "z@x.org"}));
  }

  void parametersAreReadAndSet() {
    const QByteArray p = "charset=\"us-ascii\"; name=\"a;b.txt\"; format=flowed";
    QCOMPARE(mimetext::parameter(p, "NAME"), QByteArray("a;b.txt"));
    QCOMPARE(mimetext::parameter(p, "format"), QByteArray("flowed"));
    QVERIFY(mimetext::parameter(p, "boundary").isNull());
    QCOMPARE(mimetext::withParameter(p, "charset", "iso-8859-1"),
             QByteArray("charset=iso-8859-1; name=\"a;b.txt\"; format=flowed"));
    QCOMPARE(mimetext::withParameter("", "boundary", "=_x y"), QByteArray("boundary=\"=_x y\""));
    // Non-ASCII names go out in the RFC 2231 form and read back decoded.
    const QByteArray field = mimetext::encodeParameterField(QString::fromUtf8("attachment; filename=\"ලිපිය.pdf\""));
    QVERIFY(mimetext::isAscii(field));
    QCOMPARE(maillib::readableParameters(mimetext::splitAtFirstParameter(field).second),
             QString::fromUtf8("filename=\"ලිපිය.pdf\""));
    // Decoded values are written back escaped, so they read the same again.
    const QString readable = maillib::readableParameters("filename*=utf-8''C%3A%5Cd%22q%22%5C%E0%B6%85.zip; size=3");
    QCOMPARE(maillib::parameterValue(readable, QStringLiteral("filename")), QString::fromUtf8("C:\\d\"q\"\\අ.zip"));
    QCOMPARE(maillib::parameterValue(readable, QStringLiteral("SIZE")), QStringLiteral("3"));
  }

  void lineBreaksBecomeCrLf_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("no break") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("already CR LF") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone CR") << QByteArray("a\rb") << QByteArray("a\r\nb");
    QTest::newRow("CR at the end") << QByteArray("a\r") << QByteArray("a\r\n");
    QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << QByteArray("a\r\n\r\nb");
    QTest::newRow("mixed after good lines") << QByteArray("x\r\ny\r\nz\n\r\r\nw")
                                            << QByteArray("x\r\ny\r\nz\r\n\r\n\r\nw");
    QTest::newRow("breaks only") << QByteArray("\n\n\r") << QByteArray("\r\n\r\n\r\n");
  }

  void lineBreaksBecomeCrLf() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    QCOMPARE(mimetext::toCrlf(in), out);
  }

  void quotedPrintableKeepsEveryByte() {
    QByteArray binary;
    for (int i = 0; i < 3000; ++i) binary.append(char((i * 7) & 0xFF));
    binary += "\r\n \r\nFrom me\r\n.\r\ntrailing   ";
    // Text: CRLF line ends are hard breaks; binary: every CR and LF encoded.
    QByteArray text8 = binary;
    text8.replace('\r', 'r').replace('\n', 'n').replace("rn", "\r\n");
    for (bool text : {false, true}) {
      const QByteArray& sample = text ? text8 : binary;
      const QByteArray enc = codec::encodeQuotedPrintable(sample, text);
      for (const QByteArray& line : enc.split('\n')) {
        QVERIFY(line.size() <= 77);
        QVERIFY(!line.startsWith("From ") && !line.startsWith("."));
        QVERIFY(!line.endsWith(" \r") && !line.endsWith(" "));
      }
      const QByteArray back = codec::decode(codec::Encoding::QuotedPrintable, enc).data;
      QCOMPARE(back, sample);
    }
  }
};

QTEST_GUILESS_MAIN(TestMimeText)
#include "tst_mime_text.moc"
