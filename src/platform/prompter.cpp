#include "platform/prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace platform {

namespace {

Prompter* installed = nullptr;

QString titleOrApp(const QString& title) { return title.isEmpty() ? kAppTitle : title; }

QWidget* dialogParent() { return QApplication::activeWindow(); }

}  // namespace

Prompter& prompter() {
  static QtPrompter qtPrompter;
  return installed ? *installed : qtPrompter;
}

void setPrompter(Prompter* replacement) { installed = replacement; }

void msgBox(const QString& text, const QString& title, MessageIcon icon) {
  prompter().message(text, title, icon);
}

void QtPrompter::message(const QString& text, const QString& title, MessageIcon icon) {
  QMessageBox box(dialogParent());
  box.setWindowTitle(titleOrApp(title));
  box.setText(text);
  switch (icon) {
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::None: break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

std::optional<QString> QtPrompter::input(const QString& prompt, const QString& title,
                                         const QString& defaultText, bool masked) {
  bool ok = false;
  const QString answer =
      QInputDialog::getText(dialogParent(), titleOrApp(title), prompt,
                            masked ? QLineEdit::Password : QLineEdit::Normal, defaultText, &ok);
  if (!ok)
    return std::nullopt;
  return answer;
}

bool QtPrompter::question(const QString& text, const QString& title) {
  return QMessageBox::question(dialogParent(), titleOrApp(title), text,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

QString QtPrompter::openFileName(const QString& caption, const QString& filter) {
  return QFileDialog::getOpenFileName(dialogParent(), titleOrApp(caption), QString(), filter);
}

QString QtPrompter::saveFileName(const QString& caption, const QString& suggested,
                                 const QString& filter) {
  return QFileDialog::getSaveFileName(dialogParent(), titleOrApp(caption), suggested, filter);
}

}  // namespace platform
