#include "UnitGpsConverterNMEA.h"

#include <cmath>
#include <cstring>
#include <cstdlib>

namespace kp {

namespace {

// 6 s, compared in whole milliseconds so a gap of exactly 6 s is not "more".
constexpr int64_t kTailGapMs = 6000;

int64_t SpanMs(double days)
{
  return Round(days * MSecsPerDay);
}

// "$A y x z": three blank-separated numbers in g.
void ParseASentence(QByteArrayView line, TTrackInfoItem &item)
{
  QByteArrayView rest = line.sliced(3);
  item.Kind = ikGSensor;
  item.Time = 0;
  item.Lat = StrToFloatAny(CutTokenView(rest, ' '), 0);
  item.Lon = StrToFloatAny(CutTokenView(rest, ' '), 0);
  item.Alt = StrToFloatAny(CutTokenView(rest, ' '), 0);
}

// The leading "-" and digits of a field: a trailing checksum goes.
QByteArrayView SignedDigits(QByteArrayView text)
{
  qsizetype n = 0;
  while (n < text.size() && (text[n] == '-' || (text[n] >= '0' && text[n] <= '9'))) ++n;
  return text.first(n);
}

// "$GSENSOR,x,y,z*cs" in thousandths of g.
void ParseGSensorSentence(const QByteArrayView *f, TTrackInfoItem &item)
{
  item.Kind = ikGSensor;
  item.Time = 0;
  item.Lon = StrToIntDef(f[1], 0) / 1000.0;
  item.Lat = StrToIntDef(f[2], 0) / 1000.0;
  item.Alt = StrToIntDef(SignedDigits(f[3]), 0) / 1000.0;
}

QByteArrayView SentenceName(QByteArrayView sentence)
{
  const qsizetype comma = sentence.indexOf(',');
  return comma < 0 ? sentence : sentence.first(comma);
}

bool IsAlnum(char c)
{
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int HexDigit(char c)
{
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

} // namespace

TNmeaSentence CheckNmeaSentence(QByteArrayView &sentence)
{
  QByteArrayView s = sentence;
  while (!s.isEmpty() && (s.back() == ' ' || s.back() == '\t')) s.chop(1);
  if (s.size() < 6 || s[0] != '$') return TNmeaSentence::None;
  for (qsizetype i = 1; i < 6; ++i)
    if (!IsAlnum(s[i])) return TNmeaSentence::None;
  if (s.size() > 6 && s[6] != ',' && s[6] != '*') return TNmeaSentence::None;
  const qsizetype star = s.indexOf('*');
  const qsizetype body = star < 0 ? s.size() : star;
  if (star >= 0 && star != s.size() - 3) return TNmeaSentence::None;
  for (qsizetype i = 1; i < body; ++i)
    if (s[i] < 0x20 || s[i] > 0x7e || s[i] == '$') return TNmeaSentence::None;
  if (star < 0) return TNmeaSentence::Good;
  const int hi = HexDigit(s[star + 1]), lo = HexDigit(s[star + 2]);
  if (hi < 0 || lo < 0) return TNmeaSentence::None;
  unsigned sum = 0;
  for (qsizetype i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(s[i]);
  if (sum != unsigned(hi * 16 + lo)) return TNmeaSentence::BadChecksum;
  sentence = s.first(star);
  return TNmeaSentence::Good;
}

TNmeaFix NmeaFixKind(QByteArrayView sentence)
{
  const QByteArrayView name = SentenceName(sentence);
  if (name.size() != 6 || name[0] != '$' || name[1] != 'G') return TNmeaFix::None;
  // Talkers of the satellite systems: GPS, combined, GLONASS, Galileo,
  // BeiDou, QZSS.
  static constexpr char kTalkers[] = "PNLABQ";
  if (std::memchr(kTalkers, name[2], sizeof kTalkers - 1) == nullptr) return TNmeaFix::None;
  const QByteArrayView type = name.sliced(3);
  if (type == "RMC") return TNmeaFix::RMC;
  if (type == "GGA") return TNmeaFix::GGA;
  return TNmeaFix::None;
}

int SplitCommaFields(QByteArrayView line, TArrayBytes &fields)
{
  fields.clear();
  const char *p = line.data();
  const char *const end = p + line.size();
  while (true) {
    const auto *comma = static_cast<const char *>(std::memchr(p, ',', static_cast<size_t>(end - p)));
    const char *stop = comma ? comma : end;
    fields.append(QByteArray(p, stop - p));
    if (!comma) break;
    p = comma + 1;
  }
  return static_cast<int>(fields.size());
}

int CommaFieldViews(QByteArrayView line, QByteArrayView *fields, int max)
{
  int n = 0;
  const char *p = line.data();
  const char *const end = p + line.size();
  while (true) {
    const auto *comma = static_cast<const char *>(std::memchr(p, ',', static_cast<size_t>(end - p)));
    const char *stop = comma ? comma : end;
    if (n < max) fields[n] = QByteArrayView(p, stop - p);
    ++n;
    if (!comma) return n;
    p = comma + 1;
  }
}

bool ParseGpSentence(QByteArrayView sentence, TParseContext &ctx, TTrackInfoItem &item)
{
  const TNmeaSentence shape = CheckNmeaSentence(sentence);
  if (shape == TNmeaSentence::BadChecksum) {
    ctx.Skip = true;
    return false;
  }
  const TNmeaFix kind = NmeaFixKind(sentence);
  if (kind == TNmeaFix::RMC) {
    SplitCommaFields(sentence, ctx.Fields);
    ParseNmeaRMC(ctx.Fields, item);
    // The held altitude belongs to this RMC even when it is dropped.
    const double alt = ctx.HeldAlt;
    ctx.HeldAlt = 0;
    if (!(item.Time > 0)) {
      ctx.Skip = true;
      return false;
    }
    item.Kind = ikGps;
    item.Alt = alt;
    return true;
  }
  if (kind == TNmeaFix::GGA) {
    QByteArrayView f[10];
    const int n = CommaFieldViews(sentence, f, 10);
    ctx.HeldAlt = n > 9 ? StrToFloatAny(f[9], 0) : 0;
    ctx.Skip = true;
    return false;
  }
  // Sentences this reader has no use for (satellite lists, receivers' own)
  // are no evidence against the file.
  if (shape == TNmeaSentence::Good || SentenceName(sentence).startsWith("$GP")) ctx.Skip = true;
  return false;
}

void TrimStrayTailFixes(TTrackInfo &info)
{
  int found[3] = {-1, -1, -1}; // last, second-last, third-last fix
  int k = 0;
  for (int i = static_cast<int>(info.Items.size()) - 1; i >= 1 && k < 3; --i)
    if (info.Items[i].Kind == ikGps) found[k++] = i;
  if (k < 3) return;
  const double t1 = info.Items[found[0]].Time, t2 = info.Items[found[1]].Time, t3 = info.Items[found[2]].Time;
  if (std::abs(SpanMs(t1 - t2)) < kTailGapMs && SpanMs(t2 - t3) > kTailGapMs)
    info.Items.resize(found[1]);
  else if (SpanMs(t1 - t2) > kTailGapMs)
    info.Items.resize(found[0]);
}

bool TGpsInfoConverterNMEA::CanRead(QByteArrayView head) const
{
  if (head.isEmpty() || head[0] != '$') return false;
  return TGpsInfoConverter::CanRead(head);
}

bool TGpsInfoConverterNMEA::ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const
{
  // Reset once per text: a GGA on the very first line must reach its RMC.
  ctx.HeldAlt = 0;
  if (!TGpsInfoConverter::ParseText(text, info, ctx)) return false;
  TrimStrayTailFixes(info);
  return !info.Items.empty();
}

bool TGpsInfoConverterNMEA::ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &) const
{
  if (line.size() < 11 || line[0] != '$') return false;
  if (line[1] == 'A' && line[2] == ' ') {
    ParseASentence(line, item);
    return true;
  }
  if (SentenceName(line) == "$GSENSOR") {
    QByteArrayView f[4];
    if (CommaFieldViews(line, f, 4) < 4) return false;
    ParseGSensorSentence(f, item);
    return true;
  }
  return ParseGpSentence(line, ctx, item);
}

void TGpsInfoConverterNMEA::GetSignatureChars(TCharSet &required, TCharSet &forbidden) const
{
  required.add('$');
  forbidden.add(0);
  forbidden.addAll("\t:<>[]");
}

} // namespace kp
