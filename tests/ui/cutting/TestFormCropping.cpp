// The cutting dialog and the fragment editor as the user meets them, with a
// fake main window, on demo-card recordings.
#include "CuttingTestSupport.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "UnitFormCropping.h"
#include "UnitFormCroppingItem.h"
#include "UnitGpsConverterGPX.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"
#include "UnitUtilsFiles.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kp;
using kptest::CardMovie;

namespace {

template <typename T>
T *Child(QObject *parent, const char *name)
{
  T *child = parent->findChild<T *>(QLatin1String(name));
  EXPECT_TRUE(child) << name;
  return child;
}

// The application and the language tables, before any widget is made.
struct TApp {
  TApp()
  {
    kptest::ensureApplication();
    InitLanguages();
  }
};

class FormCropping : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(QFile::exists(CardMovie(2)));
    FForm.SetMessageSink([this](const QString &m) { FMessages << m; });
    FForm.ShowRestored();
    FForm.activateWindow();
    // Shortcuts reach the dialog only while it is the active window.
    ASSERT_TRUE(
        kptest::waitUntil([this] { return FForm.isVisible() && QApplication::activeWindow() == &FForm; }, 5000));
  }

  QString Cell(int row, int column) const
  {
    const QAbstractItemModel *m = Child<QTableView>(const_cast<TFormCropping *>(&FForm), "ListView")->model();
    return m->data(m->index(row, column)).toString();
  }

  // Runs the editor on Item; Act sees the open dialog and closes it.
  bool Edit(TCropItem &item, const std::function<void(QDialog &)> &act)
  {
    QTimer::singleShot(0, &FEditor, [&] {
      ASSERT_TRUE(kptest::waitUntil([&] { return FEditor.isVisible(); }, 5000));
      act(FEditor);
      if (FEditor.isVisible()) FEditor.reject();
    });
    return FEditor.Execute(item);
  }

  kptest::ScopedSettings FSettings;
  TApp FApp;
  kptest::TFakeCropHost FHost;
  TFormCroppingItem FEditor;
  TFormCropping FForm{FHost, FEditor};
  QStringList FMessages;
};

} // namespace

TEST_F(FormCropping, AddingFilesFillsRowsAndTotals)
{
  QTemporaryDir dir;
  const QString junk = dir.filePath(QStringLiteral("junk.mov"));
  QFile f(junk);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("not a movie") > 0);
  f.close();
  FHost.Chosen = {CardMovie(2), junk, CardMovie(3)};
  Child<QAction>(&FForm, "N_FileList_Add")->trigger();
  ASSERT_EQ(FForm.RowCount(), 2);
  EXPECT_EQ(FMessages, QStringList(junk + QStringLiteral("\r\n\r\n") + Translate(u"Cropping_FormatUnknown")));
  EXPECT_EQ(Cell(0, 0), CardMovie(2));
  EXPECT_EQ(Cell(1, 3), QStringLiteral("00:01:00"));
  EXPECT_EQ(Child<QLabel>(&FForm, "LabelTimePos")->text(), QStringLiteral("(2) 00:02:00"));
  EXPECT_TRUE(Child<QPushButton>(&FForm, "ButtonStart")->isEnabled());
  EXPECT_FALSE(Child<QTableView>(&FForm, "ListView")->selectionModel()->hasSelection())
      << "a list that was empty ends without a selection";
  // A frame size that differs is reported; the item stays.
  FForm.AddFile(QStringLiteral(KP_CUTTING_SOURCES "/aac_b_aud_1.mov"), nullptr, 0, 0.5L, 0);
  EXPECT_EQ(FForm.RowCount(), 3);
  ASSERT_EQ(FMessages.size(), 2);
  EXPECT_TRUE(FMessages[1].endsWith(QStringLiteral("320x180\r\n\r\n") + QStringLiteral(KP_CUTTING_SOURCES) +
                                    QStringLiteral("/aac_b_aud_1.mov\r\n128x96\r\n\r\n") +
                                    Translate(u"Cropping_FrameNotEqual")))
      << FMessages[1].toStdString();
  // Enter in the list opens the editor on the selected row; Delete removes it.
  auto *list = Child<QTableView>(&FForm, "ListView");
  list->setFocus();
  list->selectRow(0);
  QString edited;
  QTimer::singleShot(0, &FEditor, [&] {
    if (FEditor.isVisible()) edited = Child<QLabel>(&FEditor, "LabelFileName")->text();
    FEditor.reject();
  });
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(edited, CardMovie(2));
  // Without a window manager (the offscreen platform) nothing gives the
  // activation back once the editor closes: the user would click the dialog.
  FForm.activateWindow();
  ASSERT_TRUE(kptest::waitUntil([this] { return QApplication::activeWindow() == &FForm; }, 5000));
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(FForm.RowCount(), 2);
  EXPECT_EQ(Cell(0, 0), CardMovie(3));
  // Closing empties the dialog.
  FForm.reject();
  EXPECT_EQ(FForm.RowCount(), 0);
  EXPECT_FALSE(Child<QPushButton>(&FForm, "ButtonStart")->isEnabled());
}

TEST_F(FormCropping, EditorLinksSpeedSliderAndLimits)
{
  TCropItem item;
  item.FileName = QStringLiteral("clip.mov");
  item.DurationMs = 60000;
  item.FPS = 25;
  item.P1 = 0.25L;
  item.Speed = 1;
  item.FrameTypes = QStringLiteral("PPPP");
  // Typing 1/4 moves the slider there and hides the method group; 8 (not on
  // this slider) leaves it, shows 200 frames a second and proposes key frames.
  EXPECT_FALSE(Edit(item, [](QDialog &d) {
    auto *speed = Child<QLineEdit>(&d, "EditSpeed");
    auto *slider = Child<QSlider>(&d, "TrackBarSpeed");
    auto *group = Child<QGroupBox>(&d, "SpeedUpMethod");
    // Opened at speed 1 (the first time too): no method to choose, and the
    // title says what is edited.
    EXPECT_FALSE(group->isVisibleTo(&d));
    EXPECT_EQ(d.windowTitle(), Translate(u"N_Edit") + QStringLiteral(" - clip.mov"));
    EXPECT_EQ(Child<QLineEdit>(&d, "EditTime1")->text(), QStringLiteral("00:00:15"));
    speed->setText(QStringLiteral("1/4"));
    EXPECT_EQ(slider->value(), 1);
    EXPECT_FALSE(group->isVisibleTo(&d));
    speed->setText(QStringLiteral("8"));
    EXPECT_TRUE(group->isVisibleTo(&d));
    kptest::saveScreenshot(&d, QStringLiteral("cutting-editor.png"));
    EXPECT_TRUE(Child<QRadioButton>(&d, "SUM_FPS")->text().contains(QStringLiteral("200")));
    EXPECT_TRUE(Child<QRadioButton>(&d, "SUM_KeyFrames")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&d, "SUM_KeyFrames")->text().contains(QStringLiteral("5")));
    EXPECT_EQ(slider->value(), 1);
    // Time and fraction follow each other; an unreadable finish time is the end.
    Child<QLineEdit>(&d, "EditTime2")->setText(QStringLiteral("00:00:30"));
    EXPECT_EQ(Child<QLineEdit>(&d, "EditP2")->text(), QStringLiteral("0.500000"));
    Child<QLineEdit>(&d, "EditTime2")->setText(QStringLiteral("later"));
    EXPECT_EQ(Child<QLineEdit>(&d, "EditP2")->text(), QStringLiteral("1.000000"));
    Child<QLineEdit>(&d, "EditP1")->setText(QStringLiteral("1.5"));
    EXPECT_FALSE(Child<QPushButton>(&d, "ButtonOk")->isEnabled()) << "P1 at or after P2";
  }));
  EXPECT_EQ(item.P1, 0.25L) << "Cancel leaves the item";
  EXPECT_EQ(item.Speed, 1);
  // OK clamps the limits and turns an unreadable speed into 1.
  EXPECT_TRUE(Edit(item, [](QDialog &d) {
    Child<QLineEdit>(&d, "EditP1")->setText(QStringLiteral("-2"));
    Child<QLineEdit>(&d, "EditP2")->setText(QStringLiteral("1.5"));
    Child<QLineEdit>(&d, "EditSpeed")->setText(QStringLiteral("abc"));
    Child<QPushButton>(&d, "ButtonOk")->click();
  }));
  EXPECT_EQ(item.P1, 0);
  EXPECT_EQ(item.P2, 1);
  EXPECT_EQ(item.Speed, 1);
}

TEST_F(FormCropping, StartHandsTheMovieToTheMainWindow)
{
  QTemporaryDir dir;
  FForm.AddFile(CardMovie(2), nullptr, 0.5L, 0.7L, 0);
  FForm.SetOutputName(dir.filePath(QStringLiteral("out.mp4")));
  kptest::saveScreenshot(&FForm, QStringLiteral("cutting-dialog.png"));
  Child<QPushButton>(&FForm, "ButtonStart")->click();
  const QString movie = dir.filePath(QStringLiteral("out.mov"));
  EXPECT_EQ(FHost.Calls, QStringList({"stop", "hide", "show", "stop", "add " + movie}));
  EXPECT_EQ(FForm.OutputName(), movie);
  EXPECT_TRUE(QFile::exists(movie));
  EXPECT_FALSE(FForm.Running());
  EXPECT_EQ(FForm.RowCount(), 1) << "the list stays for another cut";
  EXPECT_TRUE(Child<QPushButton>(&FForm, "ButtonStart")->isEnabled());
}

TEST_F(FormCropping, ClosingDuringTheJobKeepsTheItemsUntilItEnds)
{
  QTemporaryDir dir;
  FForm.AddFile(CardMovie(2), nullptr, 0, 1, 0);
  FForm.AddFile(CardMovie(3), nullptr, 0, 1, 0);
  FForm.SetOutputName(dir.filePath(QStringLiteral("out.mov")));
  auto *list = Child<QTableView>(&FForm, "ListView");
  size_t seenItems = 0;
  bool deleteEnabled = true;
  // Runs inside the job's first progress call.
  FHost.WhileHidden = [&] {
    QTimer::singleShot(0, &FForm, [&] {
      list->setFocus();
      list->selectAll();
      QTest::keyClick(list, Qt::Key_Delete);
      deleteEnabled = Child<QAction>(&FForm, "N_FileList_Del")->isEnabled();
      FForm.reject();
      seenItems = FForm.Items().size();
    });
  };
  Child<QPushButton>(&FForm, "ButtonStart")->click();
  EXPECT_EQ(seenItems, 2u) << "Delete and the close leave the list alone while the job runs";
  EXPECT_FALSE(deleteEnabled);
  EXPECT_EQ(FForm.RowCount(), 0) << "emptied once the job has ended";
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList()) << "a cancelled movie is deleted";
  EXPECT_EQ(FHost.Calls, QStringList({"stop", "hide", "show"}));
}

namespace {

// Answers the next question box with Button and keeps its text.
class TBoxAnswerer {
public:
  explicit TBoxAnswerer(QMessageBox::StandardButton button)
  {
    FTimer.setInterval(20);
    QObject::connect(&FTimer, &QTimer::timeout, [this, button] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (!box) return;
      Texts << box->text();
      box->button(button)->click();
    });
    FTimer.start();
  }
  QStringList Texts;

private:
  QTimer FTimer;
};

} // namespace

TEST_F(FormCropping, TypedNameOfExistingFilesAsksBeforeReplacingThem)
{
  QTemporaryDir dir;
  const QString movie = dir.filePath(QStringLiteral("out.mov")), srt = dir.filePath(QStringLiteral("out.srt"));
  ASSERT_TRUE(kptest::writeFileBytes(movie, "the user's movie"));
  ASSERT_TRUE(kptest::writeFileBytes(srt, "the user's subtitles"));
  const auto info = TMovingInfo::LoadFromFile(ChangeFileExt(CardMovie(2), QStringLiteral(".DAT")), false);
  ASSERT_TRUE(info);
  FForm.AddFile(CardMovie(2), info.get(), 0.5L, 0.6L, 0);
  auto *name = Child<QLineEdit>(&FForm, "EditFileName");
  name->clear();
  QTest::keyClicks(name, movie);
  {
    TBoxAnswerer no(QMessageBox::No);
    Child<QPushButton>(&FForm, "ButtonStart")->click();
    ASSERT_EQ(no.Texts.size(), 1);
    EXPECT_TRUE(no.Texts[0].contains(movie)) << no.Texts[0].toStdString();
    EXPECT_TRUE(no.Texts[0].contains(srt)) << "the side file is named too";
    EXPECT_FALSE(no.Texts[0].contains(dir.filePath(QStringLiteral("out.dat")))) << "only files that exist";
  }
  EXPECT_TRUE(FHost.Calls.isEmpty()) << "nothing starts";
  EXPECT_EQ(kptest::readFileBytes(movie), "the user's movie");
  EXPECT_EQ(kptest::readFileBytes(srt), "the user's subtitles");
  EXPECT_FALSE(FForm.Running());
  // Yes replaces them.
  {
    TBoxAnswerer yes(QMessageBox::Yes);
    Child<QPushButton>(&FForm, "ButtonStart")->click();
    EXPECT_EQ(yes.Texts.size(), 1);
  }
  EXPECT_EQ(FHost.Calls, QStringList({"stop", "hide", "show", "stop", "add " + movie}));
  EXPECT_GT(QFileInfo(movie).size(), 1000);
  EXPECT_NE(kptest::readFileBytes(srt), "the user's subtitles");
}

// A piece of a trip, then a movie added with "+" whose track stands beside
// it, with the time zone set to GMT+10: the cut carries the track of both
// pieces, and every time the window shows or the subtitles say is on the
// list's clock; the ".dat" keeps the stored clock its reader takes back. A
// movie without a track is named before Start, and a typed ".MOV" stays.
namespace {

// A copy of a card file, with its last-write time.
bool CopyWithTimes(const QString &from, const QString &to)
{
  TDateTime created = 0, modified = 0;
  return QFile::copy(from, to) && GetFileTimes(from, created, modified) && SetFileTimes(to, 0, modified);
}

} // namespace

// Movies the list holds whose track is no file beside them: a card's
// fragment without its .DAT, which the list gives its card's GPS log, added
// as a row the player never loaded is; and a copied movie the user attached
// a GPX to in the list, added with "+". Each comes with the track the list
// gives it, on the list's clock.
TEST_F(FormCropping, ListedMoviesComeWithTheTrackTheListGivesThem)
{
  QTemporaryDir dir;
  ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("card/DCIM/100MEDIA"))));
  ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("card/GPS"))));
  const QString fragment = dir.filePath(QStringLiteral("card/DCIM/100MEDIA/FILE0002.MOV"));
  ASSERT_TRUE(CopyWithTimes(CardMovie(2), fragment));
  ASSERT_TRUE(CopyWithTimes(QStringLiteral(KP_CUTTING_CARD "/GPS/LOG0001.LOG"),
                            dir.filePath(QStringLiteral("card/GPS/LOG0001.LOG"))));
  const QString copied = dir.filePath(QStringLiteral("copied.mov")), gpx = dir.filePath(QStringLiteral("drive.gpx"));
  ASSERT_TRUE(QFile::copy(CardMovie(8), copied)); // written now: its file clock is today's
  TTrackInfo drive;
  TMovingInfo::LoadFromFile(ChangeFileExt(CardMovie(8), QStringLiteral(".DAT")), false)->ToTrackInfo(drive);
  QByteArray gpxText;
  ASSERT_TRUE(TGpsInfoConverterGPX().ExportToText(drive, gpxText));
  ASSERT_TRUE(kptest::writeFileBytes(gpx, gpxText));

  TFileManager &list = FHost.Catalogue;
  ASSERT_TRUE(list.AddFolder(dir.filePath(QStringLiteral("card"))));
  list.MatchGpsLogs();
  TFileItem row;
  ASSERT_TRUE(list.GetGroupByFile(copied, row));
  ASSERT_TRUE(list.SetGroupTrack(list.IndexOfFile(copied), gpx));
  const TFileItemSubitem listedFragment = list.GetGroup(list.IndexOfFile(fragment)).Files.at(0);
  const TFileItemSubitem listedCopy = list.GetGroup(list.IndexOfFile(copied)).Files.at(0);
  ASSERT_TRUE(listedFragment.HasTrack && listedCopy.HasTrack);

  FForm.AddFile(fragment, nullptr, 0, 1, listedFragment.StartTime);
  FHost.Chosen = {copied};
  Child<QAction>(&FForm, "N_FileList_Add")->trigger();
  ASSERT_EQ(FForm.RowCount(), 2);
  EXPECT_FALSE(Child<QLabel>(&FForm, "LabelNoTrack")->isVisible());
  EXPECT_NEAR((FForm.Items()[1].StartTime - listedCopy.StartTime) * SecsPerDay, 0, 0.001) << "on the list's clock";
  for (const TCropItem &item : FForm.Items()) EXPECT_TRUE(CropItemHasTrack(item)) << item.FileName.toStdString();
}

TEST_F(FormCropping, HandAddedMovieTakesItsTrackOnTheListsClock)
{
  KP_REQUIRE_TOOL(ffprobe, "ffprobe");
  const double shift = 10.0 / 24 - LocalTimeOffset();
  SetTimeZoneShift(shift);
  const auto restore = qScopeGuard([] { SetTimeZoneShift(0); });
  QTemporaryDir dir;
  const QString alone = dir.filePath(QStringLiteral("alone.mov"));
  ASSERT_TRUE(QFile::copy(CardMovie(8), alone));
  FHost.Chosen = {alone};
  Child<QAction>(&FForm, "N_FileList_Add")->trigger();
  auto *note = Child<QLabel>(&FForm, "LabelNoTrack");
  ASSERT_TRUE(note);
  EXPECT_TRUE(note->isVisible());
  EXPECT_EQ(note->text(), Translate(u"Cropping_NoTrack") + QStringLiteral(" alone.mov"));
  Child<QAction>(&FForm, "N_FileList_Clear")->trigger();
  EXPECT_FALSE(note->isVisible());

  // The second half of FILE0006 as the main window adds a trip's piece.
  const auto trip = TMovingInfo::LoadFromFile(ChangeFileExt(CardMovie(6), QStringLiteral(".DAT")), false);
  ASSERT_TRUE(trip);
  const TFileItemSubitem six = FHost.Catalogue.PreviewFile(CardMovie(6));
  const TFileItemSubitem seven = FHost.Catalogue.PreviewFile(CardMovie(7));
  FForm.AddFile(CardMovie(6), trip.get(), 0.5L, 1, six.StartTime);
  FHost.Chosen = {CardMovie(7)};
  Child<QAction>(&FForm, "N_FileList_Add")->trigger();
  ASSERT_EQ(FForm.RowCount(), 2);
  EXPECT_FALSE(note->isVisible());
  const TDateTime sevenEnd = seven.StartTime + seven.DurationMs / MSecsPerDay;
  EXPECT_EQ(Cell(1, 1), TimeToStr(seven.StartTime + shift) + QStringLiteral(" - ") + TimeToStr(sevenEnd + shift));
  TCropItem item = FForm.Items()[1];
  Edit(item, [&](QDialog &d) {
    EXPECT_EQ(Child<QLabel>(&d, "LabelDateTime1")->text(),
              DateToStr(seven.StartTime + shift) + QStringLiteral("  ") + TimeToStr(seven.StartTime + shift));
  });

  Child<QCheckBox>(&FForm, "CheckBoxVideoSubtitles")->setChecked(true);
  const QString movie = dir.filePath(QStringLiteral("bigcut.MOV"));
  FForm.SetOutputName(movie);
  Child<QPushButton>(&FForm, "ButtonStart")->click();
  ASSERT_EQ(FHost.Calls.last(), QStringLiteral("add ") + movie);
  EXPECT_TRUE(FMessages.isEmpty()) << FMessages.join(u'\n').toStdString();
  EXPECT_EQ(kptest::runTool(ffprobe, {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", movie})
                .trimmed()
                .split(u'\n'),
            QStringList({"video", "audio", "subtitle"}));

  // Subtitles over both pieces, the first showing its fix on the list's clock.
  QString srt = QString::fromUtf8(kptest::readFileBytes(dir.filePath(QStringLiteral("bigcut.srt"))));
  srt.remove(QChar(0xFEFF));
  const QStringList cues = srt.split(QStringLiteral("\r\n\r\n"), Qt::SkipEmptyParts);
  ASSERT_GT(cues.size(), 20);
  const TCropItem &first = FForm.Items()[0];
  const TDateTime t1 = first.StartTime + double(first.DurationMs * first.P1 / MSecsPerDay);
  const auto fix = std::find_if(trip->Points.begin(), trip->Points.end(),
                                [&](const TMovingPoint &p) { return !p.NoFix && p.Time >= t1; });
  ASSERT_NE(fix, trip->Points.end());
  EXPECT_EQ(cues.front().split(QStringLiteral("\r\n")).value(2).trimmed(), DateTimeToStr(fix->Time + shift));
  const QString lastStart = cues.back().split(QStringLiteral("\r\n")).value(1).left(8);
  EXPECT_GE(lastStart, QStringLiteral("00:01:26")) << "to the end of the hand-added piece";

  // The ".dat" holds both pieces on the stored clock.
  const auto back = TMovingInfo::LoadFromFile(dir.filePath(QStringLiteral("bigcut.dat")), false);
  ASSERT_TRUE(back);
  EXPECT_NEAR((back->StartTime - t1) * SecsPerDay, 0, 2);
  EXPECT_NEAR((back->EndTime - back->StartTime) * SecsPerDay, TCropJob::TotalSeconds(FForm.Items()), 3);
}
