#include "reading/sourcedisplay.h"

#include "editing/textlayout.h"

#include <QPlainTextEdit>

SourceDisplay::SourceDisplay(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("SourceDisplay"));
  setWindowTitle(QStringLiteral("Message Source"));
  setAttribute(Qt::WA_DeleteOnClose, false);

  Text1 = new QPlainTextEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Text1->setReadOnly(true);
  Text1->setUndoRedoEnabled(false);
  Text1->setFrameShape(QFrame::NoFrame);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPointSizeF(9.75);
  Text1->setFont(font);
  QPalette palette = Text1->palette();
  palette.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
  palette.setColor(QPalette::Text, Qt::black);
  Text1->setPalette(palette);

  resize(640, 480);
  Form_Resize();
}

void SourceDisplay::setSourceText(const QString& text) {
  editing::setLaidOutText(Text1, text);
  Text1->moveCursor(QTextCursor::Start);
}

void SourceDisplay::Form_Resize() { Text1->setGeometry(0, 0, width(), height()); }

void SourceDisplay::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}
