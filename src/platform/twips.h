#pragma once
// Window geometry is worked out in twips, as the layouts are written; this is
// the one place that turns twips into pixels (15 twips to a pixel at 96 dpi).
#include <QtGlobal>

namespace platform {

constexpr double kTwipsPerPixel = 15.0;

inline int twipsToPixels(double twips) { return qRound(twips / kTwipsPerPixel); }
inline double pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

}  // namespace platform
