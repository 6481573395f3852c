// The cutting window on the real program's windows under an X server.
// Cancelling a running cut: the program goes on with its main window back
// and no movie, and closing the main window still ends it. A movie added
// with "+" in another time zone: the cut takes its track and the list's
// clock. A cut saved in the card's folder and then replaced: the list shows
// the file as it is.

#include "CuttingTestSupport.h"
#include "RealWindowSupport.h"
#include "UiTestSupport.h"
#include "UnitFormCropping.h"
#include "UnitFormMain.h"
#include "UnitProgram.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTableView>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

using namespace kp;
using kptest::CardMovie;
using kptest::RealWindow;
using kptest::TDialogAnswerer;

TEST(CropCancelRealWindow, CancelKeepsTheProgramRunningAndClosingTheMainWindowEndsIt)
{
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    if (qEnvironmentVariable("CI") == QLatin1String("true")) FAIL() << "no X server";
    GTEST_SKIP() << "no X server";
  }
  kptest::ensureApplication();
  kptest::ScopedSettings settings;
  QTemporaryDir out;
  std::unique_ptr<TFormMain> w = CreateWindows({CardMovie(2)});
  w->show();
  ASSERT_TRUE(kptest::waitUntil([&] { return w->isVisible(); }, 10000));
  TFormCropping &dialog = *w->Windows.Cropping;
  dialog.ShowRestored();
  for (int file = 2; file <= 5; ++file) dialog.AddFile(CardMovie(file), nullptr, 0, 1, 0);
  dialog.SetOutputName(out.filePath(QStringLiteral("cancelled.mov")));

  // Cancel as soon as the job runs, as the user clicks it.
  bool mainHidden = false, cancelled = false;
  QTimer watch;
  watch.setInterval(1);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (cancelled || !dialog.Running()) return;
    cancelled = true;
    mainHidden = !w->isVisible();
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonCancel"))->click();
  });
  watch.start();
  QTimer::singleShot(0, &dialog, [&] {
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonStart"))->click();
    // Runs only if the program is still running once the job has ended.
    QTimer::singleShot(0, [] { QCoreApplication::exit(42); });
  });
  EXPECT_EQ(QApplication::exec(), 42) << "the program ended with the cut";
  watch.stop();
  EXPECT_TRUE(cancelled);
  EXPECT_TRUE(mainHidden) << "the main window is hidden while the job runs";
  EXPECT_TRUE(w->isVisible()) << "the main window is back";
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList()) << "no movie, no temporary file";
  kptest::saveScreenshot(w.get(), QStringLiteral("cutting-cancelled-main.png"));

  // Closing the main window still ends the program.
  QTimer::singleShot(0, w.get(), [&] { w->close(); });
  QTimer::singleShot(30000, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 0);
}

// The card searched, GMT+10 chosen, FILE0007 added with "+" through the open
// dialog and cut with its subtitles to a name typed as "bigcut.MOV".
TEST_F(RealWindow, HandAddedMovieIsCutWithItsTrackOnTheListsClock)
{
  Start(QStringLiteral(KP_CUTTING_CARD));
  const auto restore = qScopeGuard([] { SetTimeZoneShift(0); });
  const int zone = int(std::lround(LocalTimeOffset() * 24)) <= 2 ? 10 : -10;
  w->Item(QStringLiteral("N_View_TimeZone_GMT%1").arg(zone + 24).toLatin1().constData())->trigger();
  const double shift = TimeZoneShift();
  ASSERT_NE(shift, 0);
  int file = -1;
  const TFileItem row = w->FileManager()->GetGroup(w->FileManager()->IndexOfFile(CardMovie(7), &file));
  ASSERT_GE(file, 0);
  const TFileItemSubitem &listed = row.Files[size_t(file)];

  TFormCropping &dialog = *w->Windows.Cropping;
  dialog.ShowRestored();
  ASSERT_TRUE(Activate(&dialog));
  {
    TDialogAnswerer answers(CardMovie(7));
    dialog.findChild<QToolButton *>(QStringLiteral("ButtonAdd"))->click();
    EXPECT_EQ(answers.FilesAnswered, 1);
    EXPECT_TRUE(answers.Messages.isEmpty()) << answers.Messages.join(u'\n').toStdString();
  }
  ASSERT_EQ(dialog.RowCount(), 1);
  const QAbstractItemModel *cells = dialog.findChild<QTableView *>(QStringLiteral("ListView"))->model();
  const QString startFinish = cells->data(cells->index(0, 1)).toString();
  EXPECT_TRUE(startFinish.startsWith(TimeToStr(listed.StartTime + shift) + QStringLiteral(" - ")))
      << startFinish.toStdString() << " on the list's clock " << TimeToStr(listed.StartTime + shift).toStdString();

  QTemporaryDir out;
  dialog.findChild<QCheckBox *>(QStringLiteral("CheckBoxVideoSubtitles"))->setChecked(true);
  auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("EditFileName"));
  name->clear();
  QTest::keyClicks(name, out.filePath(QStringLiteral("bigcut.MOV")));
  kptest::saveScreenshot(&dialog, QStringLiteral("cutting-hand-added.png"));
  {
    TDialogAnswerer answers({});
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonStart"))->click();
    EXPECT_TRUE(answers.Messages.isEmpty()) << answers.Messages.join(u'\n').toStdString();
  }
  QStringList written = QDir(out.path()).entryList(QDir::Files);
  written.sort();
  EXPECT_EQ(written, QStringList({"bigcut.MOV", "bigcut.dat", "bigcut.srt"})) << "the name as typed";
  kptest::saveScreenshot(w.get(), QStringLiteral("cutting-hand-added-main.png"));

  // The first subtitle shows the movie's first moment as the list shows it.
  QString srt = QString::fromUtf8(kptest::readFileBytes(out.filePath(QStringLiteral("bigcut.srt"))));
  srt.remove(QChar(0xFEFF));
  const QString shown = srt.split(QStringLiteral("\r\n")).value(2).trimmed();
  TDateTime time = 0;
  ASSERT_TRUE(TryStrToTime(shown.section(u' ', -1), time)) << shown.toStdString();
  const double listedSeconds = std::fmod(listed.StartTime + shift, 1.0) * SecsPerDay;
  EXPECT_NEAR(time * SecsPerDay, listedSeconds, 3) << shown.toStdString();
}

// A 24.9-s fragment of the first recording: its row's limits and length
// agree, and the name proposed for it reads the clock of each zone picked
// while the window is open, until the user types a name of their own.
TEST_F(RealWindow, FragmentRowAndProposedNameFollowTheListsClock)
{
  Start(QStringLiteral(KP_CUTTING_CARD));
  const auto restore = qScopeGuard([] { SetTimeZoneShift(0); });
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 10000));
  w->ListView->selectionModel()->setCurrentIndex(Model().index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->ButtonPlay->isEnabled(); }, 10000));
  const TFileItemSubitem &s = w->State.Recording.Summary;
  const long double span = (s.EndTime - s.StartTime) * SecsPerDay;
  ASSERT_GT(span, 40);
  // The piece starts half-way through a second of the clock and ends 24.9 s
  // later, in the 25th second after.
  const double first = 11.5 - std::fmod(double(s.StartTime) * SecsPerDay, 1.0);
  w->State.MarkA = first / span;
  w->State.MarkB = (first + 24.9) / span;
  w->Item("N_File_Save_Video")->trigger();
  TFormCropping &dialog = *w->Windows.Cropping;
  ASSERT_EQ(dialog.RowCount(), 1);
  const QAbstractItemModel *cells = dialog.findChild<QTableView *>(QStringLiteral("ListView"))->model();
  const auto seconds = [](const QString &clock) {
    TDateTime t = 0;
    EXPECT_TRUE(TryStrToTime(clock.trimmed(), t)) << clock.toStdString();
    return std::lround(t * SecsPerDay);
  };
  const auto rowAgrees = [&] {
    const QStringList limits = cells->data(cells->index(0, 1)).toString().split(QStringLiteral(" - "));
    const QString duration = cells->data(cells->index(0, 3)).toString();
    EXPECT_EQ(limits.size(), 2);
    EXPECT_EQ(seconds(limits.value(1)) - seconds(limits.value(0)), seconds(duration))
        << limits.join(u'|').toStdString() << ", " << duration.toStdString();
    EXPECT_EQ(seconds(duration), 25) << duration.toStdString();
    return limits.value(0);
  };
  const QString localStart = rowAgrees();

  auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("EditFileName"));
  const QString proposed = name->text();
  const auto clockInName = [&](double shift) {
    return TimeToStr(s.StartTime + (first + 0.0001) / SecsPerDay + shift).replace(u':', u'-');
  };
  EXPECT_TRUE(proposed.contains(clockInName(0))) << proposed.toStdString();
  const int zone = int(std::lround(LocalTimeOffset() * 24)) <= 2 ? 10 : -10;
  w->Item(QStringLiteral("N_View_TimeZone_GMT%1").arg(zone + 24).toLatin1().constData())->trigger();
  const double shift = TimeZoneShift();
  ASSERT_NE(shift, 0);
  EXPECT_TRUE(name->text().contains(clockInName(shift))) << name->text().toStdString();
  EXPECT_NE(rowAgrees(), localStart) << "the row reads the list's clock";
  kptest::saveScreenshot(&dialog, QStringLiteral("cutting-fragment-zone.png"));

  // A name of the user's stays through the next zone.
  name->setText(QStringLiteral("/tmp/mine.mp4"));
  w->Item("N_View_TimeZone_Local")->trigger();
  EXPECT_EQ(name->text(), QStringLiteral("/tmp/mine.mp4"));
  EXPECT_EQ(rowAgrees(), localStart);
}

// The cutting window belongs to the main window as the other tool windows
// do: the window manager keeps it above the main window while it is open,
// after a click on the main window and after a file added with "+".
TEST_F(RealWindow, CuttingWindowStaysWithTheMainWindow)
{
  Start(QStringLiteral(KP_CUTTING_CARD));
  TFormCropping &dialog = *w->Windows.Cropping;
  dialog.ShowRestored();
  ASSERT_TRUE(Activate(&dialog));
  const auto transientFor = [&] { return dialog.windowHandle() ? dialog.windowHandle()->transientParent() : nullptr; };
  EXPECT_EQ(transientFor(), w->windowHandle());
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  {
    TDialogAnswerer answers(CardMovie(2));
    dialog.findChild<QToolButton *>(QStringLiteral("ButtonAdd"))->click();
    EXPECT_EQ(answers.FilesAnswered, 1);
  }
  EXPECT_EQ(dialog.RowCount(), 1);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(transientFor(), w->windowHandle());
}

// A copy of the card searched; a cut of one fragment saved in the card's
// own folder, then a cut of two saved over it (Yes to replacing it): each
// time the list shows the cut as the file now is, without a refresh.
TEST_F(RealWindow, ReplacedCutIsListedAsItNowIs)
{
  QTemporaryDir copy;
  const QString card = copy.filePath(QStringLiteral("card"));
  int code = -1;
  kptest::runTool(QStringLiteral("cp"), {"-a", QStringLiteral(KP_CUTTING_CARD), card}, &code);
  ASSERT_EQ(code, 0);
  const QString media = card + QStringLiteral("/DCIM/100MEDIA/");
  ASSERT_NO_FATAL_FAILURE(Start(card));
  TFormCropping &dialog = *w->Windows.Cropping;
  const QString cut = media + QStringLiteral("cut.mov");
  // The row of the cut as the list shows it: duration and distance.
  const auto shown = [&] {
    const int row = w->FileManager()->IndexOfFile(cut);
    return row < 0 ? QString()
                   : Model().index(row, flcDuration).data().toString() + u'|' +
                         Model().index(row, flcDistance).data().toString();
  };
  for (const int fragments : {1, 2}) {
    SCOPED_TRACE(fragments);
    dialog.ShowRestored();
    ASSERT_TRUE(Activate(&dialog));
    for (int n = 2; n < 2 + fragments; ++n) {
      TDialogAnswerer answers(media + QStringLiteral("FILE%1.MOV").arg(n, 4, 10, QLatin1Char('0')));
      dialog.findChild<QToolButton *>(QStringLiteral("ButtonAdd"))->click();
      ASSERT_EQ(answers.FilesAnswered, 1);
    }
    ASSERT_EQ(dialog.RowCount(), fragments);
    auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("EditFileName"));
    name->clear();
    QTest::keyClicks(name, cut);
    {
      TDialogAnswerer answers({});
      answers.Press = QMessageBox::Yes;
      dialog.findChild<QPushButton *>(QStringLiteral("ButtonStart"))->click();
      EXPECT_EQ(answers.Messages.size(), fragments - 1) << answers.Messages.join(u'\n').toStdString();
    }
    const TFileItemSubitem now = w->FileManager()->PreviewFile(cut);
    const QString expected = DurationToStr(true, now.DurationMs);
    ASSERT_TRUE(kptest::waitUntil([&] { return shown().startsWith(expected + u'|'); }, 5000))
        << shown().toStdString() << " for " << expected.toStdString();
    EXPECT_NEAR(now.DurationMs, fragments * 60000, 1000);
    EXPECT_FALSE(shown().endsWith(u'|')) << "with its track";
    // Nothing was loaded once the job stopped playback: the cut loads, as it now is.
    EXPECT_TRUE(kptest::waitUntil(
        [&] {
          const TFileItem &r = w->State.Recording;
          return r.Files.size() == 1 && r.Files[0].FileName == cut && r.Summary.DurationMs == now.DurationMs;
        },
        5000))
        << w->State.Recording.Summary.DurationMs;
    kptest::saveScreenshot(w.get(), QStringLiteral("cutting-replaced-%1.png").arg(fragments));
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonCancel"))->click();
  }
}
