// The list commands and the file adder on a generated demo card, with the
// track files checked by gpsbabel and xmllint and snapshots by identify.

#include "FileAdder.h"
#include "FileListCommands.h"
#include "FileListModel.h"
#include "FileListTestSupport.h"
#include "MainMenus.h"
#include "UiTestSupport.h"
#include "UnitGpsConverters.h"
#include "UnitSnapshot.h"
#include "UnitTranslate.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QItemSelectionModel>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kp;

namespace {

QString Tool(const char *name)
{
  const QString path = QStandardPaths::findExecutable(QLatin1String(name));
  if (path.isEmpty() && qEnvironmentVariable("CI") == QLatin1String("true")) ADD_FAILURE() << name << " missing";
  return path;
}

QString RunTool(const QString &tool, const QStringList &args, int *exitCode = nullptr)
{
  QProcess p;
  p.start(tool, args);
  p.waitForFinished(60000);
  if (exitCode) *exitCode = p.exitCode();
  return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

// One quick demo card for the whole suite; tests that change files copy it.
const QString &DemoCard()
{
  static QTemporaryDir dir;
  static const QString card = [] {
    const QString path = dir.path() + "/card";
    RunTool(QStringLiteral(KP_MAKE_DEMO_CARD), {"--quick", path});
    return path;
  }();
  return card;
}

QString CopyOfCard(const QTemporaryDir &into)
{
  const QString target = into.path() + "/card";
  RunTool("cp", {"-a", DemoCard(), target});
  return target;
}

struct AppFirst {
  AppFirst() { kptest::ensureApplication(); }
};

struct CardFixture : ::testing::Test, AppFirst {
  kptest::ScopedSettings settings;
  QTableView view;
  TMainMenus *menus = new TMainMenus(&view);
  TFileListModel model;
  TFileManager manager{false, [](int) {}};
  kptest::TRecordingListHost host;
  std::unique_ptr<TFileListCommands> commands;

  void SetUp() override
  {
    InitLanguages();
    SetCurLang(LangEnglish);
    menus->Build(nullptr);
    model.SetFileManager(&manager);
    view.setModel(&model);
    commands = std::make_unique<TFileListCommands>(host, model, view, *menus);
  }
  void Add(const QStringList &names, bool nothingLoaded = true)
  {
    const TAddFilesResult r = AddFilesToCatalogue(manager, names, nothingLoaded);
    commands->SelectedCaption = r.CaptionToSelect;
    commands->FileManagerChanged(-2);
  }
  void SelectAll()
  {
    view.selectAll();
    view.selectionModel()->setCurrentIndex(model.index(0, 0), QItemSelectionModel::NoUpdate);
  }
};

} // namespace

TEST_F(CardFixture, DatNameAndFolderAddRecordings)
{
  ASSERT_TRUE(QFile::exists(DemoCard() + "/DCIM/100MEDIA/FILE0001.MOV"));
  Add({DemoCard() + "/DCIM/100MEDIA/FILE0001.DAT"});
  ASSERT_EQ(manager.GetCount(), 1);
  EXPECT_TRUE(manager.GetGroup(0).Summary.FileName.endsWith("FILE0001.MOV"));
  EXPECT_EQ(model.Caption(commands->CurrentRow()), manager.GetGroup(0).Summary.Name);
  Add({DemoCard() + "/DCIM"}, false);
  EXPECT_GE(manager.GetCount(), 3); // the trips, grouped
  EXPECT_EQ(MovieForName(DemoCard() + "/DCIM/100MEDIA/NOSUCH.DAT"), QString());
}

TEST_F(CardFixture, ExportedTrackReadsBackInOtherTools)
{
  Add({DemoCard() + "/DCIM/100MEDIA"});
  SelectAll();
  QTemporaryDir out;
  host.SaveAs = out.path() + "/trip";
  const auto &converters = GpsExportConverters();
  for (size_t i = 0; i < converters.size(); ++i)
    if (converters[i]->GetExt() == "gpx") host.SaveFilter = int(i);
  commands->ExportTrack();
  ASSERT_TRUE(host.Messages.isEmpty()) << host.Messages.join(' ').toStdString();
  ASSERT_TRUE(QFile::exists(out.path() + "/trip.gpx"));
  if (const QString gpsbabel = Tool("gpsbabel"); !gpsbabel.isEmpty()) {
    int code = -1;
    const QString csv =
        RunTool(gpsbabel, {"-t", "-i", "gpx", "-f", out.path() + "/trip.gpx", "-o", "unicsv", "-F", "-"}, &code);
    EXPECT_EQ(code, 0) << csv.toStdString();
    EXPECT_GT(csv.count('\n'), 10);
  }
  commands->OpenTrackInEarth();
  ASSERT_EQ(host.Opened.size(), 1);
  EXPECT_TRUE(host.Opened.front().endsWith(".kml"));
  if (const QString xmllint = Tool("xmllint"); !xmllint.isEmpty()) {
    int code = -1;
    RunTool(xmllint, {"--noout", host.Opened.front()}, &code);
    EXPECT_EQ(code, 0);
  }
  QFile::remove(host.Opened.front());
}

TEST_F(CardFixture, DeleteRemovesFilesAndReportsTheOnesThatStay)
{
  QTemporaryDir dir;
  const QString card = CopyOfCard(dir);
  Add({card + "/DCIM/100MEDIA/FILE0002.MOV", card + "/DCIM/100MEDIA/FILE0003.MOV"});
  manager.UngroupAll();
  commands->FileManagerChanged(-1);
  // A non-empty folder where a movie stood cannot be deleted, even by root.
  ASSERT_EQ(manager.GetCount(), 2);
  const QString gone = manager.GetGroup(0).Files.front().FileName;
  const QString stays = manager.GetGroup(1).Files.front().FileName;
  QFile::remove(stays);
  QDir().mkpath(stays + "/inside");
  SelectAll();
  commands->DeleteFromDisk();
  ASSERT_EQ(host.Questions.size(), 1);
  EXPECT_FALSE(QFile::exists(gone));
  EXPECT_FALSE(QFile::exists(QString(gone).replace(".MOV", ".DAT")));
  ASSERT_EQ(host.Messages.size(), 1);
  EXPECT_TRUE(host.Messages.front().startsWith(Translate(u"Mes_CantDelete"))) << host.Messages.front().toStdString();
  EXPECT_TRUE(host.Messages.front().contains(stays));
  EXPECT_EQ(manager.GetCount(), 1); // the file that stayed is still listed
}

TEST(SnapshotFile, JpegOfFullSizeAndQuality96)
{
  QImage frame(320, 180, QImage::Format_RGB32);
  frame.fill(qRgb(40, 90, 200));
  QTemporaryDir dir;
  const QString path = dir.path() + "/Frame.jpg";
  ASSERT_TRUE(SaveJpeg(frame, path));
  EXPECT_EQ(QImage(path).size(), QSize(320, 180));
  if (const QString identify = Tool("identify"); !identify.isEmpty()) {
    EXPECT_EQ(RunTool(identify, {"-format", "%Q", path}).trimmed(), "96");
  }
  EXPECT_FALSE(SaveJpeg(QImage(), dir.path() + "/none.jpg"));
  EXPECT_FALSE(SaveJpeg(frame, dir.path() + "/no/such/folder/x.jpg"));
}
