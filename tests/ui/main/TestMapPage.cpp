// The map page in a real web engine, driven through the bridge: callback
// order, every page function, and a track drawn on grey when no tiles come
// (a local server that answers every tile with 404 and records the request).

#include "MapBridge.h"
#include "MapBrowser.h"
#include "MapTestHost.h"
#include "MapWebPage.h"
#include "UiTestSupport.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"

#include <QApplication>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEngineView>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace kp;

namespace {

// Answers every request with 404 and keeps the request heads.
class TTileServer : public QTcpServer {
public:
  TTileServer()
  {
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket *socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          const QByteArray head = socket->readAll();
          FRequests << head;
          socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
          socket->disconnectFromHost();
        });
      }
    });
  }
  QList<QByteArray> FRequests;
};

class MapPage : public ::testing::Test {
protected:
  static void SetUpTestSuite()
  {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    kptest::ensureApplication();
    kptest::useLanguage(LangEnglish);
  }

  MapPage()
  {
    FView.resize(640, 480);
    FView.show();
    FBrowser.Page()->OnCallback = [this](const QUrl &url) {
      FCallbacks << url.path().mid(1);
      FBridge.WebBrowserBeforeNavigate2(url);
    };
    FBrowser.Page()->OnOpenLink = [this](const QUrl &url) { FLinks << url; };
  }
  ~MapPage() override { FBrowser.Page()->OnCallback = nullptr; }

  // Loads the page; with the main window visible the page initialises.
  void Load(const QString &tiles)
  {
    settings::MapTileUrl.Write(tiles);
    FBridge.LoadMapPage(1);
    ASSERT_TRUE(kptest::waitUntil([&] { return FCallbacks.contains("loaded"); }, 30000));
  }
  void LoadInited(const QString &tiles)
  {
    Load(tiles);
    ASSERT_TRUE(kptest::waitUntil([&] { return FCallbacks.contains("view"); }, 30000))
        << FCallbacks.join(',').toStdString();
  }
  // The page with its tiles asked of the local server, which never answers.
  void LoadOnServer(const TTileServer &server)
  {
    ASSERT_TRUE(server.isListening());
    LoadInited(QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server.serverPort()));
  }
  bool OfflineNoteShown()
  {
    return Eval("getComputedStyle(document.getElementById('offline')).display").toString() == "block";
  }
  QVariant Eval(const QString &script)
  {
    QVariant result;
    bool done = false;
    FBrowser.Page()->runJavaScript(script, [&](const QVariant &v) {
      result = v;
      done = true;
    });
    EXPECT_TRUE(kptest::waitUntil([&] { return done; }, 10000)) << script.toStdString();
    return result;
  }
  // Runs scripts through the bridge, then lets the page finish them.
  void Exec(const QStringList &scripts)
  {
    for (const QString &s : scripts) EXPECT_TRUE(FBridge.ExecMapScript(s)) << s.toStdString();
    Eval("0");
  }

  kptest::ScopedSettings FSettings;
  kptest::TFakeMapHost FHost;
  TMapViewState FState;
  QWebEngineView FView;
  TMapBrowser FBrowser{&FView};
  TMapBridge FBridge{FHost, &FBrowser, FState};
  QStringList FCallbacks;
  QList<QUrl> FLinks;
};

TEST_F(MapPage, CallbacksAndEveryFunction)
{
  // A hidden main window leaves the page uninitialised: drawing refuses.
  FHost.FVisible = false;
  Load(QString());
  EXPECT_EQ(Eval("[PlaceMarker([]), PlaceMarkerD(new google.maps.LatLng(1, 2), 5), AddPath([], '#FF0000', 0.4),"
                 " AddPathMarker('gm_MarkerS.png', new google.maps.LatLng(1, 2)), ClearPath()].join()")
                .toString(),
            "-1,-1,-1,-1,-1");
  EXPECT_FALSE(FBridge.ExecMapScript("ClearPath()"));
  FHost.FVisible = true;
  ASSERT_TRUE(FBridge.ExecMapScript(TMapBridge::InitializeScript(), true));
  ASSERT_TRUE(kptest::waitUntil([&] { return FCallbacks.contains("view"); }, 10000));
  EXPECT_EQ(FCallbacks, (QStringList{"loaded", "inited", "bounds", "view"}));
  EXPECT_TRUE(FState.MapInited);
  EXPECT_NEAR(FState.MapCenter.Y, 55.75, 1e-6);
  EXPECT_EQ(settings::MapType.Read(), "roadmap");
  FCallbacks.clear();
  Exec({"SetMapZoomRel(1, null)"});
  ASSERT_TRUE(kptest::waitUntil([&] { return FCallbacks.size() >= 3; }, 10000));
  EXPECT_EQ(FCallbacks, (QStringList{"zoom", "bounds", "view"}));
  EXPECT_EQ(FState.MapZoom, 15);

  Eval("window.kpErrors = 0; window.onerror = function () { window.kpErrors++; };");
  const QString p = MapLatLngJS(37.62, 55.75), q = MapLatLngJS(37.63, 55.76);
  const QString polygon = "PlaceMarker([" + p + "," + q + "," + MapLatLngJS(37.62, 55.76) + "])";
  Exec({polygon, "AddPath([" + p + "," + q + "], \"#FF0000\", 0.4)", "AddPathMarker(\"gm_MarkerS.png\", " + p + ")",
        "AddPathMarker(\"gm_MarkerP.png\", " + q + ")",
        "SetAB(\"gm_MarkerA.png\", " + p + ", \"gm_MarkerB.png\", " + q + ")"});
  const QString layers = "Object.keys(map._layers).length";
  const int before = Eval(layers).toInt();
  Exec({"SetAB(\"gm_MarkerA.png\", " + q + ", \"gm_MarkerB.png\", " + p + ")"});
  EXPECT_EQ(Eval(layers).toInt(), before);
  const QString markers = "[!!markerPolygon, !!markerCircle].join()";
  Exec({"PlaceMarkerD(" + p + ",40)"});
  EXPECT_EQ(Eval(markers).toString(), "false,true");
  Exec({polygon});
  EXPECT_EQ(Eval(markers).toString(), "true,false");
  Exec({"ClearPath()"});
  EXPECT_EQ(Eval("[pathItems.length, abMarkers.length, map.hasLayer(abMarkers[0]), map.hasLayer(markerPolygon)].join()")
                .toString(),
            "0,2,true,true");
  Exec({"ClearMarkersAB()", "ClearMarkers()", "SetMapCenter(55.7 ,37.6)", "SetMapBounds(" + p + ", " + q + ");",
        "SetMapZoom(13," + p + ")", "SetMapZoomRel(-1," + p + ")"});
  EXPECT_EQ(Eval("[abMarkers.length, !!markerPolygon].join()").toString(), "0,false");
  EXPECT_EQ(Eval("window.kpErrors").toInt(), 0);
}

TEST_F(MapPage, TrackDrawsOnGreyWithoutTilesAndAClickSeeks)
{
  TTileServer server;
  ASSERT_NO_FATAL_FAILURE(LoadOnServer(server));
  // A diagonal track of 10 minutes.
  FHost.FFiles.push_back(kptest::Line(37.60, 55.74, 0.00005, 0.00003, 600));
  FCallbacks.clear();
  FBridge.SetMapBounds({FHost.FFiles[0].get()}, {}, true, true);
  // Fitted, then drawn for the fitted view.
  ASSERT_TRUE(kptest::waitUntil([&] { return FCallbacks.contains("view"); }, 15000));
  ASSERT_TRUE(kptest::waitUntil([&] { return Eval("pathItems.length").toInt() > 2; }, 15000));
  ASSERT_TRUE(kptest::waitUntil([&] { return OfflineNoteShown(); }, 15000));
  ASSERT_TRUE(kptest::waitUntil([&] { return !server.FRequests.isEmpty(); }, 5000));
  EXPECT_TRUE(server.FRequests.first().contains("KestrilPlayer/")) << server.FRequests.first().toStdString();

  // The picture catches up with the page: red track pixels over the grey,
  // under the white notice.
  const auto count = [](const QImage &image, auto &&pred) {
    int n = 0;
    for (int y = 0; y < image.height(); y += 2)
      for (int x = 0; x < image.width(); x += 2) n += pred(image.pixelColor(x, y)) ? 1 : 0;
    return n;
  };
  EXPECT_TRUE(kptest::waitUntil(
      [&] {
        const QImage image = FView.grab().toImage();
        return count(image, [](QColor c) { return c.red() > c.green() + 60 && c.red() > c.blue() + 60; }) > 50 &&
               count(image, [](QColor c) { return c == Qt::white; }) > 100;
      },
      15000));
  kptest::saveScreenshot(&FView, "map_track_offline.png");

  // A click on the middle of the track.
  const QStringList xy =
      Eval("var p = map.latLngToContainerPoint([55.749, 37.615]); p.x + ',' + p.y").toString().split(',');
  ASSERT_EQ(xy.size(), 2);
  const QPoint onTrack(qRound(xy[0].toDouble()), qRound(xy[1].toDouble()));
  QWidget *target = FView.focusProxy() ? FView.focusProxy() : &FView;
  FCallbacks.clear();
  QTest::mousePress(target, Qt::LeftButton, {}, onTrack);
  QTest::mouseRelease(target, Qt::LeftButton, {}, onTrack, 50);
  ASSERT_TRUE(kptest::waitUntil([&] { return !FHost.FSeeks.empty(); }, 10000)) << FCallbacks.join(',').toStdString();
  EXPECT_TRUE(FCallbacks.contains("routeClick"));
  // The nearest point, 300 s into the 599 s track (plus its half second).
  EXPECT_NEAR(double(FHost.FSeeks.front()), 300.5 / 599, 0.01);
  EXPECT_TRUE(FLinks.isEmpty());

  // Refresh asks for the tiles again; the attribution link leaves the map.
  const int requests = server.FRequests.size();
  Eval("document.querySelector('#offline button').click()");
  EXPECT_TRUE(kptest::waitUntil([&] { return server.FRequests.size() > requests; }, 10000));
  Eval("document.querySelector('.leaflet-control-attribution a[href*=openstreetmap]').click()");
  EXPECT_TRUE(kptest::waitUntil([&] { return !FLinks.isEmpty(); }, 10000));
  EXPECT_EQ(FBrowser.Page()->url(), QUrl("qrc:/gm.html"));
  EXPECT_EQ(Eval("pathItems.length > 2").toBool(), true);
}

TEST_F(MapPage, AFitKeepsEveryMarkerWholeAndClearOfThePageControls)
{
  TTileServer server;
  ASSERT_NO_FATAL_FAILURE(LoadOnServer(server));
  ASSERT_TRUE(kptest::waitUntil([&] { return OfflineNoteShown(); }, 15000));
  // Each marker picture against the map's edges and the page's own controls;
  // empty when all lie whole inside and clear.
  const QString overlaps = QStringLiteral(R"(
    (function () {
      var box = map.getContainer().getBoundingClientRect(), bad = [];
      var controls = [".leaflet-control-zoom", ".leaflet-control-attribution", "#offline"];
      var icons = document.querySelectorAll(".leaflet-marker-icon");
      for (var i = 0; i < icons.length; i++) {
        var r = icons[i].getBoundingClientRect();
        if (r.left < box.left || r.top < box.top || r.right > box.right || r.bottom > box.bottom) bad.push("edge");
        for (var j = 0; j < controls.length; j++) {
          var c = document.querySelector(controls[j]).getBoundingClientRect();
          if (r.left < c.right && c.left < r.right && r.top < c.bottom && c.top < r.bottom) bad.push(controls[j]);
        }
      }
      return icons.length + ":" + bad.join(",");
    })())");
  const struct {
    const char *name;
    double dLon, dLat;
  } tracks[] = {
      {"north to south", 0.000001, -0.00005},          // its start under the offline note
      {"south to north", 0.000001, 0.00005},           // its end there
      {"south-east to north-west", -0.00005, 0.00003}, // its end under the zoom buttons
      {"north-west to south-east", 0.00005, -0.00003}, // its end on the attribution
      {"west to east", 0.00005, 0.000001},
  };
  // Zoom levels are whole: lengths over one doubling make some track fill
  // the view edge to edge.
  for (const auto &t : tracks)
    for (double scale = 1.0; scale < 2.0; scale += 0.125) {
      SCOPED_TRACE(std::string(t.name) + " x" + std::to_string(scale));
      FHost.FFiles.clear();
      FHost.FFiles.push_back(kptest::Line(37.60, 55.74, t.dLon * scale, t.dLat * scale, 600));
      FCallbacks.clear();
      FBridge.SetMapBounds({FHost.FFiles[0].get()}, {}, true, true);
      ASSERT_TRUE(kptest::waitUntil([&] { return FCallbacks.contains("view"); }, 15000));
      ASSERT_TRUE(kptest::waitUntil([&] { return Eval("pathItems.length").toInt() > 2; }, 15000));
      const QStringList result = Eval(overlaps).toString().split(':');
      ASSERT_EQ(result.size(), 2);
      EXPECT_GE(result[0].toInt(), 2);
      EXPECT_EQ(result[1], "");
    }
  kptest::saveScreenshot(&FView, "map_fit_margins.png");
}

// The offline note in each language, on the narrow map of the default window
// and wider: it never covers the zoom buttons and reads whole inside the map.
TEST_F(MapPage, TheOfflineNoteLeavesTheZoomButtonsFree)
{
  TTileServer server;
  ASSERT_NO_FATAL_FAILURE(LoadOnServer(server));
  ASSERT_TRUE(kptest::waitUntil([&] { return OfflineNoteShown(); }, 15000));
  const QString faults = QStringLiteral(R"(
    (function () {
      var box = map.getContainer().getBoundingClientRect(), bad = [];
      var note = document.getElementById("offline"), n = note.getBoundingClientRect();
      var z = document.querySelector(".leaflet-control-zoom").getBoundingClientRect();
      if (n.left < z.right && z.left < n.right && n.top < z.bottom && z.top < n.bottom) bad.push("zoom");
      if (n.left < box.left || n.right > box.right) bad.push("edge");
      if (note.scrollWidth > note.clientWidth) bad.push("clipped");
      var b = document.getElementById("offlineRefresh").getBoundingClientRect();
      if (b.left < n.left || b.right > n.right || b.bottom > n.bottom) bad.push("button");
      return Math.round(box.width) + ":" + bad.join(",");
    })())");
  for (const int width : {640, 420, 285})
    for (const int lang : {LangEnglish, LangRussian, LangUkrainian}) {
      SCOPED_TRACE("width " + std::to_string(width) + ", language " + std::to_string(lang));
      kptest::useLanguage(lang);
      FBrowser.Page()->SetPageTexts(Translate(u"Map_Loading"), Translate(u"Map_Offline"), Translate(u"Map_Refresh"));
      FView.resize(width, 300);
      ASSERT_TRUE(kptest::waitUntil(
          [&] {
            return Eval("document.getElementById('offlineText').textContent").toString() == Translate(u"Map_Offline") &&
                   Eval(faults).toString().startsWith(QString::number(width) + ':');
          },
          10000));
      EXPECT_EQ(Eval(faults).toString(), QString::number(width) + ':');
    }
  kptest::saveScreenshot(&FView, "map_offline_note_narrow.png");
  kptest::useLanguage(LangEnglish);
}

// A track straight along a meridian or a parallel fills the view along its
// length; a car that never moved is centred at the zoom of a few streets.
// Each starts from a view far away.
TEST_F(MapPage, ATrackWithoutAreaIsFittedAndCentred)
{
  TTileServer server;
  ASSERT_NO_FATAL_FAILURE(LoadOnServer(server));
  const struct {
    const char *Name;
    double DLon, DLat;
    int Zoom; // expected, or 0 for one the length sets
  } tracks[] = {
      {"north to south", 0, -0.00005, 0},
      {"west to east", 0.00008, 0, 0},
      {"standing still", 0, 0, 17},
  };
  for (const auto &t : tracks) {
    SCOPED_TRACE(t.Name);
    Exec({"SetMapZoom(5, new google.maps.LatLng(10, 10))", "SetMapCenter(10 ,10)"});
    FHost.FFiles.clear();
    FHost.FFiles.push_back(kptest::Line(37.60, 55.74, t.DLon, t.DLat, 600));
    FCallbacks.clear();
    FBridge.SetMapBounds({FHost.FFiles[0].get()}, {}, true, true);
    ASSERT_TRUE(kptest::waitUntil([&] { return FCallbacks.contains("view"); }, 15000));
    const QStringList view = Eval(QStringLiteral(R"(
      (function () {
        var a = map.latLngToContainerPoint([55.74, 37.60]);
        var b = map.latLngToContainerPoint([55.74 + 599 * %1, 37.60 + 599 * %2]), s = map.getSize();
        return [map.getZoom(), a.x / s.x, a.y / s.y, b.x / s.x, b.y / s.y].join();
      })())")
                                      .arg(t.DLat, 0, 'g', 12)
                                      .arg(t.DLon, 0, 'g', 12))
                                 .toString()
                                 .split(',');
    ASSERT_EQ(view.size(), 5);
    // Both ends inside the view.
    for (int i = 1; i < 5; ++i) {
      EXPECT_GT(view[i].toDouble(), 0.0) << i;
      EXPECT_LT(view[i].toDouble(), 1.0) << i;
    }
    if (t.Zoom > 0) {
      EXPECT_EQ(view[0].toInt(), t.Zoom);
      EXPECT_NEAR(view[1].toDouble(), 0.5, 0.1);
    } else {
      // Across at least a third of the view along the track, as any fit.
      const double along = std::max(std::abs(view[3].toDouble() - view[1].toDouble()),
                                    std::abs(view[4].toDouble() - view[2].toDouble()));
      EXPECT_GT(along, 1.0 / 3);
    }
  }
  kptest::saveScreenshot(&FView, "map_fit_standing_still.png");
}

} // namespace
