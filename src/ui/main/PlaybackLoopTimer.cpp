// The periodic pass of the playback loop and what it draws.
#include "DSPack.h"
#include "IMapPage.h"
#include "Numbers.h"
#include "PlaybackGuard.h"
#include "PlaybackLoop.h"
#include "PositionModel.h"
#include "UnitBSImage.h"
#include "UnitBitmaps.h"
#include "UnitFileManager.h"
#include "UnitGraphics.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QScopedValueRollback>
#include <QToolButton>
#include <algorithm>

namespace kp {

namespace {

// One pixel of the seek bar below these many days gets 3, then 1 decimals.
constexpr double kHundredthSecondDays = 1.1574074074074074e-07;
constexpr double kTenthSecondDays = 1.1574074074074074e-06;

// A map point at Distance metres from (Lon, Lat) on a compass bearing.
QString FormatPolarPoint(double lon, double lat, double bearing, double distance)
{
  return MapPointJS(GeoDestination(lon, lat, -bearing, distance));
}

} // namespace

void TPlaybackLoop::TimerTimer(TOrigin origin)
{
  // A modal message inside a pass fires the timer in its nested loop.
  if (FInPass) return;
  const QScopedValueRollback<bool> flag(FInPass, true);
  GuardStep(FHost, TGraphFailure::Log, [&] { Pass(origin); });
}

void TPlaybackLoop::Pass(TOrigin origin)
{
  if (!FHost.MainWindowVisible()) return;
  const long double g = FModel.GetPosition();
  if (S.CurrentFile < 0 || g < 0) return;
  if (origin != TOrigin::None && C.FilterGraph->Active() && C.FilterGraph->GetState() == psPlaying &&
      !LoopAndFollow(origin, g))
    return;
  if (!C.Checked("N_View_Profile_Video")) {
    if (TelemetryWindowActive())
      Telemetry(origin, g, true);
    else if (GaugesShownInFullScreen())
      Telemetry(origin, g, false);
  }
  if (TelemetryWindowActive() || (FHost.FullScreen() && FHost.VideoInFullScreen())) DrawCursors(g);
}

// Full screen's bar holds the gauges: they follow the picture there, while
// the map, hidden behind full screen, waits for the window to come back.
bool TPlaybackLoop::GaugesShownInFullScreen() const
{
  return FHost.ActiveWindow() == TActiveWindow::FullScreen && FHost.FullScreen() && FHost.GaugesInFullScreen();
}

// False when the pass ends here (play-next took over).
bool TPlaybackLoop::LoopAndFollow(TOrigin origin, long double g)
{
  if (C.CheckBoxLoop && C.CheckBoxLoop->isChecked() && S.MarkB > S.MarkA && g >= S.MarkB) {
    // The loop goes round by itself: a file it cannot open is told once.
    const QScopedValueRollback<bool> unattended(FModel.Unattended, true);
    FModel.SeekTo(S.MarkA, false, false);
    return true;
  }
  const long double w = S.TimeWindowEnd - S.TimeWindowStart;
  if (C.Checked("N_Playback_PlayNext") && g == 1.0L && C.ButtonPlay && C.ButtonPlay->isChecked()) {
    PlayNext(origin);
    return false;
  }
  bool moved = false;
  if (g > S.TimeWindowEnd - 0.05L * w && S.TimeWindowEnd < 1.0L) {
    S.TimeWindowStart = g - 0.1L * w;
    moved = true;
  } else if (g < S.TimeWindowStart) {
    S.TimeWindowStart = g - 0.5L * w;
    moved = true;
  }
  if (moved) {
    S.TimeWindowEnd = S.TimeWindowStart + w;
    FHost.NormalizeTimeWindow();
    FHost.FormResize();
  }
  return true;
}

void TPlaybackLoop::PlayNext(TOrigin origin)
{
  QAbstractItemView *view = C.ListView;
  if (!view || !view->model()) return;
  const QModelIndexList selected = view->selectionModel()->selectedRows();
  const int current = selected.size() == 1 ? selected.first().row() : view->currentIndex().row();
  view->clearSelection();
  ButtonStopClick(origin);
  const int rows = view->model()->rowCount();
  if (rows <= 0) return;
  // Nobody is there to answer a message while the list plays on.
  const QScopedValueRollback<bool> unattended(FModel.Unattended, true);
  const int next = NextPlayableRow(current, rows);
  // With nothing left to play the list rests on the row that failed.
  const int row = next >= 0 ? next : std::clamp(current, 0, rows - 1);
  const QModelIndex index = view->model()->index(row, 0);
  view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->scrollTo(index, QAbstractItemView::EnsureVisible);
  if (next >= 0 && ListViewDblClick) ListViewDblClick(origin);
}

// The first row after Current, wrapping to the first, whose recording has a
// file not yet failed to open; -1 when none has.
int TPlaybackLoop::NextPlayableRow(int current, int rows) const
{
  for (int k = 1; k <= rows; ++k) {
    const int row = ((current < 0 ? -1 : current) + k) % rows;
    const TFileItem item = C.FileManager ? C.FileManager->GetGroup(row) : TFileItem();
    const bool playable = std::any_of(item.Files.begin(), item.Files.end(),
                                      [this](const TFileItemSubitem &f) { return !FModel.Failed(f.FileName); });
    if (playable) return row;
  }
  return -1;
}

bool TPlaybackLoop::TelemetryWindowActive() const
{
  const TActiveWindow active = FHost.ActiveWindow();
  return active == TActiveWindow::Main || active == TActiveWindow::Other;
}

void TPlaybackLoop::Telemetry(TOrigin origin, long double g, bool withMap)
{
  bool valid = false;
  FModel.GetTelemetryAt(g, S.CurrentPoint, S.CurrentSample, valid);
  const bool panelShown = C.PanelControl && C.PanelControl->isVisible();
  if (S.CurrentPoint.Time > 0) {
    if (withMap && C.MapPage && C.MapPage->MapVisible()) {
      if (MarkerDue(origin)) PlaceMarker(valid);
      if (origin != TOrigin::None) PendingZoomAndFollow();
    }
  } else if (withMap)
    ExecMapScript(QStringLiteral("ClearMarkers()"));
  // Without a fix of this moment (before the first, long past the last,
  // across a long gap, beside a point the receiver marked as unfixed) the
  // gauges go idle rather than show another moment or a guess; the map
  // keeps its dot for a guess. Short dropouts stay valid: the telemetry
  // bridges them.
  if (panelShown) {
    if (S.CurrentPoint.Time > 0 && valid)
      DrawGauges();
    else
      DrawIdleGauges();
  }
  if (!panelShown || !C.GSensorBitmap) return;
  if (S.CurrentSample.Time > 0)
    C.GSensorBitmap->Draw(S.CurrentSample.X, S.CurrentSample.Y, S.CurrentSample.Z, S.CurrentSample.A);
  else
    DrawIdleGSensor();
}

bool TPlaybackLoop::MarkerDue(TOrigin origin)
{
  // Every frame of the map page costs its renderer a few milliseconds however
  // little the marker moved, about as much as the rest of the window's pass:
  // at the fastest refresh the marker moves on every other pass (five times
  // a second), while a pass a command runs places it at once.
  constexpr qint64 kMarkerIntervalMs = 150;
  if (origin == TOrigin::Timer && FMarkerPlaced.isValid() && FMarkerPlaced.elapsed() < kMarkerIntervalMs) return false;
  FMarkerPlaced.start();
  return true;
}

void TPlaybackLoop::PlaceMarker(bool valid)
{
  const TMovingPoint &p = S.CurrentPoint;
  double size = S.Map ? S.Map->MarkerSize : 0;
  const QString at = MapLatLngJS(p.Lon, p.Lat);
  if (!valid) {
    ExecMapScript(QStringLiteral("PlaceMarkerD(%1,%2)").arg(at).arg(Round(1.8 * size)));
    return;
  }
  const bool small = C.Checked("N_View_Arrow_Small");
  if (small)
    size /= 2;
  else if (C.Checked("N_View_Arrow_Normal"))
    size /= 1.6;
  QStringList points;
  if (p.Course == -1) {
    size /= 2;
    for (int bearing = 30; bearing < 360; bearing += 60) points << FormatPolarPoint(p.Lon, p.Lat, bearing, size);
  } else if (small) {
    points << FormatPolarPoint(p.Lon, p.Lat, p.Course, size) << FormatPolarPoint(p.Lon, p.Lat, p.Course + 120, size / 2)
           << at << FormatPolarPoint(p.Lon, p.Lat, p.Course + 240, size / 2);
  } else {
    // Longer and narrower with speed; the tip leads the position.
    const double a = std::max(20.0, 60.0 - p.Speed / 3);
    const double r = (p.Speed / 300 + 1) * size;
    points << FormatPolarPoint(p.Lon, p.Lat, p.Course, r) << FormatPolarPoint(p.Lon, p.Lat, p.Course + 180 - a, size)
           << at << FormatPolarPoint(p.Lon, p.Lat, p.Course + 180 + a, size);
  }
  ExecMapScript(QStringLiteral("PlaceMarker([") + points.join(QLatin1Char(',')) + QStringLiteral("])"));
}

void TPlaybackLoop::PendingZoomAndFollow()
{
  if (!S.Map) return;
  TMapViewState &m = *S.Map;
  const TMovingPoint &p = S.CurrentPoint;
  if (C.ButtonPlay && C.ButtonPlay->isChecked() && m.PendingMapZoom > 0) {
    C.MapPage->SetMapCenter(p.Lon, p.Lat, -1);
    // A pending zoom never zooms out.
    if (m.PendingMapZoom > m.MapZoom) {
      ExecMapScript(QStringLiteral("SetMapZoom(%1,%2)").arg(m.PendingMapZoom).arg(MapLatLngJS(p.Lon, p.Lat)));
      m.MapZoom = m.PendingMapZoom;
    }
    m.PendingMapZoom = -1;
    m.FollowMarker = true;
  }
  const TMapView &v = m.MapView;
  const bool outside = p.Lon < v.TopLeft.X + m.FollowMargin.X || p.Lon > v.BottomRight.X - m.FollowMargin.X ||
                       p.Lat > v.TopLeft.Y - m.FollowMargin.Y || p.Lat < v.BottomRight.Y + m.FollowMargin.Y;
  if (!outside)
    m.FollowMarker = true;
  else if (m.FollowMarker)
    C.MapPage->SetMapCenter(p.Lon, p.Lat, p.Course);
}

void TPlaybackLoop::DrawGauges()
{
  const TMovingPoint &p = S.CurrentPoint;
  if (C.SpeedBitmap) {
    if (UseBritishUnits())
      C.SpeedBitmap->Draw(3, p.Speed / 1.609344, p.Trip / 1000 / 1.609344, p.Alt / 0.3048);
    else
      C.SpeedBitmap->Draw(0, p.Speed, p.Trip, p.Alt);
  }
  if (C.AzimutBitmap) C.AzimutBitmap->Draw(p.Course);
}

void TPlaybackLoop::DrawCursors(long double g)
{
  const int margin = C.SeekBitmap ? C.SeekBitmap->Margin() : 0;
  const int pixels = std::max(1, (C.ImageSeek ? C.ImageSeek->width() : 0) - 2 * margin);
  const long double span = S.Recording.Summary.EndTime - S.Recording.Summary.StartTime;
  const long double dayPerPixel = span * (S.TimeWindowEnd - S.TimeWindowStart) / pixels;
  const int decimals = dayPerPixel < kHundredthSecondDays ? 3 : dayPerPixel < kTenthSecondDays ? 1 : 0;
  if (C.SeekBitmap) C.SeekBitmap->DrawCursor(decimals, g);
  if (C.Graphs)
    for (const std::unique_ptr<TMyGraphic> &graph : *C.Graphs) graph->DrawCursor(g);
  FHost.DetailsDrawCursor(g);
}

} // namespace kp
