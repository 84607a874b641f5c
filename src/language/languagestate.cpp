#include "language/languagestate.h"

LanguageState& language() {
  static LanguageState state;
  return state;
}
