#include "language/scriptcli.h"

#include "language/scriptdetector.h"

#include <QFile>
#include <algorithm>

namespace {

const QString kDetect = QStringLiteral("--detect-script");
// Of an enormous line only this much is looked at; the rest is read past.
constexpr qint64 kLineLimit = 4 << 20;
constexpr qint64 kPiece = 64 << 10;

bool writeLabel(QByteArray& line, QIODevice& out, QIODevice& err) {
  if (line.endsWith('\r'))
    line.chop(1);
  const QByteArray label = scriptLabel(detectScript(QByteArrayView(line))).toLatin1() + '\n';
  line.clear();
  if (out.write(label) == label.size())
    return true;
  err.write(QStringLiteral("tovelmail: cannot write the output: %1\n").arg(out.errorString()).toUtf8());
  return false;
}

// Lines are split here, not by readLine: any byte, NUL included, may
// stand in a line.
int labelLines(QIODevice& in, QIODevice& out, QIODevice& err) {
  QByteArray line;
  bool open = false;  // a line has begun and not ended
  for (QByteArray piece; !(piece = in.read(kPiece)).isEmpty();) {
    for (qsizetype from = 0; from < piece.size();) {
      const qsizetype end = piece.indexOf('\n', from);
      const qsizetype stop = end < 0 ? piece.size() : end;
      line += QByteArrayView(piece).sliced(from, stop - from).first(std::min(stop - from, kLineLimit - line.size()));
      open = end < 0;
      if (end >= 0 && !writeLabel(line, out, err))
        return 1;
      from = stop + 1;
    }
  }
  return open && !writeLabel(line, out, err) ? 1 : 0;
}

}  // namespace

std::optional<int> runScriptCommand(const QStringList& args, QIODevice& in, QIODevice& out, QIODevice& err) {
  if (!args.contains(kDetect))
    return std::nullopt;
  if (args.size() != 1) {
    const QString extra = args.first() == kDetect ? args[1] : args.first();
    err.write(QStringLiteral("tovelmail: unexpected argument \"%1\"\n"
                             "usage: tovelmail --detect-script < lines > one label a line\n")
                  .arg(extra)
                  .toUtf8());
    return 2;
  }
  return labelLines(in, out, err);
}
