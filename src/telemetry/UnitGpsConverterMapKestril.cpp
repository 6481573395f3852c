#include "UnitGpsConverterMapKestril.h"

#include <algorithm>

namespace kp {

namespace {

// Field offsets within a record.
constexpr int kStamp2 = 2; // second time stamp, 14 digits
constexpr int kStamp = 17; // time stamp, 14 digits
constexpr int kFixFlag = 31;
constexpr int kLatMark = 32;
constexpr int kLat = 33; // ddmm.mmmm x 10000, 8 digits
constexpr int kLonMark = 41;
constexpr int kLon = 42; // dddmm.mmmm x 10000, 9 digits
constexpr int kStampLength = 14;
constexpr int kLatLength = 8;
constexpr int kLonLength = 9;

constexpr int kValidFix = 'c';
constexpr int kLatPresent = 174;
constexpr int kLonPresent = 165;

// The decimal number of a field; Def when any character is not a digit.
int64_t DigitsAt(const uint8_t *record, int offset, int length, int64_t def)
{
  int64_t v = 0;
  for (int i = 0; i < length; ++i) {
    const int c = TGpsInfoConverterMapKestril::Descramble(record[offset + i]);
    if (c < '0' || c > '9') return def;
    v = v * 10 + (c - '0');
  }
  return v;
}

bool AllDigits(const uint8_t *record, int offset, int length)
{
  return DigitsAt(record, offset, length, -1) >= 0;
}

int ClampedField(const uint8_t *record, int offset, int lo, int hi)
{
  return static_cast<int>(Clamp<int64_t>(DigitsAt(record, offset, 2, 0), lo, hi));
}

double CoordAt(const uint8_t *record, int offset, int length)
{
  return DegMinToDeg(static_cast<double>(DigitsAt(record, offset, length, 0)) / 10000);
}

TTrackInfoItem RecordItem(const uint8_t *record, TDateTime time)
{
  TTrackInfoItem item;
  item.Kind = ikGps;
  item.Time = time;
  item.Lon = CoordAt(record, kLon, kLonLength);
  item.Lat = CoordAt(record, kLat, kLatLength);
  item.Alt = 0;
  item.Course = -1;
  item.Speed = -1;
  item.NoFix = TGpsInfoConverterMapKestril::Descramble(record[kFixFlag]) != kValidFix;
  if (TGpsInfoConverterMapKestril::Descramble(record[kLatMark]) != kLatPresent ||
      TGpsInfoConverterMapKestril::Descramble(record[kLonMark]) != kLonPresent) {
    item.Lon = 0;
    item.Lat = 0;
  }
  return item;
}

} // namespace

TDateTime TGpsInfoConverterMapKestril::StampAt(const uint8_t *record, int offset)
{
  const int64_t year = DigitsAt(record, offset, 4, 0);
  if (year < 2011 || year > 2049) return 0;
  // Clamped fields still name impossible dates (31 April): those give 0 too.
  return EncodeDateTimeOr0(static_cast<int>(year), ClampedField(record, offset + 4, 1, 12),
                           ClampedField(record, offset + 6, 1, 31), ClampedField(record, offset + 8, 0, 23),
                           ClampedField(record, offset + 10, 0, 59), ClampedField(record, offset + 12, 0, 59));
}

bool TGpsInfoConverterMapKestril::CanRead(QByteArrayView head) const
{
  if (head.size() < 100) return false;
  const auto *record = reinterpret_cast<const uint8_t *>(head.data()) + HeaderSize;
  return AllDigits(record, kStamp2, kStampLength) && AllDigits(record, kStamp, kStampLength) &&
         AllDigits(record, kLat, kLatLength) && AllDigits(record, kLon, kLonLength);
}

bool TGpsInfoConverterMapKestril::ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const
{
  auto &items = info.Items;
  ctx.Count = 0;
  const auto *data = reinterpret_cast<const uint8_t *>(text.data());
  for (qsizetype pos = HeaderSize; pos + RecordSize <= text.size(); pos += RecordSize) {
    const uint8_t *record = data + pos;
    TDateTime time = StampAt(record, kStamp);
    if (time > 0)
      time += LocalTimeOffset();
    else
      time = StampAt(record, kStamp2); // already local
    if (!(time > 0)) continue;
    if (items.size() <= static_cast<size_t>(ctx.Count)) items.resize(2 * std::max<size_t>(16, items.size()));
    items[ctx.Count] = RecordItem(record, time);
    if (KeepPlausibleItem(items[ctx.Count])) ++ctx.Count;
  }
  items.resize(ctx.Count);
  return ctx.Count >= 1;
}

} // namespace kp
