// Sinhala and Tamil as real Unicode in the main window: Show as Unicode,
// Copy as Unicode, and the Unicode font for mail that arrived as Unicode.
// The conversions are reading::viewAsUnicode and selectionAsUnicode.
#include "language/unicodefonts.h"
#include "reading/unicodeview.h"
#include "shell/mailform.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// The pieces of the view's lines that a selection covers.
QList<reading::SelectedPiece> selectedPieces(const QTextCursor& selection) {
  QList<reading::SelectedPiece> pieces;
  const int start = selection.selectionStart();
  const int end = selection.selectionEnd();
  QTextDocument* document = selection.document();
  for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() <= end;
       block = block.next()) {
    const int from = std::max(start - block.position(), 0);
    const int to = std::min(end - block.position(), block.length() - 1);
    pieces.append({block.blockNumber(), block.text().mid(from, std::max(to - from, 0))});
  }
  return pieces;
}

}  // namespace

void MailForm::createUnicodeSupport() {
  ShowUnicode = ShowMenu->addAction(QStringLiteral("Show as &Unicode"));
  ShowUnicode->setObjectName(QStringLiteral("ShowUnicode"));
  ShowUnicode->setCheckable(true);
  mnuCopyUnicode = ShowMenu->addAction(QStringLiteral("&Copy as Unicode"));
  mnuCopyUnicode->setObjectName(QStringLiteral("mnuCopyUnicode"));
  connect(ShowUnicode, &QAction::triggered, this, &MailForm::ShowUnicode_Click);
  connect(mnuCopyUnicode, &QAction::triggered, this, &MailForm::mnuCopyUnicode_Click);

  textBody->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(textBody, &QWidget::customContextMenuRequested, this, &MailForm::textBody_ContextMenu);

  // The font codes on view are those of the language chosen last; English
  // keeps the script chosen before it, as the display font does.
  for (int i = 0; i < 2; ++i)
    connect(mnuLangSinh[size_t(i)], &QAction::triggered, this, [this, i] {
      unicode_script = i == 0 ? FontScript::Sinhala : FontScript::Tamil;
      if (ShowUnicode->isChecked())
        ShowUnicode_Click();
    });
  // The Language menu sets the fonts of the lists and the view; Unicode
  // text keeps the Unicode font.
  for (QAction* item : mnuLangSinh)
    connect(item, &QAction::triggered, this, [this] {
      applyUnicodeListFonts(0, listMessages->count() - 1);
      applyUnicodeViewFont();
    });
  connect(listMessages->model(), &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { applyUnicodeListFonts(first, last); });
}

void MailForm::ShowUnicode_Click() {
  if (!message_loaded && shown_message_path.isEmpty())
    return;
  if (reloadShownMessage())
    showLoadedMessage();
}

void MailForm::prepareUnicodeView() {
  if (ShowUnicode->isChecked())
    shown_view = reading::viewAsUnicode(shown_view, unicode_script,
                                        reading::readHeaderValue(Mail1->Subject(), shown_choice).text);
}

void MailForm::applyUnicodeViewFont() {
  // Unicode text is never shown in an 8-bit font, whatever the Language
  // menu says: what arrived as Unicode, and what is shown converted. The
  // document's own font, so a large message takes no time at all.
  if (automaticFonts()) {
    applyTextFonts();
    return;
  }
  std::optional<FontScript> script = reading::arrivedUnicodeScript(shown_view);
  if (!script && ShowUnicode->isChecked())
    script = unicode_script;
  textBody->document()->setDefaultFont(script ? unicodeFont(*script, textBody->font()) : textBody->font());
}

void MailForm::applyUnicodeListFonts(int first, int last) {
  for (int row = std::max(first, 0); row <= last && row < listMessages->count(); ++row) {
    QListWidgetItem* item = listMessages->item(row);
    const std::optional<FontScript> script = unicodeScriptOf(item->text());
    if (script)
      item->setFont(unicodeFont(*script, listMessages->font()));
  }
}

void MailForm::mnuCopyUnicode_Click() {
  const QTextCursor selection = textBody->textCursor();
  if (!selection.hasSelection())
    return;
  QString text;
  if (ShowUnicode->isChecked() || (!message_loaded && shown_message_path.isEmpty())) {
    // Already Unicode, or no message whose parts tell codes from text.
    text = selection.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  } else {
    text = reading::selectionAsUnicode(shown_view, selectedPieces(selection), unicode_script);
  }
  QGuiApplication::clipboard()->setText(text);
}

void MailForm::textBody_ContextMenu(const QPoint& pos) {
  QMenu* menu = textBody->createStandardContextMenu(pos);
  menu->setObjectName(QStringLiteral("textBodyContextMenu"));
  menu->addSeparator();
  menu->addAction(mnuCopyUnicode);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(textBody->viewport()->mapToGlobal(pos));
}
