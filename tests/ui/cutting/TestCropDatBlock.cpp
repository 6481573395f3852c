// A cut's ".dat" read back by the program's reader: every fix at the moment
// of the movie its fragment gives it, and the way counted across the blocks
// that follow on only.
#include "CropDatBlock.h"

#include "UnitGpsConverterDatDOD.h"
#include "UnitMovingInfo.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// A fragment's block: fixes northwards at the given seconds of the movie,
// each followed by a G-sensor sample (or samples alone).
TDatPiece Piece(double start, const std::vector<double> &fixes, bool followsOn = false)
{
  TDatPiece piece{{}, start * kSecond, followsOn};
  TTrackInfoItem fix, sample;
  fix.Kind = ikGps;
  sample.Kind = ikGSensor;
  for (double s : fixes) {
    fix.Time = s * kSecond;
    fix.Lon = 30;
    fix.Lat = 50 + s / 1000;
    piece.Items.Items.insert(piece.Items.Items.end(), {fix, sample});
  }
  if (fixes.empty()) piece.Items.Items.assign(3, sample);
  return piece;
}

} // namespace

TEST(CropDatBlock, ReaderPutsEveryFixWhereTheMovieShowsIt)
{
  struct TCase {
    const char *name;
    std::vector<TDatPiece> pieces;
    double end, tolerance, way; // the way counted, in thousandths of a degree
  };
  const TCase cases[] = {
      {"slowed: fixes 8 s apart, one on a fragment's start",
       {Piece(0, {0, 8, 16, 24, 32}), Piece(40, {44.5, 52.5}, true), Piece(80, {80.25, 81.25})},
       90,
       0.002,
       52.5 + 1},
      {"fixes nearer than the readers' 0.1 s either side of a cut",
       {Piece(0, {7.98, 8.98, 9.98}), Piece(10, {10.03, 11.03}, true)},
       20,
       0.06,
       3.05},
      {"samples alone between fragments that follow on",
       {Piece(0, {1, 2}), Piece(10, {}, true), Piece(20, {20.5, 21.5}, true)},
       30,
       0.002,
       20.5},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.name);
    TTrackInfo info;
    ASSERT_TRUE(TGpsInfoConverterDatDOD().Load(DatCutText(c.pieces, 46000.75 + 0.3 * kSecond, c.end * kSecond), info));
    const auto back = TMovingInfo::LoadFromTrackInfo(info, QString(), false);
    ASSERT_TRUE(back);
    EXPECT_NEAR((back->EndTime - back->StartTime) / kSecond, c.end, c.tolerance);
    size_t i = 0;
    for (const TDatPiece &piece : c.pieces)
      for (const TTrackInfoItem &fix : piece.Items.Items) {
        if (fix.Kind != ikGps) continue;
        ASSERT_LT(i, back->Points.size());
        EXPECT_NEAR((back->Points[i].Time - back->StartTime) / kSecond, fix.Time / kSecond, c.tolerance) << i;
        EXPECT_NEAR(back->Points[i++].Lat, fix.Lat, 1e-6);
      }
    EXPECT_EQ(i, back->Points.size());
    EXPECT_NEAR(back->GetTrackLength(), GeoDistance(30, 50, 30, 50 + c.way / 1000), 0.05);
  }
}
