// The details hover window on a real X server: shown beside the pointer
// without taking the activation, its mini graph, placement and step-away.

#include "FakeDialogHost.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "UnitFormDetails.h"
#include "UnitGraphics.h"
#include "UnitTranslate.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <gtest/gtest.h>

using namespace kp;

namespace {

class DetailsWindow : public ::testing::Test {
protected:
  void SetUp() override
  {
    // Placement and activation need a real X server (scripts/test starts one).
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
      if (kptest::underCI()) FAIL() << "no X server under CI";
      GTEST_SKIP() << "no X server; run under xvfb-run";
    }
    kptest::ensureApplication();
    kptest::useLanguage(LangEnglish);
    FHost.Telemetry.Point.Time = 45000;
    FHost.Telemetry.Point.Lon = 30.5;
    FHost.Telemetry.Point.Lat = 50.25;
    FHost.Telemetry.Valid = false;
  }
  int WorkBottom() const { return QGuiApplication::primaryScreen()->availableGeometry().bottom() + 1; }
  kptest::FakeDialogHost FHost;
};

TEST_F(DetailsWindow, ShowsBesideThePointerWithoutTakingTheActivation)
{
  QWidget main;
  main.setGeometry(50, 50, 600, 400);
  main.show();
  main.activateWindow();
  ASSERT_TRUE(kptest::waitUntil([&] { return QApplication::activeWindow() == &main; }, 5000));
  TFormDetails details(&FHost);
  // Room below the graph panel on any screen (the offscreen one is 800x600).
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  FHost.Panel = QRect(work.left(), work.top() + 100, 800, 200);
  FHost.Caption = QString(300, QLatin1Char('x'));
  QCursor::setPos(work.left() + 300, work.top() + 200);
  details.ShowDetails(TSpeedGraphic::Create, 0.5, 0.01, 0.5);
  ASSERT_TRUE(kptest::waitUntil([&] { return details.isVisible(); }, 5000));
  kptest::spin(200);
  EXPECT_EQ(QApplication::activeWindow(), &main);
  EXPECT_TRUE(details.Shown());
  EXPECT_EQ(details.Label("LabelGPSX")->text(), "(?) E30.500000");
  const QLabel *file = details.Label("LabelFile");
  EXPECT_TRUE(file->text().contains("..."));
  EXPECT_LE(file->x() + file->fontMetrics().horizontalAdvance(file->text()), details.width());
  const QPoint at = QCursor::pos();
  EXPECT_EQ(details.pos(), QPoint(at.x() + 16, FHost.Panel.bottom() + 1));
  kptest::saveScreenshot(&details, QStringLiteral("details.png"));
  details.HideDetails();
  EXPECT_FALSE(details.isVisible());
}

TEST_F(DetailsWindow, Placement)
{
  struct Case {
    const char *Name;
    QPoint Pointer;
    QRect Panel;
    bool Graph;
    QPoint Expected;
  };
  const int h = 150, bottom = 1000;
  const Case cases[] = {
      {"over a graph: below the panel", {300, 600}, {0, 500, 800, 200}, true, {316, 700}},
      {"pointer below the panel", {300, 760}, {0, 500, 800, 200}, true, {316, 784}},
      {"seek bar: above the panel", {300, 600}, {0, 500, 800, 200}, false, {316, 500 - h}},
      {"near the screen bottom: above", {300, 900}, {0, 800, 800, 200}, true, {316, 800 - h}},
  };
  for (const Case &c : cases)
    EXPECT_EQ(TFormDetails::Placement(c.Pointer, c.Panel, bottom, h, c.Graph), c.Expected) << c.Name;
}

TEST_F(DetailsWindow, MiniGraphFollowsTheGraphUnderThePointer)
{
  TFormDetails details(&FHost);
  details.ShowDetails(TSpeedGraphic::Create, 0.5, 0.01, 0.5);
  const TMyGraphic *speed = details.Graph();
  ASSERT_NE(speed, nullptr);
  const int withGraph = details.height();
  const QString speedName = details.Label("LabelGraphicName")->text();
  details.ShowDetails(TSpeedGraphic::Create, 0.5, 0.01, 0.6);
  EXPECT_EQ(details.Graph(), speed);
  details.ShowDetails(TAltitudeGraphic::Create, 0.5, 0.01, 0.6);
  EXPECT_NE(details.Label("LabelGraphicName")->text(), speedName);
  EXPECT_EQ(FHost.GraphDraws, 3);
  details.ShowDetails(nullptr, 0.5, 0.01, 0.6);
  EXPECT_EQ(details.Graph(), nullptr);
  EXPECT_LT(details.height(), withGraph - TFormDetails::GraphHeight + 1);
  EXPECT_TRUE(details.Label("LabelGraphicName")->text().isEmpty());
}

TEST_F(DetailsWindow, PointerOnTheWindowPushesItAwayAndMenusHideBlocks)
{
  TFormDetails details(&FHost);
  details.ShowDetails(nullptr, 0.5, 0.01, 0.5);
  details.move(200, 200);
  ASSERT_TRUE(kptest::waitUntil([&] { return details.pos() == QPoint(200, 200); }, 5000));
  QLabel *label = details.Label("LabelGPSY");
  const QPoint local(5, 3);
  QMouseEvent move(QEvent::MouseMove, local, label->mapToGlobal(local), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(label, &move);
  const QPoint inWindow = label->mapTo(&details, local);
  const QPoint expected(200 + inWindow.x() + 16, std::min(200 + inWindow.y() + 24, WorkBottom() - details.height()));
  EXPECT_TRUE(kptest::waitUntil([&] { return details.pos() == expected; }, 5000));

  struct Case {
    bool GpsG, VideoOnly;
    bool GSensorShown, GpsShown;
  };
  for (const Case c : {Case{false, false, false, true}, Case{true, false, true, true}, Case{true, true, true, false}}) {
    FHost.Checks["N_View_Profile_GPS_G"] = c.GpsG;
    FHost.Checks["N_View_Profile_Video"] = c.VideoOnly;
    details.UpdateVisibility();
    EXPECT_EQ(details.Label("LabelGSensorX")->isVisibleTo(&details), c.GSensorShown);
    EXPECT_EQ(details.Label("LabelGPSXCaption")->isVisibleTo(&details), c.GpsShown);
    EXPECT_TRUE(details.Label("LabelFile")->isVisibleTo(&details));
  }
}

} // namespace
