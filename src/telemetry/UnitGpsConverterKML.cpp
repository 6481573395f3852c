#include "UnitGpsConverterKML.h"

#include <cmath>

#include "UnitGpsConverterGPX.h"

#include <algorithm>

namespace kp {

namespace {

constexpr int64_t kMinRange = 200;

// Track files carry UTC, whatever the computer's zone.
QByteArray UtcIso(TDateTime localTime)
{
  return DateTimeToISO(localTime - LocalTimeOffset()).toLatin1();
}

void WriteHead(const TTrackInfo &info, TStringBuffer &out)
{
  out.Append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
             "<kml creator=\"KESTRIL PLAYER 1.1\" xmlns=\"http://www.opengis.net/kml/2.2\" "
             "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\r\n"
             "<Placemark>\r\n");
  out.Append("  <name>" + XmlEscape(info.Name) + "</name>\r\n");
  out.Append("  <description>" + XmlEscape(info.Description) + "</description>\r\n");
  out.Append("  <LookAt>\r\n    <longitude>" + CoordToBytes(info.CentreLon) + "</longitude>\r\n    <latitude>" +
             CoordToBytes(info.CentreLat) + "</latitude>\r\n    <range>" +
             QByteArray::number(static_cast<qlonglong>(TGpsInfoConverterKML::ViewRange(info))) +
             "</range>\r\n    <altitude>0</altitude>\r\n    <tilt>0</tilt>\r\n    <heading>0</heading>\r\n"
             "    <gx:TimeSpan>\r\n      <begin>" +
             UtcIso(info.StartTime) + "</begin>\r\n      <end>" + UtcIso(info.EndTime) +
             "</end>\r\n    </gx:TimeSpan>\r\n  </LookAt>\r\n");
  out.Append("  <Style id=\"yellowLine\">\r\n    <LineStyle>\r\n      <color>7f00ffff</color>\r\n"
             "      <width>4</width>\r\n    </LineStyle>\r\n  </Style>\r\n");
}

constexpr const char *kLineHead = "  <LineString>\r\n  <coordinates>\r\n";
constexpr const char *kLineTail = "  </coordinates>\r\n  </LineString>\r\n";

} // namespace

int64_t TGpsInfoConverterKML::ViewRange(const TTrackInfo &info)
{
  return std::max<int64_t>(Round(std::max(info.Width, info.Height) * 1.2), kMinRange);
}

void TGpsInfoConverterKML::WriteTrack(const TTrackInfo &info, TStringBuffer &output) const
{
  WriteHead(info, output);
  // Several trips: one line each in one placemark.
  const bool trips = !info.TripStarts.empty();
  if (trips) output.Append("  <MultiGeometry>\r\n");
  output.Append(kLineHead);
  TTripBreaks breaks(info);
  for (size_t i = 0; i < info.Items.size(); ++i) {
    const TTrackInfoItem &item = info.Items[i];
    if (item.Kind != ikGps || item.NoFix) continue;
    if (breaks.Opens(i)) {
      output.Append(kLineTail);
      output.Append(kLineHead);
    }
    output.Append("\t");
    output.Append(CoordToBytes(item.Lon));
    output.Append(",");
    output.Append(CoordToBytes(item.Lat));
    output.Append(",");
    output.Append(FloatToStrDotBytes(std::isfinite(item.Alt) ? item.Alt : 0.0, 1));
    output.Append("\r\n");
  }
  output.Append(kLineTail);
  if (trips) output.Append("  </MultiGeometry>\r\n");
  output.Append("</Placemark>\r\n</kml>\r\n");
}

} // namespace kp
