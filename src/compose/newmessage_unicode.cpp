// Unicode Sinhala and Tamil in the compose window: pasted Unicode becomes
// the font's codes, so it reads like typed text, and the remembered choice
// to send a Unicode copy beside the 8-bit text.
#include "compose/newmessage.h"
#include "compose/unicodecopy.h"
#include "language/unicodefonts.h"
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
  mnuUnicodeCopy = mnuAttach->addAction(QStringLiteral("Also send a &Unicode copy"));
  mnuUnicodeCopy->setObjectName(QStringLiteral("mnuUnicodeCopy"));
  mnuUnicodeCopy->setCheckable(true);
  mnuUnicodeCopy->setChecked(settingsBackend().query_value(compose::kUnicodeCopySetting) == kOn);
  connect(mnuUnicodeCopy, &QAction::triggered, this, &NewMessage::mnuUnicodeCopy_Click);

  // Text arrives by many roads (keys, menus, drops, the selection); each
  // insertion is looked at once it is complete.
  connect(txtBody->document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
    if (added <= 0)
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
}

void NewMessage::mnuUnicodeCopy_Click() {
  SettingsBackend& store = settingsBackend();
  store.create_key();
  store.set_key_value(compose::kUnicodeCopySetting, mnuUnicodeCopy->isChecked() ? kOn : kOff);
}

QString NewMessage::unicodeCopyText() const {
  return mnuUnicodeCopy->isChecked() ? compose::unicodeCopyOf(*txtBody->document()) : QString();
}

void NewMessage::convertPastedBodyText(QTextCursor range) {
  QString text = range.selectedText();
  const std::optional<FontScript> script = compose::pastedScript(text);
  if (!script)
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
  if (!boxScript)
    return;  // a box in another font shows Unicode as it is
  const auto [head, tail] = commonEnds(before, text);
  const QString inserted = text.mid(head, text.size() - head - tail);
  if (compose::pastedScript(inserted) != boxScript)
    return;
  txtSubject->setSelection(int(head), int(inserted.size()));
  txtSubject->insert(unicodeToFontCodes(inserted, *boxScript));
}
