// The maker's scrambled ".map" records, built here by a test encoder.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterMapKestril.h"

using namespace kp;
using namespace kptest;

namespace {

using Map = TGpsInfoConverterMapKestril;

// The stored byte of a character code (the inverse of Descramble).
char Encode(int code)
{
  return static_cast<char>(static_cast<uint8_t>((code - 48) ^ Map::Key));
}

struct TRecordSpec {
  QByteArray Stamp2 = "20120315102959";
  QByteArray Stamp = "20120315103000";
  int FixFlag = 'c';
  int LatMark = 174;
  QByteArray Lat = "55450746"; // 55 deg 45.0746 min
  int LonMark = 165;
  QByteArray Lon = "037371054";
};

QByteArray Record(const TRecordSpec &s)
{
  QByteArray r(Map::RecordSize, Encode('0'));
  auto put = [&r](int offset, const QByteArray &text) {
    for (int i = 0; i < text.size(); ++i) r[offset + i] = Encode(static_cast<uint8_t>(text[i]));
  };
  put(2, s.Stamp2);
  put(17, s.Stamp);
  r[31] = Encode(s.FixFlag);
  r[32] = Encode(s.LatMark);
  put(33, s.Lat);
  r[41] = Encode(s.LonMark);
  put(42, s.Lon);
  return r;
}

QByteArray MapFile(const QList<TRecordSpec> &records, int trailing = 0)
{
  QByteArray text(Map::HeaderSize, '\0');
  for (const TRecordSpec &s : records) text += Record(s);
  return text + QByteArray(trailing, Encode('1'));
}

using MapReader = TFormatsTest;
const Map kMap;

TEST_F(MapReader, RecordGivesAFixInLocalTime)
{
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kMap, MapFile({TRecordSpec{}}, 250), info));
  // The short tail is ignored.
  EXPECT_EQ(Items(info), "G 2012-03-15 13:30:00.000 55.75124333,37.61842333 a0 s-1 c-1\n");
}

TEST_F(MapReader, FlagsMarkersAndImpossiblePositions)
{
  TRecordSpec noFix, badLat, badLon, north, east;
  noFix.FixFlag = 'b';
  badLat.LatMark = 173;
  badLon.LonMark = 166;
  north.Lat = "95450746"; // beyond the pole: not stored
  east.Lon = "185371054";
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kMap, MapFile({noFix, north, badLat, east, badLon}), info));
  EXPECT_EQ(Items(info), "G 2012-03-15 13:30:00.000 55.75124333,37.61842333 a0 s-1 c-1 nofix\n"
                         "G 2012-03-15 13:30:00.000 0,0 a0 s-1 c-1\n"
                         "G 2012-03-15 13:30:00.000 0,0 a0 s-1 c-1\n");
}

TEST_F(MapReader, InvalidStampFallsBackToTheSecondOneWithoutZone)
{
  TRecordSpec badYear, impossibleDay, clamped, both;
  badYear.Stamp = "20500315103000";
  impossibleDay.Stamp = "20120431103000"; // 31 April
  clamped.Stamp = "20121399256199";       // clamped to 12-31 23:59:59
  both.Stamp = "20100101000000";
  both.Stamp2 = "20120230000000";
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kMap, MapFile({badYear, impossibleDay, clamped, both}), info));
  // The record with two bad stamps is dropped.
  EXPECT_EQ(Items(info), "G 2012-03-15 10:29:59.000 55.75124333,37.61842333 a0 s-1 c-1\n"
                         "G 2012-03-15 10:29:59.000 55.75124333,37.61842333 a0 s-1 c-1\n"
                         "G 2013-01-01 02:59:59.000 55.75124333,37.61842333 a0 s-1 c-1\n");
}

TEST_F(MapReader, RecognitionOnTheFirstRecord)
{
  EXPECT_TRUE(kMap.CanRead(MapFile({TRecordSpec{}})));
  EXPECT_FALSE(kMap.CanRead(MapFile({TRecordSpec{}}).first(99)));
  TRecordSpec junk;
  junk.Lon = "03737105X";
  EXPECT_FALSE(kMap.CanRead(MapFile({junk})));
  EXPECT_FALSE(kMap.CanRead(QByteArray(300, 'a')));
}

TEST_F(MapReader, DetectedByContent)
{
  TTrackFolder folder;
  const QByteArray text = MapFile({TRecordSpec{}, TRecordSpec{}});
  TTrackInfo info;
  ASSERT_TRUE(GpsConvertersLoad(text, folder.Write("REC0001.MAP", text), info));
  EXPECT_EQ(GpsFormats(), "map800");
  EXPECT_EQ(info.Items.size(), 2u);
}

} // namespace
