#pragma once
// Units, time zone and view profiles, and the advertising strip's height.
// Each handler runs once at start-up without a sender (no reformatting, and
// only the first steps of a profile) and again on every user click, the
// clicked item's mark already set and saved. Main thread only.

#include "ViewsControls.h"

#include <QString>
#include <optional>

class QAction;
class QObject;
class QWebEngineView;

namespace kp {

class IViewsHost;
class TColumnSaver;
class TViewCommands;

// The display shift for zone GMT+N while the computer runs LocalOffset
// days ahead of UTC, in days.
double GmtShiftDays(int n, double localOffsetDays);
// The strip's new height for the page's meta "height" text, or none when
// it stays: no integer keeps it, 0 hides the strip, N > 0 gives N + 4.
std::optional<int> AdsStripHeight(const QString &meta, int current);
// Script reading the first meta element named "height" (any case); "" when
// there is none. A page that fits its strip to its text is first told the
// strip's Width.
QString AdsMetaScript(int width);

class TViewProfiles {
public:
  TViewProfiles(const TViewsControls &controls, IViewsHost &host, TViewCommands &commands);

  void N_View_Measu_MetricClick(QObject *sender);
  void N_View_TimeZone_LocalClick(QObject *sender);
  void N_View_Profile_GPSClick(QObject *sender);
  // The page's meta "height" text, once a strip page finished loading.
  void AdsLoaded(const QString &meta);
  // Reads the meta after every load of View (the strip or the analytics
  // page), and applies it to the strip.
  void WatchAdsPage(QWebEngineView *view);
  // Reads the strip's own page again (its text changed).
  void ReadAdsHeight();
  // The list's own column widths, once the window has them.
  void SetColumns(TColumnSaver *columns) { FColumns = columns; }

private:
  void ProfileColumns(bool speedVisible);
  // Runs the meta script on View; its answer sizes the strip.
  void ReadMeta(QWebEngineView &view);
  void PlaceControlPanel(bool video);
  void ProfileMarks(bool video, bool gsensor);

  const TViewsControls &C;
  IViewsHost &FHost;
  TViewCommands &FCommands;
  TColumnSaver *FColumns = nullptr;
};

} // namespace kp
