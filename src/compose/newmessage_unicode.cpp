// Unicode Sinhala and Tamil in the compose window: pasted Unicode becomes
// the font's codes, so it reads like typed text, and the remembered choice
// to send a Unicode copy beside the 8-bit text; or the whole message is
// written in Unicode, the typed codes converted as they come.
#include "compose/newmessage.h"
#include "compose/unicodecopy.h"
#include "language/keyinput.h"
#include "language/languagestate.h"
#include "language/unicodefonts.h"
#include "platform/prompter.h"
#include "settings/settingsstore.h"

#include <QTextDocument>
#include <QTimer>

namespace {

const QString kOn = QStringLiteral("1");
const QString kOff = QStringLiteral("0");

// Where two texts differ: the length of their common start and end.
std::pair<qsizetype, qsizetype> commonEnds(const QString& before, const QString& after) {
  const qsizetype shorter = std::min(before.size(), after.size());
  qsizetype head = 0;
  while (head < shorter && before[head] == after[head])
    ++head;
  qsizetype tail = 0;
  while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
    ++tail;
  return {head, tail};
}

}  // namespace

void NewMessage::createUnicodeSupport() {
  mnuAttach->addSeparator()->setObjectName(QStringLiteral("mnuSepU"));
  mnuWriteUnicode = mnuAttach->addAction(QStringLiteral("&Write in Unicode"));
  mnuWriteUnicode->setObjectName(QStringLiteral("mnuWriteUnicode"));
  mnuWriteUnicode->setCheckable(true);
  connect(mnuWriteUnicode, &QAction::triggered, this, &NewMessage::mnuWriteUnicode_Click);
  mnuUnicodeCopy = mnuAttach->addAction(QStringLiteral("Also send a &Unicode copy"));
  mnuUnicodeCopy->setObjectName(QStringLiteral("mnuUnicodeCopy"));
  mnuUnicodeCopy->setCheckable(true);
  mnuUnicodeCopy->setChecked(settingsBackend().query_value(compose::kUnicodeCopySetting) == kOn);
  connect(mnuUnicodeCopy, &QAction::triggered, this, &NewMessage::mnuUnicodeCopy_Click);

  // Text arrives by many roads (keys, menus, drops, the selection); each
  // insertion is looked at once it is complete.
  connect(txtBody->document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
    if (added <= 0 || writesUnicode())
      return;
    QTextDocument* document = txtBody->document();
    const int end = std::min(position + added, document->characterCount() - 1);
    QTextCursor range(document);
    range.setPosition(std::min(position, end));
    range.setPosition(end, QTextCursor::KeepAnchor);
    if (!compose::pastedScript(range.selectedText()))
      return;
    // The two ends follow later edits; what is typed right after the
    // insertion stays outside it.
    QTextCursor first(document);
    first.setPosition(range.selectionStart());
    QTextCursor last(document);
    last.setPosition(end);
    last.setKeepPositionOnInsert(true);
    QTimer::singleShot(0, this, [this, first, last] {
      QTextCursor inserted = first;
      inserted.setPosition(last.position(), QTextCursor::KeepAnchor);
      convertPastedBodyText(inserted);
    });
  });
  connect(txtSubject, &QLineEdit::textChanged, this, &NewMessage::convertPastedSubjectText);

  for (QWidget* box : {static_cast<QWidget*>(txtSubject), static_cast<QWidget*>(txtBody)})
    if (auto* input = box->findChild<TranslitInput*>())
      input->onTypedCode = [this](QWidget* target, int code) { return typeCodeInUnicode(target, code); };
  setWritesUnicode(settingsBackend().query_value(compose::kWriteUnicodeSetting) == kOn);
}

void NewMessage::mnuUnicodeCopy_Click() {
  SettingsBackend& store = settingsBackend();
  store.create_key();
  store.set_key_value(compose::kUnicodeCopySetting, mnuUnicodeCopy->isChecked() ? kOn : kOff);
}

QString NewMessage::unicodeCopyText() const {
  return mnuUnicodeCopy->isChecked() && !writesUnicode() ? compose::unicodeCopyOf(*txtBody->document()) : QString();
}

void NewMessage::convertPastedBodyText(QTextCursor range) {
  QString text = range.selectedText();
  const std::optional<FontScript> script = compose::pastedScript(text);
  if (!script || writesUnicode())
    return;
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  // The codes are shown in their script's font, whatever the box types in;
  // typing goes on in the box's own font.
  QTextCursor first(txtBody->document());
  first.setPosition(range.selectionStart() + 1);
  QTextCharFormat format = first.charFormat();
  format.setFontFamilies({displayFontOf(*script)});
  const QTextCharFormat typing = txtBody->currentCharFormat();
  range.insertText(unicodeToFontCodes(text, *script), format);
  if (!txtBody->textCursor().hasSelection())
    txtBody->setCurrentCharFormat(typing);
}

void NewMessage::convertPastedSubjectText(const QString& text) {
  const QString before = std::exchange(subject_before_, text);
  const std::optional<FontScript> boxScript = scriptOfFontFamily(txtSubject->font().family());
  if (!boxScript || writesUnicode())
    return;  // a box in another font shows Unicode as it is
  const auto [head, tail] = commonEnds(before, text);
  const QString inserted = text.mid(head, text.size() - head - tail);
  if (compose::pastedScript(inserted) != boxScript)
    return;
  txtSubject->setSelection(int(head), int(inserted.size()));
  txtSubject->insert(unicodeToFontCodes(inserted, *boxScript));
}

// ----------------------------------------------------------- Write in Unicode

void NewMessage::mnuWriteUnicode_Click() {
  const bool wanted = mnuWriteUnicode->isChecked();
  if (!setWritesUnicode(wanted)) {
    mnuWriteUnicode->setChecked(!wanted);
    return;
  }
  SettingsBackend& store = settingsBackend();
  store.create_key();
  store.set_key_value(compose::kWriteUnicodeSetting, wanted ? kOn : kOff);
}

FontScript NewMessage::typingScript() const {
  const LanguageState& state = language();
  if (state.current_language == Tamil)
    return FontScript::Tamil;
  if (state.current_language == Sinhala)
    return FontScript::Sinhala;
  return scriptOfFontFamily(state.display_font_name).value_or(FontScript::Sinhala);
}

namespace {

QString joined(const QList<compose::FontCodeRun>& runs) {
  QString text;
  for (const compose::FontCodeRun& run : runs)
    text += run.text;
  return text;
}

QString listed(const QString& letters) {
  QStringList each;
  for (const QChar c : letters)
    each << QString(c);
  return each.join(QStringLiteral(", "));
}

}  // namespace

bool NewMessage::setWritesUnicode(bool on) {
  mnuWriteUnicode->setChecked(on);
  if (on == writes_unicode_)
    return true;
  if (on) {
    // Set first: the paste conversion leaves Unicode alone from here.
    writes_unicode_ = true;
    if (const std::optional<FontScript> script = scriptOfFontFamily(txtSubject->font().family()))
      txtSubject->setText(fontCodesToUnicode(txtSubject->text(), *script));
    compose::bodyToUnicode(*txtBody->document(), unicodeFont(typingScript(), txtBody->font()).families());
  } else {
    const compose::FontCodeText subject = compose::toFontCodeRuns(txtSubject->text(), typingScript());
    QString refused = subject.refused;
    if (refused.isEmpty())
      refused = compose::bodyToFontCodes(*txtBody->document(), kEnglishFont);
    if (!refused.isEmpty()) {
      mnuWriteUnicode->setChecked(true);
      platform::msgBox(QStringLiteral("The display fonts cannot show %1 here, so this message stays in Unicode. "
                                      "Nothing was changed.").arg(listed(refused)));
      return false;
    }
    writes_unicode_ = false;
    txtSubject->setText(joined(subject.runs));
  }
  body_typing_.endWord();
  subject_typing_.endWord();
  // A Unicode message carries its Unicode already.
  mnuUnicodeCopy->setEnabled(!on);
  statbar->setText(on ? QStringLiteral("Writing in Unicode: every reader can read this message.") : QString());
  apply_local_font();
  return true;
}

void NewMessage::applyUnicodeFonts() {
  const FontScript script = typingScript();
  txtSubject->setFont(unicodeFont(script, txtSubject->font()));
  QTextCharFormat typing;
  typing.setFontFamilies(unicodeFont(script, txtBody->font()).families());
  txtBody->mergeCurrentCharFormat(typing);
}

void NewMessage::insertAtCaret(QWidget* box, const QList<compose::FontCodeRun>& runs) {
  if (box == txtSubject) {
    txtSubject->insert(joined(runs));
    return;
  }
  QTextCursor caret = txtBody->textCursor();
  const QTextCharFormat typing = txtBody->currentCharFormat();
  caret.beginEditBlock();
  for (const compose::FontCodeRun& run : runs) {
    QTextCharFormat format = typing;
    if (run.script && !writesUnicode())
      format.setFontFamilies({displayFontOf(*run.script)});
    caret.insertText(run.text, format);
  }
  caret.endEditBlock();
  txtBody->setTextCursor(caret);
  txtBody->setCurrentCharFormat(typing);
}

bool NewMessage::insertTypedUnicode(QWidget* box, const QString& text) {
  if (box != txtSubject && box != txtBody)
    return false;
  (box == txtBody ? body_typing_ : subject_typing_).endWord();
  if (writesUnicode()) {
    insertAtCaret(box, {{text, std::nullopt}});
    return true;
  }
  const compose::FontCodeText codes =
      compose::toFontCodeRuns(text, box == txtSubject ? std::optional(typingScript()) : std::nullopt);
  if (!codes.refused.isEmpty()) {
    statbar->setText(QStringLiteral("Not typed: the font cannot show %1 (Attach > Write in Unicode can).")
                         .arg(codes.refused));
    return false;
  }
  insertAtCaret(box, codes.runs);
  return true;
}

bool NewMessage::typeCodeInUnicode(QWidget* box, int code) {
  if (!writesUnicode() || code == 0)
    return false;
  compose::UnicodeTyping& typing = box == txtBody ? body_typing_ : subject_typing_;
  // English keys, blanks and Enter are typed as they are and end a word.
  if (code != '\b' && (language().input_mode == ModeEnglish || code < 33 || code > 255)) {
    typing.endWord();
    return false;
  }
  return typeCodeAt(box, code);
}

void NewMessage::pickUnicode(int code) {
  QTextCursor end(txtBody->document());
  end.movePosition(QTextCursor::End);
  typeCodeAt(txtBody, code, end.position());
}

// Puts code in at the caret (or at bodyPosition of the body) as part of
// the word being typed there; Backspace takes the word's last code.
bool NewMessage::typeCodeAt(QWidget* box, int code, std::optional<int> bodyPosition) {
  compose::UnicodeTyping& typing = box == txtBody ? body_typing_ : subject_typing_;
  const bool backspace = code == '\b';
  if (box == txtSubject) {
    if (txtSubject->hasSelectedText()) {
      if (backspace)
        return false;
      txtSubject->del();
    }
    const qsizetype at = txtSubject->cursorPosition();
    const qsizetype from = std::max<qsizetype>(0, at - typing.shownLength());
    const QString before = txtSubject->text().mid(from, at - from);
    const std::optional<compose::TextReplacement> step =
        backspace ? typing.backspace(at, before) : typing.type(QChar(code), typingScript(), at, before);
    if (!step)
      return false;
    txtSubject->setSelection(int(step->from), int(step->length));
    txtSubject->insert(step->text);
    return true;
  }
  QTextCursor caret = txtBody->textCursor();
  if (bodyPosition) {
    caret.setPosition(*bodyPosition);
  } else if (caret.hasSelection()) {
    if (backspace)
      return false;
    caret.removeSelectedText();
  }
  const int at = caret.position();
  QTextCursor shown(txtBody->document());
  shown.setPosition(std::max<int>(0, at - int(typing.shownLength())));
  shown.setPosition(at, QTextCursor::KeepAnchor);
  const std::optional<compose::TextReplacement> step =
      backspace ? typing.backspace(at, shown.selectedText()) : typing.type(QChar(code), typingScript(), at, shown.selectedText());
  if (!step)
    return false;
  const QTextCharFormat typingFormat = txtBody->currentCharFormat();
  QTextCursor edit(txtBody->document());
  edit.setPosition(int(step->from));
  edit.setPosition(int(step->from + step->length), QTextCursor::KeepAnchor);
  edit.insertText(step->text, typingFormat);
  if (!bodyPosition)
    txtBody->setTextCursor(edit);
  txtBody->setCurrentCharFormat(typingFormat);
  return true;
}
