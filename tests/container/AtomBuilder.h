#pragma once
// Builds movie atoms in memory for the reader's edge cases.

#include "ByteStream.h"
#include "UnitMOV.h"

#include <QByteArray>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace kptest {

// Big-endian field writer.
class Bytes {
public:
  Bytes &u8(uint8_t v) { return raw(QByteArray(1, char(v))); }
  Bytes &u16(uint16_t v) { return u8(uint8_t(v >> 8)).u8(uint8_t(v)); }
  Bytes &u32(uint32_t v) { return u16(uint16_t(v >> 16)).u16(uint16_t(v)); }
  Bytes &u64(uint64_t v) { return u32(uint32_t(v >> 32)).u32(uint32_t(v)); }
  Bytes &tag(const char *fourCC) { return raw(QByteArray(fourCC, 4)); }
  Bytes &zeros(int n) { return raw(QByteArray(n, '\0')); }
  Bytes &raw(const QByteArray &b)
  {
    d += b;
    return *this;
  }
  operator QByteArray() const { return d; }
  QByteArray d;
};

inline QByteArray Atom(const char *type, const QByteArray &body)
{
  return Bytes().u32(uint32_t(body.size() + 8)).tag(type).raw(body);
}

inline QByteArray Atom(const char *type, std::initializer_list<QByteArray> children)
{
  QByteArray body;
  for (const QByteArray &c : children) body += c;
  return Atom(type, body);
}

inline QByteArray FullAtom(const char *type, uint8_t version, const QByteArray &body)
{
  return Atom(type, Bytes().u8(version).zeros(3).raw(body));
}

inline QByteArray Ftyp()
{
  return Atom("ftyp", Bytes().tag("qt  ").u32(0).tag("qt  "));
}

inline QByteArray Mvhd0(uint32_t created, int32_t timeScale, uint32_t duration)
{
  return FullAtom("mvhd", 0, Bytes().u32(created).u32(created).u32(uint32_t(timeScale)).u32(duration).zeros(80));
}

inline QByteArray Mvhd1(int32_t timeScale, uint64_t duration)
{
  return FullAtom("mvhd", 1, Bytes().u64(1).u64(1).u32(uint32_t(timeScale)).u64(duration).zeros(80));
}

// Width and height in whole pixels (stored as 16.16).
inline QByteArray Tkhd0(uint32_t created, int32_t id, uint32_t duration, uint32_t width, uint32_t height)
{
  return FullAtom("tkhd", 0,
                  Bytes()
                      .u32(created)
                      .u32(created)
                      .u32(uint32_t(id))
                      .u32(0)
                      .u32(duration)
                      .zeros(52)
                      .u32(width << 16)
                      .u32(height << 16));
}

inline QByteArray Tkhd1(int32_t id, uint64_t duration, uint32_t width, uint32_t height)
{
  return FullAtom(
      "tkhd", 1,
      Bytes().u64(5).u64(5).u32(uint32_t(id)).u32(0).u64(duration).zeros(52).u32(width << 16).u32(height << 16));
}

inline QByteArray Enof(uint32_t width, uint32_t height)
{
  return FullAtom("enof", 0, Bytes().u32(width << 16).u32(height << 16));
}

inline QByteArray Mdhd(uint8_t version, int32_t timeScale, uint64_t duration, uint16_t language)
{
  Bytes b;
  if (version == 1)
    b.u64(0).u64(0).u32(uint32_t(timeScale)).u64(duration);
  else if (version == 0)
    b.u32(0).u32(0).u32(uint32_t(timeScale)).u32(uint32_t(duration));
  return FullAtom("mdhd", version, b.u16(language).u16(0));
}

inline QByteArray Hdlr(const char *subtype, const QByteArray &name)
{
  return FullAtom("hdlr", 0, Bytes().tag("mhlr").tag(subtype).zeros(12).raw(name));
}

inline QByteArray Stsd(const char *format)
{
  return FullAtom("stsd", 0, Bytes().u32(1).u32(16).tag(format).zeros(8));
}

// A counted table of 32-bit words: entry count, then the entries.
inline QByteArray Table32(const char *name, const std::vector<uint32_t> &words, uint32_t perEntry = 1)
{
  Bytes b;
  b.u32(uint32_t(words.size() / perEntry));
  for (uint32_t w : words) b.u32(w);
  return FullAtom(name, 0, b);
}

// (count, delta) and (count, offset) pairs.
inline QByteArray Stts(const std::vector<std::pair<uint32_t, uint32_t>> &entries)
{
  std::vector<uint32_t> w;
  for (auto [count, delta] : entries) w.insert(w.end(), {count, delta});
  return Table32("stts", w, 2);
}

inline QByteArray Ctts(const std::vector<std::pair<uint32_t, int32_t>> &entries)
{
  std::vector<uint32_t> w;
  for (auto [count, offset] : entries) w.insert(w.end(), {count, uint32_t(offset)});
  return Table32("ctts", w, 2);
}

inline QByteArray StszConstant(uint32_t size, uint32_t count)
{
  return FullAtom("stsz", 0, Bytes().u32(size).u32(count));
}

inline QByteArray Stsz(const std::vector<uint32_t> &sizes)
{
  return FullAtom("stsz", 0, Bytes().u32(0).raw(Table32("stsz", sizes).mid(12)));
}

// (first chunk, 1-based; samples per chunk)
inline QByteArray Stsc(const std::vector<std::pair<uint32_t, uint32_t>> &entries)
{
  std::vector<uint32_t> w;
  for (auto [first, perChunk] : entries) w.insert(w.end(), {first, perChunk, 1});
  return Table32("stsc", w, 3);
}

inline QByteArray Stco(const std::vector<uint32_t> &offsets)
{
  return Table32("stco", offsets);
}

inline QByteArray Co64(const std::vector<uint64_t> &offsets)
{
  Bytes b;
  b.u32(uint32_t(offsets.size()));
  for (uint64_t o : offsets) b.u64(o);
  return FullAtom("co64", 0, b);
}

// 1-based sample numbers, as stored.
inline QByteArray Stss(const std::vector<uint32_t> &numbers)
{
  return Table32("stss", numbers);
}

inline QByteArray Sdtp(const QByteArray &flags)
{
  return FullAtom("sdtp", 0, flags);
}

// trak > (tkhd, mdia > (mdhd, hdlr, minf > stbl > (stsd, tables...))); no
// stsd when codec is null.
inline QByteArray Trak(const QByteArray &tkhd, const QByteArray &mdhd, const char *handler, const char *codec,
                       const QByteArray &tables)
{
  return Atom("trak",
              {tkhd, Atom("mdia", {mdhd, Hdlr(handler, QByteArray("\x0bTestHandler", 12)),
                                   Atom("minf", {Atom("stbl", {codec ? Stsd(codec) : QByteArray(), tables})})})});
}

// One track in a movie whose mdat (of mdatSize bytes) starts at file offset
// MdatData, so chunk offsets can be given relative to it.
constexpr uint32_t MdatData = 20 + 8;

inline QByteArray OneTrack(const char *handler, const char *codec, const QByteArray &tables, int mdatSize,
                           int32_t scale = 1000, uint32_t duration = 1000)
{
  const QByteArray trak = Trak(Tkhd0(0, 1, duration, 320, 240), Mdhd(0, scale, duration, 0), handler, codec, tables);
  return Ftyp() + Atom("mdat", QByteArray(mdatSize, '\0')) + Atom("moov", Mvhd0(0, scale, duration) + trak);
}

// ftyp, then the moov and an mdat of mdatSize zero bytes in either order.
inline QByteArray Movie(const QByteArray &moovBody, int mdatSize = 0, bool moovFirst = true)
{
  const QByteArray moov = Atom("moov", moovBody);
  const QByteArray mdat = Atom("mdat", QByteArray(mdatSize, '\0'));
  return Ftyp() + (moovFirst ? moov + mdat : mdat + moov);
}

inline std::unique_ptr<kp::TMOVReader> Read(const QByteArray &file, bool headerOnly = false)
{
  return std::make_unique<kp::TMOVReader>(std::make_unique<kp::TMemoryStream>(file), headerOnly);
}

} // namespace kptest
