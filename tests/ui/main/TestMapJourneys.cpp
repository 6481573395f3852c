// The map as a user meets it on the real main window under an X server: a
// recording named on the command line, a first click with fresh settings,
// the A and B marks, the grouping window's preview, and what the command
// line takes. Real GStreamer, the real map page without tiles (grey).

#include "RealWindowSupport.h"

#include "MapBrowser.h"
#include "MapWebPage.h"
#include "UnitFormGroup.h"
#include "UnitRegSettings.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTreeWidget>
#include <QWebEngineView>

using namespace kp;
using kptest::DemoCard;

namespace {

// West, south, east, north of a view or a track.
struct TBox {
  double W = 0, S = 0, E = 0, N = 0;
  bool Holds(const TBox &in) const { return W <= in.W && E >= in.E && S <= in.S && N >= in.N; }
};

std::ostream &operator<<(std::ostream &os, const TBox &b)
{
  return os << '[' << b.W << ',' << b.S << ' ' << b.E << ',' << b.N << ']';
}

struct MapJourney : kptest::RealWindow {
  void SetUp() override
  {
    kptest::RealWindow::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // No tiles: the track is drawn on the page's grey.
    settings::MapTileUrl.Write(QString());
  }

  // The window as "open with" starts it: Args on the command line.
  void StartWith(const QStringList &args)
  {
    w = CreateWindows(args);
    w->resize(1400, 750);
    w->show();
    FShown.start();
  }

  QVariant Eval(const QString &script)
  {
    QVariant result;
    bool done = false;
    w->MapBrowser->Page()->runJavaScript(script, [&](const QVariant &v) {
      result = v;
      done = true;
    });
    EXPECT_TRUE(kptest::waitUntil([&] { return done; }, 10000)) << script.toStdString();
    return result;
  }
  static TBox BoxOf(const QString &text)
  {
    const QStringList v = text.split(QLatin1Char(','));
    return v.size() == 4 ? TBox{v[0].toDouble(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble()} : TBox{};
  }
  // What the page shows, and where the track lines it holds lie.
  TBox PageView()
  {
    return BoxOf(
        Eval("var b = map.getBounds(); [b.getWest(), b.getSouth(), b.getEast(), b.getNorth()].join()").toString());
  }
  TBox DrawnTrack()
  {
    return BoxOf(Eval("var l = pathItems.filter(function (p) { return p.getLatLngs; });"
                      "l.length ? (function (b) { return [b.getWest(), b.getSouth(), b.getEast(), b.getNorth()]"
                      ".join(); })(L.featureGroup(l).getBounds()) : ''")
                     .toString());
  }
  TBox LoadedTrack() const
  {
    TGeoPoint nw{1000, -1000}, se{-1000, 1000};
    for (const auto &info : w->State.MovingInfos)
      if (info) info->GetBounds(nw, se);
    return {nw.X, se.Y, se.X, nw.Y};
  }
  bool MapReady() { return w->MapView.MapInited && Eval("map !== null").toBool(); }

  // Red track pixels and green position-marker pixels on the screen.
  int Pixels(const QImage &image, bool red) const
  {
    int n = 0;
    for (int y = 0; y < image.height(); y += 2)
      for (int x = 0; x < image.width(); x += 2) {
        const QColor c = image.pixelColor(x, y);
        n += red ? (c.red() > c.green() + 60 && c.red() > c.blue() + 60)
                 : (c.green() > c.red() + 60 && c.green() > c.blue() + 60);
      }
    return n;
  }
  bool TrackAndMarkerShown()
  {
    const QImage map = kptest::ScreenOf(w->WebBrowser);
    return Pixels(map, true) > 50 && Pixels(map, false) > 10;
  }
  int RowOf(const QString &caption) const
  {
    for (int i = 0; i < Model().rowCount(); ++i)
      if (Model().Caption(i).startsWith(caption)) return i;
    return -1;
  }
  void Click(int row)
  {
    const QRect r = w->ListView->visualRect(Model().index(row, 0));
    QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, r.center());
  }
  // The demo card's first trip clicked once the list and the map are ready.
  void StartAndClickTheFirstTrip()
  {
    Start(DemoCard());
    ASSERT_TRUE(kptest::waitUntil([&] { return Listed() && MapReady(); }, 30000));
    const int trip = RowOf(QStringLiteral("FILE0001"));
    ASSERT_GE(trip, 0);
    Click(trip);
  }

  QElapsedTimer FShown;
};

TEST_F(MapJourney, ARecordingOnTheCommandLineShowsItsTrackAndTheCarAtOnce)
{
  StartWith({DemoCard() + QStringLiteral("/DCIM/100MEDIA/FILE0002.MOV")});
  ASSERT_TRUE(kptest::waitUntil([&] { return w->ButtonPlay->isChecked(); }, 15000));
  ASSERT_TRUE(kptest::waitUntil([&] { return MapReady(); }, 30000));
  QElapsedTimer ready;
  ready.start();
  // The hidden grouping window's start-up must not wipe it half a second on.
  const bool shown = kptest::waitUntil([&] { return TrackAndMarkerShown(); }, 3000);
  const qint64 fromReady = ready.elapsed(), fromShow = FShown.elapsed();
  kptest::ScreenOf(w.get()).save(kptest::artifactPath(QStringLiteral("map_command_line.png")));
  ASSERT_TRUE(shown) << "the map shows no track or no car";
  std::cout << "track and car shown " << fromReady << " ms after the map was ready, " << fromShow
            << " ms after the window\n";
  EXPECT_TRUE(kptest::waitUntil([&] { return FShown.elapsed() > 1500 && TrackAndMarkerShown(); }, 5000));
  EXPECT_FALSE(DrawnTrack().W == 0);
}

TEST_F(MapJourney, AFirstClickWithFreshSettingsShowsTheWholeTrackAndStoresWhatIsShown)
{
  ASSERT_NO_FATAL_FAILURE(StartAndClickTheFirstTrip());
  ASSERT_TRUE(kptest::waitUntil([&] { return !w->State.MovingInfos.empty(); }, 10000));
  const TBox track = LoadedTrack();
  ASSERT_LT(track.W, track.E);
  // The fit zooms in from the start view far away; the map ends on the
  // whole track, and the centre stored is the one the page shows.
  TBox view;
  const bool fitted = kptest::waitUntil(
      [&] {
        view = PageView();
        return view.Holds(track) && view.E - view.W < 4 * (track.E - track.W) + 0.05;
      },
      10000);
  ASSERT_TRUE(fitted) << "view " << view << " track " << track;
  const auto storedIsShown = [&] {
    const QStringList c = Eval("[map.getCenter().lng, map.getCenter().lat].join()").toString().split(',');
    return c.size() == 2 && std::abs(StrToFloatAny(settings::MapX.Read(), 0) - c[0].toDouble()) < 1e-5 &&
           std::abs(StrToFloatAny(settings::MapY.Read(), 0) - c[1].toDouble()) < 1e-5;
  };
  EXPECT_TRUE(kptest::waitUntil(storedIsShown, 5000));
  EXPECT_TRUE(kptest::waitUntil([&] { return Pixels(kptest::ScreenOf(w->WebBrowser), true) > 50; }, 5000));
  kptest::ScreenOf(w.get()).save(kptest::artifactPath(QStringLiteral("map_first_click.png")));
  // Still there once everything has answered.
  EXPECT_TRUE(kptest::waitUntil([&] { return PageView().Holds(track) && storedIsShown(); }, 2000));

  // The next start comes up on the track.
  w->close();
  w.reset();
  Start(DemoCard());
  ASSERT_TRUE(kptest::waitUntil([&] { return MapReady(); }, 30000));
  EXPECT_TRUE(kptest::waitUntil([&] { return PageView().Holds(track); }, 5000)) << PageView() << track;
}

TEST_F(MapJourney, MarksSetWithTheKeysReachTheMapAtOnce)
{
  ASSERT_NO_FATAL_FAILURE(StartAndClickTheFirstTrip());
  ASSERT_TRUE(kptest::waitUntil([&] { return w->FilterGraph.Active() && !w->ButtonPlay->isChecked(); }, 10000));
  ASSERT_TRUE(kptest::waitUntil([&] { return Eval("pathItems.length").toInt() > 2; }, 10000));
  const long double windowStart = w->State.TimeWindowStart, windowEnd = w->State.TimeWindowEnd;
  struct Step {
    long double At;
    Qt::Key Key;
    int Markers;
  };
  for (const Step &s : {Step{0.3L, Qt::Key_Home, 2}, Step{0.7L, Qt::Key_End, 2}}) {
    w->Model->SeekTo(s.At, true, false);
    ASSERT_TRUE(Activate(w.get()));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.get(), s.Key, Qt::ControlModifier);
    EXPECT_NEAR(double(s.Key == Qt::Key_Home ? w->State.MarkA : w->State.MarkB), double(s.At), 0.02);
    EXPECT_TRUE(kptest::waitUntil([&] { return Eval("abMarkers.length").toInt() == s.Markers; }, 2000))
        << "key " << s.Key;
  }
  // The marks stand where they were set, with the time window untouched.
  const QStringList ab =
      Eval("abMarkers.map(function (m) { return m.getLatLng().lng + ',' + m.getLatLng().lat; }).join(';')")
          .toString()
          .split(';');
  ASSERT_EQ(ab.size(), 2);
  EXPECT_NE(ab[0], ab[1]);
  EXPECT_EQ(w->State.TimeWindowStart, windowStart);
  EXPECT_EQ(w->State.TimeWindowEnd, windowEnd);
}

TEST_F(MapJourney, TheGroupingPreviewLeavesTheMapWithItsWindow)
{
  ASSERT_NO_FATAL_FAILURE(StartAndClickTheFirstTrip());
  ASSERT_TRUE(kptest::waitUntil([&] { return !w->State.MovingInfos.empty(); }, 10000));
  const TBox loaded = LoadedTrack();
  const auto near = [](const TBox &a, const TBox &b) {
    return std::abs(a.W - b.W) + std::abs(a.E - b.E) + std::abs(a.S - b.S) + std::abs(a.N - b.N) < 0.002;
  };
  ASSERT_TRUE(kptest::waitUntil([&] { return near(DrawnTrack(), loaded); }, 10000)) << DrawnTrack() << loaded;
  // Another trip checked in the grouping window is previewed; closing the
  // window puts the loaded recording's track back.
  int other = -1;
  for (int i = 0; i < Model().rowCount() && other < 0; ++i)
    if (i != RowOf(QStringLiteral("FILE0001")) && !Model().IsStatusRow(i) &&
        !w->FileManager()->GetGroup(i).Files.front().TrackFileName.isEmpty())
      other = i;
  ASSERT_GE(other, 0);
  bool previewed = false, checked = false;
  QTimer::singleShot(0, w.get(), [&] {
    checked = kptest::waitUntil(
        [&] { return qobject_cast<TFormGroup *>(QApplication::activeModalWidget()) != nullptr; }, 5000);
    auto *group = qobject_cast<TFormGroup *>(QApplication::activeModalWidget());
    if (!group) return;
    auto *list = group->findChild<QTreeWidget *>();
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
      list->topLevelItem(i)->setCheckState(0, i == other ? Qt::Checked : Qt::Unchecked);
    previewed = kptest::waitUntil([&] { return DrawnTrack().W != 0 && !near(DrawnTrack(), loaded); }, 10000);
    group->reject();
  });
  // As the list's popup offers it with a row selected.
  QAction *groupWith = w->Item("N_FileList_Group_With");
  groupWith->setEnabled(true);
  groupWith->trigger();
  ASSERT_TRUE(checked);
  ASSERT_TRUE(previewed);
  EXPECT_TRUE(kptest::waitUntil([&] { return near(DrawnTrack(), loaded); }, 5000)) << DrawnTrack() << loaded;
  EXPECT_TRUE(kptest::waitUntil([&] { return PageView().Holds(loaded); }, 5000)) << PageView() << loaded;
}

// What the command line names is taken as File > Open takes it.
TEST_F(MapJourney, TheCommandLineTakesTracksAndFoldersAsOpenDoes)
{
  struct Case {
    const char *Name;
    int MinRows;
    const char *Folder;  // where every listed file lies
    const char *Playing; // a part of the file name the player opens
  } cases[] = {
      {"/DCIM/100MEDIA/FILE0002.DAT", 1, "100MEDIA", "FILE0002.MOV"},
      {"/DCIM/100MEDIA/file0002.dat", 1, "100MEDIA", "FILE0002.MOV"},
      {"/DCIM/101MEDIA", 1, "101MEDIA", "101MEDIA/FILE0"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    kptest::TDialogAnswerer answerer{QString()};
    StartWith({DemoCard() + QString::fromLatin1(c.Name)});
    ASSERT_TRUE(kptest::waitUntil([&] { return Playing(); }, 15000)) << answerer.Messages.join('|').toStdString();
    EXPECT_TRUE(answerer.Messages.isEmpty()) << answerer.Messages.join('|').toStdString();
    const TFileManager *m = w->FileManager();
    EXPECT_FALSE(m->Searching());
    EXPECT_GE(m->GetCount(), c.MinRows);
    for (int i = 0; i < m->GetCount(); ++i)
      for (const TFileItemSubitem &f : m->GetGroup(i).Files)
        EXPECT_TRUE(f.FileName.endsWith(QStringLiteral(".MOV")) && f.FileName.contains(QLatin1String(c.Folder)))
            << f.FileName.toStdString();
    EXPECT_TRUE(w->State.Recording.Files.front().FileName.contains(QLatin1String(c.Playing)))
        << w->State.Recording.Files.front().FileName.toStdString();
    w->close();
    w.reset();
  }
}

} // namespace
