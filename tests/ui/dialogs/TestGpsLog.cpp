// The GPS-log window and its file jobs on the demo card's camera logs:
// conversions read back by gpsbabel and xmllint, the window's rows, routes
// and deletes.

#include "DemoCard.h"
#include "FakeDialogHost.h"
#include "GpsLogFiles.h"
#include "GpsLogNaming.h"
#include "IAuxHost.h"
#include "NoDesktopOpener.h"
#include "SmallDisk.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "UnitFileManager.h"
#include "UnitFormGPSLog.h"
#include "UnitMovingInfo.h"
#include "UnitGpsConverters.h"
#include "UnitTranslate.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QSet>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstring>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kp;

namespace {

struct TFakeGpsHost : IGpsLogHost {
  int Refreshes = 0;
  std::vector<size_t> TrackCounts;
  std::vector<std::vector<bool>> Highlights;
  void RefreshFileList() override { ++Refreshes; }
  void SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight) override
  {
    TrackCounts.push_back(tracks.size());
    Highlights.push_back(highlight);
  }
};

const TGpsInfoConverter *ExportByExt(const QString &ext)
{
  for (const TGpsInfoConverter *c : GpsExportConverters()) {
    if (c->GetExt() == ext) return c;
  }
  return nullptr;
}

// The quick demo card's tracks and logs, written once per test.
class GpsLog : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::ensureApplication();
    kptest::useLanguage(LangEnglish);
    const demo::TDemoCard card = demo::DemoCardPlan({true});
    QString error;
    ASSERT_TRUE(demo::WriteTrackFiles(card, FCard.path(), error)) << error.toStdString();
    for (const demo::TDemoTrip &trip : card.Trips) FLogs << FCard.filePath(trip.LogName);
    ASSERT_GE(FLogs.size(), 2);
  }

  QTemporaryDir FCard;
  QStringList FLogs;
};

} // namespace

TEST_F(GpsLog, CameraLogsConvertedAndReadBack)
{
  KP_REQUIRE_TOOL(gpsbabel, "gpsbabel");
  KP_REQUIRE_TOOL(xmllint, "xmllint");
  struct Case {
    QString Ext, BabelFormat;
    bool Xml;
  } cases[] = {{"kml", "kml", true}, {"gpx", "gpx", true}, {"plt", "ozi", false}};
  std::vector<const TGpsInfoConverter *> formats;
  for (const Case &c : cases) formats.push_back(ExportByExt(c.Ext));
  for (const QString &log : FLogs) {
    SCOPED_TRACE(log.toStdString());
    QStringList failures;
    ASSERT_TRUE(ConvertGpsLog(log, formats, failures)) << failures.join('|').toStdString();
    for (const Case &c : cases) {
      const QString file = GpsLogSideFileName(log, c.Ext);
      int code = -1;
      if (c.Xml) {
        const QString out = kptest::runTool(xmllint, {"--noout", file}, &code);
        EXPECT_EQ(code, 0) << out.toStdString();
      }
      const QString out =
          kptest::runTool(gpsbabel, {"-t", "-i", c.BabelFormat, "-f", file, "-o", "unicsv", "-F", "-"}, &code);
      ASSERT_EQ(code, 0) << out.toStdString();
      EXPECT_GT(out.count('\n'), 10) << c.Ext.toStdString();
    }
  }
}

TEST_F(GpsLog, TargetThatIsTheLogIsSkipped)
{
  // A GPX "log" converted to GPX (and KML): the GPX target is the log itself.
  QStringList failures;
  ASSERT_TRUE(ConvertGpsLog(FLogs[0], {ExportByExt("gpx")}, failures));
  const QString gpxLog = GpsLogSideFileName(FLogs[0], "gpx");
  const QByteArray before = kptest::readFileBytes(gpxLog);
  EXPECT_FALSE(ConvertGpsLog(gpxLog, {ExportByExt("gpx"), ExportByExt("kml")}, failures));
  ASSERT_EQ(failures.size(), 1);
  EXPECT_TRUE(failures[0].startsWith(gpxLog));
  EXPECT_EQ(kptest::readFileBytes(gpxLog), before);
  EXPECT_TRUE(QFile::exists(GpsLogSideFileName(gpxLog, "kml")));
}

// Logs on a card that turned read-only or is full: each format's file is
// named with the system's reason, and nothing is left beside the log.
TEST_F(GpsLog, CardThatRefusesTheFilesNamesEachWithTheReason)
{
  for (const bool readOnly : {true, false}) {
    KP_SMALL_DISK(disk, kptest::TSmallDisk::Small);
    const QString log = disk.Path(QFileInfo(FLogs[0]).fileName());
    ASSERT_TRUE(QFile::copy(FLogs[0], log));
    if (readOnly) {
      ASSERT_TRUE(disk.MakeReadOnly());
    } else {
      disk.Fill();
    }
    QStringList failures;
    EXPECT_FALSE(ConvertGpsLog(log, {ExportByExt("gpx"), ExportByExt("kml")}, failures));
    const QString reason = QString::fromLocal8Bit(std::strerror(readOnly ? EROFS : ENOSPC));
    EXPECT_EQ(failures, QStringList({GpsLogFormatFile(log, *ExportByExt("gpx")) + ": " + reason,
                                     GpsLogFormatFile(log, *ExportByExt("kml")) + ": " + reason}));
    EXPECT_EQ(disk.Entries(), QStringList(QFileInfo(log).fileName()));
  }
}

TEST_F(GpsLog, WindowRowsFiguresRoutesAndConversion)
{
  TFakeGpsHost host;
  QWidget main;
  TFormGPSLog form(host, &main);
  QStringList messages, confirmations;
  QString offeredSelected;
  TDialogPrompts prompts;
  prompts.Message = [&](const QString &text) { messages << text; };
  prompts.Failure = [&](const QString &text) { messages << "failed: " + text; };
  prompts.Confirm = [&](const QString &text) {
    confirmations << text;
    return true;
  };
  prompts.OpenFiles = [&](const QString &, const QString &selected) {
    offeredSelected = selected;
    return QStringList({FLogs[1]});
  };
  form.SetPrompts(prompts);
  const QString garbage = FCard.filePath("garbage.log");
  ASSERT_TRUE(kptest::writeFileBytes(garbage, "no track in here\n"));

  form.Execute({FLogs[0], garbage});
  QTreeWidget *list = form.ListViewFiles();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(form.ListFormats()->item(0)->checkState(), Qt::Checked);
  // A dropped folder is ignored; a dropped file is added ticked.
  form.AddDroppedFiles({FCard.path(), FCard.filePath("missing.log")});
  EXPECT_EQ(list->topLevelItemCount(), 2);
  form.ButtonAddClick();
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_TRUE(offeredSelected.startsWith("All supported formats")) << offeredSelected.toStdString();
  EXPECT_EQ(list->topLevelItem(2)->checkState(0), Qt::Checked);

  SetUseBritishUnits(false);
  ASSERT_TRUE(kptest::waitUntil([&] { return form.InformationComplete(); }, 20000));
  EXPECT_EQ(list->topLevelItem(1)->text(1), "error");
  EXPECT_GT(list->topLevelItem(0)->text(1).toInt(), 10);
  EXPECT_FALSE(list->topLevelItem(0)->text(2).isEmpty());
  const double metres = TMovingInfo::LoadFromFile(FLogs[0], false)->GetTrackLength();
  ASSERT_GT(metres, 300);
  EXPECT_EQ(list->topLevelItem(0)->text(3), QString::number(metres / 1000, 'f', 1));
  // A units switch shows the listed lengths and the column in the new unit.
  SetUseBritishUnits(true);
  form.ApplyLanguage();
  SetUseBritishUnits(false);
  EXPECT_EQ(list->topLevelItem(0)->text(3), QString::number(metres / 1609.344, 'f', 1));
  EXPECT_TRUE(list->headerItem()->text(3).endsWith(", " + Translate(u"Miles")));
  form.ApplyLanguage();
  EXPECT_EQ(list->topLevelItem(0)->text(3), QString::number(metres / 1000, 'f', 1));
  // A list filled under British units is in miles.
  form.ClearRows();
  SetUseBritishUnits(true);
  form.Execute({FLogs[0]});
  ASSERT_TRUE(kptest::waitUntil([&] { return form.InformationComplete(); }, 20000));
  SetUseBritishUnits(false);
  EXPECT_EQ(list->topLevelItem(0)->text(3), QString::number(metres / 1609.344, 'f', 1));

  // Routes: one track is never highlighted, of two the selected one is.
  form.ClearRows();
  form.Execute({FLogs[0], FLogs[1]});
  form.CheckBoxShowPath()->setChecked(true);
  list->topLevelItem(0)->setCheckState(0, Qt::Checked);
  list->topLevelItem(0)->setSelected(true);
  ASSERT_TRUE(kptest::waitUntil([&] { return !host.TrackCounts.empty() && host.TrackCounts.back() == 1; }, 5000));
  EXPECT_EQ(host.Highlights.back(), std::vector<bool>({false}));
  list->topLevelItem(1)->setCheckState(0, Qt::Checked);
  ASSERT_TRUE(kptest::waitUntil([&] { return host.TrackCounts.back() == 2; }, 5000));
  EXPECT_EQ(host.Highlights.back(), std::vector<bool>({true, false}));
  form.CheckBoxShowPath()->setChecked(false);

  // Convert: the good log is written and unticked, the garbage stays ticked.
  list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
  form.AddDroppedFiles({garbage});
  form.ButtonConvertClick();
  EXPECT_TRUE(QFile::exists(GpsLogSideFileName(FLogs[0], "kml")));
  EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(list->topLevelItem(2)->checkState(0), Qt::Checked);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith("failed: ") && messages[0].contains(garbage)) << messages[0].toStdString();
  // Nothing ticked: the request to tick first.
  form.CheckBoxAllClick();
  list->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
  form.ButtonConvertClick();
  ASSERT_EQ(messages.size(), 2);
  EXPECT_EQ(messages[1], Translate(u"GPSLog_SelectToProcess"));
}

TEST_F(GpsLog, DeletesRemoveSideFilesOrReportAndKeepTheRow)
{
  TFakeGpsHost host;
  TFormGPSLog form(host, nullptr);
  QStringList messages, confirmations;
  TDialogPrompts prompts;
  prompts.Message = [&](const QString &text) { messages << text; };
  prompts.Confirm = [&](const QString &text) {
    confirmations << text;
    return true;
  };
  prompts.Failure = prompts.Message;
  form.SetPrompts(prompts);
  QStringList failures;
  ASSERT_TRUE(ConvertGpsLog(FLogs[0], {ExportByExt("kml"), ExportByExt("gpx")}, failures));
  // A log the user may not delete: a read-only folder, or for root a
  // kernel file.
  const QString lockedDir = FCard.filePath("locked");
  QString locked = lockedDir + "/LOG9.LOG";
  ASSERT_TRUE(QDir().mkpath(lockedDir));
  ASSERT_TRUE(QFile::copy(FLogs[1], locked));
  QFile::setPermissions(lockedDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  if (::geteuid() == 0) locked = "/proc/version";

  // A file the user made under the log's name with a format's extension
  // goes too: the question names it with every other file that goes.
  const QString mine = GpsLogSideFileName(FLogs[0], "csv");
  ASSERT_TRUE(kptest::writeFileBytes(mine, "my own table"));

  form.Execute({FLogs[0], locked});
  QTreeWidget *list = form.ListViewFiles();
  list->setCurrentItem(list->topLevelItem(0));
  form.DeleteSelectedFromDisk();
  EXPECT_EQ(confirmations.last(), Translate(u"Mes_SureToDelFile") + "\r\n" + GpsLogSideFileName(FLogs[0], "kml") +
                                      "\r\n" + GpsLogSideFileName(FLogs[0], "gpx") + "\r\n" + mine + "\r\n" + FLogs[0] +
                                      " ?");
  EXPECT_FALSE(QFile::exists(mine));
  EXPECT_FALSE(QFile::exists(FLogs[0]));
  EXPECT_FALSE(QFile::exists(GpsLogSideFileName(FLogs[0], "kml")));
  EXPECT_FALSE(QFile::exists(GpsLogSideFileName(FLogs[0], "gpx")));
  ASSERT_EQ(list->topLevelItemCount(), 1);

  list->setCurrentItem(list->topLevelItem(0));
  form.DeleteSelectedFromDisk();
  EXPECT_TRUE(QFile::exists(locked));
  ASSERT_EQ(list->topLevelItemCount(), 1);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(locked));

  form.DeleteAllFromDisk();
  EXPECT_EQ(confirmations.last(), Translate(u"Mes_SureToDelAllGPSLogs") + "?\r\n\r\n" +
                                      Translate(u"Mes_SureToDelAllFiles2") + ": 1\r\n" + locked + "\r\n");
  EXPECT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(host.Refreshes, 1);
  QFile::setPermissions(lockedDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Each CSV flavour writes its own file (the first keeps the plain name), and
// the window's rows tell every format and its file apart.
TEST_F(GpsLog, EveryTickedFormatWritesItsOwnFile)
{
  std::vector<const TGpsInfoConverter *> all(GpsExportConverters().begin(), GpsExportConverters().end());
  QStringList failures;
  ASSERT_TRUE(ConvertGpsLog(FLogs[0], all, failures)) << failures.join('|').toStdString();
  const struct {
    QString Suffix;
    QByteArray Header;
  } csvs[] = {{".csv", "Type;Date;Time(GMT);X;Y;H;Speed;Bearing;Trip\r\n"},
              {"_gps.csv", "Date;Time(GMT);X;Y;H;Speed;Bearing;Trip\r\n"},
              {"_gsensor.csv", "Date;Time(GMT);X;Y;Z\r\n"}};
  QString base = FLogs[0];
  base.chop(QFileInfo(base).suffix().size() + 1);
  for (const auto &c : csvs) {
    const QByteArray text = kptest::readFileBytes(base + c.Suffix);
    EXPECT_TRUE(text.startsWith(c.Header)) << c.Suffix.toStdString();
  }
  EXPECT_GT(kptest::readFileBytes(base + "_gps.csv").count('\n'), 10);
  QStringList written;
  for (const TGpsInfoConverter *format : all) written << GpsLogFormatFile(FLogs[0], *format);
  EXPECT_EQ(written.size(), QSet<QString>(written.begin(), written.end()).size()) << written.join(' ').toStdString();

  // The window's format rows: distinct, each naming its file's ending, and
  // shown whole.
  TFakeGpsHost host;
  QWidget main;
  TFormGPSLog form(host, &main);
  form.Execute({FLogs[0]});
  QListWidget *formats = form.ListFormats();
  QCoreApplication::processEvents(); // the layout
  ASSERT_EQ(formats->count(), int(all.size()));
  QStringList labels;
  for (int i = 0; i < formats->count(); ++i) {
    const QString text = formats->item(i)->text();
    labels << text;
    const QString ending = QFileInfo(written[i]).fileName().mid(QFileInfo(base).fileName().size());
    EXPECT_TRUE(text.endsWith("(" + ending + ")")) << text.toStdString();
    const QRect shown = formats->visualItemRect(formats->item(i)).intersected(formats->viewport()->rect());
    EXPECT_LE(formats->fontMetrics().horizontalAdvance(text), shown.width()) << text.toStdString();
  }
  EXPECT_EQ(labels.size(), QSet<QString>(labels.begin(), labels.end()).size());
  kptest::saveScreenshot(&form, QStringLiteral("gpslog_formats.png"));
}

// Logs of sentences without a fix, with a time (read as fixes without a
// position) or without one (nothing to read at all): each row counts 0
// points and says why, and converting says the same for both and writes
// nothing, in every language.
TEST_F(GpsLog, LogWithoutAFixCountsNoPointsAndWritesNothing)
{
  const auto sentence = [](const QByteArray &body) {
    unsigned sum = 0;
    for (qsizetype k = 1; k < body.size(); ++k) sum ^= uint8_t(body[k]);
    return body + "*" + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper() + "\r\n";
  };
  QByteArray timed, untimed;
  for (int i = 0; i < 90; ++i) {
    timed += sentence("$GPRMC,120" + QByteArray::number(i / 60) + QByteArray::number(i % 60).rightJustified(2, '0') +
                      ".00,V,,,,,,,010524,,,N");
    untimed += sentence("$GPGGA,,,,,,0,00,99.99,,,,,,") + sentence("$GPRMC,,V,,,,,,,,,,N");
  }
  const QStringList logs = {FCard.filePath("NOFIX.NMEA"), FCard.filePath("NOTIME.LOG")};
  ASSERT_TRUE(kptest::writeFileBytes(logs[0], timed));
  ASSERT_TRUE(kptest::writeFileBytes(logs[1], untimed));

  TFakeGpsHost host;
  QWidget main;
  TFormGPSLog form(host, &main);
  QStringList messages;
  TDialogPrompts prompts;
  prompts.Message = [&](const QString &t) { messages << t; };
  prompts.Failure = prompts.Message;
  form.SetPrompts(prompts);
  form.Execute(logs);
  ASSERT_TRUE(kptest::waitUntil([&] { return form.InformationComplete(); }, 20000));
  for (int row = 0; row < 2; ++row) {
    const QTreeWidgetItem *item = form.ListViewFiles()->topLevelItem(row);
    EXPECT_EQ(item->text(1), "0") << row;
    EXPECT_EQ(item->text(2), "") << "no duration without a fix";
    EXPECT_EQ(item->toolTip(1), Translate(u"GPSLog_NoFix")) << row;
  }

  for (int i = 0; i < form.ListFormats()->count(); ++i) form.ListFormats()->item(i)->setCheckState(Qt::Checked);
  for (int lang : {0, 1, 2}) {
    kptest::useLanguage(lang);
    const QString noFix = Translate(u"GPSLog_NoFix");
    EXPECT_NE(noFix, "GPSLog_NoFix");
    messages.clear();
    form.CheckBoxAllClick();
    for (int row = 0; row < 2; ++row) form.ListViewFiles()->topLevelItem(row)->setCheckState(0, Qt::Checked);
    form.ButtonConvertClick();
    ASSERT_EQ(messages, QStringList(logs[0] + ": " + noFix + "\r\n" + logs[1] + ": " + noFix)) << lang;
  }
  kptest::useLanguage(0);
  for (const QString &log : logs) {
    for (const TGpsInfoConverter *format : GpsExportConverters())
      EXPECT_FALSE(QFile::exists(GpsLogFormatFile(log, *format))) << format->GetName().toStdString();
  }
  EXPECT_EQ(form.ListViewFiles()->topLevelItem(0)->checkState(0), Qt::Checked);
}

// On a card that turned read-only, a conversion and a delete fail: the
// real boxes show each failure with the warning icon, as every other file
// failure is shown.
TEST_F(GpsLog, FailuresShowTheWarningIcon)
{
  KP_SMALL_DISK(disk, kptest::TSmallDisk::Small);
  const QString log = disk.Path(QFileInfo(FLogs[0]).fileName());
  ASSERT_TRUE(QFile::copy(FLogs[0], log));
  ASSERT_TRUE(disk.MakeReadOnly());
  TFakeGpsHost host;
  QWidget main;
  TFormGPSLog form(host, &main);
  form.Execute({log});
  for (int i = 0; i < form.ListFormats()->count(); ++i)
    form.ListFormats()->item(i)->setCheckState(GpsExportConverters()[size_t(i)] == ExportByExt("kml") ? Qt::Checked
                                                                                                      : Qt::Unchecked);
  QTreeWidgetItem *row = form.ListViewFiles()->topLevelItem(0);
  row->setCheckState(0, Qt::Checked);
  kptest::MessageBoxAnswerer boxes(QMessageBox::Yes);
  form.ButtonConvertClick();
  form.ListViewFiles()->setCurrentItem(row);
  form.DeleteSelectedFromDisk();
  ASSERT_EQ(boxes.Texts.size(), 3) << boxes.Texts.join('|').toStdString();
  EXPECT_TRUE(boxes.Texts[0].contains(GpsLogSideFileName(log, "kml"))) << boxes.Texts[0].toStdString();
  EXPECT_EQ(boxes.Icons, QList<QMessageBox::Icon>({QMessageBox::Warning, QMessageBox::Question, QMessageBox::Warning}));
  EXPECT_TRUE(QFile::exists(log));
}

// "Show in folder" on a desktop that cannot open the folder says so.
TEST_F(GpsLog, ShowInFolderThatCannotOpenSaysSo)
{
  TFakeGpsHost host;
  TFormGPSLog form(host, nullptr);
  QStringList messages;
  TDialogPrompts prompts;
  prompts.Message = [&](const QString &text) { messages << text; };
  prompts.Failure = prompts.Message;
  form.SetPrompts(prompts);
  form.Execute({FLogs[0]});
  form.ListViewFiles()->topLevelItem(0)->setSelected(true);
  const kptest::TNoDesktopOpener noOpener;
  form.ShowSelectedInExplorer();
  ASSERT_TRUE(kptest::waitUntil([&] { return !messages.isEmpty(); }, 10000));
  EXPECT_EQ(messages[0], Translate(u"Mes_CantOpen") + "\r\n" + QFileInfo(FLogs[0]).absolutePath());
}

// Converting over files the user has under the outputs' names asks about
// each one by name in the real message box, with answers for all of them
// while more are to come; a kept file stays as it was, and the log counts
// as converted (unticked, and "Select all" unticked with it).
TEST_F(GpsLog, ConversionAsksBeforeReplacingEachExistingFile)
{
  TFakeGpsHost host;
  QWidget main;
  TFormGPSLog form(host, &main);
  form.Execute({FLogs[0], FLogs[1]});
  for (int i = 0; i < form.ListFormats()->count(); ++i) {
    const bool wanted = GpsExportConverters()[size_t(i)] == ExportByExt("kml") ||
                        GpsExportConverters()[size_t(i)] == ExportByExt("gpx");
    form.ListFormats()->item(i)->setCheckState(wanted ? Qt::Checked : Qt::Unchecked);
  }
  const QString mine[] = {GpsLogSideFileName(FLogs[0], "kml"), GpsLogSideFileName(FLogs[0], "gpx"),
                          GpsLogSideFileName(FLogs[1], "kml")};
  for (const QString &file : mine) ASSERT_TRUE(kptest::writeFileBytes(file, "my own file"));
  form.CheckBoxShowPath()->setChecked(false);
  const auto selectAll = form.findChildren<QCheckBox *>().first();
  ASSERT_NE(selectAll, form.CheckBoxShowPath());
  selectAll->click();
  ASSERT_TRUE(selectAll->isChecked());

  const QMessageBox::StandardButtons all =
      QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll | QMessageBox::NoToAll;
  {
    kptest::MessageBoxAnswerer boxes;
    boxes.Answers = {QMessageBox::Yes, QMessageBox::NoToAll};
    form.ButtonConvertClick();
    ASSERT_EQ(boxes.Texts.size(), 2);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(boxes.Texts[i],
                Translate(u"Mes_FileExists") + "\n" + mine[i] + "\n\n" + Translate(u"Mes_SureToReplace") + " ?");
      EXPECT_EQ(boxes.Offered[i], all);
    }
  }
  EXPECT_TRUE(kptest::readFileBytes(mine[0]).contains("<kml"));
  EXPECT_EQ(kptest::readFileBytes(mine[1]), "my own file");
  EXPECT_EQ(kptest::readFileBytes(mine[2]), "my own file");
  EXPECT_TRUE(kptest::readFileBytes(GpsLogSideFileName(FLogs[1], "gpx")).contains("<gpx"));
  for (int i = 0; i < 2; ++i) EXPECT_EQ(form.ListViewFiles()->topLevelItem(i)->checkState(0), Qt::Unchecked);
  EXPECT_FALSE(selectAll->isChecked());

  // One file left to ask about: Yes or No only.
  ASSERT_TRUE(QFile::remove(mine[1]));
  form.ListViewFiles()->topLevelItem(1)->setCheckState(0, Qt::Checked);
  {
    kptest::MessageBoxAnswerer boxes;
    boxes.Answers = {QMessageBox::No, QMessageBox::No};
    form.ButtonConvertClick();
    ASSERT_EQ(boxes.Texts.size(), 2) << "each of log 2's files exists";
    EXPECT_EQ(boxes.Offered[0], all);
    EXPECT_EQ(boxes.Offered[1], QMessageBox::Yes | QMessageBox::No);
  }
  EXPECT_EQ(kptest::readFileBytes(mine[2]), "my own file");
}

// The window's duration is the time between the first and the last fix to
// the nearest second, the same for a log and its PLT and GPX conversions
// (which keep a fix's time to other fractions of a second); log paths too
// long for their cell are cut in the middle and shown whole as a tip.
TEST_F(GpsLog, ConversionsShowTheLogsDurationAndLongPathsTheirEnds)
{
  KP_REQUIRE_SAMPLES();
  const QString deep = FCard.filePath("a/rather/deep/folder/of/logs/from/one/card/and/one/day/of/driving");
  ASSERT_TRUE(QDir().mkpath(deep));
  const std::vector<const TGpsInfoConverter *> formats = {ExportByExt("plt"), ExportByExt("gpx")};
  QStringList paths;
  for (const char *sample : {"nmea/gpsbabel_track_2004.nmea", "nmea/gpsd_rx210.log", "nmea/gpsd_tomtom-mkII.log",
                             "nmea/gpsd_garmin25lp.log", "nmea/gpsd_mt3339.log", "nmea/gpsd_quectel-eg25-g.log"}) {
    const QString log = deep + "/" + QFileInfo(sample).completeBaseName() + ".nmea";
    ASSERT_TRUE(QFile::copy(kptest::samplePath(sample), log)) << sample;
    QStringList failures;
    ASSERT_TRUE(ConvertGpsLog(log, formats, failures)) << failures.join('|').toStdString();
    paths << log << GpsLogFormatFile(log, *formats[0]) << GpsLogFormatFile(log, *formats[1]);
  }
  TFakeGpsHost host;
  QWidget main;
  TFormGPSLog form(host, &main);
  form.Execute(paths);
  ASSERT_TRUE(kptest::waitUntil([&] { return form.InformationComplete(); }, 30000));
  QTreeWidget *list = form.ListViewFiles();
  for (int i = 0; i < list->topLevelItemCount(); i += 3) {
    const QString duration = list->topLevelItem(i)->text(2);
    EXPECT_FALSE(duration.isEmpty()) << paths[i].toStdString();
    for (int k = 1; k < 3; ++k) EXPECT_EQ(list->topLevelItem(i + k)->text(2), duration) << paths[i + k].toStdString();
  }
  EXPECT_EQ(list->textElideMode(), Qt::ElideMiddle);
  for (int i = 0; i < list->topLevelItemCount(); ++i) EXPECT_EQ(list->topLevelItem(i)->toolTip(0), paths[i]);
  kptest::saveScreenshot(&form, QStringLiteral("gpslog_deep_paths.png"));
}
