#include "editing/textfiles.h"

#include "editing/bodytext.h"
#include "editing/busycursor.h"
#include "platform/codepage.h"
#include "platform/prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextEdit>

namespace editing {

namespace {

const QString kTextFilter = QStringLiteral("Text Files (*.txt);;All Files (*)");

// The file chosen last for opening or saving; Save proposes it.
QString& lastTextFile() {
  static QString path;
  return path;
}

QString failure(const QString& what, const QString& path, const QString& reason) {
  return QStringLiteral("%1%2 (%3)").arg(what, QDir::toNativeSeparators(path), reason);
}

void reportOpenFailure(const QString& path, const QString& reason) {
  platform::msgBox(failure(QStringLiteral("Can't open file: "), path, reason));
}

// The file's bytes, or nothing when it is too large or unreadable (reported).
std::optional<QByteArray> readTextFile(const QString& path) {
  if (QFileInfo(path).size() > kMaxTextFileBytes) {
    platform::msgBox(QStringLiteral("The file is too large to open."));
    return std::nullopt;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    reportOpenFailure(path, file.errorString());
    return std::nullopt;
  }
  QByteArray bytes;
  QString readError;
  {
    BusyCursor busy;
    // One byte more than allowed tells a file that grew (or a device that
    // never ends) from one that fits.
    bytes = file.read(kMaxTextFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
      readError = file.errorString();
  }
  if (!readError.isEmpty()) {
    reportOpenFailure(path, readError);
    return std::nullopt;
  }
  if (bytes.size() > kMaxTextFileBytes) {
    platform::msgBox(QStringLiteral("The file is too large to open."));
    return std::nullopt;
  }
  return bytes;
}

}  // namespace

std::optional<QString> open_text_file() {
  const QString path = platform::prompter().openFileName(QStringLiteral("Open"), kTextFilter);
  if (path.isEmpty())
    return std::nullopt;
  lastTextFile() = path;
  const std::optional<QByteArray> bytes = readTextFile(path);
  if (!bytes)
    return std::nullopt;
  return withLf(platform::fromCodePage(*bytes));
}

bool save_text_file(const QString& text, const QString& path) {
  QString reason;
  {
    BusyCursor busy;
    QSaveFile file(path);
    // A file the user may change in a folder they may not add to is written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
      reason = file.errorString();
    else if (file.write(platform::toCodePage(withCrLf(text))) < 0 || !file.commit())
      reason = file.errorString();
  }
  if (reason.isEmpty())
    return true;
  platform::msgBox(failure(QStringLiteral("Can't save file: "), path, reason));
  return false;
}

void insertFile(QTextEdit* body) {
  if (!body)
    return;
  if (const std::optional<QString> text = open_text_file()) {
    BusyCursor busy;
    replaceSelection(body, *text);
  }
}

void openFile(QTextEdit* body) {
  if (!body)
    return;
  if (const std::optional<QString> text = open_text_file()) {
    BusyCursor busy;
    replaceAll(body, *text);
  }
}

void saveBodyAs(QTextEdit* body) {
  if (!body)
    return;
  const QString path = platform::prompter().saveFileName(QStringLiteral("Save As"), lastTextFile(), kTextFilter);
  if (path.isEmpty())
    return;
  lastTextFile() = path;
  save_text_file(bodyText(body), path);
}

}  // namespace editing
