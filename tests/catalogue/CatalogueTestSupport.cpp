#include "CatalogueTestSupport.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"

#include <QDir>
#include <QFileInfo>

using namespace kp;

namespace kpcat {

void CatalogueTest::SetUp()
{
  ASSERT_TRUE(FDir.isValid());
  SetLocalTimeOffset(0);
  SetNowProvider([] { return At(15, 0); });
  SetFormatSettings(TFormatSettings{});
  SetUseBritishUnits(false);
  SetTimeZoneShift(0);
  TLanguageSources sources;
  sources.LoadText = [](const QString &name) -> QByteArray {
    if (name != QLatin1String("translate_en.txt")) return {};
    return "LangSystemID \"1033\"\nLangID \"en\"\nInitializing \"Starting...\"\nSearching \"Searching\"\n"
           "Preview \"Reading\"\nVideo \"Video\"\nGrouping_Title \"Grouping\"\ntoday \"today\"\n"
           "yesterday \"yesterday\"\nKmeters \"km\"\nMiles \"miles\"\n";
  };
  sources.InstallerLanguage = [](int) { return LangIdEnglish; };
  sources.SystemLocale = [] { return QLocale(QLocale::English); };
  InitLanguages(sources);
}

void CatalogueTest::TearDown()
{
  SetNowProvider({});
  SetUseBritishUnits(false);
}

std::unique_ptr<TFileManager> CatalogueTest::MakeManager()
{
  auto fm = std::make_unique<TFileManager>(false, [this](int32_t index) {
    EXPECT_EQ(index, -1);
    ++FNotified;
  });
  fm->Refresh();
  FNotified = 0;
  return fm;
}

QString CatalogueTest::AddMovie(const QString &relative, TDateTime end, int64_t durationMs)
{
  const QString path = PathIn(relative);
  QDir().mkpath(QFileInfo(path).absolutePath());
  EXPECT_TRUE(WriteFile(path, MovieBytes(durationMs)));
  FTimes.Set(path, 0, end);
  return path;
}

QString CatalogueTest::Make(const QString &relative, const QByteArray &bytes)
{
  const QString path = PathIn(relative);
  QDir().mkpath(QFileInfo(path).absolutePath());
  EXPECT_TRUE(WriteFile(path, bytes));
  return path;
}

TFileManagerPost TPostQueue::Post()
{
  return [this](std::function<void()> job) {
    std::lock_guard<std::mutex> guard(FLock);
    FJobs.push_back(std::move(job));
  };
}

int TPostQueue::Drain()
{
  int n = 0;
  for (;;) {
    std::function<void()> job;
    {
      std::lock_guard<std::mutex> guard(FLock);
      if (FJobs.empty()) return n;
      job = std::move(FJobs.front());
      FJobs.pop_front();
    }
    job();
    ++n;
  }
}

size_t TPostQueue::Size()
{
  std::lock_guard<std::mutex> guard(FLock);
  return FJobs.size();
}

TFileItem Row(const QString &path, TDateTime start, TDateTime end, int64_t durationMs)
{
  TFileItem row;
  TFileItemSubitem f;
  f.FileName = path;
  f.Name = ExtractFileNameNoExt(path);
  f.StartTime = start;
  f.EndTime = end;
  f.DurationMs = durationMs >= 0 ? durationMs : Round((end - start) * MSecsPerDay);
  f.DurationSource = dsHeader;
  f.Size = 1000;
  row.Files.push_back(f);
  TFileManager::RecalcItem(row, TCatalogueWords{});
  return row;
}

QStringList RowPaths(const std::vector<TFileItem> &rows)
{
  QStringList out;
  for (const TFileItem &row : rows) {
    QStringList files;
    for (const TFileItemSubitem &f : row.Files) files += f.FileName;
    out += files.join(QLatin1Char('+'));
  }
  return out;
}

} // namespace kpcat
