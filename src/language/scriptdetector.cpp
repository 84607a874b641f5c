#include "language/scriptdetector.h"

#include "language/scriptmodel.h"
#include "language/unicodefonts.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Label {
  TextScript script;
  const char* text;
};
constexpr std::array<Label, 5> kLabels{{{TextScript::Latin, "latin"},
                                        {TextScript::SinhalaFont, "sinhala-font"},
                                        {TextScript::TamilFont, "tamil-font"},
                                        {TextScript::Sinhala, "sinhala"},
                                        {TextScript::Tamil, "tamil"}}};

constexpr int kClasses = 3;  // Latin, Sinhala font codes, Tamil font codes
constexpr quint8 kBoundary = 0;
constexpr quint8 kDigit = 1;
constexpr qsizetype kWholeText = 256 << 10;  // longer texts are sampled
constexpr qsizetype kWindows = 64;

// One character trigram model per class over a small alphabet: blanks and
// controls are one boundary symbol, digits one digit symbol, every other
// ASCII character its own symbol and the upper half in groups. The costs
// are -log P(c | a b) in steps of 1/scale nat, kept for every trigram of
// every class side by side, so scoring a text is one look-up per byte.
class ScriptModel {
 public:
  static const ScriptModel& instance() {
    static const ScriptModel model;
    return model;
  }

  // The summed costs of the text under each class and the number of
  // symbols scored. Of a long text, windows spread evenly over it are
  // scored: enough to tell its script, at a bounded cost.
  std::array<qint64, kClasses> costs(QByteArrayView bytes, qsizetype& length) const {
    std::array<qint64, kClasses> total{};
    length = 0;
    if (bytes.size() <= kWholeText) {
      addCosts(bytes, total, length);
      return total;
    }
    const qsizetype window = kWholeText / kWindows;
    for (qsizetype i = 0; i < kWindows; ++i)
      addCosts(bytes.sliced(i * (bytes.size() - window) / (kWindows - 1), window), total, length);
    return total;
  }

  // Nats a font class must win by over Latin: more for short texts.
  double margin(qsizetype length) const { return std::max(floor_, short_ - perSymbol_ * double(length)); }
  double scale() const { return scale_; }
  bool loaded() const { return alphabet_ > 0; }

 private:
  ScriptModel() {
    const QByteArray blob = qUncompress(QByteArray::fromBase64(packedScriptModel()));
    Reader in{blob};
    alphabet_ = in.u16();
    const int highGroup = in.u16();
    scale_ = std::max<int>(1, in.u16());
    short_ = in.f32();
    perSymbol_ = in.f32();
    floor_ = in.f32();
    if (highGroup <= 0 || alphabet_ != 86u + 128 / highGroup) {
      alphabet_ = 0;  // not tables this code reads: every text is Latin
      return;
    }
    for (int byte = 0; byte < 256; ++byte)
      symbols_[byte] = symbolOf(byte, highGroup);
    expand(in);
  }

  void addCosts(QByteArrayView bytes, std::array<qint64, kClasses>& total, qsizetype& length) const {
    quint32 a = kBoundary, b = kBoundary;
    const auto add = [&](quint32 c) {
      const quint8* cost = &costs_[((a * alphabet_ + b) * alphabet_ + c) * kClasses];
      for (int k = 0; k < kClasses; ++k)
        total[k] += cost[k];
      a = b;
      b = c;
      ++length;
    };
    for (const char ch : bytes) {
      const quint8 c = symbols_[quint8(ch)];
      if (c == b && (c == kBoundary || c == kDigit))
        continue;
      add(c);
    }
    if (b != kBoundary)
      add(kBoundary);
  }

  struct Reader {
    const QByteArray& data;
    qsizetype at = 0;
    quint8 u8() { return at < data.size() ? quint8(data[at++]) : 0; }
    quint16 u16() { return quint16(u8() | u8() << 8); }
    quint32 u32() { return quint32(u16()) | quint32(u16()) << 16; }
    float f32() {
      const quint32 bits = u32();
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
  };

  static quint8 symbolOf(int byte, int highGroup) {
    if (byte <= 32 || byte == 127)
      return kBoundary;
    if (byte >= '0' && byte <= '9')
      return kDigit;
    if (byte < 127)
      return quint8(2 + byte - 33 - (byte > '9' ? 10 : 0));
    return quint8(86 + (byte - 128) / highGroup);
  }

  // Per class: dense bigram costs and context backoffs, then for each
  // context the trigrams whose cost differs from backoff plus bigram. The
  // classes are read side by side, so the table is written in one pass.
  void expand(Reader& in) {
    const qsizetype n = alphabet_;
    struct Block {
      const quint8* bigram;
      const quint8* backoff;
      Reader trigrams;
    };
    std::vector<Block> blocks;
    for (int k = 0; k < kClasses; ++k) {
      const qsizetype size = in.u32(), start = in.at;
      if (size < 2 * n * n || start + size > in.data.size()) {
        alphabet_ = 0;  // cut short: every text is Latin
        return;
      }
      const auto* bytes = reinterpret_cast<const quint8*>(in.data.constData()) + start;
      blocks.push_back({bytes, bytes + n * n, Reader{in.data, start + 2 * n * n}});
      in.at = start + size;
    }
    costs_ = std::make_unique_for_overwrite<quint8[]>(std::size_t(n * n * n * kClasses));
    for (qsizetype ab = 0; ab < n * n; ++ab) {
      quint8* row = &costs_[ab * n * kClasses];
      for (int k = 0; k < kClasses; ++k) {
        Block& block = blocks[k];
        const quint8* bigram = block.bigram + (ab % n) * n;
        for (qsizetype c = 0; c < n; ++c)
          row[c * kClasses + k] = quint8(std::min(255, block.backoff[ab] + bigram[c]));
        for (int followers = block.trigrams.u8(); followers > 0; --followers) {
          const quint8 c = block.trigrams.u8();
          row[std::min<qsizetype>(c, n - 1) * kClasses + k] = block.trigrams.u8();
        }
      }
    }
  }

  quint32 alphabet_ = 0;
  double scale_ = 16, short_ = 0, perSymbol_ = 0, floor_ = 0;
  std::array<quint8, 256> symbols_{};
  std::unique_ptr<quint8[]> costs_;
};

bool hasLetters(QByteArrayView bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char ch) {
    const auto c = quint8(ch);
    return c >= 128 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
}

// 8-bit text: Latin unless a font's codes explain it clearly better.
TextScript detectFontCodes(QByteArrayView bytes) {
  const ScriptModel& model = ScriptModel::instance();
  if (!hasLetters(bytes) || !model.loaded())
    return TextScript::Latin;
  qsizetype length = 0;
  const std::array<qint64, kClasses> cost = model.costs(bytes, length);
  const bool sinhala = cost[1] <= cost[2];
  const double gain = double(cost[0] - std::min(cost[1], cost[2])) / model.scale();
  if (gain <= model.margin(length))
    return TextScript::Latin;
  return sinhala ? TextScript::SinhalaFont : TextScript::TamilFont;
}

bool hasMultiByteUtf8(QByteArrayView bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char ch) { return quint8(ch) >= 0xC2 && quint8(ch) <= 0xF4; });
}

}  // namespace

TextScript detectScript(QByteArrayView bytes) {
  if (hasMultiByteUtf8(bytes)) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
      return detectScript(QStringView(text));
  }
  return detectFontCodes(bytes);
}

TextScript detectScript(QStringView text) {
  if (const std::optional<FontScript> script = unicodeScriptOf(text))
    return *script == FontScript::Sinhala ? TextScript::Sinhala : TextScript::Tamil;
  // Characters beyond the font codes (curly quotes of a decoded message,
  // other alphabets) count as blanks between the codes around them.
  QByteArray codes(text.size(), ' ');
  for (qsizetype i = 0; i < text.size(); ++i)
    if (text[i].unicode() <= 0xFF)
      codes[i] = char(text[i].unicode());
  return detectFontCodes(codes);
}

void preloadScriptModel() { ScriptModel::instance(); }

QString scriptLabel(TextScript script) {
  for (const Label& label : kLabels)
    if (label.script == script)
      return QString::fromLatin1(label.text);
  return QStringLiteral("latin");
}

std::optional<TextScript> scriptFromLabel(QStringView label) {
  for (const Label& entry : kLabels)
    if (label == QLatin1String(entry.text))
      return entry.script;
  return std::nullopt;
}
