#include "language/scriptcli.h"

#include "language/scriptdetector.h"

#include <QFile>

namespace {

const QString kDetect = QStringLiteral("--detect-script");
// Of an enormous line only this much is looked at; the rest is read past.
constexpr qint64 kLineLimit = 4 << 20;
constexpr qint64 kPiece = 64 << 10;

// The next line without its line break; false at the end of the input.
bool readLine(QIODevice& in, QByteArray& line) {
  line.clear();
  bool any = false;
  for (QByteArray piece; !(piece = in.readLine(kPiece)).isEmpty();) {
    any = true;
    if (line.size() < kLineLimit)
      line += piece.left(kLineLimit - line.size());
    if (piece.endsWith('\n')) {
      line.chop(line.endsWith("\r\n") ? 2 : line.endsWith('\n') ? 1 : 0);
      return true;
    }
  }
  return any;
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
  QByteArray line;
  while (readLine(in, line)) {
    const QByteArray label = scriptLabel(detectScript(QByteArrayView(line))).toLatin1() + '\n';
    if (out.write(label) != label.size()) {
      err.write(QStringLiteral("tovelmail: cannot write the output: %1\n").arg(out.errorString()).toUtf8());
      return 1;
    }
  }
  return 0;
}

std::optional<int> runScriptCommand(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i)
    args.append(QString::fromLocal8Bit(argv[i]));
  if (!args.contains(kDetect))
    return std::nullopt;
  QFile in, out, err;
  in.open(stdin, QIODevice::ReadOnly);
  out.open(stdout, QIODevice::WriteOnly);
  err.open(stderr, QIODevice::WriteOnly);
  const int status = *runScriptCommand(args, in, out, err);
  if (!out.flush() && status == 0)
    return 1;
  return status;
}
