#pragma once
// Small pieces shared by the files of the message engine.
#include <QByteArray>
#include <QByteArrayView>
#include <QRandomGenerator>
#include <functional>
#include <utility>

#include "maillib/mimetext.h"

namespace maillib::engine_detail {

inline bool isWsp(char c) { return c == ' ' || c == '\t'; }

// A token for boundaries and Message-IDs.
inline QByteArray randomToken() {
  return QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}

// Hands pieces on with every line break made CR LF, exactly as toCrlf does
// with the pieces joined: a CR that ends a piece waits for the next one to
// see whether an LF follows. Pieces already in CR LF pass without a copy.
class CrlfPieces {
 public:
  explicit CrlfPieces(const std::function<void(QByteArrayView)>& take) : take_(take) {}

  void operator()(QByteArrayView piece) {
    if (piece.isEmpty()) return;
    if (pendingCr_) {
      pendingCr_ = false;
      take_("\r\n");
      if (piece.front() == '\n') piece = piece.sliced(1);
    }
    if (!piece.isEmpty() && piece.back() == '\r') {
      pendingCr_ = true;
      piece.chop(1);
    }
    if (!piece.isEmpty()) take_(mimetext::toCrlf(QByteArray::fromRawData(piece.data(), piece.size())));
  }

  void finish() {
    if (std::exchange(pendingCr_, false)) take_("\r\n");
  }

 private:
  const std::function<void(QByteArrayView)>& take_;
  bool pendingCr_ = false;
};

}  // namespace maillib::engine_detail
