// The real main window under an X server: recordings dropped on it, the
// frame and window snapshots of the save keys, and the play speed buttons.

#include "FileListCommands.h"
#include "NoDesktopOpener.h"
#include "RealWindowSupport.h"
#include "TestSupport.h"
#include "UnitTranslate.h"

#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

using namespace kp;
using kptest::RealWindow;

namespace {

QString Identify(const QString &path)
{
  const QString identify = QStandardPaths::findExecutable(QStringLiteral("identify"));
  if (identify.isEmpty()) return {};
  QProcess p;
  p.start(identify, {QStringLiteral("-format"), QStringLiteral("%Q"), path});
  p.waitForFinished(10000);
  return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

} // namespace

TEST_F(RealWindow, DroppedFolderSnapshotsAndDoubleSpeed)
{
  QTemporaryDir empty;
  ASSERT_NO_FATAL_FAILURE(Start(empty.path()));
  // The search looks in the test's own folder too, where other tests may
  // leave clips.
  const int found = Model().FileManager()->GetCount();

  // The speed buttons as the window builds them.
  QStringList captions;
  for (QToolButton *b : w->PlaySpeedButtons) captions << b->text();
  EXPECT_EQ(captions, QStringList({"1/4", "1/2", "1x", "2x", "4x"}));
  ASSERT_EQ(w->PlaySpeedButtons.size(), 5u);
  EXPECT_TRUE(w->PlaySpeedButtons[2]->isChecked());

  // A folder dropped from a file manager: its trips are listed, the one
  // holding the last file added is selected and opened paused.
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(kptest::DemoCard())});
  // The drag enters first: it makes the window the drop's target.
  QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.get(), &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.get(), &drop);
  ASSERT_TRUE(kptest::waitUntil(
      [&] { return Model().FileManager()->GetCount() >= found + 3 && w->EVR && !w->EVR->GetCurrentImage().isNull(); },
      20000))
      << Model().rowCount();
  EXPECT_FALSE(w->ButtonPlay->isChecked());
  EXPECT_EQ(Model().Caption(w->ListView->currentIndex().row()), w->State.Recording.Summary.Name);

  // Ctrl+S: the frame at full size; Alt+S: the window at its size.
  QTemporaryDir out;
  struct Case {
    Qt::KeyboardModifier Modifier;
    const char *Name;
    QSize Size;
  } cases[] = {{Qt::ControlModifier, "frame.jpg", QSize(320, 180)},
               {Qt::AltModifier, "window.jpg", w->frameGeometry().size()}};
  for (const Case &c : cases) {
    const QString path = out.filePath(QLatin1String(c.Name));
    kptest::TDialogAnswerer answer(path);
    ASSERT_TRUE(Activate(w.get()));
    QTest::keyClick(w.get(), Qt::Key_S, c.Modifier);
    EXPECT_EQ(answer.FilesAnswered, 1) << c.Name;
    EXPECT_EQ(answer.Messages, QStringList()) << c.Name;
    EXPECT_EQ(QImage(path).size(), c.Size) << c.Name;
    const QString quality = Identify(path);
    if (!quality.isEmpty()) {
      EXPECT_EQ(quality, "96") << c.Name;
    } else if (qEnvironmentVariable("CI") == QLatin1String("true")) {
      ADD_FAILURE() << "identify missing";
    }
  }

  // 2x while playing: rate 2 from where it was.
  ASSERT_TRUE(PressPlay(true));
  const double before = Seconds();
  QTest::mouseClick(w->PlaySpeedButtons[3], Qt::LeftButton);
  const double after = Seconds();
  EXPECT_NEAR(after, before, 0.5);
  EXPECT_EQ(w->FilterGraph.Rate(), 2.0);
  EXPECT_TRUE(w->PlaySpeedButtons[3]->isChecked());
  ASSERT_TRUE(kptest::waitUntil([&] { return Playing() && Seconds() > after + 0.1; }, 5000));
  const double from = Seconds();
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(kptest::waitUntil([&] { return Seconds() >= from + 3; }, 8000));
  const double rate = (Seconds() - from) / (clock.elapsed() / 1000.0);
  EXPECT_GT(rate, 1.4);
  EXPECT_LT(rate, 2.6);
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_double_speed.png"));
}

// The list's export through the real save dialog: a name typed without its
// extension is asked about when the final name exists. Then the desktop
// commands on a desktop that has nothing to open files with: each says so,
// and the temporary track goes when the window does.
TEST_F(RealWindow, ExportAsksForTheFinalNameAndDesktopFailuresAreShown)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  w->ListView->selectionModel()->setCurrentIndex(Model().index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  w->ListCommands().UpdateEnabling();
  ASSERT_TRUE(w->Item("N_FileList_Track_Export")->isEnabled());
  QTemporaryDir out;
  const QString existing = out.filePath(QStringLiteral("t3.kml"));
  ASSERT_TRUE(kptest::writeFileBytes(existing, "mine"));
  {
    kptest::TDialogAnswerer answer(out.filePath(QStringLiteral("t3")));
    w->Item("N_FileList_Track_Export")->trigger();
    EXPECT_EQ(answer.FilesAnswered, 1);
    ASSERT_EQ(answer.Messages.size(), 1);
    EXPECT_TRUE(answer.Messages[0].contains(existing)) << answer.Messages[0].toStdString();
    EXPECT_EQ(kptest::readFileBytes(existing), "mine");
  }

  auto noOpener = std::make_unique<kptest::TNoDesktopOpener>();
  QString kml;
  {
    kptest::TDialogAnswerer answer(QString{});
    w->Item("N_FileList_ShowExplorer")->trigger();
    EXPECT_TRUE(kptest::waitUntil([&] { return answer.Messages.size() == 1; }, 10000));
    w->Item("N_FileList_Track_Google")->trigger();
    EXPECT_TRUE(kptest::waitUntil([&] { return answer.Messages.size() == 2; }, 10000));
    for (const QString &text : answer.Messages)
      EXPECT_TRUE(text.startsWith(Translate(u"Mes_CantOpen"))) << text.toStdString();
    if (answer.Messages.size() == 2) kml = answer.Messages[1].section(QLatin1Char('\n'), 1);
  }
  noOpener.reset();
  EXPECT_TRUE(kml.endsWith(QStringLiteral(".kml"))) << kml.toStdString();
  EXPECT_TRUE(QFile::exists(kml));
  w->close();
  w.reset();
  EXPECT_FALSE(QFile::exists(kml));
}
