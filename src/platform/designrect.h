#pragma once
// Controls placed where the window's design puts them, in twips.
#include "platform/twips.h"

#include <QRectF>
#include <QWidget>

namespace platform {

// Left, top, width and height in twips.
struct DesignRect {
  double left, top, width, height;
};

inline void place(QWidget* w, const DesignRect& r) {
  w->setGeometry(twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width), twipsToPixels(r.height));
}

inline void place(QWidget* w, const QRectF& r) { place(w, DesignRect{r.left(), r.top(), r.width(), r.height()}); }

}  // namespace platform
