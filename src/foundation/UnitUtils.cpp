#include "UnitUtils.h"

#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>

namespace kp {

// ---------------------------------------------------------------- buffer

TStringBuffer::TStringBuffer(int capacity) : FData(static_cast<size_t>(std::max(capacity, 64))) {}

void TStringBuffer::Append(QByteArrayView text)
{
  const qsizetype add = text.size();
  if (add <= 0) return;
  size_t cap = FData.size();
  while (static_cast<size_t>(FLength) + static_cast<size_t>(add) > cap) cap *= 2;
  if (cap != FData.size()) FData.resize(cap);
  std::memcpy(FData.data() + FLength, text.data(), static_cast<size_t>(add));
  FLength += static_cast<int>(add);
}

void TStringBuffer::Append(const QByteArray &text)
{
  Append(QByteArrayView(text));
}

void TStringBuffer::Append(const char *text)
{
  Append(QByteArrayView(text, text ? qstrlen(text) : 0));
}

// ---------------------------------------------------------------- numbers

namespace {

bool isBlank(char c)
{
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The locale-free core of both text-to-float readers.
bool parseFloatAny(std::string s, double &out)
{
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  s = s.substr(b, e - b);
  if (s.empty()) return false;
  // The first comma, then the first point, becomes the decimal point; a
  // second separator of either kind then fails the conversion.
  const size_t comma = s.find(',');
  if (comma != std::string::npos) s[comma] = '.';
  bool negative = false;
  size_t i = 0;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    i = 1;
  }
  if (i >= s.size()) return false;
  const char first = s[i];
  const bool digitFirst = first >= '0' && first <= '9';
  const bool pointFirst = first == '.' && i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '9';
  if (!digitFirst && !pointFirst) return false; // nan, inf, a second sign, letters
  // Hexadecimal text is not a number here.
  for (char c : s)
    if (c == 'x' || c == 'X' || c == 'p' || c == 'P') return false;
  double v = 0;
  const char *begin = s.data() + i;
  const char *end = s.data() + s.size();
  const auto res = std::from_chars(begin, end, v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != end) return false;
  if (!std::isfinite(v)) return false;
  out = negative ? -v : v;
  return true;
}

bool parseInt64(QByteArrayView text, int64_t &out)
{
  qsizetype b = 0, e = text.size();
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  if (b >= e) return false;
  bool negative = false;
  if (text[b] == '+' || text[b] == '-') {
    negative = text[b] == '-';
    ++b;
  }
  if (b >= e) return false;
  uint64_t v = 0;
  const auto res = std::from_chars(text.data() + b, text.data() + e, v, 10);
  if (res.ec != std::errc() || res.ptr != text.data() + e) return false;
  if (negative) {
    if (v > uint64_t(INT64_MAX) + 1) return false;
    out = v == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -static_cast<int64_t>(v);
  } else {
    if (v > uint64_t(INT64_MAX)) return false;
    out = static_cast<int64_t>(v);
  }
  return true;
}

} // namespace

double StrToFloatAny(QByteArrayView text, double def)
{
  double v = 0;
  return parseFloatAny(std::string(text.data(), static_cast<size_t>(text.size())), v) ? v : def;
}

double StrToFloatAny(QStringView text, double def)
{
  // Only ASCII can form a number; anything else fails the conversion.
  for (QChar c : text)
    if (c.unicode() > 127) return def;
  return StrToFloatAny(QByteArrayView(text.toLatin1()), def);
}

int64_t StrToInt64Def(QByteArrayView text, int64_t def)
{
  int64_t v = 0;
  return parseInt64(text, v) ? v : def;
}

int64_t StrToInt64Def(QStringView text, int64_t def)
{
  for (QChar c : text)
    if (c.unicode() > 127) return def;
  return StrToInt64Def(QByteArrayView(text.toLatin1()), def);
}

QByteArray FloatToStrDotBytes(double value, int digits, bool fixed)
{
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) value = 0.0; // no "-0"
  if (digits < 0) digits = 0;
  char buf[1100]; // 309 integer digits, the point and up to 340 decimals
  std::to_chars_result res;
  if (fixed)
    res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, std::min(digits, 340));
  else
    res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  QByteArray s(buf, res.ec == std::errc() ? static_cast<qsizetype>(res.ptr - buf) : 0);
  const qsizetype p = s.indexOf('.');
  if (p >= 0 && p + 1 < s.size() - digits) s.truncate(p + 1 + digits);
  // A value that rounds or truncates to zero carries no sign.
  if (s.startsWith('-')) {
    bool allZero = true;
    for (qsizetype i = 1; i < s.size(); ++i)
      if (s[i] != '0' && s[i] != '.') allZero = false;
    if (allZero) s.remove(0, 1);
  }
  return s;
}

QString FloatToStrDot(double value, int digits, bool fixed)
{
  return QString::fromLatin1(FloatToStrDotBytes(value, digits, fixed));
}

QString CoordToStr(double value)
{
  return FloatToStrDot(value, 6, true);
}

QByteArray CoordToBytes(double value)
{
  return FloatToStrDotBytes(value, 6, true);
}

QString IntToStrZ(int64_t n, int width)
{
  QString s = QString::number(n);
  int zeros = std::min(width - static_cast<int>(s.size()), 14);
  if (zeros > 0) s.prepend(QString(zeros, QLatin1Char('0')));
  return s;
}

QString IntToStr2(int64_t n)
{
  return IntToStrZ(n, 2);
}

int HexDigitValue(QChar c)
{
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  return 0;
}

int HexByteValue(QStringView text)
{
  if (text.size() != 2) return 0;
  return 16 * HexDigitValue(text[0]) + HexDigitValue(text[1]);
}

// ---------------------------------------------------------------- strings

namespace {

template <typename View, typename List, typename Make>
int splitImpl(View text, View delimiters, bool keepEmpty, List &parts, int capacity, Make make)
{
  parts.clear();
  parts.reserve(std::max(capacity, 0));
  qsizetype start = 0;
  const qsizetype n = text.size();
  if (n == 0) return 0;
  for (qsizetype i = 0; i <= n; ++i) {
    if (i < n && !delimiters.contains(text[i])) continue;
    if (i > start || keepEmpty) parts.append(make(text.sliced(start, i - start)));
    start = i + 1;
  }
  return static_cast<int>(parts.size());
}

} // namespace

int SplitStringCount(QStringView text, QStringView delimiters, bool keepEmpty, TArrayString &parts, int capacity)
{
  return splitImpl(text, delimiters, keepEmpty, parts, capacity, [](QStringView v) { return v.toString(); });
}

int SplitStringCount(QByteArrayView text, QByteArrayView delimiters, bool keepEmpty, TArrayBytes &parts, int capacity)
{
  return splitImpl(text, delimiters, keepEmpty, parts, capacity, [](QByteArrayView v) { return v.toByteArray(); });
}

void SplitString(QStringView text, QStringView delimiters, bool keepEmpty, TArrayString &parts, int capacity)
{
  SplitStringCount(text, delimiters, keepEmpty, parts, capacity);
}

void SplitString(QByteArrayView text, QByteArrayView delimiters, bool keepEmpty, TArrayBytes &parts, int capacity)
{
  SplitStringCount(text, delimiters, keepEmpty, parts, capacity);
}

QString CutToken(QString &text, QStringView delimiter)
{
  const qsizetype p = delimiter.isEmpty() ? -1 : text.indexOf(delimiter);
  if (p < 0) {
    QString all = text;
    text.clear();
    return all;
  }
  QString head = text.left(p);
  text.remove(0, p + delimiter.size());
  return head;
}

QByteArrayView CutTokenView(QByteArrayView &rest, char delimiter)
{
  const qsizetype p = rest.indexOf(delimiter);
  if (p < 0) {
    const QByteArrayView all = rest;
    rest = {};
    return all;
  }
  const QByteArrayView head = rest.first(p);
  rest = rest.sliced(p + 1);
  return head;
}

bool NextQueryParam(QString &query, QString &name, QString &value)
{
  if (query.isEmpty()) return false;
  const QString part = CutToken(query, u"&");
  const qsizetype eq = part.indexOf(QLatin1Char('='));
  if (eq < 0) {
    name = part;
    value.clear();
  } else {
    name = part.left(eq);
    value = part.mid(eq + 1);
  }
  return true;
}

QString ExtractFileName(const QString &path)
{
  const qsizetype p = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
  return path.mid(p + 1);
}

QString ExtractFilePath(const QString &path)
{
  const qsizetype p = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
  return path.left(p + 1);
}

QString ExtractFileExt(const QString &path)
{
  const QString name = ExtractFileName(path);
  const qsizetype p = name.lastIndexOf(QLatin1Char('.'));
  return p < 0 ? QString() : name.mid(p);
}

QString ExtractFileNameNoExt(const QString &path)
{
  const QString name = ExtractFileName(path);
  const qsizetype p = name.lastIndexOf(QLatin1Char('.'));
  return p < 0 ? name : name.left(p);
}

QString ChangeFileExt(const QString &path, const QString &ext)
{
  const QString name = ExtractFileName(path);
  const qsizetype p = name.lastIndexOf(QLatin1Char('.'));
  const QString dir = path.left(path.size() - name.size());
  return dir + (p < 0 ? name : name.left(p)) + ext;
}

QByteArray ShiftText(const QByteArray &text, int shift)
{
  QByteArray out(text);
  for (char &c : out) c = static_cast<char>(static_cast<uint8_t>(c) - shift);
  return out;
}

int FindShiftKey(const QByteArray &text, const TCharSet &required, const TCharSet &allowed)
{
  int minCode = 256;
  for (char c : text) minCode = std::min(minCode, int(static_cast<uint8_t>(c)));
  for (int shift = 0; shift <= 128; ++shift) {
    if (shift >= minCode) return 0;
    TCharSet seen;
    bool ok = true;
    for (char c : text) {
      const uint8_t s = static_cast<uint8_t>(static_cast<uint8_t>(c) - shift);
      if (!allowed.has(s)) {
        ok = false;
        break;
      }
      seen.add(s);
    }
    if (!ok) continue;
    for (int i = 0; i < 4 && ok; ++i) ok = (required.bits[i] & ~seen.bits[i]) == 0;
    if (ok) return shift;
  }
  return 0;
}

// ---------------------------------------------------------------- dates

namespace {

int charCode(QChar c)
{
  return c.unicode();
}
int charCode(char c)
{
  return static_cast<uint8_t>(c);
}

// A fixed-position numeric field; a field that is missing or not a number
// counts 0.
template <typename View>
int fieldAt(View text, qsizetype pos1, qsizetype len)
{
  const qsizetype start = pos1 - 1;
  if (start < 0 || start + len > text.size()) return 0;
  int v = 0;
  for (qsizetype i = start; i < start + len; ++i) {
    const int c = charCode(text[i]);
    if (c < '0' || c > '9') return 0;
    v = v * 10 + (c - '0');
  }
  return v;
}

template <typename View>
TDateTime parse19(View text)
{
  if (text.size() < 19) return 0;
  return EncodeDateTimeOr0(fieldAt(text, 1, 4), fieldAt(text, 6, 2), fieldAt(text, 9, 2), fieldAt(text, 12, 2),
                           fieldAt(text, 15, 2), fieldAt(text, 18, 2));
}

} // namespace

QString DateTimeToISO(TDateTime t)
{
  TDateTimeFields f;
  DecodeDateTime(t, f);
  return QString::number(f.year) + QLatin1Char('-') + IntToStr2(f.month) + QLatin1Char('-') + IntToStr2(f.day) +
         QLatin1Char('T') + IntToStr2(f.hour) + QLatin1Char(':') + IntToStr2(f.minute) + QLatin1Char(':') +
         IntToStr2(f.second) + QLatin1Char('Z');
}

TDateTime ParseDateTime19(QStringView text)
{
  return parse19(text);
}

TDateTime ParseDateTime19(QByteArrayView text)
{
  return parse19(text);
}

TDateTime ParseISODateTime(QStringView text)
{
  if (text.size() < 19) return 0;
  qsizetype i = 2; // third character, 0-based
  while (i < text.size() && text[i].isDigit()) ++i;
  QStringView t = text;
  // A year of more than four digits: keep its last four.
  if (i + 1 > 5) t = text.mid(i - 4);
  const int year = fieldAt(t, 1, 4), month = fieldAt(t, 6, 2), day = fieldAt(t, 9, 2);
  if (year < 1901 || month <= 0 || day <= 0) return 0;
  TDateTime v = EncodeDateTimeOr0(year, month, day, fieldAt(t, 12, 2), fieldAt(t, 15, 2), fieldAt(t, 18, 2));
  if (v > 0 && t.size() >= 21 && t[19] == QLatin1Char('.')) {
    qsizetype j = 20;
    while (j < t.size() && t[j].isDigit()) ++j;
    const QString frac = QStringLiteral("0.") + t.mid(20, j - 20).toString();
    v += StrToFloatAny(QStringView(frac), 0) / SecsPerDay;
  }
  return v;
}

QString MsToTimeStr(int64_t ms)
{
  QString sign;
  uint64_t u = static_cast<uint64_t>(ms);
  if (ms < 0) {
    sign = QStringLiteral("-");
    u = 0 - u;
  }
  return sign + QString::number(u / 3600000) + QLatin1Char(':') + IntToStr2(int64_t(u / 60000 % 60)) +
         QLatin1Char(':') + IntToStr2(int64_t(u / 1000 % 60)) + QLatin1Char('.') + IntToStrZ(int64_t(u % 1000), 3);
}

QString DurationToStr(bool showSeconds, int64_t ms)
{
  if (ms < 0) ms = 0;
  const int64_t totalSec = ms / 1000;
  const int64_t days = totalSec / 86400;
  const int64_t hours = totalSec / 3600 % 24;
  const int64_t minutes = totalSec / 60 % 60;
  QString s;
  if (days > 0)
    s = QString::number(days) + QLatin1Char('d') + IntToStr2(hours) + QLatin1Char(':') + IntToStr2(minutes);
  else if (totalSec >= 3600)
    s = QString::number(hours) + QLatin1Char(':') + IntToStr2(minutes);
  else
    s = QString::number(minutes);
  if (showSeconds) s += QLatin1Char(':') + IntToStr2(totalSec % 60);
  return s;
}

TDateTime FileTimeToLocalDateTime(int64_t unixNanos)
{
  if (unixNanos == 0) return 0;
  return UnixToDateTime(static_cast<double>(unixNanos) / 1e9) + LocalTimeOffset();
}

int64_t LocalDateTimeToFileTime(TDateTime t)
{
  const double secs = DateTimeToUnix(t - LocalTimeOffset());
  return Round(secs * 1e9);
}

// ---------------------------------------------------------------- files

QByteArray LoadFileToString(const QString &path)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

namespace {

std::mutex g_fileTimesMutex;
TFileTimesSource g_fileTimesSource;

bool systemFileTimes(const QString &path, TDateTime &created, TDateTime &modified)
{
  struct statx sx;
  const QByteArray native = QFile::encodeName(path);
  if (statx(AT_FDCWD, native.constData(), 0, STATX_MTIME | STATX_BTIME, &sx) != 0) return false;
  const auto nanos = [](const struct statx_timestamp &ts) {
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
  };
  created = (sx.stx_mask & STATX_BTIME) ? FileTimeToLocalDateTime(nanos(sx.stx_btime)) : 0;
  modified = (sx.stx_mask & STATX_MTIME) ? FileTimeToLocalDateTime(nanos(sx.stx_mtime)) : 0;
  return true;
}

} // namespace

bool GetFileTimes(const QString &path, TDateTime &created, TDateTime &modified)
{
  created = 0;
  modified = 0;
  TFileTimesSource source;
  {
    std::lock_guard<std::mutex> lock(g_fileTimesMutex);
    source = g_fileTimesSource;
  }
  const bool ok = source ? source(path, created, modified) : systemFileTimes(path, created, modified);
  if (!ok) {
    created = 0;
    modified = 0;
  }
  return ok;
}

void SetFileTimesSource(TFileTimesSource source)
{
  std::lock_guard<std::mutex> lock(g_fileTimesMutex);
  g_fileTimesSource = std::move(source);
}

// ---------------------------------------------------------------- byte order

void SwapBytesAt(uint8_t *buffer, int i, int j)
{
  std::swap(buffer[i], buffer[j]);
}

void Swap16InPlace(void *p)
{
  SwapBytesAt(static_cast<uint8_t *>(p), 0, 1);
}

void Swap32InPlace(void *p)
{
  auto *b = static_cast<uint8_t *>(p);
  SwapBytesAt(b, 0, 3);
  SwapBytesAt(b, 1, 2);
}

uint32_t SwapLong(uint32_t v)
{
  return __builtin_bswap32(v);
}

uint64_t SwapInt64(uint64_t v)
{
  return __builtin_bswap64(v);
}

void Swap32Array(uint32_t *values, int count)
{
  for (int i = 0; i < count; ++i) values[i] = __builtin_bswap32(values[i]);
}

} // namespace kp
