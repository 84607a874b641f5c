#pragma once
// Text rules of the message side: how message bytes become characters and
// back, header unfolding, encoded words, parameters of structured fields.
//
// Bytes become characters by these rules everywhere: us-ascii, iso-8859-1,
// windows-1252, an unknown or missing charset: byte n is character n (the
// 8-bit display fonts then show the glyph the sender typed); utf-8 and the
// other charsets iconv knows are decoded properly.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace maillib::mimetext {

// True when bytes are well-formed UTF-8 (plain ASCII included).
bool isUtf8(const QByteArray& bytes);
bool isAscii(const QByteArray& bytes);

// Bytes of a body or decoded word in the given charset, as characters.
QString bytesToText(const QByteArray& bytes, const QByteArray& charset);
// True when bytesToText of the bytes as a whole gives the same characters
// as of each line on its own: byte-for-byte charsets, plain ASCII, valid
// UTF-8.
bool readsAlikeLineByLine(const QByteArray& bytes, const QByteArray& charset);
// Raw 8-bit text without a charset label: UTF-8 when valid, else Latin-1.
QString rawToText(const QByteArray& bytes);

// A header value as stored (folds allowed) -> one line.
QByteArray unfold(const QByteArray& raw);
// A header value as stored -> characters: unfolded, encoded words decoded,
// raw 8-bit bytes read as UTF-8 when valid, else Latin-1.
QString decodeHeader(const QByteArray& raw);

// Characters -> a header value safe on the wire. Text that is plain ASCII is
// kept as it is (folded when long); other text becomes encoded words in
// iso-8859-1 when every character fits (so 8-bit font bytes survive), else
// in utf-8. With alwaysUtf8 every encoded word is utf-8.
QByteArray encodeText(const QString& text, bool alwaysUtf8 = false);
// The whole text as encoded words, by the same charset rule.
QByteArray encodeWords(const QString& text);
// True when text cannot stand in a header as it is.
bool needsEncoding(const QString& text);
// "type/subtype; params" or a disposition with its parameters: non-ASCII
// parameter values are written in the RFC 2231 form.
QByteArray encodeParameterField(const QString& value);

// Folds a header line ("Name: value") so no line is longer than 78
// characters where whitespace allows; lines end in CRLF.
QByteArray foldHeaderLine(const QByteArray& name, const QByteArray& value);

// Splits a structured value at the first ';' outside quotes.
QPair<QByteArray, QByteArray> splitAtFirstParameter(const QByteArray& value);
// Sets or adds one parameter; the value is quoted when it needs to be.
QByteArray withParameter(const QByteArray& params, const QByteArray& name, const QByteArray& value);

// Byte forms of the readers in parameters.h and addresses.h, for the
// message engine.
// The decoded value of one parameter (UTF-8), or a null array when absent.
QByteArray parameter(const QByteArray& params, const QByteArray& name);
QByteArray encodeAddressList(const QString& text);
QList<QString> addresses(const QString& list);

// Line ends of a text made CRLF (CR, LF and CRLF all count as one end).
QByteArray toCrlf(const QByteArray& bytes);

}  // namespace maillib::mimetext
