// The compose side without a window: the rules that turn a file into an
// attachment part, the drafts Reply and Forward make (line ends of the
// quoting block, which forwarded parts reach the compose window), and the
// layout arithmetic of the compose window and of the main window's reading
// area (in twips).
#include "compose/attachmentrules.h"
#include "compose/composelayout.h"
#include "compose/messageassembly.h"
#include "compose/replydraft.h"
#include "maillib/mailcontrol.h"
#include "shell/mainlayout.h"

#include <QRegularExpression>
#include <QTest>

using namespace compose;

static QuoteSource sample(const QString& view = {}, const QString& subject = QStringLiteral("Lunch")) {
  return {QStringLiteral("K <k@x.lk>"), QStringLiteral("today"), QStringLiteral("me@x.org"), {}, subject, view, {}, {}};
}

class ComposeRulesTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void partFieldsByName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QString>("disposition");
    QTest::newRow("zip, bare name everywhere")
        << "/home/ann/My Files/a.zip" << "application/x-zip-compressed" << "name=\"a.zip\""
        << "attachment; filename=\"a.zip\"";
    QTest::newRow("windows path") << "C:\\dir\\photo.JPG" << "image/jpg" << "" << "inline; filename=\"photo.JPG\"";
    QTest::newRow("bmp") << "x.bmp" << "image/bmp" << "" << "inline; filename=\"x.bmp\"";
    QTest::newRow("extension from the first dot") << "/t/archive.tar.zip" << "application/octet-stream" << ""
                                                   << "attachment; filename=\"archive.tar.zip\"";
    QTest::newRow("no extension") << "/t/README" << "application/octet-stream" << ""
                                  << "attachment; filename=\"README\"";
    QTest::newRow("text, bare name") << "/home/ann/notes.TXT" << "text/plain" << "charset=us-ascii"
                                     << "inline; filename=\"notes.TXT\"";
    QTest::newRow("quote in a name") << "/t/say \"hi\".bin" << "application/octet-stream" << ""
                                     << "attachment; filename=\"say _hi_.bin\"";
    QTest::newRow("non-ASCII name also as encoded words")
        << "/t/ලිපිය.gif" << "image/gif" << "" << "";
  }

  void partFieldsByName() {
    QFETCH(QString, path);
    QFETCH(QString, type);
    QFETCH(QString, parameters);
    QFETCH(QString, disposition);
    const PartFields f = attachmentFields(file_title(path), AttachmentEncoding::UU);
    QCOMPARE(f.type + QLatin1Char('/') + f.subtype, type);
    if (!path.contains(QStringLiteral("ලිපිය"))) {
      QCOMPARE(f.parameters, parameters);
      QCOMPARE(f.disposition, disposition);
    } else {
      // The whole name is one run of encoded words; readers join them.
      QVERIFY(f.parameters.startsWith(QStringLiteral("name=\"=?utf-8?B?")));
      QCOMPARE(f.disposition, QStringLiteral("inline; filename=\"ලිපිය.gif\""));
    }
    QCOMPARE(f.transferEncoding, f.isText ? QStringLiteral("7bit") : QStringLiteral("x-uuencode"));
  }

  void textFilesKeepTheirBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("charset");
    QTest::addColumn<bool>("unencoded");
    QTest::newRow("CRLF ascii") << QByteArray("one\r\ntwo\r\n") << "us-ascii" << true;
    QTest::newRow("no final break") << QByteArray("one\r\ntwo") << "us-ascii" << true;
    QTest::newRow("LF only") << QByteArray("one\ntwo\n") << "us-ascii" << false;
    QTest::newRow("bare CR") << QByteArray("one\rtwo") << "us-ascii" << false;
    QTest::newRow("font codes") << QByteArray("k\xe0\xa0\xff\r\n") << "iso-8859-1" << false;
    QTest::newRow("utf-8") << QByteArray("\xe0\xb6\xbd\r\n") << "utf-8" << false;
    QTest::newRow("line of 998") << QByteArray(998, 'a') + "\r\n" << "us-ascii" << true;
    QTest::newRow("line of 999") << QByteArray(999, 'a') << "us-ascii" << false;
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << "us-ascii" << false;
  }

  void textFilesKeepTheirBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, charset);
    QFETCH(bool, unencoded);
    PartFields f = attachmentFields(QStringLiteral("a.txt"), AttachmentEncoding::QuotedPrintable);
    adaptTextPart(f, QStringLiteral("a.txt"), bytes, AttachmentEncoding::QuotedPrintable);
    QCOMPARE(f.parameters, QStringLiteral("charset=") + charset);
    QCOMPARE(f.transferEncoding, unencoded ? QStringLiteral("7bit") : QStringLiteral("quoted-printable"));
  }

  void encodedWordsRoundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("ascii stays") << "plain.doc";
    QTest::newRow("short") << "ලිපිය.doc";
    QTest::newRow("longer than one word") << QString::fromUtf8("සිංහල ලිපිය අවුරුදු දෙකක වාර්තාව.doc");
  }

  void encodedWordsRoundTrip() {
    QFETCH(QString, name);
    const QByteArray encoded = encodedWordName(name);
    QByteArray decoded;
    const QRegularExpression word(QStringLiteral("=\\?utf-8\\?B\\?([A-Za-z0-9+/=]*)\\?="));
    if (encoded == name.toLatin1() && name.toLatin1() == name.toUtf8()) {
      QCOMPARE(QString::fromLatin1(encoded), name);
      return;
    }
    for (const QByteArray& piece : encoded.split(' ')) {
      QVERIFY(piece.size() <= 75);
      const QRegularExpressionMatch m = word.match(QString::fromLatin1(piece));
      QVERIFY(m.hasMatch());
      const QByteArray bytes = QByteArray::fromBase64(m.captured(1).toLatin1());
      QVERIFY(QString::fromUtf8(bytes).toUtf8() == bytes);  // no character split between words
      decoded += bytes;
    }
    QCOMPARE(QString::fromUtf8(decoded), name);
  }

  void boundaryForm() {
    QCOMPARE(boundaryFromNumber(7055475101), QStringLiteral("7055475101_boundary"));
    QCOMPARE(boundaryFromNumber(99999999999), QStringLiteral("99999999999_boundary"));
    const QRegularExpression form(QStringLiteral("^\\d{1,11}_boundary$"));
    for (int i = 0; i < 50; ++i)
      QVERIFY(form.match(newBoundary()).hasMatch());
  }

  void layoutFollowsTheWindow() {
    const ComposeLayout a = computeComposeLayout(9600, 7800);
    const ComposeLayout b = computeComposeLayout(12600, 9000);
    QCOMPARE(b.fieldWidth - a.fieldWidth, 3000.0);
    QCOMPARE(b.txtBody.width() - a.txtBody.width(), 3000.0);
    QCOMPARE(b.statbar.width(), b.txtBody.width());
    QCOMPARE(b.txtBody.height() - a.txtBody.height(), 1200.0);
    QCOMPARE(a.tovelbar, b.tovelbar);
    QCOMPARE(a.txtBody.top(), ComposeDesign::kLine1Y + 25 + ComposeDesign::kToolbarHeight);
    QCOMPARE(a.statbar.top(), a.txtBody.bottom() + 5);
    QCOMPARE(a.statbar.bottom() + 25 - 5, 7800.0);
    const ComposeLayout tiny = computeComposeLayout(100, 100);
    for (double v : {tiny.fieldWidth, tiny.txtBody.width(), tiny.txtBody.height()})
      QVERIFY(v >= 0);
    const ComposeLayout least = computeComposeLayout(ComposeDesign::kMinInnerWidth, ComposeDesign::kMinInnerHeight);
    QVERIFY(least.txtBody.height() >= 600);
  }

  void boundaryFoundInAPartIsReplaced_data() {
    QTest::addColumn<QString>("partText");
    QTest::addColumn<bool>("nested");
    QTest::newRow("in a leaf") << "before\n--7_boundary\nafter" << false;
    QTest::newRow("at a leaf's start") << "--7_boundary--\n" << false;
    QTest::newRow("in a nested multipart") << "--7_boundary\n" << true;
    QTest::newRow("absent") << "no clash --7_boundary" << false;
  }

  void boundaryFoundInAPartIsReplaced() {
    QFETCH(QString, partText);
    QFETCH(bool, nested);
    MailControl m;
    m.setContentType(QStringLiteral("multipart"));
    m.setContentSubType(QStringLiteral("mixed"));
    m.setBoundary(QStringLiteral("7_boundary"));
    m.setActionCode(4);
    m.setActionCode(7);
    if (nested) {
      m.setContentType(QStringLiteral("multipart"));
      m.setBoundary(QStringLiteral("inner"));
      m.setActionCode(4);
      m.setActionCode(7);
    }
    m.setBodyText(0, partText);
    m.setActionCode(2);
    if (nested)
      m.setActionCode(2);
    compose::putBodyIntoMessage(m, QStringLiteral("typed"));
    const QByteArray bytes = m.messageBytes(false);
    const bool clash = !partText.startsWith(QStringLiteral("no clash"));
    QCOMPARE(bytes.contains("boundary=7_boundary") || bytes.contains("boundary=\"7_boundary\""), !clash);
    QString crlf = partText;
    crlf.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    QVERIFY(bytes.contains(crlf.toLatin1()));  // the part's own text is untouched
    QVERIFY(bytes.endsWith("--\r\n"));
  }

  void designFigures() {
    const MainLayout l = computeMainLayout(12000, 8000, 2175);
    QCOMPARE(l.line_x2, 12000.0);
    QCOMPARE(l.listFolders.top(), 692.0);
    QCOMPARE(l.listFolders.height(), 1706.0);
    QCOMPARE(l.listMessages.top(), l.listFolders.top());
    QCOMPARE(l.listMessages.height(), l.listFolders.height());
    QCOMPARE(l.cmdVSplit.top(), 705.0);
    QCOMPARE(l.cmdVSplit.height(), 1709.0);
    QCOMPARE(l.cmdHSplit.top(), 2400.0);
    QCOMPARE(l.cmdHSplit.bottom(), 2490.0);
    QCOMPARE(l.textBody.top(), 2492.0);
    QCOMPARE(l.textBody.height(), 8000.0 - 2869);
    QCOMPARE(l.statbar.top(), 8000.0 - 375);
    QCOMPARE(l.statbar.bottom(), 8000.0);
    QCOMPARE(l.listFolders.width(), 2171.0);
    QCOMPARE(l.listMessages.left(), 2175.0 + 90 + 4);
    QCOMPARE(l.listMessages.right(), 12000.0 - 2);
  }

  void widthChangesOnlyWidths() {
    const MainLayout narrow = computeMainLayout(9000, 7000, 2175);
    const MainLayout wide = computeMainLayout(15000, 7000, 2175);
    QCOMPARE(wide.listFolders, narrow.listFolders);
    QCOMPARE(wide.listMessages.width() - narrow.listMessages.width(), 6000.0);
    QCOMPARE(wide.textBody.height(), narrow.textBody.height());
    const MainLayout tall = computeMainLayout(9000, 10000, 2175);
    QCOMPARE(tall.listMessages, narrow.listMessages);
    QCOMPARE(tall.textBody.height() - narrow.textBody.height(), 3000.0);
    QCOMPARE(tall.statbar.top() - narrow.statbar.top(), 3000.0);
  }

  void tinyWindowsNeverGoNegative() {
    for (double w : {0.0, 50.0, 1000.0, 2300.0}) {
      for (double h : {0.0, 100.0, 2500.0, 3000.0}) {
        const MainLayout l = computeMainLayout(w, h, 2175);
        for (const QRectF& r : {l.listFolders, l.listMessages, l.cmdVSplit, l.cmdHSplit, l.textBody, l.statbar}) {
          QVERIFY(r.width() >= 0);
          QVERIFY(r.height() >= 0);
        }
      }
    }
  }

  void quotedViewLines_data() {
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("tail");  // what follows "Subject: "
    QTest::newRow("CR LF not doubled, lone CR") << "a\r\nb\rc\n" << "Lunch" << "Lunch\r\na\r\nb\r\nc\r\n\r\n";
    QTest::newRow("empty view") << "" << "Lunch" << "Lunch\r\n\r\n";
    QTest::newRow("a subject cannot add lines") << "" << "x\r\nFrom   : y" << "x  From   : y\r\n\r\n";
  }

  void quotedViewLines() {
    QFETCH(QString, view);
    QFETCH(QString, subject);
    QFETCH(QString, tail);
    const QString head = QStringLiteral(" \r\n \r\n \r\n---------------------------\r\nFrom   : K <k@x.lk>\r\n"
                                        "Date   : today\r\nTo     : me@x.org\r\nCC     : \r\nSubject: ");
    QCOMPARE(replyDraft(sample(view, subject)).quote, head + tail);
  }

  void forwardListsOnlySavedParts_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("failing");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("none") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("the middle one fails") << QStringList{"a.gif", "bad.bin", "c.txt"} << QStringList{"bad.bin"}
                                          << QStringList{"/f/a.gif", "/f/c.txt"};
    QTest::newRow("all fail") << QStringList{"a", "b"} << QStringList{"a", "b"} << QStringList{};
  }

  void forwardListsOnlySavedParts() {
    QFETCH(QStringList, names);
    QFETCH(QStringList, failing);
    QFETCH(QStringList, files);
    QList<ForwardPart> parts;
    for (int i = 0; i < names.size(); ++i)
      parts.append({names[i], {i}});
    int saves = 0;
    const ReplyDraft draft = forwardDraft(sample(), parts, [&](const ForwardPart& part, QString* why) {
      ++saves;
      *why = QStringLiteral("disk full");
      return failing.contains(part.name) ? QString() : QStringLiteral("/f/") + part.name;
    });
    QVERIFY(draft.forward && draft.to.isEmpty());
    QCOMPARE(draft.files, files);
    QCOMPARE(saves, names.size());  // each part saved once
    const QString report = notSavedReport(draft);
    QCOMPARE(report.isEmpty(), failing.isEmpty());
    for (const QString& name : failing)
      QVERIFY(report.contains(name + QStringLiteral(": disk full")));
  }
};

QTEST_APPLESS_MAIN(ComposeRulesTest)
#include "tst_compose_rules.moc"
