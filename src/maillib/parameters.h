#pragma once
// Parameters of structured MIME fields ("text/plain; charset=utf-8",
// "attachment; filename=..."): the one reader of them.
//
// Items are split at ';' outside quoted strings; a piece without '=' (the
// type or disposition in front) is passed over. In a quoted value a
// backslash escapes only '"' and '\', so "C:\dir\a.zip" keeps its
// backslashes. RFC 2231 values (name*=charset'lang'%XX) and continuations
// (name*0, name*1*, ...) are joined and decoded; RFC 2047 encoded words in
// plain values are decoded. Charsets follow the text rules of mimetext.h,
// so the bytes of the 8-bit display fonts survive.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace maillib {

struct MimeParameter {
  QString name;   // as first written, without RFC 2231 marks
  QString value;  // decoded
};

// Every parameter once, in the order of first appearance. Where a name has
// both forms, the RFC 2231 value wins over the plain one (it carries the
// real characters; the plain one is a fallback for old readers).
QList<MimeParameter> parseParameters(const QString& text);

// The decoded value of one parameter (names compare without case), or a
// null string when it is absent.
QString parameterValue(const QString& text, const QString& name);

// The items of text split at ';' outside quoted strings, trimmed, empty
// items left out.
QStringList splitParameterItems(const QString& text);

// Parameters as the reading side sees them: as they stand when plain;
// otherwise every value decoded and written name="value" (quotes and
// backslashes escaped), so the text reads back through parseParameters.
QString readableParameters(const QByteArray& raw);

}  // namespace maillib
