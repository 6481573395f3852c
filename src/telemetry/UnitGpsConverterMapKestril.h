#pragma once
// The maker's own ".map" files: a 30-byte header, then 251-byte records whose
// bytes are scrambled with a one-byte key. A de-scrambled byte is a character
// code (digits for numbers, fixed codes for flags and markers).

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterMapKestril : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("Kestril"); }
  QString GetExt() const override { return QStringLiteral("map"); }
  QString GetId() const override { return QStringLiteral("map800"); }
  bool CanRead(QByteArrayView head) const override;
  bool ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const override;

  static constexpr int HeaderSize = 30;
  static constexpr int RecordSize = 251;
  static constexpr uint8_t Key = 0x93;
  // The character code of a stored byte; may exceed 255.
  static int Descramble(uint8_t stored) { return (stored ^ Key) + 48; }
  // A record's time stamp at Offset (yyyymmddhhnnss), local time as stored;
  // 0 when its year is outside 2011..2049 or the date does not exist.
  static TDateTime StampAt(const uint8_t *record, int offset);
};

} // namespace kp
