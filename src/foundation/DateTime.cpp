#include "DateTime.h"

#include "Numbers.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <atomic>
#include <cmath>
#include <mutex>

namespace kp {

namespace {

// Days from 0001-01-01 style civil arithmetic (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, int m, int d)
{
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468; // days since 1970-01-01
}

void civilFromDays(int64_t z, int &y, int &m, int &d)
{
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kBaseFromUnix = -25569;

// The dates TDateTime can hold: 0001-01-01 .. 9999-12-31.
constexpr double kMinDate = -693593.0;
constexpr double kMaxDate = 2958466.0;

std::atomic<double> g_localTimeOffset{0.0};
std::mutex g_stateMutex;
std::function<TDateTime()> g_nowProvider;
TFormatSettings g_formats;

} // namespace

bool IsLeapYear(int year)
{
  return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month)
{
  static const int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDaysInMonth[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime &result)
{
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInMonth(year, month)) return false;
  result = static_cast<double>(daysFromCivil(year, month, day) - kBaseFromUnix);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime &result)
{
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
    return false;
  result = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeDateTimeOr0(int year, int month, int day, int hour, int minute, int second, int msec)
{
  TDateTime d = 0, t = 0;
  if (!TryEncodeDate(year, month, day, d) || !TryEncodeTime(hour, minute, second, msec, t)) return 0;
  // Before the base date the time of day still counts forwards from midnight.
  return d >= 0 ? d + t : d - t;
}

bool DecodeDateTime(TDateTime t, TDateTimeFields &f)
{
  f = TDateTimeFields{};
  if (!std::isfinite(t) || t < kMinDate - 1 || t >= kMaxDate) return false;
  int64_t days;
  int64_t msOfDay;
  if (t >= 0) {
    const int64_t ms = Round(t * MSecsPerDay);
    days = ms / 86400000;
    msOfDay = ms % 86400000;
  } else {
    days = static_cast<int64_t>(std::trunc(t));
    msOfDay = Round(std::fabs(t - std::trunc(t)) * MSecsPerDay);
    if (msOfDay >= 86400000) { // rounded up to midnight: the next day
      msOfDay -= 86400000;
      days += 1;
    }
  }
  civilFromDays(days + kBaseFromUnix, f.year, f.month, f.day);
  if (f.year < 1 || f.year > 9999) {
    f = TDateTimeFields{};
    return false;
  }
  f.hour = static_cast<int>(msOfDay / 3600000);
  f.minute = static_cast<int>(msOfDay / 60000 % 60);
  f.second = static_cast<int>(msOfDay / 1000 % 60);
  f.msec = static_cast<int>(msOfDay % 1000);
  // 1899-12-30 was a Saturday (7).
  const int64_t dow = ((days % 7) + 7 + 6) % 7; // 0 = Sunday
  f.dayOfWeek = static_cast<int>(dow) + 1;
  return true;
}

int64_t DateTimeToMSecs(TDateTime t)
{
  return Round(t * MSecsPerDay);
}

TDateTime MSecsToDateTime(int64_t ms)
{
  return static_cast<double>(ms) / MSecsPerDay;
}

TDateTime UnixToDateTime(double unixSeconds)
{
  return unixSeconds / SecsPerDay + UnixEpoch;
}

double DateTimeToUnix(TDateTime t)
{
  return (t - UnixEpoch) * SecsPerDay;
}

double LocalTimeOffset()
{
  return g_localTimeOffset.load(std::memory_order_relaxed);
}

void SetLocalTimeOffset(double days)
{
  g_localTimeOffset.store(std::isfinite(days) ? days : 0.0, std::memory_order_relaxed);
}

double SystemLocalTimeOffset()
{
  const QDateTime now = QDateTime::currentDateTime();
  return now.offsetFromUtc() / SecsPerDay;
}

TDateTime Now()
{
  {
    std::lock_guard<std::mutex> lock(g_stateMutex);
    if (g_nowProvider) return g_nowProvider();
  }
  const QDateTime now = QDateTime::currentDateTime();
  return UnixToDateTime(now.toMSecsSinceEpoch() / 1000.0) + now.offsetFromUtc() / SecsPerDay;
}

void SetNowProvider(std::function<TDateTime()> provider)
{
  std::lock_guard<std::mutex> lock(g_stateMutex);
  g_nowProvider = std::move(provider);
}

const TFormatSettings &FormatSettings()
{
  return g_formats;
}

void SetFormatSettings(const TFormatSettings &settings)
{
  g_formats = settings;
}

namespace {

// Qt's date pattern letters to the original's (M -> m for months, m -> n for
// minutes, H -> h).
QString fromQtPattern(const QString &qt)
{
  QString out;
  bool quoted = false;
  for (QChar c : qt) {
    if (c == QLatin1Char('\'')) {
      quoted = !quoted;
      out += QLatin1Char('"');
      continue;
    }
    if (quoted) {
      out += c;
      continue;
    }
    switch (c.unicode()) {
    case 'M': out += QLatin1Char('m'); break;
    case 'm': out += QLatin1Char('n'); break;
    case 'H': out += QLatin1Char('h'); break;
    case 'a':
    case 'A':
    case 'p':
    case 'P':
    case 't': break;
    default: out += c;
    }
  }
  return out.trimmed();
}

} // namespace

TFormatSettings SystemFormatSettings()
{
  const QLocale loc = QLocale::system();
  TFormatSettings fs;
  fs.decimalSeparator = loc.decimalPoint().isEmpty() ? QLatin1Char('.') : loc.decimalPoint().at(0);
  fs.shortDateFormat = fromQtPattern(loc.dateFormat(QLocale::ShortFormat));
  fs.longTimeFormat = fromQtPattern(loc.timeFormat(QLocale::LongFormat).remove(QLatin1Char('t')));
  fs.shortTimeFormat = fromQtPattern(loc.timeFormat(QLocale::ShortFormat));
  for (QChar c : fs.shortDateFormat)
    if (!c.isLetter()) {
      fs.dateSeparator = c;
      break;
    }
  for (QChar c : fs.longTimeFormat)
    if (!c.isLetter()) {
      fs.timeSeparator = c;
      break;
    }
  return fs;
}

namespace {

QString pad(int v, int width)
{
  return QString::number(v).rightJustified(width, QLatin1Char('0'));
}

} // namespace

QString FormatDateTime(const QString &pattern, TDateTime t, const TFormatSettings &fs)
{
  TDateTimeFields f;
  DecodeDateTime(t, f);
  QString out;
  bool lastWasHour = false;
  const int n = pattern.size();
  for (int i = 0; i < n;) {
    const QChar c = pattern.at(i).toLower();
    if (pattern.at(i) == QLatin1Char('"') || pattern.at(i) == QLatin1Char('\'')) {
      const QChar q = pattern.at(i);
      int j = i + 1;
      while (j < n && pattern.at(j) != q) out += pattern.at(j++);
      i = j + 1;
      continue;
    }
    int run = 1;
    while (i + run < n && pattern.at(i + run).toLower() == c) ++run;
    switch (c.unicode()) {
    case 'y':
      out += run <= 2 ? pad(f.year % 100, 2) : pad(f.year, 4);
      lastWasHour = false;
      break;
    case 'm':
      if (lastWasHour)
        out += run >= 2 ? pad(f.minute, 2) : QString::number(f.minute);
      else
        out += run >= 2 ? pad(f.month, 2) : QString::number(f.month);
      lastWasHour = false;
      break;
    case 'd':
      out += run >= 2 ? pad(f.day, 2) : QString::number(f.day);
      lastWasHour = false;
      break;
    case 'h':
      out += run >= 2 ? pad(f.hour, 2) : QString::number(f.hour);
      lastWasHour = true;
      break;
    case 'n':
      out += run >= 2 ? pad(f.minute, 2) : QString::number(f.minute);
      lastWasHour = false;
      break;
    case 's':
      out += run >= 2 ? pad(f.second, 2) : QString::number(f.second);
      lastWasHour = false;
      break;
    case 'z':
      out += run >= 3 ? pad(f.msec, 3) : QString::number(f.msec);
      lastWasHour = false;
      break;
    case '/': out += QString(run, fs.dateSeparator); break;
    case ':': out += QString(run, fs.timeSeparator); break;
    default: out += pattern.mid(i, run);
    }
    i += run;
  }
  return out;
}

QString DateToStr(TDateTime t)
{
  return FormatDateTime(FormatSettings().shortDateFormat, t);
}

QString TimeToStr(TDateTime t)
{
  return FormatDateTime(FormatSettings().longTimeFormat, t);
}

QString DateTimeToStr(TDateTime t)
{
  QString s = DateToStr(t);
  if (Frac(t) != 0.0) s += QLatin1Char(' ') + TimeToStr(t);
  return s;
}

namespace {

// Digits at Pos (at most MaxDigits of them) as a number; false without one.
bool ReadTimeField(QStringView text, qsizetype &pos, int maxDigits, int &value)
{
  const qsizetype start = pos;
  value = 0;
  while (pos < text.size() && pos - start < maxDigits && text[pos] >= u'0' && text[pos] <= u'9')
    value = value * 10 + (text[pos++].unicode() - '0');
  return pos > start && (pos == text.size() || !text[pos].isDigit());
}

} // namespace

bool TryStrToTime(QStringView text, TDateTime &result, const TFormatSettings &fs)
{
  const QStringView t = text.trimmed();
  int fields[4] = {0, 0, 0, 0};
  int count = 0;
  qsizetype pos = 0;
  while (count < 4) {
    if (!ReadTimeField(t, pos, count == 3 ? 3 : 2, fields[count])) return false;
    ++count;
    if (pos == t.size()) break;
    const QChar sep = t[pos++];
    const bool msecNext = count == 3;
    if (sep != fs.timeSeparator && !(msecNext && (sep == u'.' || sep == fs.decimalSeparator))) return false;
    if (pos == t.size()) return false;
  }
  if (pos != t.size() || count < 2) return false;
  return TryEncodeTime(fields[0], fields[1], fields[2], fields[3], result);
}

} // namespace kp
