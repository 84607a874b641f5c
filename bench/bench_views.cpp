// The message view on big text, in the real main window (offscreen): a
// damaged message whose header block is 300 kB shown with Headers on, and a
// 20 MB all-text message selected in the list. Each figure is printed with
// its anchor measured in the same run: a plain QPlainTextEdit of the same
// size and font given the same text with setPlainText.
//
//   bench_views [headerKB=300] [textMB=20] [language=0]
// language: the Language menu item chosen first (0 Sinhala, 1 Tamil,
// 2 English), which sets the view's font.
#include "benchmailbox.h"
#include "shell/mailform.h"
#include "store/mailstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Received lines, one endless line of 8-bit junk without a blank, and no
// empty line before the end of the file: the whole file is header.
QByteArray damagedHeaderMessage(qsizetype bytes) {
  QByteArray m = "From: Ann <ann@example.lk>\r\nTo: me@example.org\r\nSubject: damaged header\r\n"
                 "Date: Sun, 6 Dec 2026 10:00:00 +0000\r\n";
  for (int n = 0; m.size() < bytes * 2 / 3; ++n)
    m += "Received: from relay" + QByteArray::number(n) + ".example.lk by mx.example.org; Sun, 6 Dec 2026\r\n";
  m += "X-Junk: ";
  for (int n = 0; m.size() < bytes; ++n)
    m += char(0xA1 + n % 90);
  m += "\r\n";
  return m;
}

QByteArray allTextMessage(qsizetype bytes) {
  QByteArray m = "From: Ann <ann@example.lk>\r\nTo: me@example.org\r\nSubject: all text\r\n"
                 "Date: Sun, 6 Dec 2026 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
                 "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n";
  m.reserve(bytes + 100);
  while (m.size() < bytes)
    m += "Line of an ordinary long report, with some 8-bit font codes \xe0\xe1\xe7 in it, number " +
         QByteArray::number(m.size()) + ".\r\n";
  return m;
}

// Runs the step three times after prepare, painted and its events handled.
double timed(const std::function<void()>& prepare, const std::function<void()>& step, QWidget* painted) {
  QList<double> times;
  for (int round = 0; round < 3; ++round) {
    prepare();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    step();
    painted->repaint();
    QApplication::processEvents();
    times << timer.nsecsElapsed() / 1e6;
  }
  return median(times);
}

// The anchor: a plain text edit of the view's size and font given the text.
double plainAnchor(const QTextEdit* view, const QString& text) {
  QPlainTextEdit plain;
  plain.setFont(view->font());
  plain.resize(view->size());
  plain.show();
  return timed([&] { plain.clear(); }, [&] { plain.setPlainText(text); }, &plain);
}

void report(const char* label, double ms, double anchor, const QTextEdit* view) {
  std::printf("%-28s %9.1f ms  anchor %8.1f ms  ratio %5.2f  (goal < 1000 ms; view %lld chars)\n", label, ms,
              anchor, ms / anchor, qint64(view->document()->characterCount()));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  const qsizetype headerBytes = qsizetype(argc > 1 ? std::max(1, atoi(argv[1])) : 300) * 1024;
  const qsizetype textBytes = qsizetype(argc > 2 ? std::max(1, atoi(argv[2])) : 20) * 1024 * 1024;
  const int language = argc > 3 ? std::clamp(atoi(argv[3]), 0, 2) : 0;

  QTemporaryDir temp;
  const QString root = useBenchMailbox(temp);
  QDir().mkpath(root + QStringLiteral("Views"));
  writeFile(root + QStringLiteral("Views/") + MailStore::msgFileName(1), damagedHeaderMessage(headerBytes));
  writeFile(root + QStringLiteral("Views/") + MailStore::msgFileName(2), allTextMessage(textBytes));

  storeBenchAccount(temp);

  MailForm form;
  form.Form_Load(false);
  form.resize(1200, 800);
  form.mnuLangSinh_Click(language);
  QApplication::processEvents();
  std::printf("view font: %s\n", qPrintable(form.textBody->font().family()));
  for (int i = 0; i < form.listFolders->count(); ++i)
    if (form.listFolders->item(i)->text() == QLatin1String("Views"))
      form.listFolders->setCurrentRow(i);
  QApplication::processEvents();
  if (form.listMessages->count() != 2) {
    std::fprintf(stderr, "listed %d of 2 messages\n", form.listMessages->count());
    return 1;
  }

  // Headers switched on for the damaged message (off again before each round).
  form.listMessages->setCurrentRow(0);
  QApplication::processEvents();
  const double headers = timed(
      [&] {
        if (form.ShowHeaders->isChecked())
          form.ShowHeaders_Click();
      },
      [&] { form.ShowHeaders_Click(); }, form.textBody);
  report("header view, damaged header", headers, plainAnchor(form.textBody, form.shown_view.text()),
         form.textBody);
  form.ShowHeaders_Click();

  const double select = timed([&] { form.listMessages->setCurrentRow(-1); },
                              [&] { form.listMessages->setCurrentRow(1); }, form.textBody);
  report("select all-text message", select, plainAnchor(form.textBody, form.shown_view.text()),
         form.textBody);
  // Where the time goes: the control's load, then gathering the parts.
  QElapsedTimer step;
  step.start();
  form.Mail1->loadFile(root + QStringLiteral("Views/") + MailStore::msgFileName(2));
  const double load = step.nsecsElapsed() / 1e6;
  step.restart();
  const reading::RenderedMessage rendered = reading::MessageRenderer(*form.Mail1, false).render();
  std::printf("  of which load %.1f ms, gathering the text %.1f ms (%d lines)\n", load, step.nsecsElapsed() / 1e6,
              rendered.lineCount());
  return 0;
}
