#pragma once
// The main window's layout rules as pure functions of sizes and settings,
// so they are checked without a window: the control panel's flow of blocks,
// the restored position pulled back onto the screen, the restored list
// columns and the grey toolbar pictures.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <vector>

namespace kp {

struct TControlPanelInput {
  bool AlongTopOrBottom = true; // else along the left or right side
  int PanelWidth = 0;
  int PanelHeight = 0; // used as is along a side
  bool SpeedometerShown = true;
  int FirstBlockHeight = 0;  // PanelControl_s1
  int BottomPanelWidth = 0;  // a side panel leaves the graphs beside it some room
  std::vector<QSize> Blocks; // the visible blocks in flow order
  int VolumeBlock = -1;      // index of the horizontal volume bar, -1 none
};

struct TControlPanelLayout {
  std::vector<QPoint> Positions; // one per block
  int PanelHeight = 0;
  int PanelWidth = 0; // changed only along a side
  // Along a side: the least width of the whole bottom row that shows the
  // columns whole beside graphs with room to seek (0 along the top or
  // bottom).
  int RowMinimum = 0;
};

TControlPanelLayout LayoutControlPanel(const TControlPanelInput &in);

// A saved window rectangle pulled back onto the work area when it lies
// (almost) off it.
QRect PullBackOntoScreen(QRect bounds, const QRect &workArea);

struct TColumnRestore {
  std::vector<int> Widths;        // per design index
  std::vector<int> Order;         // design index shown at each position
  std::vector<int> DeleteWidthOf; // "col<i>_w" settings equal to the design width
};

// Restores the list columns from the settings: readWidth(i) is "col<i>_w"
// (-1 when absent), readIndex(i) "col<i>_i" (-1 when absent).
TColumnRestore RestoreColumns(const std::vector<int> &designWidths, const std::function<int(int)> &readWidth,
                              const std::function<int(int)> &readIndex);

// The disabled look of a toolbar picture: lighter grey by Factor, its
// transparent pixels left transparent.
QImage GrayBitmap(const QImage &bitmap, double factor);

// The picture with its bottom-left pixel's colour made transparent.
QImage WithTransparentCorner(const QImage &bitmap);

} // namespace kp
