#include "CatalogueFixtures.h"
#include "UnitGpsConverters.h"

#include <QFile>

#include <sys/stat.h>

namespace kpcat {

namespace {

class TBytes {
public:
  TBytes &U8(uint8_t v)
  {
    d.append(char(v));
    return *this;
  }
  TBytes &U16(uint16_t v) { return U8(uint8_t(v >> 8)).U8(uint8_t(v)); }
  TBytes &U32(uint32_t v) { return U16(uint16_t(v >> 16)).U16(uint16_t(v)); }
  TBytes &Tag(const char *t)
  {
    d.append(t, 4);
    return *this;
  }
  TBytes &Zeros(int n)
  {
    d.append(QByteArray(n, '\0'));
    return *this;
  }
  TBytes &Raw(const QByteArray &b)
  {
    d.append(b);
    return *this;
  }
  QByteArray d;
};

QByteArray Atom(const char *type, const QByteArray &body)
{
  return TBytes().U32(uint32_t(body.size() + 8)).Tag(type).Raw(body).d;
}

QByteArray Full(const char *type, const QByteArray &body)
{
  return Atom(type, TBytes().U32(0).Raw(body).d);
}

} // namespace

QByteArray MovieBytes(int64_t durationMs, int width, int height, int fps)
{
  const uint32_t scale = 1000;
  const uint32_t frames = uint32_t(std::max<int64_t>(1, durationMs * fps / 1000));
  const uint32_t delta = uint32_t(std::max<int64_t>(1, durationMs / frames));
  const uint32_t duration = frames * delta;
  const QByteArray mvhd = Full("mvhd", TBytes().U32(0).U32(0).U32(scale).U32(duration).Zeros(80).d);
  const QByteArray tkhd = Full("tkhd", TBytes()
                                           .U32(0)
                                           .U32(0)
                                           .U32(1)
                                           .U32(0)
                                           .U32(duration)
                                           .Zeros(52)
                                           .U32(uint32_t(width) << 16)
                                           .U32(uint32_t(height) << 16)
                                           .d);
  const QByteArray mdhd = Full("mdhd", TBytes().U32(0).U32(0).U32(scale).U32(duration).U16(0x55C4).U16(0).d);
  const QByteArray hdlr = Full("hdlr", TBytes().Tag("mhlr").Tag("vide").Zeros(12).U8(0).d);
  const QByteArray stsd = Full("stsd", TBytes().U32(1).U32(16).Tag("avc1").Zeros(8).d);
  const QByteArray stts = Full("stts", TBytes().U32(1).U32(frames).U32(delta).d);
  // One byte a frame keeps a fragment tiny while every sample lies in the file.
  const QByteArray stsz = Full("stsz", TBytes().U32(1).U32(frames).d);
  const QByteArray stsc = Full("stsc", TBytes().U32(1).U32(1).U32(frames).U32(1).d);
  const QByteArray ftyp = Atom("ftyp", TBytes().Tag("qt  ").U32(0).Tag("qt  ").d);
  const auto moovWith = [&](uint32_t dataOffset) {
    const QByteArray stco = Full("stco", TBytes().U32(1).U32(dataOffset).d);
    const QByteArray stbl = Atom("stbl", stsd + stts + stsz + stsc + stco);
    const QByteArray mdia = Atom("mdia", mdhd + hdlr + Atom("minf", stbl));
    return Atom("moov", mvhd + Atom("trak", tkhd + mdia));
  };
  const uint32_t dataOffset = uint32_t(ftyp.size() + moovWith(0).size() + 8);
  return ftyp + moovWith(dataOffset) + Atom("mdat", QByteArray(int(frames), '\x01'));
}

QByteArray DatTrackBytes(kp::TDateTime start, int seconds, double speedKmh)
{
  kp::TTrackInfo info;
  const double stepDeg = speedKmh / 3.6 / kp::MetresPerDegree;
  for (int s = 0; s <= seconds; ++s) {
    kp::TTrackInfoItem item;
    item.Kind = kp::ikGps;
    item.Time = start + s / kp::SecsPerDay;
    item.Lon = 30.5;
    item.Lat = 50.4 + stepDeg * s;
    item.Alt = 150;
    item.Course = 0;
    item.Speed = speedKmh;
    info.Items.push_back(item);
  }
  info.StartTime = start;
  info.EndTime = start + seconds / kp::SecsPerDay;
  QByteArray text;
  kp::GpsDefaultConverter().ExportToText(info, text);
  return text;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(bytes) == bytes.size();
}

TFakeFileTimes::TFakeFileTimes()
{
  kp::SetFileTimesSource([this](const QString &path, kp::TDateTime &created, kp::TDateTime &modified) {
    std::lock_guard<std::mutex> lock(FLock);
    const auto it = FTimes.constFind(path);
    if (it == FTimes.constEnd()) {
      struct stat st {};
      if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
      created = 0;
      modified = kp::UnixToDateTime(double(st.st_mtim.tv_sec)) + kp::LocalTimeOffset();
      return true;
    }
    created = it->first;
    modified = it->second;
    return true;
  });
}

TFakeFileTimes::~TFakeFileTimes()
{
  kp::SetFileTimesSource({});
}

void TFakeFileTimes::Set(const QString &path, kp::TDateTime created, kp::TDateTime modified)
{
  std::lock_guard<std::mutex> lock(FLock);
  FTimes.insert(path, {created, modified});
}

kp::TDateTime At(int hour, int minute, int second)
{
  return kp::EncodeDateTimeOr0(2024, 5, 10, hour, minute, second);
}

} // namespace kpcat
