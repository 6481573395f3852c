#pragma once
// The two splitters of the main window: the map's share of the right-hand
// column, and the panel sizes kept in the settings.

#include <limits>
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
// A panel's size at start (the bottom panel's height, the right panel's
// width): a stored size below Minimum (a panel left collapsed) or above
// Maximum (no room left for the video) is refused for the design size,
// itself kept to Maximum.
int RestoredPanelSize(int stored, int minimum, int design, int maximum = std::numeric_limits<int>::max());
// The most a panel beside or below the video may take of Extent (the
// window's width or height) so that the video keeps its least room.
int PanelRoomBeside(int extent);

} // namespace kp
