// Building a message the way the compose window does, writing it, and
// reading every attachment back.
#include "maillib/mailcontrol.h"
#include "support/files.h"
#include "support/mailops.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every byte value, runs that tempt run-length coding, bare CR and LF.
QByteArray binarySample(int size) {
  QByteArray b;
  for (int i = 0; i < size; ++i) b.append(char((i * 131 + i / 7) & 0xFF));
  b += QByteArray(300, '\x90') + QByteArray(500, 'A') + "\r\n\n\r.\r\nFrom x\r\n";
  return b;
}

}  // namespace

class TestMessageCompose : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path(const QString& n) const { return dir_.filePath(n); }
  QString write(const QString& n, const QByteArray& data) { return writeTestFile(path(n), data); }

  // The compose window's attach steps.
  void attach(MailControl& m, const QString& full, const QString& encoding) {
    if (m.ContentType() != QLatin1String("multipart")) {
      m.setContentType(QStringLiteral("multipart"));
      m.setContentSubType(QStringLiteral("mixed"));
      m.setContentParameters(QStringLiteral("boundary=7055475101_boundary"));
      m.setBoundary(QStringLiteral("7055475101_boundary"));
    }
    m.setActionCode(4);
    m.setActionCode(7);
    m.setTransferEncoding(encoding);
    const QString name = full.section(QLatin1Char('/'), -1);
    const QString ext = name.contains(QLatin1Char('.')) ? name.mid(name.indexOf(QLatin1Char('.'))).toLower() : QString();
    if (ext == QLatin1String(".txt")) {
      m.setContentType(QStringLiteral("text"));
      m.setContentSubType(QStringLiteral("plain"));
      m.setContentParameters(QStringLiteral("charset=us-ascii"));
      m.setTransferEncoding(QStringLiteral("7bit"));
      m.setContentDisposition(QStringLiteral("inline; filename=\"%1\"").arg(full));
      m.setBodyText(0, QString::fromLatin1(readTestFile(full)));
    } else {
      m.setContentType(QStringLiteral("application"));
      m.setContentSubType(QStringLiteral("octet-stream"));
      m.setContentDisposition(QStringLiteral("attachment; filename=\"%1\"").arg(name));
      m.setTransferFlags(130);
      m.setPartFile(full);
      m.setActionCode(9);
    }
    m.setActionCode(2);
  }

  void send(MailControl& m, const QString& body, const QString& file) {
    m.setTo(QStringLiteral("bob@example.net"));
    m.setSubject(QString::fromLatin1("\xe0\xe1 subject \xff"));
    m.setFrom(QStringLiteral("Ann <ann@example.org>"));
    m.setCC(QStringLiteral("c@example.net;d@example.net"));
    m.setBCC(QStringLiteral("secret@example.net"));
    m.setHeaderLine(m.HeaderCount(), QStringLiteral("X-Mailer: TovelMail"));
    m.setMessageNumber(QStringLiteral("19985336000_TovelMail"));
    const bool intoPart = !body.isEmpty() && m.PartCount() > 0;
    if (intoPart) {
      m.setPartIndex(0);
      m.setActionCode(4);
      m.setActionCode(7);
    }
    m.setBodyText(0, body);
    if (intoPart)
      ops::leave(m);
    ops::store(m, file);
  }

 private Q_SLOTS:
  void everyEncodingRoundTrips() {
    const QByteArray data = binarySample(5000);
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    const QStringList encodings = {"base64", "quoted-printable", "x-uuencode", "mac-binhex40"};
    for (const QString& e : encodings)
      attach(m, write("blob.bin", data), e);
    attach(m, write("notes.txt", "plain notes\r\nsecond line\r\n"), QStringLiteral("x-uuencode"));
    attach(m, write("empty.dat", ""), QStringLiteral("base64"));
    const QString body = QString::fromLatin1("Dear Bob,\n\xc0\xc1\xc2 8-bit font text\n");
    send(m, body, path("out.msg"));
    QCOMPARE(errors.count(), 0);
    const QByteArray written = readTestFile(path("out.msg"));
    for (const char* line : {"X-Mailer: TovelMail\r\n", "MIME-Version: 1.0\r\n", "\r\nDate: ",
                             "Message-ID: <19985336000_TovelMail.", "boundary=7055475101_boundary"})
      QVERIFY2(written.contains(line), line);
    for (char c : written)
      QVERIFY(static_cast<unsigned char>(c) < 128);  // 7-bit clean

    MailControl r;
    ops::load(r, path("out.msg"));
    QCOMPARE(r.Subject(), QString::fromLatin1("\xe0\xe1 subject \xff"));
    QCOMPARE(r.PartCount(), 7);
    ops::enter(r, 0);
    QCOMPARE(r.ContentType(), QStringLiteral("text"));
    QCOMPARE(ops::text(r), QString(body).replace(QLatin1String("\n"), QLatin1String("\r\n")));
    ops::leave(r);
    for (int i = 0; i < 4; ++i) {
      ops::enter(r, i + 1);
      QCOMPARE(r.TransferEncoding(), encodings[i]);
      QCOMPARE(r.ContentDisposition(), QStringLiteral("attachment; filename=\"blob.bin\""));
      ops::save(r, path(QStringLiteral("back%1.bin").arg(i)));
      ops::leave(r);
      QCOMPARE(readTestFile(path(QStringLiteral("back%1.bin").arg(i))), data);
    }
    ops::enter(r, 5);
    QCOMPARE(r.TransferEncoding(), QStringLiteral("7bit"));
    QCOMPARE(r.LineCount(), 2);
    QCOMPARE(r.BodyText(1), QStringLiteral("second line"));
    ops::leave(r);
    ops::enter(r, 6);
    ops::save(r, path("empty.back"));
    QCOMPARE(readTestFile(path("empty.back")), QByteArray());  // there, and empty
    QCOMPARE(errors.count(), 0);
  }

  void plainMessageStaysSevenBit() {
    MailControl m;
    send(m, QStringLiteral("Just text.\nBye.\n"), path("plain.msg"));
    const QByteArray w = readTestFile(path("plain.msg"));
    QVERIFY(w.contains("Content-Type: text/plain; charset=us-ascii\r\n"));
    QVERIFY(w.contains("Content-Transfer-Encoding: 7bit\r\n"));
    QVERIFY(w.endsWith("\r\n\r\nJust text.\r\nBye.\r\n"));
    // Bcc is in the stored copy but not on the wire.
    QVERIFY(w.contains("Bcc: secret@example.net"));
    QVERIFY(!m.messageBytes(true).contains("secret@example.net"));
    QCOMPARE(m.recipientAddresses(),
             QStringList({"bob@example.net", "c@example.net", "d@example.net", "secret@example.net"}));
    // The same Message-ID on the stored copy and on the wire.
    const qsizetype at = w.indexOf("Message-ID:");
    QVERIFY(m.messageBytes(true).contains(w.mid(at, w.indexOf("\r\n", at) - at)));
    // Writing with flags 2 writes nothing.
    m.setTransferFlags(2);
    m.setMessageFile(path("never.msg"));
    m.setActionCode(15);
    QVERIFY(!QFile::exists(path("never.msg")));
  }

  void eightBitTextPartBecomesQuotedPrintable() {
    // A .txt attachment holding 8-bit font bytes: every byte must survive.
    QByteArray bytes = "abc ";
    for (int c = 128; c < 256; ++c)
      bytes.append(char(c));
    bytes += "\r\n=end\r\n";
    MailControl m;
    attach(m, write("font.txt", bytes), QStringLiteral("base64"));
    send(m, QString(), path("font.msg"));
    MailControl r;
    ops::load(r, path("font.msg"));
    QCOMPARE(r.PartCount(), 1);  // an empty body gives no text part
    ops::enter(r, 0);
    QCOMPARE(r.TransferEncoding(), QStringLiteral("quoted-printable"));
    QVERIFY(r.ContentParameters().contains(QLatin1String("iso-8859-1")));
    ops::save(r, path("font.back"));
    QCOMPARE(readTestFile(path("font.back")), bytes);
    QCOMPARE(ops::text(r), QString::fromLatin1(bytes));
  }

  void unicodeNamesAndTextSurvive() {
    const QString name = QString::fromUtf8("පත්‍රය அறிக்கை.pdf");
    MailControl m;
    attach(m, write(name, "%PDF-1.4 data"), QStringLiteral("base64"));
    send(m, QString::fromUtf8("ආයුබෝවන් வணக்கம்\n"), path("uni.msg"));
    for (char c : readTestFile(path("uni.msg")))
      QVERIFY(static_cast<unsigned char>(c) < 128);
    MailControl r;
    ops::load(r, path("uni.msg"));
    ops::enter(r, 0);
    QCOMPARE(ops::text(r), QString::fromUtf8("ආයුබෝවන් வணக்கம்\r\n"));
    ops::leave(r);
    ops::enter(r, 1);
    QCOMPARE(r.ContentDisposition(), QStringLiteral("attachment; filename=\"%1\"").arg(name));
  }

  // Text written in Unicode goes as UTF-8 whatever it holds (Latin-1
  // letters too), in the transfer encoding that suits it, beside an
  // attachment as well; the subject as UTF-8 encoded words.
  void unicodeTextGoesAsUtf8_data() {
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("attachment");
    QTest::addColumn<QString>("encoding");
    const QString si = QString::fromUtf8("ආයුබෝවන් මම ගෙදර යනවා");
    QTest::newRow("Sinhala") << si << si + QStringLiteral("\n") + si << true << "base64";
    QTest::newRow("mostly English") << QStringLiteral("Re: ") + si
                                    << QStringLiteral("Dear Nimal,\nsee you at the station at five, then we go home. ") + si.left(2)
                                    << false << "quoted-printable";
    QTest::newRow("Latin-1 letters") << QString::fromLatin1("caf\xe9") << QString::fromLatin1("caf\xe9 cr\xe8me") << false
                                     << "base64";
    QTest::newRow("plain English") << QStringLiteral("Hello") << QStringLiteral("Hello") << false << "7bit";
  }

  void unicodeTextGoesAsUtf8() {
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(bool, attachment);
    QFETCH(QString, encoding);
    MailControl m;
    m.setUnicodeText(true);
    if (attachment)
      attach(m, write("a.bin", "data"), QStringLiteral("base64"));
    send(m, body, path("u.msg"));
    m.setSubject(subject);
    const QByteArray bytes = m.messageBytes(false);
    QCOMPARE(bytes.left(bytes.indexOf("\r\n\r\n")).contains("=?utf-8?B?"), subject != QLatin1String("Hello"));
    MailControl r;
    QVERIFY(r.loadMessageBytes(bytes));
    QCOMPARE(r.Subject(), subject);
    if (attachment)
      ops::enter(r, 0);
    QCOMPARE(r.TransferEncoding(), encoding);
    QVERIFY2(r.ContentParameters().contains(QLatin1String("utf-8")), qPrintable(r.ContentParameters()));
    QCOMPARE(ops::text(r), QString(body).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
  }

  void longHeadersAreFoldedAndStillRead() {
    MailControl m;
    QStringList many;
    for (int i = 0; i < 60; ++i)
      many << QStringLiteral("person%1@example.net").arg(i);
    m.setTo(many.join(QStringLiteral(", ")));
    m.setSubject(QString(200, QChar(0xE9)));
    m.setBodyText(0, QStringLiteral("x"));
    const QByteArray w = m.messageBytes(true);
    for (const QByteArray& line : w.split('\n'))
      QVERIFY2(line.size() <= 80, line.constData());
    QCOMPARE(m.recipientAddresses(), many);
    MailControl r;
    QVERIFY(r.loadMessageBytes(w));
    QCOMPARE(r.To(), many.join(QStringLiteral(", ")));
    QCOMPARE(r.Subject(), QString(200, QChar(0xE9)));
  }

  void attachmentsKeepTheirOrderAndBodyGoesFirst() {
    MailControl m;
    for (const char* n : {"one.dat", "two.dat", "three.dat"})
      attach(m, write(QString::fromLatin1(n), n), QStringLiteral("base64"));
    send(m, QStringLiteral("body"), path("order.msg"));
    MailControl r;
    ops::load(r, path("order.msg"));
    QCOMPARE(r.PartCount(), 4);
    QStringList seen;
    for (int i = 0; i < 4; ++i) {
      ops::enter(r, i);
      seen << r.ContentType() + QLatin1Char('/') + r.ContentDisposition();
      ops::leave(r);
    }
    QCOMPARE(seen, QStringList({"text/", "application/attachment; filename=\"one.dat\"",
                                "application/attachment; filename=\"two.dat\"",
                                "application/attachment; filename=\"three.dat\""}));
  }

  void textSetBeforeTheFirstAttachmentIsKept() {
    MailControl m;
    m.setBodyText(0, QString::fromLatin1("early text \xe9"));
    attach(m, write("late.dat", "late"), QStringLiteral("base64"));
    QCOMPARE(m.PartCount(), 2);
    ops::enter(m, 0);
    QCOMPARE(m.ContentType(), QStringLiteral("text"));
    QCOMPARE(ops::text(m), QString::fromLatin1("early text \xe9"));
  }

  void unreadableAttachmentIsReported() {
    MailControl m;
    QSignalSpy errors(&m, &MailControl::AsyncError);
    attach(m, path("no-such-file.zip"), QStringLiteral("base64"));
    QCOMPARE(ops::codes(errors), QList<int>{MailControl::ErrFile});
    QCOMPARE(m.PartCount(), 1);  // the part stays, as the compose list does
  }
};

QTEST_GUILESS_MAIN(TestMessageCompose)
#include "tst_message_compose.moc"
