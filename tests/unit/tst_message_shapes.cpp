// Messages as they arrive from real mailers: nesting, enclosed messages,
// encoded names, LF files, old encodings, and damaged structures.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "maillib/mailcontrol.h"

namespace {

QString sample(const char* name) {
  return QStringLiteral(TOVEL_SOURCE_DIR "/tests/data/") + QLatin1String(name);
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void load(MailControl& m, const QString& file) {
  m.setPartFile(file);
  m.setTransferFlags(2);
  m.setActionCode(13);
}

void enter(MailControl& m, int i) {
  m.setPartIndex(i);
  m.setActionCode(7);
}

QString decodedText(MailControl& m) {
  m.setTransferFlags(24);
  m.setActionCode(5);
  return m.OutputText();
}

}  // namespace

class TestMessageShapes : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private Q_SLOTS:
  void nestedAlternativeRelatedAndEnclosedMessage() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    load(m, sample("nested.msg"));
    QCOMPARE(m.PartCount(), 3);

    enter(m, 0);  // multipart/alternative
    QCOMPARE(m.ContentSubType(), QStringLiteral("alternative"));
    QCOMPARE(m.PartCount(), 2);
    enter(m, 0);
    QCOMPARE(decodedText(m), QString::fromUtf8("Plain ආ text with a soft break"));
    m.setActionCode(2);
    enter(m, 1);  // multipart/related
    QCOMPARE(m.PartCount(), 2);
    enter(m, 1);
    QCOMPARE(m.ContentType() + QLatin1Char('/') + m.ContentSubType(), QStringLiteral("image/gif"));
    m.setMessageFile(dir_.filePath(QStringLiteral("dot.gif")));
    m.setTransferFlags(40);
    m.setActionCode(5);
    QVERIFY(readAll(dir_.filePath(QStringLiteral("dot.gif"))).startsWith("GIF89a"));
    m.setActionCode(2);
    m.setActionCode(2);
    m.setActionCode(2);
    QCOMPARE(m.PartCount(), 3);

    // The enclosed message: its own header fields and parts, the part's
    // own MIME fields.
    enter(m, 1);
    QCOMPARE(m.ContentType(), QStringLiteral("message"));
    QCOMPARE(m.ContentDisposition(), QStringLiteral("attachment; filename=\"fwd.eml\""));
    QCOMPARE(m.From(), QStringLiteral("Carl <carl@example.net>"));
    QCOMPARE(m.Subject(), QString::fromUtf8("தமிழ்"));
    QCOMPARE(m.PartCount(), 2);
    m.setMessageFile(dir_.filePath(QStringLiteral("fwd.eml")));
    m.setTransferFlags(40);
    m.setActionCode(5);
    QVERIFY(readAll(dir_.filePath(QStringLiteral("fwd.eml"))).startsWith("From: Carl <carl@example.net>\r\n"));
    enter(m, 1);
    // RFC 2231 continuation with a charset.
    QCOMPARE(m.ContentDisposition(), QString::fromUtf8("attachment; filename=\"ලිpi.pdf\""));
    QCOMPARE(decodedText(m), QStringLiteral("%PDF-1.4\n"));
    m.setActionCode(2);
    m.setActionCode(2);
    QCOMPARE(m.From(), QStringLiteral("\"Ann\" <ann@example.org>"));

    enter(m, 2);  // uuencoded, RFC 2047 name
    QCOMPARE(m.ContentParameters(), QString::fromUtf8("name=\"résumé.bin\""));
    QCOMPARE(m.TransferEncoding(), QStringLiteral("x-uuencode"));
    QCOMPARE(decodedText(m), QStringLiteral("abc"));
    m.setActionCode(2);
    QCOMPARE(errors.count(), 0);
  }

  void lfFilesEightBitAndBinhexContent() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    load(m, sample("lf_only.msg"));
    QCOMPARE(m.Subject(), QStringLiteral("LF line ends"));
    QCOMPARE(m.PartCount(), 3);
    enter(m, 0);
    QCOMPARE(m.LineCount(), 1);
    QCOMPARE(m.BodyText(0), QString::fromLatin1("caf\xe9 au lait"));
    m.setActionCode(2);
    enter(m, 1);
    m.setMessageFile(dir_.filePath(QStringLiteral("hello.txt")));
    m.setTransferFlags(40);
    m.setActionCode(5);
    QCOMPARE(readAll(dir_.filePath(QStringLiteral("hello.txt"))), QByteArray("Hello, BinHex!\n"));
    m.setActionCode(2);
    enter(m, 2);
    QCOMPARE(m.BodyText(0), QString::fromUtf8("ආ raw utf-8"));
    m.setActionCode(2);
    QCOMPARE(errors.count(), 0);
  }

  void truncatedMultipartGivesWhatItHasAndAnError() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    load(m, sample("truncated.msg"));
    QCOMPARE(m.Subject(), QStringLiteral("truncated"));
    QCOMPARE(m.PartCount(), 2);
    enter(m, 0);
    QCOMPARE(m.BodyText(0), QStringLiteral("first part"));
    QVERIFY(errors.count() >= 1);
    QCOMPARE(errors.at(0).at(0).toInt(), int(MailControl::ErrParse));
    m.setActionCode(2);
    enter(m, 1);
    QCOMPARE(decodedText(m).toLatin1(), QByteArray("\x00\x01\x02", 3));
  }

  void brokenStructuresNeverHang_data() {
    QTest::addColumn<QByteArray>("raw");
    const QByteArray head = "From: a@b.c\r\nSubject: s\r\n";
    QTest::newRow("no boundary") << head + "Content-Type: multipart/mixed\r\n\r\ntext\r\n";
    QTest::newRow("boundary never used")
        << head + "Content-Type: multipart/mixed; boundary=q\r\n\r\nonly preamble\r\n";
    QTest::newRow("duplicate boundaries")
        << head + "Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\n\r\na\r\n--q\r\n--q\r\n\r\nb\r\n--q--\r\n--q--\r\n";
    QByteArray deep = head;
    for (int i = 0; i < 1000; ++i)
      deep += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) + "\r\n\r\n--b" +
              QByteArray::number(i) + "\r\n";
    QTest::newRow("nesting 1000 deep") << deep;
    QTest::newRow("10 MB header line") << head + "X-Long: " + QByteArray(10 * 1024 * 1024, 'x') + "\r\n\r\nbody\r\n";
    QTest::newRow("bad base64")
        << head + "Content-Transfer-Encoding: base64\r\n\r\n!!!!####\x01\x02\r\n";
    QTest::newRow("bad quoted-printable")
        << head + "Content-Transfer-Encoding: quoted-printable\r\n\r\n=ZZ=\r\n=4\r\n";
    QTest::newRow("uuencode without begin") << head + "Content-Transfer-Encoding: x-uuencode\r\n\r\nM86)C\r\n";
    QTest::newRow("bad binhex") << head + "Content-Transfer-Encoding: mac-binhex40\r\n\r\n:!!!!\r\n";
    QTest::newRow("bad encoded words") << QByteArray("From: =?utf-8?B?####?= <a@b.c>\r\nSubject: =?x?Q?=ZZ?= =?utf-8?q?\r\n\r\n");
    QTest::newRow("headers only, no body") << QByteArray("From: a@b.c\r\nSubject: s");
  }

  void brokenStructuresNeverHang() {
    QFETCH(QByteArray, raw);
    MailControl m;
    QVERIFY(m.loadMessageBytes(raw));
    QCOMPARE(m.messageBytes(false), raw);  // kept exactly, whatever it is
    // Walk everything; nothing may crash or loop.
    std::function<void(int)> walk = [&](int depth) {
      (void)m.From();
      (void)m.Subject();
      (void)m.ContentParameters();
      for (int i = 0; i < m.LineCount(); ++i) (void)m.BodyText(i);
      (void)decodedText(m);
      const int n = m.PartCount();
      for (int i = 0; i <= n && depth < 1100; ++i) {
        enter(m, i);
        walk(depth + 1);
        m.setActionCode(2);
      }
    };
    walk(0);
  }

  void damagedEncodingsAreReported() {
    const QByteArray head = "From: a@b.c\r\nSubject: s\r\n";
    for (const QByteArray& body :
         {QByteArray("Content-Transfer-Encoding: base64\r\n\r\nAA!!AA\r\n"),
          QByteArray("Content-Transfer-Encoding: x-uuencode\r\n\r\nM86)C\r\n"),
          QByteArray("Content-Transfer-Encoding: mac-binhex40\r\n\r\n:!!!!\r\n")}) {
      MailControl m;
      QSignalSpy errors(&m, &MailControl::AsyncError);
      QVERIFY(m.loadMessageBytes(head + body));
      (void)decodedText(m);
      QCOMPARE(errors.count(), 1);
      QCOMPARE(errors.at(0).at(0).toInt(), int(MailControl::ErrParse));
    }
  }

  void topLevelEnclosedMessage() {
    // A bounce or forward sent as message/rfc822 itself.
    MailControl m;
    QVERIFY(m.loadMessageBytes("From: postmaster@x.org\r\nSubject: returned\r\n"
                               "Content-Type: message/rfc822\r\n\r\n"
                               "From: me@y.org\r\nSubject: original\r\n\r\nthe text\r\n"));
    QCOMPARE(m.PartCount(), 0);
    QCOMPARE(m.LineCount(), 4);  // the enclosed message as stored
    enter(m, 0);
    QCOMPARE(m.Subject(), QStringLiteral("original"));
    QCOMPARE(m.BodyText(0), QStringLiteral("the text"));
    QCOMPARE(decodedText(m), QStringLiteral("From: me@y.org\r\nSubject: original\r\n\r\nthe text\r\n"));
    m.setActionCode(2);
    QCOMPARE(m.Subject(), QStringLiteral("returned"));
  }

  void headerTextRules() {
    MailControl m;
    QVERIFY(m.loadMessageBytes(
        "From: =?iso-8859-1?Q?J=F6rg?= <j@x.de>\r\n"
        "Subject: =?utf-8?Q?a?= =?utf-8?Q?b?= c =?windows-1252?Q?=80?=\r\n"
        "To: \xe0\xb6\x86 <raw8@x>\r\n"
        "Cc: \xe9t\xe9 <latin@x>\r\n"
        "\r\nbody"));
    QCOMPARE(m.From(), QString::fromUtf8("Jörg <j@x.de>"));
    // Blanks between encoded words vanish; windows-1252 keeps byte 0x80.
    QCOMPARE(m.Subject(), QStringLiteral("ab c ") + QChar(0x80));
    QCOMPARE(m.To(), QString::fromUtf8("ආ <raw8@x>"));
    QCOMPARE(m.CC(), QString::fromLatin1("\xe9t\xe9 <latin@x>"));
  }
};

QTEST_GUILESS_MAIN(TestMessageShapes)
#include "tst_message_shapes.moc"
