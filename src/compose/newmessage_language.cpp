// Typing Sinhala and Tamil in the compose window: the input-mode buttons,
// the key sequences, the character picker, the fonts and the Attach menu.
#include "compose/newmessage.h"

#include "language/frmkeybd.h"
#include "language/keyinput.h"
#include "language/languagestate.h"
#include "platform/prompter.h"

#include <QTextCursor>
#include <algorithm>
#include <optional>

namespace {

constexpr int kPickerFirstCode = 31;
constexpr int kPickerFontSize = 14;
constexpr int kMinFontSize = 1;
constexpr int kMaxFontSize = 200;

QString boxLineBreaks(const QString& text) {
  QString out = text;
  out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return out;
}

}  // namespace

void NewMessage::apply_local_font() {
  const LanguageState& state = language();
  QFont subject = txtSubject->font();
  subject.setFamilies({state.display_font_name});
  if (state.display_font_size > 0)
    subject.setPointSize(state.display_font_size);
  txtSubject->setFont(subject);
  txtSubject->update();

  QTextCharFormat typing;
  typing.setFontFamilies({state.display_font_name});
  if (state.display_font_size > 0)
    typing.setFontPointSize(state.display_font_size);
  txtBody->mergeCurrentCharFormat(typing);
  if (writesUnicode())
    applyUnicodeFonts();
  txtBody->viewport()->update();
}

void NewMessage::set_input_mode(int mode) { ::set_input_mode(mode); }

void NewMessage::send_key_sequence(int index, QWidget* target) { send_key_sequence_to(index, target); }

void NewMessage::txtBody_KeyDown(int index) { send_key_sequence(index, txtBody); }

void NewMessage::txtSubject_KeyDown(int index) { send_key_sequence(index, txtSubject); }

void NewMessage::showKeySequences() {
  const LanguageState& state = language();
  if (state.key_font_name.isEmpty())
    return;  // the design captions stay until a language is set
  for (size_t i = 0; i < keyfunc.size(); ++i) {
    if (!keyfunc[i])
      continue;
    keyfunc[i]->setText(state.key_captions[i]);
    QFont font = keyfunc[i]->font();
    font.setFamilies({state.key_font_name});
    keyfunc[i]->setFont(font);
  }
}

void NewMessage::sin_ph_Click() {
  set_language(Sinhala);
  set_input_mode(ModeSinhalaPhonetic);
  showKeySequences();
  apply_local_font();
}

void NewMessage::Sin_wijey_Click() {
  set_language(Sinhala);
  set_input_mode(ModeWijesekara);
  showKeySequences();
  apply_local_font();
}

void NewMessage::Tamil_ph_Click() {
  set_language(Tamil);
  showKeySequences();
  apply_local_font();
}

void NewMessage::Engli_us_Click() {
  set_language(English);
  showKeySequences();
  apply_local_font();
}

void NewMessage::keyfunc_Click(int index) { send_key_sequence(index, txtBody); }

void NewMessage::fillCharacterPicker() {
  List1->clear();
  List1->addItems(picker_entries());
}

void NewMessage::Keymap_Click() {
  QTextCursor cursor = txtBody->textCursor();
  cursor.clearSelection();
  txtBody->setTextCursor(cursor);
  if (List1->isVisible()) {
    List1->hide();
    return;
  }
  QFont font = List1->font();
  // The picker lists font codes: they show in the display font.
  font.setFamilies({writesUnicode() ? language().display_font_name : txtBody->currentFont().family()});
  font.setPointSize(kPickerFontSize);
  List1->setFont(font);
  List1->show();
  List1->raise();
}

void NewMessage::List1_Click(int row) {
  if (row < 0)
    return;
  if (writesUnicode())
    return pickUnicode(row + kPickerFirstCode);
  QTextCursor end(txtBody->document());
  end.movePosition(QTextCursor::End);
  end.insertText(QString(QChar(row + kPickerFirstCode)), txtBody->currentCharFormat());
}

void NewMessage::sh_kbd_Click() { frmkeybd::showViewer(this); }

void NewMessage::xfont_Click() {
  const std::optional<QString> answer =
      platform::prompter().input(QStringLiteral("Enter the Name of the Font"), QStringLiteral("Set Local Font"));
  // Cancelling, or answering nothing, keeps the present font.
  if (!answer || answer->trimmed().isEmpty())
    return;
  language().display_font_name = answer->trimmed();
  apply_local_font();
}

void NewMessage::fsize_Click(int index) {
  if (index != 0 && index != 1)
    return;
  const int step = index == 0 ? 1 : -1;
  const int size = std::clamp(txtBody->currentFont().pointSize() + step, kMinFontSize, kMaxFontSize);
  QFont boxFont = txtBody->font();
  boxFont.setPointSize(size);
  txtBody->setFont(boxFont);
  QTextCharFormat sized;
  sized.setFontPointSize(size);
  QTextCursor all(txtBody->document());
  all.select(QTextCursor::Document);
  all.mergeCharFormat(sized);
  txtBody->mergeCurrentCharFormat(sized);
}

void NewMessage::insertNoticeAtTop(const QString& notice) {
  QTextCursor top(txtBody->document());
  top.movePosition(QTextCursor::Start);
  top.insertText(boxLineBreaks(notice));
  QTextCursor caret = txtBody->textCursor();
  caret.setPosition(0);
  txtBody->setTextCursor(caret);
}

void NewMessage::mnuSinhalaTag_Click() { insertNoticeAtTop(sinhala_tag_notice()); }

void NewMessage::mnuTamilTag_Click() { insertNoticeAtTop(tamil_tag_notice()); }

void NewMessage::mnuSinhalaAttach_Click() {
  if (attach_file(font_file_path(Sinhala)))
    insertNoticeAtTop(sinhala_attach_notice());
}

void NewMessage::mnuTamilAttach_Click() {
  if (attach_file(font_file_path(Tamil)))
    insertNoticeAtTop(tamil_attach_notice());
}
