#pragma once
// The recording catalogue: one row per recording (one or more video files of
// a trip), the background search that fills it from folders and memory
// cards, the grouping of fragments into recordings and the operations behind
// the main window's list.
//
// Threading. A searching catalogue runs one pass on its own std::thread. The
// rows, the ".dat" and GPS-log lists, the status text and the unit words are
// guarded by one mutex that is held for each mutation and each read, never
// across file I/O or telemetry loads: a row is copied out, previewed without
// the lock and written back by file path. Operations that take a row index
// may be given the row's identity (the path of its first file); the index is
// then checked under the lock and a stale one is refused. Change
// notifications never block: they are coalesced and handed to the owner's
// Post function, which runs the delivery on the owner's thread; once the
// catalogue is stopped or destroyed no delivery reaches OnChange.
#include "UnitUtils.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kp {

class TMovingInfo;
class TKeptTracks;

// ---------------------------------------------------------------- records

// One GPS log file found while searching.
struct TGPSLogFileItem {
  QString FileName;
  TDateTime StartTime = 0; // local time
  TDateTime EndTime = 0;
};

enum TDurationSource : uint8_t {
  dsUnknown = 0,   // no duration known
  dsEstimated = 1, // from file times or track times
  dsNoHeader = 2,  // the movie header could not be used
  dsHeader = 3,    // exact: movie header or the playing graph
};

enum TLockState : uint8_t { lsNone = 0, lsLocked = 1, lsPartial = 2 };

// Start and end as fractions of the row's span.
struct TFileFraction {
  long double Start = 0;
  long double End = 0;
};

// One video file; also a row's summary.
struct TFileItemSubitem {
  // Video part.
  QString FileName;       // summary: every path joined with ", "
  QString Name;           // summary: the names with number runs folded
  uint8_t Locked = 0;     // file: 1 when write-protected; summary: TLockState
  int64_t Size = 0;       // bytes, -1 unknown
  int64_t DurationMs = 0; // -1 unknown
  uint8_t DurationSource = dsUnknown;
  int32_t Width = 0, Height = 0;
  double FrameRate = 0;
  double Bitrate = 0;      // kbit/s
  TDateTime StartTime = 0; // local time; 0 unknown
  TDateTime EndTime = 0;
  TFileFraction Position;
  // Track part (reset as a unit when a GPS log is attached).
  QString TrackFileName;
  bool HasTrack = false;
  double TrackLength = 0; // metres
  double AvgSpeed = 0;    // km/h, -1 unknown
  int32_t TrackPoints = 0;
  int32_t GSensorPoints = 0;
  TDateTime TrackStartTime = 0;
  TDateTime TrackEndTime = 0;
  TFileFraction TrackPosition;
  // The track's first and last fixes with a position (time 0: none): a
  // summary's length adds the way between one file's last fix and the
  // next file's first where the next follows on.
  TFixBlock FirstFix, LastFix;
  // Log part.
  TGPSLogFileItem Log;

  void ResetTrackPart();
};

// One row of the recording list.
struct TFileItem {
  QString DateText, SizeText, DistanceText, SpeedText, DurationText, ResolutionText;
  std::vector<TFileItemSubitem> Files; // ordered by StartTime after RecalcGroup
  TFileItemSubitem Summary;
};

// The empty row the main window copies over its current row to clear it.
extern const TFileItem kEmptyFileItem;

// The number formed by the trailing run of digits and dots of Name; -1 when
// there is none.
double ExtractTrailingNumber(const QString &name);

// Days the two intervals share (negative when disjoint); 0 unless both are
// valid (0 < start < end).
double IntervalOverlap(TDateTime s1, TDateTime e1, TDateTime s2, TDateTime e2);

// Sort codes and list columns.
enum TFileListColumn : int32_t {
  flcName = 0,
  flcDuration = 1,
  flcDateTime = 2,
  flcDistance = 3,
  flcSpeed = 4,
  flcLocation = 5,
  flcSize = 6,
  flcResolution = 7,
};

// Images of the list: 0 full lock, 1 partial lock, 2 video warning, 3 GPS.
enum TFileListImage : int { fliNone = -1, fliLocked = 0, fliPartial = 1, fliWarning = 2, fliGps = 3 };

// One item of the owner-data list as FillListItem fills it.
struct TFileListItem {
  QString Caption;
  QStringList SubItems;
  int ImageIndex = fliNone;
  std::vector<int> SubItemImages; // one per sub-item
};

// Displayed lengths and speeds in miles and mph. Read by the catalogue
// thread, so it is an atomic flag.
bool UseBritishUnits();
void SetUseBritishUnits(bool british);

// ---------------------------------------------------------------- platform layer

// The lock state is the file's write bits: locked when none is set (on
// vfat/exfat this is the read-only attribute).
bool IsFileLocked(const QString &path);
// Lock clears every write bit; unlock sets those the umask permits, retrying
// with all three when the file system refuses (vfat/exfat take write bits
// only as "everything the mount's mask allows, or none"). False when the
// change failed; callers re-read the state either way.
bool SetFileLocked(const QString &path, bool lock);
// Makes the file writable, then deletes it; true when it is gone. Error,
// when given, takes the system's error of a failure.
bool ForceDeleteFile(const QString &path, int *error = nullptr);

// What the search roots are made from; each member has a system default.
struct TSearchRootInputs {
  QString CurrentFolder;
  QString ProgramFolder;
  QString DesktopFolder;
  // Mount point and file-system type of the volume holding CurrentFolder.
  QString CurrentMountRoot;
  QString CurrentFsType;
  QStringList CardRoots;
};
TSearchRootInputs SystemSearchRootInputs();
// Roots in search order, each with a trailing "/": current folder, program
// folder, the DCIM folder of the current folder's volume (not on a network
// file system), every card. A root holding the desktop folder's path is
// skipped, and so is a duplicate (compared without case).
QStringList SearchRoots(const TSearchRootInputs &inputs);
bool IsNetworkFsType(const QString &fsType);
// Mount point and type of the volume holding Path (longest mount point that
// is a prefix of it), from the mount table of DriveSources().
bool MountOf(const QString &path, QString &mountRoot, QString &fsType);
// True when a file found in Folder (a path with a trailing "/" below the
// volume's mount point, lower case) with the extension Ext (lower case, with
// the point) is a GPS log.
bool IsGpsLogPath(const QString &folderBelowMount, const QString &ext);

// ---------------------------------------------------------------- catalogue

// Index is always -1: the whole list changed.
using TFileManagerEvent = std::function<void(int32_t index)>;
// Runs Deliver on the owner's thread later; must not block or run it inline
// when called from another thread. Empty: deliveries run at once (tests and
// catalogues that never search). A window connects it as a queued call:
//   [w](std::function<void()> d) { QMetaObject::invokeMethod(w, std::move(d), Qt::QueuedConnection); }
// Deliver itself only reads atomics and the owner's OnChange, so it needs no
// ordering from the queue it travels through.
using TFileManagerPost = std::function<void(std::function<void()> deliver)>;

// Snapshot of the translated words the catalogue shows, taken on the owner's
// thread (at creation and at Refresh) so the search thread never reads the
// language tables.
struct TCatalogueWords {
  QString Initializing, Searching, Preview, Video, Grouping, Today, Yesterday, CantReadFolder, NamesNotUtf8,
      RecordingsGone;
  QString KmWord, MiWord; // empty until the first Refresh
  TFormatSettings Formats;
  static TCatalogueWords Current(bool withUnits);
};

// Facts of one file as the folder enumeration gives them.
struct TFileRecord {
  bool ReadOnly = false;
  TDateTime Created = 0, Modified = 0; // local time
  int64_t Size = -1;
};
// False when the file cannot be examined.
bool ReadFileRecord(const QString &path, TFileRecord &record);

// A video an earlier list held.
struct TListedVideo {
  QString FileName;
  int64_t Size = -1; // bytes, -1 unknown
};

class TFileManager {
public:
  TFileManager(bool searchOnStart, TFileManagerEvent onChange, TFileManagerPost post = {});
  // Stops and joins the thread. The thread never waits for the owner, so
  // this cannot deadlock.
  ~TFileManager();
  TFileManager(const TFileManager &) = delete;
  TFileManager &operator=(const TFileManager &) = delete;

  // Starts the search thread (nothing when created without search). The
  // owner sets the sort column and direction, and tests the roots, first.
  void Start();
  void SetSearchRoots(const QStringList &roots)
  {
    FRootsOverride = roots;
    FHasRootsOverride = true;
  }
  // Before Start: the recordings an earlier list held, as each one's videos.
  // The videos still there are listed again (with those the search finds),
  // so files the user added by hand survive a new search; a recording with
  // a video gone is counted for SkippedNotice and its gone paths kept for
  // GoneFiles, unless the search lists each such video again elsewhere.
  void KeepListed(const std::vector<std::vector<TListedVideo>> &recordings);
  // Stops the search, waits for its thread and returns every recording
  // listed, as its videos, in one snapshot: a search still adding, sorting
  // or joining rows shifts them under a reader going row by row.
  std::vector<std::vector<TListedVideo>> StopAndListVideos();
  QStringList GoneFiles() const;
  // Asks the thread to stop; does not wait.
  void Stop();
  bool Stopped() const { return FStop.load(); }
  // Waits for the thread's pass to end.
  void WaitFor();
  // True from Start until the thread's pass has ended.
  bool Searching() const { return FRunning.load(); }

  void Changed(int32_t index = -1);

  int GetCount() const;
  // The progress text of a running search, with what it had to leave out
  // so far (SkippedNotice); empty when idle.
  QString GetStatus() const;
  // Folders the search could not read (each also logged under kp.catalogue).
  QStringList UnreadableFolders() const;
  // Entries whose names are no valid UTF-8: the program cannot name them,
  // so they are left out (each also logged, its bytes escaped).
  int UnrepresentableNames() const;
  // What the user is told was left out: the last folder that could not be
  // read, the count of names that cannot be shown and of recordings whose
  // files are gone (KeepListed); empty when nothing.
  QString SkippedNotice() const;
  void FillListItem(int index, TFileListItem &item) const;
  int IndexOfFile(const QString &fileName, int *fileIndex = nullptr) const;
  // A video file as a row of its own would hold it once previewed, without
  // listing it: its track file as the list pairs them and its times fitted
  // to the track's. File I/O; the lock only for the ".dat" lookup.
  TFileItemSubitem PreviewFile(const QString &fileName) const;
  // A listed file that was written anew (a cut that replaced it): its entry
  // is read again from the disk, as a new row's would be, in its row. False
  // when the list does not hold it. File I/O, the lock only around it.
  bool RereadFile(const QString &fileName);

  // ------------------------------------------------------------ search (thread and AddFolder)
  int AddVideoFile(const QString &fileName, const TFileRecord *record);
  void ScanFolder(QString path, int depth, bool notify);

  // Preview steps on a row copy; file I/O, no lock taken except for the
  // short ".dat" lookup.
  void FindGpsFiles(TFileItem &item) const;
  void ReadVideoHeaders(TFileItem &item) const;
  static void FitTimesToGps(TFileItem &item);
  static void CopyTrackInfo(TFileItemSubitem &file, const TMovingInfo *telemetry);
  void PreviewRow(TFileItem &item) const;
  // A file's distance, wherever it is shown, is that of its telemetry within
  // the file's span: a log that covers a whole trip counts for each file
  // only the part the file shows. CropToFile cuts Telemetry to that part
  // (false when nothing lay outside or the span is unknown);
  // FitTracksToFiles refills the track facts of the files whose track
  // reaches beyond them.
  static bool CropToFile(const TFileItemSubitem &file, TMovingInfo &telemetry);
  void FitTracksToFiles(TFileItem &item) const;

  // ------------------------------------------------------------ records
  // Both work on a row held by the caller with the catalogue's current words;
  // nothing once the catalogue is stopped.
  void RecalcGroup(TFileItem &item) const;
  void FormatGroup(TFileItem &item) const;
  static void RecalcItem(TFileItem &item, const TCatalogueWords &words);
  static void FormatItem(TFileItem &item, const TCatalogueWords &words);

  // ------------------------------------------------------------ grouping
  // Index-taking operations accept the rows' identities (first file paths);
  // when given, any mismatch refuses the operation (false). Without them
  // they are refused while a search runs.
  bool JoinGroups(std::vector<int> indices, bool recalculate, const QStringList &identities = {});
  bool Ungroup(int index, const QString &identity = {});
  void UngroupAll();
  void AutoGroup();
  void MatchGpsLogs();
  double TimeGap(int a, int b) const;
  int NameDistance(int a, int b) const;

  // ------------------------------------------------------------ list operations
  TFileItem GetGroup(int index) const;
  bool GetGroupByFile(const QString &fileName, TFileItem &item);
  bool AddFolder(const QString &folder);
  void Sort();
  void SortAndNotify();
  void SortByColumn(int column);
  void SetSortColumn(int column);
  void SetSortAscending(bool ascending);
  int GetSortColumn() const;
  bool GetSortAscending() const;
  bool HasLocked() const;
  // False when the row is gone or any of its files kept its state; Kept
  // then names those files.
  bool SetGroupLocked(int index, bool lock, const QString &identity = {}, QStringList *kept = nullptr);
  // Deletes the row's files from disk with their track and side files
  // (RecordingFiles.h; a track another listed file uses stays); the videos
  // that could not be deleted stay listed, and so do the files that go with
  // them. False when any file stayed; Failed then names them all and
  // Reasons gives the reason of each (the system's, or that it stays with
  // its video).
  bool DeleteGroupFiles(const TFileItem &item, QStringList *failed = nullptr, QStringList *reasons = nullptr);
  // For each row, the files that deleting these rows together takes from
  // the disk (videos and everything that goes with them), each path once.
  std::vector<QStringList> FilesToDelete(const std::vector<TFileItem> &items) const;
  void RemoveGroup(const TFileItem &item);
  TArrayString GetGpsLogList() const;
  std::vector<TGPSLogFileItem> GetGpsLogs() const;
  bool SetGroupTrack(int index, const QString &logFileName, const QString &identity = {});
  void UpdateFileTrack(const QString &fileName, TMovingInfo &telemetry);
  bool ShiftGroupTime(int index, double offset, const QString &identity = {});
  void SetFileDuration(const QString &fileName, int64_t durationMs);
  void Clear();
  void Refresh();

private:
  // Tests and benchmarks reach the row arrays through it.
  friend class TFileManagerTestAccess;
  using TLock = std::unique_lock<std::mutex>;

  // A copy of every row; replacing the rows; the logs and ".dat" files seen.
  std::vector<TFileItem> Rows() const;
  void SetRows(std::vector<TFileItem> rows);
  void AddGpsLog(const TGPSLogFileItem &log);
  QStringList GetDatFiles() const;
  // Tracks of listed files outside Items.
  TKeptTracks KeptTracks(const std::vector<TFileItem> &items) const;

  void Execute();
  void Search();
  void PreviewAll();
  void SetStatus(const QString &status);
  QString StatusTextLocked() const;
  QString SkippedNoticeLocked() const;
  // The gone videos of FGoneRecordings that the list does not hold again
  // (same name, same size) in another folder, by recording.
  std::vector<QStringList> StillGoneLocked() const;
  void NoteUnreadableFolder(const QString &path, int error);
  void NoteUnrepresentableName(const QByteArray &path);
  bool Interrupted() const { return FStop.load() || FClearRequested.load(); }
  void SleepInterruptible(int ms) const;
  void LowerThreadPriority() const;

  // Under the lock.
  void RecalcLocked(TFileItem &item) const;
  int IndexOfFileLocked(const QString &fileName, int *fileIndex) const;
  int FindRowByIdentity(int index, const QString &identity) const;
  void SortLocked();
  void RecalcAllLocked();
  void ClearRowsLocked();
  void RemoveRowLocked(int index);
  void ForgetPathsLocked(const TFileItem &row);
  bool JoinGroupsLocked(std::vector<int> indices, bool recalculate);
  void AutoGroupLocked();
  void MatchGpsLogsLocked(std::vector<QString> &markedIdentities);
  QString DatFileFor(const QString &videoFileName) const;
  void AddDatFile(const QString &path);
  void ScanFolderBelow(const QString &path, const QString &lowerBelow, int depth, bool notify);
  bool ScanFile(const QString &full, const QString &lowerBelow, const QString &name);
  // Previews the row whose first file is Identity (looked for at Hint
  // first) on a copy and writes the result back; false when it is gone.
  bool PreviewByIdentity(const QString &identity, int hint);
  void WriteBackLocked(const TFileItem &copy, int hint);

  struct TNotifyState {
    std::atomic<bool> Pending{false};
    std::atomic<bool> Alive{true};
    TFileManagerEvent OnChange;
    std::thread::id Owner;
  };

  const bool FSearchOnStart;
  std::shared_ptr<TNotifyState> FNotify;
  TFileManagerPost FPost;
  std::thread FThread;
  std::atomic<bool> FStop{false};
  std::atomic<bool> FClearRequested{false};
  std::atomic<bool> FRunning{false};
  QStringList FRootsOverride;
  bool FHasRootsOverride = false;

  mutable std::mutex FLock;
  // Guarded by FLock.
  int32_t FSortColumn = flcName;
  bool FSortDescending = false;
  std::vector<QString> FDatFiles;
  std::unordered_map<QString, int> FDatByName; // lower-case base name -> first index in FDatFiles
  std::vector<TGPSLogFileItem> FLogs;
  std::vector<TFileItem> FItems;
  std::unordered_set<QString> FPaths; // lower-case paths of every listed video
  QString FStatus;
  QStringList FUnreadable;
  QSet<QByteArray> FUnrepresentable; // their paths: overlapping roots meet them again
  // Of each recording KeepListed found a video of gone: those videos.
  std::vector<std::vector<TListedVideo>> FGoneRecordings;
  TCatalogueWords FWords;
};

} // namespace kp
