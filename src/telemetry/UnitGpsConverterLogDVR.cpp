#include "UnitGpsConverterLogDVR.h"

namespace kp {

namespace {

// A coordinate whose hemisphere field is not exactly the positive letter is
// negative.
double SignedCoord(const QByteArray &value, const QByteArray &hemisphere, const char *positive)
{
  const double v = NmeaCoord(QByteArrayView(value), 0);
  return (v != 0 && hemisphere != positive) ? -v : v;
}

} // namespace

bool TGpsInfoConverterLogDVR::ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item,
                                        TTrackInfo &) const
{
  if (line.size() < 11 || line[1] != ',' || line[8] != ',') return false;
  const int n = SplitStringCount(line, ",;", true, ctx.Fields);
  if (n <= 6) return false;
  const TArrayBytes &f = ctx.Fields;
  item.Kind = ikGps;
  item.Time = NmeaDateTime(f[1], f[2]);
  item.Lat = SignedCoord(f[3], f[4], "N");
  item.Lon = SignedCoord(f[5], f[6], "E");
  item.Alt = 0;
  item.Speed = n >= 8 ? StrToFloatAny(QByteArrayView(f[7]), -1) : -1;
  if (item.Speed > 0) item.Speed *= KnotKmh;
  item.Course = -1;
  return true;
}

void TGpsInfoConverterLogDVR::GetSignatureChars(TCharSet &required, TCharSet &forbidden) const
{
  required.addAll(",.");
  forbidden.add(0);
  forbidden.addAll("\t$-:<>[]");
  forbidden.addRange('a', 'z');
}

} // namespace kp
