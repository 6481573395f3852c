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
// height and the map's share, while the window is visible.
void StorePanelSizes(bool windowVisible, int panelRightWidth, int panelBottomHeight, double browserShare);

} // namespace kp
