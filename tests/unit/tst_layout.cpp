// The main window's reading-area layout, in twips.
#include "shell/mainlayout.h"

#include <QTest>

class LayoutTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
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
};

QTEST_GUILESS_MAIN(LayoutTest)
#include "tst_layout.moc"
