#include "compose/composelayout.h"

#include <algorithm>

namespace {
double atLeastZero(double v) { return std::max(0.0, v); }
}  // namespace

ComposeLayout computeComposeLayout(double innerWidth, double innerHeight) {
  using D = ComposeDesign;
  ComposeLayout l;
  l.line_x2 = innerWidth;
  l.fieldWidth = atLeastZero(innerWidth - D::kFieldLeft - 10);
  const double toolbarTop = D::kLine1Y + 25;
  l.tovelbar = QPointF(5, toolbarTop);
  const double bodyTop = toolbarTop + D::kToolbarHeight;
  const double bodyWidth = atLeastZero(innerWidth - 10);
  const double bodyHeight = atLeastZero(innerHeight - bodyTop - 25 - D::kStatbarHeight);
  l.txtBody = QRectF(5, bodyTop, bodyWidth, bodyHeight);
  l.statbar = QRectF(0, bodyTop + bodyHeight + 5, bodyWidth, D::kStatbarHeight);
  return l;
}
