#include "UnitGpsConverterDatSamoon.h"

#include "UnitGpsConverterNMEA.h"

#include <algorithm>

namespace kp {

namespace {

// A G-sensor value that could not be read.
constexpr double kNoValue = -1000000;
// Where the device number line must have ended.
constexpr qsizetype kDeviceLineMax = 15;

double CutAxis(QByteArrayView &rest)
{
  return StrToFloatAny(CutTokenView(rest, '\t'), kNoValue) / 1000;
}

// The sentence of a line into the slot after the stored items; true when it
// gave a dated fix.
bool ParseSentence(QByteArrayView sentence, TParseContext &ctx, TTrackInfoItem &slot, const TTrackInfo &info)
{
  slot = TTrackInfoItem{};
  if (CheckNmeaSentence(sentence) == TNmeaSentence::BadChecksum) return false;
  const TNmeaFix kind = NmeaFixKind(sentence);
  if (kind == TNmeaFix::None) return false;
  SplitStringCount(sentence, ",", true, ctx.Fields);
  // The date of a GGA comes from the latest fix kept at hand, not from a
  // search back through the samples stored so far.
  if (kind == TNmeaFix::GGA)
    ParseNmeaGGA(ctx.Fields, slot, ctx.LastFixTime > 0 ? ctx.LastFixTime : info.EndTime);
  else
    ParseNmeaRMC(ctx.Fields, slot);
  // Above 2.0: a real date, not a time of day on the zero date.
  if (!(slot.Time > 2.0)) return false;
  slot.Kind = ikGps;
  if (!KeepPlausibleItem(slot)) return false;
  ctx.LastFixTime = slot.Time;
  return true;
}

} // namespace

const TCharSet &TGpsInfoConverterDatSamoon::DataLineAllowed()
{
  static const TCharSet set = [] {
    TCharSet s;
    s.addRange('0', '9');
    s.addRange('A', 'Z');
    s.addAll("-.\t,$*");
    return s;
  }();
  return set;
}

const TCharSet &TGpsInfoConverterDatSamoon::DataLineRequired()
{
  static const TCharSet set = [] {
    TCharSet s;
    s.add('\t');
    return s;
  }();
  return set;
}

int TGpsInfoConverterDatSamoon::DeviceShift(int)
{
  // No device of this family is known by number: every file is read by trial.
  return 0;
}

bool TGpsInfoConverterDatSamoon::CanRead(QByteArrayView head) const
{
  if (!TGpsInfoConverter::CanRead(head)) return false;
  const qsizetype lf = head.first(std::min(head.size(), kDeviceLineMax)).indexOf('\n');
  if (lf < 0) return false;
  return StrToIntDef(head.first(lf), 0) != 0;
}

void TGpsInfoConverterDatSamoon::AddLine(QByteArrayView line, TParseContext &ctx, TTrackInfo &info) const
{
  if (ctx.LineNo == 0) {
    ctx.Shift = DeviceShift(StrToIntDef(line, 0));
    return;
  }
  QByteArray plain = line.toByteArray();
  if (ctx.Shift == 0) ctx.Shift = FindShiftKey(plain, DataLineRequired(), DataLineAllowed());
  plain = ShiftText(plain, ctx.Shift);

  auto &items = info.Items;
  if (items.size() < static_cast<size_t>(ctx.Count) + 2) items.resize(2 * std::max<size_t>(8, items.size()));

  TTrackInfoItem sample;
  sample.Kind = ikGSensor;
  sample.Time = 0;
  QByteArrayView rest(plain);
  sample.Lon = CutAxis(rest);
  sample.Lat = CutAxis(rest);
  sample.Alt = CutAxis(rest);
  if (!(sample.Lon > -100 && sample.Lat > -100 && sample.Alt > -100)) rest = {};
  if (rest.isEmpty()) return;

  if (ParseSentence(rest, ctx, items[ctx.Count], info)) ++ctx.Count;
  KeepPlausibleItem(sample);
  items[ctx.Count] = sample;
  ++ctx.Count;
}

void TGpsInfoConverterDatSamoon::GetSignatureChars(TCharSet &required, TCharSet &forbidden) const
{
  required.add('\n');
  forbidden.add(0);
  forbidden.add('\t');
  forbidden.add('\r');
}

} // namespace kp
