#include "UnitUtils.h"
#include "UnitUtilsFiles.h"

#include "Errors.h"
#include "SmallDisk.h"
#include "TestSupport.h"
#include "WholeFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kp;

namespace {

// ---------------------------------------------------------------- drives

// A small copy of the kernel's device tree and mount table: a USB card
// reader with a card, the same with a freshly formatted card, a USB reader
// without medium, a USB hard disk, a built-in reader on the mmc bus and the
// system disk.
class FakeDrives : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(FTmp.isValid());
    FSys = FTmp.path() + "/sys";
    FMedia = FTmp.path() + "/media";
    for (const char *bus : {"usb", "mmc", "scsi", "pci"}) MakeDir(FSys + "/bus/" + bus);
    const QString usbPort = "/devices/pci0000:00/0000:00:14.0/usb1";
    const QString scsi = "/host6/target6:0:0/6:0:0:0/block/";
    Disk(usbPort + "/1-1/1-1:1.0" + scsi, "sdb", "sdb1", true, {usbPort, usbPort + "/1-1", usbPort + "/1-1/1-1:1.0"});
    Disk(usbPort + "/1-2/1-2:1.0" + scsi, "sdc", "sdc1", false, {usbPort, usbPort + "/1-2", usbPort + "/1-2/1-2:1.0"});
    Disk(usbPort + "/1-3/1-3:1.0" + scsi, "sdd", "", true, {usbPort + "/1-3"});
    Disk(usbPort + "/1-4/1-4:1.0" + scsi, "sde", "sde1", true, {usbPort + "/1-4", usbPort + "/1-4/1-4:1.0"});
    Disk("/devices/platform/sdhci/mmc_host/mmc0/mmc0:0001/block/", "mmcblk0", "mmcblk0p1", true, {});
    Link(FSys + "/devices/platform/sdhci/mmc_host/mmc0/mmc0:0001/subsystem", FSys + "/bus/mmc");
    Disk("/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/", "sda", "sda2", false, {});

    MakeDir(FMedia + "/CARD A/DCIM");
    MakeDir(FMedia + "/usbdisk/films");
    MakeDir(FMedia + "/sdcard/DCIM");
    MakeDir(FMedia + "/fresh");
    const QByteArray mounts = "/dev/sda2 / ext4 rw,relatime 0 0\n"
                              "proc /proc proc rw 0 0\n"
                              "tmpfs /run tmpfs rw 0 0\n"
                              "/dev/sdb1 " +
                              Media("/CARD\\040A") +
                              " vfat rw 0 0\n"
                              "/dev/sdc1 " +
                              Media("/usbdisk") +
                              " ext4 rw 0 0\n"
                              "/dev/mmcblk0p1 " +
                              Media("/sdcard") +
                              " vfat rw 0 0\n"
                              "/dev/sdd " +
                              Media("/nomedium") +
                              " vfat rw 0 0\n"
                              "/dev/sde1 " +
                              Media("/fresh/") + " exfat rw 0 0\n";
    ASSERT_TRUE(kptest::writeFileBytes(FTmp.path() + "/mounts", mounts));
    SetDriveSources({FSys, FTmp.path() + "/mounts"});
  }
  void TearDown() override { SetDriveSources(TDriveSources()); }

  QByteArray Media(const char *rest) const { return QFile::encodeName(FMedia) + rest; }
  QString Root(const char *name) const { return FMedia + "/" + name; }
  static void MakeDir(const QString &path) { ASSERT_TRUE(QDir().mkpath(path)) << path.toStdString(); }
  static void Link(const QString &link, const QString &target)
  {
    ASSERT_TRUE(QFile::link(target, link)) << link.toStdString();
  }
  // A disk under Parent (relative to the tree), with one partition when
  // Partition is not empty; UsbDirs get a "subsystem" link to the USB bus.
  void Disk(const QString &parent, const QString &disk, const QString &partition, bool removable,
            const QStringList &usbDirs)
  {
    const QString diskDir = FSys + parent + disk;
    MakeDir(diskDir);
    ASSERT_TRUE(kptest::writeFileBytes(diskDir + "/removable", removable ? "1\n" : "0\n"));
    MakeDir(FSys + "/class/block");
    QFile::link(diskDir, FSys + "/class/block/" + disk);
    if (!partition.isEmpty()) {
      MakeDir(diskDir + "/" + partition);
      ASSERT_TRUE(kptest::writeFileBytes(diskDir + "/" + partition + "/partition", "1\n"));
      Link(FSys + "/class/block/" + partition, diskDir + "/" + partition);
    }
    for (const QString &dir : usbDirs) QFile::link(FSys + "/bus/usb", FSys + dir + "/subsystem");
  }

  QTemporaryDir FTmp;
  QString FSys, FMedia;
};

TEST_F(FakeDrives, VolumesAreTheMountedBlockDevices)
{
  const QList<TVolume> volumes = ListVolumes();
  QStringList roots;
  for (const TVolume &v : volumes) roots << v.Root;
  EXPECT_EQ(roots,
            QStringList({"/", Root("CARD A"), Root("usbdisk"), Root("sdcard"), Root("nomedium"), Root("fresh")}));
  TVolume card;
  ASSERT_TRUE(FindVolume(Root("CARD A") + "/", card));
  EXPECT_EQ(card.Device, "/dev/sdb1");
  EXPECT_EQ(card.FsType, "vfat");
  EXPECT_FALSE(FindVolume(FMedia, card));
}

// Bus and removable flag come from the device tree; cards are the removable
// USB volumes that are ready.
TEST_F(FakeDrives, EachVolumeIsClassified)
{
  struct Case {
    QString root;
    bool usb, removable, card;
    TDriveState state;
  };
  const Case cases[] = {
      {Root("CARD A"), true, true, true, dsHasEntries},
      {Root("fresh"), true, true, true, dsEmpty},          // freshly formatted card
      {Root("nomedium"), true, true, false, dsNotReady},   // reader slot without a card
      {Root("usbdisk"), true, false, false, dsHasEntries}, // USB hard disk: fixed
      {Root("sdcard"), false, true, false, dsHasEntries},  // built-in reader on the mmc bus
      {"/", false, false, false, dsHasEntries},
      {FMedia, false, false, false, dsHasEntries}, // not a volume
      {"", false, false, false, dsNotReady},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(IsUsbDrive(c.root), c.usb) << c.root.toStdString();
    EXPECT_EQ(IsRemovableDrive(c.root), c.removable) << c.root.toStdString();
    EXPECT_EQ(IsCardDrive(c.root), c.card) << c.root.toStdString();
    EXPECT_EQ(GetDriveState(c.root), c.state) << c.root.toStdString();
  }
  ASSERT_TRUE(kptest::writeFileBytes(FTmp.path() + "/file", "x"));
  EXPECT_EQ(GetDriveState(FTmp.path() + "/file"), dsNotReady);
  EXPECT_EQ(CardDrives(), QStringList({Root("CARD A"), Root("fresh")}));
}

TEST_F(FakeDrives, MissingDeviceTreeMeansNoCards)
{
  SetDriveSources({FTmp.path() + "/nosys", FTmp.path() + "/mounts"});
  EXPECT_FALSE(IsUsbDrive(Root("CARD A")));
  EXPECT_TRUE(CardDrives().isEmpty());
  SetDriveSources({FSys, FTmp.path() + "/nomounts"});
  EXPECT_TRUE(ListVolumes().isEmpty());
  EXPECT_FALSE(IsCardDrive(Root("CARD A")));
}

TEST(DiskSpace, ReportsSizesOrLeavesThemUntouched)
{
  QTemporaryDir tmp;
  int64_t freeBytes = -5, totalBytes = -5;
  ASSERT_TRUE(GetDiskSpace(tmp.path(), freeBytes, totalBytes));
  EXPECT_GT(totalBytes, 0);
  EXPECT_GE(freeBytes, 0);
  EXPECT_LE(freeBytes, totalBytes);
  int64_t f2 = -5, t2 = -5;
  EXPECT_FALSE(GetDiskSpace(tmp.path() + "/missing", f2, t2));
  EXPECT_FALSE(GetDiskSpace("", f2, t2));
  EXPECT_EQ(f2, -5);
  EXPECT_EQ(t2, -5);
}

// ---------------------------------------------------------------- names

TEST(Sanitise, OnlyTheBuiltFileNameChanges)
{
  EXPECT_EQ(SanitizedPath("/tmp/a:b?.txt"), "/tmp/a_b_.txt");
  EXPECT_EQ(SanitizedPath("/home/u/x:y?/a<b>|\"*.kml"), "/home/u/x:y?/a_b____.kml");
  EXPECT_EQ(SanitizedPath("plain.srt"), "plain.srt");
  EXPECT_EQ(SanitizedPath("/home/u/dir:1/"), "/home/u/dir:1/");
  EXPECT_EQ(SanitizedPath(""), "");
  QString p = "/tmp/Track 10:00.kml";
  SanitizePath(p);
  EXPECT_EQ(p, "/tmp/Track 10_00.kml");

  // Date text of many locales carries slashes: a name made from it must not
  // turn into folders.
  EXPECT_EQ(SanitizeFileName("Track 12/05/2026 10:00:00.kml"), "Track 12_05_2026 10_00_00.kml");
  EXPECT_EQ(SanitizeFileName("a\\b|c"), "a_b_c");
}

// ---------------------------------------------------------------- files

class TempFolder : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FTmp.isValid()); }
  QString Path(const QString &rest) const { return FTmp.path() + "/" + rest; }
  QTemporaryDir FTmp;
};

TEST_F(TempFolder, ForceDirsMakesMissingParents)
{
  EXPECT_TRUE(ForceDirs(""));
  EXPECT_TRUE(ForceDirs(Path("a/b/c/")));
  EXPECT_TRUE(QFileInfo(Path("a/b/c")).isDir());
  EXPECT_TRUE(ForceDirs(Path("a/b")));
  EXPECT_TRUE(ForceDirs(Path("odd:name?/x")));

  ASSERT_TRUE(kptest::writeFileBytes(Path("file"), "x"));
  EXPECT_FALSE(ForceDirs(Path("file")));
  EXPECT_FALSE(ForceDirs(Path("file/below")));
  EXPECT_EQ(kptest::readFileBytes(Path("file")), "x");
}

TEST_F(TempFolder, SaveStringToFileWritesExactlyTheText)
{
  QString path = Path("out:1.kml");
  ASSERT_TRUE(SaveStringToFile(path, "a longer first text\r\n"));
  EXPECT_EQ(path, Path("out_1.kml"));
  ASSERT_TRUE(SaveStringToFile(path, "short"));
  EXPECT_EQ(kptest::readFileBytes(path), "short");
  ASSERT_TRUE(SaveStringToFile(path, ""));
  EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST_F(TempFolder, SaveStringToFileReportsFailure)
{
  ASSERT_TRUE(kptest::writeFileBytes(Path("file"), "x"));
  for (QString path : {Path("file/out.kml"), Path("nowhere/out.kml"), FTmp.path(), QString()})
    EXPECT_FALSE(SaveStringToFile(path, "text")) << path.toStdString();
}

TEST_F(TempFolder, SaveStringToFileIntoReadOnlyFolderFails)
{
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ASSERT_TRUE(ForceDirs(Path("ro")));
  ASSERT_EQ(::chmod(QFile::encodeName(Path("ro")).constData(), 0555), 0);
  QString readOnly = Path("ro/out.kml");
  EXPECT_FALSE(SaveStringToFile(readOnly, "text"));
  ::chmod(QFile::encodeName(Path("ro")).constData(), 0755);
}

// The one writer of a user's whole files: nothing under the target's name
// until the end, nothing replaced unasked, nothing left on failure, and the
// leftovers of a killed writer cleared by the next one.
TEST_F(TempFolder, WholeFileAppearsOnlyWhenCommittedAndNeverReplacesUnasked)
{
  const QString target = Path("trip.gpx");
  TWholeFileWriter writer(target);
  ASSERT_TRUE(writer.Create()) << writer.Error().toStdString();
  EXPECT_TRUE(QRegularExpression("^\\.trip\\.gpx\\.kp-[0-9a-f]{16}\\.part$")
                  .match(QFileInfo(writer.Temporary()).fileName())
                  .hasMatch())
      << writer.Temporary().toStdString();
  ASSERT_TRUE(writer.Write("new"));
  ASSERT_TRUE(kptest::writeFileBytes(target, "the user's")); // appears meanwhile
  EXPECT_FALSE(writer.Commit(false));
  EXPECT_TRUE(writer.TargetExists());
  EXPECT_EQ(kptest::readFileBytes(target), "the user's");
  ASSERT_TRUE(writer.Commit(true)) << writer.Error().toStdString();
  EXPECT_EQ(kptest::readFileBytes(target), "new");
  EXPECT_EQ(QDir(FTmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"trip.gpx"});

  // Dropped without a commit: gone.
  {
    TWholeFileWriter dropped(Path("other.kml"));
    ASSERT_TRUE(dropped.Create() && dropped.Write("x"));
  }
  EXPECT_EQ(QDir(FTmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"trip.gpx"});
}

// A writer in a process of its own (another copy, or another instance of
// the program): its temporary file's path once written, then held until
// Finish or Kill.
class TWriterProcess {
public:
  explicit TWriterProcess(const QString &target)
  {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    QByteArray program(KP_HELD_WRITER), name = QFile::encodeName(target);
    char *argv[] = {program.data(), name.data(), nullptr};
    if (posix_spawn(&FPid, program.constData(), &actions, nullptr, argv, environ) != 0) FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    FIn = in[1];
    FOut = out[0];
  }
  ~TWriterProcess()
  {
    Kill();
    ::close(FIn);
    ::close(FOut);
  }
  QString Temporary()
  {
    QByteArray line;
    char c;
    pollfd wait{FOut, POLLIN, 0};
    while (::poll(&wait, 1, 10000) == 1 && ::read(FOut, &c, 1) == 1 && c != '\n') line += c;
    return QFile::decodeName(line);
  }
  void Kill()
  {
    if (FPid <= 0) return;
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
    FPid = -1;
  }
  // Lets the writer end as it would when cancelled; its exit code.
  int Finish()
  {
    ::close(FIn);
    FIn = -1;
    int status = -1;
    if (FPid > 0 && ::waitpid(FPid, &status, 0) == FPid) FPid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

private:
  pid_t FPid = -1;
  int FIn = -1, FOut = -1;
};

// Any write into a folder clears what writers that ended left there, for
// whatever target, and nothing a writer still holds (in another process or
// in this one), nor a user's file that only looks like a temporary name (a
// wrong mark, length or digit, an earlier scheme's form).
TEST_F(TempFolder, WholeFileWritersClearWhatEndedWritersLeftInTheFolder)
{
  const QString random = ".kp-0123456789abcdef.part";
  const QStringList leftovers{".CUT.MP4" + random, ".CUT.MP4.kp-ffffffff00000000.part", ".FILE0001.DAT" + random,
                              ".Frame 01.05.2024 10-00-00 (0-01-23.456).jpg" + random};
  const QStringList users{".CUT.MP4.backup.part",
                          ".CUT.MP4.old.part",
                          "CUT.MP4.tmp-draft1",
                          ".CUT.MP4.1x2y3z.part",
                          ".CUT.MP4.kp-0123456789abcde.part",
                          ".CUT.MP4.kp-0123456789abcdef0.part",
                          ".CUT.MP4.kp-0123456789ABCDEF.part",
                          ".CUT.MP4.kq-0123456789abcdef.part",
                          ".CUT.MP4.kp-0123456789abcdeg.part",
                          ".kp-0123456789abcdef.part",
                          "CUT.MP4" + random};
  for (const QString &name : leftovers + users) ASSERT_TRUE(kptest::writeFileBytes(Path(name), "left"));
  TWriterProcess running(Path("FILE0002.MOV")), killed(Path("FILE0003.MOV"));
  const QString held = running.Temporary(), dead = killed.Temporary();
  ASSERT_TRUE(QFileInfo::exists(held) && QFileInfo::exists(dead)) << held.toStdString() << dead.toStdString();
  killed.Kill(); // midway, as a crash or a power-off of the program leaves it
  ASSERT_TRUE(QFileInfo::exists(dead));
  TWholeFileWriter mine(Path("FILE0004.MOV"));
  ASSERT_TRUE(mine.Create() && mine.Write("x"));

  QString error;
  ASSERT_TRUE(SaveFileWhole(Path("trip.gpx"), "track", false, error)) << error.toStdString();
  QStringList expected = users;
  expected << ExtractFileName(held) << ExtractFileName(mine.Temporary()) << "trip.gpx";
  expected.sort();
  QStringList entries = QDir(FTmp.path()).entryList(QDir::Files | QDir::Hidden);
  entries.sort();
  EXPECT_EQ(entries.join('|').toStdString(), expected.join('|').toStdString());
  for (const QString &name : users) EXPECT_EQ(kptest::readFileBytes(Path(name)), "left") << name.toStdString();
  EXPECT_EQ(QFileInfo(held).size(), 1 << 20);
  // The running writer's own end takes its file along.
  EXPECT_EQ(running.Finish(), 0);
  EXPECT_FALSE(QFileInfo::exists(held));
}

// A writer of many files clears the leftovers in each of their folders in
// one look at each.
TEST_F(TempFolder, WholeFileLeftoversOfManyTargetsGoInOneScan)
{
  ASSERT_TRUE(ForceDirs(Path("sub")) && ForceDirs(Path("other")));
  const QString random = ".kp-00000000deadbeef.part";
  const QStringList stale{".A.MOV" + random, ".D.MOV" + random, "sub/.C.MOV" + random, "sub/.A.MOV" + random};
  const QStringList kept{".A.MOV" + random + ".old", "other/.A.MOV" + random, "B.DAT.tmp-aB3dE9"};
  for (const QString &name : stale + kept) ASSERT_TRUE(kptest::writeFileBytes(Path(name), "left"));
  EXPECT_EQ(TWholeFileWriter::RemoveStaleTemporaries(QStringList{Path("A.MOV"), Path("B.DAT"), Path("sub/C.MOV")}),
            int(stale.size()));
  for (const QString &name : stale) EXPECT_FALSE(QFileInfo::exists(Path(name))) << name.toStdString();
  for (const QString &name : kept) EXPECT_TRUE(QFileInfo::exists(Path(name))) << name.toStdString();
  // A writer told the scan was done does not look again.
  ASSERT_TRUE(kptest::writeFileBytes(Path(".D.MOV" + random), "left"));
  TWholeFileWriter writer(Path("D.MOV"));
  ASSERT_TRUE(writer.Create(TWholeFileWriter::StaleRemoved));
  EXPECT_TRUE(QFileInfo::exists(Path(".D.MOV" + random)));
}

// Where other computers may write (a network share, a network FUSE mount),
// their writers' locks are not seen here: nothing there counts as left
// behind. Disks of this computer, a card's FUSE file system on its block
// device included, are cleared.
TEST(WholeFileWriter, LeftoversAreClearedOnlyWhereEveryWritersLockIsSeen)
{
  const dev_t disk = makedev(8, 17), none = makedev(0, 52);
  const struct {
    int64_t Type;
    dev_t Device;
    bool Seen;
  } cases[] = {
      {EXT4_SUPER_MAGIC, disk, true},      {TMPFS_MAGIC, none, true},       {MSDOS_SUPER_MAGIC, disk, true},
      {EXFAT_SUPER_MAGIC, disk, true},     {FUSE_SUPER_MAGIC, disk, true},  {FUSE_SUPER_MAGIC, none, false},
      {NFS_SUPER_MAGIC, none, false},      {SMB2_SUPER_MAGIC, none, false}, {int64_t(CIFS_SUPER_MAGIC), none, false},
      {0x6b414653 /* afs */, none, false}, {0x12345678, disk, false}};
  for (const auto &c : cases)
    EXPECT_EQ(TWholeFileWriter::LocksSeenByEveryWriter(c.Type, c.Device), c.Seen) << std::hex << c.Type;
}

// Writers synced together commit whole files; one that has nothing to sync
// says so, and a write after the sync is synced by its own commit.
TEST_F(TempFolder, WholeFilesSyncedTogetherCommitWhole)
{
  ASSERT_TRUE(ForceDirs(Path("sub")));
  TWholeFileWriter a(Path("a.bin")), b(Path("sub/b.bin")), unmade(Path("c.bin"));
  ASSERT_TRUE(a.Create() && a.Write("first") && b.Create() && b.Write("second"));
  EXPECT_TRUE(TWholeFileWriter::SyncTogether({&a, &b}));
  EXPECT_FALSE(TWholeFileWriter::SyncTogether({&a, &unmade}));
  ASSERT_TRUE(b.Write(" and more"));
  EXPECT_TRUE(a.Commit(false) && b.Commit(false)) << a.Error().toStdString() << b.Error().toStdString();
  EXPECT_EQ(kptest::readFileBytes(Path("a.bin")), "first");
  EXPECT_EQ(kptest::readFileBytes(Path("sub/b.bin")), "second and more");
}

TEST_F(TempFolder, WholeFileFailuresNameTheReasonAndLeaveNothing)
{
  QString error;
  EXPECT_FALSE(SaveFileWhole(Path("missing/out.kml"), "x", true, error));
  EXPECT_EQ(error, SystemErrorText(ENOENT));
  ASSERT_TRUE(ForceDirs(Path("dir")));
  EXPECT_FALSE(SaveFileWhole(Path("dir"), "x", true, error)); // a folder is never replaced
  EXPECT_EQ(QDir(FTmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});

  for (const auto kind : {kptest::TSmallDisk::ReadOnly, kptest::TSmallDisk::Full}) {
    KP_SMALL_DISK(disk, kind);
    SCOPED_TRACE(disk.Name());
    error.clear();
    EXPECT_FALSE(SaveFileWhole(disk.Path("track.gpx"), QByteArray(8192, 'g'), false, error));
    EXPECT_EQ(error, SystemErrorText(kind == kptest::TSmallDisk::ReadOnly ? EROFS : ENOSPC));
    EXPECT_EQ(disk.Entries(), QStringList{});
  }
}

TEST_F(TempFolder, FileSizeOfFilesOnly)
{
  ASSERT_TRUE(kptest::writeFileBytes(Path("f"), QByteArray(1234, 'x')));
  EXPECT_EQ(GetFileSize64(Path("f")), 1234);
  EXPECT_EQ(GetFileSize64(Path("missing")), 0);
  EXPECT_EQ(GetFileSize64(FTmp.path()), 0);
}

TEST_F(TempFolder, FileTimesRoundTrip)
{
  const double oldOffset = LocalTimeOffset();
  SetLocalTimeOffset(3.0 / 24);
  const QString a = Path("a.mov"), b = Path("b.mov");
  ASSERT_TRUE(kptest::writeFileBytes(a, "a"));
  ASSERT_TRUE(kptest::writeFileBytes(b, "b"));

  const TDateTime written = EncodeDateTimeOr0(2021, 3, 4, 5, 6, 7, 890);
  ASSERT_TRUE(SetFileTimes(a, written - 1, written));
  TDateTime created = -1, modified = -1;
  ASSERT_TRUE(GetFileTimes(a, created, modified));
  EXPECT_EQ(DateTimeToMSecs(modified), DateTimeToMSecs(written));

  EXPECT_FALSE(SetFileTimes(a, 0, 0)); // unknown time: left alone
  ASSERT_TRUE(GetFileTimes(a, created, modified));
  EXPECT_EQ(DateTimeToMSecs(modified), DateTimeToMSecs(written));
  EXPECT_FALSE(SetFileTimes(Path("missing"), 0, written));

  ASSERT_TRUE(CopyFileTimes(a, b));
  struct stat sa {
  }, sb{};
  ASSERT_EQ(::stat(QFile::encodeName(a).constData(), &sa), 0);
  ASSERT_EQ(::stat(QFile::encodeName(b).constData(), &sb), 0);
  EXPECT_EQ(sa.st_mtim.tv_sec, sb.st_mtim.tv_sec);
  EXPECT_EQ(sa.st_mtim.tv_nsec, sb.st_mtim.tv_nsec);
  EXPECT_EQ(sa.st_atim.tv_sec, sb.st_atim.tv_sec);
  EXPECT_FALSE(CopyFileTimes(Path("missing"), b));
  EXPECT_FALSE(CopyFileTimes(a, Path("missing")));

  // Before 1970 the nanoseconds are negative.
  const TDateTime old = EncodeDateTimeOr0(1969, 12, 31, 23, 59, 59, 250);
  ASSERT_TRUE(SetFileTimes(a, 0, old));
  ASSERT_TRUE(GetFileTimes(a, created, modified));
  EXPECT_EQ(DateTimeToMSecs(modified), DateTimeToMSecs(old));
  SetLocalTimeOffset(oldOffset);
}

TEST_F(TempFolder, SpecialFoldersFollowTheUsersDirsAndAreNotCreated)
{
  const QByteArray oldHome = qgetenv("HOME"), oldXdg = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", QFile::encodeName(Path("home")));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path("home/.config")));
  ASSERT_TRUE(ForceDirs(Path("home/.config")));
  ASSERT_TRUE(kptest::writeFileBytes(Path("home/.config/user-dirs.dirs"), "XDG_VIDEOS_DIR=\"$HOME/Clips\"\n"));

  EXPECT_EQ(GetSpecialFolder(sfVideos), Path("home/Clips"));
  EXPECT_EQ(GetSpecialFolder(sfDocuments), Path("home/Documents"));
  EXPECT_EQ(GetSpecialFolder(sfDesktopDirectory), Path("home/Desktop"));
  // Asking makes nothing: only a copy or a save into a folder does.
  EXPECT_EQ(QDir(Path("home")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{".config"});
  EXPECT_EQ(GetSpecialFolder(99), "");

  qputenv("HOME", oldHome);
  if (oldXdg.isNull())
    qunsetenv("XDG_CONFIG_HOME");
  else
    qputenv("XDG_CONFIG_HOME", oldXdg);
}

TEST(Program, FileNameIsThisTest)
{
  const QString self = GetAppFileNameW();
  EXPECT_TRUE(QFileInfo(self).isFile());
  EXPECT_TRUE(self.endsWith("kp_foundation_tests")) << self.toStdString();
}

// ---------------------------------------------------------------- resources

TEST(Resources, ReadByNameAndEmptyWhenMissing)
{
  EXPECT_TRUE(ResourceExists("kptest_resource.txt"));
  EXPECT_EQ(LoadResourceText("kptest_resource.txt"), "line one\nline two \xd0\xaf\n");
  EXPECT_FALSE(ResourceExists("kptest_missing.txt"));
  EXPECT_TRUE(LoadResourceText("kptest_missing.txt").isEmpty());
  EXPECT_TRUE(LoadResourceText("").isEmpty());
}

} // namespace
