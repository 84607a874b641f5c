// Message list columns and order, attachment names and the safe file names
// they are saved under, the rendering of a message for the view, and the
// view as Unicode: which parts convert, where the subject goes, and that
// every view line still names the part it came from (double-click and Save
// act on parts found through those lines); how each text reads for the
// font it is shown in (charsets, font codes kept byte for byte).
#include "editing/textlayout.h"
#include "language/fontunicode.h"
#include "maillib/charsets.h"
#include "maillib/mailcontrol.h"
#include "maillib/parameters.h"
#include "reading/attachmentname.h"
#include "reading/listformat.h"
#include "reading/messagerenderer.h"
#include "reading/partrules.h"
#include "reading/textscripts.h"
#include "reading/unicodeview.h"
#include "reading/viewcap.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

using namespace reading;

namespace {

QByteArray sampleMessage(const char* name) {
  QFile f(QStringLiteral(TOVEL_SOURCE_DIR "/tests/data/") + QLatin1String(name));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList describe(const QList<AttachmentEntry>& entries) {
  QStringList out;
  for (const AttachmentEntry& a : entries) {
    QStringList path;
    for (int i : a.path)
      path << QString::number(i);
    out << QStringLiteral("%1 [%2] %3").arg(a.name, path.join(QLatin1Char(','))).arg(a.partIndex);
  }
  return out;
}

}  // namespace

using reading::RenderedMessage;
using reading::ViewBlock;
Q_DECLARE_METATYPE(RenderedMessage)

namespace {

ViewBlock block(ViewBlock::Kind kind, const QString& text, QList<int> path = {}) {
  ViewBlock b;
  b.kind = kind;
  b.text = text;
  b.path = std::move(path);
  return b;
}

RenderedMessage rendered(const QList<ViewBlock>& blocks) {
  RenderedMessage view;
  view.blocks = blocks;
  int line = 0;
  for (ViewBlock& b : view.blocks) {
    b.firstLine = line;
    b.lineCount = int(b.text.count(QLatin1Char('\n')));
    line += b.lineCount;
  }
  return view;
}

const QString kCodes = QStringLiteral("uu f.or hkjd");
const QString kUnicode = QStringLiteral("මම ගෙදර යනවා");

}  // namespace

class ReadingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void padColumn_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("padded");     // null: not looked at
    QTest::addColumn<QString>("textAfter");  // the caller's text, trimmed in place; null: not looked at
    const QString exact(35, QLatin1Char('s'));
    QTest::newRow("the width: whole, no trailing blank") << exact << 35 << exact << QString();
    QTest::newRow("longer: cut") << exact + QStringLiteral("overflow") << 35 << exact << QString();
    QTest::newRow("shorter: padded, one blank more") << "short" << 35 << "short" + QString(31, QLatin1Char(' ')) << QString();
    QTest::newRow("empty") << "" << 15 << QString(16, QLatin1Char(' ')) << QString();
    // Blanks around a value do not count toward the width.
    QTest::newRow("blanks around") << QStringLiteral("   ") + exact + QStringLiteral("  ") << 35 << exact << QString();
    QTest::newRow("the caller's text is trimmed") << "  Hello  " << 3 << QString() << "Hello";
    // Only blanks are padding: a tab inside a value stays.
    QTest::newRow("a tab stays") << "\tx " << 5 << "\tx    " << QString();
  }

  void padColumn() {
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, padded);
    QFETCH(QString, textAfter);
    const QString result = pad_column(text, width);
    if (!padded.isNull())
      QCOMPARE(result, padded);
    if (!textAfter.isNull())
      QCOMPARE(text, textAfter);
  }

  void senderColumn() {
    QCOMPARE(name_before_address(QStringLiteral("Kamala Perera <kamala@example.lk>")), QStringLiteral("Kamala Perera "));
    QCOMPARE(name_before_address(QStringLiteral("<only@example.lk>")), QString());
    QCOMPARE(name_before_address(QStringLiteral("plain@example.lk")), QStringLiteral("plain@example.lk"));

    const QString entry = messageListEntry(QStringLiteral("Kamala Perera <kamala@example.lk>"),
                                           QStringLiteral("  Hi  "), QStringLiteral("Sun, 6 Dec 2026 10:00:00 +0000"));
    const QStringList columns = entry.split(QLatin1Char('\t'));
    QCOMPARE(columns.size(), 3);
    QCOMPARE(columns[0], QStringLiteral("Kamala Perera") + QString(8, QLatin1Char(' ')));
    QCOMPARE(columns[1], QStringLiteral("Hi") + QString(34, QLatin1Char(' ')));
    QCOMPARE(columns[2], QStringLiteral("Sun, 6 Dec 2026"));

    // A sender that starts with "<" gives an empty column; 35 characters stand whole.
    const QString subject35(35, QLatin1Char('s'));
    QCOMPARE(messageListEntry(QStringLiteral("<bare@example.lk>"), subject35, QStringLiteral("Sun, 6 Dec 2026")),
             QString(21, QLatin1Char(' ')) + QLatin1Char('\t') + subject35 + QStringLiteral("\tSun, 6 Dec 2026"));
    // Without "<" the whole sender is taken, cut to 20.
    const QString longSender = messageListEntry(QStringLiteral("averyveryverylongaddress@example.lk"), {}, {});
    QCOMPARE(longSender.split(QLatin1Char('\t'))[0], QStringLiteral("averyveryverylongadd"));
  }

  void sortMatchesPlainOrder() {
    QRandomGenerator random(20261206);
    for (int n : {0, 1, 2, 3, 7, 8, 10, 31, 32, 33, 1000, 12345}) {
      QStringList names;
      for (int i = 0; i < n; ++i)
        names << QStringLiteral("%1.msg").arg(random.bounded(1, 200000), 8, 10, QLatin1Char('0'));
      QStringList expected = names;
      std::sort(expected.begin(), expected.end());
      sort_file_names(names);
      QCOMPARE(names, expected);
    }
  }

  void sortComparesCodesNotLocale() {
    QStringList names{QStringLiteral("b.msg"), QStringLiteral("B.msg"), QStringLiteral("9.msg"),
                      QStringLiteral("10.msg"), QStringLiteral("a.msg"), QStringLiteral("00000002.msg")};
    sort_file_names(names);
    QCOMPARE(names, (QStringList{QStringLiteral("00000002.msg"), QStringLiteral("10.msg"), QStringLiteral("9.msg"),
                                 QStringLiteral("B.msg"), QStringLiteral("a.msg"), QStringLiteral("b.msg")}));
  }

  void attachmentNames_data() {
    QTest::addColumn<QString>("disposition");
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QString>("name");

    QTest::newRow("quoted") << "attachment; filename=\"a.txt\"" << "" << "a.txt";
    QTest::newRow("unquoted") << "attachment; filename=a.txt" << "" << "a.txt";
    QTest::newRow("followed by parameters") << "attachment; filename=\"a.txt\"; size=10" << "" << "a.txt";
    QTest::newRow("unquoted then parameters") << "attachment; filename=a.txt;size=10" << "" << "a.txt";
    QTest::newRow("semicolon inside quotes") << "attachment; filename=\"x;y.doc\"" << "" << "x;y.doc";
    QTest::newRow("escaped quote") << "attachment; filename=\"say \\\"hi\\\".txt\"" << "" << "say \"hi\".txt";
    QTest::newRow("type parameters only") << "" << "charset=us-ascii; name=\"report.pdf\"" << "report.pdf";
    QTest::newRow("inline without name") << "inline" << "charset=utf-8" << QString();
    QTest::newRow("other parameter ending in name") << "attachment; xname=\"no.txt\"" << "" << QString();
    QTest::newRow("rfc2231 utf-8")
        << "attachment; filename*=UTF-8''%E0%B7%83%E0%B7%92%E0%B6%82.txt" << "" << QString::fromUtf8("සිං.txt");
    QTest::newRow("rfc2231 latin-1") << "attachment; filename*=iso-8859-1'en'caf%E9.txt" << "" << QString::fromUtf8("café.txt");
    QTest::newRow("rfc2231 continuations")
        << "attachment; filename*0=\"long \"; filename*1=\"name.txt\"" << "" << "long name.txt";
    QTest::newRow("rfc2231 encoded continuations")
        << "attachment; filename*0*=UTF-8''%E0%AE%A4; filename*1*=%E0%AE%AE.doc" << "" << QString::fromUtf8("தம.doc");
    QTest::newRow("rfc2047 base64") << "attachment; filename=\"=?UTF-8?B?Y2Fmw6kucGRm?=\"" << ""
                                    << QString::fromUtf8("café.pdf");
    QTest::newRow("windows path keeps its backslashes") << "attachment; filename=\"C:\\dir\\a.zip\"" << "" << "C:\\dir\\a.zip";
    QTest::newRow("escaped backslashes") << "attachment; filename=\"C:\\\\dir\\\\a.zip\"" << "" << "C:\\dir\\a.zip";
    QTest::newRow("damaged item passed over") << "attachment; a b=c; filename=ok.txt" << "" << "ok.txt";
    QTest::newRow("continuations out of order")
        << "attachment; filename*1=\"two.txt\"; filename*0=\"one-\"" << "" << "one-two.txt";
    QTest::newRow("rfc2047 q, split words")
        << "" << "name=\"=?ISO-8859-1?Q?caf=E9_au?= =?ISO-8859-1?Q?_lait.txt?=\"" << QString::fromUtf8("café au lait.txt");
  }

  void attachmentNames() {
    QFETCH(QString, disposition);
    QFETCH(QString, parameters);
    QFETCH(QString, name);
    const QString found = attachmentName(disposition, parameters);
    QCOMPARE(found, name);
    QCOMPARE(found.isNull(), name.isNull());
  }

  void dispositionNameWinsOverTypeName() {
    QCOMPARE(attachmentName(QStringLiteral("attachment; filename=\"disp.txt\""), QStringLiteral("name=\"type.txt\"")),
             QStringLiteral("disp.txt"));
    // An extended value is preferred over a plain fallback given beside it.
    QCOMPARE(maillib::parameterValue(QStringLiteral("attachment; filename=\"fallback.txt\"; filename*=UTF-8''real%20name.txt"),
                             QStringLiteral("filename")),
             QStringLiteral("real name.txt"));
  }

  void safeNames_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("safe");
    QTest::newRow("plain") << "report.pdf" << "report.pdf";
    QTest::newRow("climbing") << "../../x" << "x";
    QTest::newRow("absolute") << "/etc/passwd" << "passwd";
    QTest::newRow("backslash") << "a\\b" << "b";
    QTest::newRow("windows path") << "C:\\Windows\\system.ini" << "system.ini";
    QTest::newRow("empty") << "" << "attachment";
    QTest::newRow("dot dot") << ".." << "attachment";
    QTest::newRow("trailing separator") << "dir/" << "attachment";
    QTest::newRow("blanks and dots") << " . " << "attachment";
    QTest::newRow("control characters") << "a\nb\tc\x01.txt" << "abc.txt";
    QTest::newRow("reserved characters") << "what?<now>|*:\".txt" << "what__now_____.txt";
    QTest::newRow("direction override") << QString::fromUtf8("invoice\u202Etxt.exe") << "invoicetxt.exe";
    QTest::newRow("device name") << "CON.txt" << "_CON.txt";
    QTest::newRow("sinhala") << QString::fromUtf8("ලිපිය.txt") << QString::fromUtf8("ලිපිය.txt");
    QTest::newRow("font codes kept") << QString::fromLatin1("\x8a\x9f.txt") << QString::fromLatin1("\x8a\x9f.txt");
  }

  void safeNames() {
    QFETCH(QString, given);
    QFETCH(QString, safe);
    QCOMPARE(safeFileName(given), safe);
  }

  void longNamesKeepTheirExtension() {
    const QString name = QString(300, QChar(0x0DC3)) + QStringLiteral(".pdf");  // 3 bytes each in UTF-8
    const QString safe = safeFileName(name);
    QVERIFY(safe.toUtf8().size() <= 200);
    QVERIFY(safe.endsWith(QLatin1String(".pdf")));
    QVERIFY(safe.startsWith(QChar(0x0DC3)));
  }

  void encodingsInAnyCase() {
    for (const char* name : {"base64", "Base64", "BASE64", "quoted-printable", "Quoted-Printable", "mac-binhex40",
                             "X-UUEncode", " base64 "})
      QVERIFY2(isDecodedEncoding(QString::fromLatin1(name)), name);
    for (const char* name : {"", "7bit", "8bit", "binary", "x-token"})
      QVERIFY2(!isDecodedEncoding(QString::fromLatin1(name)), name);
    QCOMPARE(generatedPartName(QStringLiteral("image"), QStringLiteral("JPEG"), 2), QStringLiteral("part2.jpg"));
    QCOMPARE(generatedPartName(QStringLiteral("message"), QStringLiteral("rfc822"), 3), QStringLiteral("part3.eml"));
    QCOMPARE(generatedPartName(QStringLiteral("application"), QStringLiteral("x-../evil"), 1), QStringLiteral("part1.bin"));
  }

  void everyViewLineMapsToItsPart_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("headers");
    QTest::newRow("nested, with headers") << sampleMessage("nested.msg") << true;
    QTest::newRow("nested") << sampleMessage("nested.msg") << false;
    QTest::newRow("every kind of line break")
        << QByteArray("From: a@b.lk\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                      "one\rtwo\r\nthree\nfour\xe2\x80\xa9" "five\xef\xb7\x90six\r\n\r\n\r\nlast")
        << true;
    QTest::newRow("html only")
        << QByteArray("From: a@b.lk\r\nContent-Type: text/html\r\n\r\n<p>one</p><p>two<br>three</p>\r\n") << false;
  }

  void everyViewLineMapsToItsPart() {
    // The view shows the text as one document; each of its lines must be the
    // line the map gives, so a line picked in the view finds its part.
    QFETCH(QByteArray, message);
    QFETCH(bool, headers);
    MailControl control;
    QVERIFY(control.loadMessageBytes(message));
    const RenderedMessage view = MessageRenderer(control, headers).render();
    QTextDocument document;
    document.setPlainText(view.text());
    QCOMPARE(document.blockCount(), view.lineCount() + 1);  // the text ends in a line end
    for (int k = 0; k < view.lineCount(); ++k) {
      QVERIFY2(view.blockAt(k), qPrintable(QString::number(k)));
      QCOMPARE(view.line(k), document.findBlockByNumber(k).text());
    }
    QVERIFY(!view.blockAt(view.lineCount()));
    QCOMPARE(view.blocks.first().kind == ViewBlock::Kind::Headers, headers);
  }

  void attachmentsCarryPathsFromTheLoadedMessage() {
    MailControl control;
    QVERIFY(control.loadMessageBytes(sampleMessage("nested.msg")));
    const RenderedMessage top = MessageRenderer(control, false).render();
    QCOMPARE(describe(top.attachments),
             (QStringList{QStringLiteral("fwd.eml [1] 1"), QString::fromUtf8("résumé.bin [2] 2")}));
    QCOMPARE(top.blocks.size(), 1);  // of the alternatives only the plain one
    QCOMPARE(top.blocks.first().path, (QList<int>{0, 0}));
    QVERIFY(top.text().startsWith(QString::fromUtf8("Plain ආ text with a soft break\n")));
    // The control stands where it stood.
    QCOMPARE(control.ContentSubType(), QStringLiteral("mixed"));
    QCOMPARE(control.PartCount(), 3);

    // Rendered from inside the enclosed message, paths still count from the
    // loaded message.
    QVERIFY(control.enterPart(1));
    const RenderedMessage inner = MessageRenderer(control, true).render({1});
    QCOMPARE(describe(inner.attachments), QStringList{QString::fromUtf8("ලිpi.pdf [1,1] 1")});
    QCOMPARE(inner.blocks.size(), 2);
    QVERIFY(inner.blocks[0].text.contains(QLatin1String("From: Carl")));
    QCOMPARE(inner.blocks[1].path, (QList<int>{1, 0}));
    QCOMPARE(inner.blocks[1].text, QStringLiteral("inner text\n"));
    control.leavePart();
    QCOMPARE(control.PartCount(), 3);
  }

  void viewLineEnds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("view");
    QTest::newRow("plain") << QStringLiteral("a\nb\n") << QStringLiteral("a\nb\n");
    QTest::newRow("CR LF, lone CR, CR at the end") << QStringLiteral("a\r\nb\rc\r\r\nd\r")
                                                   << QStringLiteral("a\nb\nc\n\nd\n");
    QTest::newRow("paragraph and frame marks")
        << (QStringLiteral("a") + QChar(0x2029) + QChar(0xFDD0) + QStringLiteral("b") + QChar(0xFDD1))
        << (QStringLiteral("a\n") + QChar(0xFFFD) + QStringLiteral("b") + QChar(0xFFFD));
  }

  void viewLineEnds() {
    QFETCH(QString, text);
    QFETCH(QString, view);
    QCOMPARE(viewLineBreaks(text), view);
  }

  void longTextsAreCutWithANotice_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");  // without the notice line
    QTest::addColumn<int>("hiddenLines");
    QTest::addColumn<qsizetype>("hiddenChars");
    const QString four = QStringLiteral("one\ntwo\nthree\nfour\n");
    QTest::newRow("within both limits") << QStringLiteral("one\ntwo") << QString() << 0 << qsizetype(0);
    QTest::newRow("exactly at the line limit") << QStringLiteral("a\nb\nc\n") << QString() << 0 << qsizetype(0);
    QTest::newRow("too many lines") << four << QStringLiteral("one\ntwo\nthree\n") << 1 << qsizetype(5);
    QTest::newRow("too many characters: whole lines only")
        << QStringLiteral("123456789012345678\n89\nabc") << QStringLiteral("123456789012345678\n") << 2
        << qsizetype(6);
    QTest::newRow("one endless line is cut") << QStringLiteral("x").repeated(45) << QStringLiteral("x").repeated(20) << 1
                                             << qsizetype(25);
  }

  void longTextsAreCutWithANotice() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(int, hiddenLines);
    QFETCH(qsizetype, hiddenChars);
    const CappedText capped = capViewText(text, ViewLimit{3, 20});
    QCOMPARE(capped.hiddenLines, hiddenLines);
    QCOMPARE(capped.hiddenChars, hiddenChars);
    if (!capped.capped()) {
      QCOMPARE(capped.text, text);
      return;
    }
    QVERIFY(capped.text.startsWith(shown));
    // Nothing of the text is lost between what is shown and what is counted.
    QCOMPARE(shown.size() + capped.hiddenChars, text.size());
    QCOMPARE(capped.text.mid(shown.size() + (shown.endsWith(QLatin1Char('\n')) ? 0 : 1)),
             hiddenTextNotice(hiddenLines, hiddenChars));
  }

  // Which lines are laid out unwrapped: only those with a run longer than
  // the limit that no line-breaking rule may split.
  void unbreakableRunsFound_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("unbreakable");
    const qsizetype n = editing::kLongestWrappedRun;
    QTest::newRow("one letter, at the limit") << QString(n, u'a') << false;
    QTest::newRow("one letter, past it") << QString(n + 1, u'a') << true;
    QTest::newRow("8-bit font codes") << QString::fromLatin1(QByteArray(3000, '\xe7')) << true;
    QTest::newRow("past it after words") << QStringLiteral("some words ").repeated(50) + QString(n + 1, u'x') << true;
    QTest::newRow("long words under the limit") << (QString(n - 1, u'w') + u' ').repeated(5) << false;
    QTest::newRow("ideographs break anywhere") << QString(3000, QChar(0x6F22)) << false;
    QTest::newRow("a path breaks at its slashes") << QStringLiteral("/segment").repeated(500) << false;
  }

  void unbreakableRunsFound() {
    QFETCH(QString, text);
    QFETCH(bool, unbreakable);
    QCOMPARE(editing::hasUnbreakableRun(text), unbreakable);
    // In a document only that line is unwrapped, and the text is as it was.
    QTextDocument doc;
    const QString all = QStringLiteral("before\n") + text + QStringLiteral("\nafter");
    QTextCursor cursor(&doc);
    editing::insertLaidOutText(cursor, all);
    QCOMPARE(doc.toRawText(), QString(all).replace(u'\n', QChar::ParagraphSeparator));
    for (const int k : {0, 1, 2})
      QCOMPARE(doc.findBlockByNumber(k).blockFormat().nonBreakableLines(), k == 1 && unbreakable);
  }

  void linesKeepTheirParts_data() {
    QTest::addColumn<RenderedMessage>("view");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("partOfLine");  // path[0] of each line's block, -1 for headers
    const auto H = ViewBlock::Kind::Headers, T = ViewBlock::Kind::Text;
    QTest::newRow("folded subject becomes one line")
        << rendered({block(H, QStringLiteral("From: a\nSubject: =?x?\n  more\nTo: b\n")), block(T, kCodes + "\n", {3})})
        << kCodes << QStringLiteral("From: a\nSubject: %1\nTo: b\n%1\n").arg(kUnicode) << QList<int>{-1, -1, -1, 3};
    QTest::newRow("subject on top without headers")
        << rendered({block(T, "uu\n", {0}), block(T, "hkjd\n", {2})}) << kCodes
        << QStringLiteral("Subject: %1\nමම\nයනවා\n").arg(kUnicode) << QList<int>{-1, 0, 2};
    QTest::newRow("no subject, no line")
        << rendered({block(T, "uu\n", {1})}) << QString() << QStringLiteral("මම\n") << QList<int>{1};
    QTest::newRow("unicode part and unicode subject stay")
        << rendered({block(T, "ok " + kUnicode + "\n", {0}), block(T, "uu\n", {1})}) << kUnicode
        << QStringLiteral("Subject: %1\nok %1\nමම\n").arg(kUnicode) << QList<int>{-1, 0, 1};
  }

  void linesKeepTheirParts() {
    QFETCH(RenderedMessage, view);
    QFETCH(QString, subject);
    QFETCH(QString, text);
    QFETCH(QList<int>, partOfLine);
    const RenderedMessage shown = reading::viewAsUnicode(view, FontScript::Sinhala, subject);
    QCOMPARE(shown.text(), text);
    QCOMPARE(shown.lineCount(), int(partOfLine.size()));
    for (int line = 0; line < partOfLine.size(); ++line) {
      const ViewBlock* b = shown.blockAt(line);
      QVERIFY(b);
      QCOMPARE(b->kind == ViewBlock::Kind::Headers ? -1 : b->path.value(0), partOfLine[line]);
    }
  }

  // A text part as the control gives it (Latin-1 labels byte for byte) and
  // as it is shown.
  void partTextsReadForTheirFont_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<QByteArray>("charset");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("script");
    const int perText = int(FontChoice::PerText), display = int(FontChoice::DisplayFont);
    const int unicode = int(FontChoice::UnicodeFont);
    const QString quotes = QString::fromLatin1("He said \x93yes\x94 \x96 it costs \x80" "5.");
    const QString read = QStringLiteral("He said “yes” – it costs €5.");
    const QString sinhalaCodes = unicodeToFontCodes(QStringLiteral("මම හෙට ගෙදර එනවා. අම්මා හොඳින් ඉන්නවා."),
                                                    FontScript::Sinhala);
    const QString sinhala = QStringLiteral("මම හෙට ගෙදර එනවා");
    const int latin = int(TextScript::Latin);
    QTest::newRow("windows-1252") << quotes << QByteArray("windows-1252") << perText << read << latin;
    QTest::newRow("iso-8859-1 read as windows-1252") << quotes << QByteArray("ISO-8859-1") << unicode << read << latin;
    QTest::newRow("unknown charset, bytes as windows-1252") << quotes << QByteArray("x-martian") << perText << read << latin;
    QTest::newRow("8-bit display font keeps every byte") << quotes << QByteArray("windows-1252") << display << quotes << latin;
    QTest::newRow("font codes keep every byte") << sinhalaCodes << QByteArray("windows-1252") << perText << sinhalaCodes
                                                << int(TextScript::SinhalaFont);
    QTest::newRow("unlabelled utf-8") << QString::fromLatin1(sinhala.toUtf8()) << QByteArray() << perText << sinhala
                                      << int(TextScript::Sinhala);
    QTest::newRow("utf-8 said to be us-ascii") << QString::fromLatin1("caf\xc3\xa9 \xe2\x80\x9cok\xe2\x80\x9d")
                                               << QByteArray("us-ascii") << unicode << QStringLiteral("café “ok”") << latin;
    QTest::newRow("labelled latin-1 is not utf-8") << QString::fromLatin1("caf\xc3\xa9") << QByteArray("iso-8859-1")
                                                   << perText << QString::fromLatin1("caf\xc3\xa9") << latin;
    QTest::newRow("decoded by its charset already") << QStringLiteral("Привет “ok”") << QByteArray("koi8-r") << perText
                                                    << QStringLiteral("Привет “ok”") << latin;
  }

  void partTextsReadForTheirFont() {
    QFETCH(QString, given);
    QFETCH(QByteArray, charset);
    QFETCH(int, choice);
    QFETCH(QString, shown);
    QFETCH(int, script);
    const ScriptedText read = readPartText(given, charset, FontChoice(choice));
    QCOMPARE(read.text, shown);
    if (FontChoice(choice) == FontChoice::PerText)
      QCOMPARE(int(read.script), script);
  }

  // Each part of a message reads by its own label; a label not known here
  // is told of.
  void partsReadByTheirOwnCharset() {
    MailControl control;
    QVERIFY(control.loadMessageBytes(
        "From: a@b.lk\r\nSubject: x\r\nContent-Type: multipart/mixed; boundary=B\r\n\r\n"
        "--B\r\nContent-Type: text/plain; charset=windows-1252\r\n\r\nHe said \x93yes\x94\r\n"
        "--B\r\nContent-Type: text/plain; charset=x-martian\r\n\r\nabc \x93\r\n--B--\r\n"));
    RenderedMessage view = MessageRenderer(control, true).render();
    readView(view, FontChoice::PerText);
    QVERIFY(view.text().endsWith(QStringLiteral("He said “yes”\nabc “\n")));
    QCOMPARE(view.problems.size(), 1);
    QVERIFY(view.problems.first().contains(QLatin1String("\"x-martian\"")));
    const ScriptRuns runs = viewRuns(view);
    QCOMPARE(runs, ScriptRuns({{0, TextScript::Latin}}));
  }

  // Nothing of a text is dropped, whatever its bytes.
  void charsetsDecodeWithoutLoss_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("charset");
    QTest::addColumn<QString>("text");
    QTest::newRow("koi8-r") << QByteArray("\xf0\xd2\xc9\xd7\xc5\xd4") << QByteArray("KOI8-R") << QStringLiteral("Привет");
    QTest::newRow("windows-1251 alias") << QByteArray("\xcc\xe8\xf0") << QByteArray("cp1251") << QStringLiteral("Мир");
    QTest::newRow("bad utf-8 byte") << QByteArray("a\xff" "b\xe2\x82") << QByteArray("utf-8") << QStringLiteral("a\ufffdb\ufffd\ufffd");
    QTest::newRow("not known") << QByteArray("abc") << QByteArray("x-martian") << QString();
  }

  void charsetsDecodeWithoutLoss() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, charset);
    QFETCH(QString, text);
    const std::optional<QString> decoded = maillib::charsets::decode(bytes, charset);
    QCOMPARE(decoded.has_value(), !text.isNull());
    QCOMPARE(maillib::charsets::isKnown(charset), !text.isNull());
    if (decoded)
      QCOMPARE(*decoded, text);
  }
};

QTEST_GUILESS_MAIN(ReadingTest)
#include "tst_reading.moc"
