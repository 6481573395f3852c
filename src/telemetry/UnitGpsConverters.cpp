#include "UnitGpsConverters.h"

#include <QFileInfo>
#include <algorithm>
#include <exception>

namespace kp {

namespace {

constexpr int kHeadLength = 512;
constexpr int kMinTextLength = 10;
// 0.1 s: a re-timed block ends this long before the first fix of the next.
constexpr double kBlockGap = 1.1574074074074074e-06;

// Items of the earlier blocks move by one common amount so that the latest of
// them lies just before the first fix of the new block.
void RetimeEarlierBlocks(TTrackInfo &info, int count)
{
  const TDateTime lastTime = info.Items[count - 1].Time;
  bool haveDelta = false;
  double delta = 0;
  for (int j = count - 2; j >= 0; --j) {
    TTrackInfoItem &item = info.Items[j];
    if (item.Time <= 1.0) continue; // untimed samples stay untimed
    if (!haveDelta) {
      delta = lastTime - item.Time - kBlockGap;
      haveDelta = true;
    }
    item.Time += delta;
  }
}

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

bool TGpsInfoConverter::ParseLine(QByteArrayView, TParseContext &, TTrackInfoItem &, TTrackInfo &) const
{
  return false;
}

void TGpsInfoConverter::AddLine(QByteArrayView line, TParseContext &ctx, TTrackInfo &info) const
{
  auto &items = info.Items;
  if (items.size() <= static_cast<size_t>(ctx.Count))
    items.resize(2 * std::max<size_t>(16, items.size()));
  items[ctx.Count] = TTrackInfoItem{};
  TTrackInfoItem &item = items[ctx.Count];
  if (!ParseLine(line, ctx, item, info) || ctx.Skip) return;
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
  for (qsizetype pos = 0; pos <= length; ++pos) {
    const bool atEnd = pos == length;
    const char c = atEnd ? '\n' : text[pos];
    if (c != '\n' && c != '\r') {
      if (lineStart < 0) lineStart = pos;
      continue;
    }
    if (lineStart < 0) continue; // empty lines never reach a parser
    const QByteArrayView line = text.sliced(lineStart, pos - lineStart);
    lineStart = -1;
    ctx.Skip = false;
    AddLine(line, ctx, info);
    if (!ctx.Skip) {
      if (ctx.BlockStart && ctx.Count >= 3) {
        const TTrackInfoItem &last = info.Items[ctx.Count - 1];
        if (last.Kind == ikGps && last.Time > 1.0) {
          ctx.BlockStart = false;
          RetimeEarlierBlocks(info, ctx.Count);
        }
      }
      ++ctx.LineNo;
    }
    if (GivesUp(ctx)) {
      gaveUp = true;
      break;
    }
  }
  if (gaveUp) ctx.Count = 0;
  info.Items.resize(ctx.Count);
  return ctx.Count >= 1;
}

bool TGpsInfoConverter::Load(QByteArrayView text, TTrackInfo &info) const
{
  bool ok = false;
  try {
    const qsizetype presize = std::min<qsizetype>(text.size() / 50, 4000) + 16;
    info.Items.assign(static_cast<size_t>(presize), TTrackInfoItem{});
    TParseContext ctx;
    if (FNeedsLock) {
      std::lock_guard<std::mutex> guard(FLock);
      ok = ParseText(text, info, ctx);
    } else {
      ok = ParseText(text, info, ctx);
    }
  } catch (const std::exception &) {
    ok = false;
  } catch (...) {
    ok = false;
  }
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

QString TGpsInfoConverter::GetCaption() const
{
  return GetName() + QStringLiteral(" (.") + GetExt() + QLatin1Char(')');
}

QString TGpsInfoConverter::GetFilter() const
{
  return GetCaption() + QStringLiteral("|*.") + GetExt() + QLatin1Char('|');
}

// ---------------------------------------------------------------- detection

bool GpsConvertersLoad(const QByteArray &text, const QString &fileName, TTrackInfo &info)
{
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
    for (size_t i = 0; i < converters.size() && !loaded; ++i) {
      if (!converters[i]->CanRead(head)) continue;
      tried[i] = true;
      loaded = converters[i]->Load(text, info);
    }
    // By extension; the found path carries the on-disk spelling ("….LOG"),
    // so the comparison ignores case.
    const QString ext = QFileInfo(fileName).suffix();
    for (size_t i = 0; i < converters.size() && !loaded; ++i) {
      if (tried[i] || ext.compare(converters[i]->GetExt(), Qt::CaseInsensitive) != 0) continue;
      loaded = converters[i]->Load(text, info);
    }
  }
  TGpsInfoConverter::LoadGSensorSideFile(info);
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
  return QStringLiteral("All files|*.*|All supported formats  ( ") + spaced + QStringLiteral(")|") + masks +
         QLatin1Char('|') + pairs;
}

} // namespace kp
