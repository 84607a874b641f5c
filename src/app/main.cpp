#include "language/fonts.h"
#include "language/unicodecli.h"
#include "shell/mailform.h"

#include <QApplication>

int main(int argc, char** argv) {
  if (const std::optional<int> status = runUnicodeCommand(argc, argv))
    return *status;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tovel Mail 98"));
  registerBundledFonts();
  MailForm mainWindow;
  mainWindow.Form_Load(!app.arguments().contains(QStringLiteral("--no-splash")));
  return app.exec();
}
