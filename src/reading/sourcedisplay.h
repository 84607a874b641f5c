#pragma once
// The "Message Source" window: the complete stored text of a message in one
// text box that fills the window.
#include <QWidget>

class QPlainTextEdit;

class SourceDisplay : public QWidget {
  Q_OBJECT

 public:
  explicit SourceDisplay(QWidget* parent = nullptr);

  QPlainTextEdit* Text1 = nullptr;

  void setSourceText(const QString& text);
  void Form_Resize();

 protected:
  void resizeEvent(QResizeEvent* event) override;
};
