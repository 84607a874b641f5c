#pragma once
// Small pieces shared by the files of the message engine.
#include <QByteArray>
#include <QRandomGenerator>

namespace maillib::engine_detail {

inline bool isWsp(char c) { return c == ' ' || c == '\t'; }

// A token for boundaries and Message-IDs.
inline QByteArray randomToken() {
  return QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}

}  // namespace maillib::engine_detail
