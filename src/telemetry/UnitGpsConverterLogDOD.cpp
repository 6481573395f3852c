#include "UnitGpsConverterLogDOD.h"

namespace kp {

namespace {

double FieldOr(const TArrayBytes &fields, int n, int i, double def)
{
  return i < n ? StrToFloatAny(QByteArrayView(fields[i]), def) : def;
}

} // namespace

bool TGpsInfoConverterLogDOD::ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item,
                                        TTrackInfo &) const
{
  const int n = SplitStringCount(line, "\t", true, ctx.Fields);
  if (n < 3) return false;
  item.Kind = ikGps;
  item.Time = ParseISODateTime(QString::fromLatin1(ctx.Fields[0]));
  item.Lat = ParseHemisphereFloat(ctx.Fields[1], 'N', 0);
  item.Lon = ParseHemisphereFloat(ctx.Fields[2], 'E', 0);
  item.Alt = FieldOr(ctx.Fields, n, 3, 0);
  item.Speed = FieldOr(ctx.Fields, n, 4, -1);
  item.Course = FieldOr(ctx.Fields, n, 5, -1);
  return true;
}

void TGpsInfoConverterLogDOD::GetSignatureChars(TCharSet &required, TCharSet &forbidden) const
{
  required.addAll("\t.");
  forbidden.add(0);
  forbidden.addAll(",<>[]");
  forbidden.addRange('a', 'z');
}

} // namespace kp
