// Fonts of the main window and its Language menu.
#include "shell/mailform.h"

#include "compose/newmessage.h"
#include "language/languagestate.h"

#include <QFont>

namespace {
void setFontName(QWidget* widget, const QString& name) {
  QFont font = widget->font();
  font.setFamily(name);
  font.setFamilies({name});
  widget->setFont(font);
}

void setFontSize(QWidget* widget, int points) {
  QFont font = widget->font();
  font.setPointSize(points);
  widget->setFont(font);
}
}  // namespace

// Runs where start-up sets up the language support: the table, the language
// state and the key sequences first, then the fonts of the main window.
void MailForm::applyStartupFonts() {
  init_language_support();
  const LanguageState& state = language();
  setFontName(textBody, state.default_font_name);
  setFontSize(textBody, state.default_font_size);
  setFontName(listMessages, state.default_font_name);
  setFontSize(listMessages, state.default_font_size - 2);

  // The first reference to the compose window loads it, hidden.
  setNewMessageOwner(this);
  watchSending();
  NewMessage* compose = newMessage();
  compose->fillCharacterPicker();
  for (QWidget* box : {static_cast<QWidget*>(compose->txtBody), static_cast<QWidget*>(compose->txtSubject)}) {
    setFontName(box, state.default_font_name);
    setFontSize(box, state.default_font_size);
  }
}

void MailForm::mnuLangSinh_Click(int index) {
  if (index < 0 || index > 2)
    return;
  const int listMessagesHeight = listMessages->height();
  const int listFoldersHeight = listFolders->height();
  const int textBodyHeight = textBody->height();

  language().current_language = index;
  for (QAction* item : mnuLangSinh)
    item->setChecked(false);
  mnuLangSinh[static_cast<size_t>(index)]->setChecked(true);

  static const QString kNames[3] = {kSinhalaFont, kTamilFont, kEnglishFont};
  static constexpr int kSizes[3] = {12, 12, 10};
  const QString& name = kNames[index];
  const int size = kSizes[index];
  for (QWidget* w : {static_cast<QWidget*>(listMessages), static_cast<QWidget*>(listFolders),
                     static_cast<QWidget*>(textBody)})
    setFontName(w, name);
  for (QWidget* w : {static_cast<QWidget*>(listMessages), static_cast<QWidget*>(listFolders),
                     static_cast<QWidget*>(textBody)})
    setFontSize(w, size);

  listMessages->resize(listMessages->width(), listMessagesHeight);
  listFolders->resize(listFolders->width(), listFoldersHeight);
  textBody->resize(textBody->width(), textBodyHeight);
}
