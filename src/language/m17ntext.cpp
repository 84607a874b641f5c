#include "language/m17ntext.h"

#include <algorithm>

namespace {

constexpr qsizetype kWordReach = 48;

// Joiners steer how a conjunct is drawn; a font shows the conjunct by its
// own codes, so they do not count when the result is compared.
QString comparable(QString text) {
  text.remove(QChar(0x200C));
  text.remove(QChar(0x200D));
  return text.normalized(QString::NormalizationForm_C);
}

}  // namespace

std::optional<QString> fontCodesShowing(const QString& unicode, FontScript script) {
  const QString codes = unicodeToFontCodes(unicode, script);
  if (std::any_of(codes.begin(), codes.end(), [](QChar c) { return c.unicode() > 255; }))
    return std::nullopt;
  if (comparable(fontCodesToUnicode(codes, script)) != comparable(unicode))
    return std::nullopt;
  return codes;
}

namespace {

CaretEdit replaceWord(QStringView codesBefore, const QString& codes) {
  const qsizetype shorter = std::min(codesBefore.size(), codes.size());
  qsizetype same = 0;
  while (same < shorter && codesBefore[same] == codes[same])
    ++same;
  return CaretEdit{int(codesBefore.size() - same), codes.mid(same), QString()};
}

}  // namespace

QString withoutLastCharacters(QString text, int count) {
  while (count-- > 0 && !text.isEmpty())
    text.chop(text.size() > 1 && text.back().isLowSurrogate() ? 2 : 1);
  return text;
}

qsizetype wordStartBefore(QStringView textBeforeCaret) {
  const qsizetype reach = std::max<qsizetype>(0, textBeforeCaret.size() - kWordReach);
  for (qsizetype i = textBeforeCaret.size(); i > reach; --i) {
    const QChar c = textBeforeCaret[i - 1];
    if (c == QLatin1Char(' ') || c == QLatin1Char('\n') || c == QChar::ParagraphSeparator || c == QLatin1Char('\t'))
      return i;
  }
  return reach;
}

CaretEdit typeIntoFontCodes(QStringView codesBefore, QStringView typed, FontScript script) {
  const QString word = fontCodesToUnicode(codesBefore, script);
  if (const std::optional<QString> codes = fontCodesShowing(word + typed.toString(), script))
    return replaceWord(codesBefore, *codes);
  // Something in it has no codes: keep every character that can go in.
  QString accepted, refused;
  for (const char32_t c : typed.toUcs4()) {
    const QString one = QString::fromUcs4(&c, 1);
    if (fontCodesShowing(word + accepted + one, script))
      accepted += one;
    else
      refused += one;
  }
  CaretEdit edit = accepted.isEmpty() ? CaretEdit{} : replaceWord(codesBefore, *fontCodesShowing(word + accepted, script));
  edit.refused = refused;
  return edit;
}

CaretEdit deleteFromFontCodes(QStringView codesBefore, int count, FontScript script) {
  const QString word = withoutLastCharacters(fontCodesToUnicode(codesBefore, script), count);
  return replaceWord(codesBefore, unicodeToFontCodes(word, script));
}

// ------------------------------------------------------------- typed text

QString M17nTypedText::unicodeBefore(int count) const {
  const QStringView word = QStringView(text_).mid(wordStartBefore(text_));
  const QString unicode = script_ ? fontCodesToUnicode(word, *script_) : word.toString();
  return unicode.right(count);
}

void M17nTypedText::attach(M17nInput& input) {
  input.textBeforeCaret = [this](int count) { return unicodeBefore(count); };
  input.deleteBeforeCaret = [this](int count) {
    if (!script_) {
      text_ = withoutLastCharacters(text_, count);
      return;
    }
    const qsizetype start = wordStartBefore(text_);
    const CaretEdit edit = deleteFromFontCodes(QStringView(text_).mid(start), count, *script_);
    text_.chop(edit.removeBefore);
    text_ += edit.insert;
  };
}

void M17nTypedText::insert(const QString& unicode) {
  if (unicode.isEmpty())
    return;
  if (!script_) {
    text_ += unicode;
    return;
  }
  const qsizetype start = wordStartBefore(text_);
  const CaretEdit edit = typeIntoFontCodes(QStringView(text_).mid(start), unicode, *script_);
  text_.chop(edit.removeBefore);
  text_ += edit.insert;
  refused_ += edit.refused;
}

void M17nTypedText::removeLast(int count) {
  // The box's own Backspace takes one character, whatever it is.
  text_.chop(std::min<qsizetype>(count, text_.size()));
}

void M17nTypedText::key(M17nInput& input, const QString& keyName) {
  if (keyName == QLatin1String(" ")) {
    commit(input);
    insert(keyName);
    return;
  }
  if (keyName == QLatin1String("BackSpace") && !input.pending()) {
    removeLast(1);  // the box's own Backspace
    return;
  }
  const M17nInput::Step step = input.feed(keyName);
  insert(step.committed);
  if (!step.keyUnused)
    return;
  if (keyName == QLatin1String("BackSpace"))
    removeLast(1);
  else if (keyName == QLatin1String("Return"))
    insert(QStringLiteral("\n"));
  else if (keyName.size() == 1)
    insert(keyName);
}

void M17nTypedText::typeLine(M17nInput& input, QStringView keys) {
  for (const QChar c : keys)
    key(input, c == QLatin1Char('\b') || c.unicode() == 0x7F ? QStringLiteral("BackSpace") : QString(c));
  commit(input);
}

void M17nTypedText::commit(M17nInput& input) { insert(input.commit()); }
