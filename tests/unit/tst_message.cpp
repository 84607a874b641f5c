// The mail control's message side: loading, fields, parts, writing back.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "maillib/mailcontrol.h"

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(data);
}

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

 private:
  QTemporaryDir dir_;
  QString path(const QString& name) const { return dir_.filePath(name); }

  void load(MailControl& m, const QString& file) {
    m.setPartFile(file);
    m.setTransferFlags(2);
    m.setActionCode(13);
  }

 private Q_SLOTS:
  void longTextKeepsEveryLine() {
    // No 16-bit limit: a plain text of 40,000 lines reads to its last line.
    QByteArray text = "From: a@b.c\r\nSubject: long\r\n\r\n";
    for (int i = 0; i < 40000; ++i)
      text += "line " + QByteArray::number(i) + "\r\n";
    writeAll(path("long.msg"), text);
    MailControl m;
    load(m, path("long.msg"));
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

  void loadsHeaderFieldsOfAFile() {
    writeAll(path("a.msg"), kMixed);
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    load(m, path("a.msg"));
    QCOMPARE(errors.count(), 0);
    QCOMPARE(m.From(), QStringLiteral("Ann Example <ann@example.org>"));
    QCOMPARE(m.Subject(), QString::fromUtf8("Café time"));
    QCOMPARE(m.Date(), QStringLiteral("Sat, 2 May 1998 10:00:00 +0530"));
    QCOMPARE(m.BCC(), QStringLiteral("hidden@example.net"));
    QCOMPARE(m.ContentType(), QStringLiteral("multipart"));
    QCOMPARE(m.ContentSubType(), QStringLiteral("mixed"));
    QCOMPARE(m.Boundary(), QStringLiteral("XYZ"));
    QCOMPARE(m.PartCount(), 2);
    QVERIFY(m.HeaderText().startsWith(QStringLiteral("Return-Path: <a@example.org>\r\nFrom: Ann")));
    QVERIFY(m.HeaderText().endsWith(QStringLiteral("boundary=\"XYZ\"")));
    // Extra lines are those beyond the named fields.
    QCOMPARE(m.HeaderCount(), 3);
    QCOMPARE(m.HeaderLine(0), QStringLiteral("Return-Path: <a@example.org>"));
  }

  void entersPartsAndSavesThemDecoded() {
    writeAll(path("b.msg"), kMixed);
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    load(m, path("b.msg"));
    m.setPartIndex(0);
    m.setActionCode(7);
    QCOMPARE(m.ContentType(), QStringLiteral("text"));
    QCOMPARE(m.LineCount(), 2);
    QCOMPARE(m.BodyText(0), QStringLiteral("Hello Bob,"));
    QCOMPARE(m.BodyText(1), QStringLiteral("second line"));
    m.setActionCode(2);
    m.setPartIndex(1);
    m.setActionCode(7);
    QCOMPARE(m.TransferEncoding(), QStringLiteral("base64"));
    QCOMPARE(m.ContentDisposition(), QStringLiteral("attachment; filename=\"data.bin\""));
    QCOMPARE(m.ContentParameters(), QStringLiteral("name=\"data.bin\""));
    m.setMessageFile(path("data.bin"));
    m.setTransferFlags(40);
    m.setActionCode(5);
    QCOMPARE(readAll(path("data.bin")), QByteArray("\x00\x01\x02\x03\x04\xff", 6));
    m.setTransferFlags(24);
    m.setActionCode(5);
    QCOMPARE(m.OutputText(), QString::fromLatin1("\x00\x01\x02\x03\x04\xff", 6));
    m.setActionCode(2);
    QCOMPARE(m.PartCount(), 2);  // back at the top
    QCOMPARE(errors.count(), 0);
  }

  void typedCallsAnswerInsteadOfSignalling() {
    // The plain member functions do the work of the operation codes, leave
    // the properties alone and say why they failed; no AsyncError at all.
    writeAll(path("t.msg"), kMixed);
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
    QCOMPARE(m.partText(&why), QString::fromLatin1("\x00\x01\x02\x03\x04\xff", 6));
    QVERIFY(why.isEmpty());
    QVERIFY(m.savePartToFile(path("t.bin")));
    QCOMPARE(readAll(path("t.bin")), QByteArray("\x00\x01\x02\x03\x04\xff", 6));
    QVERIFY(!m.savePartToFile(path("no-such-folder/t.bin"), &why));
    QVERIFY(!why.isEmpty());
    m.leavePart();

    QCOMPARE(m.sourceText().toLatin1(), kMixed);
    QVERIFY(m.writeToFile(path("t-copy.msg")));
    QCOMPARE(readAll(path("t-copy.msg")), kMixed);
    QVERIFY(!m.writeToFile(path("t-copy.msg"), &why));  // never over a stored message
    QCOMPARE(errors.count(), 0);
    QVERIFY(m.PartFile().isEmpty() && m.MessageFile().isEmpty() && m.OutputText().isEmpty());

    // The numeric codes still report the same failure through the signal.
    m.setPartIndex(7);
    m.setActionCode(7);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), int(MailControl::ErrPart));
    m.setActionCode(2);
  }

  void typedCallsBuildAMessage() {
    writeAll(path("note.txt"), "attached text\r\n");
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
    writeAll(path("c.msg"), "From: x@y.z\nSubject: plain\n\nline one\nline two\n");
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    load(m, path("c.msg"));
    QCOMPARE(m.ContentType(), QStringLiteral("text"));
    QCOMPARE(m.ContentSubType(), QStringLiteral("plain"));
    QCOMPARE(m.PartCount(), 0);
    QCOMPARE(m.LineCount(), 2);
    QCOMPARE(m.BodyText(1), QStringLiteral("line two"));
    m.setPartIndex(0);
    m.setActionCode(7);
    m.setMessageFile(path("c.txt"));
    m.setTransferFlags(40);
    m.setActionCode(5);
    m.setActionCode(2);
    QCOMPARE(readAll(path("c.txt")), QByteArray("line one\nline two\n"));
    QCOMPARE(errors.count(), 0);
    // Part 1 does not exist; the following return still lands at the top.
    m.setPartIndex(1);
    m.setActionCode(7);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), int(MailControl::ErrPart));
    m.setActionCode(2);
    QCOMPARE(m.Subject(), QStringLiteral("plain"));
  }

  void storesReceivedBytesExactly() {
    // Odd but legal: LF and CRLF mixed, trailing blanks, no final newline.
    const QByteArray raw = "From: a@b.c \r\nSubject: x\n\r\nbody\r\nend";
    MailControl m;
    QVERIFY(m.loadMessageBytes(raw));
    m.setMessageFile(path("stored.msg"));
    m.setTransferFlags(32);
    m.setActionCode(15);
    QVERIFY(!m.lastOperationFailed());
    QCOMPARE(readAll(path("stored.msg")), raw);
    // Load from file and write again: still the same bytes.
    load(m, path("stored.msg"));
    m.setMessageFile(path("stored2.msg"));
    m.setTransferFlags(32);
    m.setActionCode(15);
    QCOMPARE(readAll(path("stored2.msg")), raw);
  }

  void failedStoreIsReportedAndNothingOverwritten() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    QVERIFY(m.loadMessageBytes("From: a@b.c\r\n\r\nnew\r\n"));
    m.setTransferFlags(32);
    m.setMessageFile(path("missing-folder/x.msg"));
    m.setActionCode(15);
    QVERIFY(m.lastOperationFailed());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), int(MailControl::ErrFile));
    // An existing message is never replaced.
    writeAll(path("taken.msg"), "old");
    m.setMessageFile(path("taken.msg"));
    m.setActionCode(15);
    QVERIFY(m.lastOperationFailed());
    QCOMPARE(readAll(path("taken.msg")), QByteArray("old"));
    // Nothing loaded: nothing to store, and that is a failure too.
    m.setActionCode(11);
    m.setMessageFile(path("empty.msg"));
    m.setActionCode(15);
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
    QCOMPARE(m.recipientAddresses(),
             QStringList({"bob@example.net", "carl@example.net", "dora@example.net",
                          "ed@example.net", "hidden@example.net"}));
  }

  void largeFileIsReadInFullOnlyWhenItsBodyIsUsed() {
    QByteArray big = kMixed;
    big.replace("AAECAwT/\r\n", QByteArray(6000, 'A') + "AAECAwT/\r\n");
    QByteArray lines;
    for (int i = 0; i < 5000; ++i) lines += "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n";
    big.replace("AAECAwT/\r\n", lines + "AAECAwT/\r\n");
    QVERIFY(big.size() > 300 * 1024);
    writeAll(path("big.msg"), big);
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    load(m, path("big.msg"));
    QCOMPARE(m.Subject(), QString::fromUtf8("Café time"));
    QCOMPARE(m.PartCount(), 2);
    m.setMessageFile(path("big-copy.msg"));
    m.setTransferFlags(32);
    m.setActionCode(15);
    QCOMPARE(readAll(path("big-copy.msg")), big);
    // Gone between listing and use: the store fails loudly, nothing half written.
    load(m, path("big.msg"));
    QVERIFY(QFile::remove(path("big.msg")));
    m.setMessageFile(path("big-copy2.msg"));
    m.setTransferFlags(32);
    m.setActionCode(15);
    QVERIFY(m.lastOperationFailed());
    QVERIFY(!QFile::exists(path("big-copy2.msg")));
    QCOMPARE(errors.count(), 1);
  }

  void badFilesGiveEmptyFieldsAndAnError() {
    MailControl m;
    QVERIFY(m.loadMessageBytes(kMixed));
    QSignalSpy errors(&m, &MailControl::AsyncError);
    load(m, path("does-not-exist.msg"));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toInt(), int(MailControl::ErrFile));
    QCOMPARE(m.From(), QString());  // nothing of the earlier message
    QCOMPARE(m.PartCount(), 0);
    writeAll(path("empty.msg"), "");
    load(m, path("empty.msg"));
    QCOMPARE(errors.count(), 2);
    QByteArray junk(4096, '\0');
    for (int i = 0; i < junk.size(); ++i) junk[i] = char((i * 7919) % 251);
    writeAll(path("junk.msg"), junk);
    load(m, path("junk.msg"));
    QCOMPARE(errors.count(), 3);
    QCOMPARE(errors.at(2).at(0).toInt(), int(MailControl::ErrParse));
    QCOMPARE(m.Subject(), QString());
    m.setPartIndex(3);
    m.setActionCode(7);
    QCOMPARE(errors.count(), 4);
  }
};

QTEST_GUILESS_MAIN(TestMessage)
#include "tst_message.moc"
