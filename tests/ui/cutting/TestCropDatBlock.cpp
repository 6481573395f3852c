// A cut's ".dat" read back by the program's reader: every fix at the moment
// of the movie its fragment gives it, between its block's marks, and the
// way counted across the blocks that follow on only.
#include "CropDatBlock.h"

#include "UnitGpsConverterDatDOD.h"
#include "UnitMovingInfo.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr TDateTime kOrigin = 46000.75 + 0.3 * kSecond; // the movie's start, between two seconds
constexpr double kLon = 30;

double LatAt(double second)
{
  return 50 + second / 1000;
}

// A fragment's block: fixes at the given seconds of the movie, each with a
// G-sensor sample after it (or the samples alone).
TDatPiece Piece(double start, double end, const std::vector<double> &fixes, bool followsOn = false, int samplesOnly = 0)
{
  TDatPiece piece;
  piece.Start = start * kSecond;
  piece.End = end * kSecond;
  piece.FollowsOn = followsOn;
  TTrackInfoItem sample;
  sample.Kind = ikGSensor;
  for (double s : fixes) {
    TTrackInfoItem fix;
    fix.Kind = ikGps;
    fix.Time = s * kSecond;
    fix.Lon = kLon;
    fix.Lat = LatAt(s);
    fix.Speed = 50;
    piece.Items.Items.push_back(fix);
    piece.Items.Items.push_back(sample);
  }
  for (int i = 0; i < samplesOnly; ++i) piece.Items.Items.push_back(sample);
  return piece;
}

// The times of the [G] lines of each block, and whether each has a position.
struct TLine {
  double Second;
  bool Mark;
};
std::vector<std::vector<TLine>> Blocks(const QByteArray &text)
{
  std::vector<std::vector<TLine>> blocks(1);
  for (const QByteArray &line : text.split('\n')) {
    const QByteArray l = line.trimmed();
    if (l == "[B]") blocks.emplace_back();
    if (!l.startsWith("[G]")) continue;
    const QList<QByteArray> f = l.split('\t');
    blocks.back().push_back({ParseISODateTime(QString::fromLatin1(f[1])) / kSecond, f[2] == "N0.000000"});
  }
  return blocks;
}

} // namespace

TEST(CropDatBlock, ReaderPutsEveryFixWhereTheMovieShowsIt)
{
  struct TCase {
    const char *name;
    std::vector<TDatPiece> pieces;
    double movieEnd, tolerance;
  };
  std::vector<double> second, slow, lateA, before, after;
  for (int i = 0; i < 15; ++i) second.push_back(i);
  for (int i = 0; i < 5; ++i) slow.push_back(3.5 + 8 * i);
  for (int i = 0; i < 10; ++i) before.push_back(0.98 + i); // the last 0.05 s before the next fragment's first
  for (int i = 0; i < 10; ++i) after.push_back(10.03 + i);
  for (int i = 0; i < 9; ++i) lateA.push_back(20.5 + i);
  const TCase cases[] = {
      {"a fix on each fragment's start",
       {Piece(0, 15, second), Piece(15, 30, {15, 16, 17, 18, 19, 20}, true)},
       30,
       0.002},
      {"slowed, fixes 8 s apart",
       {Piece(0, 40, slow), Piece(40, 80, {44, 52, 60, 68, 76}), Piece(80, 81, {80.25})},
       81,
       0.002},
      {"fixes nearer than the readers' gap either side of a cut",
       {Piece(0, 10, before), Piece(10, 20, after, true)},
       20,
       0.06},
      {"samples only between two fragments",
       {Piece(0, 10, {1, 2, 3}), Piece(10, 20, {}, true, 5), Piece(20, 30, lateA, true)},
       30,
       0.002},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.name);
    const QByteArray text = DatCutText(c.pieces, kOrigin, c.movieEnd * kSecond);
    // Each block's fixes between its two marks.
    const auto blocks = Blocks(text);
    ASSERT_EQ(blocks.size(), c.pieces.size());
    for (const auto &block : blocks) {
      ASSERT_GE(block.size(), 2u);
      EXPECT_TRUE(block.front().Mark && block.back().Mark);
      for (size_t i = 1; i + 1 < block.size(); ++i) {
        EXPECT_FALSE(block[i].Mark);
        EXPECT_GT(block[i].Second, block.front().Second);
        EXPECT_LT(block[i].Second, block.back().Second);
      }
    }
    TTrackInfo info;
    ASSERT_TRUE(TGpsInfoConverterDatDOD().Load(text, info));
    const auto back = TMovingInfo::LoadFromTrackInfo(info, QString(), false);
    ASSERT_TRUE(back);
    EXPECT_NEAR((back->EndTime - back->StartTime) / kSecond, c.movieEnd, c.tolerance);
    // Every fix where the movie shows it, and the way along them counted
    // across the cuts that follow on.
    std::vector<double> expected;
    double way = 0;
    const TTrackInfoItem *last = nullptr;
    bool joined = false; // no fragment recorded apart since the last fix
    for (const TDatPiece &piece : c.pieces) {
      joined = joined && piece.FollowsOn;
      for (const TTrackInfoItem &fix : piece.Items.Items) {
        if (fix.Kind != ikGps) continue;
        if (last && joined) way += GeoDistance(kLon, last->Lat, kLon, fix.Lat);
        expected.push_back(fix.Time / kSecond);
        last = &fix;
        joined = true;
      }
    }
    ASSERT_EQ(back->Points.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_NEAR((back->Points[i].Time - back->StartTime) / kSecond, expected[i], c.tolerance) << i;
      EXPECT_NEAR(back->Points[i].Lat, LatAt(expected[i]), 1e-6) << i;
    }
    EXPECT_NEAR(back->GetTrackLength(), way, 0.01);
  }
}
