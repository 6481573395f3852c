#pragma once
// GPS eXchange Format 1.0: one track of one segment, times in UTC.

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterGPX : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("GPS eXchange Format"); }
  QString GetExt() const override { return QStringLiteral("gpx"); }
  bool CanRead(QByteArrayView head) const override;
  void WriteTrack(const TTrackInfo &info, TStringBuffer &output) const override;
  bool ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const override;
  void GetSignatureChars(TCharSet &required, TCharSet &forbidden) const override;
};

// Text for an XML element or attribute value, UTF-8, with & < > " escaped.
QByteArray XmlEscape(const QString &text);

// The value of Key in an element's text: its first occurrence, then past
// any quote, "<", "=" or ">", up to the next of those (so an attribute and a
// child element read alike). Empty when the key does not occur.
QByteArrayView GpxValue(QByteArrayView element, QByteArrayView key);

} // namespace kp
