#include "editing/find.h"

#include "editing/bodytext.h"
#include "editing/findstate.h"
#include "editing/frmfind.h"
#include "platform/prompter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTextCursor>
#include <QTextEdit>

namespace editing {

void find_next(QTextEdit* body) {
  if (!body)
    return;
  FindState& state = findState();
  const qsizetype match = findMatch(bodyText(body), body->textCursor().selectionStart(), state);
  if (match >= 0) {
    QTextCursor cursor = body->textCursor();
    cursor.setPosition(int(match));
    cursor.setPosition(int(match + state.find_text.size()), QTextCursor::KeepAnchor);
    body->setTextCursor(cursor);
  } else {
    platform::msgBox(QStringLiteral("Cannot find \"%1\"").arg(state.find_text));
  }
  state.find_last_pos = body->textCursor().selectionStart();
  state.find_fresh = false;
}

void mnuFind_Click(QTextEdit* body, QWidget* parent) {
  if (!body)
    return;
  frmFind dialog(body, parent);
  const QString selected = withNewlines(body->textCursor().selectedText());
  dialog.Text1->setText(selected.isEmpty() ? findState().find_text : selected);
  dialog.Text1->selectAll();
  findState().find_fresh = true;
  if (findState().find_match_case != 0)
    dialog.chkCase->setChecked(true);
  dialog.exec();
}

void mnuFindnext_Click(QTextEdit* body, QWidget* parent) {
  if (findState().find_text.isEmpty())
    mnuFind_Click(body, parent);
  else
    find_next(body);
}

}  // namespace editing
