#include "language/unicodecli.h"

#include "language/fontunicode.h"

#include <QFile>
#include <algorithm>
#include <QStringDecoder>

namespace {

const QString kToUnicode = QStringLiteral("--to-unicode");
const QString kFromUnicode = QStringLiteral("--from-unicode");
constexpr qint64 kChunk = 1 << 20;

bool isConversionOption(const QString& arg) {
  for (const QString& option : {kToUnicode, kFromUnicode})
    if (arg == option || arg.startsWith(option + QLatin1Char('=')))
      return true;
  return false;
}

void say(QIODevice& err, const QString& text) { err.write(QStringLiteral("tovelmail: %1\n").arg(text).toUtf8()); }

int usage(QIODevice& err, const QString& problem) {
  say(err, problem);
  err.write("usage: tovelmail --to-unicode sinhala|tamil   < font-code text > UTF-8 text\n"
            "       tovelmail --from-unicode sinhala|tamil < UTF-8 text > font-code text\n");
  return 2;
}

struct Request {
  bool toUnicode = true;
  FontScript script = FontScript::Sinhala;
};

// The whole command must be one option and one script name.
std::optional<Request> parse(QStringList args, QIODevice& err, int& status) {
  const qsizetype at = std::find_if(args.begin(), args.end(), isConversionOption) - args.begin();
  QString option = args.takeAt(at), name;
  const qsizetype equals = option.indexOf(QLatin1Char('='));
  if (equals >= 0) {
    name = option.mid(equals + 1);
    option.truncate(equals);
  } else if (at < args.size() && !args[at].startsWith(QLatin1String("--"))) {
    name = args.takeAt(at);
  }
  if (name.isEmpty()) {
    status = usage(err, QStringLiteral("%1 needs the script to convert: sinhala or tamil").arg(option));
    return std::nullopt;
  }
  const std::optional<FontScript> script = fontScriptNamed(name);
  if (!script) {
    status = usage(err, QStringLiteral("unknown script \"%1\": use sinhala or tamil").arg(name));
    return std::nullopt;
  }
  if (!args.isEmpty()) {
    status = usage(err, QStringLiteral("unexpected argument \"%1\"").arg(args.first()));
    return std::nullopt;
  }
  return Request{option == kToUnicode, *script};
}

// Reads the input in pieces that end at a line break, so huge archives
// never sit in memory whole; conversion never spans a line break.
class LineChunks {
 public:
  explicit LineChunks(QIODevice& in) : in_(in) {}
  bool next(QByteArray& chunk) {
    while (!done_) {
      const QByteArray more = in_.read(kChunk);
      if (more.isEmpty())
        done_ = true;
      carry_ += more;
      const qsizetype cut = carry_.lastIndexOf('\n');
      if (cut >= 0 && !done_) {
        chunk = carry_.left(cut + 1);
        carry_.remove(0, cut + 1);
        return true;
      }
      if (carry_.size() > 64 * kChunk)  // one enormous line: convert it anyway
        break;
    }
    chunk = carry_;
    carry_.clear();
    return !chunk.isEmpty();
  }

 private:
  QIODevice& in_;
  QByteArray carry_;
  bool done_ = false;
};

int convert(const Request& request, QIODevice& in, QIODevice& out, QIODevice& err) {
  LineChunks chunks(in);
  QStringDecoder utf8(QStringDecoder::Utf8);
  qint64 unshown = 0;
  QByteArray chunk;
  while (chunks.next(chunk)) {
    QByteArray bytes;
    if (request.toUnicode) {
      bytes = fontCodesToUnicode(QString::fromLatin1(chunk), request.script).toUtf8();
    } else {
      const QString codes = unicodeToFontCodes(QString(utf8(chunk)), request.script);
      bytes.reserve(codes.size());
      for (qsizetype i = 0; i < codes.size(); ++i) {
        const QChar c = codes[i];
        if (c.unicode() <= 255) {
          bytes.append(char(c.unicode()));
          continue;
        }
        ++unshown;
        bytes.append('?');
        if (c.isHighSurrogate() && i + 1 < codes.size() && codes[i + 1].isLowSurrogate())
          ++i;  // one character, one ?
      }
    }
    if (out.write(bytes) != bytes.size()) {
      say(err, QStringLiteral("cannot write the output: %1").arg(out.errorString()));
      return 1;
    }
  }
  if (utf8.hasError()) {
    say(err, QStringLiteral("the input is not valid UTF-8; what could not be read was written as ?"));
    return 1;
  }
  if (unshown > 0) {
    say(err, QStringLiteral("%1 %2 no code in the %3 font and %4 written as ?")
                 .arg(unshown)
                 .arg(unshown == 1 ? QStringLiteral("character has") : QStringLiteral("characters have"),
                      fontScriptName(request.script),
                      unshown == 1 ? QStringLiteral("was") : QStringLiteral("were")));
    return 1;
  }
  return 0;
}

}  // namespace

std::optional<int> runUnicodeCommand(const QStringList& args, QIODevice& in, QIODevice& out, QIODevice& err) {
  if (std::none_of(args.begin(), args.end(), isConversionOption))
    return std::nullopt;
  int status = 2;
  const std::optional<Request> request = parse(args, err, status);
  return request ? convert(*request, in, out, err) : status;
}
