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

class MapReader : public TFormatsTest {
protected:
  Map FMap;
};

TEST_F(MapReader, RecordGivesAFixInLocalTime)
{
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FMap, MapFile({TRecordSpec{}}, 250), info));
  ASSERT_EQ(info.Items.size(), 1u); // the short tail is ignored
  const TTrackInfoItem &fix = info.Items[0];
  EXPECT_EQ(fix.Kind, ikGps);
  EXPECT_DOUBLE_EQ(fix.Time, Dt(2012, 3, 15, 10, 30, 0) + kZone);
  EXPECT_NEAR(fix.Lat, 55 + 45.0746 / 60, 1e-12);
  EXPECT_NEAR(fix.Lon, 37 + 37.1054 / 60, 1e-12);
  EXPECT_EQ(fix.Alt, 0);
  EXPECT_EQ(fix.Speed, -1);
  EXPECT_EQ(fix.Course, -1);
  EXPECT_FALSE(fix.NoFix);
}

TEST_F(MapReader, FlagsAndMarkers)
{
  TRecordSpec noFix, badLat, badLon;
  noFix.FixFlag = 'b';
  badLat.LatMark = 173;
  badLon.LonMark = 166;
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FMap, MapFile({noFix, badLat, badLon}), info));
  ASSERT_EQ(info.Items.size(), 3u);
  EXPECT_TRUE(info.Items[0].NoFix);
  EXPECT_NE(info.Items[0].Lat, 0);
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(info.Items[i].Lat, 0);
    EXPECT_EQ(info.Items[i].Lon, 0);
  }
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
  ASSERT_TRUE(LoadWith(FMap, MapFile({badYear, impossibleDay, clamped, both}), info));
  ASSERT_EQ(info.Items.size(), 3u); // the record with two bad stamps is dropped
  EXPECT_DOUBLE_EQ(info.Items[0].Time, Dt(2012, 3, 15, 10, 29, 59));
  EXPECT_DOUBLE_EQ(info.Items[1].Time, Dt(2012, 3, 15, 10, 29, 59));
  EXPECT_DOUBLE_EQ(info.Items[2].Time, Dt(2012, 12, 31, 23, 59, 59) + kZone);
}

TEST_F(MapReader, RecognitionOnTheFirstRecord)
{
  EXPECT_TRUE(FMap.CanRead(MapFile({TRecordSpec{}})));
  EXPECT_FALSE(FMap.CanRead(MapFile({TRecordSpec{}}).first(99)));
  TRecordSpec junk;
  junk.Lon = "03737105X";
  EXPECT_FALSE(FMap.CanRead(MapFile({junk})));
  EXPECT_FALSE(FMap.CanRead(QByteArray(300, 'a')));
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
