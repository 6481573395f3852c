// The map bridge against a browser that records scripts and a host that
// records what the callbacks ask of the window.

#include "MakerContacts.h"
#include "MapBridge.h"
#include "MapTestHost.h"
#include "UiTestSupport.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace kp;
using kptest::kTen;
using kptest::Line;

namespace {

struct TFakeBrowser : IMapBrowser {
  bool FShown = true, FLoaded = true, FCollapsed = false;
  QStringList FScripts;
  QList<QUrl> FNavigations;

  bool Shown() const override { return FShown; }
  bool PageLoaded() const override { return FLoaded; }
  void RunScript(const QString &script) override { FScripts << script; }
  QSize Size() const override { return {800, 600}; }
  void Navigate(const QUrl &url) override { FNavigations << url; }
  void SetShown(bool shown) override { FShown = shown; }
  void Collapse() override { FCollapsed = true; }
};

class MapBridge : public ::testing::Test {
protected:
  MapBridge()
  {
    kptest::useLanguage(LangEnglish);
    SetMapProvider(1);
  }

  bool Callback(const QString &text) { return FBridge.WebBrowserBeforeNavigate2(QUrl("http://callback/" + text)); }
  // A report of a view with its centre in the middle.
  void Report(const char *command, double west, double north, double east, double south, int w = 800, int h = 600,
              int z = 14)
  {
    Callback(QString::asprintf("%s?t=%.12g&l=%.12g&b=%.12g&r=%.12g&w=%d&h=%d&x=%.12g&y=%.12g&z=%d&mt=roadmap", command,
                               north, west, south, east, w, h, (west + east) / 2, (north + south) / 2, z));
  }
  void Init(double west = 30, double north = 50.02, double east = 30.04, double south = 50)
  {
    Callback("inited");
    Report("bounds", west, north, east, south);
  }
  // Draws the host's files in the current view; the track script sent, if any.
  QString Draw(bool drawGaps = false)
  {
    std::vector<const TMovingInfo *> tracks;
    for (const auto &f : FHost.FFiles) tracks.push_back(f.get());
    FBrowser.FScripts.clear();
    FBridge.ForgetTrackScript();
    FBridge.SetMapBounds(tracks, {}, false, drawGaps);
    return FBrowser.FScripts.isEmpty() ? QString() : FBrowser.FScripts.last();
  }

  kptest::ScopedSettings FSettings;
  kptest::TFakeMapHost FHost;
  TFakeBrowser FBrowser;
  TMapViewState FView;
  TMapBridge FBridge{FHost, &FBrowser, FView};
};

TEST_F(MapBridge, ReadsReportsAndIgnoresWhatItCannotRead)
{
  struct Case {
    const char *callback;
    double west, north, centreY;
    int width, height, zoom;
    const char *storedType;
  } cases[] = {
      {"view?t=50.5&l=30.25", 30.25, 50.5, 0, 800, 600, 0, ""}, // missing keys: browser size
      {"view?w=0&h=-3&y=1,5&x=abc&q=7", 0, 0, 1.5, 800, 600, 0, ""},
      {"bounds?t=nan&l=inf&w=640&h=480&z=7.5&mt=hybrid", 0, 0, 0, 640, 480, 0, "hybrid"},
      {"bounds?z=12&mt=terrain&t", 0, 0, 0, 800, 600, 12, "terrain"},
  };
  for (const Case &c : cases) {
    TMapViewState view;
    TMapBridge bridge(FHost, &FBrowser, view);
    SetMapProvider(1);
    settings::MapType.Delete();
    EXPECT_TRUE(bridge.WebBrowserBeforeNavigate2(QUrl(QString("http://callback/") + c.callback)));
    EXPECT_EQ(view.MapView.TopLeft.X, c.west) << c.callback;
    EXPECT_EQ(view.MapView.TopLeft.Y, c.north) << c.callback;
    EXPECT_EQ(view.MapCenter.Y, c.centreY) << c.callback;
    EXPECT_EQ(view.MapWidth, c.width) << c.callback;
    EXPECT_EQ(view.MapHeight, c.height) << c.callback;
    EXPECT_EQ(view.MapZoom, c.zoom) << c.callback;
    EXPECT_EQ(settings::MapType.Read(), c.storedType) << c.callback;
  }
  EXPECT_FALSE(FBridge.WebBrowserBeforeNavigate2(QUrl("qrc:/gm.html")));

  // Hidden main window: cancelled, nothing else.
  FHost.FVisible = false;
  FHost.FTimerPasses = 0;
  FBrowser.FScripts.clear();
  for (const char *c : {"loaded", "inited", "view?t=1&l=1&b=0&r=2", "routeClick?x=30&y=50"}) EXPECT_TRUE(Callback(c));
  EXPECT_TRUE(FBrowser.FScripts.isEmpty());
  EXPECT_FALSE(FView.MapInited);
  EXPECT_EQ(FHost.FTimerPasses, 0);
  EXPECT_TRUE(FHost.FSeeks.empty());
}

TEST_F(MapBridge, InitializeFromStoredSettings)
{
  struct Case {
    const char *x, *y, *zoom, *type;
    const char *expected;
  } cases[] = {
      {nullptr, nullptr, nullptr, nullptr, "initialize(55.750000, 37.620000, 14, '')"},
      {"30.5", "50,25", "12", "terrain", "initialize(50.250000, 30.500000, 12, 'terrain')"},
      {"abc", "nan", "1e3", "x'); alert(1); ('", "initialize(55.750000, 37.620000, 14, '')"},
      {"inf", "", "", "roadmap", "initialize(55.750000, 37.620000, 14, 'roadmap')"},
  };
  // The maker's page is asked only of a build that names the maker's site.
  const QString site = MakerContacts().Site;
  bool withSite = false;
  for (const Case &c : cases) {
    withSite = !withSite;
    MakerContacts().Site = withSite ? QStringLiteral("https://maker.test") : QString();
    const std::pair<const TStringSetting *, const char *> strings[] = {
        {&settings::MapX, c.x}, {&settings::MapY, c.y}, {&settings::MapType, c.type}};
    for (auto [setting, value] : strings) value ? setting->Write(value) : setting->Delete();
    c.zoom ? WriteSetting("gm_Z", c.zoom) : settings::MapZoom.Delete();
    FBrowser.FScripts.clear();
    FHost.FAnalytics.clear();
    // Forced past the not-yet-inited page.
    EXPECT_TRUE(Callback("loaded"));
    EXPECT_EQ(FBrowser.FScripts, QStringList{c.expected});
    if (withSite)
      EXPECT_EQ(FHost.FAnalytics, QList<QUrl>{QUrl("https://maker.test/googleMapsAPI.html?version=1.1&langid=en")});
    else
      EXPECT_TRUE(FHost.FAnalytics.isEmpty());
  }
  MakerContacts().Site = site;
}

TEST_F(MapBridge, GateAndInited)
{
  EXPECT_FALSE(FBridge.ExecMapScript("ClearMarkers()"));
  FBrowser.FLoaded = false;
  EXPECT_FALSE(FBridge.ExecMapScript("initialize(1, 2, 3, '')", true));
  FBrowser.FLoaded = true;
  FHost.FFiles.push_back(Line(30.001, 50.001, 0.0001, 0.0001, 100));
  Draw(); // remembered, not sent
  // A fit asked for before the page is ready is sent once it is.
  FBridge.SetMapBounds({FHost.FFiles.back().get()}, {}, true, true);
  EXPECT_TRUE(FBrowser.FScripts.isEmpty());
  Callback("inited");
  EXPECT_TRUE(FView.MapInited);
  EXPECT_EQ(FHost.FRestarts, std::vector<int>{500});
  EXPECT_EQ(FHost.FTimerPasses, 1);
  ASSERT_EQ(FBrowser.FScripts.size(), 1);
  EXPECT_TRUE(FBrowser.FScripts.front().startsWith("SetMapBounds(")) << FBrowser.FScripts.front().toStdString();
  // No view yet: the track waits for the first report.
  FBrowser.FScripts.clear();
  Report("bounds", 30, 50.02, 30.04, 50);
  ASSERT_FALSE(FBrowser.FScripts.isEmpty());
  EXPECT_TRUE(FBrowser.FScripts.last().startsWith("ClearPath(); AddPath(")) << FBrowser.FScripts.last().toStdString();
  Report("view", 30, 50.02, 30.04, 50);
  EXPECT_EQ(FHost.FTimerPasses, 2);
  EXPECT_EQ(FHost.FFocusMoves, 1);

  FBridge.LoadMapPage(0);
  EXPECT_FALSE(FView.MapInited);
  EXPECT_EQ(FBrowser.FNavigations.last(), QUrl("about:blank"));
  EXPECT_FALSE(FBrowser.FShown);
  FBridge.WebBrowserDocumentComplete(QUrl("about:blank"));
  EXPECT_TRUE(FBrowser.FCollapsed);
  FBridge.LoadMapPage(1);
  EXPECT_EQ(FBrowser.FNavigations.last(), QUrl("qrc:/gm.html"));
  EXPECT_TRUE(FBrowser.FShown);
}

TEST_F(MapBridge, CentreAndFitTexts)
{
  Init();
  FBrowser.FScripts.clear();
  FBridge.SetMapCenter(30.5, 50.25, -1);
  EXPECT_EQ(FBrowser.FScripts, QStringList{"SetMapCenter(50.250000 ,30.500000)"});
  EXPECT_DOUBLE_EQ(FView.MapView.TopLeft.X, 30.48); // the view moves with the centre

  FHost.FFiles.push_back(Line(30.01, 50.005, 0.0001, 0.00005, 100));
  FBrowser.FScripts.clear();
  FBridge.SetMapBounds({FHost.FFiles[0].get()}, {}, true, false);
  ASSERT_GE(FBrowser.FScripts.size(), 2);
  EXPECT_EQ(FBrowser.FScripts[0], "SetMapBounds(new google.maps.LatLng(50.005000, 30.010000), "
                                  "new google.maps.LatLng(50.009950, 30.019900));");
  EXPECT_EQ(FView.PendingMapZoom, 14);

  // A track along one meridian, along one parallel, or standing still has
  // no area but is fitted and drawn all the same.
  const struct {
    double DLon, DLat;
    const char *Fit;
  } flat[] = {
      {0, 0.0001,
       "SetMapBounds(new google.maps.LatLng(50.005000, 30.010000), "
       "new google.maps.LatLng(50.014900, 30.010000));"},
      {0.0001, 0,
       "SetMapBounds(new google.maps.LatLng(50.005000, 30.010000), "
       "new google.maps.LatLng(50.005000, 30.019900));"},
      {0, 0,
       "SetMapBounds(new google.maps.LatLng(50.005000, 30.010000), "
       "new google.maps.LatLng(50.005000, 30.010000));"},
  };
  for (const auto &t : flat) {
    SCOPED_TRACE(t.Fit);
    FHost.FFiles[0] = Line(30.01, 50.005, t.DLon, t.DLat, 100);
    FBrowser.FScripts.clear();
    FBridge.SetMapBounds({FHost.FFiles[0].get()}, {}, true, false);
    ASSERT_EQ(FBrowser.FScripts.size(), 2);
    EXPECT_EQ(FBrowser.FScripts[0], t.Fit);
    EXPECT_TRUE(FBrowser.FScripts[1].startsWith("ClearPath();"));
  }
}

TEST_F(MapBridge, ABMarks)
{
  FHost.FFiles.push_back(Line(30.001, 50.001, 0.0001, 0.0001, 100));
  Init();
  Draw(); // start (30.001, 50.001) and finish remembered
  FHost.FTelemetry = {{0.1L, {30.001, 50.001}}, {0.25L, {30.002, 50.003}}, {0.75L, {30.004, 50.005}}};
  const QString a = "new google.maps.LatLng(50.003000, 30.002000)", b = "new google.maps.LatLng(50.005000, 30.004000)";
  struct Case {
    long double markA, markB;
    QString expected;
  } cases[] = {
      {0, 1, "ClearMarkersAB()"},
      {0.25L, 0.75L, "SetAB(\"gm_MarkerA.png\", " + a + ", \"gm_MarkerB.png\", " + b + ")"},
      {0.1L, 0.75L, "SetAB(\"gm_MarkerA.png\", " + b + ", \"gm_MarkerB.png\", " + b + ")"}, // A on the start
      {0.25L, 1, "SetAB(\"gm_MarkerA.png\", " + a + ", \"gm_MarkerB.png\", " + a + ")"},
      {0.5L, 0.6L, "ClearMarkersAB()"}, // no telemetry at either
  };
  for (const Case &c : cases) {
    FHost.FMarkA = c.markA;
    FHost.FMarkB = c.markB;
    FBrowser.FScripts.clear();
    FBridge.ShowMapAB();
    EXPECT_EQ(FBrowser.FScripts, QStringList{c.expected});
  }
}

TEST_F(MapBridge, ZoomRecentresOnlyWhenZoomingInWhileFollowing)
{
  struct Case {
    bool following;
    int zoom;
    QStringList expected;
  } cases[] = {
      {true, 15, {"SetMapCenter(50.005000 ,30.025000)"}},
      {true, 13, {}},
      {false, 15, {}},
  };
  for (const Case &c : cases) {
    Init(30, 50.01, 30.04, 49.99); // centre (30.02, 50)
    FHost.FCurrent.Time = kTen;
    FHost.FCurrent.Lon = 30.03;
    FHost.FCurrent.Lat = 50.01;
    FView.FollowMarker = c.following;
    FBrowser.FScripts.clear();
    Callback(QStringLiteral("zoom?z=%1").arg(c.zoom));
    EXPECT_EQ(FView.MapZoom, c.zoom);
    EXPECT_EQ(FBrowser.FScripts, c.expected) << c.following << " " << c.zoom;
  }
}

// A fit that zooms in is reported as "zoom" before its "bounds"; reports sent
// before the fit may still arrive after it. Until a view holding the fitted
// track comes, nothing re-centres or pans the map away from the fit.
TEST_F(MapBridge, AFitIsNotUndoneBeforeItsViewIsReported)
{
  for (const bool atStart : {false, true}) {
    TMapViewState view;
    TMapBridge bridge(FHost, &FBrowser, view);
    SetMapProvider(1);
    const auto callback = [&](const QString &text) {
      bridge.WebBrowserBeforeNavigate2(QUrl("http://callback/" + text));
    };
    const auto report = [&](double west, double north, double east, double south, int z) {
      callback(QString::asprintf("bounds?t=%.12g&l=%.12g&b=%.12g&r=%.12g&w=800&h=600&x=%.12g&y=%.12g&z=%d", north, west,
                                 south, east, (west + east) / 2, (north + south) / 2, z));
    };
    const auto far = [&] { report(37.60, 55.76, 37.64, 55.74, 14); }; // the start view, 1,000 km off
    FHost.FFiles.clear();
    FHost.FFiles.push_back(Line(30.01, 50.005, 0.0001, 0.00005, 100));
    FHost.FCurrent.Time = kTen;
    FHost.FCurrent.Lon = 30.012;
    FHost.FCurrent.Lat = 50.006;
    view.FollowMarker = true;
    if (!atStart) {
      callback("inited");
      far();
    }
    FBrowser.FScripts.clear();
    bridge.SetMapBounds({FHost.FFiles[0].get()}, {}, true, true);
    if (atStart) {
      // The command line's recording: the page is not ready yet.
      EXPECT_EQ(view.PendingMapZoom, -1);
      callback("inited");
      EXPECT_EQ(view.PendingMapZoom, 14);
      far(); // the page's first view, sent before the fit ran
    }
    ASSERT_EQ(FBrowser.FScripts.count("SetMapBounds(new google.maps.LatLng(50.005000, 30.010000), "
                                      "new google.maps.LatLng(50.009950, 30.019900));"),
              1)
        << atStart;
    FBrowser.FScripts.clear();
    callback("zoom?z=16");
    bridge.SetMapCenter(FHost.FCurrent.Lon, FHost.FCurrent.Lat, -1);
    far(); // late
    EXPECT_EQ(FBrowser.FScripts.filter("SetMapCenter").size(), 0) << atStart;
    report(30.008, 50.0105, 30.022, 50.0045, 16); // the fitted view
    EXPECT_EQ(ReadSetting("gm_X", ""), "30.015000");
    EXPECT_EQ(ReadSetting("gm_Y", ""), "50.007500");
    // From then on the map follows and zooms about the position again.
    callback("zoom?z=17");
    EXPECT_EQ(FBrowser.FScripts.filter("SetMapCenter").size(), 1) << atStart;
  }
}

TEST_F(MapBridge, ViewReportsScaleStoreAndStayFinite)
{
  // Before any view: nothing derived, no number that is not finite anywhere.
  FHost.FFiles.push_back(Line(30.001, 50.001, 0.0001, 0.0001, 100));
  Draw();
  Callback("inited");
  Report("bounds", 0, 0, 0, 0, 0, 0);
  FBridge.SetMapCenter(30.5, 50.5, 90);
  for (const QString &s : FBrowser.FScripts) {
    EXPECT_FALSE(s.contains("NAN") || s.contains("INF") || s.contains("nan") || s.contains("inf")) << s.toStdString();
    EXPECT_FALSE(s.startsWith("ClearPath") || s.startsWith("SetMapCenter")) << s.toStdString();
  }

  // Marker scale: a change under 10 % keeps the marker, 10 % or more clears it.
  Report("bounds", 30, 50.02, 30.04, 50);
  FBrowser.FScripts.clear();
  Report("bounds", 30, 50.02, 30.042, 50);
  EXPECT_EQ(FBrowser.FScripts.count("ClearMarkers()"), 0);
  Report("bounds", 30, 50.02, 30.05, 50);
  EXPECT_EQ(FBrowser.FScripts.count("ClearMarkers()"), 1);

  struct Case {
    int pending, zoom;
    const char *stored;
  } cases[] = {{-1, 5, "10"}, {-1, 19, "17"}, {-1, 12, "12"}, {12, 15, "12"}};
  for (const Case &c : cases) {
    FView.PendingMapZoom = c.pending;
    Report("view", 30, 50.02, 30.04, 50, 800, 600, c.zoom);
    EXPECT_EQ(ReadSetting("gm_Z", ""), c.stored) << c.zoom;
  }
  EXPECT_EQ(ReadSetting("gm_X", ""), "30.020000");
  EXPECT_EQ(ReadSetting("gm_Y", ""), "50.010000");
}

TEST_F(MapBridge, TrackThinnedToTheArea)
{
  // 5000 points 1 s apart in view: thinned to at most 400 in the area (and a
  // neighbour beyond each end).
  FHost.FFiles.push_back(Line(30.0005, 50.0005, 0.000007, 0.000003, 5000));
  Init();
  const QString dense = Draw();
  EXPECT_LE(dense.count("LatLng"), 402 + 2);
  EXPECT_GT(dense.count("LatLng"), 50);

  // 1000 single-point segments (a flickering fix) cannot be thinned below
  // 400; the drawing still ends.
  FHost.FFiles[0] = Line(30.0005, 50.0005, 0.00003, 0.000015, 1000, 7);
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(Draw().isEmpty());
  EXPECT_LT(timer.elapsed(), 5000);

  // West of Greenwich and north: a view inside one grid cell on both sides.
  FHost.FFiles[0] = Line(-73.96, 40.74, 0.0001, 0.0001, 100);
  Report("bounds", -73.99, 40.80, -73.89, 40.70);
  EXPECT_EQ(Draw().count("#FF0000"), 1);
}

TEST_F(MapBridge, TrackScriptParts)
{
  Init();
  // 16 minutes from 10:00:00 in view.
  FHost.FFiles.push_back(Line(30.001, 50.001, 0.00002, 0.00001, 960));
  struct Case {
    int minutes, points;
  } timePoints[] = {{0, 0}, {1, 15}, {5, 3}, {20, 0}};
  for (const Case &c : timePoints) {
    FHost.FMinutes = c.minutes;
    const QString script = Draw();
    EXPECT_EQ(script.count("gm_MarkerP.png"), c.points) << c.minutes;
    EXPECT_FALSE(script.contains("gm_MarkerP.png\", new google.maps.LatLng(50.001000, 30.001000)"));
  }

  // Two segments 10 s and about 140 m apart: a gap line only when asked for.
  FHost.FFiles[0] = Line(30.001, 50.001, 0.0001, 0, 20);
  auto second = Line(30.004, 50.002, 0.0001, 0, 20, 1, kTen + 30.0 / 86400);
  FHost.FFiles[0]->Points.insert(FHost.FFiles[0]->Points.end(), second->Points.begin(), second->Points.end());
  EXPECT_EQ(Draw(true).count("#444444"), 1);
  EXPECT_EQ(Draw(false).count("#444444"), 0);

  // A track out of view keeps its start and finish markers only.
  Report("bounds", 31, 51.02, 31.04, 51);
  const QString far = Draw();
  EXPECT_EQ(far, "ClearPath(); AddPathMarker(\"gm_MarkerS.png\", new google.maps.LatLng(50.001000, 30.001000)); "
                 "AddPathMarker(\"gm_MarkerF.png\", new google.maps.LatLng(50.002000, 30.005900)); ");

  // The same draw goes once; a refused one is sent again next time.
  FBrowser.FScripts.clear();
  FBridge.DrawTrackPath();
  EXPECT_TRUE(FBrowser.FScripts.isEmpty());
  FBridge.ForgetTrackScript();
  FBrowser.FLoaded = false;
  FBridge.DrawTrackPath();
  FBrowser.FLoaded = true;
  FBridge.DrawTrackPath();
  EXPECT_EQ(FBrowser.FScripts, QStringList{far});
}

TEST_F(MapBridge, RouteClickSeeksToTheNearestFilesPoint)
{
  FHost.FFiles.push_back(Line(30.0, 50.0, 0.001, 0, 11));
  FHost.FFiles.push_back(Line(30.0, 50.01, 0.001, 0, 11));
  Init();
  struct Case {
    int currentFile;
    const char *query;
    std::vector<long double> seeks;
  } cases[] = {
      // The file 1 point at 30.005 is nearest: 5.5 s of its 10 s, in the second half.
      {0, "x=30.0051&y=50.0098", {(1 + 5.5L / 10) / 2}},
      {0, "x=30.0051&y=50.0002", {(0 + 5.5L / 10) / 2}},
      {0, "x=0&y=50.0098", {}},
      {0, "y=50.0098", {}},
      {-1, "x=30.0051&y=50.0098", {}},
  };
  for (const Case &c : cases) {
    FHost.FCurrentFile = c.currentFile;
    FHost.FSeeks.clear();
    Callback(QString("routeClick?") + c.query);
    ASSERT_EQ(FHost.FSeeks.size(), c.seeks.size()) << c.query;
    for (size_t i = 0; i < c.seeks.size(); ++i)
      EXPECT_NEAR(double(FHost.FSeeks[i]), double(c.seeks[i]), 1e-7); // times in days
  }
}

} // namespace
