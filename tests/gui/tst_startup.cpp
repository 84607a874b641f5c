// Start-up of the main window on real folders: folders, offline mode, the
// settings dialogs of a first start, toolbar and menus; the user and
// connection dialogs on their own: their checks, messages and what they
// save; and the settings store: the digit encoding and loading.
#include "platform/twips.h"
#include "settings/address.h"
#include "settings/connectionoptionsform.h"
#include "settings/crypt.h"
#include "settings/settingsstore.h"
#include "settings/userinfo.h"
#include "shell/mailform.h"
#include "shell/picturebutton.h"
#include "store/mailstore.h"
#include "support/mainwindowtest.h"
#include "support/modal.h"
#include "support/testroot.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

namespace {

void fillConnection(ConnectionOptionsForm& dialog, const QString& popHost, const QString& user,
                    const QString& password1, const QString& password2) {
  dialog.PopHost->setText(popHost);
  dialog.PopUserName->setText(user);
  dialog.SmtpHost->setText(QStringLiteral("smtp.example.org"));
  dialog.PopPasswd1->setText(password1);
  dialog.PopPasswd2->setText(password2);
}

}  // namespace

namespace {

// A store that hands back whatever the test put in, as text.
class MapBackend : public SettingsBackend {
 public:
  QMap<QString, QString> values;
  QString query_value(const QString& name) override { return values.value(name); }
  void create_key() override {}
  bool set_key_value(const QString& name, const QString& value) override {
    values[name] = value;
    return true;
  }
};

void storeAll(MapBackend& backend) {
  const QStringList plain = {QStringLiteral("me@example.org"), QStringLiteral("Me"),
                             QStringLiteral("pop.example.org"), QStringLiteral("me"),
                             QStringLiteral("s3cret"), QStringLiteral("smtp.example.org")};
  for (int i = 0; i < kSettingNames.size(); ++i)
    backend.values[kSettingNames[i]] = encode_value(plain[i]);
}

}  // namespace

class StartupTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    root_ = std::make_unique<TestRoot>();
    resetProgramState(*root_);
    QDir(root_->root()).removeRecursively();  // the program must create it
    prompter_ = std::make_unique<ScriptedPrompter>();
  }

  void cleanup() { closeMainWindow(); }

  void firstStartOnMissingRoot() {
    storeCompleteSettings();
    MailForm form;
    form.Form_Load(false);
    for (const QString& name : MailStore::kStandardFolders)
      QVERIFY2(QDir(root_->path(name)).exists(), qPrintable(name));
    QCOMPARE(form.listFolders->item(0)->text(), QStringLiteral("Inbox"));
    QCOMPARE(form.listFolders->count(), 5);
    QCOMPARE(form.listFolders->currentRow(), 0);
    QCOMPARE(mailStore().folder_table.size(), MailStore::kStartupFolderSlots);
    QCOMPARE(mailStore().folder_table[0].name, QStringLiteral("Inbox"));
    QCOMPARE(mailStore().folder_table[0].counter, -1);
    QVERIFY(mailStore().folder_table[5].name.isEmpty());
    QCOMPARE(settings().session_user, QStringLiteral("me"));
    QCOMPARE(settings().session_password, QStringLiteral("pw"));
    QVERIFY(form.textBody->isReadOnly());
    QVERIFY(prompter_->messages.isEmpty());
    QVERIFY(QApplication::activeModalWidget() == nullptr);  // complete settings: no dialog
  }

  // Folders show capitalised, Inbox first and once, names with a dot and
  // plain files left out; the table stops at 21 entries, and a folder beyond
  // it always takes the lowest free number.
  void foldersListedInDirectoryOrderCapitalised() {
    storeCompleteSettings();
    for (const char* name : {"PROJECTS", "INBOX2", "inbox.old", ".trash"})
      QDir().mkpath(root_->path(QString::fromLatin1(name)));
    for (int i = 0; i < 25; ++i)
      QDir().mkpath(root_->path(QStringLiteral("f%1").arg(i)));
    root_->write(QStringLiteral("config.msg"), "");
    MailForm form;
    form.Form_Load(false);
    const QStringList shown = listTexts(form.listFolders);
    QCOMPARE(shown.first(), QStringLiteral("Inbox"));
    QCOMPARE(shown.count(QStringLiteral("Inbox")), 1);
    for (const char* name : {"Projects", "Inbox2", "Outbox"})
      QVERIFY2(shown.contains(QString::fromLatin1(name)), name);
    for (const QString& name : shown)
      QVERIFY2(!name.contains(QLatin1Char('.')), qPrintable(name));
    QCOMPARE(shown.size(), 32);
    QCOMPARE(mailStore().folder_table.size(), MailStore::kStartupFolderSlots);
    QCOMPARE(mailStore().folder_table[20].name, shown.at(20));
    QCOMPARE(mailStore().next_msg_name(shown.at(30)), QStringLiteral("00000001.msg"));
  }

  void offlineNeedsConfigFile() {
    storeCompleteSettings();
    {
      MailForm form;
      form.Form_Load(false);
      QVERIFY(!form.offline->isVisible());
      QVERIFY(!form.offline->isChecked());
      QVERIFY(!form.MnuDeliverMessages->isEnabled());
      QVERIFY(!mailStore().offline_flag);
    }
    root_->write(QStringLiteral("config.msg"), "From: me@example.org\r\n\r\n");
    MailForm form;
    form.Form_Load(false);
    QVERIFY(form.offline->isVisible());
    QVERIFY(form.offline->isChecked());
    QVERIFY(form.MnuDeliverMessages->isEnabled());
    QVERIFY(mailStore().offline_flag);
    form.offline->click();
    QVERIFY(!mailStore().offline_flag);
    form.offline->click();
    QVERIFY(mailStore().offline_flag);
  }

  void firstStartShowsBothSettingsDialogs() {
    QStringList shownDialogs;
    whenModalAppears([&](QWidget* w) {
      shownDialogs << w->objectName();
      auto* user = qobject_cast<UserInfo*>(w);
      QVERIFY(user);
      user->Email->setText(QStringLiteral("me@example.org"));
      user->UserName->setText(QStringLiteral("Me"));
      user->Ok->click();
      whenModalAppears([&](QWidget* w2) {
        shownDialogs << w2->objectName();
        auto* conn = qobject_cast<ConnectionOptionsForm*>(w2);
        QVERIFY(conn);
        conn->PopHost->setText(QStringLiteral("pop.example.org"));
        conn->PopUserName->setText(QStringLiteral("me"));
        conn->PopPasswd1->setText(QStringLiteral("pw"));
        conn->PopPasswd2->setText(QStringLiteral("pw"));
        conn->SmtpHost->setText(QStringLiteral("smtp.example.org"));
        conn->Ok->click();
      });
    });
    MailForm form;
    form.Form_Load(false);
    QCOMPARE(shownDialogs, (QStringList{QStringLiteral("UserInfo"), QStringLiteral("ConnectionOptionsForm")}));
    QCOMPARE(prompter_->messages, (QStringList{QStringLiteral("Values Saved"), QStringLiteral("Values Saved")}));
    QCOMPARE(settings().session_user, QStringLiteral("me"));
    // The next start finds everything and asks nothing.
    settings() = TovelSettings();
    MailForm again;
    QVERIFY(again.configTovelmail());
    QCOMPARE(settings().smtp_host, QStringLiteral("smtp.example.org"));
  }

  void damagedSettingsOpenTheDialogs() {
    storeCompleteSettings();
    settingsBackend().set_key_value(QStringLiteral("POPHOST"), QStringLiteral("12"));
    int dialogs = 0;
    std::function<void(QWidget*)> cancel = [&](QWidget* w) {
      ++dialogs;
      static_cast<QDialog*>(w)->reject();
      if (dialogs < 2)
        whenModalAppears(cancel);
    };
    whenModalAppears(cancel);
    MailForm form;
    form.Form_Load(false);  // must not crash, and opens the window anyway
    QCOMPARE(dialogs, 2);
    QVERIFY(form.isVisible());
  }

  void toolbarAndMenus() {
    storeCompleteSettings();
    MailForm form;
    form.Form_Load(false);
    QVERIFY(form.mnuLangSinh[0]->isChecked());
    // Blocking is off in the control, and both the box and the menu say so.
    QVERIFY(!form.Mail1->Blocking());
    QVERIFY(!form.chkBlocking->isChecked());
    QVERIFY(!form.mnuBlocking->isChecked());
    QVERIFY(form.chkHostDelete->isChecked());
    for (int i = 0; i < 6; ++i)
      QVERIFY2(!form.pictbut[i]->pixmap().isNull(), "toolbar icon missing");

    form.mnuTutor->trigger();
    form.pictbut_Click(6);
    QCOMPARE(prompter_->messages, (QStringList{"Please Read Readme file", "Error !"}));
    QVERIFY(prompter_->titles.at(0).isEmpty());  // shown under the application title

    // Toolbar button 2 (New Message) enables the delete-on-server item again.
    form.mnuDelMsgSvr->setEnabled(false);
    QTest::mouseClick(form.pictbut[2], Qt::LeftButton);
    QVERIFY(form.mnuDelMsgSvr->isEnabled());
  }

  void windowLayoutSurvivesResizes() {
    storeCompleteSettings();
    MailForm form;
    form.Form_Load(false);
    const int folderWidth = form.listFolders->width();
    for (int i = 0; i < 40; ++i) {
      form.resize(700 + (i % 9) * 37, 500 + (i % 4) * 41);
      QApplication::processEvents();
    }
    form.resize(900, 640);
    QApplication::processEvents();
    QCOMPARE(form.listFolders->width(), folderWidth);
    QCOMPARE(form.listFolders->geometry().top(), form.listMessages->geometry().top());
    QVERIFY(form.textBody->height() > 0);
    QCOMPARE(form.statbar->geometry().bottom() + 1, form.centralWidget()->height());
    // The window refuses sizes that would need negative control sizes.
    form.resize(10, 10);
    QApplication::processEvents();
    QVERIFY(form.width() >= form.minimumWidth());
    QVERIFY(form.textBody->height() >= 0);
  }

  void userInfoChecksAddressAndName() {
    UserInfo dialog;
    dialog.show();
    QVERIFY(dialog.save_info->isChecked());
    QVERIFY(dialog.Ok->isDefault());

    const struct {
      const char* email;
      const char* name;
      bool accepted;
    } cases[] = {
        {"nodot@host", "Me", false}, {".me@host.org", "Me", false}, {"@host.org", "Me", false},
        {"me@host.org", "   ", false}, {"first.last@host", "Me", true},
    };
    for (const auto& c : cases) {
      prompter_->messages.clear();
      dialog.Email->setText(QString::fromLatin1(c.email));
      dialog.UserName->setText(QString::fromLatin1(c.name));
      dialog.Ok->click();
      QCOMPARE(prompter_->messages,
               QStringList{c.accepted ? QStringLiteral("Values Saved") : QStringLiteral("Error in Information")});
      // The values are in force even when they were refused.
      QCOMPARE(settings().user_email, QString::fromLatin1(c.email));
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(settingsBackend().query_value(QStringLiteral("USEREMAIL")),
             encode_value(QStringLiteral("first.last@host")));

    // A name with leading blanks is saved with them.
    UserInfo again;
    QCOMPARE(again.Email->text(), QStringLiteral("first.last@host"));
    again.UserName->setText(QStringLiteral("  Padded"));
    again.Ok->click();
    QCOMPARE(decode_value(settingsBackend().query_value(QStringLiteral("USERNAME"))), QStringLiteral("  Padded"));
  }

  void userInfoWithoutSaveInfoKeepsOnlyMemory() {
    UserInfo dialog;
    dialog.show();
    dialog.save_info->setChecked(false);
    dialog.Email->setText(QStringLiteral("me@host.org"));
    dialog.UserName->setText(QStringLiteral("Me"));
    dialog.Ok->click();
    QVERIFY(prompter_->messages.isEmpty());
    QVERIFY(dialog.isVisible());
    QCOMPARE(settings().user_name, QStringLiteral("Me"));
    QVERIFY(settingsBackend().query_value(QStringLiteral("USERNAME")).isEmpty());
    dialog.Cancel->click();
    QCOMPARE(settings().user_name, QStringLiteral("Me"));  // Cancel undoes nothing already taken
  }

  void connectionPasswordsMustMatchAfterTrimming() {
    settings().pop_password = QStringLiteral("stored");
    ConnectionOptionsForm dialog;
    dialog.show();
    QCOMPARE(dialog.PopPasswd1->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.PopPasswd2->echoMode(), QLineEdit::Password);
    // A stored password must be typed again.
    QCOMPARE(dialog.PopPasswd1->text(), QStringLiteral("stored"));
    QVERIFY(dialog.PopPasswd2->text().isEmpty());
    dialog.Ok->click();
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Passwords Do not match !")});
    prompter_->messages.clear();
    fillConnection(dialog, QStringLiteral(" pop.example.org "), QStringLiteral("me"), QStringLiteral("one"),
                   QStringLiteral("two"));
    dialog.Ok->click();
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Passwords Do not match !")});
    QVERIFY(settings().pop_host.isEmpty());  // nothing changed
    QCOMPARE(settings().pop_password, QStringLiteral("stored"));

    prompter_->messages.clear();
    dialog.PopPasswd1->setText(QStringLiteral(" secret"));
    dialog.PopPasswd2->setText(QStringLiteral("secret "));
    dialog.Ok->click();
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Values Saved")});
    QCOMPARE(settings().pop_password, QStringLiteral("secret"));
    QCOMPARE(settings().pop_host, QStringLiteral("pop.example.org"));
    QCOMPARE(decode_value(settingsBackend().query_value(QStringLiteral("POPDOOR"))), QStringLiteral("secret"));
    QVERIFY(!dialog.isVisible());
  }

  void connectionNeedsEveryField() {
    ConnectionOptionsForm dialog;
    dialog.show();
    fillConnection(dialog, QStringLiteral("pop.example.org"), QStringLiteral("   "), QStringLiteral("pw"),
                   QStringLiteral("pw"));
    dialog.Ok->click();
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Incorrect values !")});
    QVERIFY(dialog.isVisible());
    QCOMPARE(settings().pop_host, QStringLiteral("pop.example.org"));  // taken, not saved
    QVERIFY(settingsBackend().query_value(QStringLiteral("POPHOST")).isEmpty());
  }

  void focusSelectsWholeText() {
    settings().smtp_host = QStringLiteral("smtp.example.org");
    ConnectionOptionsForm dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.SmtpHost->setFocus();
    QTRY_COMPARE(dialog.SmtpHost->selectedText(), QStringLiteral("smtp.example.org"));
  }

  void plainLoginIsOffUntilAllowedWithAWarning() {
    const auto fill = [](ConnectionOptionsForm& dialog) {
      fillConnection(dialog, QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("pw"), QStringLiteral("pw"));
    };
    {
      ConnectionOptionsForm dialog;
      dialog.show();
      QVERIFY(!dialog.AllowPlainLogin->isChecked());
      QTest::mouseClick(dialog.AllowPlainLogin, Qt::LeftButton);
      QVERIFY(dialog.AllowPlainLogin->isChecked());
      QCOMPARE(prompter_->messages.size(), 1);
      QVERIFY(prompter_->messages.first().contains(QStringLiteral("unencrypted")));
      fill(dialog);
      dialog.Ok->click();
      QVERIFY(settings().allow_plain_login);
    }
    TovelSettings loaded;
    loadSettings(loaded, settingsBackend());
    QVERIFY(loaded.allow_plain_login);
    QCOMPARE(decode_value(settingsBackend().query_value(QStringLiteral("POPHOST"))), QStringLiteral("x"));

    // Opened again it shows the stored choice; turning it off warns of nothing.
    prompter_->messages.clear();
    ConnectionOptionsForm again;
    again.show();
    QVERIFY(again.AllowPlainLogin->isChecked());
    QTest::mouseClick(again.AllowPlainLogin, Qt::LeftButton);
    fill(again);
    again.Ok->click();
    QCOMPARE(prompter_->messages, QStringList{QStringLiteral("Values Saved")});
    loadSettings(loaded, settingsBackend());
    QVERIFY(!loaded.allow_plain_login);
  }

  void decoding_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<std::optional<QString>>("value");  // none: refused as damaged
    QTest::newRow("three digits a character, last first") << "099098097" << std::optional<QString>(QStringLiteral("abc"));
    QTest::newRow("one character") << "065" << std::optional<QString>(QStringLiteral("A"));
    QTest::newRow("empty") << "" << std::optional<QString>(QString());
    // A group of non-digits reads as 0; a group reading stops at the first non-digit.
    QTest::newRow("non-digits") << "xyz" << std::optional<QString>(QString(QChar(0)));
    QTest::newRow("digit then non-digits") << "6x5" << std::optional<QString>(QString(QChar(6)));
    QTest::newRow("a digit too many") << "0990" << std::optional<QString>();
    QTest::newRow("too short") << "09" << std::optional<QString>();
    QTest::newRow("above 255 first") << "256065" << std::optional<QString>();
    QTest::newRow("999") << "999" << std::optional<QString>();
  }

  void decoding() {
    QFETCH(QString, stored);
    QFETCH(std::optional<QString>, value);
    QCOMPARE(decode_value(stored), value);
    if (value && !stored.contains(QLatin1Char('x')))
      QCOMPARE(encode_value(*value), stored);
  }

  void everyByteSurvives() {
    QString all;
    for (int c = 0; c < 256; ++c)
      all += QChar(c);
    const QString encoded = encode_value(all);
    QCOMPARE(encoded.size(), 256 * 3);
    QCOMPARE(encoded.left(3), QStringLiteral("255"));
    QCOMPARE(decode_value(encoded), all);
  }

  void missingKeyLoadsNothing() {
    MapBackend empty;
    TovelSettings s;
    QVERIFY(!loadSettings(s, empty));
    QVERIFY(s.user_email.isEmpty() && s.smtp_host.isEmpty() && s.pop_password.isEmpty());
  }

  void fiveOfSixLoadButReportIncomplete() {
    MapBackend backend;
    storeAll(backend);
    backend.values.remove(QStringLiteral("SMTPHOST"));
    TovelSettings s;
    QVERIFY(!loadSettings(s, backend));
    QCOMPARE(s.user_email, QStringLiteral("me@example.org"));
    QCOMPARE(s.pop_password, QStringLiteral("s3cret"));
    QVERIFY(s.smtp_host.isEmpty());

    // A missing value keeps what was there before.
    s.smtp_host = QStringLiteral("kept");
    QVERIFY(loadSettings(s, backend));
    QCOMPARE(s.smtp_host, QStringLiteral("kept"));
  }

  void damagedValueStopsTheLoadThere() {
    MapBackend backend;
    storeAll(backend);
    backend.values[QStringLiteral("POPHOST")] = QStringLiteral("1234");
    TovelSettings s;
    s.pop_user = QStringLiteral("old");
    QVERIFY(!loadSettings(s, backend));
    QCOMPARE(s.user_email, QStringLiteral("me@example.org"));  // before the bad value
    QCOMPARE(s.user_name, QStringLiteral("Me"));
    QVERIFY(s.pop_host.isEmpty());
    QCOMPARE(s.pop_user, QStringLiteral("old"));  // after it: untouched

    backend.values[QStringLiteral("POPHOST")] = QStringLiteral("300065");
    QVERIFY(!loadSettings(s, backend));
  }

  void plainLoginIsOptionalAndOffUnlessOne() {
    // Six values are a complete store; a damaged or unknown seventh reads as off.
    MapBackend backend;
    storeAll(backend);
    for (const QString& stored : {QString(), QStringLiteral("x9"), encode_value(QStringLiteral("yes"))}) {
      backend.values[kPlainLoginName] = stored;
      TovelSettings s;
      s.allow_plain_login = true;
      QVERIFY(loadSettings(s, backend));
      QVERIFY(!s.allow_plain_login);
    }
  }

  void terminatorHandlingKeepsEveryCharacter() {
    QCOMPARE(drop_terminator(QStringLiteral("065") + QChar(0)), QStringLiteral("065"));
    QCOMPARE(drop_terminator(QStringLiteral("065")), QStringLiteral("065"));
    MapBackend backend;
    storeAll(backend);
    backend.values[QStringLiteral("USERNAME")] = encode_value(QStringLiteral("Me")) + QChar(0);
    TovelSettings s;
    QVERIFY(loadSettings(s, backend));
    QCOMPARE(s.user_name, QStringLiteral("Me"));
    QCOMPARE(s.smtp_host, QStringLiteral("smtp.example.org"));
  }

  void iniFileIsPrivateAndRoundTrips() {
    const TestRoot& root = *root_;
    QSettingsBackend backend(root.settingsFile());
    TovelSettings s;
    s.user_email = QStringLiteral("a@b.c");
    s.user_name = QStringLiteral("  \u00C5nanda ");  // Latin-1 and blanks kept
    storeSettings(backend, {QStringLiteral("USEREMAIL"), QStringLiteral("USERNAME")}, s);
    QVERIFY(QFile::exists(root.settingsFile()));
    QCOMPARE(QFileInfo(root.settingsFile()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
    QCOMPARE(backend.query_value(QStringLiteral("USEREMAIL")), encode_value(QStringLiteral("a@b.c")));
    TovelSettings loaded;
    QVERIFY(!loadSettings(loaded, backend));  // four still missing
    QCOMPARE(loaded.user_name, s.user_name);
    QVERIFY(backend.query_value(QStringLiteral("POPHOST")).isEmpty());
  }

  // The other forms go through the User dialog above.
  void addressCheck() {
    QVERIFY(valid_address(QStringLiteral("a@b.c")));
    QVERIFY(valid_address(QStringLiteral("a@b.c, d@e.f")));
    QVERIFY(!valid_address(QStringLiteral("ab.c")));
    QVERIFY(!valid_address(QString()));
  }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
