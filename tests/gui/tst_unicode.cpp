// The main window and the compose window together: Reply and Forward
// (what the compose window holds after a reply or forward of the message
// on view, the forwarded files, the Edit menu on its boxes), and Sinhala
// and Tamil as real Unicode: the message view shown and copied as Unicode,
// Unicode mail in the Noto fonts, pasted Unicode typed as font codes, and
// the Unicode copy of sent mail read back by an independent reader
// (Python's email package), and messages written in Unicode: typed through
// the key table, switched to and from font codes, answered in Unicode.
#include "compose/messageassembly.h"
#include "compose/newmessage.h"
#include "compose/unicodecopy.h"
#include "editing/editing.h"
#include "language/fonts.h"
#include "language/languagestate.h"
#include "language/unicodefonts.h"
#include "settings/settingsstore.h"
#include "support/files.h"
#include "support/mainwindowtest.h"
#include "support/modal.h"
#include "support/pythonreader.h"
#include "support/typingkeys.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
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

class UnicodeTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() {
    const QStringList families = registerBundledFonts();
    QVERIFY(families.contains(kSinhalaFont) && families.contains(kTamilFont));
  }
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
    oneFontForAll();
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

  void theChoicesAreRemembered() {
    NewMessage* w = compose();
    QVERIFY(!w->mnuUnicodeCopy->isChecked() && !w->writesUnicode());  // off by default
    w->mnuUnicodeCopy->trigger();
    w->mnuWriteUnicode->trigger();
    w->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(newMessage()->mnuUnicodeCopy->isChecked());
    QVERIFY(newMessage()->writesUnicode() && newMessage()->mnuWriteUnicode->isChecked());
    QCOMPARE(settingsBackend().query_value(compose::kUnicodeCopySetting), QStringLiteral("1"));
    QCOMPARE(settingsBackend().query_value(compose::kWriteUnicodeSetting), QStringLiteral("1"));
    // A Unicode message sends no second copy of itself.
    newMessage()->setBodyText(kSinhala);
    QVERIFY(newMessage()->unicodeCopyText().isEmpty());
  }

  // Typed key by key through the key table while writing Unicode, every
  // word is the conversion of all its codes (a sign typed before its
  // consonant included); Backspace takes the last code; a word ends at a
  // blank, so a line of words is each word's conversion.
  void writeUnicodeTypesWholeWords_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("box");
    QTest::newRow("Wijesekara, body") << "Sin_wijey" << int(ModeWijesekara) << "sinhala_words.txt" << "txtBody";
    QTest::newRow("Sinhala phonetic, body") << "sin_ph" << int(ModeSinhalaPhonetic) << "sinhala_words.txt" << "txtBody";
    QTest::newRow("Tamil phonetic, body") << "Tamil_ph" << int(ModeTamilPhonetic) << "tamil_words.txt" << "txtBody";
    QTest::newRow("Tamil phonetic, subject") << "Tamil_ph" << int(ModeTamilPhonetic) << "tamil_words.txt" << "txtSubject";
  }

  void writeUnicodeTypesWholeWords() {
    QFETCH(QString, button);
    QFETCH(int, mode);
    QFETCH(QString, file);
    QFETCH(QString, box);
    NewMessage* w = compose();
    QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    w->mnuWriteUnicode->trigger();
    QVERIFY(w->writesUnicode());
    const FontScript script = mode == ModeTamilPhonetic ? FontScript::Tamil : FontScript::Sinhala;
    QWidget* target = w->findChild<QWidget*>(box);
    target->setFocus();
    auto text = [&] { return box == QLatin1String("txtBody") ? w->bodyText() : w->txtSubject->text(); };
    QStringList failures, keysOfLine;
    QString line;
    const QStringList words = readWordList(file);
    int typed = 0;
    for (const QString& word : words) {
      const QString codes = unicodeToFontCodes(word, script);
      const std::optional<QString> keys = keysTyping(codes, mode);
      if (!keys)
        continue;
      ++typed;
      w->txtBody->clear();
      w->txtSubject->clear();
      QTest::keyClicks(target, *keys + keys->left(1));
      QTest::keyClick(target, Qt::Key_Backspace);
      if (text() != fontCodesToUnicode(codes, script))
        failures << word + QStringLiteral(" -> ") + text();
      if (keysOfLine.size() < 30) {
        keysOfLine << *keys;
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + fontCodesToUnicode(codes, script);
      }
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.mid(0, 10).join(QLatin1Char('\n'))));
    QVERIFY(typed >= words.size() * 9 / 10);
    QCOMPARE(keysOfLine.size(), 30);
    w->txtBody->clear();
    w->txtSubject->clear();
    QTest::keyClicks(target, keysOfLine.join(QLatin1Char(' ')));
    QCOMPARE(text(), line);
    if (box == QLatin1String("txtBody")) {  // a function key, then the key map, go on with the word
      w->txtBody->clear();
      QTest::keyClick(target, Qt::Key_F4);
      const int f4 = translate_key(key_sequence(0).at(0).unicode());
      QTRY_COMPARE(text(), fontCodesToUnicode(QString(QChar(f4)), script));
      w->List1_Click(200 - 31);
      QCOMPARE(text(), fontCodesToUnicode(QString(QChar(f4)) + QChar(200), script));
    }
    const QFont shownIn = box == QLatin1String("txtBody") ? w->txtBody->currentFont() : w->txtSubject->font();
    QCOMPARE(shownIn.families().value(0), unicodeFontFamily(script));
  }

  // Switching a message with text converts it; switching back gives the
  // codes again exactly. A Unicode message goes back to codes only when the
  // fonts can show all of it.
  void writeUnicodeConvertsWhatIsThere_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("unicode");
    QTest::newRow("Sinhala") << "sin_ph" << kSinhalaCodes << kSinhala;
    QTest::newRow("Tamil") << "Tamil_ph" << kTamilCodes << kTamil;
  }

  void writeUnicodeConvertsWhatIsThere() {
    QFETCH(QString, button);
    QFETCH(QString, codes);
    QFETCH(QString, unicode);
    NewMessage* w = compose();
    QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    // An input method's Unicode goes into a font-code message as codes; the
    // subject's single font refuses the other script.
    const QString other = unicode == kSinhala ? kTamil : kSinhala;
    QVERIFY(w->insertTypedUnicode(w->txtBody, unicode));
    QVERIFY(!w->insertTypedUnicode(w->txtSubject, other));
    QCOMPARE(w->bodyText(), codes);
    QVERIFY(w->txtSubject->text().isEmpty() && w->statbar->text().contains(QStringLiteral("Not typed")));
    w->txtSubject->setText(codes);
    w->setBodyText(codes + QLatin1Char('\n') + codes);
    w->mnuWriteUnicode->trigger();
    QCOMPARE(w->txtSubject->text(), unicode);
    QCOMPARE(w->bodyText(), unicode + QLatin1Char('\n') + unicode);
    QVERIFY(!w->mnuUnicodeCopy->isEnabled());
    QTextCursor at(w->txtBody->document());
    at.setPosition(1);
    QCOMPARE(at.charFormat().fontFamilies().toStringList().value(0), w->txtSubject->font().families().value(0));
    QVERIFY(!scriptOfFontFamily(w->txtSubject->font().family()));
    // Written on in Unicode, with English, then back.
    w->txtSubject->setText(QStringLiteral("Re: ") + unicode);
    w->setBodyText(QStringLiteral("Dear Nimal, ") + unicode + QStringLiteral("\n(1998) K."));
    const QString body = w->bodyText();
    w->mnuWriteUnicode->trigger();
    QVERIFY(!w->writesUnicode() && w->mnuUnicodeCopy->isEnabled());
    QCOMPARE(w->txtSubject->text(), QStringLiteral("Re: ") + codes);
    QVERIFY(w->bodyText().contains(codes));
    w->mnuWriteUnicode->trigger();
    QCOMPARE(w->bodyText(), body);
    QVERIFY(prompter_->messages.isEmpty());

    // Letters no font shows, or a subject in the other script: refused.
    for (const auto& [subject, text] : {std::pair{other, unicode}, std::pair{unicode, unicode + QChar(0x0DE7)}}) {
      w->txtSubject->setText(subject);
      w->setBodyText(text);
      w->mnuWriteUnicode->trigger();
      QVERIFY2(w->writesUnicode() && w->mnuWriteUnicode->isChecked(), qPrintable(subject + text));
      QCOMPARE(w->txtSubject->text(), subject);
      QCOMPARE(w->bodyText(), text);
      QCOMPARE(prompter_->messages.size(), 1);
      QVERIFY(prompter_->messages.takeFirst().contains(QStringLiteral("Nothing was changed")));
    }
  }

  // Reply and Forward of real Unicode open in Unicode, of font codes in
  // font codes; other mail keeps the window's own choice.
  void answeringUnicodeStaysUnicode_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("lang");
    QTest::addColumn<bool>("byDefault");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<bool>("unicode");
    QTest::addColumn<QString>("quoted");
    const QByteArray utf8 = message(kSinhala, QStringLiteral("Hi. ") + kSinhala, "utf-8");
    const QByteArray codes = message(kSinhalaCodes, kSinhalaCodes, "iso-8859-1");
    const QByteArray english = message(QStringLiteral("Lunch"), QStringLiteral("At one?"), "us-ascii");
    QTest::newRow("unicode mail") << utf8 << int(Sinhala) << false << false << true << kSinhala;
    QTest::newRow("unicode mail, forward") << utf8 << int(Tamil) << false << true << true << kSinhala;
    QTest::newRow("font codes, unicode by default") << codes << int(Sinhala) << true << false << false << kSinhalaCodes;
    QTest::newRow("english, unicode by default") << english << int(English) << true << false << true << "Lunch";
    QTest::newRow("english") << english << int(English) << false << true << false << "Lunch";
  }

  void answeringUnicodeStaysUnicode() {
    QFETCH(QByteArray, file);
    QFETCH(int, lang);
    QFETCH(bool, byDefault);
    QFETCH(bool, forward);
    QFETCH(bool, unicode);
    QFETCH(QString, quoted);
    if (byDefault)
      newMessage()->mnuWriteUnicode->trigger();
    show(file, lang);
    (forward ? form_->forward_msg : form_->cmdReply)->click();
    NewMessage* w = newMessage();
    QCOMPARE(w->writesUnicode(), unicode);
    QCOMPARE(w->txtSubject->text(), quoted);
    QCoreApplication::processEvents();  // a pasted-text conversion would come now
    QVERIFY2(w->bodyText().contains(QStringLiteral("Subject: ") + quoted + QLatin1Char('\n')), qPrintable(w->bodyText()));
    // Answering in Unicode or not leaves the default as it was.
    QCOMPARE(settingsBackend().query_value(compose::kWriteUnicodeSetting) == QLatin1String("1"), byDefault);
  }

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
    oneFontForAll();
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

  // What Files already holds under an attachment's name: another file
  // stays as it is and is not sent; the same bytes are sent from there,
  // with no copy added, however often the message is forwarded.
  void forwardAttachesEachFileOnceWithItsBytes_data() {
    QTest::addColumn<QByteArray>("inFiles");
    QTest::addColumn<QStringList>("filesAfter");
    QTest::newRow("other bytes") << QByteArray("an older photo")
                                 << QStringList{"notes.bin", "photo (2).gif", "photo.gif"};
    QTest::newRow("the same bytes") << "GIF89a" + someBytes(3) << QStringList{"notes.bin", "photo.gif"};
  }

  void forwardAttachesEachFileOnceWithItsBytes() {
    QFETCH(QByteArray, inFiles);
    QFETCH(QStringList, filesAfter);
    const QList<Attachment> files = {{"photo.gif", "GIF89a" + someBytes(3)}, {"notes.bin", someBytes(4)}};
    root_->write(QStringLiteral("Inbox/00000001.msg"), withAttachments("Two files", files));
    root_->write(QStringLiteral("Inbox/00000002.msg"), withAttachments("Other", {{"notes.bin", "other"}}));
    root_->write(QStringLiteral("Files/photo.gif"), inFiles);
    showMessage(0);
    for (int forward = 0; forward < 2; ++forward) {
      form_->listFolders_Click();  // the control now holds the folder's last message
      if (forward > 0)
        prompter_->questionAnswers.enqueue(true);  // give up the first forward
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
      QCOMPARE(w->forwardlist->count(), 0);
      // Each part goes out with its bytes under the name it had.
      const QByteArray sent = w->Mail1->messageBytes(false);
      for (int i = 0; i < 2; ++i) {
        QCOMPARE(readTestFile(w->cmbAttachments->itemText(i)), files[i].data);
        QVERIFY(sent.contains("filename=\"" + files[i].name + "\""));
      }
      QVERIFY(!sent.contains("(2)"));
      QCOMPARE(QDir(root_->path(QStringLiteral("Files"))).entryList(QDir::Files), filesAfter);
    }
    QCOMPARE(readTestFile(root_->path(QStringLiteral("Files/photo.gif"))), inFiles);
    QVERIFY(prompter_->messages.isEmpty());
    // an opener that fills the window anew starts from an empty message
    NewMessage* w = compose();
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
    selectFolder(QStringLiteral("Inbox"));
    form_->listMessages->setCurrentRow(row);
  }

  NewMessage* compose() const { return newMessage(); }
  QString composeBody() const { return compose()->bodyText(); }
 private:
  void show(const QByteArray& file, int language) {
    root_->write(QStringLiteral("Inbox/00000001.msg"), file);
    form_->mnuLangSinh[size_t(language)]->trigger();
    form_->listFolders->setCurrentRow(-1);
    form_->listFolders->setCurrentRow(0);
    form_->listMessages->setCurrentRow(0);
  }

  QString viewText() const { return form_->textBody->toPlainText(); }

  // The fonts as the Language menu sets them, without a font per text.
  void oneFontForAll() { form_->mnuAutoFont->trigger(); }

  NewMessage* compose() {
    form_->news_msg_Click();
    NewMessage* w = newMessage();
    w->show();
    return w;
  }
};

QTEST_MAIN(UnicodeTest)
#include "tst_unicode.moc"
