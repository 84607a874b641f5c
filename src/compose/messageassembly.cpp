#include "compose/messageassembly.h"

#include "compose/unicodecopy.h"
#include "maillib/mailcontrol.h"

#include <QFile>
#include <QFileInfo>

namespace compose {

namespace {

// Action codes of the mail control.
enum Operation { kLeave = 2, kAddPart = 4, kEnter = 7, kLoadPartFile = 9 };
constexpr int kLoadFlags = 130;

// Runs one operation and tells whether it failed; a failure message the
// control reports is kept for the caller.
bool run(MailControl& mail, int operation, QString* error) {
  QString reported;
  const auto connection = QObject::connect(&mail, &MailControl::AsyncError,
                                           [&reported](int, const QString& text) { reported = text; });
  mail.setActionCode(operation);
  QObject::disconnect(connection);
  if (!mail.lastOperationFailed())
    return true;
  if (error)
    *error = reported;
  return false;
}

QString checkReadable(const QString& path, QByteArray* textBytes, bool wantBytes) {
  const QFileInfo info(path);
  if (!info.exists())
    return QStringLiteral("Cannot attach %1: the file does not exist.").arg(path);
  if (!info.isFile())
    return QStringLiteral("Cannot attach %1: it is not a file.").arg(path);
  if (info.size() > kMaxAttachmentBytes)
    return QStringLiteral("Cannot attach %1: the file is larger than %2 MB.")
        .arg(path)
        .arg(kMaxAttachmentBytes / (1024 * 1024));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return QStringLiteral("Cannot attach %1: %2").arg(path, file.errorString());
  if (wantBytes) {
    *textBytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
      return QStringLiteral("Cannot attach %1: %2").arg(path, file.errorString());
  }
  return {};
}

void makeMultipart(MailControl& mail) {
  if (mail.ContentType().compare(QLatin1String("multipart"), Qt::CaseInsensitive) == 0)
    return;
  const QString boundary = newBoundary();
  mail.setContentType(QStringLiteral("multipart"));
  mail.setContentSubType(QStringLiteral("mixed"));
  mail.setContentParameters(QStringLiteral("boundary=") + boundary);
  mail.setBoundary(boundary);
}

void setPartFields(MailControl& mail, const PartFields& f) {
  mail.setContentType(f.type);
  mail.setContentSubType(f.subtype);
  if (!f.parameters.isEmpty())
    mail.setContentParameters(f.parameters);
  mail.setTransferEncoding(f.transferEncoding);
  mail.setContentDisposition(f.disposition);
}

}  // namespace

AttachResult attachFileToMessage(MailControl& mail, const QString& path, AttachmentEncoding chosen,
                                 const QString& sendName) {
  AttachResult result;
  const QString name = sendName.isEmpty() ? file_title(path) : file_title(sendName);
  PartFields fields = attachmentFields(name, chosen);
  QByteArray bytes;
  result.error = checkReadable(path, &bytes, fields.isText);
  if (!result.error.isEmpty())
    return result;
  if (fields.isText)
    adaptTextPart(fields, name, bytes, chosen);
  bytes.clear();

  makeMultipart(mail);
  if (!run(mail, kAddPart, &result.error) || !run(mail, kEnter, &result.error))
    return result;
  setPartFields(mail, fields);
  mail.setTransferFlags(kLoadFlags);
  mail.setPartFile(path);
  const bool loaded = run(mail, kLoadPartFile, &result.error);
  mail.setActionCode(kLeave);
  if (!loaded && result.error.isEmpty())
    result.error = QStringLiteral("Cannot attach %1.").arg(path);
  result.ok = loaded;
  return result;
}

void putBodyIntoMessage(MailControl& mail, const QString& body, const QString& unicodeCopy) {
  if (!body.isEmpty() && !unicodeCopy.isEmpty()) {
    putBodyWithUnicodeCopy(mail, body, unicodeCopy);
    return;
  }
  if (!body.isEmpty() && mail.PartCount() > 0) {
    mail.setPartIndex(0);
    mail.setActionCode(kAddPart);
    mail.setActionCode(kEnter);
    mail.setBodyText(0, body);
    mail.setActionCode(kLeave);
    return;
  }
  mail.setBodyText(0, body);
}

}  // namespace compose
