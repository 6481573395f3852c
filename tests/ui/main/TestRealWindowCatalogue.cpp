// The real main window over a card that also holds the program's own cuts
// and over folders that change between searches: which recordings form a
// trip, the one distance a trip reads, and what Refresh keeps.

#include "CropJob.h"
#include "CropRules.h"
#include "RealWindowSupport.h"
#include "UnitFormFileProperty.h"
#include "UnitFormGPSLog.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTableWidget>
#include <QTreeWidget>

using namespace kp;
using kptest::RealWindow;

namespace {

// The cutting job's view of the window: nothing to stop, show or add.
class TSilentCropHost : public ICropHost {
public:
  void StopPlayback() override {}
  void HideMain() override {}
  void ShowMain() override {}
  void AddCut(const QString &) override {}
  QStringList ChooseVideoFiles() override { return {}; }
  TCropTrack FindTrack(const QString &) override { return {}; }
};

// A copy of the demo card with its file times; empty on failure.
QString CopyOfDemoCard(const QTemporaryDir &into)
{
  const QString card = into.filePath(QStringLiteral("card"));
  int code = -1;
  kptest::runTool(QStringLiteral("cp"), {"-a", kptest::DemoCard(), card}, &code);
  return code == 0 ? card : QString();
}

QString Fragment(const QString &card, int number)
{
  return card + QStringLiteral("/DCIM/100MEDIA/FILE%1.MOV").arg(number, 4, 10, QLatin1Char('0'));
}

// Cuts [from, to] of each fragment into Movie as the cutting window does,
// with the fragments' tracks; Dat: the ".dat" and ".srt" beside it.
bool WriteCut(const QString &card, const QString &movie, const std::vector<std::tuple<int, double, double>> &pieces,
              bool dat)
{
  std::vector<TCropItem> items;
  for (const auto &[number, from, to] : pieces) {
    TCropItem item;
    if (!ReadCropSource(Fragment(card, number), 0, item)) return false;
    item.Info = TMovingInfo::LoadFromFile(ChangeFileExt(Fragment(card, number), QStringLiteral(".DAT")), false);
    item.P1 = from;
    item.P2 = to;
    items.push_back(std::move(item));
  }
  TCropJobOptions options;
  options.Meta = dat;
  options.SrtSubtitles = dat;
  TSilentCropHost host;
  TCropJob job(items, movie, options, host, {}, [](const QString &) {});
  return job.Run() == TCropOutcome::Finished;
}

} // namespace

// Three cuts saved in the card's own folder: one across the end of one trip
// and the start of the next (with its track), one of only the last 3 s of a
// trip and the start of the next, one inside a trip without a track (the
// card's GPS log covers it). Each stays a recording of its own, and every
// row reads one distance in the list and in the title, before and after it
// is loaded.
TEST_F(RealWindow, CutsBesideTheirFragmentsStayApartAndTripsReadOneDistance)
{
  QTemporaryDir copy;
  const QString card = CopyOfDemoCard(copy);
  ASSERT_FALSE(card.isEmpty());
  const QString media = card + QStringLiteral("/DCIM/100MEDIA/");
  ASSERT_TRUE(WriteCut(card, media + QStringLiteral("sep.mov"), {{3, 0.5, 1.0}, {4, 0.0, 1.0}}, true));
  ASSERT_TRUE(WriteCut(card, media + QStringLiteral("tail.mov"), {{3, 0.8, 1.0}, {4, 0.0, 1.0}}, true));
  ASSERT_TRUE(WriteCut(card, media + QStringLiteral("nodat.mov"), {{5, 0.25, 1.0}, {6, 0.0, 0.5}}, false));
  ASSERT_NO_FATAL_FAILURE(Start(card));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  const TFileManager &m = *Model().FileManager();

  // The search also looks beside the program, where other tests leave clips.
  const auto onCard = [&](int r) { return m.GetGroup(r).Summary.FileName.startsWith(card); };
  QStringList names;
  for (int r = 0; r < m.GetCount(); ++r)
    if (onCard(r)) names << m.GetGroup(r).Summary.Name;
  names.sort();
  EXPECT_EQ(names, QStringList({"FILE0001-3", "FILE0004-6", "FILE0007-9", "nodat", "sep", "tail"}));

  for (int r = 0; r < Model().rowCount(); ++r) {
    if (!onCard(r)) continue;
    const QString listed = Model().index(r, flcDistance).data().toString();
    SCOPED_TRACE(Model().index(r, 0).data().toString().toStdString() + " " + listed.toStdString());
    ASSERT_FALSE(listed.isEmpty());
    w->ListView->selectionModel()->setCurrentIndex(Model().index(r, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_TRUE(kptest::waitUntil([&] { return w->windowTitle().startsWith(m.GetGroup(r).Summary.Name); }, 5000));
    EXPECT_TRUE(w->windowTitle().contains(QStringLiteral("    ") + listed + QStringLiteral("    ")))
        << w->windowTitle().toStdString();
    EXPECT_EQ(Model().index(r, flcDistance).data().toString(), listed) << "the list after loading";
  }
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_cuts_beside_fragments.png"));
}

// A cut of two fragments a minute apart, saved on the card: its row and its
// title read the distance driven in its pictures, as its subtitles count it,
// and an average speed the car reached, not the straight line between the
// pieces added in no time.
TEST_F(RealWindow, ACutOfPiecesApartReadsTheDistanceItsPicturesDrive)
{
  QTemporaryDir copy;
  const QString card = CopyOfDemoCard(copy);
  ASSERT_FALSE(card.isEmpty());
  const QString movie = card + QStringLiteral("/DCIM/100MEDIA/apart.mov");
  ASSERT_TRUE(WriteCut(card, movie, {{1, 0.0, 1.0}, {3, 0.0, 1.0}}, true));
  const QStringList srt = QString::fromUtf8(kptest::readFileBytes(ChangeFileExt(movie, QStringLiteral(".srt"))))
                              .split(Translate(u"Details_Track_Length") + QStringLiteral(": "));
  ASSERT_GT(srt.size(), 2);
  const double shown = srt.back().section(Translate(u"meters"), 0, 0).toDouble();
  double fastest = 0;
  for (int n : {1, 3})
    for (const TMovingPoint &p :
         TMovingInfo::LoadFromFile(ChangeFileExt(Fragment(card, n), QStringLiteral(".DAT")), false)->Points)
      fastest = std::max(fastest, p.Speed);
  ASSERT_GT(shown, 100);

  ASSERT_NO_FATAL_FAILURE(Start(card));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  const TFileManager &m = *Model().FileManager();
  int row = -1;
  for (int r = 0; r < m.GetCount(); ++r)
    if (m.GetGroup(r).Summary.FileName == movie) row = r;
  ASSERT_GE(row, 0);
  const TFileItemSubitem sum = m.GetGroup(row).Summary;
  EXPECT_NEAR(sum.TrackLength, shown, 0.03 * shown);
  EXPECT_LE(sum.AvgSpeed, fastest);
  w->ListView->selectionModel()->setCurrentIndex(Model().index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->windowTitle().startsWith(QStringLiteral("apart")); }, 5000));
  EXPECT_TRUE(w->windowTitle().contains(QStringLiteral("    ") + Model().index(row, flcDistance).data().toString()))
      << w->windowTitle().toStdString();
  EXPECT_NEAR(w->State.MovingInfos.front()->GetTrackLength(), shown, 0.03 * shown);
}

// The second trip of the card (three fragments, two boundaries): its
// distance is what its fixes measure as one track, within a metre per
// boundary, in the list, the title, Properties, the exported description
// and subtitles, the player's trip counter and the GPS-log window.
TEST_F(RealWindow, ATripReadsOneDistanceEverywhere)
{
  QTemporaryDir out;
  QByteArray fixes;
  for (int n = 4; n <= 6; ++n)
    fixes += kptest::readFileBytes(ChangeFileExt(Fragment(kptest::DemoCard(), n), QStringLiteral(".DAT")));
  const QString whole = out.filePath(QStringLiteral("whole.DAT"));
  ASSERT_TRUE(kptest::writeFileBytes(whole, fixes));
  const std::unique_ptr<TMovingInfo> oneTrack = TMovingInfo::LoadFromFile(whole, false);
  ASSERT_TRUE(oneTrack);
  const double driven = oneTrack->GetTrackLength();
  const double slack = 2; // a metre per boundary
  ASSERT_GT(driven, 500);

  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  const TFileManager &m = *Model().FileManager();
  int row = -1;
  for (int r = 0; r < m.GetCount(); ++r)
    if (m.GetGroup(r).Summary.FileName.startsWith(kptest::DemoCard()) && m.GetGroup(r).Summary.Name == "FILE0004-6")
      row = r;
  ASSERT_GE(row, 0);
  EXPECT_NEAR(m.GetGroup(row).Summary.TrackLength, driven, slack) << "the list";
  const QString listed = Model().index(row, flcDistance).data().toString();
  w->ListView->selectionModel()->setCurrentIndex(Model().index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->windowTitle().startsWith(QStringLiteral("FILE0004-6")); }, 5000));
  EXPECT_TRUE(w->windowTitle().contains(QStringLiteral("    ") + listed + QStringLiteral("    ")))
      << w->windowTitle().toStdString();
  ASSERT_EQ(w->State.MovingInfos.size(), 3u);
  EXPECT_NEAR(w->State.MovingInfos.back()->Points.back().Trip, driven, slack) << "the trip counter";

  w->Item("N_FileList_Property")->trigger();
  TFormFileProperty *properties = nullptr;
  ASSERT_TRUE(kptest::waitUntil(
      [&] {
        for (QWidget *top : QApplication::topLevelWidgets())
          if (auto *p = qobject_cast<TFormFileProperty *>(top); p && p->isVisible()) properties = p;
        return properties != nullptr;
      },
      5000));
  // The recording's rows come before those of each of its files.
  QString length;
  for (int r = properties->Grid()->rowCount() - 1; r >= 0; --r)
    if (properties->Grid()->item(r, 0)->text().trimmed() == Translate(u"Property_Track_Length"))
      length = properties->Grid()->item(r, 1)->text();
  EXPECT_NEAR(length.section(' ', 0, 0).toDouble(), driven, slack) << "Properties: " << length.toStdString();
  properties->close();

  const QString kml = kptest::ExportThroughDialog(*w, out.filePath(QStringLiteral("trip.kml")), "kml");
  EXPECT_NEAR(kml.section(QStringLiteral("Length: "), 1).section('m', 0, 0).toDouble(), driven, slack)
      << "the exported description";
  const QString srt = kptest::ExportThroughDialog(*w, out.filePath(QStringLiteral("trip.srt")), "srt");
  const QString lastTrip = srt.section(Translate(u"Details_Track_Length") + QStringLiteral(": "), -1);
  EXPECT_NEAR(lastTrip.section(Translate(u"meters"), 0, 0).toDouble(), driven, slack) << "the exported subtitles";

  // The trip's log, every other second of the same drive: the window shows
  // the same distance at its precision.
  w->Item("N_FileList_Track_GPSLog")->trigger();
  QTreeWidget *logs = w->Windows.GPSLog->ListViewFiles();
  QTreeWidgetItem *log = nullptr;
  ASSERT_TRUE(kptest::waitUntil(
      [&] {
        for (int i = 0; i < logs->topLevelItemCount(); ++i)
          if (logs->topLevelItem(i)->text(0).endsWith(QStringLiteral("LOG0002.LOG")) &&
              !logs->topLevelItem(i)->text(3).isEmpty())
            log = logs->topLevelItem(i);
        return log != nullptr;
      },
      10000));
  EXPECT_EQ(log->text(3), FloatToStrDot(driven / 1000, 1, true)) << "the GPS-log window";
  kptest::saveScreenshot(w->Windows.GPSLog.get(), QStringLiteral("realwindow_trip_one_distance_gpslog.png"));
  w->Windows.GPSLog->close();
}

// A card added by hand, one recording of it loaded, then one of its folders
// renamed: Refresh keeps the recordings still there, drops those whose files
// are gone and says how many below the list, and the loaded one stops.
TEST_F(RealWindow, RefreshDropsRecordingsWhoseFilesAreGoneAndKeepsThoseAddedByHand)
{
  QTemporaryDir copy, elsewhere;
  const QString card = CopyOfDemoCard(copy);
  ASSERT_FALSE(card.isEmpty());
  ASSERT_NO_FATAL_FAILURE(Start(elsewhere.path()));
  w->AddFiles({card});
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  const TFileManager *m = Model().FileManager();
  QStringList kept;
  int loaded = -1;
  // The search also looks beside the program, where other tests leave clips.
  const auto onCard = [&](int r, const char *folder) {
    return m->GetGroup(r).Summary.FileName.startsWith(card + QStringLiteral("/DCIM/") + QLatin1String(folder));
  };
  for (int r = 0; r < m->GetCount(); ++r) {
    if (onCard(r, "101MEDIA/")) kept << m->GetGroup(r).Summary.Name;
    if (onCard(r, "100MEDIA/")) loaded = r;
  }
  ASSERT_EQ(kept.size(), 1);
  ASSERT_GE(loaded, 0);
  w->ListView->selectionModel()->setCurrentIndex(Model().index(loaded, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ASSERT_TRUE(kptest::waitUntil([&] { return !w->State.Recording.Files.empty(); }, 5000));
  ASSERT_TRUE(PressPlay(true));
  ASSERT_TRUE(QDir(card).rename(QStringLiteral("DCIM/100MEDIA"), QStringLiteral("DCIM/100MEDIA.old")));

  const QString oldCurrent = QDir::currentPath();
  QDir::setCurrent(elsewhere.path());
  w->Item("N_FileList_Refresh")->trigger();
  QDir::setCurrent(oldCurrent);
  auto *notice = w->ListView->findChild<QLabel *>(QStringLiteral("ListNotice"));
  ASSERT_TRUE(notice);
  ASSERT_TRUE(kptest::waitUntil(
      [&] { return Model().FileManager() && !Model().FileManager()->Searching() && notice->isVisible(); }, 20000));
  m = Model().FileManager();
  QStringList listed;
  int row = -1;
  for (int r = 0; r < m->GetCount(); ++r)
    if (m->GetGroup(r).Summary.FileName.startsWith(card)) {
      listed << m->GetGroup(r).Summary.Name;
      row = r;
    }
  EXPECT_EQ(listed, kept);
  EXPECT_EQ(notice->text(), Translate(u"Mes_RecordingsGone") + QStringLiteral(": 2"));
  EXPECT_TRUE(notice->toolTip().contains(card + QStringLiteral("/DCIM/100MEDIA/FILE0001.MOV")))
      << notice->toolTip().toStdString();
  EXPECT_TRUE(w->State.Recording.Files.empty());
  EXPECT_FALSE(w->ButtonPlay->isEnabled());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("KESTRIL PLAYER"));
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_refresh_drops_gone.png"));

  // The recording kept loads and plays as before.
  ASSERT_GE(row, 0);
  w->ListView->selectionModel()->setCurrentIndex(Model().index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ASSERT_TRUE(kptest::waitUntil([&] { return !w->State.Recording.Files.empty(); }, 5000));
  EXPECT_TRUE(PressPlay(true));
}

// A folder of the card renamed where the search looks: Refresh lists its
// recordings again from there, and nothing is told lost. Then the folder
// taken away for good: its recordings are told gone.
TEST_F(RealWindow, RefreshTellsNothingLostOfAFolderRenamedWhereTheSearchLooks)
{
  QTemporaryDir copy;
  const QString card = CopyOfDemoCard(copy);
  ASSERT_FALSE(card.isEmpty());
  ASSERT_NO_FATAL_FAILURE(Start(card));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  auto *notice = w->ListView->findChild<QLabel *>(QStringLiteral("ListNotice"));
  ASSERT_TRUE(notice);
  // The names of the card's recordings, those of the folder Under alone when given.
  const auto cardNames = [&](const QString &under = QString()) {
    const TFileManager *m = Model().FileManager();
    QStringList names;
    for (int r = 0; m && r < m->GetCount(); ++r)
      if (m->GetGroup(r).Summary.FileName.startsWith(card + under)) names << m->GetGroup(r).Summary.Name;
    names.sort();
    return names;
  };
  const auto refresh = [&] {
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(card);
    w->Item("N_FileList_Refresh")->trigger();
    QDir::setCurrent(oldCurrent);
    return kptest::waitUntil([&] { return Model().FileManager() && !Model().FileManager()->Searching(); }, 20000);
  };
  const QStringList all = cardNames(), moved = cardNames(QStringLiteral("/DCIM/100MEDIA/"));
  ASSERT_GE(moved.size(), 1);
  ASSERT_GT(all.size(), moved.size());

  ASSERT_TRUE(QDir(card).rename(QStringLiteral("DCIM/100MEDIA"), QStringLiteral("DCIM/100MEDIA.old")));
  ASSERT_TRUE(refresh());
  ASSERT_TRUE(kptest::waitUntil([&] { return cardNames() == all; }, 5000)) << cardNames().join(' ').toStdString();
  EXPECT_EQ(cardNames(QStringLiteral("/DCIM/100MEDIA.old/")), moved);
  EXPECT_FALSE(notice->isVisible() && notice->text().contains(Translate(u"Mes_RecordingsGone")))
      << notice->text().toStdString();
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_refresh_folder_renamed.png"));

  ASSERT_TRUE(QDir(card + QStringLiteral("/DCIM/100MEDIA.old")).removeRecursively());
  ASSERT_TRUE(refresh());
  ASSERT_TRUE(kptest::waitUntil([&] { return notice->isVisible(); }, 5000));
  QStringList left = all;
  for (const QString &name : moved) left.removeOne(name);
  EXPECT_EQ(cardNames(), left);
  EXPECT_EQ(notice->text(), Translate(u"Mes_RecordingsGone") + QStringLiteral(": ") + QString::number(moved.size()));
  EXPECT_TRUE(notice->toolTip().contains(card + QStringLiteral("/DCIM/100MEDIA.old/FILE0001.MOV")))
      << notice->toolTip().toStdString();
}
