// The views on big text, in the real main window (offscreen): a damaged
// message whose header block is 300 kB, and one whose header or body holds
// a 300 kB line of one letter (no place to break it), each shown with
// Headers on or selected in the list; a 300 kB line of the longest words
// that are still wrapped; a 20 MB all-text message selected;
// the source window of both big messages; and the compose body after a
// reply quoting the long line and after a text file of it is opened. Each
// figure is the time until the view is laid out in full and painted (the
// process's processor time, steady on a busy machine, and the wall time),
// with its anchor measured in the same run: a plain unwrapping QPlainTextEdit of
// the same size and font given the same text (it lays out only the lines
// on screen, so it is a floor, not a rival).
//
//   bench_views [headerKB=300] [textMB=20] [language=0] [rounds=3]
// language: the Language menu item chosen first (0 Sinhala, 1 Tamil,
// 2 English), which sets the view's font.
#include "benchmailbox.h"
#include "compose/newmessage.h"
#include "editing/bodytext.h"
#include "editing/textlayout.h"
#include "reading/sourcedisplay.h"
#include "shell/mailform.h"
#include "store/mailstore.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

const QByteArray kHeader = "From: Ann <ann@example.lk>\r\nTo: me@example.org\r\nDate: Sun, 6 Dec 2026 10:00:00 +0000\r\n";

// Received lines, one endless line of 8-bit junk without a blank, and no
// empty line before the end of the file: the whole file is header.
QByteArray damagedHeaderMessage(qsizetype bytes) {
  QByteArray m = kHeader + "Subject: damaged header\r\n";
  for (int n = 0; m.size() < bytes * 2 / 3; ++n)
    m += "Received: from relay" + QByteArray::number(n) + ".example.lk by mx.example.org; Sun, 6 Dec 2026\r\n";
  m += "X-Junk: ";
  for (int n = 0; m.size() < bytes; ++n)
    m += char(0xA1 + n % 90);
  m += "\r\n";
  return m;
}

// A header line and a body line, each of one letter repeated.
QByteArray oneLetterMessage(qsizetype bytes) {
  return kHeader + "Subject: one letter\r\nX-Long: " + QByteArray(bytes, 'a') +
         "\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\nThe line:\r\n" + QByteArray(bytes, 'b') +
         "\r\nThe end.\r\n";
}

// A body line of words just short enough to be wrapped: the most measuring
// a wrapped line can cost.
QByteArray longWordsMessage(qsizetype bytes) {
  QByteArray line;
  while (line.size() < bytes)
    line += QByteArray(editing::kLongestWrappedRun - 1, 'w') + ' ';
  return kHeader + "Subject: long words\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\n" + line + "\r\n";
}

QByteArray allTextMessage(qsizetype bytes) {
  QByteArray m = kHeader + "Subject: all text\r\nMIME-Version: 1.0\r\n"
                 "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n";
  m.reserve(bytes + 100);
  while (m.size() < bytes)
    m += "Line of an ordinary long report, with some 8-bit font codes \xe0\xe1\xe7 in it, number " +
         QByteArray::number(m.size()) + ".\r\n";
  return m;
}

int rounds = 3;

// A rich-text box lays out the rest of its text in steps after the first
// screen; the time counts until its last line is placed.
void layOutFully(QWidget* widget) {
  if (auto* box = qobject_cast<QTextEdit*>(widget)) {
    QTextDocument* doc = box->document();
    doc->documentLayout()->blockBoundingRect(doc->lastBlock());
    doc->documentLayout()->documentSize();
  }
}

struct Figure {
  double cpu = 0;   // ms of this process's processor time: steady on a busy machine
  double wall = 0;  // ms the window was busy
};

double cpuNow() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Runs the step after prepare, laid out, painted and its events handled;
// the medians of the rounds.
Figure timed(const std::function<void()>& prepare, const std::function<void()>& step,
             const std::function<QWidget*()>& painted) {
  QList<double> cpu, wall;
  for (int round = 0; round < rounds; ++round) {
    prepare();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuNow();
    step();
    if (QWidget* widget = painted()) {
      layOutFully(widget);
      widget->repaint();
    }
    QApplication::processEvents();
    cpu << cpuNow() - cpuStart;
    wall << timer.nsecsElapsed() / 1e6;
  }
  return {median(cpu), median(wall)};
}

QString textOf(QWidget* widget) {
  if (auto* box = qobject_cast<QTextEdit*>(widget))
    return box->toPlainText();
  return static_cast<QPlainTextEdit*>(widget)->toPlainText();
}

// The anchor: an unwrapping plain text edit of the view's size and font
// given the view's text.
Figure plainAnchor(QWidget* view) {
  const QString text = textOf(view);
  QPlainTextEdit plain;
  plain.setLineWrapMode(QPlainTextEdit::NoWrap);
  plain.setFont(view->font());
  plain.resize(view->size());
  plain.show();
  return timed([&] { plain.clear(); }, [&] { plain.setPlainText(text); }, [&] { return &plain; });
}

void report(const char* label, Figure figure, QWidget* view) {
  if (!view) {
    std::printf("%-32s not shown\n", label);
    return;
  }
  const Figure anchor = plainAnchor(view);
  std::printf("%-32s cpu %7.1f ms  wall %7.1f ms  anchor cpu %6.1f ms  ratio %6.2f  (%lld chars)\n", label,
              figure.cpu, figure.wall, anchor.cpu, figure.cpu / anchor.cpu, qint64(textOf(view).size()));
  std::fflush(stdout);
}

struct Bench {
  MailForm& form;
  QString root;

  void select(int row) {
    form.listMessages->setCurrentRow(row);
    QApplication::processEvents();
  }
  void headersOff() {
    if (form.ShowHeaders->isChecked())
      form.ShowHeaders_Click();
  }
  QWidget* view() { return form.textBody; }
  QWidget* source() { return form.sourceDisplay ? form.sourceDisplay->Text1 : nullptr; }
  QWidget* composeBody() { return newMessage()->txtBody; }
  // A compose window with nothing in it, so a reply asks nothing.
  static void freshCompose() {
    if (newMessageLoaded())
      newMessage()->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    newMessage()->show();
  }

  void headerView(const char* label, int row) {
    select(row);
    const Figure ms = timed([&] { headersOff(); }, [&] { form.ShowHeaders_Click(); }, [&] { return view(); });
    report(label, ms, view());
    headersOff();
  }
  void selectView(const char* label, int row) {
    const Figure ms = timed([&] { select(-1); }, [&] { select(row); }, [&] { return view(); });
    report(label, ms, view());
  }
  void sourceView(const char* label, int row) {
    select(row);
    const Figure ms = timed([] {}, [&] { form.ShowSourceMenu_Click(); }, [&] { return source(); });
    report(label, ms, source());
    if (form.sourceDisplay)
      form.sourceDisplay->hide();
  }
  void replyQuote(const char* label, int row) {
    select(row);
    form.ShowHeaders_Click();
    const Figure ms = timed(freshCompose, [&] { form.cmdReply_Click(); }, [&] { return composeBody(); });
    report(label, ms, composeBody());
    headersOff();
    freshCompose();
  }
  void openedFile(const char* label, const QString& text) {
    const Figure ms =
        timed(freshCompose, [&] { editing::replaceAll(newMessage()->txtBody, text); }, [&] { return composeBody(); });
    report(label, ms, composeBody());
    freshCompose();
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  const qsizetype lineBytes = qsizetype(argc > 1 ? std::max(1, atoi(argv[1])) : 300) * 1024;
  const qsizetype textBytes = qsizetype(argc > 2 ? std::max(1, atoi(argv[2])) : 20) * 1024 * 1024;
  const int language = argc > 3 ? std::clamp(atoi(argv[3]), 0, 2) : 0;
  rounds = argc > 4 ? std::max(1, atoi(argv[4])) : 3;

  QTemporaryDir temp;
  const QString root = useBenchMailbox(temp);
  QDir().mkpath(root + QStringLiteral("Views"));
  const QString folder = root + QStringLiteral("Views/");
  writeFile(folder + MailStore::msgFileName(1), damagedHeaderMessage(lineBytes));
  writeFile(folder + MailStore::msgFileName(2), allTextMessage(textBytes));
  writeFile(folder + MailStore::msgFileName(3), oneLetterMessage(lineBytes));
  writeFile(folder + MailStore::msgFileName(4), longWordsMessage(lineBytes));

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
  if (form.listMessages->count() != 4) {
    std::fprintf(stderr, "listed %d of 4 messages\n", form.listMessages->count());
    return 1;
  }

  Bench bench{form, root};
  bench.headerView("header view, damaged header", 0);
  bench.headerView("header view, one-letter line", 2);
  bench.selectView("select one-letter body line", 2);
  bench.selectView("select line of longest words", 3);
  bench.selectView("select all-text message", 1);
  bench.sourceView("source, one-letter lines", 2);
  bench.sourceView("source, all-text message", 1);
  bench.replyQuote("reply quoting one-letter lines", 2);
  bench.openedFile("compose, file of one letter", QString(lineBytes, QLatin1Char('c')));

  // Where the time of the all-text message goes: the control's load, then
  // gathering the parts.
  QElapsedTimer step;
  step.start();
  form.Mail1->loadFile(folder + MailStore::msgFileName(2));
  const double load = step.nsecsElapsed() / 1e6;
  step.restart();
  const reading::RenderedMessage rendered = reading::MessageRenderer(*form.Mail1, false).render();
  std::printf("  all-text: load %.1f ms, gathering the text %.1f ms (%d lines)\n", load, step.nsecsElapsed() / 1e6,
              rendered.lineCount());
  return 0;
}
