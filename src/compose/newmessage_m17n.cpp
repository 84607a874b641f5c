// Typing in the compose window through the m17n input methods: the chooser
// in the typing bar, the pending text shown underlined in the box, and the
// one road by which typed Unicode goes into the subject or the body.
#include "compose/newmessage.h"

#include "language/languagestate.h"
#include "language/m17ninput.h"
#include "language/m17ntext.h"
#include "language/unicodefonts.h"
#include "platform/twips.h"
#include "settings/settingsstore.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTextBlock>

namespace {

const QString kInputMethodSetting = QStringLiteral("INPUTMETHOD");
constexpr double kChooserWidth = 870;  // twips, beside the Refresh button

bool isTypingKey(const QString& text) {
  return text.size() == 1 && text[0].unicode() > 0x20 && text[0].unicode() < 0x7F;
}

// The chooser's caption: the method's own name, short enough for the bar.
QString shortName(const QString& key) {
  QString name = key.section(QLatin1Char('-'), 1);
  if (!name.isEmpty())
    name[0] = name[0].toUpper();
  return name.isEmpty() ? QStringLiteral("m17n") : name;
}

}  // namespace

// Keys for the subject and the body while a method is chosen. It sees them
// before the table's own handling, which still gets every key it leaves.
class M17nTyping : public QObject {
 public:
  explicit M17nTyping(NewMessage* window) : QObject(window), w_(window) {
    for (QWidget* box : {static_cast<QWidget*>(w_->txtSubject), static_cast<QWidget*>(w_->txtBody),
                         w_->txtBody->viewport()})
      box->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!w_->inputMethodKey().isEmpty() || w_->m17n_) {
      switch (event->type()) {
        case QEvent::KeyPress: return keyPress(targetOf(watched), static_cast<QKeyEvent*>(event));
        case QEvent::FocusOut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: w_->commitPendingTyping(); break;
        default: break;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QWidget* targetOf(QObject* watched) const {
    return watched == w_->txtSubject ? static_cast<QWidget*>(w_->txtSubject) : w_->txtBody;
  }

  bool keyPress(QWidget* target, QKeyEvent* key) {
    if (!w_->openInputMethod())
      return false;
    const QString text = key->text();
    const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && isTypingKey(text)) {
      w_->typeThroughMethod(target, text);
      return true;
    }
    if (plain && (key->key() == Qt::Key_Space || text == QLatin1String(" "))) {
      w_->commitPendingTyping();
      w_->insertTypedUnicode(target, QStringLiteral(" "));
      return true;
    }
    if (plain && key->key() == Qt::Key_Backspace && w_->m17n_->pending() && w_->m17nTarget_ == target) {
      w_->typeThroughMethod(target, QStringLiteral("BackSpace"));
      return true;
    }
    // Shift and the like are not keys of their own; anything else ends the
    // pending text and then does what it always does.
    if (!text.isEmpty() || (key->key() < Qt::Key_Shift || key->key() > Qt::Key_ScrollLock))
      w_->commitPendingTyping();
    return false;
  }

  NewMessage* w_;
};

void NewMessage::createInputMethodSupport() {
  cmdInputMethod = new QPushButton(tovelbar);
  cmdInputMethod->setObjectName(QStringLiteral("cmdInputMethod"));
  cmdInputMethod->setAutoDefault(false);
  cmdInputMethod->setFocusPolicy(Qt::NoFocus);
  const QRect refresh = Refresh->geometry();
  const int width = platform::twipsToPixels(kChooserWidth);
  cmdInputMethod->setGeometry(refresh.right() + 1 + (refresh.left() - Keymap->geometry().right() - 1), refresh.top(),
                              width, refresh.height());
  tovelbar->resize(cmdInputMethod->geometry().right() + 1 + platform::twipsToPixels(30), tovelbar->height());
  mnuInputMethods = new QMenu(cmdInputMethod);
  mnuInputMethods->setObjectName(QStringLiteral("mnuInputMethods"));
  cmdInputMethod->setMenu(mnuInputMethods);
  // Reading m17n's database waits until someone looks at the list.
  connect(mnuInputMethods, &QMenu::aboutToShow, this, &NewMessage::fillInputMethodMenu);
  inputMethodKey_ = settingsBackend().query_value(kInputMethodSetting);
  showInputMethodChoice();
  m17nTyping_ = new M17nTyping(this);

  // The table's mode buttons choose the table again.
  for (QPushButton* mode : {Engli_us, Tamil_ph, Sin_wijey, sin_ph})
    connect(mode, &QPushButton::clicked, this, [this] { chooseInputMethod(QString()); });
}

void NewMessage::removeInputMethodSupport() {
  delete m17nTyping_;
  m17nTyping_ = nullptr;
  m17n_.reset();
}

void NewMessage::fillInputMethodMenu() {
  if (!mnuInputMethods->isEmpty())
    return;
  auto* group = new QActionGroup(mnuInputMethods);
  auto add = [this, group](const QString& caption, const QString& key) {
    QAction* action = mnuInputMethods->addAction(caption);
    action->setCheckable(true);
    action->setChecked(key == inputMethodKey_);
    action->setData(key);
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, key] { chooseInputMethod(key); });
  };
  add(QStringLiteral("Key table (the E, T, S.W and S buttons)"), QString());
  mnuInputMethods->addSeparator();
  for (const M17nMethodInfo& method : m17nMethods())
    add(method.label(), method.key());
  if (m17nMethods().isEmpty())
    mnuInputMethods->addAction(QStringLiteral("No input methods found (install m17n-db)"))->setEnabled(false);
}

void NewMessage::showInputMethodChoice() {
  cmdInputMethod->setText(inputMethodKey_.isEmpty() ? QStringLiteral("m17n") : shortName(inputMethodKey_));
  const std::optional<M17nMethodInfo> method = m17n_ ? std::optional(m17n_->method()) : std::nullopt;
  cmdInputMethod->setToolTip(inputMethodKey_.isEmpty()
                                 ? QStringLiteral("Choose an input method")
                                 : QStringLiteral("Input method: %1").arg(method ? method->label() : inputMethodKey_));
  for (QAction* action : mnuInputMethods->actions())
    if (action->isCheckable())
      action->setChecked(action->data().toString() == inputMethodKey_);
}

void NewMessage::chooseInputMethod(const QString& key) {
  commitPendingTyping();
  if (key != inputMethodKey_) {
    inputMethodKey_ = key;
    m17n_.reset();
    SettingsBackend& store = settingsBackend();
    store.create_key();
    store.set_key_value(kInputMethodSetting, key);
  }
  if (openInputMethod()) {
    // The display font of the method's script, so font codes show as letters.
    if (m17n_->method().script() == FontScript::Tamil)
      Tamil_ph_Click();
    else
      sin_ph_Click();
  }
  showInputMethodChoice();
}

QString NewMessage::inputMethodKey() const { return inputMethodKey_; }

bool NewMessage::openInputMethod() {
  if (m17n_)
    return true;
  if (inputMethodKey_.isEmpty())
    return false;
  const std::optional<M17nMethodInfo> method = m17nMethodNamed(inputMethodKey_);
  if (method)
    m17n_ = M17nInput::open(*method);
  if (!m17n_) {
    statbar->setText(QStringLiteral("The input method %1 is not available; typing goes through the key table.")
                         .arg(inputMethodKey_));
    inputMethodKey_.clear();
    showInputMethodChoice();
    return false;
  }
  m17n_->textBeforeCaret = [this](int count) { return unicodeBeforeCaret(m17nTarget_, count); };
  m17n_->deleteBeforeCaret = [this](int count) { deleteBeforeCaret(m17nTarget_, count); };
  showInputMethodChoice();
  return true;
}

void NewMessage::typeThroughMethod(QWidget* target, const QString& key) {
  if (m17nTarget_ != target)
    commitPendingTyping();
  // The Language menu may have changed the typing font since the method
  // was chosen; its codes need the font of its own script.
  const int script = m17n_->method().script() == FontScript::Tamil ? Tamil : Sinhala;
  if (language().current_language != script)
    script == Tamil ? Tamil_ph_Click() : sin_ph_Click();
  m17nTarget_ = target;
  const M17nInput::Step step = m17n_->feed(key);
  insertTypedUnicode(target, step.committed);
  if (step.keyUnused && key.size() == 1)
    insertTypedUnicode(target, key);
  showPendingTyping(target);
}

void NewMessage::commitPendingTyping() {
  if (!m17n_ || !m17n_->pending() || !m17nTarget_)
    return;
  QWidget* target = m17nTarget_;
  insertTypedUnicode(target, m17n_->commit());
  showPendingTyping(target);
}

// ------------------------------------------------------------- the box

namespace {

int caretOf(QWidget* target) {
  if (auto* line = qobject_cast<QLineEdit*>(target))
    return line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
  auto* edit = static_cast<QTextEdit*>(target);
  return edit->textCursor().selectionStart();
}

// The text of the caret's line (or the subject) before the caret.
QString textBeforeCaret(QWidget* target) {
  if (auto* line = qobject_cast<QLineEdit*>(target))
    return line->text().left(caretOf(line));
  auto* edit = static_cast<QTextEdit*>(target);
  const QTextBlock block = edit->document()->findBlock(caretOf(edit));
  return block.text().left(caretOf(edit) - block.position());
}

}  // namespace

void NewMessage::sendInputMethodEvent(QWidget* target, const QString& commit, int removeBefore,
                                      const QString& preedit, int preeditCursor) {
  shownPreedit_ = preedit;
  shownIn_ = target;
  QTextCharFormat pending;
  pending.setFontUnderline(true);
  pending.setUnderlineStyle(QTextCharFormat::SingleUnderline);
  const QList<QInputMethodEvent::Attribute> attributes = {
      {QInputMethodEvent::TextFormat, 0, int(preedit.size()), pending},
      {QInputMethodEvent::Cursor, preeditCursor, 1, QVariant()}};
  QInputMethodEvent event(preedit, preedit.isEmpty() ? QList<QInputMethodEvent::Attribute>{} : attributes);
  event.setCommitString(commit, -removeBefore, removeBefore);
  QCoreApplication::sendEvent(target, &event);
}

QString NewMessage::pendingTypingShown(int* cursor) const {
  const QString preedit = m17n_ ? m17n_->preedit() : QString();
  *cursor = m17n_ ? m17n_->preeditCursor() : 0;
  if (preedit.isEmpty() || writesUnicode())
    return preedit;
  // In a font-code message the pending text shows in the font's codes too.
  if (const std::optional<QString> codes = fontCodesShowing(preedit, m17n_->method().script())) {
    *cursor = int(codes->size());
    return *codes;
  }
  return preedit;
}

void NewMessage::showPendingTyping(QWidget* target) {
  if (!target)
    return;
  int cursor = 0;
  const QString shown = pendingTypingShown(&cursor);
  if (target == shownIn_ && shown == shownPreedit_)
    return;  // the box shows it already
  sendInputMethodEvent(target, QString(), 0, shown, cursor);
}

QString NewMessage::unicodeBeforeCaret(QWidget* target, int count) const {
  if (!target || !m17n_)
    return QString();
  const QString before = textBeforeCaret(target);
  const QStringView word = QStringView(before).mid(wordStartBefore(before));
  const QString unicode = writesUnicode() ? word.toString() : fontCodesToUnicode(word, m17n_->method().script());
  return unicode.right(count);
}

void NewMessage::deleteBeforeCaret(QWidget* target, int count) {
  if (!target || !m17n_)
    return;
  const QString before = textBeforeCaret(target);
  CaretEdit edit;
  if (writesUnicode()) {
    edit.removeBefore = int(before.size() - withoutLastCharacters(before, count).size());
  } else {
    edit = deleteFromFontCodes(QStringView(before).mid(wordStartBefore(before)), count, m17n_->method().script());
  }
  int cursor = 0;
  sendInputMethodEvent(target, edit.insert, edit.removeBefore, pendingTypingShown(&cursor), cursor);
}

bool NewMessage::insertTypedUnicode(QWidget* target, const QString& text) {
  if (target != txtSubject && target != txtBody)
    return false;
  (target == txtBody ? body_typing_ : subject_typing_).endWord();
  if (text.isEmpty())
    return true;
  int cursor = 0;
  const QString pending = pendingTypingShown(&cursor);
  if (writesUnicode()) {
    sendInputMethodEvent(target, text, 0, pending, cursor);
    return true;
  }
  if (!m17n_)
    return insertUnicodeRuns(target, text);
  // A method's pieces: the word before the caret is read back and changed
  // only where the new piece changes it.
  const FontScript script = m17n_->method().script();
  const QString before = textBeforeCaret(target);
  const CaretEdit edit = typeIntoFontCodes(QStringView(before).mid(wordStartBefore(before)), text, script);
  if (!edit.insert.isEmpty() || edit.removeBefore > 0)
    sendInputMethodEvent(target, edit.insert, edit.removeBefore, pending, cursor);
  if (edit.refused.isEmpty())
    return true;
  statbar->setText(QStringLiteral("Not typed: the %1 font cannot show \"%2\" (Attach > Write in Unicode can).")
                       .arg(displayFontOf(script), edit.refused));
  return false;
}
