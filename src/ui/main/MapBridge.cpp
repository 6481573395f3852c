#include "MapBridge.h"

#include "MakerContacts.h"
#include "UnitException.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

Q_LOGGING_CATEGORY(lcMap, "kp.map")

namespace kp {

namespace {

const QString kCallbackPrefix = QStringLiteral("http://callback/");
constexpr int kUpdateCheckDelayMs = 500;
// How long a sent fit may take to come back as a view report; a page that
// never reports does not hold the map still for longer.
constexpr int kFitReportMs = 3000;

bool IsMapType(const QString &type)
{
  return type.isEmpty() || type == u"roadmap" || type == u"hybrid" || type == u"satellite" || type == u"terrain";
}

// A stored coordinate, or the translation's start value when it is missing
// or not a number.
double StoredCoord(const TStringSetting &setting, QStringView startKey)
{
  const QString start = Translate(startKey);
  return StrToFloatAny(setting.ReadOr(start), StrToFloatAny(start, 0));
}

// The zoom the page starts with.
int InitialZoom()
{
  return settings::MapZoom.ReadOr(StrToIntDef(Translate(u"gmStartZoom"), 0));
}

} // namespace

TMapBridge::TMapBridge(IMapBridgeHost &host, IMapBrowser *browser, TMapViewState &view)
  : FHost(host), FBrowser(browser), FView(view)
{
  SetMapProvider(-1);
}

TMapBridge::~TMapBridge() = default;

bool TMapBridge::ExecMapScript(const QString &script, bool force)
{
  if (!FView.MapInited && !force) return false;
  if (!FBrowser || !FBrowser->Shown() || !FBrowser->PageLoaded()) return false;
  try {
    FBrowser->RunScript(script);
  } catch (const std::exception &e) {
    ReportException();
    qCWarning(lcMap) << "map script failed:" << e.what();
  } catch (...) {
    ReportException();
    qCWarning(lcMap) << "map script failed";
  }
  return true;
}

bool TMapBridge::MapVisible() const
{
  return FBrowser && FBrowser->Shown();
}

bool TMapBridge::Fitting() const
{
  return FFitSent.isValid() && FFitSent.elapsed() < kFitReportMs;
}

// The reported view shows the whole fitted rectangle (within a hundredth of
// its size, for the page's rounding).
bool TMapBridge::ViewHoldsFit() const
{
  const TMapView &v = FView.MapView, &f = FFitBounds;
  const double dx = (f.BottomRight.X - f.TopLeft.X) / 100, dy = (f.TopLeft.Y - f.BottomRight.Y) / 100;
  return v.TopLeft.X <= f.TopLeft.X + dx && v.BottomRight.X >= f.BottomRight.X - dx &&
         v.TopLeft.Y >= f.TopLeft.Y - dy && v.BottomRight.Y <= f.BottomRight.Y + dy;
}

void TMapBridge::ForgetTrackScript()
{
  FLastTrackScript.clear();
}

QString TMapBridge::InitializeScript()
{
  const double y = StoredCoord(settings::MapY, u"gmStartY");
  const double x = StoredCoord(settings::MapX, u"gmStartX");
  const int zoom = InitialZoom();
  QString type = settings::MapType.Read();
  if (!IsMapType(type)) type.clear();
  return QStringLiteral("initialize(") + CoordToStr(y) + QStringLiteral(", ") + CoordToStr(x) + QStringLiteral(", ") +
         QString::number(zoom) + QStringLiteral(", '") + type + QStringLiteral("')");
}

void TMapBridge::OpenAnalyticsPage()
{
  // The maker's page is asked only of a build that names the maker's site.
  const QString site = MakerContacts().Site;
  if (site.isEmpty()) return;
  FHost.NavigateAnalytics(
      QUrl(site + QStringLiteral("/googleMapsAPI.html?version=1.1&langid=") + Translate(u"langid")));
}

void TMapBridge::LoadMapPage(int provider)
{
  SetMapProvider(provider);
  FView.MapInited = false;
  FFitSent.invalidate();
  if (!FBrowser) return;
  if (provider == 1) {
    FBrowser->SetShown(true);
    FBrowser->Navigate(QUrl(QStringLiteral("qrc:/gm.html")));
  } else {
    FBrowser->Navigate(QUrl(QStringLiteral("about:blank")));
    OpenAnalyticsPage();
    FBrowser->SetShown(false);
  }
}

void TMapBridge::WebBrowserDocumentComplete(const QUrl &url)
{
  if (FBrowser && url == QUrl(QStringLiteral("about:blank")) && !FBrowser->Shown()) FBrowser->Collapse();
}

bool TMapBridge::WebBrowserBeforeNavigate2(const QUrl &url)
{
  const QString text = url.toString();
  if (!text.startsWith(kCallbackPrefix)) return false;
  if (!FHost.MainWindowVisible()) return true;
  QString query = text.mid(kCallbackPrefix.size());
  const QString command = CutToken(query, u"?");
  try {
    HandleCallback(command, query);
  } catch (const std::exception &e) {
    ReportException();
    qCWarning(lcMap) << "map callback" << command << "failed:" << e.what();
  } catch (...) {
    ReportException();
    qCWarning(lcMap) << "map callback" << command << "failed";
  }
  return true;
}

void TMapBridge::HandleCallback(const QString &command, QString query)
{
  if (command == u"loaded") {
    ExecMapScript(InitializeScript(), true);
    OpenAnalyticsPage();
  } else if (command == u"inited") {
    OnInited();
  } else if (command == u"zoom") {
    OnZoom(query);
  } else if (command == u"view" || command == u"bounds") {
    OnView(query, command == u"bounds");
  } else if (command == u"routeClick") {
    OnRouteClick(query);
  }
}

void TMapBridge::OnInited()
{
  FView.MapInited = true;
  FLastTrackScript.clear();
  if (!FPendingFit.isEmpty()) {
    // The zoom before this fit is the one the page has just started with.
    if (FView.PendingMapZoom <= 0) FView.PendingMapZoom = InitialZoom();
    SendFit(std::exchange(FPendingFit, QString()), FFitBounds);
  }
  DrawTrackPath();
  FHost.TimerPass();
  try {
    FHost.RestartUpdateChecker(kUpdateCheckDelayMs);
  } catch (...) {
    // An update checker that cannot be stopped or started costs only the
    // check; the map goes on.
    ReportException();
  }
}

void TMapBridge::OnZoom(const QString &query)
{
  const int old = FView.MapZoom;
  QString rest = query, name, value;
  while (NextQueryParam(rest, name, value))
    if (name == u"z") FView.MapZoom = StrToIntDef(value, 0);
  const TMovingPoint m = FHost.CurrentPoint();
  // A fit zooms about the track, not about the position; and its centre is
  // not known before its view report, which follows this one.
  if (Fitting()) return;
  if (old < FView.MapZoom && FView.FollowMarker && m.Time > 0) {
    // Keep the position where it was on the screen.
    const double k = std::ldexp(1.0, std::min(FView.MapZoom - old, 64));
    SetMapCenter((FView.MapCenter.X - m.Lon) / k + m.Lon, (FView.MapCenter.Y - m.Lat) / k + m.Lat, -1);
  }
}

void TMapBridge::ReadViewFields(const QString &query)
{
  QString rest = query, name, value;
  while (NextQueryParam(rest, name, value)) {
    if (name == u"mt") {
      settings::MapType.Write(value);
      continue;
    }
    if (name == u"w")
      FView.MapWidth = StrToIntDef(value, 0);
    else if (name == u"h")
      FView.MapHeight = StrToIntDef(value, 0);
    else if (name == u"z")
      FView.MapZoom = StrToIntDef(value, 0);
    else {
      const double v = StrToFloatAny(value, 0);
      if (name == u"t")
        FView.MapView.TopLeft.Y = v;
      else if (name == u"l")
        FView.MapView.TopLeft.X = v;
      else if (name == u"b")
        FView.MapView.BottomRight.Y = v;
      else if (name == u"r")
        FView.MapView.BottomRight.X = v;
      else if (name == u"y")
        FView.MapCenter.Y = v;
      else if (name == u"x")
        FView.MapCenter.X = v;
    }
  }
}

// The values derived from the view's extent; a view without extent (before
// the first report, or a page that has no size) keeps the last ones.
bool TMapBridge::DeriveView()
{
  if (FView.MapWidth <= 0) FView.MapWidth = std::max(FBrowser ? FBrowser->Size().width() : 0, 1);
  if (FView.MapHeight <= 0) FView.MapHeight = std::max(FBrowser ? FBrowser->Size().height() : 0, 1);
  const TMapView &v = FView.MapView;
  const double west = v.TopLeft.X, north = v.TopLeft.Y, east = v.BottomRight.X, south = v.BottomRight.Y;
  const double wm = GeoDistance(west, FView.MapCenter.Y, east, FView.MapCenter.Y);
  const double hm = GeoDistance(FView.MapCenter.X, north, FView.MapCenter.X, south);
  const double wd = std::fabs(west - east), hd = std::fabs(north - south);
  if (!(wd > 0 && hd > 0 && wm > 0 && hm > 0) || !std::isfinite(wm + hm + wd + hd)) return false;
  const double w = FView.MapWidth, h = FView.MapHeight;
  FView.MetresPerPixel = {wm / w, hm / h};
  FView.MetresPerDegree = {wm / wd, hm / hd};
  FView.FollowMargin = {std::max(w * 0.15, 30.0) / w * wd, std::max(h * 0.15, 30.0) / h * hd};
  FViewDerived = true;
  return true;
}

bool TMapBridge::ViewReal() const
{
  const TMapView &v = FView.MapView;
  return FViewDerived && v.BottomRight.X - v.TopLeft.X > 0 && v.TopLeft.Y - v.BottomRight.Y > 0;
}

void TMapBridge::SaveView()
{
  if (std::isfinite(FView.MapCenter.X) && std::isfinite(FView.MapCenter.Y)) {
    settings::MapX.Write(CoordToStr(FView.MapCenter.X));
    settings::MapY.Write(CoordToStr(FView.MapCenter.Y));
  }
  if (FView.PendingMapZoom < 0) settings::MapZoom.Write(std::clamp(FView.MapZoom, 10, 17));
}

void TMapBridge::OnView(const QString &query, bool bounds)
{
  ReadViewFields(query);
  if (ViewHoldsFit()) FFitSent.invalidate();
  if (DeriveView()) {
    const double oldSize = FView.MarkerSize;
    FView.MarkerSize = 20 * FView.MetresPerPixel.X;
    if (bounds) {
      const TMovingPoint m = FHost.CurrentPoint();
      const TMapView &v = FView.MapView;
      const TGeoPoint &margin = FView.FollowMargin;
      FView.FollowMarker = v.TopLeft.X + margin.X <= m.Lon && v.BottomRight.X - margin.X >= m.Lon &&
                           v.TopLeft.Y - margin.Y >= m.Lat && v.BottomRight.Y + margin.Y <= m.Lat;
    }
    const double newSize = FView.MarkerSize;
    if (std::min(oldSize, newSize) / std::max({oldSize, newSize, 1.0}) < 0.9)
      ExecMapScript(QStringLiteral("ClearMarkers()"));
  }
  SaveView();
  if (bounds) {
    DrawTrackPath();
    return;
  }
  FHost.TimerPass();
  if (!FHost.FullScreen() && FHost.MainWindowActive()) FHost.MoveFocusFromMap();
}

void TMapBridge::OnRouteClick(const QString &query)
{
  double x = 0, y = 0;
  QString rest = query, name, value;
  while (NextQueryParam(rest, name, value)) {
    if (name == u"x")
      x = StrToFloatAny(value, 0);
    else if (name == u"y")
      y = StrToFloatAny(value, 0);
  }
  if (x == 0 || y == 0 || FHost.CurrentFile() < 0) return;
  double limit = 999999;
  long double position = -1;
  for (int i = 0; i < FHost.FileCount(); ++i) {
    const TMovingInfo *info = FHost.FileTrack(i);
    if (!info) continue;
    const double fraction = info->FindPositionByCoord(limit, y, x);
    if (fraction >= 0) position = FHost.FileTrackToGroupPosition(i, fraction);
  }
  if (position >= 0) FHost.SeekTo(position);
}

} // namespace kp
