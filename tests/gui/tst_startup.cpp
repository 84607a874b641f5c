// Start-up of the main window on real folders: folders, offline mode, the
// settings dialogs of a first start, toolbar and menus.
#include "platform/twips.h"
#include "settings/connectionoptionsform.h"
#include "settings/crypt.h"
#include "settings/settingsstore.h"
#include "settings/userinfo.h"
#include "shell/mailform.h"
#include "shell/picturebutton.h"
#include "store/mailstore.h"
#include "support/mainwindowtest.h"
#include "support/modal.h"

#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

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
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
