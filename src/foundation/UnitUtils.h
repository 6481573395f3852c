#pragma once
// Shared records and small routines every subsystem uses: the byte buffer in
// which exported texts are built, locale-independent number text, string
// splitting, date and time text, geodesy and NMEA fields.

#include "DateTime.h"
#include "Numbers.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace kp {

using TArrayString = QStringList;
using TArrayBytes = QList<QByteArray>;
using TArrayInteger = std::vector<int32_t>;

// ---------------------------------------------------------------- records

// The fields a GPS fix shares with a telemetry point, copied as one block in
// both directions (track item <-> moving point).
struct TFixBlock {
  TDateTime Time = 0; // local time; 0 = no time
  double Lon = 0;     // degrees east, or X acceleration in g for a G-sensor item
  double Lat = 0;     // degrees north, or Y in g
  double Alt = 0;     // metres, or Z in g
  double Course = -1; // degrees, -1 unknown
  double Speed = -1;  // km/h, -1 unknown
  double Trip = 0;    // metres from the track start
  bool NoFix = false; // the fix carries no valid position
};

enum TTrackInfoItemKind : uint8_t { ikNone = 0, ikGps = 1, ikGSensor = 2 };

struct TTrackInfoItem : TFixBlock {
  uint8_t Kind = ikNone;

  TFixBlock &block() { return *this; }
  const TFixBlock &block() const { return *this; }
};

struct TTrackInfo {
  QString Name;
  QString Description;
  std::vector<TTrackInfoItem> Items;
  // Where each trip after the first begins in Items, ascending: the formats
  // that have segments start one there, so trips hours apart are never
  // drawn as one line.
  std::vector<size_t> TripStarts;
  // A cut's track: its times are the cut movie's (a slowed or sped-up
  // piece's fixes stand as far apart as the movie shows them) and its fixes
  // were cleaned when they were cut.
  bool CutTrack = false;
  double MinLon = 0, MaxLat = 0, MaxLon = 0, MinLat = 0;
  double CentreLon = 0, CentreLat = 0;
  double Width = 0, Height = 0;
  TDateTime StartTime = 0, EndTime = 0;
  double Length = 0;
  double AvgSpeed = 0;
};

struct TSubtitleItem {
  QByteArray Text;      // UTF-8, lines separated by " " CR LF
  double StartTime = 0; // days from the start of the output
  double EndTime = 0;
};
using TSubtitleItems = std::vector<TSubtitleItem>;

struct TGeoPoint {
  double X = 0; // longitude
  double Y = 0; // latitude
};

// ---------------------------------------------------------------- buffer

// Growable byte buffer for building export texts: capacity at least 64,
// doubled as needed so appending is amortised constant time.
class TStringBuffer {
public:
  explicit TStringBuffer(int capacity = 64);
  void Append(const QByteArray &text);
  void Append(const char *text);
  void Append(QByteArrayView text);
  QByteArray GetText() const { return QByteArray(FData.data(), FLength); }
  int GetLength() const { return FLength; }
  int Capacity() const { return static_cast<int>(FData.size()); }
  void Clear() { FLength = 0; }

private:
  std::vector<char> FData;
  int FLength = 0;
};

// ---------------------------------------------------------------- numbers

// Reads a number written with "." or "," as decimal point (first "," then
// first "." count), surrounding blanks and one leading sign allowed; anything
// else (empty, letters, a second separator, nan, inf, hex) gives Default.
double StrToFloatAny(QStringView text, double def);
double StrToFloatAny(QByteArrayView text, double def);
// Strict decimal integer (blanks and one sign allowed), Default otherwise.
int64_t StrToInt64Def(QByteArrayView text, int64_t def);
int64_t StrToInt64Def(QStringView text, int64_t def);
inline int32_t StrToIntDef(QByteArrayView text, int32_t def)
{
  const int64_t v = StrToInt64Def(text, def);
  return (v < INT32_MIN || v > INT32_MAX) ? def : static_cast<int32_t>(v);
}
inline int32_t StrToIntDef(QStringView text, int32_t def)
{
  const int64_t v = StrToInt64Def(text, def);
  return (v < INT32_MIN || v > INT32_MAX) ? def : static_cast<int32_t>(v);
}

// General format (Fixed false): the shortest round-trip text in plain
// notation; fixed format: Digits decimals, rounded. Then everything more than
// Digits characters behind the point is cut off. Always a "." as point.
QString FloatToStrDot(double value, int digits, bool fixed = false);
QByteArray FloatToStrDotBytes(double value, int digits, bool fixed = false);
// Six decimals in fixed format: coordinates in scripts, settings and files.
QString CoordToStr(double value);
QByteArray CoordToBytes(double value);

QString IntToStrZ(int64_t n, int width);
QString IntToStr2(int64_t n);

int HexDigitValue(QChar c);
int HexByteValue(QStringView text);

// ---------------------------------------------------------------- strings

// Splits at every character of Delimiters; empty parts only with KeepEmpty.
int SplitStringCount(QStringView text, QStringView delimiters, bool keepEmpty, TArrayString &parts, int capacity = 0);
int SplitStringCount(QByteArrayView text, QByteArrayView delimiters, bool keepEmpty, TArrayBytes &parts,
                     int capacity = 0);
void SplitString(QStringView text, QStringView delimiters, bool keepEmpty, TArrayString &parts, int capacity = 0);
void SplitString(QByteArrayView text, QByteArrayView delimiters, bool keepEmpty, TArrayBytes &parts, int capacity = 0);

QString CutToken(QString &text, QStringView delimiter);
// The part of Rest before the first Delimiter (all of it when there is
// none); Rest keeps what follows the delimiter.
QByteArrayView CutTokenView(QByteArrayView &rest, char delimiter);
bool NextQueryParam(QString &query, QString &name, QString &value);
QString ExtractFileNameNoExt(const QString &path);
// Last path component (either separator), and the part before it with its
// trailing separator.
QString ExtractFileName(const QString &path);
QString ExtractFilePath(const QString &path);
// Extension with its point ("" when none), the way file names are compared.
QString ExtractFileExt(const QString &path);
QString ChangeFileExt(const QString &path, const QString &ext);

// Code pages as numbers (1251, 866, 65001, 1252, ...). Characters the target
// cannot hold become "?", except for UTF-8.
QByteArray ConvertCodePage(const QByteArray &text, int fromCodePage, int toCodePage);
QString DecodeCodePage(const QByteArray &text, int codePage);
QByteArray EncodeCodePage(const QString &text, int codePage);

QByteArray ShiftText(const QByteArray &text, int shift);
// Character sets as 256-bit masks over byte values.
struct TCharSet {
  uint64_t bits[4] = {0, 0, 0, 0};
  void add(uint8_t c) { bits[c >> 6] |= (uint64_t(1) << (c & 63)); }
  void addRange(uint8_t lo, uint8_t hi)
  {
    for (int c = lo; c <= hi; ++c) add(uint8_t(c));
  }
  void addAll(const char *chars)
  {
    while (*chars) add(uint8_t(*chars++));
  }
  bool has(uint8_t c) const { return (bits[c >> 6] >> (c & 63)) & 1; }
  bool empty() const { return !(bits[0] | bits[1] | bits[2] | bits[3]); }
};
int FindShiftKey(const QByteArray &text, const TCharSet &required, const TCharSet &allowed);

// ---------------------------------------------------------------- dates

QString DateTimeToISO(TDateTime t);
// 0 for a short text and for a date that does not exist.
TDateTime ParseDateTime19(QStringView text);
TDateTime ParseDateTime19(QByteArrayView text);
TDateTime ParseISODateTime(QStringView text);
QString MsToTimeStr(int64_t ms);
QString DurationToStr(bool showSeconds, int64_t ms);

// File times are Unix nanoseconds here; 0 means unknown.
TDateTime FileTimeToLocalDateTime(int64_t unixNanos);
int64_t LocalDateTimeToFileTime(TDateTime t);

// ---------------------------------------------------------------- files

// The whole file; empty when it does not exist or cannot be read.
QByteArray LoadFileToString(const QString &path);
// Creation (0 when the file system keeps none) and last-write times as local
// date-times; both 0 when the file cannot be examined.
bool GetFileTimes(const QString &path, TDateTime &created, TDateTime &modified);
// Tests replace where file times come from; an empty function restores the
// file system.
using TFileTimesSource = std::function<bool(const QString &path, TDateTime &created, TDateTime &modified)>;
void SetFileTimesSource(TFileTimesSource source);

// ---------------------------------------------------------------- byte order

void SwapBytesAt(uint8_t *buffer, int i, int j);
void Swap16InPlace(void *p);
void Swap32InPlace(void *p);
uint32_t SwapLong(uint32_t v);
uint64_t SwapInt64(uint64_t v);
void Swap32Array(uint32_t *values, int count);

// ---------------------------------------------------------------- geodesy

constexpr double EarthRadius = 6371000.0;
constexpr double DegToRad = 0.017453292519943295;
constexpr double MetresPerDegree = 111194.92664455874;
constexpr double CoincidenceDegrees = 8.993216059187305e-08;
// The program's knot: 1.85325 km/h (not the international 1.852).
constexpr double KnotKmh = 1.85325;

double GeoDistance(double x1, double y1, double x2, double y2);
double GeoDistanceFast(double x1, double y1, double x2, double y2);
// Azimuth counts from north towards the WEST (90 heads west).
TGeoPoint GeoDestination(double x, double y, double azimuth, double distance);
double EllipseRadius(double a, double b, double angle);

// Map page kind: 1 "google" style, 2 "yandex" style, other none.
int MapProvider();
void SetMapProvider(int provider);
QString MapLatLngJS(double x, double y);
QString MapPointJS(const TGeoPoint &p);

// ---------------------------------------------------------------- NMEA

// Local date-time from ddmmyy and hhmmss[.sss] fields (the fraction kept to
// the millisecond); 0 when the date or time does
// not exist (an empty date before the first fix included).
TDateTime NmeaDateTime(QByteArrayView date, QByteArrayView time);
double NmeaCoord(QByteArrayView text, double def);
double DegMinToDeg(double value);
void ParseNmeaRMC(const TArrayBytes &fields, TFixBlock &fix);
// The date comes from the latest stored GPS fix of Track, else from its end
// time, each less LocalTimeOffset (the UTC date).
void ParseNmeaGGA(const TArrayBytes &fields, TFixBlock &fix, const TTrackInfo &track);
// The same when only the first Count items of Track are stored (a reader
// that fills a pre-sized array); the free slots behind them are not searched.
void ParseNmeaGGA(const TArrayBytes &fields, TFixBlock &fix, const TTrackInfo &track, size_t count);
// The same with the local time whose UTC date the sentence takes (a reader
// that keeps its latest fix time at hand).
void ParseNmeaGGA(const TArrayBytes &fields, TFixBlock &fix, TDateTime reference);
double ParseHemisphereFloat(QByteArrayView text, char positiveLetter, double def);

} // namespace kp
