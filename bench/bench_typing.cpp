// Typing into the compose body of a 100 kB message: each key through the
// Sinhala phonetic table into the window's body and painted before the next
// key, against the same keys typed into a plain text box holding the
// same text without any translation; then the same written in Unicode
// (each key's word converted as it is typed), against the plain box given
// the Unicode those keys make, a character a key.
//   QT_QPA_PLATFORM=offscreen bench_typing [keys]
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextEdit>
#include <algorithm>
#include <cstdio>

#include "compose/newmessage.h"
#include "language/fonts.h"
#include "language/fontunicode.h"
#include "language/languagestate.h"

namespace {

QString hundredKilobytes() {
  const QString line = QStringLiteral("isxy, NdIdj' ,xldj' uu f.or hkjd' mq nq lq uQ mD m` ldl isxy, NdIdj");
  QString text;
  while (text.size() < 100 * 1024)
    text += line + QLatin1Char('\n');
  return text;
}

const QString kLetters = QStringLiteral("siVhl BA]Av egdr ");

// Milliseconds per key for `keys` keys typed at the middle of the box; with
// paint, each key is also laid out and painted before the next one.
double typeInto(QTextEdit* box, int keys, bool paint, const QString& letters = kLetters) {
  QTextCursor middle = box->textCursor();
  middle.setPosition(box->document()->characterCount() / 2);
  box->setTextCursor(middle);
  box->setFocus();
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < keys; ++i) {
    const QString ch(letters.at(i % letters.size()));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, ch);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, ch);
    QCoreApplication::sendEvent(box, &press);
    QCoreApplication::sendEvent(box, &release);
    if (paint)
      QCoreApplication::processEvents();
  }
  const double ms = double(timer.nsecsElapsed()) / 1e6 / keys;
  QCoreApplication::processEvents();
  return ms;
}

double median(QList<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int keys = argc > 1 ? std::max(100, atoi(argv[1])) : 2000;
  registerBundledFonts();
  init_language_support();
  const QString text = hundredKilobytes();

  NewMessage* compose = newMessage();
  compose->resize(800, 600);
  compose->show();
  compose->sin_ph_Click();
  QTextEdit plain;
  plain.setFont(compose->txtBody->font());
  plain.resize(compose->txtBody->size());
  plain.show();

  std::printf("typing %d keys into a %lld kB body (median of 3 rounds)\n", keys,
              static_cast<long long>(text.size() / 1024));
  for (const bool unicode : {false, true}) {
    compose->setWritesUnicode(unicode);
    const QString body = unicode ? fontCodesToUnicode(text, FontScript::Sinhala) : text;
    QString typed;
    for (const QChar key : kLetters)
      typed += QChar(translate_key(key.unicode()));
    const QString plainLetters = unicode ? fontCodesToUnicode(typed, FontScript::Sinhala) : kLetters;
    for (const bool paint : {false, true}) {
      QList<double> ours, anchor;
      for (int round = 0; round < 3; ++round) {
        compose->setBodyText(body);
        plain.setPlainText(body);
        ours.append(typeInto(compose->txtBody, keys, paint));
        anchor.append(typeInto(&plain, keys, paint, plainLetters));
      }
      std::printf("ms per key, %s%s: compose body %.3f  plain text box %.3f  ratio %.2f\n",
                  paint ? "painted after each key" : "key handling", unicode ? ", in Unicode" : "", median(ours),
                  median(anchor), median(ours) / median(anchor));
    }
  }
  compose->Unload();
  return 0;
}
