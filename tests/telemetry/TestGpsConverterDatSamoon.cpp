// The line-shifted Samoon ".dat": the shift is found by trial on each file.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterDatSamoon.h"

#include <QElapsedTimer>
#include <random>

using namespace kp;
using namespace kptest;

namespace {

constexpr int kShift = 20;

const QByteArray kRmc = Nmea("$GPRMC,100000.00,A,5545.0746,N,03737.1054,E,10.0,90.0,010511,,,A");
const QByteArray kGga = Nmea("$GNGGA,100001.00,5545.0746,N,03737.1054,E,1,08,0.9,150.5,M,14.0,M,,");

// A file as the device stores it: the device number, then shifted lines.
QByteArray SamoonFile(const QList<QByteArray> &lines, const QByteArray &device = "12345")
{
  QByteArray text = device + "\n";
  for (const QByteArray &line : lines) text += ShiftText(line, -kShift) + "\n";
  return text;
}

using SamoonReader = TFormatsTest;
const TGpsInfoConverterDatSamoon kSamoon;

TEST_F(SamoonReader, SampleAndSentencePerLine)
{
  const QByteArray text = SamoonFile({"12\t-980\t25\t" + kRmc, "10\t-990\t20\t" + kGga, "11\t-985\t21\tXYZ"});
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kSamoon, text, info));
  // GGA takes its date from the fix before it; a line whose rest is no
  // sentence still stores its sample.
  EXPECT_EQ(Items(info), "G 2011-05-01 13:00:00.000 55.75124333,37.61842333 a0 s18.5325 c90\n"
                         "S - 0.012,-0.98,0.025\n"
                         "G 2011-05-01 13:00:01.000 55.75124333,37.61842333 a150.5 s-1 c-1\n"
                         "S - 0.01,-0.99,0.02\n"
                         "S - 0.011,-0.985,0.021\n");
}

// Items stored per file: a line without numbers or without a rest stores
// nothing, a GGA without any date and a sentence whose checksum does not
// match give only the sample.
TEST_F(SamoonReader, WhatALineStores)
{
  QByteArray corrupted = kRmc;
  corrupted[25] = corrupted[25] == '5' ? '6' : '5';
  const struct {
    QList<QByteArray> lines;
    const char *kinds;
  } cases[] = {
      {{"A\tB\tC\t" + kRmc, "12\t-980\t25\t", "12\t-980\t25\t" + kRmc}, "GS"},
      {{"12\t-980\t25\t" + kGga}, "S"},
      {{"12\t-980\t25\t" + corrupted, "12\t-980\t25\t" + kGga}, "SS"},
      {{"12\t-980\t25\t" + QByteArray(kRmc).replace("$GP", "$GL").chopped(3)}, "GS"},
  };
  for (const auto &c : cases) {
    TTrackInfo info;
    ASSERT_TRUE(LoadWith(kSamoon, SamoonFile(c.lines), info));
    QByteArray kinds;
    for (const TTrackInfoItem &item : info.Items) kinds += item.Kind == ikGps ? 'G' : 'S';
    EXPECT_EQ(kinds, c.kinds) << c.lines.join('|').constData();
  }
}

// The reader with each GGA's date searched for back through the stored
// items, as written: the oracle of the reader that keeps the latest fix.
class TLiteralSamoon : public TGpsInfoConverterDatSamoon {
public:
  void AddLine(QByteArrayView line, TParseContext &ctx, TTrackInfo &info) const override
  {
    if (ctx.LineNo == 0) return;
    const QByteArray plain = ShiftText(line.toByteArray(), kShift);
    auto &items = info.Items;
    if (items.size() < size_t(ctx.Count) + 2) items.resize(2 * std::max<size_t>(8, items.size()));
    QByteArrayView rest(plain);
    TTrackInfoItem sample;
    sample.Kind = ikGSensor;
    sample.Lon = StrToFloatAny(CutTokenView(rest, '\t'), -1e6) / 1000;
    sample.Lat = StrToFloatAny(CutTokenView(rest, '\t'), -1e6) / 1000;
    sample.Alt = StrToFloatAny(CutTokenView(rest, '\t'), -1e6) / 1000;
    if (rest.isEmpty()) return;
    SplitStringCount(rest, ",", true, ctx.Fields);
    TTrackInfoItem &slot = items[ctx.Count] = TTrackInfoItem{};
    if (ctx.Fields[0] == "$GPGGA") ParseNmeaGGA(ctx.Fields, slot, info, size_t(ctx.Count));
    if (ctx.Fields[0] == "$GPRMC") ParseNmeaRMC(ctx.Fields, slot);
    if (slot.Time > 2.0) {
      slot.Kind = ikGps;
      ++ctx.Count;
    }
    items[ctx.Count++] = sample;
  }
};

TEST_F(SamoonReader, AgreesWithSearchingEachGgaDateBackThroughTheItems)
{
  std::mt19937 random(13);
  const TLiteralSamoon literal;
  for (int trial = 0; trial < 200; ++trial) {
    QList<QByteArray> lines;
    for (int i = int(random() % 40); i >= 0; --i) {
      const QByteArray t = QByteArray::number(100000 + random() % 5000);
      const QByteArray date = QByteArray::number(10 + random() % 18) + "0511";
      switch (random() % 4) {
      case 0: lines << "12\t-980\t25\t$GPRMC," + t + ",A,5545.0746,N,03737.1054,E,10.0,90.0," + date + ",,,A"; break;
      case 1: lines << "12\t-980\t25\t$GPGGA," + t + ",5545.0746,N,03737.1054,E,1,08,0.9,150.5,M,14.0,M,,"; break;
      case 2: lines << "12\t-980\t25\t$GPGGA,,5545.0746,N,03737.1054,E,1,08,0.9,150.5,M,14.0,M,,"; break;
      default: lines << "12\t-980\t25\tXYZ";
      }
    }
    TTrackInfo ours, theirs;
    const TDateTime fileTime = random() % 2 ? Dt(2012, 5, 1) : 0;
    ASSERT_EQ(LoadWith(kSamoon, SamoonFile(lines), ours, fileTime),
              LoadWith(literal, SamoonFile(lines), theirs, fileTime));
    ASSERT_EQ(Items(ours), Items(theirs)) << trial;
  }
}

// A recorder whose GGA lines never carry a usable time: each GGA used to
// search back through every sample stored before it.
TEST_F(SamoonReader, UndatedSentencesStayLinear)
{
  const QByteArray line = "12\t-980\t25\t" + Nmea("$GPGGA,,5545.0746,N,03737.1054,E,1,08,0.9,150.5,M,14.0,M,,");
  const QByteArray text = SamoonFile(QList<QByteArray>(80000, line));
  TTrackInfo info;
  QElapsedTimer timer;
  timer.start();
  ASSERT_TRUE(LoadWith(kSamoon, text, info));
  EXPECT_LT(timer.elapsed(), kBudgetMs);
  EXPECT_EQ(CountKind(info, ikGSensor), 80000);
}

TEST_F(SamoonReader, RecognitionWantsADeviceNumberLine)
{
  const QByteArray body = ShiftText("12\t-980\t25\t" + kRmc, -kShift) + "\n";
  EXPECT_TRUE(kSamoon.CanRead("12345\n" + body));
  EXPECT_FALSE(kSamoon.CanRead("0\n" + body));
  EXPECT_FALSE(kSamoon.CanRead("1234567890123456\n" + body)); // LF after the 15th character
  EXPECT_FALSE(kSamoon.CanRead("12345\r\n" + body));
  EXPECT_FALSE(kSamoon.CanRead("12345\n12\t-980\n"));
}

TEST_F(SamoonReader, DetectedAmongTheDatFormats)
{
  TTrackFolder folder;
  const QByteArray text = SamoonFile({"12\t-980\t25\t" + kRmc, "10\t-990\t20\t" + kRmc});
  TTrackInfo info;
  ASSERT_TRUE(GpsConvertersLoad(text, folder.Write("GPS0001.dat", text), info));
  EXPECT_EQ(GpsFormats(), "datSM");
  EXPECT_EQ(CountKind(info, ikGSensor), 2);
}

} // namespace
