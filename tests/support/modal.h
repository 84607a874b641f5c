#pragma once
// Answers the next modal dialog: once it is up, runs `answer` on it.
#include <QApplication>
#include <QTimer>
#include <functional>

inline void whenModalAppears(std::function<void(QWidget*)> answer, int triesLeft = 200) {
  QTimer::singleShot(10, [answer, triesLeft] {
    if (QWidget* modal = QApplication::activeModalWidget())
      answer(modal);
    else if (triesLeft > 0)
      whenModalAppears(answer, triesLeft - 1);
  });
}
