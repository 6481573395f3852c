#include "Numbers.h"

#include <gtest/gtest.h>

using namespace kp;

TEST(Numbers, RoundIsHalvesToEven)
{
  const std::pair<double, int64_t> cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},   {-0.5, 0},
                                              {-1.5, -2}, {42.5, 42}, {43.5, 44}, {2.5000001, 3}};
  for (const auto &[value, rounded] : cases) EXPECT_EQ(Round(value), rounded) << value;
  EXPECT_EQ(Round(static_cast<long double>(3.5)), 4);
}

TEST(Numbers, NonFiniteAndHugeValuesNeverBecomeUndefinedIntegers)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Round(nan), 0);
  EXPECT_EQ(Trunc(nan), 0);
  EXPECT_EQ(Round(inf), INT64_MAX);
  EXPECT_EQ(Round(-inf), INT64_MIN);
  EXPECT_EQ(Round32(1e300), INT32_MAX);
  EXPECT_EQ(Round32(-1e300), INT32_MIN);
  EXPECT_EQ(Trunc32(3e9), INT32_MAX);
  EXPECT_EQ(Floor(-1e30), INT64_MIN);
  EXPECT_EQ(Ceil(1e30), INT64_MAX);
}

TEST(Numbers, PascalTruncationSemantics)
{
  EXPECT_EQ(Trunc(-2.7), -2);
  EXPECT_EQ(Trunc(2.7), 2);
  EXPECT_DOUBLE_EQ(Int(-2.7), -2.0);
  EXPECT_NEAR(Frac(-2.75), -0.75, 1e-12);
  EXPECT_NEAR(Frac(2.75), 0.75, 1e-12);
  EXPECT_EQ(Floor(-2.5), -3);
  EXPECT_EQ(Ceil(-2.5), -2);
  EXPECT_EQ(Div(-7, 2), -3);
  EXPECT_EQ(Mod(-7, 2), -1);
  EXPECT_EQ(Div(7, 0), 0);
  EXPECT_EQ(Mod(7, 0), 0);
  EXPECT_EQ(Div(INT64_MIN, -1), INT64_MIN); // wraps instead of trapping
  EXPECT_DOUBLE_EQ(SafeDiv(1, 0, 7), 7);
  EXPECT_DOUBLE_EQ(SafeDiv(1e308, 1e-308, 5), 5);
}
