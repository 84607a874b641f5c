#pragma once
// The main window's reading-area layout, worked out in twips from the inner
// size of the window: two rules, the two lists side by side in a band of
// fixed height, the horizontal bar, the message view and the status strip.
#include <QRectF>

struct MainLayout {
  double line_x2 = 0;  // both rules run from 0 to here
  QRectF listFolders, cmdVSplit, listMessages, cmdHSplit, textBody, statbar;
};

struct MainLayoutDesign {
  static constexpr double kLine1Y = 15;
  static constexpr double kLine2Y = 690;
  static constexpr double kHSplitTop = 2400;
  static constexpr double kHSplitHeight = 90;
  static constexpr double kVSplitTop = 705;
  static constexpr double kVSplitWidth = 90;
  static constexpr double kVSplitInitialLeft = 2175;
  static constexpr double kStatbarHeight = 375;
  // Below this the layout would need negative sizes.
  static constexpr double kMinInnerWidth = 4500;
  static constexpr double kMinInnerHeight = 3900;
};

// vsplitLeft is where the vertical bar stands now. The folder list is laid
// out 4 narrower than that and the bar put back at the same place, so the
// bar does not creep left on every resize. Sizes never go below zero.
MainLayout computeMainLayout(double innerWidth, double innerHeight, double vsplitLeft);
