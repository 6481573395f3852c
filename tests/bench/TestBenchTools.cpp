// The bench tools' command line: --help and a mistaken option end them at
// once, a work folder never starts with "-" nor holds someone else's files,
// and a run leaves the folder as it found it.

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

// Readable failure output for the lists of names.
inline void PrintTo(const QStringList &l, std::ostream *os)
{
  *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace {

struct TRun {
  int Code = -1;
  QString Out, Err;
};

// Runs a tool of the bench folder in Folder (at most Seconds).
TRun RunTool(const QString &tool, const QStringList &args, const QString &folder, int seconds = 60)
{
  QProcess p;
  p.setWorkingDirectory(folder);
  p.start(QStringLiteral(KP_BENCH_DIR "/") + tool, args);
  TRun run;
  if (!p.waitForFinished(seconds * 1000)) {
    p.kill();
    p.waitForFinished(5000);
    run.Err = QStringLiteral("timed out");
    return run;
  }
  run.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
  run.Err = QString::fromLocal8Bit(p.readAllStandardError());
  return run;
}

QStringList Entries(const QString &folder)
{
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The tools that write in a work folder, with the words before it.
struct TWorker {
  const char *Tool;
  QStringList Before;
};

} // namespace

TEST(BenchTools, HelpAndMistakenOptionsEndThemWithoutWriting)
{
  const char *const tools[] = {"kp_copy_bench",     "kp_catalogue_bench", "kp_mov_bench",
                               "kp_playback_bench", "kp_movwriter_bench", "kp_mainwindow_bench",
                               "kp_formats_bench",  "kp_telemetry_bench", "kp_telemetry_scaling_bench",
                               "kp_display_bench"};
  for (const char *tool : tools) {
    SCOPED_TRACE(tool);
    QTemporaryDir here;
    const TRun help = RunTool(QLatin1String(tool), {QStringLiteral("--help")}, here.path());
    EXPECT_EQ(help.Code, 0) << help.Err.toStdString();
    EXPECT_FALSE(help.Out.isEmpty());
    const TRun bad = RunTool(QLatin1String(tool), {QStringLiteral("--no-such-option")}, here.path());
    EXPECT_EQ(bad.Code, 2) << bad.Out.toStdString();
    EXPECT_EQ(Entries(here.path()), QStringList());
  }
}

TEST(BenchTools, WorkFoldersOfOthersOrLikeOptionsAreRefused)
{
  QTemporaryDir here;
  ASSERT_TRUE(kptest::writeFileBytes(here.filePath("a.mov"), "not a movie"));
  const QStringList sources{"a.mov", "a.mov", "a.mov"};
  const TWorker workers[] = {{"kp_copy_bench", {}},     {"kp_catalogue_bench", {}},      {"kp_mov_bench", {}},
                             {"kp_playback_bench", {}}, {"kp_movwriter_bench", sources}, {"kp_mainwindow_bench", {}}};
  ASSERT_TRUE(QDir(here.path()).mkdir("photos"));
  ASSERT_TRUE(kptest::writeFileBytes(here.filePath("photos/holiday.jpg"), "mine"));
  for (const TWorker &w : workers) {
    SCOPED_TRACE(w.Tool);
    for (const QStringList &folder : {QStringList{"--", "-x"}, QStringList{"photos"}}) {
      const TRun run = RunTool(QLatin1String(w.Tool), w.Before + folder, here.path());
      EXPECT_EQ(run.Code, 2) << folder.join(' ').toStdString() << ": " << run.Out.toStdString();
      EXPECT_FALSE(run.Err.isEmpty());
    }
    EXPECT_EQ(Entries(here.path()), QStringList({"a.mov", "photos"}));
    EXPECT_EQ(Entries(here.filePath("photos")), QStringList({"holiday.jpg"}));
  }
}

// A small copy run: in a folder it makes (named like an option, written
// ./-run), in an empty one, and in one a stopped run left behind.
TEST(BenchTools, ACopyRunLeavesItsFolderAsItFoundIt)
{
  QTemporaryDir here;
  ASSERT_TRUE(QDir(here.path()).mkdir("empty"));
  ASSERT_TRUE(QDir(here.path()).mkpath("stopped/sources"));
  ASSERT_TRUE(kptest::writeFileBytes(here.filePath("stopped/.kp_copy_bench-work"), {}));
  ASSERT_TRUE(kptest::writeFileBytes(here.filePath("stopped/sources/FILE0000.MOV"), "half"));
  for (const char *folder : {"./-run", "empty", "stopped"}) {
    SCOPED_TRACE(folder);
    const TRun run = RunTool("kp_copy_bench", {QLatin1String(folder), "3", "0.05"}, here.path(), 240);
    EXPECT_TRUE(run.Code == 0 || run.Code == 3) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains("cp -p:")) << run.Out.toStdString();
    EXPECT_TRUE(run.Out.contains("copies with another time or lock than their source: 0")) << run.Out.toStdString();
  }
  EXPECT_EQ(Entries(here.path()), QStringList({"empty", "stopped"}));
  EXPECT_EQ(Entries(here.filePath("empty")), QStringList());
  EXPECT_EQ(Entries(here.filePath("stopped")), QStringList());
}
