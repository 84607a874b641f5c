// The mail control's message side: its text rules (charsets, encoded
// words, address lists, parameters, the quoted-printable encoder),
// loading, fields, parts, writing back, and messages as they arrive from
// real mailers: nesting, enclosed messages, encoded names, LF files, old
// encodings, damaged structures.
#include "maillib/addresses.h"
#include "maillib/mailcontrol.h"
#include "maillib/messageengine.h"
#include "maillib/messageengine_common.h"
#include "maillib/mimetext.h"
#include "maillib/parameters.h"
#include "maillib/transfercodec.h"
#include "support/files.h"
#include "support/mailops.h"

#include <QFile>
#include <QRandomGenerator>
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

using namespace maillib;

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

  void headerBlocksSplitIntoFields_data() {
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("fields");  // name=value, "|" between; folds shown as "/"
    QTest::addColumn<int>("bodyStart");
    QTest::newRow("crlf folds") << QByteArray("Received: a\r\n\tb\r\n c\r\nTo: x\r\n\r\nbody")
                                << QStringLiteral("Received=a/\tb/ c|To=x") << 30;
    QTest::newRow("lf, blank before colon, empty value") << QByteArray("Subject :  hi\nX-Empty:\n\nbody")
                                                         << QStringLiteral("Subject=hi|X-Empty=") << 24;
    QTest::newRow("mbox line, no empty line") << QByteArray("From me Sat\nFrom: a\n b")
                                              << QStringLiteral("From=a/ b") << 22;
    QTest::newRow("a non-header line starts the body") << QByteArray("To: x\r\nnot a header\r\n")
                                                       << QStringLiteral("To=x") << 7;
    QTest::newRow("leading fold is no field") << QByteArray(" x\r\nTo: y\r\n") << QString() << 0;
  }

  void headerBlocksSplitIntoFields() {
    QFETCH(QByteArray, block);
    qsizetype bodyStart = -1;
    QStringList fields;
    for (const maillib::Header& h : maillib::parseHeaderBlock(block, 0, &bodyStart))
      fields += QString::fromLatin1(h.name + "=" + QByteArray(h.raw).replace("\r\n", "/"));
    QTEST(fields.join(QLatin1Char('|')), "fields");
    QTEST(int(bodyStart), "bodyStart");
  }

  void lineEndsConvertAlikeInPieces_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n");
    QTest::newRow("lf and lone cr") << QByteArray("a\nb\rc\r\r\nd\n\n");
    QTest::newRow("cr at the ends") << QByteArray("\r\nx\r");
    QTest::newRow("no breaks") << QByteArray("abc");
  }

  void lineEndsConvertAlikeInPieces() {
    // Cut anywhere, even between CR and LF, the pieces give what the whole
    // gives.
    QFETCH(QByteArray, text);
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
      QByteArray out;
      const std::function<void(QByteArrayView)> take = [&out](QByteArrayView p) { out.append(p); };
      maillib::engine_detail::CrlfPieces pieces(take);
      pieces(QByteArrayView(text).first(cut));
      pieces(QByteArrayView(text).sliced(cut));
      pieces.finish();
      QCOMPARE(out, mimetext::toCrlf(text));
    }
  }

  void base64ReadInPiecesEncodesAlike_data() {
    QTest::addColumn<int>("size");
    for (int size : {0, 1, 57, 64 * 1024 + 1, 1024 * 1024 + 58})
      QTest::addRow("%d bytes", size) << size;
  }

  void base64ReadInPiecesEncodesAlike() {
    QFETCH(int, size);
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) data[i] = char(i * 7 + i / 251);
    QFile file(writeTestFile(path("piece.bin"), data));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(codec::encodeBase64(file, size), codec::encode(codec::Encoding::Base64, data));
  }

  void writtenFileIsTheSerializedMessage() {
    // Written in pieces, the file holds the bytes the message serializes to,
    // every line ending in CR LF.
    MailControl m;
    ops::load(m, writeTestFile(path("mixed.msg"), kMixed));
    m.setSubject(QStringLiteral("pieces"));
    ops::enter(m, 0);
    m.setBodyText(0, QStringLiteral("one\ntwo\rthree\r"));
    ops::leave(m);
    ops::store(m, path("w.msg"));
    QVERIFY(!m.lastOperationFailed());
    const QByteArray written = readTestFile(path("w.msg"));
    QCOMPARE(written, m.sourceText().toLatin1());
    QCOMPARE(mimetext::toCrlf(written), written);
    QVERIFY(written.contains("one\r\ntwo\r\nthree"));
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

QTEST_GUILESS_MAIN(TestMessage)
#include "tst_message.moc"
