#include "UnitGpsConverterSRT.h"

#include "UnitMovingInfo.h"
#include "UnitTranslate.h"

#include <algorithm>
#include <cmath>

namespace kp {

namespace {

constexpr double kOneSecond = 1.0 / SecsPerDay;
constexpr double kMaxShown = 6.0 / SecsPerDay;
constexpr int kUtf8 = 65001;

QByteArray IntText(double v)
{
  return QByteArray::number(static_cast<qlonglong>(Round(v)));
}

QByteArray Hemisphere(double v, char positive, char negative)
{
  return (v >= 0 ? positive : negative) + FloatToStrDotBytes(std::fabs(v), 6, true);
}

QByteArray EntryText(const TTrackInfoItem &item, TDateTime shown, double baseTrip)
{
  return DateTimeToStr(shown).toUtf8() + " \r\n" + Hemisphere(item.Lat, 'N', 'S') + "   " +
         Hemisphere(item.Lon, 'E', 'W') + " \r\n" + TranslateCP(u"Speed", kUtf8) + ": " + IntText(item.Speed) +
         TranslateCP(u"KmetersPerH", kUtf8) + " \r\n" + TranslateCP(u"Details_Track_Length", kUtf8) + ": " +
         IntText(item.Trip - baseTrip) + TranslateCP(u"meters", kUtf8);
}

QByteArray Digits(int64_t n, int width)
{
  return IntToStrZ(n, width).toLatin1();
}

} // namespace

void SrtBuildEntries(const TTrackInfo &info, TSubtitleItems &entries, double baseTrip, TDateTime baseTime,
                     const std::vector<TDateTime> *shown)
{
  entries.clear();
  entries.reserve(info.Items.size());
  if (baseTime <= 0) {
    const auto first = std::find_if(info.Items.begin(), info.Items.end(),
                                    [](const TTrackInfoItem &item) { return item.Kind == ikGps; });
    if (first != info.Items.end()) baseTime = first->Time;
  }
  const TTrackInfoItem *previous = nullptr;
  auto complete = [&](double span) {
    TSubtitleItem &entry = entries.back();
    entry.EndTime = entry.StartTime + std::min(kMaxShown, std::max(span, 0.0));
  };
  for (const TTrackInfoItem &item : info.Items) {
    if (item.Kind != ikGps) continue;
    if (previous) complete(item.Time - previous->Time);
    TSubtitleItem entry;
    const size_t k = entries.size();
    entry.Text = EntryText(item, shown && k < shown->size() ? (*shown)[k] : item.Time, baseTrip);
    entry.StartTime = std::max(item.Time - baseTime, 0.0);
    entries.push_back(entry);
    previous = &item;
  }
  if (previous) complete(kOneSecond);
}

QByteArray SrtEntriesToText(const TSubtitleItems &entries)
{
  TStringBuffer out(static_cast<int>(std::min<size_t>(entries.size() * 100, 1u << 30)));
  int number = 0;
  for (const TSubtitleItem &entry : entries) {
    out.Append(QByteArray::number(++number) + "\r\n" + SrtFormatTime(entry.StartTime) + " --> " +
               SrtFormatTime(entry.EndTime) + "\r\n" + entry.Text + "\r\n\r\n");
  }
  return out.GetText();
}

QByteArray SrtFormatTime(double span)
{
  // A negative span has no SubRip form; it shows as the start.
  const int64_t ms = std::max<int64_t>(Round(span * MSecsPerDay), 0);
  return Digits(Mod(Div(ms, 3600000), 24), 2) + ':' + Digits(Mod(Div(ms, 60000), 60), 2) + ':' +
         Digits(Mod(Div(ms, 1000), 60), 2) + ',' + Digits(Mod(ms, 1000), 3);
}

void TGpsInfoConverterSRT::WriteTrack(const TTrackInfo &info, TStringBuffer &output) const
{
  // The subtitles are read by a person: each fix shows on the list's clock,
  // as the track's name and the player do.
  std::vector<TDateTime> shown;
  const double shift = TimeZoneShift();
  for (const TTrackInfoItem &item : info.Items)
    if (item.Kind == ikGps) shown.push_back(item.Time > 0 ? item.Time + shift : item.Time);
  TSubtitleItems entries;
  SrtBuildEntries(info, entries, 0, info.StartTime, &shown);
  output.Append("\xEF\xBB\xBF");
  output.Append(SrtEntriesToText(entries));
}

} // namespace kp
