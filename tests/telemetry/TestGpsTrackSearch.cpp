// Where a video's track file is found, the file-number shift, file time
// spans and the G-sensor side file.

#include "TelemetryTestSupport.h"

#include <fcntl.h>
#include <tuple>
#include <sys/stat.h>

using namespace kp;
using namespace kptest;

namespace {

QByteArray SideRecord(int32_t ms, int16_t z, int16_t x, int16_t y)
{
  QByteArray r;
  auto put = [&r](uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) r.append(char((v >> (8 * i)) & 0xFF));
  };
  put(uint32_t(ms), 4);
  put(uint16_t(z), 2);
  put(uint16_t(x), 2);
  put(uint16_t(y), 2);
  return r;
}

} // namespace

// ---------------------------------------------------------------- probes

TEST(GpsTrackSearch, EveryProbeLocationWithCaseVariants)
{
  // Video at <root>/card/DCIM/100/FILE0001.MOV.
  const char *locations[] = {
      "card/DCIM/100/FILE0001.DAT",     // beside it, upper case
      "card/DCIM/100/GPS/FILE0001.dat", // GPS subfolder
      "card/DCIM/100/gps/FILE0001.DAT", // its lower-case spelling
      "card/DCIM/INFO/FILE0001.dat",    // INFO beside the parent
      "card/DCIM/info/FILE0001.dat",
      "card/gps/FILE0001.dat", // gps two levels up
      "card/GPS/FILE0001.DAT",
      "card/DCIM/100/FILE0001..dat",   // the dotted name variant
      "card/DCIM/100/GPS/gps0001.dat", // "gps" + the name from its 5th character
      "card/DCIM/100/GPS/GPS0001.DAT",
  };
  for (const char *location : locations) {
    TTrackFolder dir;
    const QString video = dir.Write("card/DCIM/100/FILE0001.MOV", "movie");
    const QString track = dir.Write(QString::fromLatin1(location), "track");
    EXPECT_EQ(Dat().FindTrackFile(video), track) << location;
    EXPECT_EQ(GpsFindTrackFileByName(Dat(), dir.Path("card/DCIM/100/FILE0001")), track) << location;
  }
}

TEST(GpsTrackSearch, ProbeOrderAndExactSpellingWin)
{
  TTrackFolder dir;
  const QString video = dir.Write("DCIM/FILE0001.MOV", "movie");
  const QString inGps = dir.Write("DCIM/GPS/FILE0001.dat", "track");
  EXPECT_EQ(Dat().FindTrackFile(video), inGps);
  const QString upper = dir.Write("DCIM/FILE0001.DAT", "track");
  EXPECT_EQ(Dat().FindTrackFile(video), upper) << "the video's own folder comes first";
  const QString exact = dir.Write("DCIM/FILE0001.dat", "track");
  EXPECT_EQ(Dat().FindTrackFile(video), exact);
  EXPECT_EQ(FindFileNoCase(dir.Path("DCIM/file0001.Dat")), upper) << "sorted: upper case first";
  EXPECT_EQ(FindFileNoCase(dir.Path("dcim/gps/FILE0001.DAT")), inGps);
  EXPECT_EQ(FindFileNoCase(dir.Path("DCIM/GPS")), QString()) << "a folder is no file";
  EXPECT_EQ(FindFileNoCase(dir.Path("DCIM/FILE0002.dat")), QString());
  EXPECT_EQ(FindFileNoCase(QString()), QString());
  dir.Write("CLIP/clip.log", "other format");
  EXPECT_EQ(Dat().FindTrackFile(dir.Write("CLIP/clip.MOV", "movie")), QString()) << "no track of this format";
}

// ---------------------------------------------------------------- previous file

TEST(GpsTrackSearch, PreviousFileWinsOnlyWithALargerOverlap)
{
  TTrackFolder dir;
  const TDateTime t0 = Dt(2012, 5, 1, 10);
  const TDateTime min = 60 * kSec;
  const QString video = dir.Write("DCIM/FILE0005.MOV", "movie");
  dir.SetTimes("DCIM/FILE0005.MOV", t0, t0 + 3 * min);
  const QString prev = dir.Write("DCIM/FILE0004.dat", "track");
  dir.SetTimes("DCIM/FILE0004.dat", t0 - 2 * min, t0 + 2 * min);
  // No FILE0005.dat: the previous recording's track, which overlaps.
  EXPECT_EQ(Dat().FindTrackFile(video), prev);

  const QString own = dir.Write("DCIM/FILE0005.dat", "track");
  dir.SetTimes("DCIM/FILE0005.dat", t0 + 2.5 * min, t0 + 3 * min);
  EXPECT_EQ(Dat().FindTrackFile(video), prev) << "2 minutes of overlap beat half a minute";
  dir.SetTimes("DCIM/FILE0005.dat", t0, t0 + 2 * min);
  EXPECT_EQ(Dat().FindTrackFile(video), own) << "an equal overlap keeps the video's own track";
  dir.SetTimes("DCIM/FILE0004.dat", t0 - 10 * min, t0 - 5 * min);
  dir.SetTimes("DCIM/FILE0005.dat", 0, 0);
  EXPECT_EQ(Dat().FindTrackFile(video), own) << "no overlap of the previous one";
}

TEST(GpsTrackSearch, VideoNameWithoutDigitsHasNoPreviousCandidate)
{
  TTrackFolder dir;
  const QString video = dir.Write("100MEDIA/clip.MOV", "movie");
  dir.SetTimes("100MEDIA/clip.MOV", 40000, 40000.01);
  // A previous-file probe would have shifted the folder's number.
  dir.Write("099MEDIA/clip.dat", "track");
  dir.SetTimes("099MEDIA/clip.dat", 40000, 40000.01);
  EXPECT_EQ(Dat().FindTrackFile(video), QString());
}

TEST(GpsTrackSearch, FileNumberShift)
{
  const std::tuple<const char *, int, const char *> cases[] = {
      {"/c/FILE0005", -1, "/c/FILE0004"},
      {"/c/FILE0001.dat", -1, "/c/FILE0000.dat"},
      {"/c/FILE0000", -1, ""}, // no negative numbers
      {"/c/FILE9", 1, "/c/FILE10"},
      {"/c/20120501100000_F", -1, "/c/20120501099999_F"}, // 14 digits need 64 bits
      {"/c/A1B22", -1, "/c/A1B21"},                       // the last run
      {"/c/100MEDIA/clip", -1, ""},                       // folder digits do not count
      {"0005.dat", -1, ""},                               // run at the first character
      {"/c/x12345678901234567890", -1, ""},
  };
  for (const auto &[name, shift, expected] : cases)
    EXPECT_EQ(GpsFileNumberShift(QString::fromLatin1(name), shift), QString::fromLatin1(expected)) << name;
  // Only the digits 0 to 9 make a file number; other scripts' digits are
  // letters of the name.
  const QString arabicThree = QString(QChar(0x0663));
  EXPECT_EQ(GpsFileNumberShift(QStringLiteral("/c/FILE0005") + arabicThree + QStringLiteral(".MOV"), -1),
            QStringLiteral("/c/FILE0004") + arabicThree + QStringLiteral(".MOV"));
  EXPECT_EQ(GpsFileNumberShift(QStringLiteral("/c/CLIP") + QString(QChar(0xFF11)), -1), QString());
}

TEST(GpsTrackSearch, FileTimeSpan)
{
  TTrackFolder dir;
  const TDateTime end = Dt(2012, 5, 1, 10), minute = 60 * kSec;
  dir.Write("a.MOV", "");
  // Creation unknown, more than 4 hours before or after the last write: the
  // last minute.
  const std::pair<TDateTime, TDateTime> cases[] = {
      {end - 0.01, end - 0.01}, {0, end - minute}, {end - 0.2, end - minute}, {end + 0.01, end - minute}};
  for (const auto &[created, start] : cases) {
    TDateTime s = -1, e = -1;
    dir.SetTimes("a.MOV", created, end);
    GpsFileTimeSpan(dir.Path("a.MOV"), s, e);
    EXPECT_NEAR(s, start, 1e-12) << created;
    EXPECT_EQ(e, end);
  }
  TDateTime s = -1, e = -1;
  GpsFileTimeSpan(dir.Path("missing.MOV"), s, e);
  EXPECT_EQ(std::pair(s, e), std::pair(0.0, 0.0));
}

// ---------------------------------------------------------------- side file

TEST(GpsSideFile, RecordsAreZXYBigEndianAndTheLastFallsOnTheLastItem)
{
  TTrackFolder dir;
  // 25 bytes: two records and a trailing part that is ignored.
  dir.Write("FILE0001.3GF", SideRecord(1000, 128, -64, 256) + SideRecord(1250, -128, 32767, -32768) + "abcde");
  TTrackInfo info;
  info.Name = dir.Path("FILE0001.dat");
  info.Items = {Sample(0, 1, 2, 3), Fix(Dt(2012, 5, 1, 10), 55, 37)};
  TGpsInfoConverter::LoadGSensorSideFile(info);
  // Earlier samples are replaced; 1/128 g in Z, X, Y order.
  EXPECT_EQ(Items(info), "G 2012-05-01 10:00:00.000 55,37 a0 s-1 c-1\n"
                         "S 2012-05-01 09:59:59.750 -0.5,2,1\n"
                         "S 2012-05-01 10:00:00.000 255.9921875,-256,-1\n");
  EXPECT_NEAR(info.Items[2].Time, Dt(2012, 5, 1, 10), 1e-12);
}

TEST(GpsSideFile, TooShortMissingOrDottedFolderChangeNothing)
{
  TTrackFolder dir;
  TTrackInfo info;
  info.Items = {Sample(0, 0, 0, 0)};
  dir.Write("short.3gf", QByteArray(9, '\1'));
  info.Name = dir.Path("short.dat");
  TGpsInfoConverter::LoadGSensorSideFile(info);
  EXPECT_EQ(info.Items.size(), 1u);
  info.Name = dir.Path("missing.dat");
  TGpsInfoConverter::LoadGSensorSideFile(info);
  EXPECT_EQ(info.Items.size(), 1u);
  // Only the file name's extension is replaced: "x.y/track" probes
  // "x.y/track.3gf", never "x.3gf".
  dir.Write("x.3gf", SideRecord(0, 0, 0, 0));
  info.Name = dir.Path("x.y/track");
  TGpsInfoConverter::LoadGSensorSideFile(info);
  EXPECT_EQ(info.Items.size(), 1u);
  dir.Write("x.y/track.3gf", SideRecord(0, 0, 0, 0).repeated(3));
  TGpsInfoConverter::LoadGSensorSideFile(info);
  EXPECT_EQ(info.Items.size(), 3u);
}

TEST(GpsTrackSearch, SettledFolderListingsFollowChanges)
{
  TTrackFolder dir;
  const QString video = dir.Write("card/DCIM/FILE0001.MOV", "movie");
  const timespec old[2] = {{1336000000, 0}, {1336000000, 0}};
  const QByteArray folder = QFile::encodeName(dir.Path("card/DCIM"));
  ASSERT_EQ(utimensat(AT_FDCWD, folder.constData(), old, 0), 0);
  EXPECT_EQ(Dat().FindTrackFile(video), QString()); // the settled folder is now listed
  const QString track = dir.Write("card/DCIM/FILE0001.DAT", "track");
  EXPECT_EQ(Dat().FindTrackFile(video), track) << "a new entry changes the folder's stamp";
  ASSERT_TRUE(QFile::remove(track));
  ASSERT_EQ(utimensat(AT_FDCWD, folder.constData(), old, 0), 0);
  EXPECT_EQ(Dat().FindTrackFile(video), QString());
}
