// Rows and their summaries: rebuilding a row's summary from its files, the
// six column texts, and the filling of one list item.
#include "UnitFileManager.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"

#include <algorithm>
#include <cmath>

namespace kp {

namespace {

std::atomic<bool> gUseBritishUnits{false};

constexpr double kMilesPerKm = 1.609344;

// Folds a run of consecutive file numbers into "first-last".
class TNameBuilder {
public:
  void Add(const TFileItemSubitem *prev, const TFileItemSubitem &file)
  {
    if (prev && std::abs(ExtractTrailingNumber(prev->Name) - ExtractTrailingNumber(file.Name)) < 1.99) {
      FRun = ExtractTrailingNumber(file.Name);
      return;
    }
    CloseRun();
    if (!FName.isEmpty()) FName += QStringLiteral(", ");
    FName += file.Name;
  }
  QString Finish()
  {
    CloseRun();
    return FName;
  }

private:
  void CloseRun()
  {
    if (FRun >= 0) FName += QLatin1Char('-') + QString::number(Floor(FRun));
    FRun = -99;
  }
  QString FName;
  double FRun = -99;
};

void AppendJoined(QString &text, const QString &part)
{
  if (!text.isEmpty()) text += QStringLiteral(", ");
  text += part;
}

void SortFilesByStart(std::vector<TFileItemSubitem> &files)
{
  // Adjacent swaps until a pass swaps nothing: equal times keep their order.
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (size_t i = 0; i + 1 < files.size(); ++i) {
      if (files[i].StartTime > files[i + 1].StartTime) {
        std::swap(files[i], files[i + 1]);
        swapped = true;
      }
    }
  }
}

// TimeSum counts the hours of the summary's average speed times 1000
// (metres over km/h).
void AddTrackPart(TFileItemSubitem &sum, const TFileItemSubitem &f, double &timeSum, TFixBlock &lastFix)
{
  if (f.TrackFileName.isEmpty()) return;
  AppendJoined(sum.TrackFileName, f.TrackFileName);
  if (f.HasTrack) {
    sum.TrackLength += f.TrackLength;
    sum.HasTrack = true;
    if (f.AvgSpeed > 0) timeSum += f.TrackLength / f.AvgSpeed;
  }
  // The road from the file before, when the camera kept recording: the
  // player and the exports count it too.
  if (f.FirstFix.Time > 0) {
    if (lastFix.Time > 0 && TMovingInfo::FollowsOn(lastFix.Time, f.FirstFix.Time)) {
      sum.TrackLength += TMovingInfo::WayBetween(lastFix, f.FirstFix);
      timeSum += (f.FirstFix.Time - lastFix.Time) * 24 * 1000;
    }
    lastFix = f.LastFix;
  }
  if (f.TrackStartTime > 0 && (sum.TrackStartTime == 0 || f.TrackStartTime < sum.TrackStartTime))
    sum.TrackStartTime = f.TrackStartTime;
  sum.TrackEndTime = std::max(sum.TrackEndTime, f.TrackEndTime);
  sum.TrackPoints += f.TrackPoints;
  sum.GSensorPoints += f.GSensorPoints;
}

TFileItemSubitem SummaryOfMany(const std::vector<TFileItemSubitem> &files)
{
  TFileItemSubitem sum;
  sum.DurationSource = dsHeader;
  TNameBuilder name;
  double timeSum = 0;
  TFixBlock lastFix;
  int locked = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const TFileItemSubitem &f = files[i];
    name.Add(i > 0 ? &files[i - 1] : nullptr, f);
    AppendJoined(sum.FileName, f.FileName);
    sum.Size += f.Size;
    sum.DurationMs += f.DurationMs;
    sum.DurationSource = std::min(sum.DurationSource, f.DurationSource);
    if (sum.StartTime == 0 || f.StartTime < sum.StartTime) sum.StartTime = f.StartTime;
    sum.EndTime = std::max(sum.EndTime, f.EndTime);
    locked += f.Locked ? 1 : 0;
    sum.Width = std::max(sum.Width, f.Width);
    sum.Height = std::max(sum.Height, f.Height);
    sum.FrameRate = std::max(sum.FrameRate, f.FrameRate);
    sum.Bitrate = std::max(sum.Bitrate, f.Bitrate);
    AddTrackPart(sum, f, timeSum, lastFix);
  }
  sum.Name = name.Finish();
  sum.Locked = locked == 0 ? lsNone : (locked == int(files.size()) ? lsLocked : lsPartial);
  sum.AvgSpeed = timeSum > 0 ? sum.TrackLength / timeSum : -1;
  return sum;
}

TFileFraction FractionOf(TDateTime start, TDateTime end, TDateTime origin, double span)
{
  return {(static_cast<long double>(start) - origin) / span, (static_cast<long double>(end) - origin) / span};
}

QString DateText(TDateTime start, const TCatalogueWords &words)
{
  const TDateTime t = start + TimeZoneShift();
  // The minute in which the recording started, as the time line shows its
  // first moment: 23:59:50 stays on its own day. Whole milliseconds first,
  // so that a stored 09:05:00 a hair short of itself is still 09:05.
  int64_t ms = Round(Frac(t) * MSecsPerDay);
  double day = Int(t);
  if (ms >= int64_t(MSecsPerDay)) {
    ms -= int64_t(MSecsPerDay);
    day += 1;
  }
  const int64_t m = ms / 60000;
  const QString clock = QLatin1Char(' ') + IntToStrZ(m / 60, 2) + QLatin1Char(':') + IntToStrZ(m % 60, 2);
  const double today = Int(Now());
  if (day == today) return words.Today + clock;
  if (day == today - 1) return words.Yesterday + clock;
  return FormatDateTime(words.Formats.shortDateFormat, day, words.Formats) + clock;
}

QString SizeText(int64_t size)
{
  if (size < 0) return {};
  QString text = QString::number(Round(double(size) / 1024.0 / 1024.0));
  if (text.size() > 3) text.insert(text.size() - 3, QChar(96));
  return text;
}

QString DistanceText(double metres, bool british, const TCatalogueWords &words)
{
  double d = metres / 1000.0;
  if (british) d /= kMilesPerKm;
  QString text;
  if (d > 100)
    text = QString::number(Round(d));
  else if (d > 2)
    text = FloatToStrDot(d, 1, true);
  else if (d > 0)
    text = FloatToStrDot(d, 2, true);
  if (!text.isEmpty()) text += british ? words.MiWord : words.KmWord;
  return text;
}

QString SpeedText(double speed, bool british)
{
  double s = speed;
  if (british) s /= kMilesPerKm;
  if (s >= 100) return QString::number(Round(s));
  if (s > 0) return FloatToStrDot(s, 1, true);
  return {};
}

} // namespace

const TFileItem kEmptyFileItem{};

bool UseBritishUnits()
{
  return gUseBritishUnits.load(std::memory_order_relaxed);
}

void SetUseBritishUnits(bool british)
{
  gUseBritishUnits.store(british, std::memory_order_relaxed);
}

void TFileItemSubitem::ResetTrackPart()
{
  TrackFileName.clear();
  HasTrack = false;
  TrackLength = 0;
  AvgSpeed = 0;
  TrackPoints = 0;
  GSensorPoints = 0;
  TrackStartTime = 0;
  TrackEndTime = 0;
  TrackPosition = {};
  FirstFix = LastFix = TFixBlock{};
}

double ExtractTrailingNumber(const QString &name)
{
  qsizetype i = name.size();
  while (i > 0 &&
         ((name[i - 1] >= QLatin1Char('0') && name[i - 1] <= QLatin1Char('9')) || name[i - 1] == QLatin1Char('.')))
    --i;
  if (i == name.size()) return -1;
  return StrToFloatAny(QStringView(name).mid(i), -1);
}

TCatalogueWords TCatalogueWords::Current(bool withUnits)
{
  TCatalogueWords w;
  w.Initializing = Translate(u"Initializing");
  w.Searching = Translate(u"Searching");
  w.Preview = Translate(u"Preview");
  w.Video = Translate(u"Video");
  w.Grouping = Translate(u"Grouping_Title");
  w.Today = Translate(u"today");
  w.Yesterday = Translate(u"yesterday");
  w.CantReadFolder = Translate(u"Mes_CantReadFolder");
  w.NamesNotUtf8 = Translate(u"Mes_NamesNotUtf8");
  w.RecordingsGone = Translate(u"Mes_RecordingsGone");
  if (withUnits) {
    w.KmWord = Translate(u"Kmeters");
    w.MiWord = Translate(u"Miles").left(2);
  }
  w.Formats = FormatSettings();
  return w;
}

void TFileManager::RecalcItem(TFileItem &item, const TCatalogueWords &words)
{
  if (item.Files.empty()) return;
  SortFilesByStart(item.Files);
  TFileItemSubitem &sum = item.Summary;
  sum = item.Files.size() == 1 ? item.Files.front() : SummaryOfMany(item.Files);
  if (sum.StartTime <= 0 && sum.EndTime > 0 && sum.DurationMs > 0)
    sum.StartTime = sum.EndTime - double(sum.DurationMs) / MSecsPerDay;
  double span = sum.EndTime - sum.StartTime;
  if (!(span > 0)) span = 1;
  for (TFileItemSubitem &f : item.Files) {
    f.Position = FractionOf(f.StartTime, f.EndTime, sum.StartTime, span);
    f.TrackPosition = FractionOf(f.TrackStartTime, f.TrackEndTime, sum.StartTime, span);
  }
  FormatItem(item, words);
}

void TFileManager::FormatItem(TFileItem &item, const TCatalogueWords &words)
{
  const TFileItemSubitem &s = item.Summary;
  const bool british = UseBritishUnits();
  if (s.StartTime > 0) item.DateText = DateText(s.StartTime, words);
  if (s.DurationMs > 0 && s.DurationSource != dsUnknown)
    item.DurationText =
        (s.DurationSource == dsEstimated ? QStringLiteral("~") : QString()) + DurationToStr(true, s.DurationMs);
  else
    item.DurationText = QStringLiteral("?");
  item.SizeText = SizeText(s.Size);
  item.ResolutionText = (s.Width != 0 || s.Height != 0)
                            ? QString::number(s.Width) + QLatin1Char('x') + QString::number(s.Height)
                            : QString();
  item.DistanceText = DistanceText(s.TrackLength, british, words);
  item.SpeedText = SpeedText(s.AvgSpeed, british);
}

void TFileManager::RecalcGroup(TFileItem &item) const
{
  if (FStop.load()) return;
  TCatalogueWords words;
  {
    std::lock_guard<std::mutex> lock(FLock);
    words = FWords;
  }
  RecalcItem(item, words);
}

void TFileManager::FormatGroup(TFileItem &item) const
{
  if (FStop.load()) return;
  TCatalogueWords words;
  {
    std::lock_guard<std::mutex> lock(FLock);
    words = FWords;
  }
  FormatItem(item, words);
}

void TFileManager::RecalcLocked(TFileItem &item) const
{
  if (FStop.load()) return;
  RecalcItem(item, FWords);
}

void TFileManager::FillListItem(int index, TFileListItem &item) const
{
  std::lock_guard<std::mutex> lock(FLock);
  if (index == 0 && !FStatus.isEmpty()) {
    item.Caption = FItems.empty() ? QString() : FItems.front().Summary.Name;
    item.SubItems = QStringList{QStringLiteral(". . . ") + StatusTextLocked() + QStringLiteral(" . . .")};
    item.ImageIndex = fliNone;
    item.SubItemImages.assign(1, fliNone);
    return;
  }
  if (index < 0 || size_t(index) >= FItems.size()) return;
  const TFileItem &row = FItems[size_t(index)];
  const TFileItemSubitem &s = row.Summary;
  item.Caption = s.Name;
  item.SubItems = QStringList{row.DurationText, row.DateText, row.DistanceText,  row.SpeedText,
                              s.FileName,       row.SizeText, row.ResolutionText};
  item.ImageIndex = s.Locked == lsLocked ? fliLocked : (s.Locked == lsPartial ? fliPartial : fliNone);
  item.SubItemImages.assign(size_t(item.SubItems.size()), fliNone);
  if (s.DurationSource == dsNoHeader) item.SubItemImages[0] = fliWarning;
  if (s.HasTrack) item.SubItemImages[2] = fliGps;
}

} // namespace kp
