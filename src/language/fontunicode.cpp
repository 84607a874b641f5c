#include "language/fontunicode.h"

#include <QChar>
#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

// Working text: appending a character is inline, clearing keeps the buffer.
using Text = std::u16string;

constexpr char16_t kZwj = 0x200D;
constexpr char16_t kZwnj = 0x200C;
constexpr char16_t kDottedCircle = 0x25CC;

// What a font code is, for putting visual order back into logical order.
enum class Role : quint8 {
  PassThrough,  // the font does not map the code: it stays as it is
  Literal,      // punctuation or a digit: stands alone
  Base,         // a consonant, a precomposed letter or a carrier: takes signs
  Vowel,        // an independent vowel: may merge with the sign after it
  Prefix,       // drawn before its consonant, written after it
  Sign,         // a dependent sign that follows its base
  Nasal,        // anusvara or visarga: after every other sign
  Conjunct,     // yansaya or rakaransaya: right after the base
  Repaya,       // drawn over the consonant before it, written before it
};

struct Piece {
  Role role = Role::PassThrough;
  QString text;
};

// How well the key table types a code: 0 in every input mode of the script,
// 1 in some, 2 only through the character picker.
using Ranks = std::array<quint8, 256>;

// A spelling in codes: what is drawn before the base, the base, and after.
// A few codes, kept without allocating.
struct Codes {
  std::array<uchar, 8> c{};
  quint8 n = 0;
  Codes() = default;
  Codes(std::initializer_list<uchar> list) {
    for (const uchar code : list)
      add(code);
  }
  bool add(uchar code) {
    if (n == c.size())
      return false;
    c[n++] = code;
    return true;
  }
  bool fits(const Codes& more) const { return n + more.n <= int(c.size()); }
  Codes& operator+=(const Codes& more) {
    for (quint8 k = 0; k < more.n; ++k)
      add(more.c[k]);
    return *this;
  }
  Codes operator+(const Codes& more) const { return Codes(*this) += more; }
  qsizetype size() const { return n; }
  bool isEmpty() const { return n == 0; }
};

struct Spelling {
  Codes prefix, core, post;
  int rank = 3;  // 3: no spelling
  int length() const { return int(prefix.size() + core.size() + post.size()); }
  bool valid() const { return rank < 3; }
  bool betterThan(const Spelling& other) const {
    return rank != other.rank ? rank < other.rank : length() < other.length();
  }
};

struct Unit {
  QString text;
  uchar code;
};

struct Pair {
  char16_t first, second, composed;
};

// Canonical compositions of the two scripts (the NFC pairs).
constexpr Pair kCanonicalPairs[] = {
    {0x0DD9, 0x0DCA, 0x0DDA}, {0x0DD9, 0x0DCF, 0x0DDC}, {0x0DDC, 0x0DCA, 0x0DDD},
    {0x0DD9, 0x0DDF, 0x0DDE}, {0x0B92, 0x0BD7, 0x0B94}, {0x0BC6, 0x0BBE, 0x0BCA},
    {0x0BC7, 0x0BBE, 0x0BCB}, {0x0BC6, 0x0BD7, 0x0BCC},
};

// What the fonts draw as two pieces but Unicode holds as one letter: kombu
// deka as two kombuvas, the long independent vowels as a vowel and a sign.
constexpr Pair kFontPairs[] = {
    {0x0DD9, 0x0DD9, 0x0DDB}, {0x0D85, 0x0DCF, 0x0D86}, {0x0D85, 0x0DD0, 0x0D87},
    {0x0D85, 0x0DD1, 0x0D88}, {0x0D8B, 0x0DDF, 0x0D8C}, {0x0D8D, 0x0DD8, 0x0D8E},
    {0x0D8F, 0x0DDF, 0x0D90}, {0x0D91, 0x0DCA, 0x0D92}, {0x0D91, 0x0DD9, 0x0D93},
    {0x0D94, 0x0DCA, 0x0D95}, {0x0D94, 0x0DDF, 0x0D96},
};

// The characters that can close one of the pairs above.
bool endsAPair(char16_t ch) {
  switch (ch) {
    case 0x0DCA: case 0x0DCF: case 0x0DD0: case 0x0DD1: case 0x0DD8: case 0x0DD9: case 0x0DDF:
    case 0x0BBE: case 0x0BD7:
      return true;
    default:
      return false;
  }
}

char16_t composePair(char16_t a, char16_t b, bool fontPairsToo) {
  if (!endsAPair(b))
    return 0;
  for (const Pair& p : kCanonicalPairs)
    if (p.first == a && p.second == b)
      return p.composed;
  if (fontPairsToo)
    for (const Pair& p : kFontPairs)
      if (p.first == a && p.second == b)
        return p.composed;
  return 0;
}

// Appends ch, merging it with the last character of out when the two make
// one letter: canonically with anything from out[canonicalFrom] on, by the
// font's pairs only from out[fontFrom] on.
void appendMerged(Text& out, char16_t ch, size_t canonicalFrom, size_t fontFrom) {
  if (out.size() > canonicalFrom) {
    if (const char16_t merged = composePair(out.back(), ch, out.size() > fontFrom)) {
      out.back() = merged;
      return;
    }
  }
  out.push_back(ch);
}

void append(Text& out, const QString& text) { out.append(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())); }

// ---------------------------------------------------------------- code pages

struct KeyPiece {
  char key;
  const char16_t* text;
};
struct HighPiece {
  int code;
  const char16_t* text;
};

// Nelira98: the keys carry the Wijesekara typewriter layout.
constexpr KeyPiece kNeliraKeys[] = {
    {'`', u"\u0DCA\u200D\u0DBB"}, {'~', u"\u0DBB\u0DCA\u200D"}, {'q', u"\u0DD4"}, {'Q', u"\u0DD6"},
    {'w', u"\u0D85"}, {'W', u"\u0D8B"}, {'e', u"\u0DD0"}, {'E', u"\u0DD1"}, {'r', u"\u0DBB"},
    {'R', u"\u0D8D"}, {'t', u"\u0D91"}, {'T', u"\u0D94"}, {'y', u"\u0DC4"}, {'Y', u"\u0DC1"},
    {'u', u"\u0DB8"}, {'U', u"\u0DB9"}, {'i', u"\u0DC3"}, {'I', u"\u0DC2"}, {'o', u"\u0DAF"},
    {'O', u"\u0DB0"}, {'p', u"\u0DA0"}, {'P', u"\u0DA1"}, {'[', u"\u0DA4"}, {'{', u"\u0DA5"},
    {']', u";"}, {'}', u":"}, {'\\', u"\u0DC1\u0DCA\u200D\u0DBB\u0DD3"},
    {'|', u"\u0D9A\u0DCA\u200D\u0DC2"}, {'a', u"\u0DCA"}, {'A', u"\u0DDF"}, {'s', u"\u0DD2"},
    {'S', u"\u0DD3"}, {'d', u"\u0DCF"}, {'D', u"\u0DD8"}, {'f', u"\u0DD9"}, {'F', u"\u0DC6"},
    {'g', u"\u0DA7"}, {'G', u"\u0DA8"}, {'h', u"\u0DBA"}, {'H', u"\u0DCA\u200D\u0DBA"},
    {'j', u"\u0DC0"}, {'J', u"\u0DC5\u0DD4"}, {'k', u"\u0DB1"}, {'K', u"\u0DAB"}, {'l', u"\u0D9A"},
    {'L', u"\u0D9B"}, {';', u"\u0DAD"}, {':', u"\u0DAE"}, {'\'', u"."}, {'"', u","}, {'z', u"'"},
    {'Z', u"\""}, {'x', u"\u0D82"}, {'X', u"\u0D9E"}, {'c', u"\u0DA2"}, {'C', u"\u0DA3"},
    {'v', u"\u0DA9"}, {'V', u"\u0DAA"}, {'b', u"\u0D89"}, {'B', u"\u0D8A"}, {'n', u"\u0DB6"},
    {'N', u"\u0DB7"}, {'m', u"\u0DB4"}, {'M', u"\u0DB5"}, {',', u"\u0DBD"}, {'<', u"\u0DC5"},
    {'.', u"\u0D9C"}, {'>', u"\u0D9D"},
};

constexpr HighPiece kNeliraHigh[] = {
    {128, u"\u0D86"}, {129, u"\u0D87"}, {130, u"\u0D88"}, {131, u"\u0D8C"}, {132, u"\u0D8E"},
    {133, u"\u0D90"}, {134, u"\u0D92"}, {135, u"\u0D93"}, {136, u"\u0D95"}, {137, u"\u0D96"},
    {138, u"\u0DDB"}, {139, u"\u0DCF\u0DCA"}, {154, u"\u25CC"}, {184, u"\u25CC"},
    {202, u"\u0D9F"}, {203, u"\u0D8F"}, {210, u"\u0DA6"}, {211, u"\u0DAC"}, {212, u"\u0DB3"},
    {213, u"\u0DF2"}, {214, u"\u0D83"}, {215, u"\u0DF4"}, {220, u"\u0DF3"},
};

// Velan_nm: the keys carry Tamil by sound.
constexpr KeyPiece kVelanKeys[] = {
    {'a', u"\u0B85"}, {'A', u"\u0B86"}, {'i', u"\u0B87"}, {'I', u"\u0B88"}, {'u', u"\u0B89"},
    {'U', u"\u0B8A"}, {'e', u"\u0B8E"}, {'E', u"\u0B8F"}, {'o', u"\u0B92"}, {'O', u"\u0B93"},
    {'q', u"\u0B83"}, {'Q', u"\u0B90"}, {'k', u"\u0B95"}, {'g', u"\u0B99"}, {'c', u"\u0B9A"},
    {'J', u"\u0B9E"}, {'d', u"\u0B9F"}, {'N', u"\u0BA3"}, {'t', u"\u0BA4"}, {'w', u"\u0BA8"},
    {'n', u"\u0BA9"}, {'p', u"\u0BAA"}, {'m', u"\u0BAE"}, {'y', u"\u0BAF"}, {'r', u"\u0BB0"},
    {'R', u"\u0BB1"}, {'l', u"\u0BB2"}, {'L', u"\u0BB3"}, {'z', u"\u0BB4"}, {'v', u"\u0BB5"},
    {'j', u"\u0B9C"}, {'s', u"\u0BB7"}, {'S', u"\u0BB8"}, {'h', u"\u0BB9"}, {'Z', u"\u0BB6"},
    {'X', u"\u0B95\u0BCD\u0BB7"}, {'f', u"\u0BBE"}, {'b', u"\u0BBF"}, {'B', u"\u0BC0"},
    {'D', u"\u0BC6"}, {'F', u"\u0BC7"}, {'C', u"\u0BC8"}, {'x', u"\u0BCD"},
    // the u and uu signs of the grantha letters, drawn apart from the letter
    {'H', u"\u0BC1"}, {'G', u"\u0BC2"},
    {'K', u"\u0B95\u0BC1"}, {'M', u"\u0BAE\u0BC1"}, {'P', u"\u0BAA\u0BC1"}, {'T', u"\u0BA4\u0BC1"},
    {'V', u"\u0BB5\u0BC1"}, {'W', u"\u0BA8\u0BC1"}, {'Y', u"\u0BAF\u0BC1"}, {'`', u"\u0B9E\u0BC1"},
    {'~', u"\u0B9E\u0BC2"}, {'[', u"\u0B9A\u0BC1"}, {'{', u"\u0B9A\u0BC2"}, {']', u"\u0B9F\u0BC1"},
    {'}', u"\u0B9F\u0BC2"}, {'\\', u"\u0BA3\u0BC1"}, {'|', u"\u0BA3\u0BC2"}, {';', u"\u0BB0\u0BC1"},
    {'/', u"\u0BB0\u0BC2"}, {'<', u"\u0BB2\u0BC1"}, {'>', u"\u0BB2\u0BC2"}, {'=', u"\u0BB3\u0BC1"},
    {'+', u"\u0BB3\u0BC2"}, {'@', u"\u0BB4\u0BC1"}, {'#', u"\u0BB4\u0BC2"}, {'$', u"\u0BB1\u0BC1"},
    {'%', u"\u0BB1\u0BC2"}, {'^', u"\u0BA9\u0BC1"}, {'&', u"\u0BA9\u0BC2"}, {'*', u"\u0B99\u0BC1"},
    {'_', u"\u0B99\u0BC2"},
};

constexpr HighPiece kVelanHigh[] = {
    {202, u"\u0B95\u0BC2"}, {210, u"\u0BA4\u0BC2"}, {211, u"\u0BA8\u0BC2"}, {212, u"\u0BAA\u0BC2"},
    {214, u"\u0BAE\u0BC2"}, {220, u"\u0BAF\u0BC2"}, {213, u"\u0BB5\u0BC2"},
    {215, u"\u0BB8\u0BCD\u0BB0\u0BC0"}, {203, u"\u0B94"},
    {235, u"\u25CC"}, {244, u"\u25CC"}, {249, u"\u25CC"},
};

// The codes the function keys type in both scripts.
constexpr int kFunctionCodes[] = {202, 210, 211, 212, 213, 214, 215, 220};

struct ScriptTraits {
  char16_t blockFirst;
  char16_t auLengthMark;  // the Tamil au length mark, drawn with LLA; 0 for Sinhala
  bool isBlock(char16_t ch) const { return ch >= blockFirst && ch < blockFirst + 0x80; }
};

bool isSinhalaConsonant(char16_t ch) { return ch >= 0x0D9A && ch <= 0x0DC6; }
bool isTamilConsonant(char16_t ch) { return ch >= 0x0B95 && ch <= 0x0BB9; }
bool isConsonant(char16_t ch) { return isSinhalaConsonant(ch) || isTamilConsonant(ch); }
bool isIndependentVowel(char16_t ch) {
  return (ch >= 0x0D85 && ch <= 0x0D96) || (ch >= 0x0B83 && ch <= 0x0B94);
}

Role roleOf(const QString& text) {
  const char16_t first = text.front().unicode();
  if (text.size() == 1 && QStringView(u"\u0DD9\u0DDB\u0BC6\u0BC7\u0BC8").contains(text[0]))
    return Role::Prefix;
  if (first == kDottedCircle || isConsonant(first))
    return text.size() > 2 && text.endsWith(QChar(kZwj)) ? Role::Repaya : Role::Base;
  if (isIndependentVowel(first))
    return Role::Vowel;
  if (text.size() > 1 && text[1] == QChar(kZwj))
    return Role::Conjunct;
  if (first == 0x0D82 || first == 0x0D83)
    return Role::Nasal;
  if ((first >= 0x0DCA && first <= 0x0DF3) || (first >= 0x0BBE && first <= 0x0BD7))
    return Role::Sign;
  return Role::Literal;
}

class CodePage {
 public:
  explicit CodePage(FontScript script);

  QString toUnicode(QStringView codes) const;
  QString toCodes(QStringView unicode) const;

 private:
  void fillPieces(const KeyPiece* keys, size_t keyCount, const HighPiece* high, size_t highCount);
  void addSinhalaPrecomposed();
  void fillRanks();
  void buildLetterSpellings();
  void buildUnits();
  Spelling spellingOf(char16_t ch, int depth = 0) const;
  Spelling codeSpelling(int code) const;
  void appendCodes(Text& out, QStringView text, qsizetype& i, bool useUnits) const;

  FontScript script_;
  ScriptTraits traits_;
  std::array<Piece, 256> pieces_;
  Ranks ranks_{};
  // the best code showing each single character (-1: none)
  std::array<int, 0x10000> directCode_;
  std::array<Spelling, 0x80> letters_;  // by character - blockFirst
  std::array<std::vector<Unit>, 0x80> units_;
  int yansaya_ = -1, rakaransaya_ = -1, repaya_ = -1, lla_ = -1;
};

CodePage::CodePage(FontScript script) : script_(script) {
  traits_.blockFirst = script == FontScript::Sinhala ? 0x0D80 : 0x0B80;
  traits_.auLengthMark = script == FontScript::Sinhala ? 0 : 0x0BD7;
  if (script == FontScript::Sinhala) {
    fillPieces(kNeliraKeys, std::size(kNeliraKeys), kNeliraHigh, std::size(kNeliraHigh));
    addSinhalaPrecomposed();
  } else {
    fillPieces(kVelanKeys, std::size(kVelanKeys), kVelanHigh, std::size(kVelanHigh));
  }
  fillRanks();
  for (int code = 0; code < 256; ++code) {
    const Piece& p = pieces_[size_t(code)];
    if (p.role == Role::Repaya)
      repaya_ = code;
    else if (p.role == Role::Conjunct)
      (p.text.back() == QChar(0x0DBA) ? yansaya_ : rakaransaya_) = code;
    else if (script == FontScript::Tamil && p.text == u"\u0BB3")
      lla_ = code;
  }
  buildLetterSpellings();
  buildUnits();
}

void CodePage::fillPieces(const KeyPiece* keys, size_t keyCount, const HighPiece* high, size_t highCount) {
  for (int code = 33; code <= 126; ++code)
    pieces_[size_t(code)] = {Role::Literal, QString(QChar(code))};
  for (size_t i = 0; i < keyCount; ++i) {
    const QString text = QString::fromUtf16(keys[i].text);
    pieces_[size_t(uchar(keys[i].key))] = {roleOf(text), text};
  }
  for (size_t i = 0; i < highCount; ++i) {
    const QString text = QString::fromUtf16(high[i].text);
    pieces_[size_t(high[i].code)] = {roleOf(text), text};
  }
  for (Piece& p : pieces_) {
    if (p.role == Role::Repaya)  // without the carrier it is drawn on
      p.text = p.text.left(3);
    if (p.text == u"\u0DDB")  // kombu deka is two kombuvas
      p.text = QStringLiteral(u"\u0DD9\u0DD9");
  }
}

// Consonant + u and consonant + uu of every Sinhala consonant fill the free
// upper codes in pairs, in the order of the alphabet.
void CodePage::addSinhalaPrecomposed() {
  std::vector<int> free;
  for (int code = 140; code <= 255; ++code)
    if (pieces_[size_t(code)].role == Role::PassThrough && code != 173)
      free.push_back(code);
  size_t next = 0;
  for (char16_t c = 0x0D9A; c <= 0x0DC6; ++c) {
    if (c == 0x0DB2 || c == 0x0DBC || c == 0x0DBE || c == 0x0DBF)
      continue;
    for (const char16_t sign : {char16_t(0x0DD4), char16_t(0x0DD6)})
      pieces_[size_t(free[next++])] = {Role::Base, QString(QChar(c)) + QChar(sign)};
  }
}

void CodePage::fillRanks() {
  ranks_.fill(2);
  for (int code = 33; code <= 126; ++code)
    ranks_[size_t(code)] = 0;
  for (int code : kFunctionCodes)
    ranks_[size_t(code)] = 0;
  if (script_ == FontScript::Sinhala) {
    ranks_[203] = 0;  // F10
    // Keys of the typewriter layout that the phonetic layout leaves out,
    // and the two upper codes only the phonetic layout types.
    for (int code : {74, 92, 93, 94, 124, 125, 131, 136})
      ranks_[size_t(code)] = 1;
  }
}

Spelling CodePage::codeSpelling(int code) const {
  Spelling s;
  const Piece& p = pieces_[size_t(code)];
  (p.role == Role::Prefix ? s.prefix : p.role == Role::Base || p.role == Role::Vowel ? s.core : s.post)
      .add(uchar(code));
  s.rank = ranks_[size_t(code)];
  return s;
}

// The best spelling of one character: its own code, or the spellings of the
// two characters it is made of (canonically or in the font), whichever the
// key table types more easily.
Spelling CodePage::spellingOf(char16_t ch, int depth) const {
  Spelling best;
  if (directCode_[ch] >= 0)
    best = codeSpelling(directCode_[ch]);
  if (traits_.auLengthMark && ch == traits_.auLengthMark && lla_ >= 0) {
    best.post = {uchar(lla_)};
    best.rank = ranks_[size_t(lla_)];
  }
  if (depth > 3)
    return best;
  const auto consider = [&](const Pair& p) {
    if (p.composed != ch)
      return;
    const Spelling a = spellingOf(p.first, depth + 1), b = spellingOf(p.second, depth + 1);
    if (!a.valid() || !b.valid())
      return;
    Spelling both{a.prefix + b.prefix, a.core + b.core, a.post + b.post, std::max(a.rank, b.rank)};
    if (both.betterThan(best))
      best = both;
  };
  for (const Pair& p : kCanonicalPairs)
    consider(p);
  for (const Pair& p : kFontPairs)
    consider(p);
  return best;
}

void CodePage::buildLetterSpellings() {
  directCode_.fill(-1);
  for (int code = 0; code < 256; ++code) {
    const Piece& p = pieces_[size_t(code)];
    if (p.role == Role::PassThrough || p.text.size() != 1)
      continue;
    int& best = directCode_[p.text[0].unicode()];
    if (best < 0 || ranks_[size_t(code)] < ranks_[size_t(best)])
      best = code;
  }
  for (int i = 0; i < 0x80; ++i)
    letters_[size_t(i)] = spellingOf(char16_t(traits_.blockFirst + i));
}

// A piece of several characters (a conjunct, a letter with its u sign) is
// typed as one code when no spelling of its letters is typed as easily.
void CodePage::buildUnits() {
  for (int code = 0; code < 256; ++code) {
    const Piece& p = pieces_[size_t(code)];
    if (p.role != Role::Base || p.text.size() < 2)
      continue;
    qsizetype i = 0;
    Text apart;
    while (i < p.text.size())
      appendCodes(apart, p.text, i, false);
    int apartRank = 3;
    const QString apartCodes = QString::fromStdU16String(apart);
    if (toUnicode(apartCodes) == p.text) {
      apartRank = 0;
      for (const char16_t c : apart)
        apartRank = std::max<int>(apartRank, c < 256 ? ranks_[c] : 3);
    }
    const int rank = ranks_[size_t(code)];
    if (rank < apartRank || (rank == apartRank && apart.size() > 1)) {
      std::vector<Unit>& list = units_[size_t(p.text[0].unicode() - traits_.blockFirst)];
      const auto same = std::find_if(list.begin(), list.end(), [&](const Unit& u) { return u.text == p.text; });
      if (same == list.end())
        list.push_back({p.text, uchar(code)});
      else if (rank < ranks_[same->code])
        same->code = uchar(code);
    }
  }
  for (std::vector<Unit>& list : units_)
    std::sort(list.begin(), list.end(), [](const Unit& a, const Unit& b) { return a.text.size() > b.text.size(); });
}

// ------------------------------------------------------ codes to Unicode

// One syllable in the making, in logical order once it is written. The
// parts keep their buffers from one syllable to the next.
class SyllableWriter {
 public:
  SyllableWriter(Text& out) : out_(out) {}

  bool open() const { return open_; }
  bool hasSigns() const { return !signs_.empty(); }
  bool baseIs(char16_t ch) const { return base_.size() == 1 && base_[0] == ch; }
  const Text& prefix() const { return prefix_; }

  void addPrefix(const QString& text) {
    close();
    append(pending_, text);
  }
  void startBase(const QString& text) {
    close();
    open_ = true;
    append(base_, text);
    prefix_ += pending_;
    pending_.clear();
  }
  // Signs without a base stand on their own.
  void attach(Role role, const QString& text) {
    if (!open_) {
      writeLoose(text);
      return;
    }
    switch (role) {
      case Role::Repaya: repaya_ = true; break;
      case Role::Conjunct: append(conjunct_, text); break;
      case Role::Nasal: append(nasal_, text); break;
      default: append(signs_, text); break;
    }
  }
  void writeLoose(const QString& text) {
    flush();
    writeMerged(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())));
  }
  void flush() {
    close();
    writeMerged(pending_);
    pending_.clear();
  }
  void close() {
    if (!open_)
      return;
    open_ = false;
    const size_t start = out_.size();
    if (repaya_)
      out_ += u"\u0DBB\u0DCA\u200D";
    out_ += base_;
    out_ += conjunct_;
    for (const Text* part : {&prefix_, &signs_, &nasal_})
      for (const char16_t c : *part)
        appendMerged(out_, c, start, start);
    repaya_ = false;
    for (Text* part : {&base_, &conjunct_, &prefix_, &signs_, &nasal_})
      part->clear();
  }

 private:
  void writeMerged(std::u16string_view text) {
    const size_t start = out_.size();
    for (const char16_t c : text)
      appendMerged(out_, c, 0, start);
  }

  Text& out_;
  bool open_ = false;
  bool repaya_ = false;
  Text pending_, base_, conjunct_, prefix_, signs_, nasal_;
};

QString CodePage::toUnicode(QStringView codes) const {
  Text out;
  out.reserve(size_t(codes.size() + codes.size() / 2));
  SyllableWriter syllable(out);
  const qsizetype n = codes.size();
  const auto roleAt = [&](qsizetype k) {
    return k < n && codes[k].unicode() < 256 ? pieces_[codes[k].unicode()].role : Role::PassThrough;
  };
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = codes[i].unicode();
    const Role role = roleAt(i);
    const Piece& p = pieces_[c < 256 ? c : 0];
    switch (role) {
      case Role::PassThrough:
        syllable.flush();
        out.push_back(c);
        break;
      case Role::Literal:
        syllable.flush();
        append(out, p.text);
        break;
      case Role::Prefix:
        syllable.addPrefix(p.text);
        break;
      case Role::Base:
      case Role::Vowel:
        // LLA after an e-sign syllable (or after O) is the au length mark,
        // unless a sign of its own follows it.
        if (c == lla_ && syllable.open() && !syllable.hasSigns() && roleAt(i + 1) != Role::Sign &&
            (syllable.baseIs(0x0B92) ? syllable.prefix().empty() : syllable.prefix() == u"\u0BC6")) {
          syllable.attach(Role::Sign, QString(QChar(traits_.auLengthMark)));
          break;
        }
        syllable.startBase(p.text);
        break;
      default:
        syllable.attach(role, p.text);
        break;
    }
  }
  syllable.flush();
  return QString::fromStdU16String(out);
}

// ------------------------------------------------------ Unicode to codes

void appendSpelling(Text& out, const Codes& codes) {
  for (quint8 k = 0; k < codes.n; ++k)
    out.push_back(codes.c[k]);
}

// Converts the syllable (or the single character) at text[i] and moves i
// past it.
void CodePage::appendCodes(Text& out, QStringView text, qsizetype& i, bool useUnits) const {
  const qsizetype n = text.size();
  const auto at = [&](qsizetype k) { return k < n ? text[k].unicode() : char16_t(0); };
  char16_t ch = at(i);
  if (!traits_.isBlock(ch)) {
    const int code = directCode_[ch];
    out.push_back(code >= 0 ? char16_t(code) : ch);
    ++i;
    return;
  }
  const bool sinhala = script_ == FontScript::Sinhala;
  bool repaya = false;
  if (sinhala && ch == 0x0DBB && at(i + 1) == 0x0DCA && at(i + 2) == kZwj && isSinhalaConsonant(at(i + 3)) &&
      repaya_ >= 0) {
    repaya = true;
    i += 3;
    ch = at(i);
  }
  Spelling base;
  if (useUnits) {
    for (const Unit& u : units_[size_t(ch - traits_.blockFirst)]) {
      if (text.sliced(i).startsWith(u.text)) {
        base.core = {u.code};
        base.rank = 0;
        i += u.text.size();
        break;
      }
    }
  }
  const Spelling& own = letters_[size_t(ch - traits_.blockFirst)];
  if (!base.valid()) {
    if (!own.valid()) {  // a letter the font cannot show
      out.push_back(ch);
      ++i;
      return;
    }
    base = own;
    ++i;
  }
  Codes conjunct;
  if (sinhala && !base.core.isEmpty() && at(i) == 0x0DCA && at(i + 1) == kZwj) {
    const int code = at(i + 2) == 0x0DBA ? yansaya_ : at(i + 2) == 0x0DBB ? rakaransaya_ : -1;
    if (code >= 0) {
      conjunct = {uchar(code)};
      i += 3;
    }
  }
  Codes prefix = base.prefix, post = base.post;
  if (!base.core.isEmpty()) {
    while (i < n) {
      const char16_t s = at(i);
      if (s == kZwj || s == kZwnj) {
        ++i;
        continue;
      }
      if (!traits_.isBlock(s))
        break;
      const Spelling& sign = letters_[size_t(s - traits_.blockFirst)];
      if (!sign.valid() || !sign.core.isEmpty() || !prefix.fits(sign.prefix) || !post.fits(sign.post))
        break;  // a letter of its own, or more signs than one syllable holds
      prefix += sign.prefix;
      post += sign.post;
      ++i;
    }
  }
  appendSpelling(out, prefix);
  appendSpelling(out, base.core);
  appendSpelling(out, conjunct);
  if (repaya)
    out.push_back(char16_t(repaya_));
  appendSpelling(out, post);
}

// The canonical compositions of the two scripts, in one pass (Qt's own
// normalization takes quadratic time on long Sinhala or Tamil text). Other
// characters are left as they are: they pass through unconverted anyway.
QString composed(QStringView text) {
  Text out;
  out.reserve(size_t(text.size()));
  for (const QChar c : text)
    appendMerged(out, c.unicode(), 0, out.size() + 1);
  return QString::fromStdU16String(out);
}

QString CodePage::toCodes(QStringView unicode) const {
  const QString text = composed(unicode);
  Text out;
  out.reserve(size_t(text.size() + text.size() / 2));
  qsizetype i = 0;
  while (i < text.size()) {
    const char16_t ch = text[i].unicode();
    // joiners shape the letters around them; the fonts have no other forms
    if ((ch == kZwj || ch == kZwnj) && i > 0 && traits_.isBlock(text[i - 1].unicode())) {
      ++i;
      continue;
    }
    appendCodes(out, text, i, true);
  }
  return QString::fromStdU16String(out);
}

const CodePage& codePage(FontScript script) {
  static const CodePage sinhala(FontScript::Sinhala);
  static const CodePage tamil(FontScript::Tamil);
  return script == FontScript::Sinhala ? sinhala : tamil;
}

}  // namespace

std::optional<FontScript> fontScriptNamed(QStringView name) {
  if (name.compare(u"sinhala", Qt::CaseInsensitive) == 0)
    return FontScript::Sinhala;
  if (name.compare(u"tamil", Qt::CaseInsensitive) == 0)
    return FontScript::Tamil;
  return std::nullopt;
}

QString fontScriptName(FontScript script) {
  return script == FontScript::Sinhala ? QStringLiteral("Sinhala") : QStringLiteral("Tamil");
}

QString fontCodesToUnicode(QStringView codes, FontScript script) { return codePage(script).toUnicode(codes); }

QString unicodeToFontCodes(QStringView unicode, FontScript script) { return codePage(script).toCodes(unicode); }

bool containsScript(QStringView text, FontScript script) {
  const char16_t first = script == FontScript::Sinhala ? 0x0D80 : 0x0B80;
  return std::any_of(text.begin(), text.end(), [first](QChar c) { return c.unicode() >= first && c.unicode() < first + 0x80; });
}
