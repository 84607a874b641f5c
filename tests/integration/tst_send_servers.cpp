// Sending through the real windows: messages typed in each input mode with
// an attachment in each encoding go to Postfix (STARTTLS, AUTH) and come
// back from Dovecot through GetMail unchanged; offline Send and Deliver
// Messages; failures (wrong password, refused recipient, a server that cuts
// off or falls silent) keep everything; a forward carries its files once;
// a message written in Unicode reads back the same in Python's email
// package and in our own view.
#include "compose/deliveryjournal.h"
#include "compose/newmessage.h"
#include "language/fonts.h"
#include "language/languagestate.h"
#include "language/unicodefonts.h"
#include "maillib/netsession.h"
#include "retrieval/getmailsession.h"
#include "settings/settingsstore.h"
#include "shell/mailform.h"
#include "store/mailstore.h"
#include "support/files.h"
#include "support/mailservers.h"
#include "support/pythonreader.h"
#include "support/scriptedpeer.h"
#include "support/scriptedprompter.h"
#include "support/testroot.h"
#include "support/typingkeys.h"

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTest>

namespace {

QByteArray someBytes(int seed, int size = 5000) {
  QByteArray data;
  for (int i = 0; i < size; ++i)
    data.append(char((i * 31 + seed * 7 + i / 97) & 0xFF));
  return data;
}

QString lf(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  while (text.endsWith(QLatin1Char('\n')))
    text.chop(1);
  return text;
}

// A received message read through the mail control: its text and each
// attachment's decoded bytes by file name.
struct Received {
  QString subject;
  QString text;
  QList<QByteArray> files;  // in the order of the parts
};

Received readBack(const QString& path, const QString& scratch) {
  Received r;
  MailControl mail;
  if (!mail.loadFile(path))
    return r;
  r.subject = mail.Subject();
  const int parts = mail.PartCount();
  if (parts == 0) {
    r.text = mail.partText();
    return r;
  }
  for (int i = 0; i < parts; ++i) {
    mail.enterPart(i);
    if (i == 0 && mail.ContentType() == QLatin1String("text")) {
      r.text = mail.partText();
    } else {
      const QString out = scratch + QStringLiteral("/part") + QString::number(i);
      QFile::remove(out);
      mail.savePartToFile(out);
      r.files << readTestFile(out);
    }
    mail.leavePart();
  }
  return r;
}

}  // namespace

class SendServersTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase();
  void init();
  void cleanup();
  void roundTripInEachModeAndEncoding_data();
  void roundTripInEachModeAndEncoding();
  void offlineSendThenDeliver_data();
  void offlineSendThenDeliver();
  void failedSendKeepsEverything_data();
  void failedSendKeepsEverything();
  void forwardCarriesItsFilesOnce();
  void unicodeMessageReadsBackAsTyped_data();
  void unicodeMessageReadsBackAsTyped();

 private:
  void startProgram(const QString& smtpHost, const QString& password = MailServers::password());
  NewMessage* openCompose();
  // Typed through the input mode on view, or put in as they are.
  void fill(NewMessage* w, const QString& subject, const QString& body, bool typed = true);
  QString attach(NewMessage* w, const QString& name, const QByteArray& data);
  bool sendAndWaitForUnload(NewMessage* w);
  // Types Unicode words through the key table of the mode on view, a line
  // at a time.
  bool typeUnicode(QWidget* box, const QString& text, FontScript script, int mode);
  bool getMail();
  QStringList names(const QString& folder) const {
    return QDir(root_->path(folder)).entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::Name);
  }

  MailServers servers_;
  std::unique_ptr<TestRoot> root_;
  std::unique_ptr<ScriptedPrompter> prompter_;
  std::unique_ptr<MailForm> form_;
  QTemporaryDir scratch_;
};

void SendServersTest::initTestCase() {
  QVERIFY(registerBundledFonts().contains(kSinhalaFont));
  START_MAIL_SERVERS(servers_);
  qputenv("TOVELMAIL_CA_FILE", servers_.caFile().toLocal8Bit());
}

void SendServersTest::init() {
  maillib::NetSession::setDefaultTimeout(20000);
  servers_.clearMailbox();
  root_ = std::make_unique<TestRoot>();
  resetProgramState(*root_);
  prompter_ = std::make_unique<ScriptedPrompter>();
}

void SendServersTest::cleanup() {
  form_.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  prompter_.reset();
  root_.reset();
}

void SendServersTest::startProgram(const QString& smtpHost, const QString& password) {
  TovelSettings s;
  s.user_email = MailServers::user();
  s.user_name = QStringLiteral("Perera, Demo");
  s.pop_host = servers_.pop3Host();
  s.pop_user = MailServers::user();
  s.pop_password = password;
  s.smtp_host = smtpHost;
  storeSettings(settingsBackend(), kSettingNames, s);
  form_ = std::make_unique<MailForm>();
  form_->Form_Load(false);
  form_->chkHostDelete->setChecked(true);
}

NewMessage* SendServersTest::openCompose() {
  form_->news_msg_Click();
  NewMessage* w = newMessage();
  if (!QTest::qWaitForWindowExposed(w))
    return nullptr;
  QCoreApplication::processEvents();
  return w;
}

void SendServersTest::fill(NewMessage* w, const QString& subject, const QString& body, bool typed) {
  w->txtTo->setText(MailServers::user());
  if (!typed) {
    w->txtSubject->setText(subject);
    w->setBodyText(body);
    return;
  }
  w->txtSubject->setFocus();
  QTest::keyClicks(w->txtSubject, subject);
  w->txtBody->setFocus();
  const QStringList lines = body.split(QLatin1Char('\n'));
  for (int i = 0; i < lines.size(); ++i) {
    if (i > 0)
      QTest::keyClick(w->txtBody, Qt::Key_Return);
    QTest::keyClicks(w->txtBody, lines[i]);
  }
}

QString SendServersTest::attach(NewMessage* w, const QString& name, const QByteArray& data) {
  const QString path = writeTestFile(scratch_.filePath(name), data);
  return w->attach_file(path) ? path : QString();
}

bool SendServersTest::sendAndWaitForUnload(NewMessage* w) {
  QPointer<NewMessage> window(w);
  QTest::mouseClick(w->Send, Qt::LeftButton);
  return QTest::qWaitFor([&] { return window.isNull(); }, 30000);
}

bool SendServersTest::getMail() {
  form_->cmdGetMail_Click();
  return QTest::qWaitFor([&] { return !form_->getMail->isActive() && form_->cmdGetMail->isEnabled(); }, 30000);
}

void SendServersTest::roundTripInEachModeAndEncoding_data() {
  QTest::addColumn<QString>("mode");
  QTest::addColumn<QString>("encoding");
  QTest::addColumn<bool>("blocking");
  QTest::newRow("Sinhala phonetic, Base64") << "sin_ph" << "optBase64" << false;
  QTest::newRow("Wijesekara, Quoted-Printable, blocking") << "Sin_wijey" << "optQuotedPrintable" << true;
  QTest::newRow("Tamil phonetic, UU") << "Tamil_ph" << "optUU" << false;
  QTest::newRow("English, BinHex, blocking") << "Engli_us" << "optBinhex40" << true;
}

void SendServersTest::roundTripInEachModeAndEncoding() {
  QFETCH(QString, mode);
  QFETCH(QString, encoding);
  QFETCH(bool, blocking);
  startProgram(servers_.submissionHost());
  NewMessage* w = openCompose();
  QVERIFY(w);
  QTest::mouseClick(w->findChild<QPushButton*>(mode), Qt::LeftButton);
  w->findChild<QRadioButton*>(encoding)->setChecked(true);
  fill(w, QStringLiteral("ayubovan lipiy"), QStringLiteral("mm egdr ynvA.\n.dot line\nsiVhl BA]Av."));
  QVERIFY(!attach(w, QStringLiteral("photo.bin"), someBytes(1)).isEmpty());
  QVERIFY(!attach(w, QStringLiteral("notes.txt"), "line one\r\nline two\r\n").isEmpty());
  const QString subject = w->txtSubject->text();
  const QString body = w->bodyText();
  w->Mail1->setBlocking(blocking);
  QVERIFY(sendAndWaitForUnload(w));
  QVERIFY2(prompter_->messages.isEmpty(), qPrintable(prompter_->messages.join(QLatin1Char('\n'))));
  QCOMPARE(names(QStringLiteral("Sent")).size(), 1);
  QVERIFY(servers_.waitForMessages(1, 20000));

  QVERIFY(getMail());
  const QStringList inbox = names(QStringLiteral("Inbox"));
  QCOMPARE(inbox.size(), 1);
  for (const QString& path : {root_->path(QStringLiteral("Inbox/") + inbox.first()),
                              root_->path(QStringLiteral("Sent/") + names(QStringLiteral("Sent")).first())}) {
    const Received r = readBack(path, scratch_.path());
    QCOMPARE(r.subject, subject);
    QCOMPARE(lf(r.text), lf(body));
    QCOMPARE(r.files.size(), 2);
    QVERIFY(r.files[0] == someBytes(1));
    QCOMPARE(QByteArray(r.files[1]).replace("\r\n", "\n"), QByteArray("line one\nline two\n"));
  }
}

void SendServersTest::offlineSendThenDeliver_data() {
  QTest::addColumn<bool>("blocking");
  QTest::addColumn<bool>("fromComposeWindow");
  QTest::newRow("menu, asynchronous") << false << false;
  QTest::newRow("Deliver button, blocking") << true << true;
}

void SendServersTest::offlineSendThenDeliver() {
  QFETCH(bool, blocking);
  QFETCH(bool, fromComposeWindow);
  root_->write(QStringLiteral("config.msg"), "");
  // No server answers while offline: the queued messages need none.
  startProgram(QStringLiteral("127.0.0.1:1"));
  form_->offline->setChecked(true);
  form_->offline_Click();
  for (int i = 1; i <= 3; ++i) {
    NewMessage* w = openCompose();
    QVERIFY(w);
    fill(w, QStringLiteral("queued %1").arg(i), QStringLiteral("body %1").arg(i), false);
    QVERIFY(!attach(w, QStringLiteral("f%1.bin").arg(i), someBytes(i, 2000 * i)).isEmpty());
    QVERIFY(sendAndWaitForUnload(w));
  }
  QVERIFY2(prompter_->messages.isEmpty(), qPrintable(prompter_->messages.join(QLatin1Char('\n'))));
  QCOMPARE(names(QStringLiteral("OutBox")).size(), 3);
  QCOMPARE(servers_.messageCount(), 0);
  if (fromComposeWindow) {
    // The program stopped while the second was under way: it goes once asked.
    compose::DeliveryJournal journal;
    journal.load();
    QVERIFY(journal.noteInFlight(journal.describe(root_->path(QStringLiteral("OutBox/") + names(QStringLiteral("OutBox"))[1])), nullptr));
    prompter_->questionAnswers.enqueue(true);
  }

  // The OutBox is on view while it is delivered.
  form_->listFolders->setCurrentItem(form_->listFolders->findItems(QStringLiteral("OutBox"), Qt::MatchFixedString).first());
  QCOMPARE(form_->listMessages->count(), 3);
  settings().smtp_host = servers_.submissionHost();
  if (fromComposeWindow) {
    NewMessage* w = openCompose();
    QVERIFY(w);
    w->txtTo->setText(QStringLiteral("someone@example.org"));
    w->setBodyText(QStringLiteral("a draft that stays"));
    w->Mail1->setBlocking(blocking);
    QTest::mouseClick(w->Deliver, Qt::LeftButton);
  } else {
    form_->chkBlocking->setChecked(blocking);
    form_->chkBlocking_Click();
    form_->MnuDeliverMessages_Click();
  }
  QVERIFY(QTest::qWaitFor([&] { return names(QStringLiteral("Sent")).size() == 3; }, 30000));
  QVERIFY(QTest::qWaitFor([&] { return !newMessage()->isSending(); }, 10000));
  QVERIFY2(prompter_->messages.isEmpty(), qPrintable(prompter_->messages.join(QLatin1Char('\n'))));
  QVERIFY(names(QStringLiteral("OutBox")).isEmpty());
  QCOMPARE(prompter_->questions.size(), fromComposeWindow ? 1 : 0);
  QCOMPARE(mailStore().current_folder, QStringLiteral("Outbox"));
  QCOMPARE(form_->listMessages->count(), 0);
  if (fromComposeWindow) {
    QVERIFY(newMessageLoaded());
    QCOMPARE(newMessage()->bodyText(), QStringLiteral("a draft that stays"));
    QCOMPARE(newMessage()->txtTo->text(), QStringLiteral("someone@example.org"));
  }
  QVERIFY(servers_.waitForMessages(3, 20000));
  QVERIFY(getMail());
  QMap<QString, QByteArray> fetched;
  for (const QString& name : names(QStringLiteral("Inbox"))) {
    const Received r = readBack(root_->path(QStringLiteral("Inbox/") + name), scratch_.path());
    fetched[r.subject] = r.files.value(0);
  }
  QCOMPARE(fetched.size(), 3);
  for (int i = 1; i <= 3; ++i)
    QVERIFY(fetched.value(QStringLiteral("queued %1").arg(i)) == someBytes(i, 2000 * i));
}

void SendServersTest::failedSendKeepsEverything_data() {
  QTest::addColumn<QString>("fault");
  QTest::addColumn<QString>("reason");
  QTest::addColumn<bool>("blocking");
  QTest::newRow("wrong password") << "password" << "refused the login" << false;
  QTest::newRow("unknown recipient, blocking") << "recipient" << "nobody@example.test" << true;
  QTest::newRow("cut off in DATA") << "cut" << "" << false;
  QTest::newRow("silent after DATA, blocking") << "silent" << "" << true;
}

void SendServersTest::failedSendKeepsEverything() {
  QFETCH(QString, fault);
  QFETCH(QString, reason);
  QFETCH(bool, blocking);
  ScriptedPeer peer;  // cuts the connection after DATA, or never answers the message
  peer.serveSmtp("250 scripted\r\n");
  if (fault == QLatin1String("cut"))
    peer.on("DATA", "354 go ahead\r\n", ScriptedPeer::Close);
  else
    peer.onData("DATA", "354 go ahead\r\n", "");
  const bool scripted = fault == QLatin1String("cut") || fault == QLatin1String("silent");
  maillib::NetSession::setDefaultTimeout(scripted ? 1500 : 20000);
  startProgram(scripted ? peer.host() : servers_.submissionHost(),
               fault == QLatin1String("password") ? QStringLiteral("wrong") : MailServers::password());
  NewMessage* w = openCompose();
  QVERIFY(w);
  fill(w, QStringLiteral("kept"), QStringLiteral("every word stays"), false);
  if (fault == QLatin1String("recipient"))
    w->txtCC->setText(QStringLiteral("nobody@example.test"));
  QVERIFY(!attach(w, QStringLiteral("kept.bin"), someBytes(5)).isEmpty());
  w->Mail1->setBlocking(blocking);
  QTest::mouseClick(w->Send, Qt::LeftButton);
  if (!blocking) {
    QVERIFY(w->isSending());
    form_->cmdReply_Click();  // nothing on view, but a send is under way first
  }
  QVERIFY(QTest::qWaitFor([&] { return !w->isSending(); }, 30000));
  QCOMPARE(w->isVisible(), true);
  QCOMPARE(w->txtSubject->text(), QStringLiteral("kept"));
  QCOMPARE(w->bodyText(), QStringLiteral("every word stays"));
  QCOMPARE(w->cmbAttachments->count(), 1);
  QVERIFY(names(QStringLiteral("Sent")).isEmpty());
  const QString shown = prompter_->messages.join(QLatin1Char('\n'));
  QVERIFY2(shown.contains(QStringLiteral("The message was not sent")), qPrintable(shown));
  QVERIFY2(shown.contains(reason), qPrintable(shown));
  if (!blocking)
    QVERIFY(prompter_->messages.contains(QStringLiteral("Please wait: a message is being sent.")));
  if (scripted)
    return;

  // Put right, the same window sends the message with its body and file once.
  prompter_->messages.clear();
  settings().session_password = MailServers::password();
  w->txtCC->clear();
  QVERIFY(sendAndWaitForUnload(w));
  QVERIFY2(prompter_->messages.isEmpty(), qPrintable(prompter_->messages.join(QLatin1Char('\n'))));
  QVERIFY(servers_.waitForMessages(1, 20000));
  const QByteArray stored = servers_.messages().first();
  QCOMPARE(stored.count("every word stays"), 1);
  QCOMPARE(stored.count("filename=\"kept.bin\""), 1);
  QCOMPARE(stored.count("X-Mailer: TovelMail"), 1);
}

void SendServersTest::forwardCarriesItsFilesOnce() {
  startProgram(servers_.submissionHost());
  const QByteArray a = someBytes(8), b = someBytes(9, 7000);
  servers_.deliver("From: Nimal <n@example.lk>\r\nTo: demo@example.test\r\nSubject: two files\r\n"
                   "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n"
                   "--B\r\nContent-Type: text/plain\r\n\r\nThe files.\r\n"
                   "--B\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
                   "Content-Disposition: attachment; filename=\"a.bin\"\r\n\r\n" + a.toBase64() + "\r\n"
                   "--B\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
                   "Content-Disposition: attachment; filename=\"b.bin\"\r\n\r\n" + b.toBase64() + "\r\n--B--\r\n");
  QVERIFY(getMail());
  // An older file of the same name in Files is never what goes out.
  root_->write(QStringLiteral("Files/a.bin"), "stale");
  form_->listFolders->setCurrentItem(form_->listFolders->findItems(QStringLiteral("Inbox"), Qt::MatchFixedString).first());
  form_->listMessages->setCurrentRow(0);
  form_->forward_msg_Click();
  NewMessage* w = newMessage();
  QVERIFY(QTest::qWaitForWindowExposed(w));
  QVERIFY(QTest::qWaitFor([&] { return w->cmbAttachments->count() == 2; }, 5000));
  w->txtTo->setText(MailServers::user());
  QVERIFY(sendAndWaitForUnload(w));
  QVERIFY2(prompter_->messages.isEmpty(), qPrintable(prompter_->messages.join(QLatin1Char('\n'))));
  QVERIFY(servers_.waitForMessages(1, 20000));
  QVERIFY(getMail());
  const QStringList inbox = names(QStringLiteral("Inbox"));
  QCOMPARE(inbox.size(), 2);
  const Received r = readBack(root_->path(QStringLiteral("Inbox/") + inbox.last()), scratch_.path());
  QCOMPARE(r.subject, QStringLiteral("two files"));
  QVERIFY(r.text.contains(QStringLiteral("From   : Nimal <n@example.lk>")));
  QCOMPARE(r.files.size(), 2);
  QVERIFY(r.files[0] == a);
  QVERIFY(r.files[1] == b);
}

bool SendServersTest::typeUnicode(QWidget* box, const QString& text, FontScript script, int mode) {
  box->setFocus();
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (int i = 0; i < lines.size(); ++i) {
    const std::optional<QString> keys = keysTypingText(lines[i], script, mode);
    if (!keys)
      return false;
    if (i > 0)
      QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, *keys);
  }
  return true;
}

void SendServersTest::unicodeMessageReadsBackAsTyped_data() {
  QTest::addColumn<QString>("mode");
  QTest::addColumn<QString>("subjectTyped");
  QTest::addColumn<QString>("subjectSet");  // letters no key types, put in directly
  QTest::addColumn<QString>("bodyTyped");
  QTest::addColumn<QString>("bodySet");
  QTest::addColumn<QString>("cte");
  const QString si = QStringLiteral("මම ගෙදර යනවා\nඅම්මා තාත්තා අයියා අක්කා");
  const QString ta = QStringLiteral("வணக்கம் நண்பரே\nநன்றி அம்மா");
  QTest::newRow("Sinhala") << "Sin_wijey" << QStringLiteral("ආයුබෝවන්") << QString() << si << QStringLiteral("\n— ශ්‍රී ලංකා ෴") << "base64";
  QTest::newRow("Tamil") << "Tamil_ph" << QStringLiteral("வணக்கம்") << QString() << ta << QStringLiteral(" ௐ") << "base64";
  QTest::newRow("mixed with English")
      << "Sin_wijey" << QStringLiteral("ගෙදර") << QStringLiteral(" - home, café") << QStringLiteral("මම")
      << QStringLiteral(": I am going home today, and I will write again when I get there.\nCafé? Yes. ☕") << "quoted-printable";
  const QString words = QStringLiteral("வணக்கம் நண்பரே நன்றி அம்மா தமிழ் வணக்கம் நண்பரே நன்றி அம்மா தமிழ் நன்றி");
  QTest::newRow("long subject, folded") << "Tamil_ph" << words << QStringLiteral(" and a few English words after them")
                                        << QStringLiteral("நன்றி") << QString() << "base64";
}

void SendServersTest::unicodeMessageReadsBackAsTyped() {
  QFETCH(QString, mode);
  QFETCH(QString, subjectTyped);
  QFETCH(QString, subjectSet);
  QFETCH(QString, bodyTyped);
  QFETCH(QString, bodySet);
  QFETCH(QString, cte);
  startProgram(servers_.submissionHost());
  NewMessage* w = openCompose();
  QVERIFY(w);
  QTest::mouseClick(w->findChild<QPushButton*>(mode), Qt::LeftButton);
  w->mnuWriteUnicode->trigger();
  const FontScript script = mode == QLatin1String("Tamil_ph") ? FontScript::Tamil : FontScript::Sinhala;
  const int inputMode = language().input_mode;
  w->txtTo->setText(MailServers::user());
  QVERIFY(typeUnicode(w->txtSubject, subjectTyped, script, inputMode));
  QVERIFY(w->insertTypedUnicode(w->txtSubject, subjectSet));
  QVERIFY(typeUnicode(w->txtBody, bodyTyped, script, inputMode));
  QVERIFY(w->insertTypedUnicode(w->txtBody, bodySet));
  QCOMPARE(w->txtSubject->text(), subjectTyped + subjectSet);
  QCOMPARE(w->bodyText(), bodyTyped + bodySet);
  QVERIFY(sendAndWaitForUnload(w));
  QVERIFY2(prompter_->messages.isEmpty(), qPrintable(prompter_->messages.join(QLatin1Char('\n'))));
  QVERIFY(servers_.waitForMessages(1, 20000));
  QVERIFY(getMail());
  const QString path = root_->path(QStringLiteral("Inbox/") + names(QStringLiteral("Inbox")).value(0));

  const QJsonObject read = readWithPython(QStringLiteral("gui/tst_mime_reader.py"), path);
  QCOMPARE(read.value("subject").toString(), subjectTyped + subjectSet);
  QCOMPARE(read.value("type").toString(), QStringLiteral("text/plain"));
  QCOMPARE(read.value("charset").toString(), QStringLiteral("utf-8"));
  QCOMPARE(read.value("cte").toString(), cte);
  QCOMPARE(lf(read.value("text").toString()), lf(bodyTyped + bodySet));
  const QByteArray file = readTestFile(path);
  for (const QByteArray& line : file.left(file.indexOf("\r\n\r\n")).split('\n'))
    QVERIFY2(line.size() <= 79, line.constData());

  // Our own view shows it in the Unicode font.
  form_->listFolders->setCurrentItem(form_->listFolders->findItems(QStringLiteral("Inbox"), Qt::MatchFixedString).first());
  form_->listMessages->setCurrentRow(0);
  QVERIFY(lf(form_->textBody->toPlainText()).contains(lf(bodyTyped + bodySet)));
  QCOMPARE(form_->textBody->document()->defaultFont().families().value(0), unicodeFontFamily(script));
}

QTEST_MAIN(SendServersTest)
#include "tst_send_servers.moc"
