// The keyboard layout viewer: which picture it shows, its silence about
// missing pictures, the click message, printing and closing.
#include "language/frmkeybd.h"
#include "platform/paths.h"
#include "support/scriptedprompter.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

class KeyboardTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() { prompter_ = std::make_unique<ScriptedPrompter>(); }

  void cleanup() {
    if (frmkeybd* open = frmkeybd::openViewer())
      delete open;
    prompter_.reset();
  }

  void opensOnSinhalaWithItsControls() {
    frmkeybd* viewer = frmkeybd::showViewer();
    QVERIFY(viewer->isVisible());
    QVERIFY(!viewer->isModal());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Keyboad Layout"));
    QCOMPARE(viewer->sinhala_k->text(), QStringLiteral("&Sinhala"));
    QCOMPARE(viewer->Tamil_k->text(), QStringLiteral("&Tamil"));
    QCOMPARE(viewer->xprint->text(), QStringLiteral("&Print"));
    QCOMPARE(viewer->Command1->text(), QStringLiteral("&Close"));
    QVERIFY(viewer->picturePath().endsWith(QStringLiteral("/Nelisin.gif")));
    QVERIFY(!viewer->keybd->pixmap().isNull());
    // the picture is shown at 100 %, neither squeezed nor cut, and readable so
    QCOMPARE(viewer->keybd->contentsRect().size(), viewer->keybd->pixmap().size());
    QVERIFY(viewer->keybd->pixmap().width() >= 800 && viewer->keybd->pixmap().width() <= 1400);
    QVERIFY(prompter_->messages.isEmpty());
  }

  void tamilThenReopenStartsOnSinhala() {
    frmkeybd* viewer = frmkeybd::showViewer();
    QTest::mouseClick(viewer->Tamil_k, Qt::LeftButton);
    QVERIFY(viewer->picturePath().endsWith(QStringLiteral("/Velan.gif")));
    QVERIFY(viewer->keybd->pixmap().width() >= 800 && viewer->keybd->pixmap().width() <= 1400);
    QPointer<frmkeybd> closed = viewer;
    QTest::mouseClick(viewer->Command1, Qt::LeftButton);
    QTRY_VERIFY(closed.isNull());  // closing discards the window
    frmkeybd* again = frmkeybd::showViewer();
    QVERIFY(again->picturePath().endsWith(QStringLiteral("/Nelisin.gif")));
  }

  void openViewerIsReusedAsItIs() {
    frmkeybd* viewer = frmkeybd::showViewer();
    viewer->Tamil_k_Click();
    QCOMPARE(frmkeybd::showViewer(), viewer);
    QVERIFY(viewer->picturePath().endsWith(QStringLiteral("/Velan.gif")));
  }

  void missingPictureIsSilent() {
    QTemporaryDir folder;
    QVERIFY(QFile::copy(platform::joinPath(platform::programFolder(), QStringLiteral("Nelisin.gif")),
                        folder.filePath(QStringLiteral("Nelisin.gif"))));
    QFile broken(folder.filePath(QStringLiteral("Velan.gif")));
    frmkeybd* viewer = frmkeybd::showViewer();
    viewer->setPictureFolder(folder.path());
    viewer->sinhala_k_Click();
    const qint64 shown = viewer->keybd->pixmap().cacheKey();
    QTest::mouseClick(viewer->Tamil_k, Qt::LeftButton);  // Velan.gif absent
    QVERIFY(viewer->picturePath().endsWith(QStringLiteral("/Nelisin.gif")));
    QCOMPARE(viewer->keybd->pixmap().cacheKey(), shown);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("GIF89a not really a picture");
    broken.close();
    QTest::mouseClick(viewer->Tamil_k, Qt::LeftButton);  // Velan.gif unreadable
    QCOMPARE(viewer->keybd->pixmap().cacheKey(), shown);
    QVERIFY(prompter_->messages.isEmpty());
  }

  void clickOnThePictureShowsTheMessage() {
    frmkeybd* viewer = frmkeybd::showViewer();
    QTest::mouseClick(viewer->keybd, Qt::LeftButton);
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Please view the keyboards from the keybd.htm file")});
    QCOMPARE(prompter_->titles, QStringList{QString()});
  }

  void printsTheWindowImage() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("layout.pdf"));
    frmkeybd* viewer = frmkeybd::showViewer();
    viewer->setPrinterFactory([pdf] {
      auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(pdf);
      return printer;
    });
    QTest::mouseClick(viewer->xprint, Qt::LeftButton);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY2(bytes.size() > 20000, "the page carries the window's image");
    QVERIFY(prompter_->messages.isEmpty());

    // no printer at all: a clear message instead of silence
    viewer->setPrinterFactory([] { return std::unique_ptr<QPrinter>(); });
    viewer->xprint_Click();
    QCOMPARE(prompter_->messages.size(), 1);
  }

 private:
  std::unique_ptr<ScriptedPrompter> prompter_;
};

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
