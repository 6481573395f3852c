// The search thread's pass: roots, the folder walk, new rows and the
// preview of every row.
#include "UnitFileManager.h"
#include "CatalogueLog.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kp {

namespace {

constexpr int kMaxDepth = 4;        // depths 0..3 are scanned
constexpr double kMaxLogSpan = 2.0; // days
constexpr double kMaxVideoSpan = 4.0 / 24.0;
// The catalogue's "lowest priority": a raised nice value. SCHED_IDLE would
// starve the preview on a busy machine.
constexpr int kPreviewNice = 10;

QString WithSlash(QString path)
{
  if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('\\'))) path += QLatin1Char('/');
  return path;
}

// "FI123456" is a camera's "FILE3456" of folder 12: it becomes "FILE3456.12"
// so the numbers of one folder stay consecutive.
QString RenameFiNumber(const QString &name)
{
  if (name.size() != 8 || !name.startsWith(QLatin1String("FI"))) return name;
  int64_t value = 0;
  for (qsizetype i = 2; i < 8; ++i) {
    const char16_t c = name[i].unicode();
    if (c < u'0' || c > u'9') return name;
    value = value * 10 + (c - u'0');
  }
  if (value <= 0) return name;
  QString renamed = name + QLatin1Char('.') + name.mid(2, 2);
  renamed[2] = QLatin1Char('L');
  renamed[3] = QLatin1Char('E');
  return renamed;
}

// A cut file "Fragment of X (times)" shows as "X (fr)".
QString FragmentName(const QString &name)
{
  if (name.left(12).toLower() != QLatin1String("fragment of ")) return name;
  QString rest = name.mid(12);
  const qsizetype paren = rest.lastIndexOf(QLatin1Char('('));
  if (paren >= 0) rest.truncate(paren);
  return rest + QStringLiteral("(fr)");
}

enum class TEntryKind { Skip, Folder, File };

TEntryKind EntryKind(const QString &path, unsigned char type)
{
  if (type == DT_DIR) return TEntryKind::Folder;
  if (type == DT_REG) return TEntryKind::File;
  struct stat st {};
  const QByteArray name = QFile::encodeName(path);
  if (::lstat(name.constData(), &st) != 0) return TEntryKind::Skip;
  if (S_ISDIR(st.st_mode)) return TEntryKind::Folder;
  if (S_ISREG(st.st_mode)) return TEntryKind::File;
  // Links to files are followed, links to folders are not (no loops).
  if (S_ISLNK(st.st_mode) && ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode)) return TEntryKind::File;
  return TEntryKind::Skip;
}

} // namespace

void TFileManager::Execute()
{
  if (!FSearchOnStart) return;
  {
    std::lock_guard<std::mutex> lock(FLock);
    FStatus = FWords.Initializing;
  }
  SleepInterruptible(200);
  Search();
  PreviewAll();
  {
    std::lock_guard<std::mutex> lock(FLock);
    FStatus = FWords.Grouping;
  }
  Changed(-1);
  if (!FClearRequested.load() && !FStop.load()) {
    MatchGpsLogs();
    AutoGroup();
  }
  {
    std::lock_guard<std::mutex> lock(FLock);
    FStatus.clear();
    if (FClearRequested.load()) {
      ClearRowsLocked();
      FClearRequested.store(false);
    }
  }
  Changed(-1);
}

void TFileManager::Search()
{
  QString searching;
  {
    std::lock_guard<std::mutex> lock(FLock);
    searching = FWords.Searching;
    FStatus = searching;
  }
  for (const QString &root : FRootsOverride) {
    if (Interrupted()) break;
    SetStatus(searching + QStringLiteral(" - ") + root);
    Changed(-1);
    ScanFolder(root, 0, true);
    std::lock_guard<std::mutex> lock(FLock);
    SortLocked();
  }
}

void TFileManager::ScanFolder(QString path, int depth, bool notify)
{
  path = WithSlash(path);
  QString mountRoot, fsType;
  QString below = path;
  // The folder tests look only below the volume's mount point, so a user
  // or card label named "logan" does not make every ".log" a GPS log.
  if (MountOf(path, mountRoot, fsType)) below = QLatin1Char('/') + path.mid(mountRoot.size());
  ScanFolderBelow(path, below.toLower(), depth, notify);
}

void TFileManager::ScanFolderBelow(const QString &path, const QString &lowerBelow, int depth, bool notify)
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    FStatus = FWords.Searching + QStringLiteral(" - ") + path;
  }
  if (Interrupted() || depth >= kMaxDepth) return;
  DIR *dir = ::opendir(QFile::encodeName(path).constData());
  if (!dir) {
    // A root that does not exist (no DCIM folder here) is no news.
    if (errno != ENOENT && errno != ENOTDIR) NoteUnreadableFolder(path, errno);
    return;
  }
  bool added = false;
  while (!Interrupted()) {
    errno = 0;
    const dirent *entry = ::readdir(dir);
    if (!entry) {
      if (errno != 0) NoteUnreadableFolder(path, errno);
      break;
    }
    const QString name = QFile::decodeName(entry->d_name);
    if (name == QLatin1String(".") || name == QLatin1String("..")) continue;
    // A name that does not come back from its text (not UTF-8) could
    // never be opened by that text: it is counted, not listed.
    if (QFile::encodeName(name) != entry->d_name) {
      NoteUnrepresentableName(QFile::encodeName(path) + entry->d_name);
      continue;
    }
    const QString full = path + name;
    switch (EntryKind(full, entry->d_type)) {
    case TEntryKind::Folder:
      ScanFolderBelow(full + QLatin1Char('/'), lowerBelow + name.toLower() + QLatin1Char('/'), depth + 1, notify);
      break;
    case TEntryKind::File: added |= ScanFile(full, lowerBelow, name); break;
    case TEntryKind::Skip: break;
    }
  }
  ::closedir(dir);
  if (added && notify) Changed(-1);
}

void TFileManager::NoteUnreadableFolder(const QString &path, int error)
{
  qCWarning(lcKpCatalogue).noquote() << "cannot read the folder" << path << "-"
                                     << QString::fromLocal8Bit(std::strerror(error));
  std::lock_guard<std::mutex> lock(FLock);
  if (!FUnreadable.contains(path)) FUnreadable += path;
}

void TFileManager::NoteUnrepresentableName(const QByteArray &path)
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    if (FUnrepresentable.contains(path)) return;
    FUnrepresentable.insert(path);
  }
  qCWarning(lcKpCatalogue).noquote() << "skipped a name that is not valid UTF-8:"
                                     << QString::fromLatin1(path.toPercentEncoding("/ "));
}

bool TFileManager::ScanFile(const QString &full, const QString &lowerBelow, const QString &name)
{
  const QString ext = name.right(4).toLower();
  if (ext == QLatin1String(".dat")) {
    AddDatFile(full);
    return false;
  }
  if (IsGpsLogPath(lowerBelow, ext)) {
    TFileRecord rec;
    if (!ReadFileRecord(full, rec)) return false;
    TGPSLogFileItem log{full, rec.Created, rec.Modified};
    const double span = log.EndTime - log.StartTime;
    if (span < 0 || span > kMaxLogSpan) log.StartTime = log.EndTime - double(Div(rec.Size, 58) * 2) / SecsPerDay;
    AddGpsLog(log);
    return false;
  }
  if (ext != QLatin1String(".mov") && ext != QLatin1String(".mp4")) return false;
  {
    // Overlapping roots meet the same files again: a set lookup, not a scan
    // of every row.
    std::lock_guard<std::mutex> lock(FLock);
    if (FPaths.count(full.toLower())) return false;
  }
  TFileRecord rec;
  if (!ReadFileRecord(full, rec)) return false;
  AddVideoFile(full, &rec);
  return true;
}

namespace {

// A video file as a new row first holds it: its file times and size.
TFileItemSubitem NewFileItem(const QString &fileName, const TFileRecord *record)
{
  TFileItemSubitem f;
  f.FileName = fileName;
  f.Name = FragmentName(RenameFiNumber(ExtractFileNameNoExt(fileName)));
  f.Size = -1;
  f.DurationMs = -1;
  f.DurationSource = dsUnknown;
  TFileRecord own;
  if (!record) {
    own.ReadOnly = IsFileLocked(fileName);
    if (!ReadFileRecord(fileName, own)) own.Size = -1;
    record = &own;
  }
  f.Locked = record->ReadOnly ? 1 : 0;
  f.StartTime = record->Created;
  f.EndTime = record->Modified;
  f.Size = record->Size;
  if (!(f.EndTime > f.StartTime && f.StartTime + kMaxVideoSpan >= f.EndTime)) f.StartTime = 0;
  if (f.StartTime > 0) {
    f.DurationMs = Round((f.EndTime - f.StartTime) * MSecsPerDay);
    f.DurationSource = dsEstimated;
  }
  return f;
}

} // namespace

int TFileManager::AddVideoFile(const QString &fileName, const TFileRecord *record)
{
  TFileItem row;
  row.Files.push_back(NewFileItem(fileName, record));
  std::lock_guard<std::mutex> lock(FLock);
  // The search and a file opened by the user may meet on the same file.
  if (!FPaths.insert(fileName.toLower()).second) return IndexOfFileLocked(fileName, nullptr);
  RecalcLocked(row);
  FItems.push_back(std::move(row));
  return int(FItems.size()) - 1;
}

TFileItemSubitem TFileManager::PreviewFile(const QString &fileName) const
{
  TFileItem row;
  row.Files.push_back(NewFileItem(fileName, nullptr));
  PreviewRow(row);
  return row.Files.front();
}

bool TFileManager::RereadFile(const QString &fileName)
{
  if (IndexOfFile(fileName) < 0) return false;
  TFileItem copy;
  copy.Files.push_back(NewFileItem(fileName, nullptr));
  PreviewRow(copy);
  {
    std::lock_guard<std::mutex> lock(FLock);
    int index = -1;
    const int row = IndexOfFileLocked(fileName, &index);
    if (row < 0) return false;
    // The whole entry, its lock state too, is the file's as it now is.
    FItems[size_t(row)].Files[size_t(index)] = std::move(copy.Files.front());
    RecalcLocked(FItems[size_t(row)]);
  }
  Changed(-1);
  return true;
}

void TFileManager::LowerThreadPriority() const
{
  // Linux keeps a nice value per thread, addressed by its thread id.
  ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), kPreviewNice);
}

void TFileManager::PreviewAll()
{
  QString preview;
  std::vector<QString> identities;
  {
    std::lock_guard<std::mutex> lock(FLock);
    preview = FWords.Preview;
    FStatus = preview + QStringLiteral(" GPS,") + FWords.Video;
    identities.reserve(FItems.size());
    for (const TFileItem &row : FItems) identities.push_back(row.Files.front().FileName);
  }
  Changed(-1);
  LowerThreadPriority();
  const size_t total = identities.size();
  for (size_t i = 0; i < total && !Interrupted(); ++i) {
    PreviewByIdentity(identities[i], int(i));
    SetStatus(preview + QLatin1Char(' ') + QString::number(Round(double(i + 1) / double(total) * 100.0)) +
              QLatin1Char('%'));
    Changed(-1);
  }
}

} // namespace kp
