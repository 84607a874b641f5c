#pragma once
// Plain text files in and out of the compose body. Files hold the
// single-byte code page (byte n is character n), so text in the display
// fonts' codes comes back byte for byte; lines end in CR LF.
#include <QString>
#include <QtGlobal>
#include <optional>

class QTextEdit;

namespace editing {

// Larger files are refused with "The file is too large to open.".
inline constexpr qint64 kMaxTextFileBytes = 16 * 1024 * 1024;

// Lets the user choose a text file and returns its text, lines ending in
// '\n' as the body holds them. Nothing when the
// choice was cancelled or the file could not be read (already reported).
std::optional<QString> open_text_file();

// Writes `text` to `path` with CR LF line ends, replacing the file only once
// the whole text is written. False when that failed (already reported).
bool save_text_file(const QString& text, const QString& path);

// Insert File: the chosen file's text replaces the body's selection.
void insertFile(QTextEdit* body);
// Open: the chosen file's text replaces the whole body (undoable).
void openFile(QTextEdit* body);
// Save and Save As: asks for a file, proposing the last one used, and saves the body there.
void saveBodyAs(QTextEdit* body);

}  // namespace editing
