#pragma once
// The Sinhala and Tamil input methods of the m17n library (the m17n-db
// tables every Linux input framework uses), with no window involved. A key
// goes in by its m17n name ("a", "BackSpace"); out come the text the method
// commits and the pending text (preedit) it is still working on.
//
// m17n is initialised on first use, so a program that never types through a
// method never pays for reading its database.
#include "language/fontunicode.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

struct M17nMethodInfo {
  QString language;  // m17n's language code: "si", "ta"
  QString name;      // m17n's method name: "singlish", "itrans"
  QString title;     // the method's own title, in its script
  // "sinhala-singlish": the name the command line and the settings use.
  QString key() const;
  // "Sinhala Singlish (සිංග්ලිශ්)": how the method is offered to people.
  QString label() const;
  FontScript script() const;
};

// Every Sinhala and Tamil method this machine's m17n database holds, Sinhala
// first, each language in m17n's order. Empty without a usable database.
const QList<M17nMethodInfo>& m17nMethods();
// The method a key() names, if the database holds it.
std::optional<M17nMethodInfo> m17nMethodNamed(const QString& key);

// One typing session in one method: what is pending belongs to it.
class M17nInput {
 public:
  // nullptr when m17n cannot open the method.
  static std::unique_ptr<M17nInput> open(const M17nMethodInfo& method);
  ~M17nInput();
  M17nInput(const M17nInput&) = delete;
  M17nInput& operator=(const M17nInput&) = delete;

  struct Step {
    QString committed;     // text that is now final, to go in before the caret
    bool keyUnused = false;  // the method left the key alone: it acts as itself
  };

  // Feeds one key by its m17n name. Backspace edits the pending text: in a
  // method that does not handle it, it takes back the last key of the pending
  // text instead of finishing it.
  Step feed(const QString& key);
  // Finishes the pending text: it is returned and nothing stays pending.
  QString commit();
  // Drops the pending text.
  void reset();

  QString preedit() const { return preedit_; }
  int preeditCursor() const { return cursor_; }
  bool pending() const { return !preedit_.isEmpty(); }
  const M17nMethodInfo& method() const { return method_; }

  // The text around the caret, for methods that look at (and replace) what
  // was typed before: up to n characters before the caret, and the removal of
  // n characters before it. Unset means there is nothing before the caret.
  std::function<QString(int n)> textBeforeCaret;
  std::function<void(int n)> deleteBeforeCaret;

 private:
  struct Handle;
  explicit M17nInput(const M17nMethodInfo& method, std::unique_ptr<Handle> handle);
  Step send(const QString& key);
  void readPreedit();
  Step replayWithoutLastKey();

  M17nMethodInfo method_;
  std::unique_ptr<Handle> handle_;
  QString preedit_;
  int cursor_ = 0;
  QStringList pendingKeys_;  // the keys behind the pending text
  friend struct M17nCallbacks;
};
