// The real main window under an X server, playing a card of 30-s fragments
// as a dash camera writes them (H.264 and PCM sound, 320 x 180): pausing
// around a switch to the next fragment, seeking to the very end, a damaged
// fragment met by a click and by play-next, the title after a time-zone
// change and the aspect ratio of the standard renderer. On the demo card:
// the gauges and the details window after a seek and a play-next, and the
// picture and the gauges at the end of a trip whose sound runs on past its
// last picture; and two empty movies named on the command line.

#include "RealWindowSupport.h"

#include "DSPack.h"
#include "DateTime.h"
#include "UnitBSImage.h"
#include "UnitBitmaps.h"
#include "UnitFormDetails.h"
#include "UnitFormFullScreen.h"
#include "UnitTranslate.h"
#include "Views.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace kp;

namespace {

constexpr int kFragmentSeconds = 30;

// One fragment: red, its last second blue, a tone beside it.
bool EncodeFragment(const QString &ffmpeg, const QString &path)
{
  QProcess p;
  p.start(ffmpeg,
          {"-nostdin",
           "-hide_banner",
           "-loglevel",
           "error",
           "-y",
           "-f",
           "lavfi",
           "-i",
           QStringLiteral("color=c=red:s=320x180:r=25:d=%1").arg(kFragmentSeconds),
           "-f",
           "lavfi",
           "-i",
           QStringLiteral("sine=frequency=440:sample_rate=8000:duration=%1").arg(kFragmentSeconds),
           "-vf",
           QStringLiteral("drawbox=x=0:y=0:w=iw:h=ih:color=blue:t=fill:enable='gte(t,%1)'").arg(kFragmentSeconds - 1),
           "-c:v",
           "libx264",
           "-preset",
           "ultrafast",
           "-g",
           "25",
           "-bf",
           "0",
           "-pix_fmt",
           "yuv420p",
           "-c:a",
           "pcm_s16le",
           "-ac",
           "1",
           "-f",
           "mov",
           path});
  return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool Stamp(const QString &path, const QDateTime &modified)
{
  QFile file(path);
  return file.open(QIODevice::ReadWrite) && file.setFileTime(modified, QFileDevice::FileModificationTime);
}

// The card: a trip of three fragments; two hours later a fragment whose
// movie lost its index when the power went off; two hours after that a
// trip of one fragment. Made once per run.
struct TFragmentCard {
  QString Dir;
  QString Damaged;
};

const TFragmentCard &FragmentCard()
{
  static QTemporaryDir dir;
  static const TFragmentCard card = [] {
    TFragmentCard c;
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString folder = dir.filePath(QStringLiteral("DCIM/100MEDIA"));
    const QString master = dir.filePath(QStringLiteral("master.mov"));
    if (ffmpeg.isEmpty() || !QDir().mkpath(folder) || !EncodeFragment(ffmpeg, master)) return c;
    const QDateTime start(QDate(2024, 6, 1), QTime(9, 0), Qt::LocalTime);
    // The first two fragments abut; the third starts half a second before
    // the second ends, as a camera's often do.
    const std::vector<int> endMs = {30000, 60000, 89500, 2 * 3600000 + 30000, 4 * 3600000 + 30000};
    for (size_t i = 0; i < endMs.size(); ++i) {
      const QString path = folder + QStringLiteral("/FILE%1.MOV").arg(i + 1, 4, 10, QLatin1Char('0'));
      if (!QFile::copy(master, path)) return c;
      if (i == 3) {
        // The camera never wrote the index at the end of the movie.
        QFile file(path);
        if (!file.resize(file.size() / 2)) return c;
        c.Damaged = path;
      }
      if (!Stamp(path, start.addMSecs(endMs[i]))) return c;
    }
    QFile::remove(master);
    c.Dir = dir.path();
    return c;
  }();
  return card;
}

using kptest::Key;

// Share of the picture's pixels that are mostly blue, and mostly red.
double ColourShare(const QImage &image, bool blue)
{
  if (image.isNull()) return 0;
  const QImage small = image.scaled(64, 36).convertToFormat(QImage::Format_RGB32);
  int hits = 0;
  for (int y = 0; y < small.height(); ++y)
    for (int x = 0; x < small.width(); ++x) {
      const QColor c = small.pixelColor(x, y);
      const int main = blue ? c.blue() : c.red(), other = blue ? c.red() : c.blue();
      hits += main > 150 && other < 80 && c.green() < 80;
    }
  return double(hits) / (small.width() * small.height());
}

struct RealWindowPlaying : kptest::RealWindow {
  void SetUp() override
  {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
      if (qEnvironmentVariable("CI") == QLatin1String("true")) FAIL() << "no X server";
      GTEST_SKIP() << "no X server";
    }
    kptest::ensureApplication();
    KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
    ASSERT_FALSE(FragmentCard().Dir.isEmpty()) << "ffmpeg could not make the card";
    ASSERT_NO_FATAL_FAILURE(Start(FragmentCard().Dir));
    // Listed, read and grouped: the trip's three fragments in one row.
    ASSERT_TRUE(kptest::waitUntil(
        [&] {
          const int trip = RowOf(QStringLiteral("FILE0001"));
          return Listed() && trip >= 0 && RowOf(QStringLiteral("FILE0003")) == trip &&
                 RowOf(QStringLiteral("FILE0005")) >= 0 && Model().FileManager()->GetGroup(trip).Files.size() == 3;
        },
        20000))
        << Model().rowCount();
  }

  // The row whose recording holds the named file (by its name part).
  int RowOf(const QString &name) const
  {
    const TFileManager *m = Model().FileManager();
    for (int row = 0; row < Model().rowCount(); ++row) {
      if (Model().IsStatusRow(row)) continue;
      if (row >= m->GetCount()) continue;
      for (const TFileItemSubitem &f : m->GetGroup(row).Files)
        if (f.FileName.contains(name)) return row;
    }
    return -1;
  }
  void ClickRow(int row, bool twice)
  {
    const QRect r = w->ListView->visualRect(Model().index(row, 0));
    QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, r.center());
    if (twice) QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, r.center());
  }
  double SpanSeconds() const
  {
    const TFileItemSubitem &s = w->State.Recording.Summary;
    return double((s.EndTime - s.StartTime) * 86400);
  }
  long double At(double seconds) const { return seconds / SpanSeconds(); }
  // The graph and the window agree on the play state.
  bool Agree() const
  {
    const int state = w->FilterGraph.GetState();
    return w->ButtonPlay->isChecked() ? state == psPlaying : state == psPaused;
  }
  bool Blue() const { return w->EVR && ColourShare(w->EVR->GetCurrentImage(), true) > 0.8; }
};

// The note that names a file play-next could not open; empty when none.
QString NoteText(const kp::TFormMain &window)
{
  const auto *note = window.findChild<QMessageBox *>(QStringLiteral("PlaybackNote"));
  return note && note->isVisible() ? note->text() : QString();
}

// The pictures of the graphs as the screen shows them.
std::vector<QImage> GraphPictures(kp::TFormMain &window)
{
  std::vector<QImage> pictures;
  for (QWidget *image : window.GraphImages) pictures.push_back(image->grab().toImage());
  return pictures;
}

} // namespace

// Space pressed again within moments of the switch to the next fragment
// pauses the graph as well as the window, at 1x and at 4x, however the
// press falls around the switch.
TEST_F(RealWindowPlaying, PauseAroundAFragmentSwitchHoldsTheGraph)
{
  const int trip = RowOf(QStringLiteral("FILE0001"));
  ASSERT_GE(trip, 0);
  ClickRow(trip, false);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->FilterGraph.GetState() == psPaused; }, 10000));
  ASSERT_NEAR(SpanSeconds(), 3 * kFragmentSeconds - 0.5, 1.0);
  const QString tripName = w->State.Recording.Summary.FileName;
  int tries = 0;
  for (const int speed : {2, 4}) { // the 1x and 4x buttons
    w->PlaySpeedButtons[size_t(speed)]->click();
    const double rate = speed == 2 ? 1 : 4;
    for (const int delayMs : {900, 1000, 1030, 1060, 1090, 1120, 1150, 1200, 1300}) {
      SCOPED_TRACE(QStringLiteral("rate %1, pause %2 ms after play").arg(rate).arg(delayMs).toStdString());
      const double boundary = kFragmentSeconds * (1 + tries++ % 2);
      // One second of real time before the switch.
      w->Model->SeekTo(At(boundary - rate), true, false);
      ASSERT_TRUE(kptest::waitUntil([&] { return Agree(); }, 5000));
      Key(Qt::Key_Space);
      ASSERT_TRUE(w->ButtonPlay->isChecked());
      QElapsedTimer clock;
      clock.start();
      kptest::waitUntil([&] { return clock.elapsed() >= delayMs; }, delayMs + 1000);
      Key(Qt::Key_Space);
      ASSERT_FALSE(w->ButtonPlay->isChecked());
      EXPECT_TRUE(kptest::waitUntil([&] { return Agree(); }, 5000)) << w->FilterGraph.GetState();
      // Held: the media position no longer moves.
      const double held = Seconds();
      EXPECT_FALSE(kptest::waitUntil([&] { return !Agree() || std::abs(Seconds() - held) > 0.1; }, 800))
          << held << " -> " << Seconds() << " state " << w->FilterGraph.GetState();
      EXPECT_FALSE(w->Timer.isActive());
      EXPECT_EQ(w->State.Recording.Summary.FileName, tripName);
    }
  }
}

// A click at the right end of the seek bar shows the last frame (blue), not
// the first (red), and the clock says the end.
TEST_F(RealWindowPlaying, SeekingToTheVeryEndShowsTheLastFrame)
{
  const int trip = RowOf(QStringLiteral("FILE0001"));
  ASSERT_GE(trip, 0);
  ClickRow(trip, false);
  ASSERT_TRUE(kptest::waitUntil(
      [&] { return Agree() && w->EVR && ColourShare(w->EVR->GetCurrentImage(), false) > 0.8; }, 10000));
  const int y = w->ImageSeek->height() / 2;
  QTest::mouseClick(w->ImageSeek, Qt::LeftButton, {}, QPoint(w->ImageSeek->width() - 1, y));
  EXPECT_NEAR(Seconds(), SpanSeconds(), 0.1);
  EXPECT_TRUE(kptest::waitUntil([&] { return Blue(); }, 5000)) << ColourShare(w->EVR->GetCurrentImage(), true);
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_seek_end.png"));
  // The same while playing: the end of the last fragment, shown paused
  // (play-next would move on to the next recording).
  w->Item("N_Playback_PlayNext")->setChecked(false);
  QTest::mouseClick(w->ImageSeek, Qt::LeftButton, {}, QPoint(w->ImageSeek->width() / 2, y));
  ASSERT_TRUE(PressPlay(true));
  QTest::mouseClick(w->ImageSeek, Qt::LeftButton, {}, QPoint(w->ImageSeek->width() - 1, y));
  ASSERT_TRUE(PressPlay(false));
  EXPECT_TRUE(kptest::waitUntil([&] { return Blue(); }, 5000))
      << "red " << ColourShare(w->EVR->GetCurrentImage(), false) << " blue "
      << ColourShare(w->EVR->GetCurrentImage(), true) << " at " << Seconds() << " of " << SpanSeconds();
}

// A damaged fragment: its reader's words, not a codec question; a seek bar
// with sane labels; and play-next goes on past it to the next readable
// recording, telling it once however often the list comes round.
TEST_F(RealWindowPlaying, ADamagedFragmentIsReportedAndPlayNextGoesOnPastIt)
{
  const int damaged = RowOf(QStringLiteral("FILE0004")), lone = RowOf(QStringLiteral("FILE0005"));
  ASSERT_GE(damaged, 0);
  ASSERT_GE(lone, 0);
  ASSERT_NE(damaged, lone);
  {
    kptest::TDialogAnswerer answers(QString{});
    ClickRow(damaged, false);
    ASSERT_TRUE(kptest::waitUntil([&] { return !answers.Messages.isEmpty(); }, 10000));
    const QString text = answers.Messages.join(QLatin1Char('\n'));
    EXPECT_TRUE(text.contains(Translate(u"Mes_CannotOpen_Video"))) << text.toStdString();
    EXPECT_TRUE(text.contains(FragmentCard().Damaged)) << text.toStdString();
    EXPECT_FALSE(text.contains(Translate(u"Mes_CannotOpen_Splitter"))) << text.toStdString();
    EXPECT_FALSE(text.contains(Translate(u"Mes_CannotOpen_SysCodec"))) << text.toStdString();
    for (QMessageBox::Icon icon : answers.Icons) EXPECT_EQ(icon, QMessageBox::Warning); // a failure, not a notice
  }
  // The seek bar counts no years from the fragment's unknown start.
  EXPECT_LT(double(w->Model->SpanDays() * 86400), 2 * kFragmentSeconds);
  const int64_t ms = w->Model->PositionToMs(1);
  EXPECT_FALSE(CursorElapsedText(0, ms).contains(QLatin1Char('d'))) << CursorElapsedText(0, ms).toStdString();
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_damaged_fragment.png"));

  // Play-next from the end of the row before it.
  const int before = damaged > 0 ? damaged - 1 : Model().rowCount() - 1;
  ASSERT_NE(before, damaged);
  w->Item("N_Playback_PlayNext")->setChecked(true);
  kptest::TDialogAnswerer answers(QString{});
  ClickRow(before, false);
  ASSERT_TRUE(kptest::waitUntil([&] { return Agree() && w->FilterGraph.Active(); }, 10000));
  w->Model->SeekTo(At(SpanSeconds() - 1), true, false);
  ASSERT_TRUE(Activate(w.get())); // nobody gives it back after the message
  Key(Qt::Key_Space);
  const int after = damaged + 1 < Model().rowCount() ? damaged + 1 : 0;
  const QString afterName = Model().FileManager()->GetGroup(after).Summary.FileName;
  EXPECT_TRUE(kptest::waitUntil(
      [&] { return w->State.Recording.Summary.FileName == afterName && Playing() && Seconds() > 0.3; }, 20000))
      << "playing " << w->State.Recording.Summary.FileName.toStdString() << " at " << Seconds();
  // Named in a note that did not wait for anybody.
  EXPECT_TRUE(answers.Messages.isEmpty()) << answers.Messages.join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(NoteText(*w).contains(FragmentCard().Damaged)) << NoteText(*w).toStdString();

  // Round the list again, the note closed: the fragment is passed over
  // without a word.
  answers.CloseNotes = true;
  ASSERT_TRUE(kptest::waitUntil([&] { return answers.Messages.size() == 1; }, 2000));
  const QString beforeName = Model().FileManager()->GetGroup(before).Summary.FileName;
  const auto playPastTheEnd = [&] {
    const QString from = w->State.Recording.Summary.FileName;
    w->Model->SeekTo(At(SpanSeconds() - 1), true, false);
    return kptest::waitUntil([&] { return w->State.Recording.Summary.FileName != from && Playing(); }, 20000);
  };
  for (int i = 0; i < Model().rowCount() && w->State.Recording.Summary.FileName != beforeName; ++i)
    ASSERT_TRUE(playPastTheEnd());
  ASSERT_TRUE(playPastTheEnd());
  EXPECT_EQ(w->State.Recording.Summary.FileName, afterName);
  QTest::qWait(300);
  EXPECT_EQ(answers.Messages.size(), 1) << answers.Messages.join(QLatin1Char('\n')).toStdString();
}

// The caption follows a change of time zone while a recording plays.
TEST_F(RealWindowPlaying, TheTitleFollowsATimeZoneChange)
{
  const int trip = RowOf(QStringLiteral("FILE0001"));
  ASSERT_GE(trip, 0);
  ClickRow(trip, true);
  ASSERT_TRUE(kptest::waitUntil([&] { return Playing(); }, 10000));
  const QString before = w->windowTitle();
  ASSERT_TRUE(before.contains(w->State.Recording.DateText)) << before.toStdString();
  const int offsetHours = int(std::lround(LocalTimeOffset() * 24));
  // Five hours east of the local zone (or west when that is off the menu).
  const int zone = offsetHours + 5 <= 12 ? offsetHours + 5 : offsetHours - 5;
  QAction *item = w->Item(QStringLiteral("N_View_TimeZone_GMT%1").arg(zone + 24).toLatin1().constData());
  ASSERT_NE(item, nullptr);
  item->trigger();
  const QString row = Model().FileManager()->GetGroup(trip).DateText;
  EXPECT_TRUE(kptest::waitUntil([&] { return w->windowTitle().contains(row); }, 3000))
      << w->windowTitle().toStdString() << " / " << row.toStdString();
  EXPECT_NE(w->windowTitle(), before);
  w->Item("N_View_TimeZone_Local")->trigger();
  EXPECT_TRUE(kptest::waitUntil([&] { return w->windowTitle() == before; }, 3000)) << w->windowTitle().toStdString();
}

// "Fit to window" under the standard renderer keeps the picture's shape in
// a panel of another shape; "Fill the window" (Alt+2) covers the panel and
// cuts what overflows; "Stretch" fills it.
TEST_F(RealWindowPlaying, StandardRendererFitsFillsAndStretches)
{
  w->Item("N_Playback_Renderer_NUL")->trigger();
  ASSERT_NE(w->VideoWindowWMR, nullptr);
  ASSERT_EQ(w->VideoWindowWMR->Mode(), vmNormal);
  const int trip = RowOf(QStringLiteral("FILE0001"));
  ASSERT_GE(trip, 0);
  ClickRow(trip, false);
  w->Item("N_VideoZoom_Letterbox")->trigger();
  QWidget *video = w->VideoWindowWMR;
  // The red picture's box on the screen.
  const auto redBox = [&] {
    const QImage image = video->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < image.height(); y += 2)
      for (int x = 0; x < image.width(); x += 2) {
        const QColor c = image.pixelColor(x, y);
        if (c.red() > 150 && c.green() < 80 && c.blue() < 80) box |= QRect(x, y, 2, 2);
      }
    return box;
  };
  ASSERT_TRUE(kptest::waitUntil([&] { return redBox().width() > 100; }, 10000));
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_standard_fit.png"));
  const QRect fit = redBox();
  const double panelShape = double(video->width()) / std::max(1, video->height());
  ASSERT_GT(std::abs(panelShape - 16.0 / 9), 0.1) << "the panel has the picture's shape";
  EXPECT_NEAR(double(fit.width()) / fit.height(), 16.0 / 9, 0.08) << fit.width() << "x" << fit.height();
  ASSERT_TRUE(Activate(w.get()));
  Key(Qt::Key_2, Qt::AltModifier);
  ASSERT_TRUE(w->Item("N_VideoZoom_PanAndScan")->isChecked());
  const QSize panel = w->PanelVideo->size();
  EXPECT_TRUE(kptest::waitUntil(
      [&] {
        const QRect box = redBox();
        return video->size() == panel && box.width() >= panel.width() - 2 && box.height() >= panel.height() - 2;
      },
      3000))
      << redBox().width() << "x" << redBox().height() << " in " << panel.width() << "x" << panel.height();
  const QRect picture = w->Views->View.PictureRect;
  EXPECT_NEAR(double(picture.width()) / picture.height(), 16.0 / 9, 0.02) << "the shape is kept";
  EXPECT_TRUE(picture.width() > panel.width() + 2 || picture.height() > panel.height() + 2) << "nothing is cut";
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_standard_fill.png"));
  w->Item("N_VideoZoom_Stretch")->trigger();
  EXPECT_TRUE(kptest::waitUntil(
      [&] {
        const QRect box = redBox();
        return box.width() >= video->width() - 4 && box.height() >= video->height() - 4;
      },
      3000))
      << redBox().width() << "x" << redBox().height() << " in " << video->width() << "x" << video->height();
}

// Next frame from the last frame of a fragment shows the next fragment's
// first frame, by key and by button, and goes on stepping there.
TEST_F(RealWindowPlaying, NextFrameStepsIntoTheNextFragment)
{
  const int trip = RowOf(QStringLiteral("FILE0001"));
  ASSERT_GE(trip, 0);
  ClickRow(trip, false);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->FilterGraph.GetState() == psPaused; }, 10000));
  for (const bool byKey : {true, false}) {
    SCOPED_TRACE(byKey ? "Ctrl+Right" : "button");
    const int from = byKey ? 0 : 1;
    // The key frame a second before the fragment's end, then frame by frame.
    w->Model->SeekTo(At(kFragmentSeconds * (from + 1) - 0.5), true, false);
    ASSERT_TRUE(kptest::waitUntil([&] { return Agree() && Blue(); }, 5000));
    ASSERT_EQ(w->State.CurrentFile, from);
    ASSERT_TRUE(Activate(w.get()));
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 40 && w->State.CurrentFile == from; ++i)
      if (byKey)
        Key(Qt::Key_Right, Qt::ControlModifier);
      else
        w->ButtonFrameNext->click();
    EXPECT_EQ(w->State.CurrentFile, from + 1);
    EXPECT_LT(clock.elapsed(), 20000);
    const double entered = Seconds();
    EXPECT_NEAR(entered, kFragmentSeconds * (from + 1), 0.6);
    EXPECT_TRUE(kptest::waitUntil([&] { return ColourShare(w->EVR->GetCurrentImage(), false) > 0.8; }, 5000))
        << "blue " << ColourShare(w->EVR->GetCurrentImage(), true);
    w->ButtonFrameNext->click();
    EXPECT_GT(Seconds(), entered);
    EXPECT_LT(Seconds(), entered + 0.2);
    EXPECT_FALSE(w->ButtonPlay->isChecked());
  }
}

// The title names the loaded recording through a change of language, of
// units and of renderer. A stop (Esc here) leaves nothing of the recording
// on the graphs, nor do the A and B marks then, and a click on the row it
// left selected loads it again.
TEST_F(RealWindowPlaying, TheTitleKeepsTheRecordingAndAStoppedRowLoadsAgain)
{
  const int trip = RowOf(QStringLiteral("FILE0001"));
  ASSERT_GE(trip, 0);
  ClickRow(trip, false);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->FilterGraph.GetState() == psPaused; }, 10000));
  const QString tripName = w->State.Recording.Summary.FileName, name = w->State.Recording.Summary.Name;
  ASSERT_TRUE(w->windowTitle().contains(name)) << w->windowTitle().toStdString();
  for (const char *item : {"N_View_Language_ru", "N_View_Language_en", "N_View_Measu_British", "N_View_Measu_Metric",
                           "N_Playback_Renderer_NUL", "N_Playback_Renderer_EVR"}) {
    SCOPED_TRACE(item);
    QAction *action = w->Item(item);
    ASSERT_NE(action, nullptr);
    action->trigger();
    EXPECT_TRUE(kptest::waitUntil([&] { return w->windowTitle().contains(name); }, 3000))
        << w->windowTitle().toStdString();
    EXPECT_EQ(w->State.Recording.Summary.FileName, tripName);
  }
  SetCurLang(LangEnglish);

  ClickRow(trip, false);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->FilterGraph.GetState() == psPaused; }, 10000));
  ASSERT_FALSE(w->GraphImages.empty());
  w->Model->SeekTo(At(20), true, false);
  w->State.MarkA = At(10);
  w->State.MarkB = At(50);
  w->FormResize();
  const std::vector<QImage> loaded = GraphPictures(*w);
  ASSERT_TRUE(Activate(w.get()));
  Key(Qt::Key_Escape);
  ASSERT_TRUE(w->State.Recording.Summary.FileName.isEmpty());
  ASSERT_EQ(w->ListView->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("KESTRIL PLAYER"));
  QCoreApplication::processEvents();
  const std::vector<QImage> stopped = GraphPictures(*w);
  // Drawn afresh with nothing loaded: what a stop must have left.
  w->FormResize();
  QCoreApplication::processEvents();
  const std::vector<QImage> fresh = GraphPictures(*w);
  ASSERT_EQ(stopped.size(), fresh.size());
  for (size_t i = 0; i < fresh.size(); ++i) {
    EXPECT_GT(kptest::MeanDifference(loaded[i], fresh[i]), 0) << "graph " << i << " showed no band";
    EXPECT_EQ(kptest::MeanDifference(stopped[i], fresh[i]), 0) << "graph " << i;
  }
  // With nothing loaded there is no time line to mark: no band comes back.
  for (const char *item : {"N_View_Time_SetA", "N_View_Time_SetB"}) {
    SCOPED_TRACE(item);
    w->Item(item)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(w->State.MarkA, 0);
    EXPECT_EQ(w->State.MarkB, 0);
    const std::vector<QImage> marked = GraphPictures(*w);
    for (size_t i = 0; i < fresh.size(); ++i) EXPECT_EQ(kptest::MeanDifference(marked[i], fresh[i]), 0) << i;
  }

  ClickRow(trip, false);
  EXPECT_TRUE(kptest::waitUntil(
      [&] { return w->State.Recording.Summary.FileName == tripName && w->FilterGraph.GetState() == psPaused; }, 10000))
      << w->State.Recording.Summary.FileName.toStdString();
  EXPECT_TRUE(w->windowTitle().contains(name)) << w->windowTitle().toStdString();
}

namespace {

// The real window on a demo card: its play state and the seek bar's x.
struct RealWindowDemoCard : kptest::RealWindow {
  bool Paused() const { return !w->ButtonPlay->isChecked() && w->FilterGraph.GetState() == psPaused; }
  // x on the seek bar of fraction G.
  int SeekX(long double g) const
  {
    const int margin = w->SeekBitmap->Margin(), width = w->ImageSeek->width() - 2 * margin;
    const long double share = (g - w->State.TimeWindowStart) / (w->State.TimeWindowEnd - w->State.TimeWindowStart);
    return margin + int(width * share);
  }
};

// The real window on the demo card, whose last trip ends in a fragment that
// lost its index.
struct RealWindowDemoTrip : RealWindowDemoCard {
  void SetUp() override
  {
    kptest::RealWindow::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
    ASSERT_TRUE(kptest::waitUntil([&] { return Listed() && DamagedTrip() >= 0; }, 20000)) << Model().rowCount();
  }
  int DamagedTrip() const
  {
    const TFileManager *m = Model().FileManager();
    for (int row = 0; row < Model().rowCount() && row < m->GetCount(); ++row) {
      if (Model().IsStatusRow(row)) continue;
      const TFileItem item = m->GetGroup(row);
      if (item.Files.size() > 1 && item.Files.back().DurationSource == dsNoHeader) return row;
    }
    return -1;
  }
};

} // namespace

// A click on the seek bar inside a fragment that cannot be opened: after
// the message the picture and the position still agree. Played into while
// playing, the fragment is passed over without a second word and the list
// plays on.
TEST_F(RealWindowDemoTrip, ADamagedFragmentOfATripKeepsPictureAndPositionTogether)
{
  const int row = DamagedTrip();
  const QRect r = w->ListView->visualRect(Model().index(row, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, r.center());
  ASSERT_TRUE(kptest::waitUntil([&] { return Paused() && w->EVR && kptest::LitShare(w->EVR->GetCurrentImage()) > 0.5; },
                                10000));
  const QString tripName = w->State.Recording.Summary.FileName;
  const TFileItemSubitem damaged = w->State.Recording.Files.back();
  const int damagedIndex = int(w->State.Recording.Files.size()) - 1;
  const double before = Seconds();
  const QImage picture = w->EVR->GetCurrentImage();
  const int y = w->ImageSeek->height() / 2;
  {
    kptest::TDialogAnswerer answers(QString{});
    QTest::mouseClick(w->ImageSeek, Qt::LeftButton, {},
                      QPoint(SeekX((damaged.Position.Start + damaged.Position.End) / 2), y));
    ASSERT_TRUE(kptest::waitUntil([&] { return !answers.Messages.isEmpty(); }, 10000));
    EXPECT_TRUE(answers.Messages.join(QLatin1Char('\n')).contains(damaged.FileName));
  }
  ASSERT_TRUE(Activate(w.get()));
  // Some passes of the window later.
  QElapsedTimer clock;
  clock.start();
  kptest::waitUntil([&] { return clock.elapsed() > 500; }, 1000);
  EXPECT_NEAR(Seconds(), before, 0.5);
  EXPECT_NE(w->State.CurrentFile, damagedIndex);
  EXPECT_TRUE(Paused());
  EXPECT_LT(kptest::MeanDifference(picture, w->EVR->GetCurrentImage()), 8);
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_damaged_seek.png"));

  // Played into: a note, no box, and the next row plays.
  w->Item("N_Playback_PlayNext")->setChecked(true);
  kptest::TDialogAnswerer answers(QString{});
  const TFileItemSubitem &last = w->State.Recording.Files[size_t(damagedIndex - 1)];
  w->Model->SeekTo(last.Position.End - (last.Position.End - last.Position.Start) / 20, true, false);
  ASSERT_TRUE(PressPlay(true));
  EXPECT_TRUE(kptest::waitUntil(
      [&] { return w->State.Recording.Summary.FileName != tripName && Playing() && Seconds() > 0.3; }, 30000))
      << "playing " << w->State.Recording.Summary.FileName.toStdString() << " at " << Seconds();
  EXPECT_TRUE(answers.Messages.isEmpty()) << answers.Messages.join(QLatin1Char('\n')).toStdString();
  // The box told it already.
  EXPECT_FALSE(NoteText(*w).contains(damaged.FileName)) << NoteText(*w).toStdString();
}

// A trip played to 0:30, then taken back to a moment without a fix: the
// speedometer and compass go idle as with nothing loaded, in the window and
// in full screen's bar, and the details window shows no position there.
// With the pointer resting on the time line, play-next moving on leaves no
// details of the recording before.
TEST_F(RealWindowDemoCard, GaugesAndDetailsShowOnlyTheMomentOnScreen)
{
  // At full length: the receivers take 12 s and 3 s to their first fixes.
  static QTemporaryDir card;
  int code = -1;
  const QString out = kptest::runTool(QStringLiteral(KP_MAKE_DEMO_CARD), {"--jobs", "2", card.path()}, &code);
  ASSERT_EQ(code, 0) << out.toStdString();
  ASSERT_NO_FATAL_FAILURE(Start(card.path()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  const auto pictures = [&] {
    return std::vector<QImage>{w->ImageSpeed->grab().toImage(), w->ImageAzimut->grab().toImage()};
  };
  const std::vector<QImage> idle = pictures();
  w->Item("N_Playback_PlayNext")->setChecked(true);
  const struct {
    const char *Trip;
    double NoFixSecond; // before the trip's first fix
    bool FullScreen;
  } cases[] = {{"FILE0010", 1, true}, {"FILE0010", 1, false}, {"FILE0001", 3, false}};
  int y = 0;
  double span = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.Trip) + (c.FullScreen ? " in full screen" : " in the window"));
    int row = 0;
    while (row < Model().rowCount() && !Model().FileManager()->GetGroup(row).Summary.Name.startsWith(c.Trip)) ++row;
    ASSERT_LT(row, Model().rowCount());
    const QRect r = w->ListView->visualRect(Model().index(row, 0));
    QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_TRUE(
        kptest::waitUntil([&] { return Playing() && w->State.Recording.Summary.Name.startsWith(c.Trip); }, 10000));
    span = double(w->Model->SpanDays() * 86400);
    y = w->ImageSeek->height() / 2;
    const auto seek = [&](double second) {
      if (c.FullScreen)
        w->Model->SeekTo(second / span, true, false);
      else
        QTest::mouseClick(w->ImageSeek, Qt::LeftButton, {}, QPoint(SeekX(second / span), y));
    };
    if (c.FullScreen) {
      ASSERT_TRUE(Activate(w.get()));
      kptest::Key(Qt::Key_Return, Qt::AltModifier);
      ASSERT_TRUE(Activate(w->FullScreenForm.get()));
      QTest::mouseMove(w->PanelVideo, QPoint(w->PanelVideo->width() / 2, w->PanelVideo->height() - 1));
      ASSERT_TRUE(kptest::waitUntil([&] { return w->ImageSpeed->window() == w->FullScreenForm.get(); }, 3000));
    }
    seek(30);
    ASSERT_TRUE(kptest::waitUntil([&] { return Seconds() > 30 && pictures()[0] != idle[0]; }, 5000));
    EXPECT_NE(pictures()[1], idle[1]);
    seek(c.NoFixSecond);
    const std::vector<QImage> shown = pictures();
    const double at = Seconds();
    ASSERT_LT(at, c.NoFixSecond + 1);
    TMovingPoint point;
    TGSensorSample sample;
    bool valid = false;
    w->Model->GetTelemetryAt(w->Model->GetPosition(), point, sample, valid);
    EXPECT_EQ(point.Time, 0) << "a fix at " << at << " s of " << DateTimeToStr(point.Time).toStdString();
    EXPECT_TRUE(shown == idle) << "at " << at << " s";
    if (c.FullScreen) {
      kptest::saveScreenshot(w->FullScreenForm.get(), QStringLiteral("realwindow_full_screen_before_fix.png"));
      kptest::Key(Qt::Key_Escape);
      ASSERT_TRUE(kptest::waitUntil([&] { return !w->FullScreenForm->isVisible(); }, 3000));
      ASSERT_TRUE(Activate(w.get()));
      continue;
    }
    kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_seek_before_fix_%1.png").arg(c.Trip));
    QTest::mouseMove(w->ImageSeek, QPoint(SeekX(c.NoFixSecond / span), y));
    ASSERT_TRUE(kptest::waitUntil([&] { return w->Windows.Details->Shown(); }, 3000));
    EXPECT_EQ(w->Windows.Details->Label(QStringLiteral("LabelGPSSpeed"))->text(), QString());
    w->Windows.Details->HideDetails();
  }

  QTest::mouseMove(w->ImageSeek, QPoint(SeekX(0.5), y));
  ASSERT_TRUE(kptest::waitUntil([&] { return w->Windows.Details->Shown(); }, 3000));
  const QString tripName = w->State.Recording.Summary.FileName;
  w->Model->SeekTo(1 - 1 / span, true, false);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->State.Recording.Summary.FileName != tripName && Playing(); }, 20000));
  QString file = w->Windows.Details->Label(QStringLiteral("LabelFile"))->text();
  file.remove(QRegularExpression(QStringLiteral("^\\[\\d+\\] ")));
  const auto &files = w->State.Recording.Files;
  EXPECT_TRUE(!w->Windows.Details->Shown() || std::any_of(files.begin(), files.end(), [&](const TFileItemSubitem &f) {
    return f.Name == file;
  })) << file.toStdString();
}

namespace {

// Counts the media pipelines a window makes: every activation of its graph.
struct TPipelineCounter : IGraphListener {
  int Made = 0;
  void GraphEvent(int32_t, intptr_t, intptr_t) override {}
  void ControlEvent(int event, int param) override { Made += event == ceActive && param == 1; }
};

struct RealWindowUnreadable : kptest::RealWindow {
  void TearDown() override
  {
    if (w) w->FilterGraph.RemoveEventNotifier(&Pipelines);
    kptest::RealWindow::TearDown();
  }
  TPipelineCounter Pipelines;
};

} // namespace

// Two movies that are empty files, named on the command line, then played
// again with a double click: each is told once a time, in five seconds the
// window opens nothing more and rests with the list on the row that
// failed, and Alt+F4 closes it.
TEST_F(RealWindowUnreadable, EmptyMoviesAreToldOnceAndTheWindowRests)
{
  QTemporaryDir dir;
  const QStringList names = {dir.filePath(QStringLiteral("a.MOV")), dir.filePath(QStringLiteral("b.MOV"))};
  for (const QString &name : names) ASSERT_TRUE(QFile(name).open(QIODevice::WriteOnly));
  BeforeShow = [&] { w->FilterGraph.InsertEventNotifier(&Pipelines); };
  kptest::TDialogAnswerer answers(QString{});
  answers.Press = QMessageBox::Ok;
  answers.CloseNotes = true;
  ASSERT_NO_FATAL_FAILURE(Start(dir.path(), names));
  for (const bool again : {false, true}) {
    SCOPED_TRACE(again ? "double click" : "command line");
    if (again) {
      const QPoint row0 = w->ListView->visualRect(Model().index(0, 0)).center();
      QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0);
      QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row0);
    }
    QTest::qWait(5000);
    const int made = Pipelines.Made;
    const qsizetype told = answers.Messages.size();
    QTest::qWait(5000);
    EXPECT_LE(made, again ? 6 : 4);
    EXPECT_EQ(Pipelines.Made, made) << "still opening";
    EXPECT_EQ(answers.Messages.size(), told);
    for (const QString &name : names)
      EXPECT_EQ(answers.Messages.filter(name).size(), again ? 2 : 1) << name.toStdString();
    EXPECT_FALSE(w->Timer.isActive());
    const QModelIndexList selected = w->ListView->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    ASSERT_FALSE(answers.Messages.isEmpty());
    const QString failedLast = Model().FileManager()->GetGroup(selected[0].row()).Files.at(0).FileName;
    EXPECT_TRUE(answers.Messages.back().contains(failedLast)) << failedLast.toStdString();
  }
  ASSERT_TRUE(Activate(w.get()));
  Key(Qt::Key_F4, Qt::AltModifier);
  EXPECT_TRUE(kptest::waitUntil([&] { return !w->isVisible(); }, 3000));
}

namespace {

// The demo card with the sound of a fragment running on half a second past
// its last picture, as cameras often write it; made once per run.
QString CardWithSoundPastThePicture(const QString &name)
{
  static QTemporaryDir dir;
  static const QString card = [&] {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString from = kptest::DemoCard();
    if (ffmpeg.isEmpty() || from.isEmpty()) return QString();
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString path = it.next(), to = dir.filePath(QDir(from).relativeFilePath(path));
      // The catalogue tells a fragment's own track from its neighbour's by
      // the files' times, so the copy keeps them.
      if (!QDir().mkpath(QFileInfo(to).path()) || !QFile::copy(path, to) || !Stamp(to, QFileInfo(path).lastModified()))
        return QString();
    }
    {
      const QString movie = dir.filePath(QStringLiteral("DCIM/100MEDIA/") + name), padded = movie + ".mov";
      const QDateTime modified = QFileInfo(movie).lastModified();
      QProcess p;
      p.start(ffmpeg, {"-nostdin", "-loglevel", "error", "-y", "-i", movie, "-map", "0", "-map_metadata", "0", "-c:v",
                       "copy", "-af", "apad=pad_dur=0.5", "-c:a", "pcm_s16le", "-f", "mov", padded});
      if (!p.waitForFinished(60000) || p.exitCode() != 0 || !QFile::remove(movie) || !QFile::rename(padded, movie) ||
          !Stamp(movie, modified))
        return QString();
    }
    return dir.path();
  }();
  return card;
}

} // namespace

// The evening trip, the sound of its last fragment running on past the
// picture: a seek to the end, paused and playing, and into the sound after
// the last picture shows the last frame, and the gauges and the time line
// show its moment; at the exact end of a middle fragment, the next
// fragment's first frame and its moment.
TEST_F(RealWindowDemoCard, PastTheLastPictureTheGaugesShowTheLastFrame)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  const QString card = CardWithSoundPastThePicture(QStringLiteral("FILE0006.MOV"));
  ASSERT_FALSE(card.isEmpty());
  ASSERT_NO_FATAL_FAILURE(Start(card));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  int row = 0;
  while (row < Model().rowCount() && !Model().FileManager()->GetGroup(row).Summary.Name.startsWith("FILE0004")) ++row;
  ASSERT_LT(row, Model().rowCount());
  w->Item("N_Playback_PlayNext")->setChecked(false);
  const QRect r = w->ListView->visualRect(Model().index(row, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, r.center());
  ASSERT_TRUE(kptest::waitUntil([&] { return Paused(); }, 10000));
  const auto &files = w->State.Recording.Files;
  ASSERT_EQ(files.size(), 3u);
  const auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(w->FilterEVR.MemberFilter());
  ASSERT_TRUE(renderer);
  // Seconds of the day of the picture on screen, of the time line and of
  // the fix the gauges show.
  const auto check = [&](const char *what) {
    SCOPED_TRACE(what);
    const TVideoFrame frame = renderer->Frames()->Latest();
    REFERENCE_TIME duration = 0;
    ASSERT_TRUE(w->State.MediaSeeking && SUCCEEDED(w->State.MediaSeeking->GetDuration(duration)) && duration > 0);
    const auto &file = files[size_t(w->State.CurrentFile)];
    const auto seconds = [&](long double g) { return double(w->Model->TelemetryTime(g)) * 86400; };
    const double picture = seconds(TPositionModel::FileToGroupPosition(file, (long double)frame.Time / duration));
    const double line = seconds(w->Model->GetPosition()), gauges = double(w->State.CurrentPoint.Time) * 86400;
    EXPECT_NEAR(line, picture, 0.7) << "frame at " << frame.Time / 1e7 << " s of file " << w->State.CurrentFile;
    EXPECT_NEAR(gauges, picture, 1.05) << "frame at " << frame.Time / 1e7 << " s of file " << w->State.CurrentFile;
  };
  const int y = w->ImageSeek->height() / 2, end = w->ImageSeek->width() - 1;
  QTest::mouseClick(w->ImageSeek, Qt::LeftButton, {}, QPoint(end, y));
  check("the end, paused");
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_seek_end_sound_past_picture.png"));
  QTest::mouseClick(w->ImageSeek, Qt::LeftButton, {}, QPoint(SeekX(0.5), y));
  ASSERT_TRUE(PressPlay(true));
  QTest::mouseClick(w->ImageSeek, Qt::LeftButton, {}, QPoint(end, y));
  ASSERT_TRUE(kptest::waitUntil([&] { return w->Model->GetPosition() == 1; }, 5000));
  ASSERT_TRUE(PressPlay(false));
  check("the end, played to");
  const long double second = 1 / (w->Model->SpanDays() * 86400);
  w->Model->SeekTo(1 - second / 5, true, false);
  check("the sound after the last picture");
  w->Model->SeekTo(files[1].Position.End, true, false);
  check("a middle fragment's end");
  EXPECT_EQ(w->State.CurrentFile, 2);
}
