// The subtitle text track: 3GPP timed text samples in an mdat of their own,
// and a complete trak for them at the end of the moov.

#include "Numbers.h"
#include "UnitMOVWriter.h"
#include "UnitMOVWriterImpl.h"

#include <cmath>
#include <limits>

namespace kp {

namespace {

// A text sample's length is a 16-bit field.
constexpr int MaxTextSample = 65535;
constexpr double SecondsPerDay = 86400.0;

} // namespace

void TMOVWriter::AddTextTrack(const QByteArray &Name, uint16_t Language)
{
  TMOVTrack t;
  t.Kind = mtkText;
  t.HandlerType = "text";
  t.Codec = "TX3G";
  t.HandlerName = Name;
  t.Language = Language;
  t.Width = 640;
  t.Height = 480;
  t.TimeScale = 1000;
  // Provisional; the ID is fixed when the moov is written, above every ID
  // the template and the other tracks use.
  for (const TMOVTrack &o : Tracks) t.TrackID = std::max(t.TrackID, o.TrackID);
  if (t.TrackID < std::numeric_limits<int32_t>::max()) ++t.TrackID; // a source may use the top ID
  Tracks.push_back(std::move(t));
  CurTrack = int(Tracks.size()) - 1;
}

void TMOVWriter::SelectTextTrack()
{
  CurTrack = -1;
  for (size_t i = Tracks.size(); i-- > 0;)
    if (Tracks[i].Kind == mtkText) {
      CurTrack = int(i);
      return;
    }
}

void TMOVWriter::WriteSubtitles(const TSubtitleItems &Items)
{
  SelectTextTrack();
  if (CurTrack < 0) return;
  const TUndo undo = SaveUndo();
  try {
    BeginAtom("mdat", 0);
    for (const TSubtitleItem &item : Items) {
      const TMOVTrack &t = Tracks[CurTrack];
      const double ts = t.TimeScale;
      const double c = double(t.Duration);
      double a = item.StartTime * SecondsPerDay;
      const double b = item.EndTime * SecondsPerDay;
      if (!std::isfinite(a) || !std::isfinite(b) || ts <= 0) continue;
      const int64_t sa = Round(a * ts);
      const int64_t sb = Round(b * ts);
      if (sa >= sb || c >= double(sb)) continue;
      if (c > double(sa))
        a = c / ts; // overlaps what is written: starts at the current end
      else if (c < double(sa))
        WriteTextSample(QByteArray(), a - c / ts); // a gap: an empty sample fills it
      WriteTextSample(item.Text, b - a);
    }
    EndAtom();
  } catch (...) {
    Rollback(undo);
    throw;
  }
}

void TMOVWriter::WriteTextSample(const QByteArray &Text, double Seconds)
{
  TMOVTrack *t = Current();
  if (!t || !(Seconds > 0)) return;
  const int64_t duration = Round(t->TimeScale * Seconds);
  if (duration <= 0) return; // shorter than the track's time unit
  const QByteArray text = TruncateUtf8(Text, MaxTextSample);
  TMOVSample s;
  s.Offset = GetPos();
  FOut->Seek(s.Offset);
  WriteWord(uint16_t(text.size()));
  WriteStr(text);
  s.Size = int32_t(text.size()) + 2;
  s.Duration = double(duration);
  t->Samples.push_back(s);
  t->Duration += duration;
}

// ---------------------------------------------------------------- the trak

void TMOVWriter::WriteTextTrak()
{
  TMOVTrack *t = Current();
  if (!t) return;
  if (const TMOVTrack *v = FindVideoTrack()) {
    t->Width = v->Width;
    t->Height = v->Height;
  }
  t->Written = true;
  FHighestWrittenID = std::max(FHighestWrittenID, t->TrackID);
  BeginAtom("trak", 0);
  WriteTextTkhd(*t);
  WriteTextMdia(*t);
  EndAtom();
}

void TMOVWriter::WriteTextTkhd(const TMOVTrack &t)
{
  BeginAtom("tkhd", 92);
  WriteVersionFlags(0, 0, 0, 3); // enabled, in the movie
  WriteDWord(0);
  WriteDWord(0);
  WriteDWord(uint32_t(t.TrackID));
  WriteDWord(0);
  WriteDWord(uint32_t(MovieUnits(t)));
  WriteInt64(0);
  WriteWord(0); // layer
  WriteWord(0); // alternate group
  WriteWord(0); // volume
  WriteWord(0);
  for (uint32_t m : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u}) WriteDWord(m);
  WriteDWord(uint32_t(t.Width) << 16);
  WriteDWord(uint32_t(t.Height) << 16);
  EndAtom();
}

void TMOVWriter::WriteTextMdia(const TMOVTrack &t)
{
  BeginAtom("mdia", 0);
  WriteTextMdhd(t);
  WriteTextHdlr(t);
  WriteTextMinf();
  EndAtom();
}

void TMOVWriter::WriteTextMdhd(const TMOVTrack &t)
{
  BeginAtom("mdhd", 32);
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(0);
  WriteDWord(0);
  WriteDWord(uint32_t(t.TimeScale));
  WriteDWord(uint32_t(t.Duration));
  WriteWord(t.Language);
  WriteWord(0);
  EndAtom();
}

// The name is a counted string, as QuickTime files hold it.
void TMOVWriter::WriteTextHdlr(const TMOVTrack &t)
{
  const QByteArray name = TruncateUtf8(t.HandlerName, 255);
  BeginAtom("hdlr", 33 + int32_t(name.size()));
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(0);
  WriteStr("text");
  WriteDWord(0);
  WriteDWord(0);
  WriteDWord(0);
  WriteByte(uint8_t(name.size()));
  WriteStr(name);
  EndAtom();
}

void TMOVWriter::WriteTextMinf()
{
  BeginAtom("minf", 0);
  WriteGmhd();
  WriteDinf();
  BeginAtom("stbl", 0);
  WriteTextStsd(*Current());
  WriteStts();
  WriteStsc();
  WriteStsz();
  WriteChunkOffsets();
  EndAtom();
  EndAtom();
}

void TMOVWriter::WriteGmhd()
{
  BeginAtom("gmhd", 0);
  BeginAtom("gmin", 24);
  WriteVersionFlags(0, 0, 0, 0);
  WriteWord(0x0040); // graphics mode: copy
  WriteWord(0xFFFF);
  WriteWord(0xFFFF);
  WriteWord(0xFFFF);
  WriteWord(0); // balance
  WriteWord(0);
  EndAtom();
  EndAtom();
}

void TMOVWriter::WriteDinf()
{
  BeginAtom("dinf", 0);
  BeginAtom("dref", 28);
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(1);
  BeginAtom("url ", 12);
  WriteVersionFlags(0, 0, 0, 1); // the data is in this file
  EndAtom();
  EndAtom();
  EndAtom();
}

void TMOVWriter::WriteTextStsd(const TMOVTrack &t)
{
  BeginAtom("stsd", 85);
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(1);
  BeginAtom("tx3g", 69);
  for (int i = 0; i < 6; ++i) WriteByte(0);
  WriteWord(1);           // data reference index
  WriteDWord(0x00001000); // display flags
  WriteByte(1);           // centred
  WriteByte(0xFF);        // bottom
  WriteDWord(0);          // background colour
  WriteWord(0);           // text box top, left, bottom, right
  WriteWord(0);
  WriteWord(uint16_t(t.Height));
  WriteWord(uint16_t(t.Width));
  WriteWord(0); // style start and end character
  WriteWord(0);
  WriteWord(1);           // font ID
  WriteByte(0x10);        // face style flags
  WriteByte(0x20);        // font size 32
  WriteDWord(0xFFFFFFFF); // text colour: opaque white
  BeginAtom("ftab", 23);
  WriteWord(1);
  WriteWord(1);
  WriteByte(10);
  WriteStr("Sans-Serif");
  EndAtom();
  EndAtom();
  EndAtom();
}

} // namespace kp
