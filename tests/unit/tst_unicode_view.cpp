// The message view as Unicode: which parts convert, where the subject goes,
// and that every view line still names the part it came from (double-click
// and Save act on parts found through those lines).
#include "reading/unicodeview.h"

#include <QTest>

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

class UnicodeViewTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
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
};

QTEST_APPLESS_MAIN(UnicodeViewTest)
#include "tst_unicode_view.moc"
