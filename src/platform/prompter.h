#pragma once
// The one seam for message boxes, input boxes and file dialogs. Production
// code shows Qt dialogs; tests install a scripted fake that records every
// text shown and returns queued answers.
#include <QString>
#include <optional>

class QWidget;

namespace platform {

inline const QString kAppTitle = QStringLiteral("Tovel Mail 98");

enum class MessageIcon { None, Information, Exclamation, Critical };

class Prompter {
 public:
  virtual ~Prompter() = default;

  // A message box with an OK button; an empty title shows the application title.
  virtual void message(const QString& text, const QString& title = {},
                       MessageIcon icon = MessageIcon::None) = 0;

  // An input box. Returns nothing when the user cancels.
  virtual std::optional<QString> input(const QString& prompt, const QString& title = {},
                                       const QString& defaultText = {}, bool masked = false) = 0;

  // A question with Yes and No buttons; true for Yes. An empty title shows
  // the application title.
  virtual bool question(const QString& text, const QString& title = {}) = 0;

  // File choosers. An empty result means the user cancelled.
  virtual QString openFileName(const QString& caption = {}, const QString& filter = {}) = 0;
  virtual QString saveFileName(const QString& caption = {}, const QString& suggested = {},
                               const QString& filter = {}) = 0;
};

// The prompter in use. Until one is installed this is the Qt one.
Prompter& prompter();

// Installs another prompter (tests); nullptr restores the Qt one. The caller
// keeps ownership.
void setPrompter(Prompter* replacement);

// Shorthand for prompter().message(text).
void msgBox(const QString& text, const QString& title = {}, MessageIcon icon = MessageIcon::None);

// Qt dialogs, parented to the active window.
class QtPrompter : public Prompter {
 public:
  void message(const QString& text, const QString& title, MessageIcon icon) override;
  std::optional<QString> input(const QString& prompt, const QString& title,
                               const QString& defaultText, bool masked) override;
  bool question(const QString& text, const QString& title) override;
  QString openFileName(const QString& caption, const QString& filter) override;
  QString saveFileName(const QString& caption, const QString& suggested,
                       const QString& filter) override;
};

}  // namespace platform
