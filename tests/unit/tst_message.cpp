// The mail control's message side: loading, fields, parts, writing back,
// and messages as they arrive from real mailers: nesting, enclosed
// messages, encoded names, LF files, old encodings, damaged structures.
#include "maillib/mailcontrol.h"
#include "support/files.h"
#include "support/mailops.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString sample(const char* name) { return QStringLiteral(TOVEL_SOURCE_DIR "/tests/data/") + QLatin1String(name); }

const QByteArray kBytes("\x00\x01\x02\x03\x04\xff", 6);

const QByteArray kMixed =
    "Return-Path: <a@example.org>\r\n"
    "From: Ann Example <ann@example.org>\r\n"
    "To: bob@example.net, \"Carl, Jr\" <carl@example.net>\r\n"
    "Cc: dora@example.net; Ed <ed@example.net>\r\n"
    "Bcc: hidden@example.net\r\n"
    "Subject: =?iso-8859-1?Q?Caf=E9?= time\r\n"
    "Date: Sat, 2 May 1998 10:00:00 +0530\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed;\r\n boundary=\"XYZ\"\r\n"
    "\r\n"
    "This is a multi-part message in MIME format.\r\n"
    "--XYZ\r\n"
    "Content-Type: text/plain; charset=us-ascii\r\n"
    "\r\n"
    "Hello Bob,\r\n"
    "second line\r\n"
    "--XYZ\r\n"
    "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"data.bin\"\r\n"
    "\r\n"
    "AAECAwT/\r\n"
    "--XYZ--\r\n";

}  // namespace

class TestMessage : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString path(const QString& name) const { return dir_.filePath(name); }
  QString write(const QString& name, const QByteArray& data) { return writeTestFile(path(name), data); }

 private Q_SLOTS:
  void longTextKeepsEveryLine() {
    // No 16-bit limit: a plain text of 40,000 lines reads to its last line.
    QByteArray text = "From: a@b.c\r\nSubject: long\r\n\r\n";
    for (int i = 0; i < 40000; ++i)
      text += "line " + QByteArray::number(i) + "\r\n";
    MailControl m;
    ops::load(m, write("long.msg", text));
    QCOMPARE(m.LineCount(), 40000);
    QCOMPARE(m.BodyText(39999), QStringLiteral("line 39999"));
  }

  void storedBodyTextIsTheLinesJoined_data() {
    QTest::addColumn<QByteArray>("charset");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("font codes") << QByteArray("iso-8859-1") << QByteArray("\xe0\xe1\r\nb\n")
                                << QString::fromLatin1("\xe0\xe1\r\nb\r\n");
    QTest::newRow("utf-8, last line open") << QByteArray("utf-8") << QByteArray("\xe0\xb6\x85\r\nb")
                                           << QString::fromUtf8("\xe0\xb6\x85\r\nb\r\n");
    // Each line reads on its own: one bad line does not spoil the others.
    QTest::newRow("utf-8 with one bad line")
        << QByteArray("utf-8") << QByteArray("\xe0\xb6\x85\r\n\xe0\r\n")
        << QString::fromUtf8("\xe0\xb6\x85\r\n") + QString::fromLatin1("\xe0\r\n");
    QTest::newRow("no lines") << QByteArray("us-ascii") << QByteArray() << QString();
  }

  void storedBodyTextIsTheLinesJoined() {
    QFETCH(QByteArray, charset);
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    MailControl m;
    QVERIFY(m.loadMessageBytes("Subject: s\r\nContent-Type: text/plain; charset=" + charset + "\r\n\r\n" + body));
    QCOMPARE(m.storedBodyText(), text);
    QString joined;
    for (int i = 0; i < m.LineCount(); ++i)
      joined += m.BodyText(i) + QLatin1String("\r\n");
    QCOMPARE(joined, text);
  }

  void fieldsAndPartsOfAFile() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, write("a.msg", kMixed));
    QCOMPARE(m.From(), QStringLiteral("Ann Example <ann@example.org>"));
    QCOMPARE(m.Subject(), QString::fromUtf8("Café time"));
    QCOMPARE(m.Date(), QStringLiteral("Sat, 2 May 1998 10:00:00 +0530"));
    QCOMPARE(m.BCC(), QStringLiteral("hidden@example.net"));
    QCOMPARE(m.ContentType() + QLatin1Char('/') + m.ContentSubType(), QStringLiteral("multipart/mixed"));
    QCOMPARE(m.Boundary(), QStringLiteral("XYZ"));
    QCOMPARE(m.PartCount(), 2);
    QVERIFY(m.HeaderText().startsWith(QStringLiteral("Return-Path: <a@example.org>\r\nFrom: Ann")));
    QVERIFY(m.HeaderText().endsWith(QStringLiteral("boundary=\"XYZ\"")));
    // Extra lines are those beyond the named fields.
    QCOMPARE(m.HeaderCount(), 3);
    QCOMPARE(m.HeaderLine(0), QStringLiteral("Return-Path: <a@example.org>"));

    ops::enter(m, 0);
    QCOMPARE(m.ContentType(), QStringLiteral("text"));
    QCOMPARE(m.LineCount(), 2);
    QCOMPARE(m.BodyText(0), QStringLiteral("Hello Bob,"));
    QCOMPARE(m.BodyText(1), QStringLiteral("second line"));
    ops::leave(m);
    ops::enter(m, 1);
    QCOMPARE(m.TransferEncoding(), QStringLiteral("base64"));
    QCOMPARE(m.ContentDisposition(), QStringLiteral("attachment; filename=\"data.bin\""));
    QCOMPARE(m.ContentParameters(), QStringLiteral("name=\"data.bin\""));
    ops::save(m, path("data.bin"));
    QCOMPARE(readTestFile(path("data.bin")), kBytes);
    QCOMPARE(ops::text(m), QString::fromLatin1(kBytes));
    ops::leave(m);
    QCOMPARE(m.PartCount(), 2);  // back at the top
    QCOMPARE(errors.count(), 0);
  }

  void typedCallsAnswerInsteadOfSignalling() {
    // The plain member functions do the work of the operation codes, leave
    // the properties alone and say why they failed; no AsyncError at all.
    write("t.msg", kMixed);
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    QString why;
    QVERIFY(!m.loadFile(path("absent.msg"), &why));
    QVERIFY(why.contains(QLatin1String("absent.msg")));
    QVERIFY(m.loadFile(path("t.msg"), &why));
    QVERIFY(why.isEmpty());
    QCOMPARE(m.Subject(), QString::fromUtf8("Café time"));

    QVERIFY(!m.enterPart(7, &why));
    QVERIFY(!why.isEmpty());
    m.leavePart();
    QCOMPARE(m.PartCount(), 2);  // the failed enter stayed balanced
    QVERIFY(m.enterPart(1));
    QCOMPARE(m.partText(&why), QString::fromLatin1(kBytes));
    QVERIFY(why.isEmpty());
    QVERIFY(m.savePartToFile(path("t.bin")));
    QCOMPARE(readTestFile(path("t.bin")), kBytes);
    QVERIFY(!m.savePartToFile(path("no-such-folder/t.bin"), &why));
    QVERIFY(!why.isEmpty());
    m.leavePart();

    QCOMPARE(m.sourceText().toLatin1(), kMixed);
    QVERIFY(m.writeToFile(path("t-copy.msg")));
    QCOMPARE(readTestFile(path("t-copy.msg")), kMixed);
    QVERIFY(!m.writeToFile(path("t-copy.msg"), &why));  // never over a stored message
    QCOMPARE(errors.count(), 0);
    QVERIFY(m.PartFile().isEmpty() && m.MessageFile().isEmpty() && m.OutputText().isEmpty());

    // The numeric codes still report the same failure through the signal.
    ops::enter(m, 7);
    QCOMPARE(ops::codes(errors), QList<int>{MailControl::ErrPart});
    ops::leave(m);
  }

  void typedCallsBuildAMessage() {
    write("note.txt", "attached text\r\n");
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    m.release();
    m.setSubject(QStringLiteral("built"));
    m.setBodyText(0, QStringLiteral("Body first."));
    const int part = m.addPart();
    QCOMPARE(part, 1);
    QVERIFY(m.enterPart(part));
    m.setContentType(QStringLiteral("text"));
    m.setContentDisposition(QStringLiteral("attachment; filename=\"note.txt\""));
    QString why;
    QVERIFY(!m.loadPartFile(path("missing.txt"), &why));
    QVERIFY(why.contains(QLatin1String("missing.txt")));
    QVERIFY(m.loadPartFile(path("note.txt")));
    m.leavePart();
    QVERIFY(m.writeToFile(path("built.msg")));
    QCOMPARE(errors.count(), 0);

    QVERIFY(m.loadFile(path("built.msg")));
    QCOMPARE(m.PartCount(), 2);
    QVERIFY(m.enterPart(1));
    QCOMPARE(m.partText(), QStringLiteral("attached text\r\n"));
  }

  void damagedPartIsSavedAndItsDamageTold() {
    MailControl m;
    QVERIFY(m.loadMessageBytes("From: a@b.c\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD!!RA==\r\n"));
    QString why;
    QVERIFY(m.savePartToFile(path("damaged.bin"), &why));
    QVERIFY(!why.isEmpty());
    QVERIFY(QFile::exists(path("damaged.bin")));
  }

  void singlePartMessageIsItsOwnPartZero() {
    // No Content-Type at all: text/plain.
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, write("c.msg", "From: x@y.z\nSubject: plain\n\nline one\nline two\n"));
    QCOMPARE(m.ContentType() + QLatin1Char('/') + m.ContentSubType(), QStringLiteral("text/plain"));
    QCOMPARE(m.PartCount(), 0);
    QCOMPARE(m.LineCount(), 2);
    QCOMPARE(m.BodyText(1), QStringLiteral("line two"));
    ops::enter(m, 0);
    ops::save(m, path("c.txt"));
    ops::leave(m);
    QCOMPARE(readTestFile(path("c.txt")), QByteArray("line one\nline two\n"));
    QCOMPARE(errors.count(), 0);
    // Part 1 does not exist; the following return still lands at the top.
    ops::enter(m, 1);
    QCOMPARE(ops::codes(errors), QList<int>{MailControl::ErrPart});
    ops::leave(m);
    QCOMPARE(m.Subject(), QStringLiteral("plain"));
  }

  void storesReceivedBytesExactly() {
    // Odd but legal: LF and CRLF mixed, trailing blanks, no final newline.
    const QByteArray raw = "From: a@b.c \r\nSubject: x\n\r\nbody\r\nend";
    MailControl m;
    QVERIFY(m.loadMessageBytes(raw));
    ops::store(m, path("stored.msg"));
    QVERIFY(!m.lastOperationFailed());
    QCOMPARE(readTestFile(path("stored.msg")), raw);
    // Load from file and write again: still the same bytes.
    ops::load(m, path("stored.msg"));
    ops::store(m, path("stored2.msg"));
    QCOMPARE(readTestFile(path("stored2.msg")), raw);
  }

  void failedStoreIsReportedAndNothingOverwritten() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    QVERIFY(m.loadMessageBytes("From: a@b.c\r\n\r\nnew\r\n"));
    ops::store(m, path("missing-folder/x.msg"));
    QVERIFY(m.lastOperationFailed());
    QCOMPARE(ops::codes(errors), QList<int>{MailControl::ErrFile});
    // An existing message is never replaced.
    ops::store(m, write("taken.msg", "old"));
    QVERIFY(m.lastOperationFailed());
    QCOMPARE(readTestFile(path("taken.msg")), QByteArray("old"));
    // Nothing loaded: nothing to store, and that is a failure too.
    m.setActionCode(11);
    ops::store(m, path("empty.msg"));
    QVERIFY(m.lastOperationFailed());
    QVERIFY(!QFile::exists(path("empty.msg")));
  }

  void transportBytesLeaveOutBcc() {
    MailControl m;
    QVERIFY(m.loadMessageBytes(kMixed));
    const QByteArray wire = m.messageBytes(true);
    QVERIFY(!wire.contains("hidden@example.net"));
    QVERIFY(wire.contains("Cc: dora@example.net"));
    QCOMPARE(wire.size(), kMixed.size() - qsizetype(strlen("Bcc: hidden@example.net\r\n")));
    QCOMPARE(m.messageBytes(false), kMixed);
    QCOMPARE(m.recipientAddresses(), QStringList({"bob@example.net", "carl@example.net", "dora@example.net",
                                                  "ed@example.net", "hidden@example.net"}));
  }

  void largeFileIsReadInFullOnlyWhenItsBodyIsUsed() {
    QByteArray lines;
    for (int i = 0; i < 5000; ++i)
      lines += QByteArray(76, 'A') + "\r\n";
    const QByteArray big = QByteArray(kMixed).replace("AAECAwT/\r\n", QByteArray(6000, 'A') + lines + "AAECAwT/\r\n");
    QVERIFY(big.size() > 300 * 1024);
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, write("big.msg", big));
    QCOMPARE(m.Subject(), QString::fromUtf8("Café time"));
    QCOMPARE(m.PartCount(), 2);
    ops::store(m, path("big-copy.msg"));
    QCOMPARE(readTestFile(path("big-copy.msg")), big);
    // Gone between listing and use: the store fails loudly, nothing half written.
    ops::load(m, path("big.msg"));
    QVERIFY(QFile::remove(path("big.msg")));
    ops::store(m, path("big-copy2.msg"));
    QVERIFY(m.lastOperationFailed());
    QVERIFY(!QFile::exists(path("big-copy2.msg")));
    QCOMPARE(errors.count(), 1);
  }

  void badFilesGiveEmptyFieldsAndAnError() {
    MailControl m;
    QVERIFY(m.loadMessageBytes(kMixed));
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, path("does-not-exist.msg"));
    QCOMPARE(ops::codes(errors), QList<int>{MailControl::ErrFile});
    QCOMPARE(m.From(), QString());  // nothing of the earlier message
    QCOMPARE(m.PartCount(), 0);
    ops::load(m, write("empty.msg", ""));
    QCOMPARE(errors.count(), 2);
    QByteArray junk(4096, '\0');
    for (int i = 0; i < junk.size(); ++i)
      junk[i] = char((i * 7919) % 251);
    ops::load(m, write("junk.msg", junk));
    QCOMPARE(errors.count(), 3);
    QCOMPARE(ops::codes(errors).at(2), int(MailControl::ErrParse));
    QCOMPARE(m.Subject(), QString());
    ops::enter(m, 3);
    QCOMPARE(errors.count(), 4);
  }

  void nestedAlternativeRelatedAndEnclosedMessage() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, sample("nested.msg"));
    QCOMPARE(m.PartCount(), 3);

    ops::enter(m, 0);  // multipart/alternative
    QCOMPARE(m.ContentSubType(), QStringLiteral("alternative"));
    QCOMPARE(m.PartCount(), 2);
    ops::enter(m, 0);
    QCOMPARE(ops::text(m), QString::fromUtf8("Plain ආ text with a soft break"));
    ops::leave(m);
    ops::enter(m, 1);  // multipart/related
    QCOMPARE(m.PartCount(), 2);
    ops::enter(m, 1);
    QCOMPARE(m.ContentType() + QLatin1Char('/') + m.ContentSubType(), QStringLiteral("image/gif"));
    ops::save(m, path("dot.gif"));
    QVERIFY(readTestFile(path("dot.gif")).startsWith("GIF89a"));
    for (int up = 0; up < 3; ++up)
      ops::leave(m);
    QCOMPARE(m.PartCount(), 3);

    // The enclosed message: its own header fields and parts, the part's
    // own MIME fields.
    ops::enter(m, 1);
    QCOMPARE(m.ContentType(), QStringLiteral("message"));
    QCOMPARE(m.ContentDisposition(), QStringLiteral("attachment; filename=\"fwd.eml\""));
    QCOMPARE(m.From(), QStringLiteral("Carl <carl@example.net>"));
    QCOMPARE(m.Subject(), QString::fromUtf8("தமிழ்"));
    QCOMPARE(m.PartCount(), 2);
    ops::save(m, path("fwd.eml"));
    QVERIFY(readTestFile(path("fwd.eml")).startsWith("From: Carl <carl@example.net>\r\n"));
    ops::enter(m, 1);
    // RFC 2231 continuation with a charset.
    QCOMPARE(m.ContentDisposition(), QString::fromUtf8("attachment; filename=\"ලිpi.pdf\""));
    QCOMPARE(ops::text(m), QStringLiteral("%PDF-1.4\n"));
    ops::leave(m);
    ops::leave(m);
    QCOMPARE(m.From(), QStringLiteral("\"Ann\" <ann@example.org>"));

    ops::enter(m, 2);  // uuencoded, RFC 2047 name
    QCOMPARE(m.ContentParameters(), QString::fromUtf8("name=\"résumé.bin\""));
    QCOMPARE(m.TransferEncoding(), QStringLiteral("x-uuencode"));
    QCOMPARE(ops::text(m), QStringLiteral("abc"));
    ops::leave(m);
    QCOMPARE(errors.count(), 0);
  }

  void lfFilesEightBitAndBinhexContent() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, sample("lf_only.msg"));
    QCOMPARE(m.Subject(), QStringLiteral("LF line ends"));
    QCOMPARE(m.PartCount(), 3);
    ops::enter(m, 0);
    QCOMPARE(m.LineCount(), 1);
    QCOMPARE(m.BodyText(0), QString::fromLatin1("caf\xe9 au lait"));
    ops::leave(m);
    ops::enter(m, 1);
    ops::save(m, path("hello.txt"));
    QCOMPARE(readTestFile(path("hello.txt")), QByteArray("Hello, BinHex!\n"));
    ops::leave(m);
    ops::enter(m, 2);
    QCOMPARE(m.BodyText(0), QString::fromUtf8("ආ raw utf-8"));
    ops::leave(m);
    QCOMPARE(errors.count(), 0);
  }

  void truncatedMultipartGivesWhatItHasAndAnError() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    ops::load(m, sample("truncated.msg"));
    QCOMPARE(m.Subject(), QStringLiteral("truncated"));
    QCOMPARE(m.PartCount(), 2);
    ops::enter(m, 0);
    QCOMPARE(m.BodyText(0), QStringLiteral("first part"));
    QVERIFY(errors.count() >= 1);
    QCOMPARE(ops::codes(errors).first(), int(MailControl::ErrParse));
    ops::leave(m);
    ops::enter(m, 1);
    QCOMPARE(ops::text(m).toLatin1(), QByteArray("\x00\x01\x02", 3));
  }

  void brokenStructuresNeverHang_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("reported");  // decoding the top part signals one damage
    const QByteArray head = "From: a@b.c\r\nSubject: s\r\n";
    QTest::newRow("no boundary") << head + "Content-Type: multipart/mixed\r\n\r\ntext\r\n" << false;
    QTest::newRow("boundary never used")
        << head + "Content-Type: multipart/mixed; boundary=q\r\n\r\nonly preamble\r\n" << false;
    QTest::newRow("duplicate boundaries")
        << head + "Content-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\n\r\na\r\n--q\r\n--q\r\n\r\nb\r\n--q--\r\n--q--\r\n"
        << false;
    QByteArray deep = head;
    for (int i = 0; i < 1000; ++i)
      deep += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) + "\r\n\r\n--b" +
              QByteArray::number(i) + "\r\n";
    QTest::newRow("nesting 1000 deep") << deep << false;
    QTest::newRow("10 MB header line") << head + "X-Long: " + QByteArray(10 * 1024 * 1024, 'x') + "\r\n\r\nbody\r\n"
                                       << false;
    QTest::newRow("bad base64") << head + "Content-Transfer-Encoding: base64\r\n\r\n!!!!####\x01\x02\r\n" << false;
    QTest::newRow("damaged base64") << head + "Content-Transfer-Encoding: base64\r\n\r\nAA!!AA\r\n" << true;
    QTest::newRow("bad quoted-printable")
        << head + "Content-Transfer-Encoding: quoted-printable\r\n\r\n=ZZ=\r\n=4\r\n" << false;
    QTest::newRow("uuencode without begin") << head + "Content-Transfer-Encoding: x-uuencode\r\n\r\nM86)C\r\n" << true;
    QTest::newRow("bad binhex") << head + "Content-Transfer-Encoding: mac-binhex40\r\n\r\n:!!!!\r\n" << true;
    QTest::newRow("bad encoded words")
        << QByteArray("From: =?utf-8?B?####?= <a@b.c>\r\nSubject: =?x?Q?=ZZ?= =?utf-8?q?\r\n\r\n") << false;
    QTest::newRow("headers only, no body") << QByteArray("From: a@b.c\r\nSubject: s") << false;
  }

  void brokenStructuresNeverHang() {
    QFETCH(QByteArray, raw);
    QFETCH(bool, reported);
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    QVERIFY(m.loadMessageBytes(raw));
    QCOMPARE(m.messageBytes(false), raw);  // kept exactly, whatever it is
    if (reported) {
      (void)ops::text(m);
      QCOMPARE(ops::codes(errors), QList<int>{MailControl::ErrParse});
    }
    // Walk everything; nothing may crash or loop.
    std::function<void(int)> walk = [&](int depth) {
      (void)m.From();
      (void)m.Subject();
      (void)m.ContentParameters();
      for (int i = 0; i < m.LineCount(); ++i)
        (void)m.BodyText(i);
      (void)ops::text(m);
      const int n = m.PartCount();
      for (int i = 0; i <= n && depth < 1100; ++i) {
        ops::enter(m, i);
        walk(depth + 1);
        ops::leave(m);
      }
    };
    walk(0);
  }

  void topLevelEnclosedMessage() {
    // A bounce or forward sent as message/rfc822 itself.
    MailControl m;
    QVERIFY(m.loadMessageBytes("From: postmaster@x.org\r\nSubject: returned\r\n"
                               "Content-Type: message/rfc822\r\n\r\n"
                               "From: me@y.org\r\nSubject: original\r\n\r\nthe text\r\n"));
    QCOMPARE(m.PartCount(), 0);
    QCOMPARE(m.LineCount(), 4);  // the enclosed message as stored
    ops::enter(m, 0);
    QCOMPARE(m.Subject(), QStringLiteral("original"));
    QCOMPARE(m.BodyText(0), QStringLiteral("the text"));
    QCOMPARE(ops::text(m), QStringLiteral("From: me@y.org\r\nSubject: original\r\n\r\nthe text\r\n"));
    ops::leave(m);
    QCOMPARE(m.Subject(), QStringLiteral("returned"));
  }

  void headerTextRules() {
    MailControl m;
    QVERIFY(m.loadMessageBytes("From: =?iso-8859-1?Q?J=F6rg?= <j@x.de>\r\n"
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

QTEST_GUILESS_MAIN(TestMessage)
#include "tst_message.moc"
