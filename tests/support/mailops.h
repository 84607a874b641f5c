#pragma once
// The mail control's numbered operations the way the windows drive them:
// load a file, step into and out of a part, save or read the current part
// decoded, store the message; and the codes of the errors it signalled.
#include "maillib/mailcontrol.h"

#include <QList>
#include <QSignalSpy>
#include <QString>

namespace ops {

inline void load(MailControl& m, const QString& file) {
  m.setPartFile(file);
  m.setTransferFlags(2);
  m.setActionCode(13);
}
inline void enter(MailControl& m, int part) {
  m.setPartIndex(part);
  m.setActionCode(7);
}
inline void leave(MailControl& m) { m.setActionCode(2); }
// The current part, decoded, into a file.
inline void save(MailControl& m, const QString& file) {
  m.setMessageFile(file);
  m.setTransferFlags(40);
  m.setActionCode(5);
}
// The current part, decoded, as text.
inline QString text(MailControl& m) {
  m.setTransferFlags(24);
  m.setActionCode(5);
  return m.OutputText();
}
// The whole message into a new file.
inline void store(MailControl& m, const QString& file) {
  m.setMessageFile(file);
  m.setTransferFlags(32);
  m.setActionCode(15);
}
// The error numbers an AsyncError spy saw, in order.
inline QList<int> codes(const QSignalSpy& errors) {
  QList<int> out;
  for (const QList<QVariant>& e : errors)
    out << e.at(0).toInt();
  return out;
}

}  // namespace ops
