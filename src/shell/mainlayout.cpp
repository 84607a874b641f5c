#include "shell/mainlayout.h"

#include <algorithm>

namespace {
double atLeastZero(double v) { return std::max(0.0, v); }
}  // namespace

MainLayout computeMainLayout(double innerWidth, double innerHeight, double vsplitLeft) {
  using D = MainLayoutDesign;
  MainLayout l;
  l.line_x2 = innerWidth;
  l.cmdHSplit = QRectF(0, D::kHSplitTop, atLeastZero(innerWidth), D::kHSplitHeight);

  const double bandTop = D::kLine2Y + 2;
  const double bandHeight = D::kHSplitTop - D::kLine2Y - 4;
  const double maxBarLeft = atLeastZero(innerWidth - D::kVSplitWidth - 10);
  const double barLeft = std::clamp(vsplitLeft, 6.0, std::max(6.0, maxBarLeft));
  l.listFolders = QRectF(2, bandTop, atLeastZero(barLeft - 4), bandHeight);
  l.cmdVSplit = QRectF(barLeft, D::kVSplitTop, D::kVSplitWidth,
                       D::kHSplitTop - D::kLine2Y - 1);
  const double messagesLeft = barLeft + D::kVSplitWidth + 4;
  l.listMessages = QRectF(messagesLeft, bandTop, atLeastZero(innerWidth - messagesLeft - 2),
                          bandHeight);

  const double bodyTop = D::kHSplitTop + D::kHSplitHeight + 2;
  const double bodyHeight =
      atLeastZero(innerHeight - (D::kHSplitHeight + D::kHSplitTop) - 4 - D::kStatbarHeight);
  l.textBody = QRectF(2, bodyTop, atLeastZero(innerWidth - 4), bodyHeight);
  l.statbar = QRectF(0, bodyTop + bodyHeight + 2, l.textBody.width(), D::kStatbarHeight);
  return l;
}
