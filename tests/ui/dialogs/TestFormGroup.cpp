// The grouping window on a real catalogue: joining by identity, refusals,
// Space on a multiple selection, the route timer and the placement.

#include "FakeDialogHost.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "UnitFileManager.h"
#include "UnitFormGroup.h"

#include <QTest>
#include <QTreeWidget>
#include "FileManagerTestAccess.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

TFileItem Row(const QString &name, double minute, const QString &track = {})
{
  TFileItemSubitem f;
  f.FileName = QStringLiteral("/card/") + name + QStringLiteral(".MOV");
  f.Name = name;
  f.StartTime = 45000 + minute / 1440;
  f.EndTime = f.StartTime + 1.0 / 1440;
  f.TrackFileName = track;
  TFileItem row;
  row.Files = {f};
  row.Summary = f;
  return row;
}

class GroupWindow : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::ensureApplication();
    FHost.Manager = &FManager;
    TFileManagerTestAccess::SetRows(FManager, {Row("A", 0), Row("B", 10), Row("C", 20), Row("D", 30)});
  }
  int FilesOfRow(const QString &name) const
  {
    const int i = FManager.IndexOfFile(QStringLiteral("/card/") + name + QStringLiteral(".MOV"));
    return i < 0 ? -1 : int(FManager.GetGroup(i).Files.size());
  }
  std::vector<bool> Checks(QTreeWidget *view) const
  {
    std::vector<bool> c;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
      c.push_back(view->topLevelItem(i)->checkState(0) == Qt::Checked);
    return c;
  }
  kptest::FakeDialogHost FHost;
  TFileManager FManager{false, {}};
};

TEST_F(GroupWindow, JoinsTheCheckedRecordingsWhateverTheListDidMeanwhile)
{
  TFormGroup form(&FHost);
  FHost.Selected = {0, 2};
  form.Fill(3);
  // A search adds a row and the list is re-sorted before the user presses Group.
  TFileManagerTestAccess::SetRows(FManager, {Row("E", 40), Row("D", 30), Row("C", 20), Row("B", 10), Row("A", 0)});
  form.ButtonGroupClick();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(FManager.GetCount(), 3);
  EXPECT_EQ(FilesOfRow("A"), 3);
  EXPECT_EQ(FManager.IndexOfFile("/card/A.MOV"), FManager.IndexOfFile("/card/D.MOV"));
}

TEST_F(GroupWindow, NothingChangesWithoutTwoRowsOrWhenARowIsGone)
{
  kptest::MessageBoxAnswerer boxes;
  struct Case {
    std::vector<int> Selected;
    bool RemoveC;
  };
  for (const Case &c : {Case{{}, false}, Case{{1}, false}, Case{{1, 2}, true}}) {
    TFileManagerTestAccess::SetRows(FManager, {Row("A", 0), Row("B", 10), Row("C", 20), Row("D", 30)});
    TFormGroup form(&FHost);
    FHost.Selected = c.Selected;
    form.Fill(-1);
    if (c.RemoveC) TFileManagerTestAccess::SetRows(FManager, {Row("A", 0), Row("B", 10), Row("D", 30)});
    boxes.Texts.clear();
    form.ButtonGroupClick();
    // A refused join keeps the window open and says so.
    EXPECT_EQ(boxes.Texts.size(), c.RemoveC ? 1 : 0);
    EXPECT_EQ(form.result(), c.RemoveC ? QDialog::Rejected : QDialog::Accepted);
    EXPECT_EQ(FManager.GetCount(), c.RemoveC ? 3 : 4);
    EXPECT_EQ(FilesOfRow("B"), 1);
  }
}

TEST_F(GroupWindow, SpaceFlipsTheSelectionToTheOppositeOfItsFirstRow)
{
  TFormGroup form(&FHost);
  FHost.Selected = {0, 2};
  form.Fill(-1);
  form.show();
  QTreeWidget *view = form.ListView();
  view->topLevelItem(0)->setSelected(true);
  view->topLevelItem(1)->setSelected(true);
  QTest::keyClick(view, Qt::Key_Space);
  EXPECT_EQ(Checks(view), (std::vector<bool>{false, false, true, false}));
  QTest::keyClick(view, Qt::Key_Space);
  EXPECT_EQ(Checks(view), (std::vector<bool>{true, true, true, false}));
}

TEST_F(GroupWindow, RouteTimerDrawsTheCheckedTracksOnlyWhileShown)
{
  KP_REQUIRE_SAMPLES();
  const QString t1 = kptest::samplePath("nmea/gpsbabel_track_2004.nmea");
  TFileManagerTestAccess::SetRows(
      FManager, {Row("A", 0, t1), Row("B", 10, kptest::samplePath("tracks/ozi_20070813_short.plt")), Row("C", 20)});
  TFormGroup form(&FHost);
  // Created hidden (at start-up) and filled without being shown: the main
  // window's map is left alone.
  EXPECT_FALSE(form.RouteTimer()->isActive());
  FHost.Selected = {0, 1, 2};
  form.Fill(-1);
  form.TimerDrawRouteTimer();
  EXPECT_TRUE(FHost.MapFlags.empty());
  form.show();
  form.ListView()->topLevelItem(0)->setSelected(true);
  ASSERT_TRUE(kptest::waitUntil([&] { return !FHost.MapFlags.empty() && FHost.MapFlags.back().size() == 2; }, 10000));
  EXPECT_EQ(FHost.MapFlags.back(), (std::vector<bool>{true, false}));
  EXPECT_GT(FHost.MapTracks.back()[0], 0u);
  // A close while the tracks load: the window's preview is not drawn after it.
  bool clicked = false;
  const size_t draws = FHost.MapFlags.size();
  QTimer::singleShot(0, &form, [&] {
    clicked = true;
    for (int i = 0; i < 3; ++i) form.ListView()->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    form.reject();
  });
  form.TimerDrawRouteTimer();
  EXPECT_TRUE(clicked);
  EXPECT_EQ(FHost.MapFlags.size(), draws);
  form.show();
  for (int i = 0; i < 3; ++i) form.ListView()->topLevelItem(i)->setCheckState(0, Qt::Checked);
  // One track left: drawn without the highlight.
  form.ListView()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
  form.ListView()->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
  ASSERT_TRUE(kptest::waitUntil([&] { return FHost.MapFlags.back().size() == 1; }, 10000));
  EXPECT_EQ(FHost.MapFlags.back(), std::vector<bool>{false});
}

TEST_F(GroupWindow, PlacedBelowTheMainWindowsCorner)
{
  TFormGroup form(&FHost);
  for (const int client : {680, 300}) {
    FHost.ClientSize = QSize(900, client);
    QRect seen;
    QTimer::singleShot(0, &form, [&] {
      seen = QRect(form.pos(), form.size());
      form.reject();
    });
    form.Execute(1);
    EXPECT_EQ(seen, QRect(110, 130, 713, std::min(621, client - 10)));
    EXPECT_EQ(Checks(form.ListView()), (std::vector<bool>{false, true, false, false}));
  }
}

} // namespace
