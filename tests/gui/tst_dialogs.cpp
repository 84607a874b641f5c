// The user and connection dialogs: their checks, messages and what they save.
#include "settings/connectionoptionsform.h"
#include "settings/crypt.h"
#include "settings/settingsstore.h"
#include "settings/userinfo.h"
#include "support/mainwindowtest.h"

#include <QCheckBox>
#include <QLineEdit>
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

class DialogsTest : public MainWindowTest {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    root_ = std::make_unique<TestRoot>();
    resetProgramState(*root_);
    prompter_ = std::make_unique<ScriptedPrompter>();
  }

  void cleanup() { closeMainWindow(); }

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
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
