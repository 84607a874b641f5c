// Reply, Forward and the compose window's Edit menu through the real main
// window and compose window: what the compose window holds after a reply or
// forward of the message on view, the forwarded files, and the editing
// commands on its boxes.
#include "compose/newmessage.h"
#include "editing/editing.h"
#include "language/fonts.h"
#include "language/languagestate.h"
#include "support/files.h"
#include "support/mainwindowtest.h"
#include "support/modal.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QTest>

namespace {

const QString kDate = QStringLiteral("Sun, 6 Dec 2026 10:00:00 +0000");

QByteArray message(const QByteArray& from, const QByteArray& subject, const QByteArray& contentType,
                   const QByteArray& body, const QByteArray& cc = {}) {
  return testMessage(from, subject, contentType, body, cc.isEmpty() ? QByteArray() : "Cc: " + cc + "\r\n");
}

struct Attachment {
  QByteArray name;
  QByteArray data;
};

QByteArray withAttachments(const QByteArray& subject, const QList<Attachment>& files) {
  QByteArray body = "--B\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nThe files.\r\n";
  for (const Attachment& f : files)
    body += "--B\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment; filename=\"" + f.name + "\"\r\n\r\n" + f.data.toBase64() + "\r\n";
  return message("Nimal <n@example.lk>", subject, "multipart/mixed; boundary=\"B\"", body + "--B--\r\n");
}

QByteArray someBytes(int seed) {
  QByteArray data;
  for (int i = 0; i < 3000; ++i)
    data.append(char((i * 13 + seed) & 0xFF));
  return data;
}

}  // namespace

class ReplyTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { QVERIFY(registerBundledFonts().contains(kSinhalaFont)); }

  void init() { openMainWindow(); }
  void cleanup() { closeMainWindow(); }

  void replyQuotesTheMessageOnView_data() {
    QTest::addColumn<int>("lang");
    QTest::addColumn<QString>("font");
    QTest::addColumn<QByteArray>("subjectHeader");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("cc");
    QTest::addColumn<bool>("headers");
    QTest::newRow("English, no CC") << int(English) << kEnglishFont << QByteArray("Lunch on Friday")
                                    << "Lunch on Friday" << QByteArray("Shall we meet at one?\r\nK.\r\n")
                                    << QByteArray() << false;
    // Font codes, the no-break space (160) among them, in subject and body.
    QTest::newRow("Sinhala font codes, headers on")
        << int(Sinhala) << kSinhalaFont << QByteArray("=?iso-8859-1?Q?l=E0=A0ip=FFy?=")
        << QString::fromLatin1("l\xe0\xa0ip\xffy") << QByteArray("wdhqfndajka \xe0\xa0\xe4\r\nf\xf3\xa0y\r\n")
        << QByteArray("Sunil <s@example.lk>") << true;
    QTest::newRow("Tamil font codes") << int(Tamil) << kTamilFont << QByteArray("=?iso-8859-1?Q?=A4=A7=F8?=")
                                      << QString::fromLatin1("\xa4\xa7\xf8") << QByteArray("\xa4\xa7\xa0\xb0\r\n")
                                      << QByteArray("a@example.lk, b@example.lk") << false;
  }

  void replyQuotesTheMessageOnView() {
    QFETCH(int, lang);
    QFETCH(QString, font);
    QFETCH(QByteArray, subjectHeader);
    QFETCH(QString, subject);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, cc);
    QFETCH(bool, headers);
    root_->write(QStringLiteral("Inbox/00000001.msg"),
                 message("Kamala Perera <k@example.lk>", subjectHeader, "text/plain; charset=iso-8859-1", body, cc));
    root_->write(QStringLiteral("Inbox/00000002.msg"), message("Other <o@x.lk>", "Other", "text/plain", "x\r\n"));
    form_->mnuLangSinh[size_t(lang)]->trigger();
    showMessage(0);
    if (headers)
      form_->ShowHeaders_Click();
    form_->listFolders_Click();  // the control now holds the folder's last message
    const QString view = editing::bodyText(form_->textBody);
    QVERIFY(view.contains(QString::fromLatin1(body).split(QStringLiteral("\r\n")).first()));

    QTest::mouseClick(form_->cmdReply, Qt::LeftButton);
    NewMessage* w = compose();
    QVERIFY(w->isVisible());
    QCOMPARE(w->txtTo->text(), QStringLiteral("Kamala Perera <k@example.lk>"));
    QCOMPARE(w->txtSubject->text(), subject);
    const QString quote = QStringLiteral(" \n \n \n---------------------------\nFrom   : Kamala Perera <k@example.lk>\n") +
                          QStringLiteral("Date   : ") + kDate + QStringLiteral("\nTo     : me@example.org\nCC     : ") +
                          QString::fromLatin1(cc) + QStringLiteral("\nSubject: ") + subject + QLatin1Char('\n') + view +
                          QLatin1Char('\n');
    QCOMPARE(composeBody(), quote);
    QCOMPARE(readTestFile(root_->path(QStringLiteral("reply.tmp"))), quote.toLatin1().replace("\n", "\r\n"));
    if (headers)
      QVERIFY(composeBody().contains(QLatin1String("\nMIME-Version: 1.0\n")));

    // The caret waits above the quote; the quote is dark blue in the font the
    // message was read in, what is typed is not.
    QCOMPARE(w->txtBody->textCursor().position(), 0);
    QVERIFY(!w->txtBody->textCursor().hasSelection());
    QTextCursor inQuote(w->txtBody->document());
    inQuote.setPosition(quote.indexOf(QLatin1String("Subject")) + 2);
    QCOMPARE(inQuote.charFormat().foreground().color(), QColor(0, 0, 128));
    QCOMPARE(inQuote.charFormat().fontFamilies().toStringList().value(0), font);
    QVERIFY(w->txtBody->currentCharFormat().foreground().color() != QColor(0, 0, 128));
    QCOMPARE(w->cmbAttachments->count(), 0);
  }

  void forwardAttachesEachFileOnceWithItsBytes() {
    const QList<Attachment> files = {{"photo.gif", "GIF89a" + someBytes(3)}, {"notes.bin", someBytes(4)}};
    root_->write(QStringLiteral("Inbox/00000001.msg"), withAttachments("Two files", files));
    root_->write(QStringLiteral("Inbox/00000002.msg"), withAttachments("Other", {{"notes.bin", "other"}}));
    // An older file of the same name from another message stays as it is
    // and is not what goes out.
    root_->write(QStringLiteral("Files/photo.gif"), "an older photo");
    showMessage(0);
    form_->listFolders_Click();  // the control now holds the folder's last message
    QTest::mouseClick(form_->forward_msg, Qt::LeftButton);
    NewMessage* w = compose();
    QCOMPARE(w->txtSubject->text(), QStringLiteral("Two files"));
    QVERIFY(w->txtTo->text().isEmpty());
    QVERIFY(composeBody().contains(QLatin1String("Subject: Two files\n")));
    for (int i = 0; i < 3; ++i) {
      form_->activateWindow();
      w->activateWindow();
      w->Form_Activate();
      QCoreApplication::processEvents();
    }
    QCOMPARE(w->cmbAttachments->count(), 2);
    QCOMPARE(w->Mail1->PartCount(), 2);
    for (int i = 0; i < 2; ++i)
      QCOMPARE(readTestFile(w->cmbAttachments->itemText(i)), files[i].data);
    QCOMPARE(w->forwardlist->count(), 0);
    QCOMPARE(readTestFile(root_->path(QStringLiteral("Files/photo.gif"))), QByteArray("an older photo"));
    QVERIFY(prompter_->messages.isEmpty());
    // an opener that fills the window anew starts from an empty message
    w->clearAttachments();
    QCOMPARE(w->cmbAttachments->count(), 0);
    QCOMPARE(w->Mail1->PartCount(), 0);
    QCOMPARE(w->Mail1->From(), QStringLiteral("me@example.org"));
  }

  void askBeforeReplacingUnsentWork_data() {
    QTest::addColumn<bool>("discard");
    QTest::newRow("kept") << false;
    QTest::newRow("discarded") << true;
  }

  void askBeforeReplacingUnsentWork() {
    QFETCH(bool, discard);
    root_->write(QStringLiteral("Inbox/00000001.msg"), message("A <a@example.lk>", "Hi", "text/plain", "Hello\r\n"));
    form_->news_msg_Click();
    compose()->txtBody->setPlainText(QStringLiteral("half a letter"));
    compose()->txtCC->setText(QStringLiteral("boss@example.lk"));
    showMessage(0);
    prompter_->questionAnswers.enqueue(discard);
    form_->cmdReply_Click();
    QCOMPARE(prompter_->questions.size(), 1);
    QCOMPARE(composeBody().contains(QLatin1String("half a letter")), !discard);
    QCOMPARE(compose()->txtTo->text(), discard ? QStringLiteral("A <a@example.lk>") : QString());
    // A reply that replaced the draft does not carry its copy list along.
    QCOMPARE(compose()->txtCC->text(), discard ? QString() : QStringLiteral("boss@example.lk"));
    QVERIFY(compose()->isVisible());
  }

  void editMenuRoundTrip() {
    form_->news_msg_Click();
    NewMessage* w = compose();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->sin_ph_Click();
    // Typed through the Sinhala keys into the subject, then cut and pasted
    // into the body: the same codes arrive, nothing is translated twice.
    w->txtSubject->setFocus();
    QTest::keyClicks(w->txtSubject, QStringLiteral("siVhl"));
    const QString typed = w->txtSubject->text();
    QVERIFY(!typed.isEmpty() && typed != QStringLiteral("siVhl"));
    w->txtSubject->selectAll();
    w->mnuCut->trigger();
    QVERIFY(w->txtSubject->text().isEmpty());
    w->txtBody->setFocus();
    w->mnuPaste->trigger();
    QCOMPARE(composeBody(), typed);
    // Select All works on the body; Copy then takes the body's text.
    w->txtTo->setFocus();
    w->mnuSelAll->trigger();
    w->mnuCopy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), typed);

    // The keys do what the menu does, the no-break space (a font code) kept.
    const QString codes = QString::fromLatin1("a\xa0" "b\nc");
    w->setBodyText(codes);
    w->txtBody->selectAll();
    QTest::keySequence(w->txtBody, QKeySequence::Cut);
    QCOMPARE(QGuiApplication::clipboard()->text(), codes);
    QTest::keySequence(w->txtBody, QKeySequence::Paste);
    QTest::keySequence(w->txtBody, QKeySequence::Paste);
    QCOMPARE(composeBody(), codes + codes);
    w->txtBody->selectAll();
    QTest::keySequence(w->txtBody, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), codes + codes);

    // Find from the dialog, then Find Next after it has closed.
    w->setBodyText(QStringLiteral("xabcabc"));
    QTextCursor top = w->txtBody->textCursor();
    top.setPosition(0);
    w->txtBody->setTextCursor(top);
    whenModalAppears([](QWidget* modal) {
      auto* dialog = qobject_cast<editing::frmFind*>(modal);
      if (!dialog)
        return void(modal->close());
      dialog->Text1->setText(QStringLiteral("abc"));
      dialog->optDirection[1]->click();
      dialog->cmdFind->click();
      dialog->cmdcancel->click();
    });
    w->mnuFind->trigger();
    QCOMPARE(w->txtBody->textCursor().selectionStart(), 1);
    w->mnuFindnext->trigger();
    QCOMPARE(w->txtBody->textCursor().selectionStart(), 4);
    QCOMPARE(w->txtBody->textCursor().selectedText(), QStringLiteral("abc"));

    // Open and Insert File cancelled leave the body as it was.
    w->mnuOpen->trigger();
    w->mnuInsertFile->trigger();
    QCOMPARE(composeBody(), QStringLiteral("xabcabc"));
    QVERIFY(prompter_->messages.isEmpty());
  }

 private:
  void showMessage(int row) {
    form_->listFolders->setCurrentRow(-1);
    form_->listFolders->setCurrentItem(form_->listFolders->findItems(QStringLiteral("Inbox"), Qt::MatchFixedString).first());
    form_->listMessages->setCurrentRow(row);
  }

  NewMessage* compose() const { return newMessage(); }
  QString composeBody() const { return compose()->bodyText(); }
};

QTEST_MAIN(ReplyTest)
#include "tst_reply.moc"

