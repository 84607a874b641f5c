#pragma once
// A prompter for tests: records every text shown and answers input boxes and
// file dialogs from queues. An empty queue answers "cancel" (No for questions).
#include "platform/prompter.h"

#include <QQueue>
#include <QStringList>

class ScriptedPrompter : public platform::Prompter {
 public:
  ScriptedPrompter() { platform::setPrompter(this); }
  ~ScriptedPrompter() override { platform::setPrompter(nullptr); }

  QStringList messages;   // texts of message boxes, in order
  QStringList titles;     // their titles as passed (empty: application title)
  QStringList prompts;    // prompts of input boxes, in order
  QList<bool> maskedInputs;
  QQueue<std::optional<QString>> inputAnswers;
  QQueue<QString> fileAnswers;
  QStringList questions;  // texts of yes/no questions, in order
  QQueue<bool> questionAnswers;
  QStringList proposedSaveNames;  // the name each Save dialog proposed

  void message(const QString& text, const QString& title, platform::MessageIcon) override {
    messages.append(text);
    titles.append(title);
  }
  std::optional<QString> input(const QString& prompt, const QString&, const QString&,
                               bool masked) override {
    prompts.append(prompt);
    maskedInputs.append(masked);
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.dequeue();
  }
  bool question(const QString& text, const QString&) override {
    questions.append(text);
    return questionAnswers.isEmpty() ? false : questionAnswers.dequeue();
  }
  QString openFileName(const QString&, const QString&) override {
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
  }
  QString saveFileName(const QString&, const QString& suggested, const QString&) override {
    proposedSaveNames.append(suggested);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
  }
};
