// Trips as a camera leaves them when its clock misbehaves, on copies of the
// demo card searched by the real catalogue: each camera sequence lists as
// one trip.
#include "CatalogueFixtures.h"
#include "TestSupport.h"
#include "UnitFileManager.h"
#include "UnitUtilsFiles.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kp;

inline void PrintTo(const QStringList &l, std::ostream *os)
{
  *os << '[' << l.join(QStringLiteral(" | ")).toStdString() << ']';
}

namespace {

constexpr double kSecond = 1.0 / SecsPerDay;

bool Run(const QString &program, const QStringList &args)
{
  QProcess p;
  p.start(program, args);
  return p.waitForFinished(240000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A copy of the one-minute demo card (made once for the test program) in
// Into; empty on failure.
QString CopyOfDemoCard(const QTemporaryDir &into)
{
  static QTemporaryDir dir;
  static const bool made = Run(QStringLiteral(KP_MAKE_DEMO_CARD), {"--jobs", "2", dir.filePath("card")});
  const QString copy = into.filePath(QStringLiteral("card"));
  return made && Run(QStringLiteral("cp"), {"-a", dir.filePath("card"), copy}) ? copy : QString();
}

QString Fragment(const QString &card, int number, const char *ext)
{
  return card + QStringLiteral("/DCIM/100MEDIA/FILE%1.%2").arg(number, 4, 10, QLatin1Char('0')).arg(ext);
}

// What a camera clock that runs off does to the files of fragments First to
// Last: their last-write times move by Seconds.
void ShiftFileTimes(const QString &card, int first, int last, double seconds)
{
  for (int n = first; n <= last; ++n)
    for (const char *ext : {"MOV", "DAT", "3GF"}) {
      TDateTime created = 0, modified = 0;
      if (!GetFileTimes(Fragment(card, n, ext), created, modified)) continue; // a track taken away
      ASSERT_TRUE(SetFileTimes(Fragment(card, n, ext), 0, modified + seconds * kSecond));
    }
}

// Moves the times of a ".DAT" track's fixes from the Skip-th on, as the
// camera writes them after its clock jumped; the file keeps its times.
void ShiftTrack(const QString &path, double seconds, int skip = 0)
{
  TDateTime created = 0, modified = 0;
  ASSERT_TRUE(GetFileTimes(path, created, modified));
  QList<QByteArray> lines = kptest::readFileBytes(path).split('\n');
  for (QByteArray &line : lines) {
    QList<QByteArray> fields = line.split('\t');
    if (fields.size() < 3 || fields[0] != "[G]" || skip-- > 0) continue;
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    fields[1] = QDateTime::fromString(QString::fromLatin1(fields[1]), format)
                    .addSecs(qint64(seconds))
                    .toString(format)
                    .toLatin1();
    line = fields.join('\t');
  }
  ASSERT_TRUE(kptest::writeFileBytes(path, lines.join('\n')));
  ASSERT_TRUE(SetFileTimes(path, 0, modified));
}

// The names of the rows the catalogue lists after searching Folder alone.
QStringList SearchedTrips(const QString &folder)
{
  TFileManager fm(true, [](int32_t) {});
  fm.SetSearchRoots({folder + QLatin1Char('/')});
  fm.Start();
  fm.WaitFor();
  QStringList names;
  for (int r = 0; r < fm.GetCount(); ++r) names << fm.GetGroup(r).Summary.Name;
  names.sort();
  return names;
}

class CardTrips : public ::testing::Test {
protected:
  // File times as the card generator wrote them: in the computer's zone.
  void SetUp() override { SetLocalTimeOffset(SystemLocalTimeOffset()); }
};

} // namespace

// Each way a camera's clock can leave fragments overlapping their
// neighbours: the fragments of the first trip still list as one recording,
// and the other trips are untouched.
TEST_F(CardTrips, CameraSequencesWithClockFaultsListAsOneTrip)
{
  const struct {
    const char *Name;
    void (*Spoil)(const QString &card);
  } cases[] = {
      {"first fragment without a fix while the clock runs 40 s fast",
       [](const QString &card) {
         QFile::remove(Fragment(card, 1, "DAT"));
         ShiftFileTimes(card, 1, 5, 40);
       }},
      {"tunnel fragment without a .DAT, the clock 20 s fast",
       [](const QString &card) {
         QFile::remove(Fragment(card, 4, "DAT"));
         ShiftFileTimes(card, 1, 5, 20);
       }},
      {"clock set back 40 s from GPS while FILE0003 records",
       [](const QString &card) {
         ShiftTrack(Fragment(card, 3, "DAT"), -40, 30);
         ShiftTrack(Fragment(card, 4, "DAT"), -40);
         ShiftTrack(Fragment(card, 5, "DAT"), -40);
         ShiftFileTimes(card, 3, 5, -40);
       }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    QTemporaryDir copy;
    const QString card = CopyOfDemoCard(copy);
    ASSERT_FALSE(card.isEmpty());
    ASSERT_NO_FATAL_FAILURE(c.Spoil(card));
    EXPECT_EQ(SearchedTrips(card), QStringList({"FILE0001-5", "FILE0006-9", "FILE0010-12"}));
  }
}

// A camera of three-minute fragments that each overlap the next by 6 to
// 30 s: one trip, not the odd and the even fragments as two.
TEST_F(CardTrips, FragmentsOverlappingTheirNextByUpToHalfAMinuteFormOneTrip)
{
  QTemporaryDir card;
  const QString folder = card.filePath(QStringLiteral("DCIM/100MEDIA"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const int overlaps[] = {6, 12, 20, 30, 0};
  TDateTime start = EncodeDateTimeOr0(2026, 5, 17, 10, 0, 0);
  for (int n = 1; n <= 5; ++n) {
    const QString base = folder + QStringLiteral("/FILE%1.").arg(n, 4, 10, QLatin1Char('0'));
    ASSERT_TRUE(kpcat::WriteFile(base + "MOV", kpcat::MovieBytes(180000)));
    ASSERT_TRUE(kpcat::WriteFile(base + "DAT", kpcat::DatTrackBytes(start, 179)));
    ASSERT_TRUE(SetFileTimes(base + "MOV", 0, start + 180 * kSecond));
    start += (180 - overlaps[n - 1]) * kSecond;
  }
  EXPECT_EQ(SearchedTrips(card.path()), QStringList({"FILE0001-5"}));
}
