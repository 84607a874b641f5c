// Load-for-listing: every file of a folder loaded into the mail control to
// read sender, subject and date, against reading the same files' header
// blocks with plain reads.
//   bench_listing_load <folder> [count]   (creates count files when empty)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "maillib/mailcontrol.h"
#include "reading/listformat.h"

namespace {

void generate(const QString& folder, int count) {
  QDir().mkpath(folder);
  for (int i = 1; i <= count; ++i) {
    QByteArray m = "Return-Path: <sender" + QByteArray::number(i) + "@example.org>\r\n";
    for (int r = 0; r < 4; ++r)
      m += "Received: from relay" + QByteArray::number(r) + ".example.net (relay [192.0.2." +
           QByteArray::number(r) + "])\r\n\tby mx.example.org with ESMTP id " + QByteArray::number(i * 7 + r) +
           "\r\n\tfor <me@example.org>; Sat, 2 May 1998 10:00:00 +0530\r\n";
    m += "From: Sender " + QByteArray::number(i) + " <sender" + QByteArray::number(i) + "@example.org>\r\n";
    m += "To: me@example.org\r\nSubject: =?iso-8859-1?Q?Message_n=F8_" + QByteArray::number(i) + "?=\r\n";
    m += "Date: Sat, 2 May 1998 10:00:00 +0530\r\nMIME-Version: 1.0\r\n";
    m += "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n";
    for (int l = 0; l < 40 + (i % 60); ++l) m += "Some text of the message body, line " + QByteArray::number(l) + ".\r\n";
    m += "--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    const int lines = (i % 10 == 0) ? 4000 : 20;  // every tenth has a 300 KB attachment
    for (int l = 0; l < lines; ++l) m += QByteArray(76, 'Q') + "\r\n";
    m += "--b--\r\n";
    QFile f(folder + QStringLiteral("/%1.msg").arg(i, 8, 10, QLatin1Char('0')));
    if (f.open(QIODevice::WriteOnly)) f.write(m);
  }
}

// Reads each file's sender, subject and date through the mail control; with
// fonts, each entry is built as the list shows it: the script of each column
// judged and its characters read for its font.
qint64 viaControl(const QStringList& files, qint64* checksum, bool withFonts) {
  QElapsedTimer t;
  t.start();
  MailControl m;
  for (const QString& f : files) {
    m.setPartFile(f);
    m.setTransferFlags(2);
    m.setActionCode(13);
    *checksum += withFonts
                     ? reading::listRow(m.From(), m.Subject(), m.Date(), reading::FontChoice::PerText).text.size()
                     : m.From().size() + m.Subject().size() + m.Date().size();
  }
  return t.nsecsElapsed();
}

qint64 plainReads(const QStringList& files, qint64* checksum) {
  QElapsedTimer t;
  t.start();
  char buf[8192];
  for (const QString& name : files) {
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) continue;
    QByteArray head;
    for (;;) {
      const qint64 n = f.read(buf, sizeof buf);
      if (n <= 0) break;
      head.append(buf, n);
      if (head.contains("\r\n\r\n") || head.contains("\n\n")) break;
    }
    qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) end = head.indexOf("\n\n");
    *checksum += end;
  }
  return t.nsecsElapsed();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder> [count]\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const int count = argc > 2 ? atoi(argv[2]) : 10000;
  QDir dir(folder);
  if (!dir.exists() || dir.entryList({QStringLiteral("*.msg")}, QDir::Files).size() < count) generate(folder, count);
  QStringList files;
  for (const QString& n : QDir(folder).entryList({QStringLiteral("*.msg")}, QDir::Files, QDir::Name))
    files << folder + QLatin1Char('/') + n;
  qint64 sum = 0;
  plainReads(files, &sum);  // warm the file cache
  std::vector<double> ours, fonts, plain;
  for (int round = 0; round < 5; ++round) {
    ours.push_back(viaControl(files, &sum, false) / 1e6);
    fonts.push_back(viaControl(files, &sum, true) / 1e6);
    plain.push_back(plainReads(files, &sum) / 1e6);
  }
  std::sort(ours.begin(), ours.end());
  std::sort(fonts.begin(), fonts.end());
  std::sort(plain.begin(), plain.end());
  std::printf("files %lld\nlisting_load_ms %.1f\nlisting_autofont_ms %.1f\nplain_header_read_ms %.1f\nratio %.2f\n"
              "autofont_ratio %.2f\n(checksum %lld)\n",
              static_cast<long long>(files.size()), ours[2], fonts[2], plain[2], ours[2] / plain[2],
              fonts[2] / plain[2], static_cast<long long>(sum));
  return 0;
}
