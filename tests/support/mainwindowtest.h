#pragma once
// The common frame of tests that drive the main window: a throw-away root
// with complete settings, a scripted prompter, and the window loaded.
#include "shell/mailform.h"
#include "support/scriptedprompter.h"
#include "support/testroot.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QObject>
#include <memory>

class MainWindowTest : public QObject {
 protected:
  void openMainWindow() {
    prepareRoot();
    loadMainWindow();
  }
  // The root, its settings and the prompter, for tests that put files in
  // place before the window loads.
  void prepareRoot(const QString& popPassword = QStringLiteral("pw")) {
    root_ = std::make_unique<TestRoot>();
    resetProgramState(*root_);
    storeCompleteSettings(popPassword);
    prompter_ = std::make_unique<ScriptedPrompter>();
  }
  // A new window over the root, as at start-up.
  void loadMainWindow() {
    form_ = std::make_unique<MailForm>();
    form_->Form_Load(false);
  }
  // The window goes first: it takes the compose window with it, and those
  // deletions are carried out before the root goes away.
  void closeMainWindow() {
    form_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    prompter_.reset();
    root_.reset();
  }
  // Lists `name` (in any letter case) in the main window.
  bool selectFolder(const QString& name) {
    const QList<QListWidgetItem*> items = form_->listFolders->findItems(name, Qt::MatchFixedString);
    if (!items.isEmpty())
      form_->listFolders->setCurrentItem(items.first());
    return !items.isEmpty();
  }

  std::unique_ptr<TestRoot> root_;
  std::unique_ptr<ScriptedPrompter> prompter_;
  std::unique_ptr<MailForm> form_;
};

// The texts of a list's rows.
inline QStringList listTexts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i)
    texts << list->item(i)->text();
  return texts;
}

// A message as mailers send it: the usual header fields with a fixed Date,
// `extra` header lines after the Content-Type, then the body.
inline QByteArray testMessage(const QByteArray& from, const QByteArray& subject, const QByteArray& contentType,
                              const QByteArray& body, const QByteArray& extra = {}) {
  return "From: " + from + "\r\nTo: me@example.org\r\nSubject: " + subject +
         "\r\nDate: Sun, 6 Dec 2026 10:00:00 +0000\r\nMIME-Version: 1.0\r\nContent-Type: " + contentType + "\r\n" +
         extra + "\r\n" + body;
}
