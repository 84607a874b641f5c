// Full load and decode of a large message with attachments: the mail
// control (load, walk every part, save each decoded) against GMime alone
// (parse, decode every leaf into a file). Each run is one process so its
// peak memory is its own.
//   bench_parse generate <file> [MB]
//   bench_parse control <file> <outdir>
//   bench_parse gmime <file> <outdir>
#include <gmime/gmime.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "maillib/mailcontrol.h"

namespace {

long peakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// User and system time: steadier than the wall clock on a shared machine.
double cpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

QByteArray wrap(const QByteArray& encoded, int width) {
  QByteArray out;
  for (qsizetype i = 0; i < encoded.size(); i += width) out += encoded.mid(i, width) + "\r\n";
  return out;
}

int generate(const QString& file, int megabytes) {
  QByteArray blob;
  const qsizetype each = qsizetype(megabytes) * 1024 * 1024 / 4;
  blob.reserve(each);
  quint32 x = 12345;
  while (blob.size() < each) {
    x = x * 1103515245u + 12345u;
    blob.append(char(x >> 24));
  }
  QByteArray text;
  while (text.size() < each / 2) text += "Plain text of a long report, with n\xf8 8-bit = signs.\r\n";
  QByteArray m = "From: big@example.org\r\nTo: me@example.org\r\nSubject: big\r\nMIME-Version: 1.0\r\n"
                 "Content-Type: multipart/mixed; boundary=\"BIG\"\r\n\r\n";
  m += "--BIG\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nHello.\r\n";
  for (int k = 0; k < 3; ++k)
    m += "--BIG\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
         "Content-Disposition: attachment; filename=\"b" + QByteArray::number(k) + ".bin\"\r\n\r\n" +
         wrap(blob.toBase64(), 76);
  QByteArray qp;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u == '=' || u > 126) qp += "=" + QByteArray::number(u, 16).toUpper();
    else qp += c;
  }
  m += "--BIG\r\nContent-Type: text/plain; charset=iso-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n"
       "Content-Disposition: attachment; filename=\"report.txt\"\r\n\r\n" + qp;
  m += "--BIG--\r\n";
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly) || f.write(m) != m.size()) return 1;
  std::printf("generated %.1f MB\n", m.size() / 1048576.0);
  return 0;
}

int viaControl(const QString& file, const QString& out) {
  QElapsedTimer t;
  t.start();
  MailControl m;
  int errors = 0;
  QObject::connect(&m, &MailControl::AsyncError, [&](int, const QString&) { ++errors; });
  m.setPartFile(file);
  m.setTransferFlags(2);
  m.setActionCode(13);
  const int n = m.PartCount();
  for (int i = 0; i < n; ++i) {
    m.setPartIndex(i);
    m.setActionCode(7);
    const QString target = out + QStringLiteral("/c%1.out").arg(i);
    QFile::remove(target);
    m.setMessageFile(target);
    m.setTransferFlags(40);
    m.setActionCode(5);
    m.setActionCode(2);
  }
  std::printf("parts %d errors %d ms %.1f peak_kb %ld cpu_ms %.1f\n", n, errors, t.nsecsElapsed() / 1e6, peakKb(),
              cpuMs());
  return errors ? 1 : 0;
}

int count = 0;
void decodeLeaf(GMimeObject*, GMimeObject* part, gpointer data) {
  if (!GMIME_IS_PART(part)) return;
  const QString target = *static_cast<QString*>(data) + QStringLiteral("/g%1.out").arg(count++);
  GMimeStream* fs = g_mime_stream_fs_open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644, nullptr);
  if (!fs) return;
  g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(GMIME_PART(part)), fs);
  g_mime_stream_flush(fs);
  g_object_unref(fs);
}

int viaGMime(const QString& file, QString out) {
  QElapsedTimer t;
  t.start();
  g_mime_init();
  GMimeStream* s = g_mime_stream_fs_open(QFile::encodeName(file).constData(), O_RDONLY, 0, nullptr);
  if (!s) return 1;
  GMimeParser* p = g_mime_parser_new_with_stream(s);
  GMimeMessage* msg = g_mime_parser_construct_message(p, nullptr);
  if (!msg) return 1;
  g_mime_message_foreach(msg, decodeLeaf, &out);
  g_object_unref(msg);
  g_object_unref(p);
  g_object_unref(s);
  std::printf("parts %d errors 0 ms %.1f peak_kb %ld cpu_ms %.1f\n", count, t.nsecsElapsed() / 1e6, peakKb(), cpuMs());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s generate|control|gmime <file> [outdir|MB]\n", argv[0]);
    return 2;
  }
  const QByteArray mode = argv[1];
  const QString file = QString::fromLocal8Bit(argv[2]);
  if (mode == "generate") return generate(file, argc > 3 ? atoi(argv[3]) : 50);
  const QString out = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::tempPath();
  QDir().mkpath(out);
  if (mode == "control") return viaControl(file, out);
  if (mode == "gmime") return viaGMime(file, out);
  return 2;
}
