// Attaching a large file and writing the message out: the compose window's
// assembly (attach, body, write through the mail control) against GMime
// building the same message alone. Each run is its own process, so its peak
// memory is its own; the figures are printed as ratios.
//   bench_attach [MB]            runs both three times and prints the ratios
//   bench_attach control <file> <out>
//   bench_attach gmime <file> <out>
#include <gmime/gmime.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "compose/messageassembly.h"
#include "maillib/mailcontrol.h"

namespace {

const char* const kBody = "A short note in front of the attachment.\n";

long peakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// Resident memory now, from /proc: what the process holds before the work.
long residentKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly))
    return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:"))
      return line.mid(6).trimmed().split(' ').first().toLong();
  return 0;
}

bool generate(const QString& path, int megabytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return false;
  QByteArray block(1024 * 1024, '\0');
  quint32 x = 2463534242u;
  for (int mb = 0; mb < megabytes; ++mb) {
    for (char& c : block) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      c = char(x);
    }
    file.write(block);
  }
  return true;
}

int runControl(const QString& file, const QString& out) {
  QFile::remove(out);
  const long before = residentKb();
  QElapsedTimer timer;
  timer.start();
  MailControl mail;
  mail.setFrom(QStringLiteral("me@example.org"));
  mail.setTo(QStringLiteral("you@example.org"));
  mail.setSubject(QStringLiteral("big"));
  const compose::AttachResult r = compose::attachFileToMessage(mail, file, compose::AttachmentEncoding::Base64);
  if (!r.ok) {
    std::fprintf(stderr, "%s\n", qPrintable(r.error));
    return 1;
  }
  compose::putBodyIntoMessage(mail, QString::fromLatin1(kBody));
  mail.setMessageFile(out);
  mail.setTransferFlags(32);
  mail.setActionCode(15);
  const qint64 ms = timer.elapsed();
  std::printf("%lld %ld %ld\n", static_cast<long long>(ms), peakKb(), before);
  return mail.lastOperationFailed() ? 1 : 0;
}

GMimeObject* gmimeTextPart() {
  GMimeTextPart* text = g_mime_text_part_new_with_subtype("plain");
  g_mime_text_part_set_text(text, kBody);
  return GMIME_OBJECT(text);
}

GMimeObject* gmimeFilePart(const QString& file) {
  GMimePart* part = g_mime_part_new_with_type("application", "octet-stream");
  g_mime_part_set_filename(part, QFileInfo(file).fileName().toUtf8().constData());
  g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
  const int fd = open(QFile::encodeName(file).constData(), O_RDONLY);
  GMimeStream* stream = g_mime_stream_fs_new(fd);
  GMimeDataWrapper* content = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
  g_mime_part_set_content(part, content);
  g_object_unref(content);
  g_object_unref(stream);
  return GMIME_OBJECT(part);
}

int runGmime(const QString& file, const QString& out) {
  QFile::remove(out);
  const long before = residentKb();
  QElapsedTimer timer;
  timer.start();
  g_mime_init();
  GMimeMessage* message = g_mime_message_new(TRUE);
  g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_FROM, nullptr, "me@example.org");
  g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_TO, nullptr, "you@example.org");
  g_mime_message_set_subject(message, "big", nullptr);
  GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
  GMimeObject* text = gmimeTextPart();
  GMimeObject* attachment = gmimeFilePart(file);
  g_mime_multipart_add(mixed, text);
  g_mime_multipart_add(mixed, attachment);
  g_object_unref(text);
  g_object_unref(attachment);
  g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed));
  g_object_unref(mixed);
  const int fd = open(QFile::encodeName(out).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  GMimeStream* stream = g_mime_stream_fs_new(fd);
  GMimeFormatOptions* options = g_mime_format_options_clone(nullptr);
  g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
  const ssize_t written = g_mime_object_write_to_stream(GMIME_OBJECT(message), options, stream);
  g_mime_stream_flush(stream);
  g_object_unref(stream);
  g_mime_format_options_free(options);
  g_object_unref(message);
  const qint64 ms = timer.elapsed();
  std::printf("%lld %ld %ld\n", static_cast<long long>(ms), peakKb(), before);
  return written > 0 ? 0 : 1;
}

struct Figures {
  double ms = 0;
  double peakKb = 0;
  double workKb = 0;  // peak less what the process held before the work
};

bool runChild(const QString& mode, const QString& file, const QString& out, Figures* f) {
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(), {mode, file, out});
  if (!child.waitForFinished(300000) || child.exitCode() != 0)
    return false;
  const QList<QByteArray> v = child.readAllStandardOutput().trimmed().split(' ');
  if (v.size() != 3)
    return false;
  f->ms = v[0].toDouble();
  f->peakKb = v[1].toDouble();
  f->workKb = v[1].toDouble() - v[2].toDouble();
  return true;
}

double median(QList<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int compare(int megabytes) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("big.bin"));
  if (!generate(file, megabytes))
    return 1;
  const double fileKb = megabytes * 1024.0;
  QList<double> ms[2], peak[2], work[2];
  const QString modes[2] = {QStringLiteral("control"), QStringLiteral("gmime")};
  for (int round = 0; round < 3; ++round) {
    for (int m = 0; m < 2; ++m) {
      Figures f;
      if (!runChild(modes[m], file, dir.filePath(modes[m] + QStringLiteral(".msg")), &f)) {
        std::fprintf(stderr, "%s run failed\n", qPrintable(modes[m]));
        return 1;
      }
      ms[m].append(f.ms);
      peak[m].append(f.peakKb);
      work[m].append(f.workKb);
    }
  }
  std::printf("attach and write %d MB (median of 3 runs each)\n", megabytes);
  std::printf("time ms:        compose %.0f  gmime %.0f  ratio %.2f\n", median(ms[0]), median(ms[1]),
              median(ms[0]) / median(ms[1]));
  std::printf("peak kB:        compose %.0f  gmime %.0f  ratio %.2f\n", median(peak[0]), median(peak[1]),
              median(peak[0]) / median(peak[1]));
  std::printf("working memory: compose %.2f x file  gmime %.2f x file\n", median(work[0]) / fileKb,
              median(work[1]) / fileKb);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() == 4 && args[1] == QLatin1String("control"))
    return runControl(args[2], args[3]);
  if (args.size() == 4 && args[1] == QLatin1String("gmime"))
    return runGmime(args[2], args[3]);
  return compare(args.size() > 1 ? args[1].toInt() : 20);
}
