// The G-sensor side file (".3gf"): 10-byte big-endian records without a
// header: time in ms (any origin), then Z, X and Y in 1/128 g.

#include "ByteStream.h"
#include "UnitGpsConverters.h"

#include <algorithm>

namespace kp {

namespace {

constexpr int kRecordSize = 10;
constexpr double kMsInDays = 1.1574074074074074e-08;

struct TSideRecord {
  int32_t Ms;
  int16_t Z, X, Y;
};

// Only the file name's extension is replaced, never a dotted folder's.
QString SideFileName(const QString &trackName)
{
  const qsizetype dot = trackName.lastIndexOf(QLatin1Char('.'));
  const qsizetype sep = trackName.lastIndexOf(QLatin1Char('/'));
  const QString base = dot > sep ? trackName.left(dot) : trackName;
  return base + QStringLiteral(".3gf");
}

bool ReadRecords(const QString &path, std::vector<TSideRecord> &records)
{
  try {
    TFileStream file(path);
    const int64_t count = file.Size() / kRecordSize;
    if (count < 1) return false;
    TMemoryStream data(file.ReadBlock(count * kRecordSize));
    records.resize(static_cast<size_t>(count));
    for (TSideRecord &r : records) {
      r.Ms = data.ReadI32BE();
      r.Z = data.ReadI16BE();
      r.X = data.ReadI16BE();
      r.Y = data.ReadI16BE();
    }
    return true;
  } catch (const EStreamError &) {
    return false;
  } catch (const std::bad_alloc &) {
    return false;
  }
}

} // namespace

QString GSensorSideFileOf(const QString &trackName)
{
  return trackName.isEmpty() ? QString() : FindFileNoCase(SideFileName(trackName));
}

void TGpsInfoConverter::LoadGSensorSideFile(TTrackInfo &info)
{
  const QString path = GSensorSideFileOf(info.Name);
  if (path.isEmpty()) return;
  std::vector<TSideRecord> records;
  if (!ReadRecords(path, records)) return;

  auto &items = info.Items;
  items.erase(std::remove_if(items.begin(), items.end(), [](const TTrackInfoItem &it) { return it.Kind == ikGSensor; }),
              items.end());
  TDateTime anchor = 0;
  if (!items.empty()) {
    anchor = items.back().Time;
  } else {
    TDateTime created = 0;
    GetFileTimes(path, created, anchor);
  }
  // The last record falls on the anchor.
  const TDateTime base = anchor - double(records.back().Ms) * kMsInDays;
  // A side file too large for memory leaves the track without samples
  // rather than letting the allocation failure escape the loader.
  try {
    items.reserve(items.size() + records.size());
  } catch (const std::bad_alloc &) {
    return;
  }
  for (const TSideRecord &r : records) {
    TTrackInfoItem item;
    item.Kind = ikGSensor;
    item.Time = base + double(r.Ms) * kMsInDays;
    item.Lon = r.X / 128.0;
    item.Lat = r.Y / 128.0;
    item.Alt = r.Z / 128.0;
    items.push_back(item);
  }
}

} // namespace kp
