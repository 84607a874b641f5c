#pragma once
// Plain file helpers for tests: write a file (folders made on the way) and
// read one back whole, and a sample of every 8-bit value on CR LF lines.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

// Writes bytes to path, creating its folder; aborts the test program if it
// cannot, so no test goes on with a missing fixture. Returns path.
inline QString writeTestFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
    qFatal("cannot write %s", qPrintable(path));
  return path;
}

// The whole file, or "<missing>" when it cannot be read.
inline QByteArray readTestFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every byte value but NUL, CR and LF, on lines that end in CR LF.
inline QByteArray eightBitLines() {
  QByteArray bytes;
  for (int b = 1; b < 256; ++b) {
    if (b != '\r' && b != '\n')
      bytes += char(b);
    if (b % 40 == 0)
      bytes += "\r\n";
  }
  return bytes;
}

// The words of a list in tests/data, one a line; lines starting with "#"
// are notes.
inline QStringList readWordList(const QString& file) {
  QStringList words;
  for (const QByteArray& line : readTestFile(QStringLiteral(TOVEL_SOURCE_DIR "/tests/data/") + file).split('\n'))
    if (!line.isEmpty() && !line.startsWith('#'))
      words << QString::fromUtf8(line);
  return words;
}
