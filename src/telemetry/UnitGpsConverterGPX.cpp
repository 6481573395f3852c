#include "UnitGpsConverterGPX.h"

#include "UnitGpsConverterDatDOD.h"

#include <algorithm>
#include <cmath>

namespace kp {

namespace {

constexpr double kMetresPerSecondToKmh = 3.6;

bool IsValueStop(char c)
{
  return c == '"' || c == '\'' || c == '<' || c == '=' || c == '>';
}

bool IsBlank(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int Digits(QByteArrayView text, qsizetype pos, int count)
{
  int v = 0;
  for (int i = 0; i < count; ++i) {
    if (pos + i >= text.size() || text[pos + i] < '0' || text[pos + i] > '9') return -1;
    v = v * 10 + (text[pos + i] - '0');
  }
  return v;
}

// Minutes east of UTC of a "+hh:mm", "+hhmm" or "+hh" suffix; 0 for "Z",
// nothing or anything unreadable.
int ZoneMinutes(QByteArrayView zone)
{
  if (zone.size() < 3 || (zone[0] != '+' && zone[0] != '-')) return 0;
  const int hours = Digits(zone, 1, 2);
  if (hours < 0 || hours > 14) return 0;
  qsizetype p = 3;
  if (p < zone.size() && zone[p] == ':') ++p;
  const int minutes = p < zone.size() ? Digits(zone, p, 2) : 0;
  if (minutes < 0 || minutes > 59) return 0;
  return (zone[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
}

// "yyyy-mm-ddThh:nn:ssZ", as DateTimeToISO writes it, without the detour
// through QString (a writer calls this once per point).
QByteArray Iso(TDateTime t)
{
  QByteArray text = DatTimeText(t, false);
  text[10] = 'T';
  text += 'Z';
  return text;
}

QByteArray CourseText(double course)
{
  // Degrees in [0, 360): a course that rounds up to 360 is north.
  return QByteArray::number(static_cast<qlonglong>(Mod(Round(course), 360)));
}

void WriteHeader(const TTrackInfo &info, TStringBuffer &out)
{
  const QByteArray start = Iso(info.StartTime - LocalTimeOffset());
  out.Append("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n"
             "<gpx\r\n"
             " version=\"1.0\"\r\n"
             " creator=\"KESTRIL PLAYER 1.1\"\r\n"
             " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
             " xmlns=\"http://www.topografix.com/GPX/1/0\"\r\n"
             " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 "
             "http://www.topografix.com/GPX/1/0/gpx.xsd\">\r\n");
  out.Append("<time>" + start + "</time>\r\n");
  out.Append("<bounds minlat=\"" + CoordToBytes(info.MinLat) + "\" minlon=\"" + CoordToBytes(info.MinLon) +
             "\" maxlat=\"" + CoordToBytes(info.MaxLat) + "\" maxlon=\"" + CoordToBytes(info.MaxLon) + "\"/>\r\n");
  out.Append("<trk>\r\n  <name>" + XmlEscape(info.Name) + "</name>\r\n  <desc>" + XmlEscape(info.Description) +
             "</desc>\r\n  <time>" + start + "</time>\r\n  <trkseg>\r\n");
}

// Children in the order the GPX 1.0 schema demands; an unknown course or
// speed is left out rather than written as an invalid value.
void WritePoint(const TTrackInfoItem &item, TStringBuffer &out)
{
  out.Append("\t<trkpt lat=\"");
  out.Append(CoordToBytes(item.Lat));
  out.Append("\" lon=\"");
  out.Append(CoordToBytes(item.Lon));
  out.Append("\">");
  if (item.Alt != 0 && std::isfinite(item.Alt)) {
    out.Append("<ele>");
    out.Append(FloatToStrDotBytes(item.Alt, 1));
    out.Append("</ele>");
  }
  out.Append("<time>");
  out.Append(Iso(item.Time - LocalTimeOffset()));
  out.Append("</time>");
  if (item.Course >= 0 && std::isfinite(item.Course)) {
    out.Append("<course>");
    out.Append(CourseText(item.Course));
    out.Append("</course>");
  }
  if (item.Speed >= 0 && std::isfinite(item.Speed)) {
    out.Append("<speed>");
    out.Append(FloatToStrDotBytes(item.Speed / kMetresPerSecondToKmh, 2));
    out.Append("</speed>");
  }
  out.Append("</trkpt>\r\n");
}

// UTC of an xsd:dateTime: fractions of a second kept to the millisecond, an
// offset from UTC taken off.
TDateTime GpxTime(QByteArrayView text)
{
  TDateTime t = ParseDateTime19(text.first(std::min<qsizetype>(text.size(), 19)));
  if (!(t > 0)) return t;
  qsizetype p = 19;
  if (p < text.size() && text[p] == '.') {
    double ms = 0, scale = 100;
    for (++p; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p, scale /= 10) ms += (text[p] - '0') * scale;
    t += double(Round(ms)) / MSecsPerDay;
  }
  return t - ZoneMinutes(text.sliced(std::min(p, text.size()))) / 1440.0;
}

double ValueOr(QByteArrayView element, QByteArrayView key, double def)
{
  const QByteArrayView v = GpxValue(element, key);
  return v.isEmpty() ? def : StrToFloatAny(v, def);
}

// One "<trkpt " element into Item; false when it has no position or time.
bool ReadPoint(QByteArrayView element, TTrackInfoItem &item)
{
  item = TTrackInfoItem{};
  item.Kind = ikGps;
  item.Lat = ValueOr(element, "lat", 0);
  item.Lon = ValueOr(element, "lon", 0);
  item.Alt = ValueOr(element, "ele", 0);
  item.Time = GpxTime(GpxValue(element, "time"));
  if (item.Lon == 0 || item.Lat == 0 || !(item.Time > 0)) return false;
  item.Time += LocalTimeOffset();
  item.Course = ValueOr(element, "course", -1);
  item.Speed = ValueOr(element, "speed", -1);
  if (item.Speed > 0) item.Speed *= kMetresPerSecondToKmh;
  return KeepPlausibleItem(item);
}

} // namespace

QByteArray XmlEscape(const QString &text)
{
  const QByteArray utf8 = text.toUtf8();
  QByteArray out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    default: out += c;
    }
  }
  return out;
}

QByteArrayView GpxValue(QByteArrayView element, QByteArrayView key)
{
  const std::string_view el(element.data(), static_cast<size_t>(element.size()));
  size_t p = el.find(std::string_view(key.data(), static_cast<size_t>(key.size())));
  if (p == std::string_view::npos) return {};
  p += static_cast<size_t>(key.size());
  while (p < el.size() && (IsValueStop(el[p]) || IsBlank(el[p]))) ++p;
  size_t e = p;
  while (e < el.size() && !IsValueStop(el[e])) ++e;
  while (e > p && IsBlank(el[e - 1])) --e;
  return element.sliced(static_cast<qsizetype>(p), static_cast<qsizetype>(e - p));
}

bool TGpsInfoConverterGPX::CanRead(QByteArrayView head) const
{
  if (!TGpsInfoConverter::CanRead(head)) return false;
  const std::string_view h(head.data(), static_cast<size_t>(head.size()));
  return h.find("<?xml") != std::string_view::npos && h.find("<gpx") != std::string_view::npos;
}

bool TGpsInfoConverterGPX::ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const
{
  const std::string_view t(text.data(), static_cast<size_t>(text.size()));
  const size_t scanEnd = t.size() > 16 ? t.size() - 16 : 0;
  auto &items = info.Items;
  ctx.Count = 0;
  size_t pos = 0;
  while (pos < scanEnd) {
    // "<trkpt" and any white space (a line end included) before its first
    // attribute.
    size_t start = t.find("<trkpt", pos);
    while (start != std::string_view::npos && start < scanEnd && (start + 6 >= t.size() || !IsBlank(t[start + 6])))
      start = t.find("<trkpt", start + 6);
    if (start == std::string_view::npos || start >= scanEnd) break;
    size_t end = t.find("</trkpt", start + 7);
    if (end == std::string_view::npos) end = t.size();
    if (items.size() <= static_cast<size_t>(ctx.Count)) items.resize(2 * std::max<size_t>(16, items.size()));
    const QByteArrayView element = text.sliced(static_cast<qsizetype>(start), static_cast<qsizetype>(end - start));
    if (ReadPoint(element, items[ctx.Count])) ++ctx.Count;
    pos = end;
  }
  items.resize(ctx.Count);
  return ctx.Count >= 1;
}

void TGpsInfoConverterGPX::WriteTrack(const TTrackInfo &info, TStringBuffer &output) const
{
  WriteHeader(info, output);
  TTripBreaks trips(info);
  for (size_t i = 0; i < info.Items.size(); ++i) {
    const TTrackInfoItem &item = info.Items[i];
    if (item.Kind != ikGps || item.NoFix || !(std::fabs(item.Lat) <= 90) || !(std::fabs(item.Lon) <= 180)) continue;
    if (trips.Opens(i)) output.Append("  </trkseg>\r\n  <trkseg>\r\n");
    WritePoint(item, output);
  }
  output.Append("  </trkseg>\r\n</trk>\r\n</gpx>\r\n");
}

void TGpsInfoConverterGPX::GetSignatureChars(TCharSet &required, TCharSet &) const
{
  required.addAll("\"/<=>");
}

} // namespace kp
