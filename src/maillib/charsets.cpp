#include "maillib/charsets.h"

#include <gmime/gmime.h>

#include <QHash>
#include <QMutex>
#include <array>
#include <cerrno>
#include <cstring>

#include "maillib/gmimeinit.h"

namespace maillib::charsets {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr char16_t kFirstC1 = 0x80;
constexpr char16_t kLastC1 = 0x9F;

QByteArray label(QByteArrayView charset) {
  QByteArray t = charset.trimmed().toByteArray().toLower();
  if (t.size() >= 2 && t.startsWith('"') && t.endsWith('"'))
    t = t.mid(1, t.size() - 2).trimmed();
  return t;
}

bool isByteForByteLabel(const QByteArray& cs) {
  static const char* const labels[] = {"",           "us-ascii",     "ascii",          "us",
                                       "ansi_x3.4-1968", "iso-8859-1", "iso8859-1",    "iso_8859-1",
                                       "latin1",     "latin-1",      "windows-1252",   "cp1252",
                                       "x-user-defined", "unknown-8bit", "x-unknown"};
  for (const char* l : labels)
    if (cs == l)
      return true;
  return false;
}

class Converter {
 public:
  explicit Converter(const QByteArray& cs) {
    ensureGMime();
    cd_ = g_mime_iconv_open("UTF-8", cs.constData());
  }
  ~Converter() {
    if (ok())
      g_mime_iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  QByteArray utf8(QByteArrayView bytes) {
    QByteArray out(bytes.size() * 2 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    char* at = out.data();
    size_t outLeft = size_t(out.size());
    auto grow = [&] {
      const qsizetype used = at - out.data();
      out.resize(out.size() * 2);
      at = out.data() + used;
      outLeft = size_t(out.size() - used);
    };
    while (inLeft > 0) {
      if (iconv(cd_, &in, &inLeft, &at, &outLeft) != size_t(-1))
        break;
      if (errno == E2BIG) {
        grow();
        continue;
      }
      // A byte the charset does not allow, or a sequence cut off at the end.
      while (outLeft < sizeof kReplacement)
        grow();
      std::memcpy(at, kReplacement, sizeof kReplacement - 1);
      at += sizeof kReplacement - 1;
      outLeft -= sizeof kReplacement - 1;
      ++in;
      --inLeft;
    }
    // Stateful charsets (ISO-2022-JP) end in their initial state.
    while (iconv(cd_, nullptr, nullptr, &at, &outLeft) == size_t(-1) && errno == E2BIG)
      grow();
    out.truncate(at - out.data());
    return out;
  }

 private:
  iconv_t cd_;
};

// What windows-1252 makes of the bytes 0x80..0x9F, asked of iconv once.
const std::array<char16_t, kLastC1 - kFirstC1 + 1>& windows1252Table() {
  static const auto table = [] {
    std::array<char16_t, kLastC1 - kFirstC1 + 1> t{};
    Converter converter("windows-1252");
    for (char16_t c = kFirstC1; c <= kLastC1; ++c) {
      const char byte = char(c);
      const QString read = converter.ok() ? QString::fromUtf8(converter.utf8(QByteArrayView(&byte, 1))) : QString();
      t[c - kFirstC1] = read.size() == 1 && read.at(0) != QChar::ReplacementCharacter ? read.at(0).unicode() : c;
    }
    return t;
  }();
  return table;
}

bool isC1(QChar c) { return c.unicode() >= kFirstC1 && c.unicode() <= kLastC1; }

}  // namespace

bool readsByteForByte(QByteArrayView charset) { return isByteForByteLabel(label(charset)); }

bool isKnown(QByteArrayView charset) {
  const QByteArray cs = label(charset);
  if (isByteForByteLabel(cs) || cs == "utf-8" || cs == "utf8")
    return true;
  static QMutex mutex;
  static QHash<QByteArray, bool> known;
  const QMutexLocker lock(&mutex);
  auto found = known.constFind(cs);
  if (found == known.constEnd())
    found = known.insert(cs, Converter(cs).ok());
  return *found;
}

std::optional<QString> decode(QByteArrayView bytes, QByteArrayView charset) {
  Converter converter(label(charset));
  if (!converter.ok())
    return std::nullopt;
  return QString::fromUtf8(converter.utf8(bytes));
}

bool hasWindows1252Bytes(QStringView text) {
  for (QChar c : text)
    if (isC1(c))
      return true;
  return false;
}

QString windows1252(QString byteForByte) {
  if (!hasWindows1252Bytes(byteForByte))
    return byteForByte;
  const auto& table = windows1252Table();
  for (QChar& c : byteForByte)
    if (isC1(c))
      c = QChar(table[c.unicode() - kFirstC1]);
  return byteForByte;
}

}  // namespace maillib::charsets
