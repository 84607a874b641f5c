// Sinhala and Tamil as real Unicode in the windows: the message view shown
// and copied as Unicode, Unicode mail in the Noto fonts, pasted Unicode
// typed as font codes, and the Unicode copy of sent mail read back by an
// independent reader (Python's email package).
#include "compose/messageassembly.h"
#include "compose/newmessage.h"
#include "compose/unicodecopy.h"
#include "language/fonts.h"
#include "language/languagestate.h"
#include "settings/settingsstore.h"
#include "support/mainwindowtest.h"
#include "support/pythonreader.h"

#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QTextBlock>

namespace {

// Font codes and the Unicode they show, in each font.
const QString kSinhalaCodes = QStringLiteral("uu f.or hkjd");
const QString kSinhala = QStringLiteral("මම ගෙදර යනවා");
const QString kTamilCodes = QStringLiteral("vNkxkmx wNxpFr");
const QString kTamil = QStringLiteral("வணக்கம் நண்பரே");

QByteArray message(const QString& subject, const QString& body, const QByteArray& charset) {
  return "From: Kamala <k@example.lk>\r\nTo: me@example.org\r\nSubject: " + subject.toUtf8() +
         "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=" + charset +
         "\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
         (charset == "utf-8" ? body.toUtf8() : body.toLatin1()) + "\r\n";
}

QStringList viewFamilies(QTextEdit* view) { return view->document()->defaultFont().families(); }

// A message without the lines that differ on every build.
QByteArray withoutStamps(const QByteArray& bytes) {
  QList<QByteArray> lines = bytes.split('\n');
  lines.removeIf([](const QByteArray& l) { return l.startsWith("Date: ") || l.startsWith("Message-ID: "); });
  return lines.join('\n');
}

}  // namespace

class UnicodeTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { QVERIFY(registerBundledFonts().contains(kTamilFont)); }
  void init() { openMainWindow(); }
  void cleanup() { closeMainWindow(); }

  void viewShowsUnicode_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("asUnicode");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("family");
    const QString notoSi = QStringLiteral("Noto Sans Sinhala"), notoTa = QStringLiteral("Noto Sans Tamil");
    QTest::newRow("sinhala codes") << message(kSinhalaCodes, kSinhalaCodes, "iso-8859-1") << int(Sinhala) << true
                                   << QStringLiteral("Subject: %1\n%1\n").arg(kSinhala) << notoSi;
    QTest::newRow("tamil codes") << message(kTamilCodes, kTamilCodes, "iso-8859-1") << int(Tamil) << true
                                 << QStringLiteral("Subject: %1\n%1\n").arg(kTamil) << notoTa;
    QTest::newRow("english keeps the script before it")
        << message(kSinhalaCodes, kSinhalaCodes, "iso-8859-1") << int(English) << true
        << QStringLiteral("Subject: %1\n%1\n").arg(kSinhala) << notoSi;
    QTest::newRow("codes as they came") << message(kSinhalaCodes, kSinhalaCodes, "iso-8859-1") << int(Sinhala)
                                        << false << kSinhalaCodes + QLatin1Char('\n') << kSinhalaFont;
    // Unicode mail is not font-code text: never converted, always in Noto.
    QTest::newRow("utf-8 sinhala, english menu")
        << message(QStringLiteral("Hi"), QStringLiteral("Hi. ") + kSinhala, "utf-8") << int(English) << false
        << QStringLiteral("Hi. ") + kSinhala + QLatin1Char('\n') << notoSi;
    QTest::newRow("utf-8 tamil, sinhala menu, as unicode")
        << message(kTamil, QStringLiteral("Hi. ") + kTamil, "utf-8") << int(Sinhala) << true
        << QStringLiteral("Subject: %1\nHi. %1\n").arg(kTamil) << notoTa;
  }

  void viewShowsUnicode() {
    QFETCH(QByteArray, file);
    QFETCH(int, language);
    QFETCH(bool, asUnicode);
    QFETCH(QString, shown);
    QFETCH(QString, family);
    show(file, language);
    const QString asCame = viewText();
    if (asUnicode)
      form_->ShowUnicode->trigger();
    QCOMPARE(viewText(), shown);
    QCOMPARE(viewFamilies(form_->textBody).value(0), family);
    form_->mnuLangSinh[size_t(language)]->trigger();  // the menu sets the view's font again
    QCOMPARE(viewFamilies(form_->textBody).value(0), family);
    // Switching back shows the codes again, exactly.
    if (asUnicode) {
      form_->ShowUnicode->trigger();
      QCOMPARE(viewText(), asCame);
    }
  }

  void copyAsUnicode_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("headers");
    QTest::addColumn<bool>("asUnicode");
    QTest::addColumn<QString>("copied");
    const QByteArray codes = message(QStringLiteral("uu"), kSinhalaCodes + QStringLiteral("\nuu"), "iso-8859-1");
    QTest::newRow("font codes") << codes << false << false << kSinhala + QStringLiteral("\nමම\n");
    QTest::newRow("header lines stay") << codes << true << false << QStringLiteral("Subject: uu");
    QTest::newRow("shown as unicode") << codes << false << true << QStringLiteral("Subject: මම\n") + kSinhala + QStringLiteral("\nමම\n");
    QTest::newRow("unicode mail") << message(QStringLiteral("x"), QStringLiteral("ok. ") + kSinhala, "utf-8") << false
                                  << false << QStringLiteral("ok. ") + kSinhala + QLatin1Char('\n');
  }

  void copyAsUnicode() {
    QFETCH(QByteArray, file);
    QFETCH(bool, headers);
    QFETCH(bool, asUnicode);
    QFETCH(QString, copied);
    show(file, Sinhala);
    if (headers)
      form_->ShowHeaders->trigger();
    if (asUnicode)
      form_->ShowUnicode->trigger();
    QTextCursor selection(form_->textBody->document());
    if (headers) {  // the Subject line of the header block
      selection = form_->textBody->document()->find(QStringLiteral("Subject: uu"));
    } else {
      selection.select(QTextCursor::Document);
    }
    form_->textBody->setTextCursor(selection);
    QGuiApplication::clipboard()->clear();
    form_->mnuCopyUnicode->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
  }

  void unicodeSubjectsListInTheUnicodeFont() {
    root_->write(QStringLiteral("Inbox/00000001.msg"), message(kTamil, QStringLiteral("t"), "utf-8"));
    root_->write(QStringLiteral("Inbox/00000002.msg"), message(kSinhalaCodes, QStringLiteral("c"), "iso-8859-1"));
    form_->listFolders->setCurrentRow(-1);
    form_->listFolders->setCurrentRow(0);
    form_->mnuLangSinh[English]->trigger();
    QCOMPARE(form_->listMessages->item(0)->font().families().value(0), QStringLiteral("Noto Sans Tamil"));
    QVERIFY(!form_->listMessages->item(1)->data(Qt::FontRole).isValid());  // the list's own font
  }

  void pasteTypesFontCodes_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("font");  // of the pasted text in the body
    QTest::addColumn<bool>("editMenu");  // else Ctrl+V
    QTest::newRow("sinhala body") << "sin_ph" << "txtBody" << kSinhala << kSinhalaCodes << kSinhalaFont << false;
    QTest::newRow("tamil body") << "Tamil_ph" << "txtBody" << kTamil << kTamilCodes << kTamilFont << false;
    QTest::newRow("tamil into a sinhala body") << "sin_ph" << "txtBody" << kTamil << kTamilCodes << kTamilFont << false;
    QTest::newRow("english pastes as it is") << "sin_ph" << "txtBody" << QStringLiteral("l.x 'a'") << QStringLiteral("l.x 'a'") << kSinhalaFont << false;
    QTest::newRow("sinhala subject") << "sin_ph" << "txtSubject" << kSinhala << kSinhalaCodes << QString() << false;
    QTest::newRow("tamil subject") << "Tamil_ph" << "txtSubject" << kTamil << kTamilCodes << QString() << false;
    QTest::newRow("tamil into a sinhala subject stays") << "sin_ph" << "txtSubject" << kTamil << kTamil << QString() << false;
    QTest::newRow("sinhala body, edit menu") << "sin_ph" << "txtBody" << kSinhala << kSinhalaCodes << kSinhalaFont << true;
    QTest::newRow("tamil subject, edit menu") << "Tamil_ph" << "txtSubject" << kTamil << kTamilCodes << QString() << true;
  }

  void pasteTypesFontCodes() {
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(QString, pasted);
    QFETCH(QString, typed);
    QFETCH(QString, font);
    QFETCH(bool, editMenu);
    NewMessage* w = compose();
    QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    QWidget* target = w->findChild<QWidget*>(box);
    target->setFocus();
    QTest::keyClicks(target, QStringLiteral("a"));
    const QString before = box == QLatin1String("txtBody") ? w->bodyText() : w->txtSubject->text();
    QGuiApplication::clipboard()->setText(pasted);
    if (editMenu)
      w->mnuPaste->trigger();
    else
      QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(target, QStringLiteral("a"));
    auto text = [&] { return box == QLatin1String("txtBody") ? w->bodyText() : w->txtSubject->text(); };
    QTRY_COMPARE(text(), before + typed + before);
    if (font.isEmpty())
      return;
    QTextCursor at(w->txtBody->document());
    at.setPosition(before.size() + 1);
    QCOMPARE(at.charFormat().fontFamilies().toStringList().value(0), font);
    // Typing goes on in the box's own font.
    at.movePosition(QTextCursor::End);
    QCOMPARE(at.charFormat().fontFamilies().toStringList().value(0), language().display_font_name);
  }

  void unicodeCopyReadsBack_data() {
    QTest::addColumn<bool>("attachment");
    QTest::newRow("text only") << false;
    QTest::newRow("with a file") << true;
  }

  void unicodeCopyReadsBack() {
    QFETCH(bool, attachment);
    NewMessage* w = compose();
    QTest::mouseClick(w->sin_ph, Qt::LeftButton);
    w->mnuUnicodeCopy->trigger();
    // Sinhala codes, then a line in Tamil's font: each converts by its font.
    w->setBodyText(kSinhalaCodes + QLatin1Char('\n'));
    QTextCharFormat tamil;
    tamil.setFontFamilies({kTamilFont});
    QTextCursor end(w->txtBody->document());
    end.movePosition(QTextCursor::End);
    end.insertText(kTamilCodes, tamil);
    const QByteArray file = "\x00\x01\xFFpayload";
    root_->write(QStringLiteral("data.bin"), file);
    if (attachment)
      QVERIFY(w->attach_file(root_->path(QStringLiteral("data.bin"))));
    compose::putBodyIntoMessage(*w->Mail1, w->bodyText(), w->unicodeCopyText());
    const QString out = root_->path(QStringLiteral("out.msg"));
    QVERIFY(w->Mail1->writeToFile(out));

    QJsonObject tree = readWithPython(QStringLiteral("gui/tst_mime_reader.py"), out);
    if (attachment) {
      QCOMPARE(tree.value("type").toString(), QStringLiteral("multipart/mixed"));
      const QJsonArray parts = tree.value("parts").toArray();
      QCOMPARE(parts.size(), 2);
      QCOMPARE(QByteArray::fromHex(parts.at(1)["data"].toString().toLatin1()), file);
      tree = parts.at(0).toObject();
    }
    QCOMPARE(tree.value("type").toString(), QStringLiteral("multipart/alternative"));
    const QJsonArray texts = tree.value("parts").toArray();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts.at(0)["type"].toString(), QStringLiteral("text/plain"));
    QCOMPARE(texts.at(0)["text"].toString(), kSinhalaCodes + QLatin1Char('\n') + kTamilCodes);
    QCOMPARE(texts.at(1)["charset"].toString(), QStringLiteral("utf-8"));
    QCOMPARE(texts.at(1)["text"].toString(), kSinhala + QLatin1Char('\n') + kTamil);
  }

  void withoutTheCopyTheMessageIsUnchanged_data() {
    QTest::addColumn<bool>("option");
    QTest::addColumn<QString>("body");
    QTest::newRow("option off") << false << kSinhalaCodes;
    QTest::newRow("nothing to convert") << true << QStringLiteral("123 - 45");
  }

  void withoutTheCopyTheMessageIsUnchanged() {
    QFETCH(bool, option);
    QFETCH(QString, body);
    NewMessage* w = compose();
    w->mnuUnicodeCopy->setChecked(option);
    w->setBodyText(body);
    MailControl before;
    before.setFrom(QStringLiteral("me@example.lk"));
    compose::putBodyIntoMessage(before, w->bodyText());
    MailControl after;
    after.setFrom(QStringLiteral("me@example.lk"));
    compose::putBodyIntoMessage(after, w->bodyText(), w->unicodeCopyText());
    QCOMPARE(withoutStamps(after.messageBytes(false)), withoutStamps(before.messageBytes(false)));
  }

  void theChoiceIsRemembered() {
    NewMessage* w = compose();
    QVERIFY(!w->mnuUnicodeCopy->isChecked());  // off by default
    w->mnuUnicodeCopy->trigger();
    w->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(newMessage()->mnuUnicodeCopy->isChecked());
    QCOMPARE(settingsBackend().query_value(compose::kUnicodeCopySetting), QStringLiteral("1"));
  }

 private:
  void show(const QByteArray& file, int language) {
    root_->write(QStringLiteral("Inbox/00000001.msg"), file);
    form_->mnuLangSinh[size_t(language)]->trigger();
    form_->listFolders->setCurrentRow(-1);
    form_->listFolders->setCurrentRow(0);
    form_->listMessages->setCurrentRow(0);
  }

  QString viewText() const { return form_->textBody->toPlainText(); }

  NewMessage* compose() {
    form_->news_msg_Click();
    NewMessage* w = newMessage();
    w->show();
    return w;
  }
};

QTEST_MAIN(UnicodeTest)
#include "tst_unicode.moc"
