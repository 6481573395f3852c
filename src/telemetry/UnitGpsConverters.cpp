#include "UnitGpsConverters.h"

#include "TelemetryLog.h"
#include "UnitTranslate.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <exception>

namespace kp {

namespace {

constexpr int kHeadLength = 512;
constexpr int kMinTextLength = 10;
// 0.1 s: a re-timed block ends this long before the first fix of the next.
constexpr double kBlockGap = 1.1574074074074074e-06;

// Items of the earlier blocks move by one common amount at each block so
// that the latest of them lies just before the first fix of the new block.
// The moves are recorded and applied once at the end: a file of many blocks
// would otherwise move every earlier item at every block. Untimed samples
// (Time <= 1.0) stay untimed.
class TBlockRetiming {
public:
  // Notes the items stored since the last call.
  void Stored(const TTrackInfo &info, int from, int to)
  {
    for (int j = from; j < to; ++j)
      if (info.Items[j].Time > 1.0) FTimed.push_back(j);
  }

  // A new block's first fix at Count - 1.
  void Retime(const TTrackInfo &info, int count)
  {
    if (FTimed.size() < 2 || FTimed.back() != count - 1) return;
    const int latest = FTimed[FTimed.size() - 2];
    const TDateTime now = info.Items[latest].Time + ShiftOf(latest);
    FBounds.push_back(count - 2);
    FSums.push_back((FSums.empty() ? 0.0 : FSums.back()) + (info.Items[count - 1].Time - now - kBlockGap));
  }

  void Apply(TTrackInfo &info, int count) const
  {
    if (FBounds.empty()) return;
    for (int j : FTimed)
      if (j < count) info.Items[j].Time += ShiftOf(j);
  }

private:
  // The sum of the moves of every block whose earlier items include J.
  double ShiftOf(int j) const
  {
    const auto first = std::lower_bound(FBounds.begin(), FBounds.end(), j);
    if (first == FBounds.end()) return 0;
    const size_t k = size_t(first - FBounds.begin());
    return FSums.back() - (k == 0 ? 0.0 : FSums[k - 1]);
  }

  std::vector<int> FTimed;   // indexes of timed items, ascending
  std::vector<int> FBounds;  // per block: the last index it moved (non-decreasing)
  std::vector<double> FSums; // running sums of the blocks' moves
};

bool GivesUp(const TParseContext &ctx)
{
  if (ctx.Count == 0) return ctx.LineNo > 8;
  return ctx.LineNo > 32 && ctx.LineNo / 2 > ctx.Count;
}

} // namespace

// ---------------------------------------------------------------- recognition

bool TGpsInfoConverter::CanRead(QByteArrayView head) const
{
  while (!head.isEmpty() && head.back() == '\0') head.chop(1);
  TCharSet required, forbidden;
  GetSignatureChars(required, forbidden);
  if (required.empty() && forbidden.empty()) return false;
  TCharSet seen;
  for (char c : head) seen.add(static_cast<uint8_t>(c));
  for (int w = 0; w < 4; ++w) {
    if (seen.bits[w] & forbidden.bits[w]) return false;
    if (required.bits[w] & ~seen.bits[w]) return false;
  }
  return true;
}

void TGpsInfoConverter::GetSignatureChars(TCharSet &, TCharSet &) const {}

// ---------------------------------------------------------------- parsing

bool KeepPlausibleItem(TTrackInfoItem &item)
{
  auto finiteOr = [](double &v, double absent) {
    if (!std::isfinite(v)) v = absent;
  };
  if (item.Kind == ikGSensor) {
    finiteOr(item.Lon, 0);
    finiteOr(item.Lat, 0);
    finiteOr(item.Alt, 0);
    return true;
  }
  if (!(std::fabs(item.Lat) <= 90) || !(std::fabs(item.Lon) <= 180)) return false;
  finiteOr(item.Alt, 0);
  finiteOr(item.Speed, -1);
  finiteOr(item.Course, -1);
  return true;
}

bool TGpsInfoConverter::ParseLine(QByteArrayView, TParseContext &, TTrackInfoItem &, TTrackInfo &) const
{
  return false;
}

void TGpsInfoConverter::AddLine(QByteArrayView line, TParseContext &ctx, TTrackInfo &info) const
{
  auto &items = info.Items;
  if (items.size() <= static_cast<size_t>(ctx.Count)) items.resize(2 * std::max<size_t>(16, items.size()));
  items[ctx.Count] = TTrackInfoItem{};
  TTrackInfoItem &item = items[ctx.Count];
  if (!ParseLine(line, ctx, item, info) || ctx.Skip) return;
  if (!KeepPlausibleItem(item)) return;
  if (item.Kind == ikGps) {
    if (!(item.Time > 0)) return; // a fix without a time is dropped
    // A receiver's own "invalid" status survives a plausible position.
    item.NoFix = item.NoFix || item.Lon == 0 || item.Lat == 0;
    ++ctx.Count;
  } else if (item.Kind == ikGSensor) {
    ++ctx.Count;
  }
}

bool TGpsInfoConverter::ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const
{
  const qsizetype length = text.size();
  qsizetype lineStart = -1;
  bool gaveUp = false;
  int fileLine = 1; // as an editor numbers them, for the log
  TBlockRetiming retiming;
  for (qsizetype pos = 0; pos <= length; ++pos) {
    const bool atEnd = pos == length;
    const char c = atEnd ? '\n' : text[pos];
    if (c != '\n' && c != '\r') {
      if (lineStart < 0) lineStart = pos;
      continue;
    }
    const int thisLine = fileLine;
    if (c == '\n' || pos + 1 >= length || text[pos + 1] != '\n') ++fileLine;
    if (lineStart < 0) continue; // empty lines never reach a parser
    const QByteArrayView line = text.sliced(lineStart, pos - lineStart);
    lineStart = -1;
    ctx.Skip = false;
    const int before = ctx.Count;
    AddLine(line, ctx, info);
    retiming.Stored(info, before, ctx.Count);
    if (ctx.Skip) ++ctx.Known;
    if (!ctx.Skip) {
      if (ctx.BlockStart && ctx.Count >= 3) {
        const TTrackInfoItem &last = info.Items[ctx.Count - 1];
        if (last.Kind == ikGps && last.Time > 1.0) {
          ctx.BlockStart = false;
          retiming.Retime(info, ctx.Count);
          // A block recorded apart from the last is a piece of its own: no
          // line joins it to the last.
          if (!ctx.FollowsOn) info.TripStarts.push_back(size_t(ctx.Count - 1));
          ctx.FollowsOn = false;
        }
      }
      ++ctx.LineNo;
    }
    if (GivesUp(ctx)) {
      ctx.StoppedAt = thisLine;
      gaveUp = true;
      break;
    }
  }
  if (gaveUp) ctx.Count = 0;
  std::erase_if(info.TripStarts, [&](size_t start) { return start >= size_t(ctx.Count); });
  retiming.Apply(info, ctx.Count);
  info.Items.resize(ctx.Count);
  return ctx.Count >= 1;
}

bool TGpsInfoConverter::Load(QByteArrayView text, TTrackInfo &info, int *stoppedAt, bool *noFix) const
{
  bool ok = false;
  TParseContext ctx;
  try {
    const qsizetype presize = std::min<qsizetype>(text.size() / 50, 4000) + 16;
    info.Items.assign(static_cast<size_t>(presize), TTrackInfoItem{});
    if (FNeedsLock) {
      std::lock_guard<std::mutex> guard(FLock);
      ok = ParseText(text, info, ctx);
    } else {
      ok = ParseText(text, info, ctx);
    }
  } catch (...) {
    ok = false;
  }
  if (stoppedAt) *stoppedAt = ok ? -1 : ctx.StoppedAt;
  if (noFix) *noFix = !ok && ctx.StoppedAt < 0 && ctx.Known > ctx.LineNo;
  if (!ok) {
    info.Items.clear();
    return false;
  }
  RegisterGpsFormat(GetId());
  return true;
}

// ---------------------------------------------------------------- writing

void TGpsInfoConverter::WriteTrack(const TTrackInfo &, TStringBuffer &) const {}

bool TGpsInfoConverter::ExportToText(const TTrackInfo &info, QByteArray &text) const
{
  text.clear();
  try {
    TStringBuffer output(1000);
    WriteTrack(info, output);
    text = output.GetText();
    return true;
  } catch (...) {
    text.clear();
    return false;
  }
}

bool TTripBreaks::Opens(size_t index)
{
  bool crossed = false;
  for (; FNext < FStarts.size() && FStarts[FNext] <= index; ++FNext) crossed = true;
  const bool opens = crossed && FWritten;
  FWritten = true;
  return opens;
}

QString TGpsInfoConverter::GetCaption() const
{
  return GetName() + QStringLiteral(" (.") + GetExt() + QLatin1Char(')');
}

QString TGpsInfoConverter::GetFilter() const
{
  return GetCaption() + QStringLiteral("|*.") + GetExt() + QLatin1Char('|');
}

// ---------------------------------------------------------------- detection

bool GpsConvertersLoad(const QByteArray &text, const QString &fileName, TTrackInfo &info, bool *noFix)
{
  if (noFix) *noFix = false;
  info = TTrackInfo{};
  info.Name = fileName;
  GetFileTimes(fileName, info.StartTime, info.EndTime);
  // A parking-mode clip comes with an empty GPS file and a full side file,
  // so a short text still goes on to the side file.
  if (text.size() >= kMinTextLength) {
    const auto &converters = GpsImportConverters();
    const QByteArrayView head = QByteArrayView(text).first(std::min<qsizetype>(text.size(), kHeadLength));
    std::vector<bool> tried(converters.size(), false);
    bool loaded = false;
    QString failures;
    auto load = [&](size_t i) {
      int stoppedAt = -1;
      bool found = false;
      loaded = converters[i]->Load(text, info, &stoppedAt, &found);
      if (loaded) return;
      if (noFix && found) *noFix = true;
      failures +=
          QStringLiteral("; ") + converters[i]->GetName() +
          (stoppedAt >= 0 ? QStringLiteral(" gave up at line %1").arg(stoppedAt) : QStringLiteral(" found no fix"));
    };
    for (size_t i = 0; i < converters.size() && !loaded; ++i) {
      if (!converters[i]->CanRead(head)) continue;
      tried[i] = true;
      load(i);
    }
    // By extension; the found path carries the on-disk spelling ("….LOG"),
    // so the comparison ignores case.
    const QString ext = QFileInfo(fileName).suffix();
    for (size_t i = 0; i < converters.size() && !loaded; ++i) {
      if (tried[i] || ext.compare(converters[i]->GetExt(), Qt::CaseInsensitive) != 0) continue;
      load(i);
    }
    if (!loaded)
      qCWarning(lcKpTelemetry).noquote() << QStringLiteral("Track file %1 not read: %2")
                                                .arg(fileName, failures.isEmpty()
                                                                   ? QStringLiteral("no format recognised")
                                                                   : failures.mid(2));
  }
  TGpsInfoConverter::LoadGSensorSideFile(info);
  if (noFix && !info.Items.empty()) *noFix = false;
  return !info.Items.empty();
}

QString GpsConvertersOpenFilter()
{
  QString masks, pairs;
  for (const TGpsInfoConverter *converter : GpsImportConverters()) {
    const QString mask = QStringLiteral("*.") + converter->GetExt();
    if (masks.contains(mask + QLatin1Char(';'))) continue;
    masks += mask + QLatin1Char(';');
    pairs += mask + QLatin1Char('|') + mask + QLatin1Char('|');
  }
  QString spaced = masks;
  spaced.replace(QLatin1Char(';'), QStringLiteral("  "));
  return Translate(u"Filter_AllFiles") + QStringLiteral("|*.*|") + Translate(u"Filter_AllSupported") +
         QStringLiteral("  ( ") + spaced + QStringLiteral(")|") + masks + QLatin1Char('|') + pairs;
}

} // namespace kp
