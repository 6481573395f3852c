// Row summaries, group names and the column texts of the list.
#include "CatalogueTestSupport.h"
#include "UnitMovingInfo.h"

#include <tuple>

using namespace kp;
using namespace kpcat;

namespace {

TFileItemSubitem File(const QString &name, TDateTime start, TDateTime end)
{
  TFileItemSubitem f;
  f.FileName = QStringLiteral("/card/DCIM/") + name + QStringLiteral(".MOV");
  f.Name = name;
  f.StartTime = start;
  f.EndTime = end;
  f.DurationMs = Round((end - start) * MSecsPerDay);
  f.DurationSource = dsHeader;
  f.Size = 1 << 20;
  return f;
}

TCatalogueWords Words()
{
  TCatalogueWords w;
  w.Today = QStringLiteral("today");
  w.Yesterday = QStringLiteral("yesterday");
  w.KmWord = QStringLiteral("km");
  w.MiWord = QStringLiteral("mi");
  return w;
}

TFileItem Group(std::vector<TFileItemSubitem> files)
{
  TFileItem row;
  row.Files = std::move(files);
  TFileManager::RecalcItem(row, Words());
  return row;
}

TFileItem Summary(const TFileItemSubitem &s)
{
  TFileItem row;
  row.Summary = s;
  TFileManager::FormatItem(row, Words());
  return row;
}

class Records : public CatalogueTest {};

} // namespace

TEST_F(Records, GroupNamesFoldNumberRuns)
{
  const TFileItem row = Group({File("FILE0003", At(10, 2), At(10, 3)), File("FILE0001", At(10, 0), At(10, 1)),
                               File("FILE0007", At(10, 6), At(10, 7)), File("FILE0002", At(10, 1), At(10, 2))});
  EXPECT_EQ(row.Summary.Name, "FILE0001-3, FILE0007");
  ASSERT_EQ(row.Files.size(), 4u);
  EXPECT_EQ(row.Files[0].Name, "FILE0001"); // files ordered by start
  EXPECT_EQ(row.Files[3].Name, "FILE0007");
  EXPECT_EQ(row.Summary.FileName, "/card/DCIM/FILE0001.MOV, /card/DCIM/FILE0002.MOV, /card/DCIM/FILE0003.MOV, "
                                  "/card/DCIM/FILE0007.MOV");

  EXPECT_EQ(Group({File("front", At(10, 0), At(10, 1)), File("back", At(10, 1), At(10, 2))}).Summary.Name, "front");
  // 1.99 apart is no longer a run; 1.98 still is.
  EXPECT_EQ(Group({File("A1.00", At(10, 0), At(10, 1)), File("A2.99", At(10, 1), At(10, 2))}).Summary.Name,
            "A1.00, A2.99");
  EXPECT_EQ(Group({File("A1.00", At(10, 0), At(10, 1)), File("A2.98", At(10, 1), At(10, 2))}).Summary.Name, "A1.00-2");
}

TEST_F(Records, TrailingNumbers)
{
  EXPECT_EQ(ExtractTrailingNumber("FILE0001"), 1);
  EXPECT_EQ(ExtractTrailingNumber("FILE3456.12"), 3456.12);
  EXPECT_EQ(ExtractTrailingNumber("front"), -1);
  EXPECT_EQ(ExtractTrailingNumber(""), -1);
  EXPECT_EQ(ExtractTrailingNumber("a1.2.3"), -1); // two points read as nothing
}

TEST_F(Records, SummaryOfSeveralFiles)
{
  TFileItemSubitem a = File("FILE0001", At(10, 0), At(10, 1));
  TFileItemSubitem b = File("FILE0002", At(10, 1), At(10, 3));
  a.Locked = 1;
  a.Width = 1280;
  a.Height = 720;
  b.Width = 1920;
  b.Height = 1080;
  b.DurationSource = dsEstimated;
  a.TrackFileName = "/card/a.dat";
  a.HasTrack = true;
  a.TrackLength = 1000;
  a.AvgSpeed = 60; // 1 km in 1 minute
  b.TrackFileName = "/card/b.dat";
  b.HasTrack = true;
  b.TrackLength = 3000;
  b.AvgSpeed = 90; // 3 km in 2 minutes
  a.TrackStartTime = At(10, 0, 5);
  b.TrackEndTime = At(10, 2, 50);
  const TFileItem row = Group({b, a});
  const TFileItemSubitem &s = row.Summary;
  EXPECT_EQ(std::tuple(s.Locked, s.Size, s.DurationMs, s.DurationSource, s.Width),
            std::tuple(lsPartial, 2 << 20, 180000, dsEstimated, 1920));
  EXPECT_EQ(std::tuple(s.StartTime, s.EndTime, s.TrackStartTime, s.TrackEndTime),
            std::tuple(At(10, 0), At(10, 3), At(10, 0, 5), At(10, 2, 50)));
  EXPECT_EQ(s.TrackFileName, "/card/a.dat, /card/b.dat");
  EXPECT_NEAR(s.AvgSpeed, 4.0 / (1.0 / 60 + 3.0 / 90), 1e-9);
  EXPECT_NEAR(double(row.Files[1].Position.Start), 1.0 / 3, 1e-6);
  EXPECT_NEAR(double(row.Files[1].Position.End), 1.0, 1e-9);

  a.Locked = 1;
  b.Locked = 1;
  EXPECT_EQ(Group({a, b}).Summary.Locked, lsLocked);
  b.Locked = 0;
  b.TrackFileName.clear();
  EXPECT_EQ(Group({b}).Summary.Locked, 0); // one file: its own state
  EXPECT_EQ(Group({a}).Summary.Locked, 1);
}

TEST_F(Records, StartFollowsFromEndAndDuration)
{
  TFileItemSubitem f = File("FILE0001", 0, At(10, 1));
  f.DurationMs = 60000;
  TFileItem row;
  row.DateText = "kept";
  row.Files = {File("X", 0, 0)};
  TFileManager::RecalcItem(row, Words());
  EXPECT_EQ(row.DateText, "kept"); // no start: the date text stays
  row.Files = {f};
  TFileManager::RecalcItem(row, Words());
  EXPECT_NEAR(row.Summary.StartTime, At(10, 0), 1e-9);
  EXPECT_EQ(row.DateText, "today 10:00");
}

TEST_F(Records, SizeDurationAndResolutionTexts)
{
  TFileItemSubitem s;
  s.Size = 5000000000;
  EXPECT_EQ(Summary(s).SizeText, QStringLiteral("4") + QChar(96) + QStringLiteral("768"));
  s.Size = 500000;
  EXPECT_EQ(Summary(s).SizeText, "0");
  s.Size = -1;
  EXPECT_EQ(Summary(s).SizeText, "");

  for (const auto &[ms, source, text] : {std::tuple(61000, dsEstimated, "~1:01"),
                                         {61000, dsHeader, "1:01"},
                                         {61000, dsNoHeader, "1:01"},
                                         {61000, dsUnknown, "?"},
                                         {-1, dsHeader, "?"}}) {
    s.DurationMs = ms;
    s.DurationSource = source;
    EXPECT_EQ(Summary(s).DurationText, text) << ms << " " << int(source);
  }

  EXPECT_EQ(Summary(s).ResolutionText, "");
  s.Width = 1920;
  s.Height = 1080;
  EXPECT_EQ(Summary(s).ResolutionText, "1920x1080");
}

TEST_F(Records, DistanceAndSpeedAtTheirThresholds)
{
  TFileItemSubitem s;
  const auto distance = [&](double metres) {
    s.TrackLength = metres;
    return Summary(s).DistanceText;
  };
  const auto speed = [&](double kmh) {
    s.AvgSpeed = kmh;
    return Summary(s).SpeedText;
  };
  for (const auto &[metres, text] : {std::pair(100000.0, "100.0km"),
                                     {100001.0, "100km"},
                                     {2000.0, "2.00km"},
                                     {2001.0, "2.0km"},
                                     {1500.0, "1.50km"},
                                     {0.0, ""}})
    EXPECT_EQ(distance(metres), text) << metres;
  for (const auto &[kmh, text] : {std::pair(100.0, "100"), {123.6, "124"}, {45.3, "45.3"}, {0.0, ""}, {-1.0, ""}})
    EXPECT_EQ(speed(kmh), text) << kmh;

  SetUseBritishUnits(true);
  EXPECT_EQ(distance(16093.44), "10.0mi");
  EXPECT_EQ(speed(160.9344), "100");
  EXPECT_EQ(speed(80.4672), "50.0");
}

TEST_F(Records, DateTextsWithPinnedClock)
{
  TFileItemSubitem s;
  s.StartTime = At(9, 5);
  EXPECT_EQ(Summary(s).DateText, "today 09:05");
  s.StartTime = At(9, 5) - 1;
  EXPECT_EQ(Summary(s).DateText, "yesterday 09:05");
  s.StartTime = At(9, 5) - 2;
  EXPECT_EQ(Summary(s).DateText, "08.05.2024 09:05");
  // The minute in which the recording started: the last half-minute of a
  // day stays on that day, also when a zone's shift takes it there; a start
  // a hair short of a whole minute (as stored times are) is that minute.
  const std::tuple<TDateTime, double, const char *> starts[] = {
      {At(23, 59, 45) - 3, 0, "07.05.2024 23:59"},       {At(23, 59, 31) - 2, 0, "08.05.2024 23:59"},
      {At(23, 59, 50) - 1, 0, "yesterday 23:59"},        {At(19, 59, 40) - 3, 4.0 / 24, "07.05.2024 23:59"},
      {At(0, 0, 10), -1.0 / 24, "yesterday 23:00"},      {At(9, 5) - 1e-9 / 86400, 0, "today 09:05"},
      {At(9, 5, 59) + 0.9996 / 86400, 0, "today 09:06"},
  };
  for (const auto &[start, shift, text] : starts) {
    s.StartTime = start;
    SetTimeZoneShift(shift);
    EXPECT_EQ(Summary(s).DateText, text) << double(start) << " " << shift;
  }
  SetTimeZoneShift(0);
  s.StartTime = At(23, 30);
  SetTimeZoneShift(1.0 / 24);
  EXPECT_EQ(Summary(s).DateText, "11.05.2024 00:30");
  SetTimeZoneShift(0);
}

TEST_F(Records, ListItemsFromRowsAndStatus)
{
  auto fm = MakeManager();
  TFileItem locked = Row("/card/FILE0001.MOV", At(10, 0), At(10, 1));
  locked.Files[0].Locked = 1;
  locked.Files[0].DurationSource = dsNoHeader;
  locked.Files[0].HasTrack = true;
  locked.Files[0].TrackLength = 1500;
  TFileItem partial = Row("/card/FILE0005.MOV", At(11, 0), At(11, 1));
  partial.Files.push_back(Row("/card/FILE0006.MOV", At(11, 1), At(11, 2)).Files[0]);
  partial.Files[0].Locked = 1;
  SetRows(*fm, {locked, partial});
  fm->Refresh();

  TFileListItem item;
  fm->FillListItem(0, item);
  EXPECT_EQ(item.Caption, "FILE0001");
  ASSERT_EQ(item.SubItems.size(), 7);
  EXPECT_EQ(item.SubItems.mid(0, 3), (QStringList{"1:00", "today 10:00", "1.50km"}));
  EXPECT_EQ(item.SubItems.mid(4, 2), (QStringList{"/card/FILE0001.MOV", "0"}));
  EXPECT_EQ(item.ImageIndex, fliLocked);
  EXPECT_EQ(item.SubItemImages, (std::vector<int>{fliWarning, -1, fliGps, -1, -1, -1, -1}));

  fm->FillListItem(1, item);
  EXPECT_EQ(item.Caption, "FILE0005-6");
  EXPECT_EQ(item.ImageIndex, fliPartial);
  EXPECT_EQ(item.SubItemImages, std::vector<int>(7, -1));

  TFileListItem untouched;
  untouched.Caption = "x";
  fm->FillListItem(2, untouched);
  fm->FillListItem(-1, untouched);
  EXPECT_EQ(untouched.Caption, "x");
  EXPECT_EQ(fm->GetCount(), 2);
}
