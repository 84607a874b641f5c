// Typing through the m17n input methods in the real compose window: what the
// boxes and the queued message hold is what libm17n gives for the same keys,
// finished by a blank, a method change, a click elsewhere or Send.
#include "compose/newmessage.h"
#include "language/fonts.h"
#include "language/languagestate.h"
#include "language/m17ninput.h"
#include "language/m17ntext.h"
#include "platform/paths.h"
#include "store/mailstore.h"
#include "support/mainwindowtest.h"
#include "support/pythonreader.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTest>

namespace {

// A segment is "method:keys"; "table:keys" types through the S button's
// table instead. In keys, \b is Backspace and \n is Enter.
struct Segment {
  QString method;
  QString keys;
};

QList<Segment> segmentsOf(const QStringList& script) {
  QList<Segment> segments;
  for (const QString& s : script)
    segments.append({s.section(QLatin1Char(':'), 0, 0), s.section(QLatin1Char(':'), 1)});
  return segments;
}

QString keyNameOf(QChar c) {
  if (c == QLatin1Char('\b'))
    return QStringLiteral("BackSpace");
  if (c == QLatin1Char('\n'))
    return QStringLiteral("Return");
  return QString(c);
}

// The oracle: the same keys through libm17n into a plain text, no window.
QString expectedText(const QList<Segment>& segments, std::optional<FontScript> script) {
  M17nTypedText text(script);
  QString table;
  for (const Segment& s : segments) {
    if (s.method == QLatin1String("table")) {
      for (const QChar c : s.keys)
        if (const int code = translate_key(c.unicode()))
          table += QChar(code);
      continue;
    }
    const std::unique_ptr<M17nInput> input = M17nInput::open(*m17nMethodNamed(s.method));
    text.attach(*input);
    for (const QChar c : s.keys)
      text.key(*input, keyNameOf(c));
    text.commit(*input);
  }
  return text.text() + table;
}

// The first text leaf of a message read by Python's email package.
QString firstTextOf(QJsonObject part, bool utf8) {
  while (part.contains(QStringLiteral("parts")))
    part = part.value(QStringLiteral("parts")).toArray().first().toObject();
  const QByteArray data = QByteArray::fromHex(part.value(QStringLiteral("data")).toString().toLatin1());
  QString text = utf8 ? QString::fromUtf8(data) : QString::fromLatin1(data);
  return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// Singlish spellings and the words they type, for the word test.
QList<QPair<QString, QString>> singlishWords() {
  QList<QPair<QString, QString>> words;
  QFile file(QStringLiteral(TOVEL_SOURCE_DIR "/tests/data/singlish_words.txt"));
  if (!file.open(QIODevice::ReadOnly))
    return words;
  for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
    if (line.startsWith(QLatin1Char('#')) || !line.contains(QLatin1Char('\t')))
      continue;
    words.append({line.section(QLatin1Char('\t'), 0, 0), line.section(QLatin1Char('\t'), 1)});
  }
  return words;
}

}  // namespace

class M17nWindowTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(registerBundledFonts().contains(QStringLiteral("Nelira98")));
    for (const char* key : {"sinhala-singlish", "sinhala-wijesekera", "tamil-itrans"})
      QVERIFY2(m17nMethodNamed(QString::fromLatin1(key)), key);
  }

  void init() {
    openMainWindow();
    form_->news_msg_Click();
    QVERIFY(QTest::qWaitForWindowExposed(compose()));
  }

  void cleanup() {
    closeMainWindow();
    QCoreApplication::processEvents();
  }

  void typingGivesWhatTheMethodGives_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<int>("script_");
    const int si = int(FontScript::Sinhala), ta = int(FontScript::Tamil);
    QTest::newRow("singlish, Backspace in the pending text, Send")
        << "txtBody" << QStringList{"sinhala-singlish:mama gedhara yanavaa\nkaa\bma"} << si;
    QTest::newRow("wijesekera, Backspace, Send")
        << "txtBody" << QStringList{"sinhala-wijesekera:ld,a\bjd kdu\bh ufa"} << si;
    QTest::newRow("itrans, Backspace, Send") << "txtBody" << QStringList{"tamil-itrans:vaNakkam nanRi\bi paaDa"} << ta;
    QTest::newRow("method change mid-word")
        << "txtBody" << QStringList{"sinhala-singlish:amma gedha", "sinhala-wijesekera:ld", "sinhala-singlish:ra"} << si;
    QTest::newRow("table button mid-word") << "txtBody" << QStringList{"sinhala-singlish:gedha", "table:siVhl"} << si;
    QTest::newRow("subject, click in the body") << "txtSubject" << QStringList{"tamil-itrans:vaNakkam tamizh"} << ta;
    QTest::newRow("subject singlish, Backspace")
        << "txtSubject" << QStringList{"sinhala-singlish:aayuboovan\b\ban"} << si;
    // -1: the message is written in Unicode.
    QTest::newRow("Unicode message, singlish and itrans")
        << "txtBody" << QStringList{"sinhala-singlish:mama gedhara\bi", "tamil-itrans:vaNakkam"} << -1;
    QTest::newRow("Unicode subject, wijesekera") << "txtSubject" << QStringList{"sinhala-wijesekera:uu f.or"} << -1;
  }

  void typingGivesWhatTheMethodGives() {
    QFETCH(QString, box);
    QFETCH(QStringList, script);
    QFETCH(int, script_);
    NewMessage* w = compose();
    QVERIFY(w->setWritesUnicode(script_ < 0));
    QWidget* target = w->findChild<QWidget*>(box);
    const QList<Segment> segments = segmentsOf(script);
    for (const Segment& s : segments) {
      if (s.method == QLatin1String("table"))
        QTest::mouseClick(w->sin_ph, Qt::LeftButton);
      else
        chooseMethod(w, s.method);
      target->setFocus();
      for (const QChar c : s.keys) {
        if (c == QLatin1Char('\b'))
          QTest::keyClick(target, Qt::Key_Backspace);
        else if (c == QLatin1Char('\n'))
          QTest::keyClick(target, Qt::Key_Return);
        else if (c == QLatin1Char(' '))
          QTest::keyClick(target, Qt::Key_Space, Qt::NoModifier);
        else
          QTest::keyClicks(target, QString(c));
      }
    }
    const QString expected =
        expectedText(segments, script_ < 0 ? std::nullopt : std::optional(FontScript(script_)));
    QVERIFY(!expected.isEmpty());
    if (box == QLatin1String("txtSubject")) {
      QTest::mouseClick(w->txtBody->viewport(), Qt::LeftButton);
      QCOMPARE(w->txtSubject->text(), expected);
      return;
    }
    // Send in offline mode queues the message with what was pending.
    mailStore().offline_flag = true;
    w->txtTo->setText(QStringLiteral("a@example.org"));
    w->txtSubject->setText(QStringLiteral("s"));
    QTest::mouseClick(w->Send, Qt::LeftButton);
    const QDir outbox(root_->path(QStringLiteral("OutBox")));
    const QStringList queued = outbox.entryList(QDir::Files);
    QCOMPARE(queued.size(), 1);
    const QJsonObject message = readWithPython(QStringLiteral("gui/tst_mime_reader.py"), outbox.filePath(queued.first()));
    QCOMPARE(firstTextOf(message, script_ < 0), expected);
  }

  // The same words typed in Singlish and, key by key, on the table's
  // Wijesekara layout give the same font codes.
  void singlishMatchesTheWijesekaraKeys() {
    const QList<QPair<QString, QString>> words = singlishWords();
    QVERIFY(words.size() >= 30);
    NewMessage* w = compose();
    for (const auto& [singlish, word] : words) {
      const QString codes = unicodeToFontCodes(word, FontScript::Sinhala);
      QString wijesekeraKeys;
      for (const QChar code : codes)
        wijesekeraKeys += wijesekeraKeyFor(code);
      w->setBodyText(QString());
      QTest::mouseClick(w->Sin_wijey, Qt::LeftButton);
      QTest::keyClicks(w->txtBody, wijesekeraKeys);
      const QString byTable = w->bodyText();
      QCOMPARE(fontCodesToUnicode(byTable, FontScript::Sinhala), word);

      w->setBodyText(QString());
      chooseMethod(w, QStringLiteral("sinhala-singlish"));
      w->txtBody->setFocus();
      QTest::keyClicks(w->txtBody, singlish);
      QTest::keyClick(w->txtBody, Qt::Key_Space);
      QCOMPARE(w->bodyText(), byTable + QLatin1Char(' '));
    }
  }

  void lettersTheFontLacksAreRefusedAloud() {
    NewMessage* w = compose();
    chooseMethod(w, QStringLiteral("sinhala-singlish"));
    w->txtBody->setFocus();
    // Latin letters have no codes of their own in the Sinhala font.
    QTest::keyClicks(w->txtBody, QStringLiteral("ka"));
    w->insertTypedUnicode(w->txtBody, QStringLiteral("Q"));
    QVERIFY2(w->statbar->text().contains(QLatin1String("\"Q\"")), qPrintable(w->statbar->text()));
    QTest::keyClick(w->txtBody, Qt::Key_Space);
    QCOMPARE(fontCodesToUnicode(w->bodyText(), FontScript::Sinhala), QStringLiteral("ක "));
  }

  void theChoiceIsRemembered() {
    chooseMethod(compose(), QStringLiteral("tamil-itrans"));
    QCOMPARE(language().current_language, int(Tamil));
    compose()->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    NewMessage* w = compose();  // a fresh window
    w->show();
    QCOMPARE(w->inputMethodKey(), QStringLiteral("tamil-itrans"));
    w->txtBody->setFocus();
    QTest::keyClicks(w->txtBody, QStringLiteral("ka"));
    QTest::keyClick(w->txtBody, Qt::Key_Space);
    QCOMPARE(w->bodyText(), unicodeToFontCodes(QStringLiteral("க "), FontScript::Tamil));
    QTest::mouseClick(w->Engli_us, Qt::LeftButton);
    QVERIFY(w->inputMethodKey().isEmpty());
  }

 private:
  NewMessage* compose() const { return newMessage(); }

  static void chooseMethod(NewMessage* w, const QString& key) {
    QMetaObject::invokeMethod(w->mnuInputMethods, "aboutToShow");
    for (QAction* action : w->mnuInputMethods->actions())
      if (action->data().toString() == key)
        return action->trigger();
    QFAIL(qPrintable(QStringLiteral("no method %1 in the chooser").arg(key)));
  }

  // The key whose Wijesekara entry in the table file is the code.
  static QString wijesekeraKeyFor(QChar code) {
    for (int key = 33; key <= 255; ++key)
      if (language().translit_table[size_t(key)][ModeWijesekara] == code.unicode())
        return QString(QChar(key));
    return QString();
  }

};

QTEST_MAIN(M17nWindowTest)
#include "tst_m17n.moc"
