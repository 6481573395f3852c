#include "UnitGpsConverterBlackVue.h"

#include "UnitGpsConverterNMEA.h"

namespace kp {

namespace {

// The camera clock's plausible range (2001 to 2033), in ms since 1970.
constexpr int64_t kMinStamp = 1000000000001LL;
constexpr int64_t kEndStamp = 2000000000000LL;

} // namespace

bool TGpsInfoConverterBlackVue::ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const
{
  ctx.HeldAlt = 0;
  return TGpsInfoConverter::ParseText(text, info, ctx);
}

bool TGpsInfoConverterBlackVue::ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item,
                                          TTrackInfo &) const
{
  if (line.isEmpty() || line[0] != '[') return false;
  const qsizetype close = line.indexOf(']');
  if (close < 3 || close > 18) return false;
  const int64_t stamp = StrToInt64Def(line.sliced(1, close - 1), 0);
  if (stamp < kMinStamp || stamp >= kEndStamp) return false;
  const QByteArrayView sentence = line.sliced(close + 1);
  QByteArrayView checked = sentence;
  if (CheckNmeaSentence(checked) == TNmeaSentence::None && CommaFieldViews(sentence, nullptr, 0) <= 6) return false;
  return ParseGpSentence(sentence, ctx, item);
}

void TGpsInfoConverterBlackVue::GetSignatureChars(TCharSet &required, TCharSet &forbidden) const
{
  required.addAll("$,.[]");
  forbidden.add(0);
  forbidden.addAll("\t-:<>");
  forbidden.addRange('a', 'z');
}

} // namespace kp
