#include "UnitGpsConverterCSV.h"

namespace kp {

namespace {

// An untimed sample stays untimed; everything else is written in UTC.
TDateTime Utc(TDateTime localTime)
{
  return localTime > 0 ? localTime - LocalTimeOffset() : localTime;
}

QByteArray IntText(double v)
{
  return QByteArray::number(static_cast<qlonglong>(Round(v)));
}

// Three decimals with the user's decimal separator (spreadsheets read these
// as numbers in the user's locale).
QByteArray AxisText(double v)
{
  QByteArray text = FloatToStrDotBytes(v, 3, true);
  const QChar sep = FormatSettings().decimalSeparator;
  if (sep != QLatin1Char('.')) text.replace('.', QString(sep).toUtf8());
  return text;
}

QByteArray DateTimeColumns(TDateTime localTime)
{
  const TDateTime t = Utc(localTime);
  return DateToStr(t).toUtf8() + ';' + CsvFormatTime(t).toUtf8() + ';';
}

QByteArray GpsRow(const TTrackInfoItem &item, bool tagged)
{
  const QByteArray mark = item.NoFix ? "?" : "";
  QByteArray row = tagged ? "[gps];" : "";
  row += DateTimeColumns(item.Time) + mark + CoordToBytes(item.Lon) + ';' + mark + CoordToBytes(item.Lat) + ';' +
         FloatToStrDotBytes(item.Alt, 1) + ';';
  if (!item.NoFix && item.Speed >= 0) row += IntText(item.Speed);
  row += ';';
  if (!item.NoFix && item.Course >= 0) row += IntText(item.Course);
  row += ';';
  if (!item.NoFix) row += IntText(item.Trip);
  row += ";\r\n";
  return row;
}

QByteArray GSensorRow(const TTrackInfoItem &item, bool tagged)
{
  QByteArray row = tagged ? "[gsensor];" : "";
  row +=
      DateTimeColumns(item.Time) + AxisText(item.Lon) + ';' + AxisText(item.Lat) + ';' + AxisText(item.Alt) + ";\r\n";
  return row;
}

QString NameFor(bool withGps, bool withGSensor)
{
  if (withGps && withGSensor) return QStringLiteral("Comma Separated Values: GPS and GSensor");
  if (withGps) return QStringLiteral("Comma Separated Values: GPS");
  return QStringLiteral("Comma Separated Values: GSensor");
}

} // namespace

QString CsvFormatTime(TDateTime time)
{
  const int64_t ms = Mod(Round(Frac(time) * MSecsPerDay), 1000);
  return TimeToStr(time) + QLatin1Char('.') + IntToStrZ(ms < 0 ? -ms : ms, 3);
}

TGpsInfoConverterCSV::TGpsInfoConverterCSV(bool withGps, bool withGSensor)
  : FName(NameFor(withGps, withGSensor)), FWithGps(withGps), FWithGSensor(withGSensor)
{
}

QString TGpsInfoConverterCSV::GetFileSuffix() const
{
  if (FWithGps && FWithGSensor) return {};
  return FWithGps ? QStringLiteral("_gps") : QStringLiteral("_gsensor");
}

void TGpsInfoConverterCSV::WriteTrack(const TTrackInfo &info, TStringBuffer &output) const
{
  const bool both = FWithGps && FWithGSensor;
  QByteArray header = both ? "Type;" : "";
  header += "Date;Time(GMT);";
  header += FWithGps ? "X;Y;H;Speed;Bearing;Trip\r\n" : "X;Y;Z\r\n";
  output.Append(header);
  for (const TTrackInfoItem &item : info.Items) {
    if (item.Kind == ikGps && FWithGps)
      output.Append(GpsRow(item, both));
    else if (item.Kind == ikGSensor && FWithGSensor)
      output.Append(GSensorRow(item, both));
  }
}

} // namespace kp
