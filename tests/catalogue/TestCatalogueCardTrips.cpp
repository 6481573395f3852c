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
#include <functional>
#include <gtest/gtest.h>

using namespace kp;

inline void PrintTo(const QStringList &l, std::ostream *os)
{
  *os << '[' << l.join(QStringLiteral(" | ")).toStdString() << ']';
}

namespace {

constexpr double kSecond = 1.0 / SecsPerDay;

// The one-minute demo card, made once for the test program; empty when it
// could not be made.
QString DemoCard()
{
  static QTemporaryDir dir;
  static const QString card = [] {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(KP_MAKE_DEMO_CARD), {"--jobs", "2", dir.filePath("card")});
    const bool done = p.waitForFinished(240000);
    EXPECT_TRUE(done && p.exitCode() == 0) << p.readAll().toStdString();
    return done && p.exitCode() == 0 ? dir.filePath("card") : QString();
  }();
  return card;
}

QString Fragment(const QString &card, int number, const char *ext)
{
  return card + QStringLiteral("/DCIM/100MEDIA/FILE%1.%2").arg(number, 4, 10, QLatin1Char('0')).arg(ext);
}

// Moves the file's last-write time, as a camera clock that runs off does.
void ShiftFileTime(const QString &path, double seconds)
{
  TDateTime created = 0, modified = 0;
  ASSERT_TRUE(GetFileTimes(path, created, modified)) << path.toStdString();
  ASSERT_TRUE(SetFileTimes(path, 0, modified + seconds * kSecond)) << path.toStdString();
}

// Moves the times of the track's fixes from the Skip-th on, as the camera
// writes them after its clock jumped; the file keeps its times.
void ShiftTrack(const QString &path, double seconds, int skip = 0)
{
  TDateTime created = 0, modified = 0;
  ASSERT_TRUE(GetFileTimes(path, created, modified));
  const QList<QByteArray> lines = kptest::readFileBytes(path).split('\n');
  QByteArray out;
  int fix = 0;
  for (QByteArray line : lines) {
    QList<QByteArray> fields = line.split('\t');
    if (fields.size() > 2 && fields[0] == "[G]" && fix++ >= skip) {
      const QDateTime t = QDateTime::fromString(QString::fromLatin1(fields[1]), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
      ASSERT_TRUE(t.isValid()) << line.toStdString();
      fields[1] = t.addSecs(qint64(seconds)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
      line = fields.join('\t');
    }
    out += line + '\n';
  }
  out.chop(1);
  ASSERT_TRUE(kptest::writeFileBytes(path, out));
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
  void SetUp() override
  {
    // File times as the card generator wrote them: in the computer's zone.
    SetLocalTimeOffset(SystemLocalTimeOffset());
  }
  // Empty when the card could not be made or copied.
  QString CopyOfCard()
  {
    if (DemoCard().isEmpty()) return {};
    const QString copy = FCopies.emplace_back(std::make_unique<QTemporaryDir>())->filePath("card");
    QProcess cp;
    cp.start(QStringLiteral("cp"), {"-a", DemoCard(), copy});
    return cp.waitForFinished(60000) && cp.exitCode() == 0 ? copy : QString();
  }
  std::vector<std::unique_ptr<QTemporaryDir>> FCopies;
};

} // namespace

// Each way a camera's clock can leave fragments overlapping their
// neighbours: the fragments of the first trip still list as one recording,
// and the other trips are untouched.
TEST_F(CardTrips, CameraSequencesWithClockFaultsListAsOneTrip)
{
  struct TCase {
    const char *Name;
    std::function<void(const QString &card)> Spoil;
  };
  const TCase cases[] = {
      {"first fragment without a fix while the clock runs 40 s fast",
       [](const QString &card) {
         QFile::remove(Fragment(card, 1, "DAT"));
         for (int n = 1; n <= 5; ++n)
           for (const char *ext : {"MOV", "DAT", "3GF"})
             if (QFileInfo::exists(Fragment(card, n, ext))) ShiftFileTime(Fragment(card, n, ext), 40);
       }},
      {"tunnel fragment without a .DAT, the clock 20 s fast",
       [](const QString &card) {
         QFile::remove(Fragment(card, 4, "DAT"));
         for (int n = 1; n <= 5; ++n)
           for (const char *ext : {"MOV", "DAT", "3GF"})
             if (QFileInfo::exists(Fragment(card, n, ext))) ShiftFileTime(Fragment(card, n, ext), 20);
       }},
      {"clock set back 40 s from GPS while FILE0003 records",
       [](const QString &card) {
         ShiftTrack(Fragment(card, 3, "DAT"), -40, 30);
         for (int n = 4; n <= 5; ++n) ShiftTrack(Fragment(card, n, "DAT"), -40);
         for (int n = 3; n <= 5; ++n)
           for (const char *ext : {"MOV", "DAT", "3GF"}) ShiftFileTime(Fragment(card, n, ext), -40);
       }},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    const QString card = CopyOfCard();
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
  const int overlaps[] = {6, 12, 20, 30};
  TDateTime start = EncodeDateTimeOr0(2026, 5, 17, 10, 0, 0);
  for (int n = 1; n <= 5; ++n) {
    const QString base = folder + QStringLiteral("/FILE%1.").arg(n, 4, 10, QLatin1Char('0'));
    ASSERT_TRUE(kpcat::WriteFile(base + "MOV", kpcat::MovieBytes(180000)));
    ASSERT_TRUE(kpcat::WriteFile(base + "DAT", kpcat::DatTrackBytes(start, 179)));
    ASSERT_TRUE(SetFileTimes(base + "MOV", 0, start + 180 * kSecond));
    if (n < 5) start += (180 - overlaps[n - 1]) * kSecond;
  }
  EXPECT_EQ(SearchedTrips(card.path()), QStringList({"FILE0001-5"}));
}
