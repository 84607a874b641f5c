#include "language/m17ncli.h"

#include "language/m17ninput.h"
#include "language/m17ntext.h"

#include <QFile>
#include <QStringDecoder>

namespace {

const QString kType = QStringLiteral("--type");

bool asksForTyping(const QStringList& args) {
  return !args.isEmpty() && (args.first() == kType || args.first().startsWith(kType + QLatin1Char('=')));
}

void writeList(QIODevice& to) {
  for (const M17nMethodInfo& method : m17nMethods())
    to.write(QStringLiteral("%1\t%2\n").arg(method.key(), method.label()).toUtf8());
}

int usage(QIODevice& err, const QString& problem) {
  err.write(QStringLiteral("tovelmail: %1\n").arg(problem).toUtf8());
  err.write("usage: tovelmail --type METHOD < key strokes > UTF-8 text; the methods are:\n");
  writeList(err);
  return 2;
}

int typeLines(M17nInput& input, QIODevice& in, QIODevice& out, QIODevice& err) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  M17nTypedText text;
  text.attach(input);
  while (!in.atEnd() || in.bytesAvailable() > 0) {
    QByteArray line = in.readLine();
    if (line.isEmpty() && in.atEnd())
      break;
    const bool ended = line.endsWith('\n');
    if (ended)
      line.chop(line.endsWith("\r\n") ? 2 : 1);
    text.clear();
    input.reset();
    text.typeLine(input, QString(utf8(line)));
    const QByteArray bytes = (text.text() + (ended ? QStringLiteral("\n") : QString())).toUtf8();
    if (out.write(bytes) != bytes.size()) {
      err.write(QStringLiteral("tovelmail: cannot write the output: %1\n").arg(out.errorString()).toUtf8());
      return 1;
    }
  }
  return 0;
}

}  // namespace

std::optional<int> runTypeCommand(const QStringList& args, QIODevice& in, QIODevice& out, QIODevice& err) {
  if (!asksForTyping(args))
    return std::nullopt;
  QStringList rest = args;
  QString name = rest.takeFirst().mid(kType.size() + 1);
  if (name.isEmpty() && !rest.isEmpty())
    name = rest.takeFirst();
  if (!rest.isEmpty())
    return usage(err, QStringLiteral("unexpected argument \"%1\"").arg(rest.first()));
  if (m17nMethods().isEmpty())
    return usage(err, QStringLiteral("no input methods found: is m17n-db installed?"));
  if (name == QLatin1String("list")) {
    writeList(out);
    return 0;
  }
  if (name.isEmpty())
    return usage(err, QStringLiteral("--type needs the name of an input method"));
  const std::optional<M17nMethodInfo> method = m17nMethodNamed(name);
  const std::unique_ptr<M17nInput> input = method ? M17nInput::open(*method) : nullptr;
  if (!input)
    return usage(err, QStringLiteral("unknown input method \"%1\"").arg(name));
  return typeLines(*input, in, out, err);
}
