// Finding the track file that belongs to a video. Cards are FAT file systems
// written by cameras in upper case ("FILE0001.DAT", "GPS", "INFO") while the
// probes are spelt in fixed case, and Linux compares names exactly; every
// probe therefore goes through one case-insensitive lookup.

#include "UnitGpsConverters.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <chrono>
#include <mutex>
#include <sys/stat.h>

namespace kp {

namespace {

// 4 hours; 1 minute (days).
constexpr double kMaxSpan = 0.16666666666666666;
constexpr double kOneMinute = 0.0006944444444444445;

// ---------------------------------------------------------------- folder listings

// A catalogue search probes a dozen names per video and converter in the same
// few folders; their listings are kept briefly and dropped as soon as the
// folder changes. File systems stamp folders coarsely (a clock tick; 2 s on
// FAT), so a folder changed within the last 2 s is never cached: an entry
// added in the same tick would not change the stamp.
struct TListing {
  int64_t ModifiedNs = 0;
  std::chrono::steady_clock::time_point Taken;
  // Entry names by their case-folded spelling; each list sorted, so the
  // choice among case variants is stable.
  QHash<QString, QStringList> ByFolded;
};

class TListingCache {
public:
  // The entries of Dir whose names equal Name ignoring case.
  QStringList Matches(const QString &dir, const QString &name)
  {
    struct stat st {};
    if (::stat(QFile::encodeName(dir).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    const int64_t modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const auto now = std::chrono::steady_clock::now();
    const QString folded = name.toCaseFolded();
    {
      std::lock_guard<std::mutex> guard(FLock);
      auto it = FListings.constFind(dir);
      if (it != FListings.constEnd() && it->ModifiedNs == modified && now - it->Taken < kLifetime)
        return it->ByFolded.value(folded);
    }
    TListing listing;
    listing.ModifiedNs = modified;
    listing.Taken = now;
    const QStringList names =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : names) listing.ByFolded[entry.toCaseFolded()].append(entry);
    const QStringList result = listing.ByFolded.value(folded);
    const int64_t nowNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    if (nowNs - modified < kSettleNs) return result;
    std::lock_guard<std::mutex> guard(FLock);
    if (FListings.size() >= kMaxFolders) FListings.clear();
    FListings.insert(dir, std::move(listing));
    return result;
  }

private:
  static constexpr auto kLifetime = std::chrono::seconds(2);
  static constexpr int kMaxFolders = 256;
  static constexpr int64_t kSettleNs = 2'000'000'000;
  std::mutex FLock;
  QHash<QString, TListing> FListings;
};

TListingCache &Listings()
{
  static TListingCache *cache = new TListingCache;
  return *cache;
}

enum class TEntryKind { File, Folder };

bool IsKind(const QString &path, TEntryKind kind)
{
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
  return kind == TEntryKind::File ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode);
}

QString JoinPath(const QString &folder, const QString &name)
{
  if (folder.isEmpty()) return name;
  if (folder.endsWith(QLatin1Char('/'))) return folder + name;
  return folder + QLatin1Char('/') + name;
}

// Splits at the last separator: "/a/b/c" -> "/a/b" and "c"; "/c" -> "/" and "c".
void SplitPath(const QString &path, QString &folder, QString &name)
{
  const qsizetype sep = path.lastIndexOf(QLatin1Char('/'));
  if (sep < 0) {
    folder.clear();
    name = path;
    return;
  }
  folder = sep == 0 ? QStringLiteral("/") : path.left(sep);
  name = path.mid(sep + 1);
}

QString FindEntryNoCase(const QString &path, TEntryKind kind);

// The existing spelling of Folder (itself when it exists as spelt).
QString ResolveFolder(const QString &folder)
{
  if (folder.isEmpty()) return QStringLiteral(".");
  return FindEntryNoCase(folder, TEntryKind::Folder);
}

QString FindEntryNoCase(const QString &path, TEntryKind kind)
{
  if (path.isEmpty()) return {};
  if (IsKind(path, kind)) return path;
  QString folder, name;
  SplitPath(path, folder, name);
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return {};
  const QString realFolder = ResolveFolder(folder);
  if (realFolder.isEmpty()) return {};
  for (const QString &entry : Listings().Matches(realFolder, name)) {
    const QString candidate = folder.isEmpty() ? entry : JoinPath(realFolder, entry);
    if (IsKind(candidate, kind)) return candidate;
  }
  return {};
}

// Parent strips one trailing separator and then everything from the last
// separator on ("/a/b/" -> "/a"; "/a" -> "").
QString ParentFolder(const QString &folder)
{
  QString f = folder;
  if (f.endsWith(QLatin1Char('/'))) f.chop(1);
  const qsizetype sep = f.lastIndexOf(QLatin1Char('/'));
  return sep < 0 ? QString() : f.left(sep);
}

// Overlap of [start, end] with the video's span.
double Overlap(double start, double end, double videoStart, double videoEnd)
{
  return std::min(end, videoEnd) - std::max(start, videoStart);
}

// Position of the file-name part's extension point, or -1.
qsizetype ExtensionPoint(const QString &path)
{
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  const qsizetype sep = path.lastIndexOf(QLatin1Char('/'));
  return dot > sep ? dot : -1;
}

} // namespace

QString FindFileNoCase(const QString &path)
{
  return FindEntryNoCase(path, TEntryKind::File);
}

QString GpsFindTrackFileByName(const TGpsInfoConverter &converter, const QString &baseName)
{
  if (baseName.isEmpty()) return {};
  const QString ext = converter.GetExt();
  const QString direct = FindFileNoCase(baseName + QLatin1Char('.') + ext);
  if (!direct.isEmpty()) return direct;

  const QString base = QFileInfo(baseName).absoluteFilePath();
  QString dir, name;
  SplitPath(base, dir, name);
  if (dir == QLatin1String("/")) dir.clear(); // joined below with a separator
  const QString parent = ParentFolder(dir);
  const QString folders[] = {dir, dir + QStringLiteral("/GPS"), parent + QStringLiteral("/INFO"),
                             ParentFolder(parent) + QStringLiteral("/gps")};
  const QString names[] = {name, name + QLatin1Char('.'), QStringLiteral("gps") + name.mid(4)};
  for (const QString &folder : folders) {
    for (const QString &n : names) {
      const QString found = FindFileNoCase(folder + QLatin1Char('/') + n + QLatin1Char('.') + ext);
      if (!found.isEmpty()) return found;
    }
  }
  return {};
}

QString GpsFileNumberShift(const QString &name, int64_t delta)
{
  // Only the file name counts: digits in a folder name ("100MEDIA") say
  // nothing about the recording's order.
  const qsizetype fileStart = name.lastIndexOf(QLatin1Char('/')) + 1;
  // Digits of other scripts are letters of the name here.
  const auto isDigit = [&name](qsizetype i) { return name[i] >= QLatin1Char('0') && name[i] <= QLatin1Char('9'); };
  qsizetype end = name.size() - 1;
  while (end >= fileStart && !isDigit(end)) --end;
  if (end < fileStart) return {};
  qsizetype start = end;
  while (start > fileStart && isDigit(start - 1)) --start;
  if (start == 0) return {};
  const qsizetype width = end - start + 1;
  if (width > 18) return {}; // beyond 64-bit arithmetic
  int64_t value = 0;
  for (qsizetype i = start; i <= end; ++i) value = value * 10 + (name[i].unicode() - '0');
  const int64_t shifted = value + delta;
  if (shifted < 0) return {};
  const QString digits = QString::number(shifted).rightJustified(width, QLatin1Char('0'));
  return name.left(start) + digits + name.mid(end + 1);
}

void GpsFileTimeSpan(const QString &fileName, TDateTime &start, TDateTime &end)
{
  TDateTime created = 0, modified = 0;
  GetFileTimes(fileName, created, modified);
  end = modified;
  start = created;
  if (end == 0) {
    start = 0;
  } else if (!(start < end && end - start < kMaxSpan)) {
    start = end - kOneMinute;
  }
}

QString TGpsInfoConverter::FindTrackFile(const QString &videoFileName) const
{
  const qsizetype dot = ExtensionPoint(videoFileName);
  const QString base = dot >= 0 ? videoFileName.left(dot) : videoFileName;
  const QString found = GpsFindTrackFileByName(*this, base);
  QString prev;
  if (!found.isEmpty()) {
    const QString shifted = GpsFileNumberShift(found, -1);
    if (!shifted.isEmpty()) prev = FindFileNoCase(shifted);
  } else {
    // The previous recording's track may also hold this recording's time.
    const QString shifted = GpsFileNumberShift(base, -1);
    if (!shifted.isEmpty()) prev = GpsFindTrackFileByName(*this, shifted);
  }
  if (prev.isEmpty()) return found;
  TDateTime vs, ve, fs = 0, fe = 0, ps, pe;
  GpsFileTimeSpan(videoFileName, vs, ve);
  if (!found.isEmpty()) GpsFileTimeSpan(found, fs, fe);
  GpsFileTimeSpan(prev, ps, pe);
  const double overlapPrev = Overlap(ps, pe, vs, ve);
  const double overlapFound = Overlap(fs, fe, vs, ve);
  return overlapPrev > 0 && overlapPrev > overlapFound ? prev : found;
}

} // namespace kp
