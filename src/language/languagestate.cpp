#include "language/languagestate.h"

#include "platform/paths.h"
#include "platform/prompter.h"

#include <QFile>
#include <QSettings>
#include <cmath>

LanguageState& language() {
  static LanguageState state;
  return state;
}

namespace {

constexpr int kFirstCode = 33;
constexpr int kLastCode = 255;
const QString kLineBreak = QStringLiteral("\r\n");

// Reads the fields of a comma-separated text one at a time: spaces before a
// field are skipped, a field may stand in double quotes, and line ends
// separate fields like commas do.
class FieldReader {
 public:
  explicit FieldReader(const QByteArray& data) : data_(data) {}

  bool atEnd() {
    skipBlanksAndLineEnds();
    return pos_ >= data_.size();
  }

  // The next field, or nothing at the end of the data.
  std::optional<QByteArray> next() {
    skipBlanksAndLineEnds();
    if (pos_ >= data_.size())
      return std::nullopt;
    QByteArray field;
    if (data_[pos_] == '"') {
      const qsizetype close = data_.indexOf('"', pos_ + 1);
      if (close < 0) {
        field = data_.mid(pos_ + 1);
        pos_ = data_.size();
        return field;
      }
      field = data_.mid(pos_ + 1, close - pos_ - 1);
      pos_ = close + 1;
      // Whatever follows the closing quote up to the separator is dropped.
      while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\n' && data_[pos_] != '\r')
        ++pos_;
    } else {
      const qsizetype start = pos_;
      while (pos_ < data_.size() && data_[pos_] != ',' && data_[pos_] != '\n' && data_[pos_] != '\r')
        ++pos_;
      field = data_.mid(start, pos_ - start).trimmed();
    }
    if (pos_ < data_.size() && data_[pos_] == ',')
      ++pos_;
    return field;
  }

 private:
  void skipBlanksAndLineEnds() {
    while (pos_ < data_.size() && (data_[pos_] == ' ' || data_[pos_] == '\t' || data_[pos_] == '\r' || data_[pos_] == '\n'))
      ++pos_;
  }

  QByteArray data_;
  qsizetype pos_ = 0;
};

// A field read as a number with its fractional part dropped toward minus
// infinity; nothing when it is not a finite number of sensible size.
std::optional<qint64> wholeNumber(const QByteArray& field) {
  bool ok = false;
  const double value = field.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value) || std::fabs(value) > 2147483647.0)
    return std::nullopt;
  return static_cast<qint64>(std::floor(value));
}

QString noticeLines(const QStringList& lines) { return lines.join(kLineBreak); }

}  // namespace

QString windows_directory() {
  QString dir = platform::windowsDirectory();
  while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
    dir.chop(1);
  return dir;
}

bool load_translit_table(const QString& path) {
  LanguageState& state = language();
  state.table_complete = false;
  const auto fail = [&path] {
    platform::msgBox(QStringLiteral("Missing ") + path);
    return false;
  };

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return fail();
  // The table is a few kilobytes; a file far bigger than any table is not one.
  constexpr qint64 kMaxTableBytes = 4 * 1024 * 1024;
  if (file.size() > kMaxTableBytes)
    return fail();
  QByteArray data = file.readAll();
  if (data.startsWith("\xEF\xBB\xBF"))  // a byte-order mark some editors add
    data.remove(0, 3);
  FieldReader reader(data);
  file.close();

  while (!reader.atEnd()) {
    std::array<std::optional<qint64>, 4> numbers;
    for (auto& number : numbers) {
      const std::optional<QByteArray> field = reader.next();
      if (!field)
        return fail();
      number = wholeNumber(*field);
      if (!number)
        return fail();
    }
    const qint64 key = *numbers[0];
    if (key < kFirstCode || key > kLastCode)
      return fail();
    TranslitRow& row = state.translit_table[static_cast<size_t>(key)];
    row[0] = key;
    row[1] = numbers[1];
    row[2] = numbers[2];
    row[3] = numbers[3];
  }
  state.table_complete = true;
  return true;
}

int translate_key(int code) {
  if (code < kFirstCode || code > kLastCode)
    return code;
  const LanguageState& state = language();
  const int mode = state.input_mode;
  if (mode < 0 || mode > 3)
    return 0;
  const std::optional<qint64>& entry = state.translit_table[static_cast<size_t>(code)][static_cast<size_t>(mode)];
  if (!entry) {
    // English still types every key when the table could not be read to its
    // end: a missing or broken file must not silence the keyboard.
    if (mode == ModeEnglish && !state.table_complete)
      return code;
    return 0;
  }
  // A replacement outside the code page types nothing.
  if (*entry < 0 || *entry > kLastCode)
    return 0;
  return static_cast<int>(*entry);
}

int function_key_index(int qtKey, Qt::KeyboardModifiers modifiers) {
  if (qtKey < Qt::Key_F4 || qtKey > Qt::Key_F12)
    return -1;
  int index = qtKey - Qt::Key_F4;
  const Qt::KeyboardModifiers state =
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (state == Qt::ShiftModifier)
    index += 6;
  return index;
}

QString key_sequence(int index) {
  if (index < 0 || index > 10)
    return {};
  return language().key_sequences[static_cast<size_t>(index)];
}

void set_key_sequences(int lang) {
  struct Entry {
    int sinhala, sinhalaFirst, tamil, tamilFirst;
  };
  // index: sequence code and the first character of the caption
  static constexpr std::array<Entry, 11> kEntries{{
      {202, 154, 202, 235},
      {210, 154, 210, 235},
      {211, 154, 211, 235},
      {212, 184, 212, 235},
      {214, 184, 214, 235},
      {220, 154, 220, 244},
      {203, 184, 202, 235},
      {0, 0, 0, 0},
      {0, 0, 0, 0},
      {213, 154, 213, 249},
      {215, 154, 215, 249},
  }};
  if (lang != Sinhala && lang != Tamil)
    return;
  LanguageState& state = language();
  for (size_t i = 0; i < kEntries.size(); ++i) {
    const Entry& e = kEntries[i];
    const int code = lang == Sinhala ? e.sinhala : e.tamil;
    const int first = lang == Sinhala ? e.sinhalaFirst : e.tamilFirst;
    if (code == 0) {
      state.key_sequences[i].clear();
      state.key_captions[i].clear();
      continue;
    }
    state.key_sequences[i] = QString(QChar(code));
    state.key_captions[i] = QString(QChar(first)) + QChar(code);
  }
  state.key_font_name = lang == Sinhala ? kSinhalaFont : kTamilFont;
}

void set_language(int choice) {
  LanguageState& state = language();
  QString font;
  switch (choice) {
    case Sinhala:
      state.current_language = Sinhala;
      font = kSinhalaFont;
      state.input_mode = ModeSinhalaPhonetic;
      set_key_sequences(Sinhala);
      break;
    case Tamil:
      state.current_language = Tamil;
      font = kTamilFont;
      state.input_mode = ModeTamilPhonetic;
      set_key_sequences(Tamil);
      break;
    case English:
      font = state.current_language == Sinhala ? kSinhalaFont
             : state.current_language == Tamil ? kTamilFont
                                               : state.display_font_name;
      state.current_language = English;
      state.input_mode = ModeEnglish;
      set_key_sequences(English);
      break;
    default:
      font = state.display_font_name;
      break;
  }
  state.display_font_name = font;
  state.display_font_size = 14;
}

void set_input_mode(int mode) {
  LanguageState& state = language();
  if (state.current_language != Sinhala)
    return;
  state.input_mode = mode;
}

void init_language_support() {
  LanguageState& state = language();
  state.current_language = Sinhala;
  state.input_mode = ModeSinhalaPhonetic;
  state.windows_dir = windows_directory();
  state.translit_table = TranslitTable{};
  state.table_complete = false;
  load_translit_table(platform::joinPath(platform::programFolder(), QStringLiteral("neltex.csv")));
  set_key_sequences(Sinhala);
  state.default_font_size = 12;
  state.default_font_name = kSinhalaFont;
  state.display_font_name = state.default_font_name;
  state.display_font_size = state.default_font_size;
}

QStringList picker_entries() {
  QStringList entries;
  for (int code = 31; code <= 255; ++code)
    entries.append(QString(QChar(code)));
  return entries;
}

QString font_download_address() {
  const QString path = platform::joinPath(platform::programFolder(), QStringLiteral("tovelmail.conf"));
  if (!QFile::exists(path))
    return {};
  QSettings conf(path, QSettings::IniFormat);
  return conf.value(QStringLiteral("fonts/download_address")).toString().trimmed();
}

QString sinhala_tag_notice() {
  return noticeLines({QStringLiteral("This is a Sinhala Email"),
                      QStringLiteral("Please use Nelira98 Font to read this mail"),
                      QStringLiteral("If you havent got this Font download it from ") + font_download_address(),
                      QString(35, QLatin1Char('-'))});
}

QString tamil_tag_notice() {
  return noticeLines({QStringLiteral("This is a Tamil Email"),
                      QStringLiteral("Please use Velan_nm Font to read this mail"),
                      QStringLiteral("If you havent got this Font download it from ") + font_download_address(),
                      QString(35, QLatin1Char('-'))});
}

QString sinhala_attach_notice() {
  return noticeLines({QStringLiteral("This is a Sinhala Email"),
                      QStringLiteral("Please save the attached Font in your C:\\windows\\fonts folder"),
                      QStringLiteral("Then Click Start >Settings >Control Pannel >Fonts"),
                      QStringLiteral("To Install the Nelira98 font to view the Sinhala Message"),
                      QString(43, QLatin1Char('-'))}) +
         kLineBreak;
}

QString tamil_attach_notice() {
  return noticeLines({QStringLiteral("This is a Tamil Email"),
                      QStringLiteral("Please save the attached Font in your C:\\windows\\fonts folder"),
                      QStringLiteral("Then Click Start >Settings >Control Pannel >Fonts"),
                      QString(43, QLatin1Char('-'))}) +
         kLineBreak;
}

QString font_file_path(int lang) {
  QString dir = language().windows_dir;
  if (dir.isEmpty())
    dir = windows_directory();
  return platform::joinPath(dir, QStringLiteral("fonts"), lang == Tamil ? kTamilFontFile : kSinhalaFontFile);
}
