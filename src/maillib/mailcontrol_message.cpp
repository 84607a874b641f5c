// The message side of the mail control.
#include "maillib/mailcontrol.h"
#include "maillib/messageengine.h"

QString MailControl::From() const { return {}; }
void MailControl::setFrom(const QString&) {}
QString MailControl::To() const { return {}; }
void MailControl::setTo(const QString&) {}
QString MailControl::CC() const { return {}; }
void MailControl::setCC(const QString&) {}
QString MailControl::BCC() const { return {}; }
void MailControl::setBCC(const QString&) {}
QString MailControl::Subject() const { return {}; }
void MailControl::setSubject(const QString&) {}
QString MailControl::Date() const { return {}; }
void MailControl::setDate(const QString&) {}
QString MailControl::HeaderText() const { return {}; }
int MailControl::HeaderCount() const { return 0; }
QString MailControl::HeaderLine(int) const { return {}; }
void MailControl::setHeaderLine(int, const QString&) {}
QString MailControl::ContentType() const { return {}; }
void MailControl::setContentType(const QString&) {}
QString MailControl::ContentSubType() const { return {}; }
void MailControl::setContentSubType(const QString&) {}
QString MailControl::ContentParameters() const { return {}; }
void MailControl::setContentParameters(const QString&) {}
QString MailControl::ContentDisposition() const { return {}; }
void MailControl::setContentDisposition(const QString&) {}
QString MailControl::TransferEncoding() const { return {}; }
void MailControl::setTransferEncoding(const QString&) {}
QString MailControl::Boundary() const { return {}; }
void MailControl::setBoundary(const QString&) {}
int MailControl::PartCount() const { return 0; }
int MailControl::LineCount() const { return 0; }
QString MailControl::BodyText(int) const { return {}; }
void MailControl::setBodyText(int, const QString&) {}

bool MailControl::loadMessageBytes(const QByteArray&) { return false; }
QByteArray MailControl::messageBytes(bool) const { return {}; }
QStringList MailControl::recipientAddresses() const { return {}; }

void MailControl::opLoadFile() {}
void MailControl::opWriteFile() {}
void MailControl::opWriteSource() {}
void MailControl::opSavePartText() {}
void MailControl::opSavePartFile() {}
void MailControl::opEnterPart() {}
void MailControl::opLeavePart() {}
void MailControl::opAddPart() {}
void MailControl::opLoadPartFile() {}
void MailControl::opRelease() {}
