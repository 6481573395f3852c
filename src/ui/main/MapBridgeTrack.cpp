// The map bridge's drawing side: centring, fitting, the track script and the
// A-B marks.

#include "MapBridge.h"

#include "UnitUtils.h"

#include <cmath>

namespace kp {

namespace {

constexpr int kMaxRoutePoints = 400;
constexpr double kNeverDays = 100;

bool Finite(const TGeoPoint &p)
{
  return std::isfinite(p.X) && std::isfinite(p.Y);
}
bool IsZero(const TGeoPoint &p)
{
  return p.X == 0 && p.Y == 0;
}
bool Same(const TGeoPoint &a, const TGeoPoint &b)
{
  return a.X == b.X && a.Y == b.Y;
}
QString P(double lon, double lat)
{
  return MapLatLngJS(lon, lat);
}
QString P(const TGeoPoint &p)
{
  return MapLatLngJS(p.X, p.Y);
}

// The drawing area: the view widened to a grid of its own width, so small
// pans give the same area and the same script.
struct TArea {
  double Left = 0, Right = 0, Bottom = 0, Top = 0;

  TArea(const TMapView &view)
  {
    const double d = view.BottomRight.X - view.TopLeft.X;
    Left = std::floor(view.TopLeft.X / d) * d;
    Right = std::floor(view.BottomRight.X / d) * d + d;
    Bottom = std::floor(view.BottomRight.Y / d) * d;
    Top = std::floor(view.TopLeft.Y / d) * d + d;
  }
  bool Holds(const TTrackPoint &p) const
  {
    return p.Lon != 0 && p.Lat != 0 && Left <= p.Lon && p.Lon <= Right && Bottom <= p.Lat && p.Lat <= Top;
  }
};

// The first point with a fix and a position, over the tracks in order, or
// from the end when Backwards; the point examined last otherwise.
TGeoPoint EndPoint(const std::vector<std::unique_ptr<TMovingInfo>> &tracks, bool backwards, bool &found)
{
  TGeoPoint examined;
  found = false;
  const int count = int(tracks.size());
  for (int t = 0; t < count; ++t) {
    const TMovingInfo *info = tracks[size_t(backwards ? count - 1 - t : t)].get();
    if (!info) continue;
    const int span = info->GetPointSpan();
    for (int i = 0; i < span; ++i) {
      TMovingPoint p;
      info->GetPoint(backwards ? span - 1 - i : i, p);
      examined = {p.Lon, p.Lat};
      if (!p.NoFix && p.Lon != 0 && p.Lat != 0) {
        found = true;
        return examined;
      }
    }
  }
  return examined;
}

} // namespace

void TMapBridge::SetMapCenter(double x, double y, double azimuth)
{
  // Panning while a fit is under way would leave the map at neither; the
  // next pass follows from the fitted view.
  if (!MapVisible() || Fitting()) return;
  TGeoPoint p{x, y};
  if (0 <= azimuth && azimuth <= 360) {
    if (!ViewReal()) return;
    const double rx = FView.MapWidth / 2.0 * FView.MetresPerPixel.X - FView.FollowMargin.X * FView.MetresPerDegree.X;
    const double ry = FView.MapHeight / 2.0 * FView.MetresPerPixel.Y - FView.FollowMargin.Y * FView.MetresPerDegree.Y;
    p = GeoDestination(x, y, -azimuth, 0.7 * EllipseRadius(rx, ry, azimuth));
  }
  if (!FView.MapInited || !Finite(p)) return;
  const double dx = p.X - FView.MapCenter.X, dy = p.Y - FView.MapCenter.Y;
  if (std::isfinite(dx) && std::isfinite(dy)) {
    FView.MapView.TopLeft = {FView.MapView.TopLeft.X + dx, FView.MapView.TopLeft.Y + dy};
    FView.MapView.BottomRight = {FView.MapView.BottomRight.X + dx, FView.MapView.BottomRight.Y + dy};
  }
  FView.MapCenter = p;
  ExecMapScript(QStringLiteral("SetMapCenter(") + CoordToStr(p.Y) + QStringLiteral(" ,") + CoordToStr(p.X) +
                QLatin1Char(')'));
}

void TMapBridge::SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight,
                              bool fit, bool drawGaps)
{
  FTrackHighlight = highlight;
  FTrackInfos.clear();
  for (const TMovingInfo *track : tracks) FTrackInfos.push_back(track ? track->CloneGps() : nullptr);
  FDrawGaps = drawGaps;
  FPendingFit.clear();
  if (fit) {
    TGeoPoint northWest{1000, -1000}, southEast{-1000, 1000};
    for (const auto &info : FTrackInfos)
      if (info) info->GetBounds(northWest, southEast);
    // A track straight along a meridian or a parallel, or a car that never
    // moved, has no area but a place: the page fits it all the same.
    if (northWest.X <= southEast.X && northWest.Y >= southEast.Y) {
      // Before the page's first report there is no zoom to go back to (a
      // zoom of 0 would never be restored, and would stop "gm_Z" being saved).
      if (FView.PendingMapZoom <= 0 && FView.MapZoom > 0) FView.PendingMapZoom = FView.MapZoom;
      const QString script = QStringLiteral("SetMapBounds(") + P(northWest.X, southEast.Y) + QStringLiteral(", ") +
                             P(southEast.X, northWest.Y) + QStringLiteral(");");
      SendFit(script, TMapView{northWest, southEast});
    }
  }
  DrawTrackPath();
}

void TMapBridge::ShowRecordingTracks()
{
  std::vector<const TMovingInfo *> tracks;
  bool any = false;
  for (int i = 0; i < FHost.FileCount(); ++i) {
    tracks.push_back(FHost.FileTrack(i));
    any = any || tracks.back();
  }
  if (any) {
    SetMapBounds(tracks, {}, true, true);
    return;
  }
  SetMapBounds({}, {}, false, false);
  ExecMapScript(QStringLiteral("ClearPath()"));
  FLastTrackScript.clear();
}

void TMapBridge::SendFit(const QString &script, const TMapView &bounds)
{
  FFitBounds = bounds;
  // A recording chosen while the page still loads (the command line plays
  // at once) would otherwise leave the map somewhere else.
  if (ExecMapScript(script))
    FFitSent.start();
  else
    FPendingFit = script;
}

double TMapBridge::RouteTolerance() const
{
  double t = (FView.MetresPerPixel.X + FView.MetresPerPixel.Y) / 2 * 8;
  int halvings = 0;
  while (t > 1 && halvings < 64) {
    t /= 2;
    ++halvings;
  }
  return std::ldexp(1.0, halvings);
}

void TMapBridge::DrawTrackPath()
{
  if (!MapVisible() || !FView.MapInited || FTrackInfos.empty() || !ViewReal()) return;
  const TArea area(FView.MapView);
  const auto count = [&](double tolerance) {
    int n = 0;
    for (const auto &info : FTrackInfos)
      if (info) n += info->CountRoutePointsInBounds(area.Left, area.Top, area.Right, area.Bottom, tolerance);
    return n;
  };
  // Thinner until the area holds few enough points, but no coarser than the
  // area itself: past that, more doubling cannot remove segment ends.
  const double diagonal = GeoDistance(area.Left, area.Bottom, area.Right, area.Top);
  double tolerance = RouteTolerance();
  int points = count(tolerance);
  while (points > kMaxRoutePoints && tolerance <= diagonal) {
    tolerance *= 2;
    points = count(tolerance);
  }
  TGeoPoint start, finish;
  const QString script = TrackScript(tolerance, start, finish);
  if (script == FLastTrackScript || !ExecMapScript(script)) return;
  FLastTrackScript = script;
  FStartPoint = start;
  FFinishPoint = finish;
}

QString TMapBridge::TrackScript(double tolerance, TGeoPoint &start, TGeoPoint &finish) const
{
  const TArea area(FView.MapView);
  const int minutes = FHost.TimePointMinutes();
  const double interval = minutes > 0 ? minutes / 1440.0 : kNeverDays;
  QString main = QStringLiteral("ClearPath(); "), timePoints, segment;
  double base = 0, lastTimePoint = 0;
  TGeoPoint gapStart;
  for (size_t i = 0; i < FTrackInfos.size(); ++i) {
    if (!FTrackInfos[i]) continue;
    TTrack route;
    FTrackInfos[i]->GetRoute(route, tolerance);
    if (route.size() == 1 && route[0].Points.size() < 2) continue;
    const QString colour =
        i < FTrackHighlight.size() && FTrackHighlight[i] ? QStringLiteral("#FF00FF") : QStringLiteral("#FF0000");
    for (const TTrackItem &item : route) {
      const std::vector<TTrackPoint> &pts = item.Points;
      if (pts.empty()) continue;
      if (base == 0 || base > pts.front().Time) base = pts.front().Time;
      segment.clear();
      for (size_t k = 0; k < pts.size(); ++k) {
        const TTrackPoint &pt = pts[k];
        const bool prev = k >= 1 && area.Holds(pts[k - 1]);
        const bool cur = area.Holds(pt);
        const bool next = k + 1 < pts.size() && area.Holds(pts[k + 1]);
        const bool drawn = prev || cur || next;
        if (drawn) {
          if (FDrawGaps && gapStart.X != 0 && gapStart.Y != 0 &&
              GeoDistance(gapStart.X, gapStart.Y, pt.Lon, pt.Lat) > tolerance)
            main += QStringLiteral("AddPath([") + P(gapStart) + QLatin1Char(',') + P(pt.Lon, pt.Lat) +
                    QStringLiteral("], \"#444444\", 0.4); ");
          if (!segment.isEmpty()) segment += QLatin1Char(',');
          segment += P(pt.Lon, pt.Lat);
          if ((prev && !cur) || k + 1 == pts.size()) {
            main +=
                QStringLiteral("AddPath([") + segment + QStringLiteral("], \"") + colour + QStringLiteral("\", 0.4); ");
            segment.clear();
          }
        }
        const double j = std::trunc((pt.Time - base) / interval);
        if (j > lastTimePoint) {
          lastTimePoint = j;
          if (drawn)
            timePoints +=
                QStringLiteral("AddPathMarker(\"gm_MarkerP.png\", ") + P(pt.Lon, pt.Lat) + QStringLiteral("); ");
        }
        gapStart = {};
      }
      gapStart = {pts.back().Lon, pts.back().Lat};
    }
  }
  bool found = false;
  start = EndPoint(FTrackInfos, false, found);
  if (found) main += QStringLiteral("AddPathMarker(\"gm_MarkerS.png\", ") + P(start) + QStringLiteral("); ");
  finish = EndPoint(FTrackInfos, true, found);
  if (found) main += QStringLiteral("AddPathMarker(\"gm_MarkerF.png\", ") + P(finish) + QStringLiteral("); ");
  return main + timePoints;
}

TGeoPoint TMapBridge::MarkPoint(long double position) const
{
  const TMovingPoint p = FHost.GetTelemetryAt(position);
  const TGeoPoint point{p.Lon, p.Lat};
  if (IsZero(point) || !Finite(point) || Same(point, FStartPoint) || Same(point, FFinishPoint)) return {};
  return point;
}

void TMapBridge::ShowMapAB()
{
  // Marks reset to 0 and 0 select nothing: no A-B markers (a B mark at 0
  // would otherwise stand on the start of every newly loaded track).
  if (FHost.MarkA() == 0 && FHost.MarkB() == 0) {
    ExecMapScript(QStringLiteral("ClearMarkersAB()"));
    return;
  }
  TGeoPoint a, b;
  if (FHost.MarkA() > 0) a = MarkPoint(FHost.MarkA());
  b = a;
  if (FHost.MarkB() < 1) {
    const TGeoPoint p = MarkPoint(FHost.MarkB());
    if (!IsZero(p)) b = p;
  }
  if (IsZero(a)) a = b;
  if (IsZero(a)) {
    ExecMapScript(QStringLiteral("ClearMarkersAB()"));
    return;
  }
  ExecMapScript(QStringLiteral("SetAB(\"gm_MarkerA.png\", ") + P(a) + QStringLiteral(", \"gm_MarkerB.png\", ") + P(b) +
                QLatin1Char(')'));
}

} // namespace kp
