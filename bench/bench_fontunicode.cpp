// Converting a 1 MB message of font-code text to Unicode and back, for each
// script. Anchors measured in the same run: decoding the same bytes as
// Latin-1 (what showing the message already costs) and decoding the
// converted text from UTF-8 (what reading it as a Unicode message costs).
//   bench_fontunicode [words folder]
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "language/fontunicode.h"

namespace {

constexpr qsizetype kMessageBytes = 1024 * 1024;
constexpr int kRuns = 9;

QStringList readWords(const QString& path) {
  QFile f(path);
  QStringList words;
  if (f.open(QIODevice::ReadOnly))
    for (const QByteArray& line : f.readAll().split('\n'))
      if (!line.isEmpty() && !line.startsWith('#'))
        words << QString::fromUtf8(line);
  return words;
}

// A message body of real words in font codes, lines of about 70 codes.
QByteArray message(const QStringList& words, FontScript script) {
  QByteArray body;
  qsizetype line = 0;
  for (qsizetype i = 0; body.size() < kMessageBytes; ++i) {
    const QByteArray word = unicodeToFontCodes(words[i % words.size()], script).toLatin1();
    body += word;
    line += word.size() + 1;
    body += line > 70 ? "\r\n" : " ";
    if (line > 70)
      line = 0;
  }
  body.truncate(kMessageBytes);
  return body;
}

// The best of several runs, in milliseconds.
double best(const std::function<qsizetype()>& work) {
  double fastest = 1e9;
  qsizetype sink = 0;
  for (int run = 0; run < kRuns; ++run) {
    QElapsedTimer t;
    t.start();
    sink += work();
    fastest = std::min(fastest, t.nsecsElapsed() / 1e6);
  }
  if (sink == 42)
    std::puts("");
  return fastest;
}

}  // namespace

int main(int argc, char** argv) {
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TOVEL_SOURCE_DIR "/tests/data");
  std::printf("%-8s %9s %9s %11s %13s %11s %13s\n", "script", "latin1", "utf-8", "to-unicode", "(/latin1 /utf-8)",
              "from-unicode", "(/latin1 /utf-8)");
  for (const auto& [script, file] : {std::pair{FontScript::Sinhala, "sinhala_words.txt"}, std::pair{FontScript::Tamil, "tamil_words.txt"}}) {
    const QStringList words = readWords(folder + QLatin1Char('/') + QLatin1String(file));
    if (words.isEmpty()) {
      std::fprintf(stderr, "no words in %s/%s\n", qPrintable(folder), file);
      return 1;
    }
    const QByteArray bytes = message(words, script);
    const QString codes = QString::fromLatin1(bytes);
    const QString unicode = fontCodesToUnicode(codes, script);
    if (unicodeToFontCodes(unicode, script) != codes) {
      std::fprintf(stderr, "%s: the round trip changed the text\n", qPrintable(fontScriptName(script)));
      return 1;
    }
    const QByteArray utf8 = unicode.toUtf8();
    const double latin1 = best([&] { return QString::fromLatin1(bytes).size(); });
    const double decode = best([&] { return QString::fromUtf8(utf8).size(); });
    const double to = best([&] { return fontCodesToUnicode(codes, script).size(); });
    const double from = best([&] { return unicodeToFontCodes(unicode, script).size(); });
    std::printf("%-8s %6.2f ms %6.2f ms %8.2f ms (%5.0fx %5.1fx) %8.2f ms (%5.0fx %5.1fx)\n",
                qPrintable(fontScriptName(script)), latin1, decode, to, to / latin1, to / decode, from, from / latin1,
                from / decode);
  }
  return 0;
}
