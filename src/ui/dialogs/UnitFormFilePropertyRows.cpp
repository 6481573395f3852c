#include "UnitFormFilePropertyRows.h"

#include "Numbers.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"

#include <cmath>

namespace kp {

namespace {

const QString kIndent = QStringLiteral("    ");

QString Shifted(TDateTime t)
{
  return DateTimeToStr(t + TimeZoneShift());
}

QString PictureText(const TFileItemSubitem &f)
{
  QString s = QString::number(f.Width) + QLatin1Char('x') + QString::number(f.Height);
  if (f.FrameRate > 0) s += QStringLiteral(", ") + FloatToStrDot(f.FrameRate, 3, true) + QStringLiteral("fps");
  if (f.Bitrate > 0) s += QStringLiteral(", ") + QString::number(Round(f.Bitrate)) + QStringLiteral("kbps");
  return s;
}

QString SizeText(int64_t size)
{
  return QString::number(size) + QLatin1Char(' ') + Translate(u"byte") + QStringLiteral("   (") +
         FloatToStrDot(double(size) / 1048576.0, 1, true) + QLatin1Char(' ') + Translate(u"Mb") + QLatin1Char(')');
}

QString PlayLengthText(const TFileItemSubitem &f)
{
  if (f.DurationSource == dsUnknown || f.DurationMs < 0) return QStringLiteral("?");
  return (f.DurationSource == dsHeader ? QString() : QStringLiteral("~")) + MsToTimeStr(f.DurationMs);
}

} // namespace

void TPropertyRows::AddRow(const QString &key, const QString &value)
{
  FRows.push_back({key.isEmpty() ? QString() : Prefix + Translate(key), value});
}

void TPropertyRows::AddTimes(TDateTime start, TDateTime end, bool durationAlways, int64_t knownMs)
{
  if (start > 0) AddRow(QStringLiteral("Started"), Shifted(start));
  if (end > 0) AddRow(QStringLiteral("Finished"), Shifted(end));
  if (start <= 0 || end <= 0) return;
  // A video's own span is shown only when it tells something its known
  // duration does not.
  const double spanMs = (end - start) * MSecsPerDay;
  if (durationAlways || knownMs <= 0 || std::fabs(spanMs - double(knownMs)) > 10000)
    AddRow(QStringLiteral("Duration"), TimeToStr(end - start));
}

void TPropertyRows::AddFileRows(const TFileItemSubitem &f)
{
  const QString p = Prefix;
  const bool atZero = f.Position.Start == 0 && f.Position.End == 0;
  AddRow(QStringLiteral("Video"), atZero ? QString()
                                         : FloatToStrDot(double(f.Position.Start), 6, true) + QStringLiteral(" - ") +
                                               FloatToStrDot(double(f.Position.End), 6, true));
  Prefix = p + kIndent;
  AddRow(QStringLiteral("File"), f.FileName);
  AddRow(QStringLiteral("PictureSize"), PictureText(f));
  AddRow(QStringLiteral("Size"), SizeText(f.Size));
  if (f.Locked == lsLocked || f.Locked == lsPartial)
    AddRow(QStringLiteral("Locked"), Translate(f.Locked == lsLocked ? u"Locked_true" : u"Locked_partial"));
  AddTimes(f.StartTime, f.EndTime, false, f.DurationMs);
  AddRow(QStringLiteral("PlayLength"), PlayLengthText(f));
  Prefix = p;
  if (!f.TrackFileName.isEmpty()) {
    AddRow(QStringLiteral("MetaInfo"), QString());
    Prefix = p + kIndent;
    AddRow(QStringLiteral("File"), f.TrackFileName);
    AddRow(QStringLiteral("GPS ") + Translate(u"Points"), QString::number(f.TrackPoints));
    AddRow(QStringLiteral("G-Sensor ") + Translate(u"Points"), QString::number(f.GSensorPoints));
    if (f.TrackLength > 0) {
      const double div = FBritish ? 1.609344 : 1.0;
      AddRow(QStringLiteral("Property_Track_Length"),
             FBritish ? FloatToStrDot(f.TrackLength / 1000.0 / div, 3, true) + QLatin1Char(' ') + Translate(u"Miles")
                      : QString::number(Round(f.TrackLength)) + QLatin1Char(' ') + Translate(u"Meters"));
      // An unknown average (-1) gets no row rather than a negative speed.
      if (f.AvgSpeed >= 0)
        AddRow(QStringLiteral("AvgSpeed"), FloatToStrDot(f.AvgSpeed / div, 1, true) + QLatin1Char(' ') +
                                               Translate(FBritish ? u"MilesPerH" : u"KmetersPerH"));
    }
    AddTimes(f.TrackStartTime, f.TrackEndTime, true, 0);
    Prefix = p;
  }
  if (!f.Log.FileName.isEmpty()) {
    AddRow(QStringLiteral("GPS Log"), QString());
    Prefix = p + kIndent;
    AddRow(QStringLiteral("File"), f.Log.FileName);
    AddTimes(f.Log.StartTime, f.Log.EndTime, true, 0);
  }
  Prefix = p;
}

void TPropertyRows::AddGroup(const TFileItem &item)
{
  AddRow(QStringLiteral("Name"), item.Summary.Name);
  AddRow(QStringLiteral("Duration"), item.DurationText);
  // An unknown start would read as the last days of 1899.
  AddRow(QStringLiteral("DateTime"), item.Summary.StartTime > 0 ? Shifted(item.Summary.StartTime) : QString());
  if (item.Files.size() == 1) {
    AddFileRows(item.Files.front());
    return;
  }
  AddRow(QStringLiteral("Grouped"), QString::number(item.Files.size()));
  AddFileRows(item.Summary);
  for (size_t i = 0; i < item.Files.size(); ++i) {
    Prefix.clear();
    AddRow(QString(), QString());
    Prefix = QLatin1Char('[') + QString::number(i + 1) + QStringLiteral("] ");
    AddFileRows(item.Files[i]);
  }
  Prefix.clear();
}

QString TPropertyRows::Text() const
{
  QString s;
  for (const TPropertyRow &r : FRows) s += r.Label + QLatin1Char('\t') + r.Value + QStringLiteral("\r\n");
  return s;
}

} // namespace kp
