#pragma once
// Building blocks shared by the two settings dialogs.
#include <QString>
#include <utility>

class QCheckBox;
class QDialog;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace dialogparts {

// A label and a text box on one row; the box selects its whole text when it
// gets the focus.
QLineEdit* addField(QGridLayout* grid, int row, const QString& label, const QString& objectName,
                    bool password = false);
QCheckBox* addSaveInfo(QGridLayout* grid, int row);
// "Ok" (default, Enter) and "Cancel" (Esc).
std::pair<QPushButton*, QPushButton*> addButtons(QGridLayout* grid, int row, QDialog* dialog);

}  // namespace dialogparts
