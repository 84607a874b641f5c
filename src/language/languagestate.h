#pragma once
// The program-wide language state: which language the user writes, which
// column of the transliteration table typed keys go through, and the font
// the compose window types in.
#include <QString>

struct LanguageState {
  int current_language = 0;  // 0 Sinhala, 1 Tamil, 2 English
  int input_mode = 1;        // 0 English, 1 Sinhala phonetic, 2 Wijesekara, 3 Tamil phonetic
  QString display_font_name = QStringLiteral("Nelira98");
  int display_font_size = 12;
};

LanguageState& language();
