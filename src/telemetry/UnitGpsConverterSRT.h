#pragma once
// SubRip subtitles: one entry per fix with its date, position, speed and trip,
// shown from that fix until the next (at most 6 s, the last one 1 s). The
// same entries feed the text track of a cut movie.

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterSRT : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("Subtitles"); }
  QString GetExt() const override { return QStringLiteral("srt"); }
  void WriteTrack(const TTrackInfo &info, TStringBuffer &output) const override;
};

// One entry per GPS item of Info, timed from BaseTime (the first fix's time
// when BaseTime <= 0); the trip shown counts from BaseTrip. Shown, when
// given, holds the time each entry shows, per GPS item in order (a fix
// re-timed for a faster movie still shows when it was taken).
void SrtBuildEntries(const TTrackInfo &info, TSubtitleItems &entries, double baseTrip, TDateTime baseTime,
                     const std::vector<TDateTime> *shown = nullptr);
// The SubRip text of Entries, numbered from 1, without a byte-order mark.
QByteArray SrtEntriesToText(const TSubtitleItems &entries);
// "hh:mm:ss,zzz" of a span in days; hours wrap at 24.
QByteArray SrtFormatTime(double span);

} // namespace kp
