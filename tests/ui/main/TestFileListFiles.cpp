// The list commands and the file adder on a generated demo card, with the
// track files checked by gpsbabel and xmllint and snapshots by identify.

#include "FileAdder.h"
#include "Errors.h"
#include "FileListTestSupport.h"
#include "LogCapture.h"
#include "SmallDisk.h"
#include "UnitGpsConverters.h"
#include "UnitSnapshot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTemporaryDir>

using namespace kp;
using kptest::findTool;
using kptest::runTool;

namespace {

QString DemoCard()
{
  return kptest::quickDemoCard();
}

QString CopyOfCard(const QTemporaryDir &into)
{
  const QString target = into.path() + "/card";
  runTool("cp", {"-a", DemoCard(), target});
  return target;
}

struct CardFixture : kptest::TListFixture {
  void Add(const QStringList &names, bool nothingLoaded = true)
  {
    const TAddFilesResult r = AddFilesToCatalogue(Manager, names, nothingLoaded);
    Commands->SelectedCaption = r.CaptionToSelect;
    Commands->FileManagerChanged(-2);
  }
  // The save dialog's filter of that format.
  void ChooseExportFormat(const QString &ext)
  {
    const auto &converters = GpsExportConverters();
    for (size_t i = 0; i < converters.size(); ++i)
      if (converters[i]->GetExt() == ext) Host.SaveFilter = int(i);
  }
  void SelectAll()
  {
    View.selectAll();
    View.selectionModel()->setCurrentIndex(Model.index(0, 0), QItemSelectionModel::NoUpdate);
  }
};

} // namespace

TEST_F(CardFixture, DatNameAndFolderAddRecordings)
{
  ASSERT_TRUE(QFile::exists(DemoCard() + "/DCIM/100MEDIA/FILE0001.MOV"));
  Add({DemoCard() + "/DCIM/100MEDIA/FILE0001.DAT"});
  ASSERT_EQ(Manager.GetCount(), 1);
  EXPECT_TRUE(Manager.GetGroup(0).Summary.FileName.endsWith("FILE0001.MOV"));
  EXPECT_EQ(Model.Caption(Commands->CurrentRow()), Manager.GetGroup(0).Summary.Name);
  Add({DemoCard() + "/DCIM"}, false);
  EXPECT_GE(Manager.GetCount(), 3); // the trips, grouped
  EXPECT_EQ(MovieForName(DemoCard() + "/DCIM/100MEDIA/NOSUCH.DAT"), QString());

  // Names that lead nowhere are logged, one not in UTF-8 as such.
  kptest::TLogCapture log("kp.catalogue");
  const int before = Manager.GetCount();
  Add({DemoCard() + "/NOSUCH.MOV", QFile::decodeName(QFile::encodeName(DemoCard()) + "/trip \xfc.MOV")});
  EXPECT_EQ(Manager.GetCount(), before);
  EXPECT_EQ(log.LinesWith("no such file or folder").size(), 1) << log.Lines().join('\n').toStdString();
  EXPECT_EQ(log.LinesWith("not valid UTF-8").size(), 1) << log.Lines().join('\n').toStdString();
}

TEST_F(CardFixture, ExportedTrackReadsBackInOtherTools)
{
  Add({DemoCard() + "/DCIM/100MEDIA"});
  SelectAll();
  QTemporaryDir out;
  Host.SaveAs = out.path() + "/trip";
  ChooseExportFormat("gpx");
  Commands->ExportTrack();
  ASSERT_TRUE(Host.Messages.isEmpty()) << Host.Messages.join(' ').toStdString();
  ASSERT_TRUE(QFile::exists(out.path() + "/trip.gpx"));
  if (const QString gpsbabel = findTool("gpsbabel"); !gpsbabel.isEmpty()) {
    int code = -1;
    const QString csv =
        runTool(gpsbabel, {"-t", "-i", "gpx", "-f", out.path() + "/trip.gpx", "-o", "unicsv", "-F", "-"}, &code);
    EXPECT_EQ(code, 0) << csv.toStdString();
    EXPECT_GT(csv.count('\n'), 10);
  }
  Commands->OpenTrackInEarth();
  ASSERT_EQ(Host.Opened.size(), 1);
  EXPECT_TRUE(Host.Opened.front().endsWith(".kml"));
  // The file takes the track's own name, which the export proposed too.
  const QString gpx = QString::fromUtf8(kptest::readFileBytes(out.path() + "/trip.gpx"));
  const QString base = QFileInfo(Host.Opened.front()).completeBaseName(); // "Track yyyy.MM.dd hh-mm-ss"
  const QString time = QString(base.mid(17)).replace('-', ':');
  EXPECT_TRUE(gpx.contains("<name>" + base.left(17) + time + "</name>")) << base.toStdString();
  if (const QString xmllint = findTool("xmllint"); !xmllint.isEmpty()) {
    int code = -1;
    runTool(xmllint, {"--noout", Host.Opened.front()}, &code);
    EXPECT_EQ(code, 0);
  }
  QFile::remove(Host.Opened.front());
}

// Opening one track again and again finds its own file, however often;
// another user's (or a stale) link standing under a name the track could be
// given is passed over, never written through.
TEST_F(CardFixture, TrackForTheGlobeNeverRunsOutOfNamesNorWritesThroughALink)
{
  Add({DemoCard() + "/DCIM/100MEDIA"});
  SelectAll();
  for (int i = 0; i < 25; ++i) Commands->OpenTrackInEarth();
  EXPECT_TRUE(Host.Messages.isEmpty()) << Host.Messages.join('\n').toStdString();
  ASSERT_EQ(Host.Opened.size(), 25);
  const QFileInfo first(Host.Opened.front());
  EXPECT_EQ(Host.Opened, QStringList(25, first.filePath()));
  EXPECT_EQ(QDir(first.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList(first.fileName()));
  Host.Opened.clear();
  ASSERT_TRUE(QFile::remove(first.filePath()));
  const QString stem = first.completeBaseName(), folder = first.path();
  QStringList names;
  for (int n = 1; n <= 20; ++n) names << folder + '/' + (n == 1 ? stem : stem + QString(" (%1)").arg(n)) + ".kml";
  QTemporaryDir victims;
  const QString target = victims.filePath("precious");
  ASSERT_TRUE(kptest::writeFileBytes(target, "mine"));
  for (const QString &name : names) ASSERT_TRUE(QFile::link(target, name)) << name.toStdString();

  Commands->OpenTrackInEarth();
  ASSERT_EQ(Host.Opened.size(), 1);
  EXPECT_EQ(Host.Opened.takeFirst(), folder + '/' + stem + " (21).kml");
  EXPECT_TRUE(Host.Messages.isEmpty());

  // One name free again: that one is written, as a file of its own.
  ASSERT_TRUE(QFile::remove(names[4]));
  Commands->OpenTrackInEarth();
  ASSERT_EQ(Host.Opened.size(), 1);
  EXPECT_EQ(Host.Opened.front(), names[4]);
  EXPECT_FALSE(QFileInfo(names[4]).isSymLink());
  EXPECT_TRUE(kptest::readFileBytes(names[4]).contains("<kml"));
  EXPECT_EQ(kptest::readFileBytes(target), "mine");
  EXPECT_TRUE(Host.Messages.isEmpty());
  // The folder is this user's alone, and goes with the program.
  EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther |
                                               QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup),
            QFile::Permissions());
  Commands.reset();
  EXPECT_FALSE(QFileInfo::exists(folder));
  EXPECT_EQ(kptest::readFileBytes(target), "mine");
}

// A folder that cannot be written or a full disk: one plain message naming
// the file and the system's reason, and no file left.
TEST_F(CardFixture, ExportToADiskThatRefusesItSaysWhy)
{
  Add({DemoCard() + "/DCIM/100MEDIA"});
  SelectAll();
  ChooseExportFormat("gpx");
  for (const auto kind : {kptest::TSmallDisk::ReadOnly, kptest::TSmallDisk::Full}) {
    KP_SMALL_DISK(disk, kind);
    SCOPED_TRACE(disk.Name());
    Host.SaveAs = disk.Path("trip");
    Host.Messages.clear();
    Commands->ExportTrack();
    EXPECT_EQ(Host.Messages,
              QStringList(FileFailureMessage(disk.Path("trip.gpx"),
                                             SystemErrorText(kind == kptest::TSmallDisk::ReadOnly ? EROFS : ENOSPC))));
    EXPECT_EQ(disk.Entries(), QStringList());
  }
}

// The save dialog asks about the name as typed; a name that gets its
// extension afterwards is asked about again when that file exists.
TEST_F(CardFixture, ExportAsksBeforeReplacingTheNameWithItsExtension)
{
  Add({DemoCard() + "/DCIM/100MEDIA"});
  SelectAll();
  ChooseExportFormat("gpx");
  const struct {
    const char *typed, *existing, *written;
    bool answer, asked, replaced;
  } cases[] = {
      {"t3", "t3.gpx", "t3.gpx", false, true, false},
      {"t3", "t3.gpx", "t3.gpx", true, true, true},
      {"t3.gpx", "t3.gpx", "t3.gpx", false, false, true}, // the dialog itself asked
      {"t4", "", "t4.gpx", false, false, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.typed);
    QTemporaryDir out;
    if (*c.existing) {
      ASSERT_TRUE(kptest::writeFileBytes(out.filePath(c.existing), "mine"));
    }
    Host.SaveAs = out.filePath(c.typed);
    Host.Answer = c.answer;
    Host.Questions.clear();
    Commands->ExportTrack();
    ASSERT_EQ(Host.Questions.size(), c.asked ? 1 : 0);
    if (c.asked) {
      EXPECT_TRUE(Host.Questions.front().contains(out.filePath(c.written)));
    }
    QFile written(out.filePath(c.written));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().contains("<gpx"), c.replaced);
  }
  EXPECT_TRUE(Host.Messages.isEmpty()) << Host.Messages.join(' ').toStdString();
}

TEST_F(CardFixture, DeleteRemovesFilesAndReportsTheOnesThatStay)
{
  QTemporaryDir dir;
  const QString card = CopyOfCard(dir);
  Add({card + "/DCIM/100MEDIA/FILE0002.MOV", card + "/DCIM/100MEDIA/FILE0003.MOV"});
  Manager.UngroupAll();
  Commands->FileManagerChanged(-1);
  // A non-empty folder where a movie stood cannot be deleted, even by root.
  ASSERT_EQ(Manager.GetCount(), 2);
  const QString gone = Manager.GetGroup(0).Files.front().FileName;
  const QString stays = Manager.GetGroup(1).Files.front().FileName;
  QFile::remove(stays);
  QDir().mkpath(stays + "/inside");
  SelectAll();
  Commands->DeleteFromDisk();
  ASSERT_EQ(Host.Questions.size(), 1);
  EXPECT_FALSE(QFile::exists(gone));
  EXPECT_FALSE(QFile::exists(QString(gone).replace(".MOV", ".DAT")));
  ASSERT_EQ(Host.Messages.size(), 1);
  EXPECT_TRUE(Host.Messages.front().startsWith(Translate(u"Mes_CantDelete"))) << Host.Messages.front().toStdString();
  EXPECT_EQ(Host.Failures, Host.Messages);
  // Each file that stays is named with its reason: the video with the
  // system's, its track and G-sensor files as staying with it.
  const QString beside = Translate(u"Mes_StaysWithVideo");
  QStringList expected{stays + ": " + SystemErrorText(EISDIR)};
  for (const char *ext : {".DAT", ".3GF"}) expected << QString(stays).replace(".MOV", ext) + ": " + beside;
  EXPECT_EQ(Host.Details.back(), expected);
  EXPECT_EQ(Manager.GetCount(), 1); // the file that stayed is still listed

  // A card whose lock is slid refuses root too: the report counts and names
  // every file the question did, side files included.
  KP_SMALL_DISK(locked, kptest::TSmallDisk::Small);
  const QStringList movies{locked.Path("FILE0101.MOV"), locked.Path("FILE0102.MOV")};
  for (const QString &movie : movies) {
    ASSERT_TRUE(kptest::writeFileBytes(movie, "x"));
    for (const char *ext : {".DAT", ".3GF"})
      ASSERT_TRUE(QFile::copy(QString(gone).replace(".MOV", ext).replace(card, DemoCard()),
                              QString(movie).replace(".MOV", ext)));
  }
  Add(movies, false);
  ASSERT_TRUE(locked.MakeReadOnly());
  Host.Messages.clear();
  Commands->DeleteAllUnlocked();
  ASSERT_EQ(Host.Messages.size(), 1);
  EXPECT_TRUE(Host.Messages.front().startsWith(Translate(u"Mes_CantDelete"))) << Host.Messages.front().toStdString();
  EXPECT_TRUE(Host.Messages.front().contains(": 9 (")) << Host.Messages.front().toStdString();
  QStringList named = Host.Details.back();
  for (const QString &movie : movies) {
    expected << movie + ": " + SystemErrorText(EROFS);
    for (const char *ext : {".DAT", ".3GF"}) expected << QString(movie).replace(".MOV", ext) + ": " + beside;
  }
  named.sort();
  expected.sort();
  EXPECT_EQ(named, expected);
}

TEST_F(CardFixture, DeleteQuestionsCountAndNameEveryFileThatGoes)
{
  QTemporaryDir dir;
  const QString card = CopyOfCard(dir);
  Add({card + "/DCIM/100MEDIA"}, false);
  std::vector<TFileItem> unlocked;
  int row = -1;
  for (int i = 0; i < Manager.GetCount(); ++i)
    if (Manager.GetGroup(i).Summary.Locked == lsNone) {
      unlocked.push_back(Manager.GetGroup(i));
      if (row < 0) row = i;
    }
  ASSERT_FALSE(unlocked.empty());
  // Every fragment of the card has its track and its G-sensor side file.
  QStringList going;
  for (const TFileItem &r : unlocked)
    for (const TFileItemSubitem &f : r.Files)
      for (const char *ext : {".MOV", ".DAT", ".3GF"}) going += QString(f.FileName).replace(".MOV", ext);
  Host.Answer = false;
  Commands->DeleteAllUnlocked();
  ASSERT_EQ(Host.Questions.size(), 1);
  qint64 bytes = 0;
  for (const QString &path : going) bytes += QFileInfo(path).size();
  EXPECT_TRUE(Host.Questions[0].contains(
      QStringLiteral(": %1 (%2 MB)\r\n").arg(going.size()).arg(double(bytes) / 1048576.0, 0, 'f', 1)))
      << Host.Questions[0].toStdString();
  going.sort();
  QStringList named = Host.Details[0];
  named.sort();
  EXPECT_EQ(named, going);

  // One recording deleted: the question names its files, and all go.
  View.selectionModel()->setCurrentIndex(Model.index(row, 0),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  const TFileItem chosen = Manager.GetGroup(row);
  Host.Answer = true;
  Commands->DeleteFromDisk();
  ASSERT_EQ(Host.Questions.size(), 2);
  for (const TFileItemSubitem &f : chosen.Files)
    for (const char *ext : {".MOV", ".DAT", ".3GF"}) {
      const QString path = QString(f.FileName).replace(".MOV", ext);
      EXPECT_TRUE(Host.Details[1].contains(path)) << path.toStdString();
      EXPECT_FALSE(QFile::exists(path)) << path.toStdString();
    }
  EXPECT_TRUE(Host.Messages.isEmpty()) << Host.Messages.join(' ').toStdString();
}

TEST_F(CardFixture, CopyTakesTheRecordingsNameAsTheListShowsIt)
{
  Add({DemoCard() + "/DCIM/100MEDIA"}, false);
  ASSERT_GE(Manager.GetCount(), 2);
  int multi = -1;
  for (int i = 0; i < Manager.GetCount() && multi < 0; ++i)
    if (Manager.GetGroup(i).Files.size() > 1) multi = i;
  ASSERT_GE(multi, 0);
  const int other = multi == 0 ? 1 : 0;
  View.selectionModel()->setCurrentIndex(Model.index(multi, 0),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  const TFileItem one = Commands->SelectedForCopy();
  EXPECT_EQ(one.Summary.Name, Manager.GetGroup(multi).Summary.Name);
  EXPECT_TRUE(one.Summary.Name.contains('-')) << one.Summary.Name.toStdString(); // "FILE0001-5"
  EXPECT_EQ(one.Files.size(), Manager.GetGroup(multi).Files.size());
  View.selectionModel()->select(Model.index(other, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const QStringList names = {Manager.GetGroup(std::min(multi, other)).Summary.Name,
                             Manager.GetGroup(std::max(multi, other)).Summary.Name};
  EXPECT_EQ(Commands->SelectedForCopy().Summary.Name, names.join(", "));
}

TEST(SnapshotFile, JpegOfFullSizeAndQuality96)
{
  QImage frame(320, 180, QImage::Format_RGB32);
  frame.fill(qRgb(40, 90, 200));
  QTemporaryDir dir;
  const QString path = dir.path() + "/Frame.jpg";
  ASSERT_TRUE(SaveJpeg(frame, path));
  EXPECT_EQ(QImage(path).size(), QSize(320, 180));
  if (const QString identify = findTool("identify"); !identify.isEmpty()) {
    EXPECT_EQ(runTool(identify, {"-format", "%Q", path}).trimmed(), "96");
  }
  EXPECT_FALSE(SaveJpeg(QImage(), dir.path() + "/none.jpg"));
  EXPECT_FALSE(SaveJpeg(frame, dir.path() + "/no/such/folder/x.jpg"));
  // Save frame and Save window show this reason beside the file's name.
  for (const auto kind : {kptest::TSmallDisk::ReadOnly, kptest::TSmallDisk::Full}) {
    KP_SMALL_DISK(disk, kind);
    SCOPED_TRACE(disk.Name());
    QString error;
    EXPECT_FALSE(SaveJpeg(frame, disk.Path("Frame.jpg"), error));
    EXPECT_EQ(error, SystemErrorText(kind == kptest::TSmallDisk::ReadOnly ? EROFS : ENOSPC));
    EXPECT_EQ(disk.Entries(), QStringList());
  }
}
