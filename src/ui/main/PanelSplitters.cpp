#include "PanelSplitters.h"

#include "UnitRegSettings.h"
#include "UnitUtils.h"

#include <algorithm>

namespace kp {

std::optional<double> BrowserShareAfterMove(const TRightColumnSizes &sizes)
{
  if (sizes.PanelRight2Height <= 20 || !sizes.BrowserVisible || !sizes.BrowserTopOrBottom) return std::nullopt;
  return static_cast<double>(sizes.BrowserHeight) / sizes.PanelRight2Height;
}

void StorePanelSizes(bool windowVisible, int panelRightWidth, int panelBottomHeight, double browserShare)
{
  if (!windowVisible) return;
  if (panelRightWidth > 0) settings::PanelRight.Write(panelRightWidth);
  if (panelBottomHeight >= 0) settings::PanelBottom.Write(panelBottomHeight);
  // At most three decimals, without trailing zeros ("0.6", not "0.600").
  WriteSetting(QLatin1String(settings::PanelBrowser.Name), FloatToStrDot(browserShare, 3));
}

int BottomPanelMinimum(int seekBarHeight, int zoomBarHeight)
{
  return std::max(0, seekBarHeight) + std::max(0, zoomBarHeight);
}

int RestoredPanelSize(int stored, int minimum, int design, int maximum)
{
  if (stored >= minimum && stored <= maximum) return stored;
  return std::max(minimum, std::min(design, maximum));
}

int PanelRoomBeside(int extent)
{
  // The video's least room: a picture still worth watching.
  constexpr int kLeastVideoExtent = 160;
  return std::max(0, extent - kLeastVideoExtent);
}

} // namespace kp
