#include "UnitGpsConverterPLT.h"

#include "UnitGpsConverterDatDOD.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kp {

namespace {

constexpr double kFoot = 0.3048;
constexpr double kNoAltitude = -777;
constexpr int kHeaderLines = 6;
// A gap of more than 6 s starts a new segment. Compared in whole
// milliseconds, so that fixes exactly 6 s apart never split on the last bit
// of a date-time.
constexpr int64_t kSegmentGapMs = 6000;
// How far the written day number stays after the fix: far above the error of
// a double near 50,000 days (under 1 us) and of the arithmetic a reader does
// with it, far below a step.
constexpr int64_t kMarginUs = 50;

QByteArray Trimmed(const QByteArray &field)
{
  return field.trimmed();
}

QByteArray AltitudeText(double alt)
{
  if (alt == 0) return "-777";
  return QByteArray::number(static_cast<qlonglong>(Round(alt / kFoot)));
}

// The user's date text of a UTC day, kept while consecutive points share it
// (formatting a date is the costliest part of a point).
class TDateCache {
public:
  const QByteArray &DateOf(TDateTime utc)
  {
    // The day as the text shows it: rounded to the millisecond first, so a
    // time just before midnight belongs to the next day.
    TDateTimeFields f;
    DecodeDateTime(utc, f);
    const int64_t day = int64_t(f.year) * 10000 + f.month * 100 + f.day;
    if (!FValid || day != FDay) {
      FText = DateToStr(utc).toUtf8();
      FDay = day;
      FValid = true;
    }
    return FText;
  }

private:
  bool FValid = false;
  int64_t FDay = 0;
  QByteArray FText;
};

} // namespace

QByteArray PltDaysText(TDateTime utc)
{
  // The field's last digit is 8.64 ms. Rounded, a fix at a whole second is
  // written up to 4.3 ms early and readers that truncate (most do) put it in
  // the second before. Nor may the value fall exactly on the fix: its decimal
  // text seldom has an exact double, and the nearest one may lie below it
  // (every 27th second of a day is such a step). So the value is the first step at
  // least kMarginUs after the fix, counted in whole microseconds (finer than
  // a date-time's own precision) to keep floating-point noise out.
  if (!IsFinite(utc) || std::fabs(utc) > 1e6) return "0";
  const int64_t us = Round(utc * MSecsPerDay * 1000.0) + kMarginUs;
  constexpr int64_t kUsPerStep = 8640; // 86,400,000,000 us a day / 10^7 steps
  int64_t steps = us / kUsPerStep;
  if (us % kUsPerStep > 0) ++steps; // division truncates towards zero
  const bool negative = steps < 0;
  const uint64_t magnitude = negative ? uint64_t(-steps) : uint64_t(steps);
  QByteArray text = QByteArray::number(qulonglong(magnitude / 10000000u));
  QByteArray fraction = QByteArray::number(qulonglong(magnitude % 10000000u)).rightJustified(7, '0');
  while (fraction.endsWith('0')) fraction.chop(1);
  if (!fraction.isEmpty()) text += '.' + fraction;
  return negative ? '-' + text : text;
}

TDateTime PltDaysToTime(double days)
{
  // The written value lies up to one step (8.64 ms, plus the margin) after
  // the fix: the nearest 10 ms gives back a fix taken at a whole second, in
  // that second.
  if (!IsFinite(days) || std::fabs(days) > 1e6) return 0;
  return TDateTime(Round(days * 8640000.0)) / 8640000.0;
}

namespace {

void WritePoint(const TTrackInfoItem &item, bool newSegment, TDateCache &dates, TStringBuffer &out)
{
  const TDateTime exact = item.Time - LocalTimeOffset();
  // The date and time texts show the nearest second.
  const QByteArray days = PltDaysText(exact);
  const TDateTime utc = RoundToSecond(exact);
  out.Append(CoordToBytes(item.Lat));
  out.Append(",");
  out.Append(CoordToBytes(item.Lon));
  out.Append(newSegment ? ",1," : ",0,");
  out.Append(AltitudeText(item.Alt));
  out.Append(",");
  out.Append(days);
  out.Append(",");
  out.Append(dates.DateOf(utc));
  out.Append(",");
  out.Append(TimeToStr(utc).toUtf8());
  out.Append(",");
  out.Append(QByteArray::number(static_cast<qlonglong>(Round(item.Speed))));
  out.Append(",\r\n");
}

} // namespace

bool TGpsInfoConverterPLT::CanRead(QByteArrayView head) const
{
  if (!TGpsInfoConverter::CanRead(head)) return false;
  const QByteArray start = head.first(std::min<qsizetype>(head.size(), 50)).toByteArray().toLower();
  return start.contains("ozi") && start.contains("explorer");
}

bool TGpsInfoConverterPLT::ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &) const
{
  if (ctx.LineNo < kHeaderLines) return false;
  const int n = SplitStringCount(line, ",", true, ctx.Fields);
  if (n <= 4) return false;
  const TArrayBytes &f = ctx.Fields;
  item.Kind = ikGps;
  item.Lat = StrToFloatAny(QByteArrayView(Trimmed(f[0])), 0);
  item.Lon = StrToFloatAny(QByteArrayView(Trimmed(f[1])), 0);
  const double feet = StrToFloatAny(QByteArrayView(Trimmed(f[3])), 0);
  item.Alt = feet == kNoAltitude ? 0 : feet * kFoot;
  item.Time = PltDaysToTime(StrToFloatAny(QByteArrayView(Trimmed(f[4])), 0));
  if (item.Time > 0) item.Time += LocalTimeOffset();
  item.Course = -1;
  item.Speed = -1;
  return true;
}

void TGpsInfoConverterPLT::WriteTrack(const TTrackInfo &info, TStringBuffer &output) const
{
  int points = 0;
  for (const TTrackInfoItem &item : info.Items)
    if (item.Kind == ikGps && !item.NoFix) ++points;
  output.Append(
      "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n0,2,8323327," +
      info.Name.toUtf8() + ",0,0,2,8421376\r\n" + QByteArray::number(points) + "\r\n");
  bool first = true;
  TDateCache dates;
  TTripBreaks trips(info);
  for (size_t i = 0; i < info.Items.size(); ++i) {
    const TTrackInfoItem &item = info.Items[i];
    if (item.Kind != ikGps || item.NoFix) continue;
    const bool gap = i > 0 && std::abs(Round((item.Time - info.Items[i - 1].Time) * MSecsPerDay)) > kSegmentGapMs;
    const bool trip = trips.Opens(i);
    WritePoint(item, first || gap || trip, dates, output);
    first = false;
  }
}

void TGpsInfoConverterPLT::GetSignatureChars(TCharSet &required, TCharSet &forbidden) const
{
  required.addAll(" ,.");
  forbidden.add(0);
  forbidden.add('\t');
}

} // namespace kp
