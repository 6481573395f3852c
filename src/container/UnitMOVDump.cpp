// A stable, line-oriented text of a parsed movie. Numbers are printed as
// integers or with to_chars, never through the locale.

#include "UnitMOV.h"

#include <charconv>

namespace kp {

namespace {

QString Num(double v)
{
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return QString::fromLatin1(buf, int(r.ptr - buf));
}

// Printable ASCII as is, every other byte as \xHH.
QString Quoted(const QByteArray &bytes)
{
  QString s = QStringLiteral("\"");
  for (char c : bytes) {
    const auto u = uint8_t(c);
    if (u >= 0x20 && u < 0x7F && c != '"' && c != '\\')
      s += QLatin1Char(c);
    else
      s += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
  }
  return s + QLatin1Char('"');
}

const char *KindName(TMOVTrackKind k)
{
  switch (k) {
  case mtkVideo: return "video";
  case mtkAudio: return "audio";
  case mtkText: return "text";
  default: return "other";
  }
}

QString DumpSample(int i, const TMOVSample &s)
{
  return QStringLiteral("  sample %1 offset=%2 dts=%3 duration=%4 size=%5 cto=%6 dep=%7 key=%8\n")
      .arg(i)
      .arg(s.Offset)
      .arg(s.DecodeTime)
      .arg(Num(s.Duration))
      .arg(s.Size)
      .arg(s.CompositionOffset)
      .arg(s.DependencyFlags)
      .arg(s.KeyFrame ? 1 : 0);
}

QString DumpTrack(int index, const TMOVTrack &t, int maxSamples)
{
  QString s = QStringLiteral("track %1 id=%2 kind=%3 handler=%4 codec=%5 name=%6 language=%7\n")
                  .arg(index)
                  .arg(t.TrackID)
                  .arg(QLatin1String(KindName(t.Kind)), Quoted(t.HandlerType), Quoted(t.Codec), Quoted(t.HandlerName))
                  .arg(t.Language);
  s += QStringLiteral("  timescale=%1 duration=%2 duration_ms=%3 size=%4x%5 created=%6\n")
           .arg(t.TimeScale)
           .arg(t.Duration)
           .arg(t.DurationMs)
           .arg(t.Width)
           .arg(t.Height)
           .arg(Num(t.CreationTime));
  s += QStringLiteral("  sample_count=%1 total_bytes=%2 pcm_frame=%3 listed=%4\n")
           .arg(t.SampleCount)
           .arg(t.TotalBytes)
           .arg(t.PCMFrameSize)
           .arg(qulonglong(t.Samples.size()));
  const int n = std::min<int>(maxSamples, int(t.Samples.size()));
  for (int i = 0; i < n; ++i) s += DumpSample(i, t.Samples[i]);
  return s;
}

} // namespace

QString DumpMOV(const TMOVBaseFile &movie, int maxSamples)
{
  QString s;
  if (const auto *reader = dynamic_cast<const TMOVReader *>(&movie))
    s += QStringLiteral("moov pos=%1 size=%2\n").arg(reader->MoovPos).arg(reader->MoovSize);
  s += QStringLiteral("movie timescale=%1 duration=%2 duration_ms=%3 created=%4 tracks=%5\n")
           .arg(movie.TimeScale)
           .arg(movie.Duration)
           .arg(movie.DurationMs)
           .arg(Num(movie.CreationTime))
           .arg(qulonglong(movie.Tracks.size()));
  for (size_t i = 0; i < movie.Tracks.size(); ++i) s += DumpTrack(int(i), movie.Tracks[i], maxSamples);
  return s;
}

} // namespace kp
