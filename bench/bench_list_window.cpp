// Listing a large folder in the main window, against the time needed merely
// to read every file's header block with plain reads, measured in the same
// run; and the time to show one 20 MB message once it is selected.
//
//   bench_list_window [messages=10000] [bigEvery=100] [bigMegabytes=3]
//
// Prints one line per figure; the listing is given as a ratio to its anchor.
#include "benchmailbox.h"
#include "reading/messagerenderer.h"
#include "shell/mailform.h"
#include "store/mailstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray base64Lines(const QByteArray& data) {
  const QByteArray b64 = data.toBase64();
  QByteArray out;
  out.reserve(b64.size() + b64.size() / 76 * 2 + 2);
  for (qsizetype i = 0; i < b64.size(); i += 76) {
    out += b64.mid(i, 76);
    out += "\r\n";
  }
  return out;
}

QByteArray randomBytes(QRandomGenerator& random, qsizetype size) {
  QByteArray data(size, Qt::Uninitialized);
  for (qsizetype i = 0; i < size; ++i)
    data[i] = char(random.generate() & 0xFF);
  return data;
}

QByteArray makeMessage(QRandomGenerator& random, int n, qsizetype attachmentBytes, qsizetype textBytes) {
  QByteArray text;
  while (text.size() < textBytes)
    text += "Line of an ordinary message body, number " + QByteArray::number(text.size()) + ".\r\n";
  QByteArray m = "Return-Path: <sender" + QByteArray::number(n) + "@example.lk>\r\n"
                 "Received: from mail.example.lk by mx.example.org; Sun, 6 Dec 2026 10:00:00 +0000\r\n"
                 "From: Sender Number " + QByteArray::number(n) + " <sender" + QByteArray::number(n) +
                 "@example.lk>\r\n"
                 "To: me@example.org\r\n"
                 "Subject: Message number " + QByteArray::number(n) + " about the weekly plans\r\n"
                 "Date: Sun, 6 Dec 2026 10:00:00 +0000\r\n"
                 "Message-ID: <" + QByteArray::number(n) + "@example.lk>\r\n"
                 "MIME-Version: 1.0\r\n";
  if (attachmentBytes == 0) {
    m += "Content-Type: text/plain; charset=us-ascii\r\n\r\n" + text;
    return m;
  }
  m += "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
       "--b1\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + text +
       "--b1\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
       "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"data.bin\"\r\n\r\n" +
       base64Lines(randomBytes(random, attachmentBytes)) + "--b1--\r\n";
  return m;
}

// The anchor: every file opened and read up to the end of its header block.
double readHeaderBlocks(const QString& dir, qint64* bytes) {
  QElapsedTimer timer;
  timer.start();
  const QStringList names = QDir(dir).entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::Name);
  qint64 total = 0;
  char buffer[4096];
  for (const QString& name : names) {
    QFile file(dir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
      continue;
    QByteArray head;
    for (;;) {
      const qint64 got = file.read(buffer, sizeof buffer);
      if (got <= 0)
        break;
      head.append(buffer, got);
      if (head.contains("\r\n\r\n") || head.contains("\n\n"))
        break;
    }
    total += head.size();
  }
  *bytes = total;
  return timer.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
  const int bigEvery = argc > 2 ? std::max(1, atoi(argv[2])) : 100;
  const int bigMegabytes = argc > 3 ? std::max(1, atoi(argv[3])) : 3;

  QTemporaryDir temp;
  const QString root = useBenchMailbox(temp);
  QDir().mkpath(root + QStringLiteral("Bench"));
  QDir().mkpath(root + QStringLiteral("Big"));

  // A folder of mixed sizes: mostly a few kilobytes, some of a hundred
  // kilobytes, and every bigEvery-th message with a large attachment.
  QRandomGenerator random(19981206);
  qint64 folderBytes = 0;
  for (int n = 1; n <= count; ++n) {
    qsizetype attachment = 0;
    qsizetype text = 500 + random.bounded(8000);
    if (n % bigEvery == 0)
      attachment = qsizetype(bigMegabytes) * 1024 * 1024 + random.bounded(1024 * 1024);
    else if (n % 10 == 0)
      attachment = 50 * 1024 + random.bounded(100 * 1024);
    const QByteArray m = makeMessage(random, n, attachment, text);
    folderBytes += m.size();
    writeFile(root + QStringLiteral("Bench/") + MailStore::msgFileName(n), m);
  }
  // Two messages of 20 MB: one mostly attachment, one all text.
  const QByteArray bigAttachment = makeMessage(random, 1, 15 * 1024 * 1024 - 200 * 1024, 200 * 1024);
  const QByteArray bigText = makeMessage(random, 2, 0, 20 * 1024 * 1024);
  writeFile(root + QStringLiteral("Big/00000001.msg"), bigAttachment);
  writeFile(root + QStringLiteral("Big/00000002.msg"), bigText);

  storeBenchAccount(temp);

  MailForm form;
  form.Form_Load(false);
  form.resize(1200, 800);
  QApplication::processEvents();
  auto folderRow = [&](const QString& name) {
    for (int i = 0; i < form.listFolders->count(); ++i)
      if (form.listFolders->item(i)->text() == name)
        return i;
    return -1;
  };
  const int benchRow = folderRow(QStringLiteral("Bench"));
  const int bigRow = folderRow(QStringLiteral("Big"));
  const int inboxRow = folderRow(QStringLiteral("Inbox"));

  // Warm the page cache once, then alternate anchor and listing.
  qint64 headerBytes = 0;
  readHeaderBlocks(root + QStringLiteral("Bench"), &headerBytes);
  // With automatic fonts (on by default), then with one font for the list.
  QList<double> anchors, listings, oneFont;
  for (QList<double>* times : {&listings, &oneFont}) {
    if (times == &oneFont)
      form.mnuAutoFont->trigger();
    for (int round = 0; round < 3; ++round) {
      anchors << readHeaderBlocks(root + QStringLiteral("Bench"), &headerBytes);
      form.listFolders->setCurrentRow(inboxRow);
      QApplication::processEvents();
      QElapsedTimer timer;
      timer.start();
      form.listFolders->setCurrentRow(benchRow);
      form.listMessages->repaint();
      QApplication::processEvents();
      *times << timer.nsecsElapsed() / 1e6;
      if (form.listMessages->count() != count) {
        std::fprintf(stderr, "listed %d of %d messages\n", form.listMessages->count(), count);
        return 1;
      }
    }
  }
  form.mnuAutoFont->trigger();
  const double anchor = median(anchors);
  const double listing = median(listings);
  std::printf("folder: %d messages, %.1f MB, header blocks %.1f MB\n", count, folderBytes / 1048576.0,
              headerBytes / 1048576.0);
  std::printf("anchor  read header blocks:        %9.1f ms\n", anchor);
  std::printf("listing in the window:             %9.1f ms  ratio %.2f (goal <= 3)\n", listing, listing / anchor);
  std::printf("  the same in one font:            %9.1f ms  ratio %.2f\n", median(oneFont), median(oneFont) / anchor);

  form.listFolders->setCurrentRow(bigRow);
  QApplication::processEvents();
  const char* labels[2] = {"20 MB message, attachment", "20 MB message, all text"};
  for (int row = 0; row < 2; ++row) {
    QList<double> times;
    for (int round = 0; round < 3; ++round) {
      form.listMessages->setCurrentRow(-1);
      QApplication::processEvents();
      QElapsedTimer timer;
      timer.start();
      form.listMessages->setCurrentRow(row);
      form.textBody->repaint();
      QApplication::processEvents();
      times << timer.nsecsElapsed() / 1e6;
    }
    std::printf("select %-27s %9.1f ms  (goal < 1000 ms; view %lld chars, %d attachments)\n", labels[row],
                median(times), qint64(form.textBody->document()->characterCount()), form.attachments->count());
    // Where the time goes: the control's load, then the rendering.
    QElapsedTimer step;
    step.start();
    const QString bigFile = root + QStringLiteral("Big/") + MailStore::msgFileName(row + 1);
    form.Mail1->loadFile(bigFile);
    const double load = step.nsecsElapsed() / 1e6;
    step.restart();
    const reading::RenderedMessage rendered = reading::MessageRenderer(*form.Mail1, false).render();
    const double gather = step.nsecsElapsed() / 1e6;
    std::printf("       gathering the parts from the control: %.1f ms (%d view lines)\n", gather,
                rendered.lineCount());
    form.Mail1->loadFile(bigFile);
    step.restart();
    form.show_message();
    const double render = step.nsecsElapsed() / 1e6;
    step.restart();
    form.textBody->repaint();
    QApplication::processEvents();
    std::printf("       of which load %.1f ms, render %.1f ms, paint %.1f ms\n", load, render,
                step.nsecsElapsed() / 1e6);
  }
  return 0;
}
