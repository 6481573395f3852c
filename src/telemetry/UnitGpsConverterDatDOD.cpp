#include "UnitGpsConverterDatDOD.h"

#include <cmath>

namespace kp {

namespace {

void AppendPadded(QByteArray &out, int value, int width)
{
  char digits[12];
  int n = 0;
  unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0 && n < 11);
  for (int i = n; i < width; ++i) out.append('0');
  while (n > 0) out.append(digits[--n]);
}

QByteArray IntText(double v)
{
  return QByteArray::number(static_cast<qlonglong>(Round(v)));
}

// Hemisphere letter and six decimals of the absolute value.
QByteArray HemisphereText(double v, char positive, char negative)
{
  QByteArray out;
  out.append(v >= 0 ? positive : negative);
  out.append(CoordToBytes(std::fabs(v)));
  return out;
}

} // namespace

TDateTime RoundToSecond(TDateTime t)
{
  if (!std::isfinite(t)) return t;
  return RoundF(t * SecsPerDay) / SecsPerDay;
}

QByteArray DatTimeText(TDateTime t, bool withMs)
{
  TDateTimeFields f;
  DecodeDateTime(withMs ? t : RoundToSecond(t), f);
  QByteArray out;
  out.reserve(23);
  AppendPadded(out, f.year, 4);
  out.append('-');
  AppendPadded(out, f.month, 2);
  out.append('-');
  AppendPadded(out, f.day, 2);
  out.append(' ');
  AppendPadded(out, f.hour, 2);
  out.append(':');
  AppendPadded(out, f.minute, 2);
  out.append(':');
  AppendPadded(out, f.second, 2);
  if (withMs) {
    out.append('.');
    AppendPadded(out, f.msec, 3);
  }
  return out;
}

bool TGpsInfoConverterDatDOD::ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item,
                                        TTrackInfo &info) const
{
  if (line.size() >= 9 && line[0] == '[' && line[2] == ']') {
    const int n = SplitStringCount(line, "\t", true, ctx.Fields);
    const QByteArray &tag = ctx.Fields[0];
    if (tag == "[S]" && n >= 4) {
      item.Kind = ikGSensor;
      item.Lon = StrToFloatAny(QByteArrayView(ctx.Fields[1]), 0) / 1000;
      item.Lat = StrToFloatAny(QByteArrayView(ctx.Fields[2]), 0) / 1000;
      item.Alt = StrToFloatAny(QByteArrayView(ctx.Fields[3]), 0) / 1000;
      return true;
    }
    if (tag == "[G]" && n >= 4) {
      item.Kind = ikGps;
      item.Time = ParseISODateTime(QString::fromLatin1(ctx.Fields[1]));
      item.Lat = ParseHemisphereFloat(ctx.Fields[2], 'N', 0);
      item.Lon = ParseHemisphereFloat(ctx.Fields[3], 'E', 0);
      item.Speed = n >= 5 ? StrToFloatAny(QByteArrayView(ctx.Fields[4]), -1) : -1;
      item.Course = n >= 6 ? StrToFloatAny(QByteArrayView(ctx.Fields[5]), -1) : -1;
      return true;
    }
    return false;
  }
  if (line == QByteArrayView("[B]")) {
    ctx.BlockStart = true;
    ctx.Skip = true;
  } else if (line == QByteArrayView("[F]")) {
    ctx.FollowsOn = true;
    ctx.Skip = true;
  } else if (line == QByteArrayView("[C]")) {
    info.CutTrack = true;
    ctx.Skip = true;
  }
  return false;
}

void TGpsInfoConverterDatDOD::WriteTrack(const TTrackInfo &info, TStringBuffer &output) const
{
  QByteArray line;
  for (const TTrackInfoItem &item : info.Items) {
    line.clear();
    if (item.Kind == ikGSensor) {
      line += "[S]\t" + IntText(item.Lon * 1000) + '\t' + IntText(item.Lat * 1000) + '\t' +
              IntText((item.Alt + 1.0) * 1000) + "\r\n";
    } else if (item.Kind == ikGps && !item.NoFix) {
      // A fix without a position is a time mark of the cutting job; its
      // milliseconds matter.
      const bool withMs = item.Lon == 0 && item.Lat == 0;
      line += "[G]\t" + DatTimeText(item.Time, withMs) + '\t' + HemisphereText(item.Lat, 'N', 'S') + '\t' +
              HemisphereText(item.Lon, 'E', 'W') + '\t' + IntText(item.Speed) + '\t' + IntText(item.Course) + "\r\n";
    } else {
      continue;
    }
    output.Append(line);
  }
}

void TGpsInfoConverterDatDOD::GetSignatureChars(TCharSet &required, TCharSet &forbidden) const
{
  required.addAll("\t[]");
  forbidden.add(0);
  forbidden.addAll(",<>");
  forbidden.addRange('a', 'z');
}

} // namespace kp
