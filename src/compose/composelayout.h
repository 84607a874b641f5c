#pragma once
// The compose window's layout, in twips, from the inner size of the window:
// the header area keeps its design positions and only its fields stretch;
// the toolbar sits under the rule Line1 and the body takes the height left
// above the strip at the bottom.
#include <QRectF>

struct ComposeDesign {
  // Left column: Send, Cancel, Deliver; labels; then the fields.
  static constexpr double kMargin = 60;
  static constexpr double kButtonWidth = 1020;
  static constexpr double kLabelLeft = 1200;
  static constexpr double kLabelWidth = 1260;
  static constexpr double kFieldLeft = 2580;
  static constexpr double kRowTop = 60;
  static constexpr double kRowStep = 360;
  static constexpr double kRowHeight = 315;
  static constexpr double kFrameTop = 1860;
  static constexpr double kFrameHeight = 720;
  static constexpr double kFrameWidth = 5400;
  static constexpr double kLine1Y = 2640;
  static constexpr double kLine2Y = 0;
  static constexpr double kToolbarHeight = 450;
  static constexpr double kToolButton = 390;
  static constexpr double kToolGap = 30;
  static constexpr double kKeyButton = 570;  // two glyphs of the display font
  static constexpr double kKeyboardsWidth = 1050;
  static constexpr double kPickerHeight = 2400;
  static constexpr double kStatbarHeight = 300;
  static constexpr double kDesignInnerWidth = 11400;
  static constexpr double kDesignInnerHeight = 7800;
  // Below this the toolbar would be cut off and the body vanish.
  static constexpr double kMinInnerWidth = 11250;
  static constexpr double kMinInnerHeight = 4500;
};

struct ComposeLayout {
  double line_x2 = 0;      // both rules run from 0 to here
  double fieldWidth = 0;   // txtTo, txtSubject, txtCC, txtBCC, cmbAttachments, List1
  QPointF tovelbar;        // top left of the toolbar frame
  QRectF txtBody;
  QRectF statbar;
};

// Sizes never go below zero; a minimized window is not laid out at all. The
// body's lines wrap at its own edge: a fixed wrapping width makes Qt lay out
// more on every key and typing in a long message lag.
ComposeLayout computeComposeLayout(double innerWidth, double innerHeight);
