// Fonts of the main window and its Language menu, and the automatic fonts:
// each text of the list and the view in the font of its own script.
#include "shell/mailform.h"

#include "compose/newmessage.h"
#include "language/languagestate.h"
#include "language/unicodefonts.h"
#include "reading/listformat.h"
#include "reading/messagelistdelegate.h"
#include "settings/settingsstore.h"

#include <QFont>
#include <QTextCursor>
#include <QTextDocument>
#include <optional>

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

const QString kAutoFontSetting = QStringLiteral("AUTOFONT");
}  // namespace

void MailForm::createAutoFontSupport() {
  mnuLanguage->addSeparator()->setObjectName(QStringLiteral("mnuLangSep"));
  mnuAutoFont = mnuLanguage->addAction(QStringLiteral("&Automatic font"));
  mnuAutoFont->setObjectName(QStringLiteral("mnuAutoFont"));
  mnuAutoFont->setCheckable(true);
  mnuAutoFont->setChecked(settingsBackend().query_value(kAutoFontSetting) != QLatin1String("0"));
  connect(mnuAutoFont, &QAction::triggered, this, &MailForm::mnuAutoFont_Click);
  connect(listFolders->model(), &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { applyFolderFonts(first, last); });
}

void MailForm::applyFolderFonts(int first, int last) {
  const std::optional<ScriptFonts> fonts =
      automaticFonts() ? std::optional<ScriptFonts>(listFolders->font()) : std::nullopt;
  for (int row = std::max(first, 0); row <= last && row < listFolders->count(); ++row) {
    QListWidgetItem* item = listFolders->item(row);
    if (fonts)
      item->setFont(fonts->font(reading::scriptOf(item->text())));
    else
      item->setData(Qt::FontRole, QVariant());
  }
}

bool MailForm::automaticFonts() const { return mnuAutoFont && mnuAutoFont->isChecked(); }

reading::FontChoice MailForm::fontChoiceOf(const QWidget* box) const {
  if (automaticFonts())
    return reading::FontChoice::PerText;
  return scriptOfFontFamily(box->font().family()) ? reading::FontChoice::DisplayFont
                                                  : reading::FontChoice::UnicodeFont;
}

void MailForm::mnuAutoFont_Click() {
  SettingsBackend& store = settingsBackend();
  store.create_key();
  store.set_key_value(kAutoFontSetting, automaticFonts() ? QStringLiteral("1") : QStringLiteral("0"));
  fontsChanged();
}

void MailForm::fontsChanged() {
  if (auto* delegate = qobject_cast<reading::TabStopDelegate*>(listMessages->itemDelegate()))
    delegate->setCellFonts(automaticFonts());
  applyFolderFonts(0, listFolders->count() - 1);
  const reading::FontChoice listChoice = fontChoiceOf(listMessages);
  if (listChoice != listed_choice) {
    listed_choice = listChoice;
    listMessages->setUpdatesEnabled(false);
    for (int row = 0; row < listMessages->count(); ++row) {
      QListWidgetItem* item = listMessages->item(row);
      const QVariant cells = item->data(reading::kListCellsRole);
      if (!cells.isValid())
        continue;
      const QVariant stored = item->data(reading::kListStoredRole);
      const QString entry = stored.isValid() ? stored.toString() : item->text();
      const QString text = reading::listRowText(entry, reading::ListCells::unpack(cells.toUInt()), listChoice);
      if (text == item->text())
        continue;
      if (!stored.isValid())
        item->setData(reading::kListStoredRole, entry);
      item->setText(text);
    }
    listMessages->setUpdatesEnabled(true);
  }
  listMessages->doItemsLayout();
  listMessages->viewport()->update();
  // The view reads its texts again when they are to be read otherwise.
  if (fontChoiceOf(textBody) != shown_choice && (message_loaded || !shown_message_path.isEmpty()) &&
      reloadShownMessage())
    showLoadedMessage();
  else
    applyUnicodeViewFont();
}

void MailForm::applyTextFonts() {
  const ScriptFonts fonts(textBody->font(), true);
  const ScriptRuns runs = reading::viewRuns(shown_view);
  QTextDocument* document = textBody->document();
  const int end = document->characterCount() - 1;
  // The script most of the text is in is the document's own font: a long
  // message in one script takes no time at all.
  const TextScript main = reading::mainScript(runs, end);
  document->setDefaultFont(fonts.font(main));
  QTextCursor cursor(document);
  for (qsizetype i = 0; i < runs.size(); ++i) {
    const qsizetype from = std::min<qsizetype>(runs[i].start, end);
    const qsizetype to = std::min<qsizetype>(i + 1 < runs.size() ? runs[i + 1].start : end, end);
    if (runs[i].script == main || from >= to)
      continue;
    cursor.setPosition(int(from));
    cursor.setPosition(int(to), QTextCursor::KeepAnchor);
    QTextCharFormat format;
    const QFont& font = fonts.font(runs[i].script);
    format.setFontFamilies(font.families());
    format.setFontPointSize(font.pointSizeF());
    cursor.mergeCharFormat(format);
  }
}

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
  fontsChanged();
}
