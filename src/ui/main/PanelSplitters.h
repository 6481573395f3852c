#pragma once
// The two splitters of the main window: the map's share of the right-hand
// column, and the panel sizes kept in the settings.

#include <optional>

namespace kp {

struct TRightColumnSizes {
  int PanelRight2Height = 0; // the column the map shares with the panels below it
  bool BrowserVisible = false;
  bool BrowserTopOrBottom = false; // aligned to the column's top or bottom
  int BrowserHeight = 0;
};

// The map's new share of the column after the list's splitter moved, or
// nothing when the column is too low to measure or the map not stacked in it.
std::optional<double> BrowserShareAfterMove(const TRightColumnSizes &sizes);

// Stores the right panel's width (only when above 0), the bottom panel's
// height (only when 0 or above: below 0 while full screen has lent it) and
// the map's share, while the window is visible.
void StorePanelSizes(bool windowVisible, int panelRightWidth, int panelBottomHeight, double browserShare);

// The bottom panel's least height that still shows the seek bar and the
// time scroll bar under it.
int BottomPanelMinimum(int seekBarHeight, int zoomBarHeight);
// The bottom panel's height at start: a stored height below Minimum (a
// panel left collapsed) is refused for the design height.
int RestoredBottomHeight(int stored, int minimum, int design);

} // namespace kp
