#pragma once
// What the update window and the GPS-log window need of the main window,
// which implements these; tests fake them. Main thread only.

#include <QString>
#include <vector>

namespace kp {

class TMovingInfo;

class IUpdateHost {
public:
  virtual ~IUpdateHost() = default;
  // Stops the playing recording before the program is replaced.
  virtual void StopPlayback() = 0;
  // The main window leaves the screen during a self-update and always
  // comes back when it does not end in a restart.
  virtual void HideMainWindow() = 0;
  virtual void ShowMainWindow() = 0;
  // The advertising strip opens this address.
  virtual void NavigateAds(const QString &url) = 0;
};

class IGpsLogHost {
public:
  virtual ~IGpsLogHost() = default;
  // A new catalogue search of the list (after logs were deleted).
  virtual void RefreshFileList() = 0;
  // Draws the tracks on the map, fitted, the highlighted ones marked.
  virtual void SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight) = 0;
};

} // namespace kp
