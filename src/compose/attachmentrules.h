#pragma once
// How a file becomes a MIME part of an outgoing message: its extension, the
// content type, parameters and disposition it is given, the transfer
// encoding, and the boundary of the multipart that holds the attachments.
// Plain logic over names and bytes; no widgets, no mail control.
#include <QByteArray>
#include <QString>

namespace compose {

// The four choices of the "Attachment Encoding" frame.
enum class AttachmentEncoding { Base64, QuotedPrintable, UU, BinHex };

// The Content-Transfer-Encoding name of a choice.
QString transferEncodingName(AttachmentEncoding encoding);

// The part of a path after its last separator ("\" or "/"); the whole path
// when it holds none.
QString file_title(const QString& path);

// The extension as the type rules see it: from the first "." of the file
// name to the end, in lower case ("report.final.zip" -> ".final.zip");
// empty for a name without ".".
QString attachmentExtension(const QString& fileName);

// The name as it goes into a header parameter: bare, and without the two
// characters that would end or escape a quoted string.
QString sendableFileName(const QString& fileName);

// RFC 2047 encoded words (UTF-8, base64) for a name that is not plain
// ASCII; the name itself when it is.
QByteArray encodedWordName(const QString& name);

struct PartFields {
  QString type;
  QString subtype;
  QString parameters;        // empty: none set
  QString transferEncoding;  // "7bit" or one of the four choices
  QString disposition;
  bool isText = false;       // the file's bytes decide charset and encoding
};

// The fields of the part for a file of that name, with the encoding chosen
// in the window. Text files get their charset and encoding from
// adaptTextPart once their bytes are known.
PartFields attachmentFields(const QString& fileName, AttachmentEncoding chosen);

// A text file goes out unencoded only when its bytes travel through mail
// unchanged: 7-bit, no NUL, every line ended by CR LF and at most 998 bytes
// long. Anything else (LF-only lines, 8-bit font codes, long lines) takes
// the chosen encoding, so the file arrives byte for byte.
bool travelsUnencoded(const QByteArray& bytes);
// The charset that describes a text file's bytes: us-ascii, utf-8 when
// they are valid UTF-8, else iso-8859-1 (the 8-bit font codes).
QString textCharset(const QByteArray& bytes);
void adaptTextPart(PartFields& fields, const QString& fileName, const QByteArray& bytes,
                   AttachmentEncoding chosen);

// A new boundary: a random whole number below 100,000,000,000 in plain
// digits, then "_boundary".
QString newBoundary();
QString boundaryFromNumber(quint64 n);

}  // namespace compose
