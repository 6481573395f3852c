#include "CropRules.h"

#include "Numbers.h"
#include "UnitMOV.h"
#include "UnitUtilsFiles.h"

#include <QFile>
#include <QRegularExpression>

namespace kp {

namespace {

struct TPatternSpeeds {
  const char *Pattern;
  std::vector<long double> Speeds;
  int KeyInterval;
};

// Frame-type patterns of the cameras the program knows, with the speeds
// that land on their key frames.
const std::vector<TPatternSpeeds> &KnownPatterns()
{
  static const std::vector<TPatternSpeeds> patterns = {
      {"PPPPPPPIPPPPPPPIPPPPPPPIPPPPPPP", {4, 8, 16, 32, 64, 128, 512, 1024}, 8},
      {"BBPBBPBBPBBPBBIBBPBBPBBPBBPBBIBBPBBPBBPBBPBBIBBPBBPBBPBBPBB", {2, 3, 8, 15, 30, 60, 120, 480, 1020}, 15},
      {"BBBPBBBPBBBPBBBPBBBPBBBPBBBPBBBIBBBPBBBPBBBPBBBPBBBPBBBPBBBPBBBIBBBPBBBPBBBPBBBPBBBPBBBPBBBPBBBIBBBPBBBP"
       "BBBPBBBPBBBPBBBPBBBPBBB",
       {2, 3, 4, 16, 32, 64, 128, 256, 1024},
       32},
  };
  return patterns;
}

TDateTime FragmentTime(const TCropItem &item, long double p)
{
  return item.StartTime + double(item.DurationMs * p / MSecsPerDay);
}

// A movie file opens with its file-type atom.
bool StartsAsMovie(const QString &fileName)
{
  QFile file(fileName);
  return file.open(QIODevice::ReadOnly) && file.read(8).mid(4) == "ftyp";
}

} // namespace

bool ReadCropSource(const QString &fileName, TDateTime startTime, TCropItem &item, QString *damage)
{
  TMOVReader reader(fileName, false);
  if (!reader.HasMoov()) {
    if (damage && StartsAsMovie(fileName))
      *damage = reader.LastError().isEmpty() ? QStringLiteral("no movie index (moov)") : reader.LastError();
    return false;
  }
  if (!reader.FindVideoTrack() || reader.DurationMs <= 0) return false;
  item = TCropItem();
  item.FileName = fileName;
  item.DurationMs = reader.DurationMs;
  item.StartTime = startTime;
  if (!(startTime > 1.0)) {
    TDateTime created = 0, modified = 0;
    GetFileTimes(fileName, created, modified);
    item.StartTime = modified - reader.DurationMs / MSecsPerDay;
  }
  item.FPS = reader.GetVideoFPS();
  item.FrameTypes = reader.GetFrameTypes();
  reader.GetVideoSize(item.Width, item.Height);
  item.HasPCMAudio = reader.HasPCMAudio();
  return true;
}

TSpeedChoice SpeedsForFrameTypes(const QString &frameTypes)
{
  TSpeedChoice c;
  c.Speeds = {1.0L / 8, 1.0L / 4, 1.0L / 2, 1};
  std::vector<long double> more;
  if (frameTypes.isEmpty()) {
    more = {2, 3, 4, 8, 15, 30, 60, 120};
  } else {
    const int l = int(std::min<qsizetype>(frameTypes.size(), 1 << 20));
    const long double k = l + 1;
    more = {static_cast<long double>(Div(l + 1, 2)), k, 2 * k, 4 * k, 8 * k, 16 * k};
    c.KeyInterval = l + 1;
    for (const TPatternSpeeds &p : KnownPatterns())
      if (frameTypes == QLatin1String(p.Pattern)) {
        more = p.Speeds;
        c.KeyInterval = p.KeyInterval;
        break;
      }
  }
  c.Speeds.insert(c.Speeds.end(), more.begin(), more.end());
  return c;
}

QString SpeedText(long double speed)
{
  if (speed < 1) return QStringLiteral("1/") + QString::number(Round(speed > 0 ? 1 / speed : 0.0L));
  return QString::number(Round(speed));
}

long double ReadEditorSpeed(const QString &text)
{
  if (!text.startsWith(QLatin1String("1/"))) return static_cast<long double>(StrToInt64Def(QStringView(text), -1));
  const int64_t n = StrToInt64Def(QStringView(text).mid(2), -1);
  return n > 0 ? 1.0L / n : static_cast<long double>(n);
}

long double ReadSpeedAnswer(const QString &text)
{
  const bool inverse = text.startsWith(QLatin1String("1/"));
  const int64_t n = std::max<int64_t>(StrToInt64Def(inverse ? QStringView(text).mid(2) : QStringView(text), 1), 1);
  return inverse ? 1.0L / n : static_cast<long double>(n);
}

QString SpeedColumnText(long double speed, bool bigFps)
{
  if (speed < 1) return SpeedText(speed) + QLatin1Char('x');
  const QString prefix = speed == 1 ? QString() : bigFps ? QStringLiteral("(fps) ") : QStringLiteral("(key) ");
  return prefix + QString::number(Round(speed)) + QLatin1Char('x');
}

QString ReplaceMacro(QString text, const QString &name, const QString &value)
{
  const QRegularExpression re(QRegularExpression::escape(QLatin1Char('%') + name + QLatin1Char('%')),
                              QRegularExpression::CaseInsensitiveOption);
  return text.replace(re, value);
}

std::vector<size_t> RemoveIntersections(std::vector<TCropItem> &items)
{
  std::vector<size_t> original(items.size());
  for (size_t i = 0; i < original.size(); ++i) original[i] = i;
  std::vector<size_t> removed;
  for (size_t i = items.size() < 2 ? 0 : items.size() - 1; i-- > 0;) {
    if (i + 1 >= items.size()) continue;
    TCropItem &a = items[i];
    const TDateTime end = FragmentTime(a, a.P2);
    const TDateTime nextStart = FragmentTime(items[i + 1], items[i + 1].P1);
    if (!(end > nextStart)) continue;
    a.P2 = static_cast<long double>(nextStart - a.StartTime) * MSecsPerDay / std::max<int64_t>(a.DurationMs, 1);
    if (a.P1 >= a.P2) {
      removed.push_back(original[i]);
      items.erase(items.begin() + std::ptrdiff_t(i));
      original.erase(original.begin() + std::ptrdiff_t(i));
    }
  }
  return removed;
}

QString CropOutputName(const QString &edited, bool forceMov)
{
  if (edited.isEmpty()) return edited;
  const QString mov = QStringLiteral(".mov");
  // A name that already ends in ".mov", in any letter case, is the user's.
  const bool isMov = ExtractFileExt(edited).compare(mov, Qt::CaseInsensitive) == 0;
  return SanitizedPath(forceMov && !isMov ? ChangeFileExt(edited, mov) : edited);
}

QString CropSideFileName(const QString &movie, const QString &ext)
{
  return ChangeFileExt(movie, ext);
}

QString CropOutputFolder(const QString &movie)
{
  return ExtractFilePath(movie);
}

TDateTime RetimeRange(TTrackInfo &range, TDateTime t1, TDateTime t2, long double speed, std::vector<TDateTime> *taken)
{
  if (taken) taken->clear();
  const auto keep = [&](TTrackInfoItem &item, TDateTime time) {
    if (taken && item.Kind == ikGps) taken->push_back(item.Time);
    item.Time = time;
  };
  if (!(speed > 0)) {
    for (TTrackInfoItem &item : range.Items) keep(item, item.Time);
    return t1;
  }
  // Exact at speed 1: the fragment's first fix is then at its start.
  auto retime = [&](TDateTime t) { return speed == 1 ? t : TDateTime(t2 - static_cast<long double>(t2 - t) / speed); };
  const TDateTime start = retime(t1);
  if (speed <= 1.01L) {
    const bool same = speed >= 0.99L;
    for (TTrackInfoItem &item : range.Items) keep(item, same ? item.Time : retime(item.Time));
    return start;
  }
  const int64_t n = Round(speed);
  int64_t gps = 0, sensor = 0;
  size_t kept = 0;
  for (TTrackInfoItem &item : range.Items) {
    int64_t *counter = item.Kind == ikGps ? &gps : item.Kind == ikGSensor ? &sensor : nullptr;
    if (counter && ++*counter < n) continue;
    if (counter) *counter = 0;
    keep(item, retime(item.Time));
    range.Items[kept++] = item;
  }
  range.Items.resize(kept);
  return start;
}

TCropRowTimes CropRowTimes(const TCropItem &item, double shift)
{
  // Whole seconds of the clock, cut as the clock texts cut them.
  const auto second = [shift](TDateTime t) {
    const int64_t ms = DateTimeToMSecs(t + shift);
    return ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
  };
  const int64_t from = second(FragmentTime(item, item.P1)), to = second(FragmentTime(item, item.P2));
  TCropRowTimes r;
  r.Start = MSecsToDateTime(from * 1000);
  r.Finish = MSecsToDateTime(to * 1000);
  if (item.Speed > 0 && to > from) {
    const long double seconds = (to - from) / item.Speed;
    r.Seconds = std::isfinite(seconds) ? Round(seconds) : 0;
  }
  return r;
}

QString CropStartFinishText(const TCropItem &item, double shift)
{
  const TCropRowTimes r = CropRowTimes(item, shift);
  return TimeToStr(r.Start) + QStringLiteral(" - ") + TimeToStr(r.Finish);
}

QString CropDurationText(const TCropItem &item)
{
  // The shift moves whole hours: it changes no second.
  return TimeToStr(double(CropRowTimes(item, TimeZoneShift()).Seconds) / SecsPerDay);
}

QString CropProgressText(double seconds, double totalSeconds)
{
  QString text = TimeToStr(seconds / SecsPerDay);
  if (totalSeconds > 0)
    text = QString::number(Round(std::min(seconds / totalSeconds, 1.0) * 100)) + QStringLiteral("% - ") + text;
  return text;
}

} // namespace kp
