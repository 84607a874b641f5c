// Script detection: of a 1 MB message in each class, and of the 30,000
// short texts of a 10,000-message list (sender, subject, date). Anchor
// measured in the same run: decoding the same bytes as Latin-1, which
// showing them costs anyway. Also the one-off cost of loading the model.
//   bench_detect [samples file]
// Lines for scripts: "message LABEL DETECT_MS latin1 ANCHOR_MS" and
// "cells COUNT DETECT_NS_EACH latin1 ANCHOR_NS_EACH".
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

#include "language/fontunicode.h"
#include "language/scriptdetector.h"

namespace {

constexpr qsizetype kMessageBytes = 1024 * 1024;
constexpr int kCells = 30000;
constexpr int kRuns = 9;

// The texts of each label in the samples file, as bytes.
std::map<TextScript, QList<QByteArray>> readTexts(const QString& path) {
  std::map<TextScript, QList<QByteArray>> texts;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return texts;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QList<QByteArray> field = line.split('\t');
    const std::optional<TextScript> script = field.size() == 3 ? scriptFromLabel(QString::fromLatin1(field[0])) : std::nullopt;
    if (!script || line.startsWith('#'))
      continue;
    const QString text = QString::fromUtf8(field[2]);
    if (field[1] == "font")
      texts[*script] << unicodeToFontCodes(text, *script == TextScript::TamilFont ? FontScript::Tamil : FontScript::Sinhala).toLatin1();
    else if (field[1] == "windows-1252")
      texts[*script] << text.toLatin1();
  }
  return texts;
}

QByteArray message(const QList<QByteArray>& texts) {
  QByteArray body;
  for (qsizetype i = 0; body.size() < kMessageBytes; ++i)
    body += texts[i % texts.size()] + (i % 3 == 2 ? "\r\n" : " ");
  body.truncate(kMessageBytes);
  return body;
}

// The best of several runs, in nanoseconds.
double best(const std::function<qsizetype()>& work) {
  double fastest = 1e18;
  qsizetype sink = 0;
  for (int run = 0; run < kRuns; ++run) {
    QElapsedTimer t;
    t.start();
    sink += work();
    fastest = std::min(fastest, double(t.nsecsElapsed()));
  }
  if (sink == 42)
    std::puts("");
  return fastest;
}

}  // namespace

int main(int argc, char** argv) {
  const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TOVEL_SOURCE_DIR "/tests/data/script_heldout.tsv");
  const std::map<TextScript, QList<QByteArray>> texts = readTexts(path);
  if (texts.size() < 3) {
    std::fprintf(stderr, "no Latin, Sinhala-font and Tamil-font texts in %s\n", qPrintable(path));
    return 1;
  }
  QElapsedTimer load;
  load.start();
  detectScript(QByteArrayView("x"));
  std::printf("model load (once) %.2f ms\n", load.nsecsElapsed() / 1e6);

  QList<QByteArray> cells;
  for (const auto& [script, list] : texts) {
    const QByteArray body = message(list);
    TextScript found = TextScript::Latin;
    const double detect = best([&] { return qsizetype(found = detectScript(QByteArrayView(body))); });
    const double latin1 = best([&] { return QString::fromLatin1(body).size(); });
    std::printf("message %s %.2f latin1 %.2f   (1 MB: %.2f ms, %.1fx Latin-1 decoding; detected %s)\n",
                qPrintable(scriptLabel(script)), detect / 1e6, latin1 / 1e6, detect / 1e6, detect / latin1,
                qPrintable(scriptLabel(found)));
    cells += list;
  }
  QList<QByteArray> list;
  for (int i = 0; list.size() < kCells; ++i)
    list << cells[(i * 7919) % cells.size()];
  const double detect = best([&] {
    qsizetype n = 0;
    for (const QByteArray& cell : list)
      n += qsizetype(detectScript(QByteArrayView(cell)));
    return n;
  });
  const double latin1 = best([&] {
    qsizetype n = 0;
    for (const QByteArray& cell : list)
      n += QString::fromLatin1(cell).size();
    return n;
  });
  std::printf("cells %d %.0f latin1 %.0f   (%.2f ms for all, %.0f ns a cell, %.1fx Latin-1 decoding)\n", kCells,
              detect / kCells, latin1 / kCells, detect / 1e6, detect / kCells, detect / latin1);
  return 0;
}
