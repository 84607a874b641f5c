#include "language/keyinput.h"

#include "language/languagestate.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace {
// Marks the key events this code itself sends on after translating, so they
// are not translated a second time.
constexpr quint32 kTranslatedMark = 0x7E11A98;

// Text boxes drop typed characters they do not count as printable (codes
// 127 to 159 and 173), yet the display fonts draw glyphs there; those codes
// are put into the box directly.
bool insertDirectly(QWidget* target, QChar ch) {
  if (ch.isPrint())
    return false;
  if (auto* edit = qobject_cast<QTextEdit*>(target)) {
    edit->insertPlainText(QString(ch));
    return true;
  }
  if (auto* edit = qobject_cast<QPlainTextEdit*>(target)) {
    edit->insertPlainText(QString(ch));
    return true;
  }
  if (auto* edit = qobject_cast<QLineEdit*>(target)) {
    edit->insert(QString(ch));
    return true;
  }
  return false;
}
}  // namespace

TranslitInput::TranslitInput(QWidget* target) : QObject(target), target_(target) {
  target->installEventFilter(this);
}

bool TranslitInput::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || watched != target_)
    return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->nativeScanCode() == kTranslatedMark)
    return false;

  const int index = function_key_index(key->key(), key->modifiers());
  if (index >= 0) {
    if (onFunctionKey)
      onFunctionKey(index, target_);
    else
      send_key_sequence_to(index, target_);
    return false;  // the function key itself goes on
  }

  // Menu and clipboard shortcuts are not typing.
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
    return false;
  const QString text = key->text();
  const bool backspace = key->key() == Qt::Key_Backspace;
  if (text.size() != 1 && !backspace)
    return false;
  const int code = backspace ? '\b' : text.at(0).unicode();
  const int replacement = translate_key(code);
  if (onTypedCode && onTypedCode(target_, replacement))
    return true;
  if (replacement == code)
    return false;
  if (replacement == 0)
    return true;
  if (insertDirectly(target_, QChar(replacement)))
    return true;
  QKeyEvent translated(QEvent::KeyPress, Qt::Key_unknown, key->modifiers() & Qt::ShiftModifier,
                       kTranslatedMark, 0, 0, QString(QChar(replacement)), key->isAutoRepeat());
  QCoreApplication::sendEvent(target_, &translated);
  return true;
}

void type_keys(QWidget* target, const QString& text) {
  if (!target)
    return;
  for (const QChar ch : text) {
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_unknown,
                                                      Qt::NoModifier, QString(ch)));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_unknown,
                                                      Qt::NoModifier, QString(ch)));
  }
}

void send_key_sequence_to(int index, QWidget* target) {
  if (!target)
    return;
  target->setFocus();
  type_keys(target, key_sequence(index));
}
