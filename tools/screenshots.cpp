// Takes the README's pictures from the real windows: the main window with
// Sinhala, Tamil and English mail, the compose window typing Sinhala, the
// keyboard viewer and the two settings dialogs. Run by
// scripts/make_screenshots.sh under Xvfb; writes PNG files into OUT_DIR.
//
//   tovel_screenshots OUT_DIR
#include "compose/newmessage.h"
#include "language/fonts.h"
#include "language/frmkeybd.h"
#include "settings/connectionoptionsform.h"
#include "settings/userinfo.h"
#include "shell/mailform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>

namespace {

const char* const kMessages[] = {
    "From: Nimal Perera <nimal@example.lk>\r\nTo: demo@example.test\r\n"
    "Subject: uu f.or hkjd\r\nDate: Sun, 6 Dec 2026 09:12:00 +0530\r\nX-Mailer: TovelMail\r\n\r\n"
    "uu f.or hkjd'\r\n\\ ,xldj' isxy, NdIdj'\r\n",
    "From: Kumaran <kumaran@example.lk>\r\nTo: demo@example.test\r\n"
    "Subject: vNkxkmx\r\nDate: Sun, 6 Dec 2026 10:40:00 +0530\r\nX-Mailer: TovelMail\r\n\r\n"
    "vNkxkmx!\r\n\r\ntmbzx.\r\n",
    "From: Office <office@example.org>\r\nTo: demo@example.test\r\n"
    "Subject: Minutes of the meeting\r\nDate: Sun, 6 Dec 2026 11:05:00 +0000\r\n\r\n"
    "The minutes of Friday's meeting are below.\r\n",
};

QString encodeSetting(const QString& value) {
  QString digits;
  const QByteArray bytes = value.toLatin1();
  for (auto it = bytes.crbegin(); it != bytes.crend(); ++it)
    digits += QStringLiteral("%1").arg(int(static_cast<unsigned char>(*it)), 3, 10, QLatin1Char('0'));
  return digits;
}

void writeFile(const QString& path, const QByteArray& data) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(1);
  }
}

// A mailbox with the three letters in the in-box and a complete setup.
void prepareMailbox(const QString& dir) {
  QDir().mkpath(dir + QStringLiteral("/Email/Inbox"));
  for (int i = 0; i < 3; ++i)
    writeFile(dir + QStringLiteral("/Email/Inbox/%1.msg").arg(i + 1, 8, 10, QLatin1Char('0')), kMessages[i]);
  QByteArray ini = "[SOFTWARE]\n";
  const QList<std::pair<const char*, QString>> values = {
      {"USEREMAIL", QStringLiteral("demo@example.test")}, {"USERNAME", QStringLiteral("Demo User")},
      {"POPHOST", QStringLiteral("mail.example.test")},  {"POPUSER", QStringLiteral("demo")},
      {"POPDOOR", QStringLiteral("demo-pass")},          {"SMTPHOST", QStringLiteral("mail.example.test:587")}};
  for (const auto& [name, value] : values)
    ini += QByteArray("TOVELMAIL\\") + name + '=' + encodeSetting(value).toLatin1() + '\n';
  writeFile(dir + QStringLiteral("/tovelmail.ini"), ini);
  qputenv("TOVELMAIL_ROOT", (dir + QStringLiteral("/Email/")).toLocal8Bit());
  qputenv("TOVELMAIL_SETTINGS", (dir + QStringLiteral("/tovelmail.ini")).toLocal8Bit());
}

void settle() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(30);
  }
}

void save(QWidget* window, const QString& path) {
  settle();
  if (!window->grab().save(path)) {
    std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
    std::exit(1);
  }
  std::printf("%s\n", qPrintable(path));
}

void showMessage(MailForm& form, int row) {
  form.listMessages->setCurrentRow(row);
  form.listMessages_Click();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QTemporaryDir dir;
  prepareMailbox(dir.path());
  registerBundledFonts();

  MailForm form;
  form.resize(1100, 620);
  form.Form_Load(false);
  showMessage(form, 0);
  save(&form, out + QStringLiteral("/main-sinhala.png"));
  form.mnuLangSinh_Click(1);
  showMessage(form, 1);
  save(&form, out + QStringLiteral("/main-tamil.png"));
  form.mnuLangSinh_Click(2);
  showMessage(form, 2);
  save(&form, out + QStringLiteral("/main-english.png"));
  form.mnuLangSinh_Click(0);

  NewMessage* compose = newMessage();
  compose->resize(820, 560);
  compose->show();
  settle();
  compose->sin_ph_Click();
  compose->txtTo->setText(QStringLiteral("nimal@example.lk"));
  compose->txtSubject->setFocus();
  QTest::keyClicks(compose->txtSubject, QStringLiteral("siVhl lipiy"));
  compose->txtBody->setFocus();
  QTest::keyClicks(compose->txtBody, QStringLiteral("suB dvska! mm egdr ynvA."));
  QTest::keyClick(compose->txtBody, Qt::Key_Return);
  QTest::keyClicks(compose->txtBody, QStringLiteral("siVhl BA]Av."));
  save(compose, out + QStringLiteral("/compose-sinhala.png"));
  // The same letter written in Unicode, a line typed on in Unicode.
  compose->mnuWriteUnicode->trigger();
  QTest::keyClick(compose->txtBody, Qt::Key_Return);
  compose->Engli_us_Click();
  QTest::keyClicks(compose->txtBody, QStringLiteral("In Unicode: "));
  compose->Sin_wijey_Click();
  QTest::keyClicks(compose->txtBody, QStringLiteral("uu f.or hkjd'"));
  save(compose, out + QStringLiteral("/compose-unicode.png"));
  compose->mnuWriteUnicode->trigger();

  frmkeybd* keyboards = frmkeybd::showViewer(compose);
  save(keyboards, out + QStringLiteral("/keyboard-sinhala.png"));
  keyboards->Tamil_k_Click();
  save(keyboards, out + QStringLiteral("/keyboard-tamil.png"));
  keyboards->Command1_Click();

  UserInfo user(&form);
  user.show();
  save(&user, out + QStringLiteral("/settings-user.png"));
  ConnectionOptionsForm connection(&form);
  connection.show();
  save(&connection, out + QStringLiteral("/settings-connection.png"));
  return 0;
}
