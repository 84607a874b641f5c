#pragma once
// Typing through the transliteration table: an event filter for the boxes
// whose keys are translated (the compose window's subject and body). Each
// typed character becomes the code of the present input mode, or is
// swallowed; F4..F12 type the key sequences.
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

class TranslitInput : public QObject {
  Q_OBJECT

 public:
  // Installs itself on target, which also becomes the parent.
  explicit TranslitInput(QWidget* target);

  // Called for F4..F12 with the key-sequence index (Shift alone adds 6) and
  // the box. The default gives the box the focus and types key_sequence(index).
  std::function<void(int index, QWidget* target)> onFunctionKey;
  // Called for each key typed into the box with the code the table gives
  // it (0: swallowed; Backspace comes as 8); true when it has put the text
  // in itself. Without it, or when it returns false, keys go as usual.
  std::function<bool(QWidget* target, int code)> onTypedCode;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> target_;
};

// Gives target the focus and queues text to it as typed keys; they arrive
// after the caller returns and pass through the table like any key. An index
// outside 0..10 only moves the focus.
void send_key_sequence_to(int index, QWidget* target);
void type_keys(QWidget* target, const QString& text);
