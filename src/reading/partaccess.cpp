#include "reading/partaccess.h"

#include "maillib/mailcontrol.h"
#include "store/safewrite.h"
#include "store/samefile.h"

#include <QFile>
#include <QFileInfo>

namespace reading {

bool enterPath(MailControl& control, const QList<int>& path, QString* why) {
  for (qsizetype depth = 0; depth < path.size(); ++depth) {
    if (!control.enterPart(path[depth], why)) {
      leavePath(control, depth + 1);  // a failed enter still wants its leave
      return false;
    }
  }
  return true;
}

void leavePath(MailControl& control, qsizetype depth) {
  for (qsizetype i = 0; i < depth; ++i)
    control.leavePart();
}

QString savePartInFolder(MailControl& control, const QList<int>& at, const QList<int>& part,
                         const QString& folder, const QString& name, QString* why) {
  const QString target = folder + store::freeFileName(folder, name);
  leavePath(control, at.size());
  bool saved = false;
  if (enterPath(control, part, why)) {
    saved = control.savePartToFile(target, why) && QFileInfo::exists(target);
    leavePath(control, part.size());
  }
  enterPath(control, at);
  return saved ? target : QString();
}

QString savePartOnceInFolder(MailControl& control, const QList<int>& at, const QList<int>& part,
                             const QString& folder, const QString& name, QString* why) {
  const QString saved = savePartInFolder(control, at, part, folder, name, why);
  if (saved.isEmpty())
    return saved;
  const QString same = store::sameFileInFolder(folder, name, saved);
  return !same.isEmpty() && QFile::remove(saved) ? same : saved;
}

}  // namespace reading
