// The compose window as a user meets it: typing Sinhala and Tamil through
// the real boxes, the message it builds read back by an independent MIME
// reader, the Attach menu, the shared window's life and the layout.
#include "compose/composelayout.h"
#include "compose/messageassembly.h"
#include "compose/newmessage.h"
#include "language/fonts.h"
#include "language/frmkeybd.h"
#include "language/languagestate.h"
#include "platform/paths.h"
#include "platform/twips.h"
#include "support/files.h"
#include "support/mainwindowtest.h"
#include "support/pythonreader.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

// The key table read straight from the file beside the program, so the
// expected codes do not come from the code under test.
using Table = std::array<std::array<int, 4>, 256>;  // -1: no entry

Table readKeyTable() {
  Table table;
  for (auto& row : table)
    row.fill(-1);
  QFile file(platform::joinPath(platform::programFolder(), QStringLiteral("neltex.csv")));
  if (!file.open(QIODevice::ReadOnly))
    return table;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const QList<QByteArray> fields = line.trimmed().split(',');
    if (fields.size() < 4)
      continue;
    const int key = int(fields[0].trimmed().replace('"', "").toDouble());
    table[size_t(key)][0] = key;
    for (int mode = 1; mode <= 3; ++mode)
      table[size_t(key)][size_t(mode)] = int(std::floor(fields[mode].trimmed().replace('"', "").toDouble()));
  }
  return table;
}

// What typing text gives in a mode: each character through the table, an
// empty entry or 0 typing nothing.
QString expectedTyping(const Table& table, const QString& text, int mode) {
  QString out;
  for (const QChar c : text) {
    const int code = c.unicode();
    if (code < 33 || code > 255) {
      out += c;
      continue;
    }
    const int entry = table[size_t(code)][size_t(mode)];
    if (entry > 0 && entry <= 255)
      out += QChar(entry);
  }
  return out;
}

QString latin1(const QByteArray& bytes) { return QString::fromLatin1(bytes); }

struct SampleFile {
  QString name;
  QString type;
  QByteArray data;
};

// One file of each kind the type rules tell apart.
QList<SampleFile> sampleFiles() {
  QByteArray binary;
  for (int round = 0; round < 40; ++round)
    for (int b = 0; b < 256; ++b)
      binary.append(char((b + round * 7) & 0xFF));
  binary += QByteArray(300, '\x90') + "\r\n.\r\nFrom me\n\r";
  const QByteArray text = "first line\nsecond \xe0\xa0\xff line\n\n" + QByteArray(1200, 'x') + "\nlast";
  const QByteArray font = readTestFile(font_file_path(Sinhala));
  return {
      {QStringLiteral("notes.txt"), QStringLiteral("text/plain"), text},
      {QStringLiteral("every byte.bin"), QStringLiteral("application/octet-stream"), binary},
      {QStringLiteral("archive.zip"), QStringLiteral("application/x-zip-compressed"), "PK\x03\x04" + binary.left(900)},
      {QStringLiteral("photo.gif"), QStringLiteral("image/gif"), "GIF89a\x01\x00\x01\x00" + binary.left(500)},
      {kSinhalaFontFile, QStringLiteral("application/octet-stream"), font},
      {QStringLiteral("සිංහල ලිපිය.doc"), QStringLiteral("application/octet-stream"), binary.left(700)},
  };
}

}  // namespace

class ComposeTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(registerBundledFonts().contains(QStringLiteral("Nelira98")));
    table_ = readKeyTable();
    QCOMPARE(table_[97][0], 97);  // the table file was found
  }

  void init() {
    openMainWindow();
    QVERIFY(newMessageLoaded());  // start-up loads the compose window, hidden
    QVERIFY(!compose()->isVisible());
    form_->news_msg_Click();
    QVERIFY(QTest::qWaitForWindowExposed(compose()));
    QVERIFY2(prompter_->messages.isEmpty(), qPrintable(prompter_->messages.join(QLatin1Char('\n'))));
  }

  void cleanup() {
    closeMainWindow();
    processDeferredDeletes();
    QVERIFY(!newMessageLoaded());
  }

  void typingInEachMode_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("mode");
    const struct {
      const char* button;
      int mode;
    } modes[] = {{"sin_ph", ModeSinhalaPhonetic}, {"Sin_wijey", ModeWijesekara},
                 {"Tamil_ph", ModeTamilPhonetic}, {"Engli_us", ModeEnglish}};
    for (const auto& m : modes)
      for (const char* box : {"txtBody", "txtSubject"})
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(m.button), QLatin1String(box))))
            << QString::fromLatin1(m.button) << QString::fromLatin1(box) << m.mode;
  }

  void typingInEachMode() {
    QFETCH(QString, button);
    QFETCH(QString, box);
    QFETCH(int, mode);
    NewMessage* w = compose();
    QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(language().input_mode, mode);
    // Every printable key, unshifted and shifted, then F4, Shift+F4 (the
    // sequence of F10), F9, F11 and Shift+F9 (nothing), Shift+Ctrl+F7 (F7's).
    QString keys;
    for (int c = 33; c <= 126; ++c)
      keys += QChar(c);
    keys += QStringLiteral(" sinhala tamil");
    QWidget* target = w->findChild<QWidget*>(box);
    typeInto(target, keys);
    const QString sequences = key_sequence(0) + key_sequence(6) + key_sequence(5) + key_sequence(3);
    QVERIFY(!key_sequence(0).isEmpty());
    const QString expected = expectedTyping(table_, keys + sequences, mode);
    const QString typed = box == QLatin1String("txtBody") ? w->bodyText() : w->txtSubject->text();
    QCOMPARE(typed, expected);
  }

  void addressFieldsAreNotTranslated() {
    NewMessage* w = compose();
    QTest::mouseClick(w->sin_ph, Qt::LeftButton);
    const QString address = QStringLiteral("ann.perera+lists@example.org, Bob <b@x.lk>");
    for (QLineEdit* field : {w->txtTo, w->txtCC, w->txtBCC}) {
      typeInto(field, address);
      QCOMPARE(field->text(), address);
    }
  }

  void pickerAppendsItsCode() {
    NewMessage* w = compose();
    QCOMPARE(w->List1->count(), 225);
    QTest::mouseClick(w->Keymap, Qt::LeftButton);
    QVERIFY(w->List1->isVisible());
    w->setBodyText(QStringLiteral("ab"));
    for (int row : {0, 1, 129, 224})
      w->List1_Click(row);
    QCOMPARE(w->bodyText(), QStringLiteral("ab") + QChar(31) + QChar(32) + QChar(160) + QChar(255));
    QTest::mouseClick(w->Keymap, Qt::LeftButton);
    QVERIFY(!w->List1->isVisible());
  }

  void writtenMessageReadsBackExactly_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("encoding");
    QTest::newRow("base64") << "optBase64" << "base64";
    QTest::newRow("quoted-printable") << "optQuotedPrintable" << "quoted-printable";
    QTest::newRow("uuencode") << "optUU" << "x-uuencode";
    QTest::newRow("binhex") << "optBinhex40" << "mac-binhex40";
  }

  void writtenMessageReadsBackExactly() {
    QFETCH(QString, option);
    QFETCH(QString, encoding);
    NewMessage* w = compose();
    w->findChild<QRadioButton*>(option)->setChecked(true);
    const QList<SampleFile> samples = sampleFiles();
    for (const SampleFile& s : samples) {
      const QString path = files_.filePath(QStringLiteral("attach/") + s.name);
      QVERIFY(w->attach_file(writeTestFile(path, s.data)));
    }
    QCOMPARE(w->cmbAttachments->count(), samples.size());
    QCOMPARE(w->cmbAttachments->currentIndex(), samples.size() - 1);

    // Font codes typed in Sinhala, the no-break space among them, over lines
    // longer than any 16-bit count would allow in total.
    QString body;
    for (int c = 32; c <= 255; ++c)
      body += QChar(c);
    body = (body + QLatin1Char('\n')).repeated(200);
    w->setBodyText(body);
    QCOMPARE(w->bodyText(), body);
    compose::putBodyIntoMessage(*w->Mail1, w->bodyText());

    const QString out = files_.filePath(QStringLiteral("written.msg"));
    QFile::remove(out);
    w->Mail1->setMessageFile(out);
    w->Mail1->setTransferFlags(32);
    w->Mail1->setActionCode(15);
    QVERIFY(!w->Mail1->lastOperationFailed());

    const QJsonObject message = readWithPython(QStringLiteral("gui/tst_mime_reader.py"), out);
    QCOMPARE(message.value(QStringLiteral("type")).toString(), QStringLiteral("multipart/mixed"));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{1,11}_boundary$"))
                .match(message.value(QStringLiteral("boundary")).toString()).hasMatch());
    const QJsonArray parts = message.value(QStringLiteral("parts")).toArray();
    QCOMPARE(parts.size(), samples.size() + 1);
    const QJsonObject text = parts.at(0).toObject();
    QCOMPARE(text.value(QStringLiteral("type")).toString(), QStringLiteral("text/plain"));
    // Python hands decoded text back with its line ends as "\n".
    QString decodedBody = latin1(QByteArray::fromHex(text.value(QStringLiteral("data")).toString().toLatin1()));
    decodedBody.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QCOMPARE(decodedBody, body);

    for (int i = 0; i < samples.size(); ++i) {
      const SampleFile& s = samples[i];
      const QJsonObject part = parts.at(i + 1).toObject();
      QCOMPARE(part.value(QStringLiteral("type")).toString(), s.type);
      QCOMPARE(part.value(QStringLiteral("filename")).toString(), s.name);
      QVERIFY(QByteArray::fromHex(part.value(QStringLiteral("data")).toString().toLatin1()) == s.data);
      QCOMPARE(part.value(QStringLiteral("cte")).toString(), encoding);
      const QString inner = part.value(QStringLiteral("inner")).toString();
      if (!inner.isEmpty())  // the name inside a uuencode or BinHex body is bare too
        QVERIFY2(!inner.contains(QLatin1Char('/')), qPrintable(inner));
      const QString name = part.value(QStringLiteral("name")).toString();
      if (s.type.endsWith(QLatin1String("zip")) || s.name.front().unicode() > 0x7F)
        QCOMPARE(name, s.name);
    }
  }

  void attachingWhatCannotBeReadAddsNothing_data() {
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing file") << "nowhere/none.zip";
    QTest::newRow("a folder") << "afolder";
  }

  void attachingWhatCannotBeReadAddsNothing() {
    QFETCH(QString, relative);
    QDir(files_.path()).mkpath(QStringLiteral("afolder"));
    NewMessage* w = compose();
    const QString path = files_.filePath(relative);
    prompter_->fileAnswers.enqueue(path);
    QTest::mouseClick(w->addAttach, Qt::LeftButton);
    QCOMPARE(prompter_->messages.size(), 1);
    QVERIFY(prompter_->messages.first().contains(path));
    QCOMPARE(w->cmbAttachments->count(), 0);
    QCOMPARE(w->Mail1->PartCount(), 0);
    // and cancelling the file dialog attaches nothing and says nothing
    QTest::mouseClick(w->addAttach, Qt::LeftButton);
    QCOMPARE(prompter_->messages.size(), 1);
  }

  void activationFollowsTheLanguage_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("menuLanguage");  // -1: the main window's menu is not used
    QTest::addColumn<int>("mode");
    QTest::newRow("phonetic stays") << "sin_ph" << -1 << int(ModeSinhalaPhonetic);
    QTest::newRow("Wijesekara stays") << "Sin_wijey" << -1 << int(ModeWijesekara);
    QTest::newRow("menu chose Tamil") << "Sin_wijey" << 1 << int(ModeTamilPhonetic);
    QTest::newRow("menu chose Sinhala") << "Tamil_ph" << 0 << int(ModeSinhalaPhonetic);
    QTest::newRow("menu chose English") << "sin_ph" << 2 << int(ModeEnglish);
  }

  void activationFollowsTheLanguage() {
    QFETCH(QString, button);
    QFETCH(int, menuLanguage);
    QFETCH(int, mode);
    NewMessage* w = compose();
    QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    if (menuLanguage >= 0)
      form_->mnuLangSinh[size_t(menuLanguage)]->trigger();
    w->Form_Activate();
    QCOMPARE(language().input_mode, mode);
  }

  void attachMenu_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("fontFile");
    QTest::newRow("Sinhala tag") << "mnuSinhalaTag" << sinhala_tag_notice() << QString();
    QTest::newRow("Tamil tag") << "mnuTamilTag" << tamil_tag_notice() << QString();
    QTest::newRow("Sinhala font") << "mnuSinhalaAttach" << sinhala_attach_notice() << kSinhalaFontFile;
    QTest::newRow("Tamil font") << "mnuTamilAttach" << tamil_attach_notice() << kTamilFontFile;
  }

  void attachMenu() {
    QFETCH(QString, item);
    QFETCH(QString, notice);
    QFETCH(QString, fontFile);
    QVERIFY(notice.contains(QStringLiteral("\r\n")));
    NewMessage* w = compose();
    w->setBodyText(QStringLiteral("Hello\nsecond line"));
    QAction* action = w->findChild<QAction*>(item);
    action->trigger();
    action->trigger();  // each use adds the notice again, the newer on top
    QString shown = notice;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QCOMPARE(w->bodyText(), shown + shown + QStringLiteral("Hello\nsecond line"));
    if (fontFile.isEmpty()) {
      QCOMPARE(w->cmbAttachments->count(), 0);
      QVERIFY(notice.contains(QStringLiteral("https://www.example.org/tovelmail/fonts/\r\n")));
      return;
    }
    QCOMPARE(w->cmbAttachments->count(), 2);
    QCOMPARE(QFileInfo(w->cmbAttachments->itemText(0)).fileName(), fontFile);
    QVERIFY(QFileInfo(w->cmbAttachments->itemText(0)).size() > 1000);
  }

  void fontCommandWithoutFontAddsNoNotice() {
    language().windows_dir = files_.filePath(QStringLiteral("no-windows"));
    NewMessage* w = compose();
    w->setBodyText(QStringLiteral("Hello"));
    w->mnuTamilAttach->trigger();
    QCOMPARE(w->bodyText(), QStringLiteral("Hello"));
    QCOMPARE(w->cmbAttachments->count(), 0);
    QCOMPARE(prompter_->messages.size(), 1);
    QVERIFY(prompter_->messages.first().contains(kTamilFontFile));
    language().windows_dir = windows_directory();
  }

  void localFontAnswer_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QString>("font");
    QTest::newRow("a font") << std::optional<QString>(QStringLiteral("Verdana")) << "Verdana";
    QTest::newRow("cancelled") << std::optional<QString>() << "Nelira98";
    QTest::newRow("nothing typed") << std::optional<QString>(QString()) << "Nelira98";
  }

  void localFontAnswer() {
    QFETCH(std::optional<QString>, answer);
    QFETCH(QString, font);
    NewMessage* w = compose();
    w->sin_ph_Click();
    prompter_->inputAnswers.enqueue(answer);
    QTest::mouseClick(w->xfont, Qt::LeftButton);
    QCOMPARE(prompter_->prompts, QStringList{QStringLiteral("Enter the Name of the Font")});
    QCOMPARE(language().display_font_name, font);
    QCOMPARE(w->txtSubject->font().family(), font);
    QCOMPARE(w->txtBody->currentFont().family(), font);
    QCOMPARE(w->txtSubject->font().pointSize(), language().display_font_size);
  }

  void sharedWindowLifeCycle() {
    NewMessage* first = compose();
    QCOMPARE(first->Mail1->From(), QStringLiteral("me@example.org"));
    first->txtTo->setText(QStringLiteral("kept@example.org"));
    form_->news_msg_Click();  // New again while it is open: the same window, as it was
    QCOMPARE(newMessage(), first);
    QCOMPARE(first->txtTo->text(), QStringLiteral("kept@example.org"));

    QPointer<NewMessage> old = first;
    first->Unload();
    QVERIFY(!newMessageLoaded());
    processDeferredDeletes();
    QVERIFY(old.isNull());
    NewMessage* fresh = newMessage();
    QVERIFY(fresh != nullptr);
    QVERIFY(fresh->txtTo->text().isEmpty());
    QCOMPARE(fresh->List1->count(), 225);
    QCOMPARE(fresh->Mail1->PartCount(), 0);
  }

  void unloadFromItsOwnHandler() {
    NewMessage* w = compose();
    QPointer<NewMessage> watched = w;
    bool handlerFinished = false;
    connect(w->Deliver, &QPushButton::clicked, w, [w, &handlerFinished] {
      w->Unload();
      w->txtTo->setText(QStringLiteral("still here"));  // the window lives until the handler returns
      handlerFinished = true;
    });
    QTest::mouseClick(w->Deliver, Qt::LeftButton);
    QVERIFY(handlerFinished);
    QVERIFY(!newMessageLoaded());
    processDeferredDeletes();
    QVERIFY(watched.isNull());
  }

  void closingAsksBeforeDiscarding_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("yes");
    for (const char* how : {"Cancel", "mnuExit", "close box"}) {
      QTest::newRow(qPrintable(QStringLiteral("%1, empty").arg(QLatin1String(how)))) << how << false << false;
      QTest::newRow(qPrintable(QStringLiteral("%1, keep").arg(QLatin1String(how)))) << how << true << false;
      QTest::newRow(qPrintable(QStringLiteral("%1, discard").arg(QLatin1String(how)))) << how << true << true;
    }
  }

  void closingAsksBeforeDiscarding() {
    QFETCH(QString, how);
    QFETCH(bool, written);
    QFETCH(bool, yes);
    NewMessage* w = compose();
    if (written) {
      QVERIFY(w->attach_file(writeTestFile(files_.filePath(QStringLiteral("x.bin")), "x")));
    }
    prompter_->questionAnswers.enqueue(yes);
    if (how == QLatin1String("Cancel"))
      QTest::mouseClick(w->Cancel, Qt::LeftButton);
    else if (how == QLatin1String("mnuExit"))
      w->mnuExit->trigger();
    else
      w->close();
    QCOMPARE(prompter_->questions.size(), written ? 1 : 0);
    const bool closed = !written || yes;
    QCOMPARE(newMessageLoaded(), !closed);
    if (!closed) {
      QVERIFY(w->isVisible());
      QCOMPARE(w->cmbAttachments->count(), 1);
    }
  }

  void sendChecksTheFieldsFirst_data() {
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("cc");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("ccAfter");
    const QString good = QStringLiteral("a@x.org");
    QTest::newRow("no at in To") << "a.x.org" << "s" << "" << QStringList{"Incorrec E-mail format!"} << "";
    QTest::newRow("second To entry bad") << "a@x.org, b" << "s" << "" << QStringList{"Incorrec E-mail format!"} << "";
    QTest::newRow("no subject") << good << "" << "" << QStringList{"Please Enter a Subject"} << "";
    QTest::newRow("bad copy") << good << " " << "c@x.org;d" << QStringList{"Error in d", "Error in Copy to List"}
                              << "c@x.org;d";
    QTest::newRow("copy ends in comma") << good << "s" << "c@x.org," << QStringList{"Error in Copy to List"}
                                        << "c@x.org,";
    // All good but the BCC: the CC box already shows its list normalised.
    QTest::newRow("normalised, then bad blind copy") << good << "s" << "c@x.org; d@y.org"
                                                     << QStringList{"Error in e", "Error in Copy to List"}
                                                     << "c@x.org, d@y.org";
  }

  void sendChecksTheFieldsFirst() {
    QFETCH(QString, to);
    QFETCH(QString, subject);
    QFETCH(QString, cc);
    QFETCH(QStringList, shown);
    QFETCH(QString, ccAfter);
    NewMessage* w = compose();
    w->txtTo->setText(to);
    w->txtSubject->setText(subject);
    w->txtCC->setText(cc);
    w->txtBCC->setText(QTest::currentDataTag() == QByteArray("normalised, then bad blind copy") ? QStringLiteral("e")
                                                                                             : QString());
    w->setBodyText(QStringLiteral("kept"));
    QTest::mouseClick(w->Send, Qt::LeftButton);
    QCOMPARE(prompter_->messages, shown);
    QVERIFY(!w->isSending());
    QVERIFY(w->isVisible());
    QCOMPARE(w->txtCC->text(), ccAfter);
    QCOMPARE(w->bodyText(), QStringLiteral("kept"));
    QVERIFY(QDir(root_->path(QStringLiteral("Sent"))).entryList(QDir::Files).isEmpty());
  }

  void resizingStretchesFieldsAndBody() {
    NewMessage* w = compose();
    w->resize(760, 560);
    QCoreApplication::processEvents();
    const QList<QWidget*> stretching = {w->txtTo, w->txtSubject, w->txtCC, w->txtBCC,
                                        w->cmbAttachments, w->List1, w->txtBody, w->statbar};
    const QList<QWidget*> fixed = {w->Send, w->Cancel, w->Deliver, w->addAttach, w->Frame1, w->tovelbar};
    QList<QRect> before, fixedBefore;
    for (QWidget* x : stretching)
      before.append(x->geometry());
    for (QWidget* x : fixed)
      fixedBefore.append(x->geometry());
    w->resize(960, 660);
    QCoreApplication::processEvents();
    for (int i = 0; i < stretching.size(); ++i) {
      QCOMPARE(stretching[i]->width() - before[i].width(), 200);
      QCOMPARE(stretching[i]->x(), before[i].x());
    }
    QCOMPARE(w->txtBody->height() - before[6].height(), 100);
    QCOMPARE(w->statbar->y(), w->txtBody->geometry().bottom() + 1 + platform::twipsToPixels(5));
    for (int i = 0; i < fixed.size(); ++i)
      QCOMPARE(fixed[i]->geometry(), fixedBefore[i]);
    // fields and toolbar never overlap the body, and the minimum keeps every button in view
    QVERIFY(w->tovelbar->geometry().bottom() < w->txtBody->y());
    w->resize(100, 100);
    QCoreApplication::processEvents();
    QVERIFY(w->tovelbar->geometry().right() < w->centralWidget()->width());
    QVERIFY(w->txtBody->height() > 0);
  }

 private:
  NewMessage* compose() const { return newMessage(); }

  void typeInto(QWidget* box, const QString& keys) {
    box->setFocus();
    QTest::keyClicks(box, keys);
    for (const auto& [key, mods] : {std::pair<Qt::Key, Qt::KeyboardModifiers>{Qt::Key_F4, Qt::NoModifier}, {Qt::Key_F4, Qt::ShiftModifier},
                                     {Qt::Key_F9, Qt::NoModifier}, {Qt::Key_F11, Qt::NoModifier},
                                     {Qt::Key_F9, Qt::ShiftModifier}, {Qt::Key_F7, Qt::ShiftModifier | Qt::ControlModifier}})
      QTest::keyClick(box, key, mods);
    QCoreApplication::processEvents();  // the key sequences arrive as posted keys
  }

  static void processDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }

  QTemporaryDir files_;
  Table table_;
};

QTEST_MAIN(ComposeTest)
#include "tst_compose.moc"
