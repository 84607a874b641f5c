#pragma once
// The digit encoding of stored settings: each character becomes its 8-bit
// code as three decimal digits, last character first ("abc" -> "099098097").
#include <QString>
#include <optional>

QString encode_value(const QString& text);

// Nothing when the digits are damaged: a length that is not a multiple of
// three, or a group above 255. A group of non-digits reads as 0.
std::optional<QString> decode_value(const QString& digits);
