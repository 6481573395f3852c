#pragma once
// TDateTime: a double counting days since 1899-12-30, the fraction being the
// time of day. Encoding validates the fields; decoding rounds to the nearest
// millisecond first so 10:00:00 never reads back as 09:59:59.999.

#include <QString>
#include <cstdint>
#include <functional>

namespace kp {

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;
constexpr double SecsPerDay = 86400.0;
// 1904-01-01, the origin of movie time stamps.
constexpr TDateTime QuickTimeEpoch = 1462.0;
// 1970-01-01, the Unix epoch.
constexpr TDateTime UnixEpoch = 25569.0;

struct TDateTimeFields {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, msec = 0;
  int dayOfWeek = 0; // 1 = Sunday .. 7 = Saturday, as the original's
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// False (and Result untouched) for a date or time that does not exist.
bool TryEncodeDate(int year, int month, int day, TDateTime &result);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime &result);
// Date plus time of day; 0 when any field is out of range.
TDateTime EncodeDateTimeOr0(int year, int month, int day, int hour, int minute, int second, int msec = 0);

// Fields of a date-time, rounded to the nearest millisecond. Years 1..9999;
// a value outside that range (or NaN) decodes as all zeros and returns false.
bool DecodeDateTime(TDateTime t, TDateTimeFields &f);

// Milliseconds since 1899-12-30 rounded to the nearest, and back.
int64_t DateTimeToMSecs(TDateTime t);
TDateTime MSecsToDateTime(int64_t ms);

// Unix seconds (UTC) to a UTC TDateTime and back.
TDateTime UnixToDateTime(double unixSeconds);
double DateTimeToUnix(TDateTime t);

// Platform state that the original took from globals at start-up. Tests pin
// each value; the program sets them once from the system.
struct TFormatSettings {
  QChar decimalSeparator = QLatin1Char('.');
  QChar dateSeparator = QLatin1Char('.');
  QChar timeSeparator = QLatin1Char(':');
  // Patterns in the original's notation: d, dd, m, mm, yy, yyyy, h, hh, n,
  // nn, s, ss, z, zzz, and literal separators "/" and ":".
  QString shortDateFormat = QStringLiteral("dd.mm.yyyy");
  QString longTimeFormat = QStringLiteral("hh:nn:ss");
  QString shortTimeFormat = QStringLiteral("hh:nn");
};

// Local time minus UTC in days, taken at start-up.
double LocalTimeOffset();
void SetLocalTimeOffset(double days);
// Reads the system's current offset (used once at start-up).
double SystemLocalTimeOffset();

// The current local date-time; tests can replace the clock.
TDateTime Now();
void SetNowProvider(std::function<TDateTime()> provider); // empty = system clock

const TFormatSettings &FormatSettings();
void SetFormatSettings(const TFormatSettings &settings);
// Reads the user's formats from the system locale.
TFormatSettings SystemFormatSettings();

// Formats a date-time with a pattern of the original's notation (see
// TFormatSettings). Unknown letters are copied as they are.
QString FormatDateTime(const QString &pattern, TDateTime t, const TFormatSettings &fs = FormatSettings());
QString DateToStr(TDateTime t);     // short date format
QString TimeToStr(TDateTime t);     // long time format
QString DateTimeToStr(TDateTime t); // date, a blank, time (time left out when 0)

// Reads a time of day the way TimeToStr writes it: hours and minutes, then
// optional seconds and milliseconds, each behind the format's time
// separator (milliseconds also behind "." or the decimal separator); blanks
// around the text are allowed. False (Result untouched) for any other text
// and for a time that does not exist.
bool TryStrToTime(QStringView text, TDateTime &result, const TFormatSettings &fs = FormatSettings());

} // namespace kp
