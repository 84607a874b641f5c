#include "language/fonts.h"

#include "platform/paths.h"

#include <QDir>
#include <QFontDatabase>

QStringList registerBundledFonts() {
  QStringList families;
  const QDir dir(platform::fontsFolder());
  const QStringList files = dir.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf")}, QDir::Files);
  for (const QString& file : files) {
    const int id = QFontDatabase::addApplicationFont(dir.filePath(file));
    if (id >= 0)
      families += QFontDatabase::applicationFontFamilies(id);
  }
  return families;
}
