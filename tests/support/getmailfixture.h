#pragma once
// A main window on a throw-away mailbox, its POP3 settings pointed at a test
// server, for driving the get-mail session and the delete window.
#include "retrieval/getmailsession.h"
#include "settings/settingsstore.h"
#include "shell/mailform.h"
#include "store/mailstore.h"
#include "support/scriptedprompter.h"
#include "support/testroot.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>

struct GetMailFixture {
  // Scripted servers speak no TLS, so logins in clear are allowed unless a
  // test says otherwise; the real servers offer TLS and always get it.
  explicit GetMailFixture(const QString& popHost, const QString& user = QStringLiteral("u"),
                          const QString& password = QStringLiteral("p"), bool allowPlainLogin = true) {
    root = std::make_unique<TestRoot>();
    resetProgramState(*root);
    prompter = std::make_unique<ScriptedPrompter>();
    TovelSettings s;
    s.user_email = QStringLiteral("me@example.org");
    s.user_name = QStringLiteral("Me");
    s.pop_host = popHost;
    s.pop_user = user;
    s.pop_password = password;
    s.smtp_host = QStringLiteral("127.0.0.1:25");
    s.allow_plain_login = allowPlainLogin;
    storeSettings(settingsBackend(), QStringList(kSettingNames) << kPlainLoginName, s);
    form = std::make_unique<MailForm>();
    form->Form_Load(false);
    form->chkHostDelete->setChecked(false);
    form->mnuHostDelete->setChecked(false);
  }
  ~GetMailFixture() {
    form.reset();
    prompter.reset();
    root.reset();
  }

  void setBlocking(bool on) {
    form->chkBlocking->setChecked(on);
    form->chkBlocking_Click();
  }
  void setHostDelete(bool on) { form->chkHostDelete->setChecked(on); }

  // Runs one GetMail, or waits for the one under way, until the session
  // is over.
  bool getMail(int ms = 30000) {
    form->cmdGetMail_Click();
    return waitIdle(ms);
  }
  bool waitIdle(int ms = 30000) {
    return QTest::qWaitFor(
        [&] { return !form->getMail->isActive() && !form->Timer1->isActive() && form->cmdGetMail->isEnabled(); },
        ms);
  }

  QStringList inboxNames() const {
    return QDir(root->path(QStringLiteral("Inbox"))).entryList(QDir::Files, QDir::Name);
  }
  QByteArray inboxFile(const QString& name) const {
    QFile f(root->path(QStringLiteral("Inbox/") + name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  std::unique_ptr<TestRoot> root;
  std::unique_ptr<ScriptedPrompter> prompter;
  std::unique_ptr<MailForm> form;
};
