#pragma once
// The program-wide language state: which language the user writes, which
// column of the transliteration table typed keys go through, the function-key
// sequences, and the font the compose window types in. The functions below
// are the whole of the key handling that the compose window calls; they need
// no window.
#include <QString>
#include <QStringList>
#include <Qt>
#include <array>
#include <optional>

// One row per character code; columns 0 (English) to 3 (Tamil phonetic). An
// entry no record filled stays empty.
using TranslitRow = std::array<std::optional<qint64>, 4>;
using TranslitTable = std::array<TranslitRow, 256>;

struct LanguageState {
  int current_language = 0;  // 0 Sinhala, 1 Tamil, 2 English
  int input_mode = 1;        // 0 English, 1 Sinhala phonetic, 2 Wijesekara, 3 Tamil phonetic
  QString display_font_name = QStringLiteral("Nelira98");
  int display_font_size = 12;
  QString default_font_name = QStringLiteral("Nelira98");
  int default_font_size = 12;
  QString windows_dir;

  TranslitTable translit_table{};
  // True once a table file was read to its end without a bad record.
  bool table_complete = false;

  // The text each function key or keyfunc button types (entries 7 and 8 stay
  // empty), the buttons' captions and the font they are shown in.
  std::array<QString, 11> key_sequences{};
  std::array<QString, 11> key_captions{};
  QString key_font_name;
};

LanguageState& language();

// Language numbers and input modes.
enum Language { Sinhala = 0, Tamil = 1, English = 2 };
enum InputMode { ModeEnglish = 0, ModeSinhalaPhonetic = 1, ModeWijesekara = 2, ModeTamilPhonetic = 3 };

inline const QString kSinhalaFont = QStringLiteral("Nelira98");
inline const QString kTamilFont = QStringLiteral("Velan_nm");
inline const QString kEnglishFont = QStringLiteral("Verdana");
inline const QString kSinhalaFontFile = QStringLiteral("nelira98.ttf");
inline const QString kTamilFontFile = QStringLiteral("velanamv.ttf");

// Start-up: language Sinhala, Sinhala phonetic input, the table read from the
// program's folder, the Sinhala key sequences and the start-up fonts.
void init_language_support();

// Fills language().translit_table from the file at path. The first bad
// record (or a missing file) stops the reading with the message "Missing "
// and the path; the records read before it stay. Returns true when the whole
// file was read.
bool load_translit_table(const QString& path);

// The Windows directory stand-in (the folder whose fonts/ holds the fonts).
QString windows_directory();

// Sets the key sequences, captions and caption font for 0 Sinhala or
// 1 Tamil; any other value leaves them as they are.
void set_key_sequences(int language);

// 0 Sinhala, 1 Tamil, 2 English: language, input mode, display font (size 14)
// and key sequences. English keeps the font of the language before it.
void set_language(int choice);

// Sets the input mode only while the language is Sinhala.
void set_input_mode(int mode);

// The character code one typed character becomes in the present input mode:
// 0 means the key is swallowed. Codes below 33 and above 255 pass unchanged.
int translate_key(int code);

// The key-sequence index of a function key (F4 = 0 ... F12 = 8, Shift alone
// adds 6), or -1 for any other key.
int function_key_index(int qtKey, Qt::KeyboardModifiers modifiers);

// The text a key-sequence index types; empty outside 0..10.
QString key_sequence(int index);

// The character picker's entries: the characters with codes 31 to 255.
QStringList picker_entries();

// The notice texts of the compose window's Attach menu.
QString sinhala_tag_notice();
QString tamil_tag_notice();
QString sinhala_attach_notice();
QString tamil_attach_notice();

// Where the font file of a language (0 Sinhala, 1 Tamil) is taken from when
// it is attached to a message.
QString font_file_path(int language);

// The address the tag notices send readers to for the fonts; a value of the
// installation, read from tovelmail.conf in the program's folder.
QString font_download_address();
