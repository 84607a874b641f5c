#pragma once
// The common frame of tests that drive the main window: a throw-away root
// with complete settings, a scripted prompter, and the window loaded.
#include "shell/mailform.h"
#include "support/scriptedprompter.h"
#include "support/testroot.h"

#include <QCoreApplication>
#include <QObject>
#include <memory>

class MainWindowTest : public QObject {
 protected:
  void openMainWindow() {
    root_ = std::make_unique<TestRoot>();
    resetProgramState(*root_);
    storeCompleteSettings();
    prompter_ = std::make_unique<ScriptedPrompter>();
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

  std::unique_ptr<TestRoot> root_;
  std::unique_ptr<ScriptedPrompter> prompter_;
  std::unique_ptr<MailForm> form_;
};
