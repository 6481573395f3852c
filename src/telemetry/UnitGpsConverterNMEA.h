#pragma once
// Plain NMEA 0183 logs (".nmea"). RMC and GGA sentences of the satellite
// talkers (GP, GN, GL, GA, GB, GQ) make fixes: GGA lends its altitude to the
// RMC that follows it. A sentence whose checksum does not match is skipped. Two G-sensor
// sentences of camera logs are read as untimed samples:
//   $GSENSOR,x,y,z*cs     thousandths of g
//   $A y x z              g, blank-separated

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterNMEA : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("National Marine Electronics Association"); }
  QString GetExt() const override { return QStringLiteral("nmea"); }
  QString GetId() const override { return QStringLiteral("NMEA"); }
  bool CanRead(QByteArrayView head) const override;
  bool ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const override;
  bool ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &info) const override;
  void GetSignatureChars(TCharSet &required, TCharSet &forbidden) const override;
};

enum class TNmeaSentence { None, BadChecksum, Good };
enum class TNmeaFix { None, RMC, GGA };

// Whether Sentence is a well-formed NMEA sentence: "$", a talker and sentence
// name of five letters or digits, comma-separated printable fields and an
// optional "*hh" checksum. Good cuts a matching checksum (and trailing
// blanks) off Sentence.
TNmeaSentence CheckNmeaSentence(QByteArrayView &sentence);
// RMC or GGA of a satellite talker, by the sentence's name.
TNmeaFix NmeaFixKind(QByteArrayView sentence);

// One sentence as the NMEA and the BlackVue readers take it: RMC fills Item
// (with the held GGA altitude) and returns true; GGA holds its altitude;
// every other well-formed sentence (or "$GP" one), a sentence with a wrong
// checksum and an RMC without a date and time (a receiver's cold start) set
// Skip so they count towards no give-up rule. Anything else returns false.
bool ParseGpSentence(QByteArrayView sentence, TParseContext &ctx, TTrackInfoItem &item);

// Up to Max comma-separated fields of a line as views into it (empty fields
// kept); the number of fields the line has, which may exceed Max.
int CommaFieldViews(QByteArrayView line, QByteArrayView *fields, int max);

// Splits a sentence at its commas into Fields (empty fields kept), as
// SplitStringCount does for a single delimiter; the field count.
int SplitCommaFields(QByteArrayView line, TArrayBytes &fields);

// Drops one or two stray fixes after a final gap of more than 6 s.
void TrimStrayTailFixes(TTrackInfo &info);

} // namespace kp
