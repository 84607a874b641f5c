// Loads arbitrary bytes as a message, walks every part, decodes each one,
// reads every field and writes the message out again.
#include <QByteArray>
#include <QString>

#include "maillib/mailcontrol.h"

namespace {

void walk(MailControl& m, int depth) {
  (void)m.From();
  (void)m.Subject();
  (void)m.HeaderText();
  (void)m.ContentType();
  (void)m.ContentSubType();
  (void)m.ContentParameters();
  (void)m.ContentDisposition();
  (void)m.TransferEncoding();
  (void)m.Boundary();
  const int lines = m.LineCount();
  for (int i = 0; i < lines && i < 200; ++i) (void)m.BodyText(i);
  for (int h = 0; h < m.HeaderCount() && h < 50; ++h) (void)m.HeaderLine(h);
  m.setTransferFlags(24);
  m.setActionCode(5);
  (void)m.OutputText();
  const int parts = m.PartCount();
  if (depth > 30) return;
  for (int i = 0; i <= parts && i < 64; ++i) {  // one past the end on purpose
    m.setPartIndex(i);
    m.setActionCode(7);
    walk(m, depth + 1);
    m.setActionCode(2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MailControl m;
  m.loadMessageBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
  (void)m.messageBytes(true);
  (void)m.recipientAddresses();
  walk(m, 0);
  // A changed message is written from its parsed tree.
  m.setSubject(QString::fromLatin1("\xe9 changed"));
  (void)m.messageBytes(false);
  m.setActionCode(15);  // flags 24 from the walk: writes nothing
  return 0;
}
