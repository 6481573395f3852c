#pragma once
// The real main window under an X server, on a generated demo card: the
// card (made once per run), the window started as the program starts it,
// the position in seconds, a probe for a lit picture and an answerer for
// the modal dialogs a command opens.

#include "FileListModel.h"
#include "PositionModel.h"
#include "UiTestSupport.h"
#include "UnitFormMain.h"
#include "UnitEVRWindow.h"
#include "UnitProgram.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace kptest {

// The demo card of this run, made on first use; empty when it failed.
inline QString DemoCard()
{
  return quickDemoCard();
}

// Share of pixels that are not (nearly) black.
inline double LitShare(const QImage &image)
{
  if (image.isNull()) return 0;
  const QImage small = image.scaled(64, 36).convertToFormat(QImage::Format_RGB32);
  int lit = 0;
  for (int y = 0; y < small.height(); ++y)
    for (int x = 0; x < small.width(); ++x) lit += qGray(small.pixel(x, y)) > 24;
  return double(lit) / (small.width() * small.height());
}

// Mean grey-level difference of two pictures of the same size (255 when not).
inline double MeanDifference(const QImage &a, const QImage &b)
{
  if (a.isNull() || a.size() != b.size()) return 255;
  const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  double sum = 0;
  for (int row = 0; row < x.height(); ++row)
    for (int col = 0; col < x.width(); ++col) sum += std::abs(qGray(x.pixel(col, row)) - qGray(y.pixel(col, row)));
  return sum / (double(x.width()) * x.height());
}

// What the screen shows of a widget (the X server's picture, not Qt's).
// A key as the keyboard sends it: to the focus widget of the active window.
inline void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
  QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
  ASSERT_NE(target, nullptr);
  QTest::keyClick(target, key, modifiers);
}

inline QImage ScreenOf(const QWidget *w)
{
  QScreen *screen = QGuiApplication::primaryScreen();
  const QPoint at = w->mapToGlobal(QPoint(0, 0));
  return screen ? screen->grabWindow(0, at.x(), at.y(), w->width(), w->height()).toImage() : QImage();
}

// Answers the next modal dialogs while it lives: a file dialog gets Path,
// a message box is closed and its text kept (a failure must not hang).
class TDialogAnswerer {
public:
  explicit TDialogAnswerer(QString path) : FPath(std::move(path))
  {
    FTimer.setInterval(50);
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      QWidget *modal = QApplication::activeModalWidget();
      if (auto *files = qobject_cast<QFileDialog *>(modal)) {
        // Typed as a user types it (the dialog may still re-select its
        // proposal while it loads the folder).
        if (auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) name->setText(FPath);
        static_cast<QDialog *>(files)->accept(); // as the Save button does
        ++FilesAnswered;
      } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        Answer(box);
      } else if (CloseNotes) {
        // A note does not wait for an answer; the user closes it all the same.
        for (QWidget *top : QApplication::topLevelWidgets())
          if (auto *note = qobject_cast<QMessageBox *>(top);
              note && note->isVisible() && note->objectName() == QLatin1String("PlaybackNote"))
            Answer(note);
      }
    });
    FTimer.start();
  }
  int FilesAnswered = 0;
  QStringList Messages;
  // Of each message box: its icon, its details part and its height on screen.
  QList<QMessageBox::Icon> Icons;
  QStringList Details;
  QList<int> Heights;
  // The answer to every message box.
  QMessageBox::StandardButton Press = QMessageBox::Cancel;
  // Also answers the notes playing leaves up (kept with the messages).
  bool CloseNotes = false;

private:
  void Answer(QMessageBox *box)
  {
    Messages << box->text();
    Icons << box->icon();
    Details << box->detailedText();
    Heights << box->frameGeometry().height();
    // Clicked as the user clicks it where the box offers it: a question
    // answers by its clicked button, not by its result code.
    if (QAbstractButton *button = box->button(Press))
      button->click();
    else
      box->done(Press);
  }

  QString FPath;
  QTimer FTimer;
};

// The selection exported by the window's command through the real save
// dialog, in the format of Ext, to Path; the text written.
inline QString ExportThroughDialog(kp::TFormMain &w, const QString &path, const QString &ext)
{
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto *files = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
      for (const QString &filter : files->nameFilters())
        if (filter.contains("*." + ext)) files->selectNameFilter(filter);
      files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
      static_cast<QDialog *>(files)->accept();
    }
  });
  answer.start(50);
  w.Item("N_FileList_Track_Export")->trigger();
  return QString::fromUtf8(kptest::readFileBytes(path));
}

struct RealWindow : ::testing::Test {
  void SetUp() override
  {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
      if (qEnvironmentVariable("CI") == QLatin1String("true")) FAIL() << "no X server";
      GTEST_SKIP() << "no X server";
    }
    kptest::ensureApplication();
    ASSERT_FALSE(DemoCard().isEmpty()) << "make-demo-card failed";
  }
  void TearDown() override
  {
    if (w) w->close();
    w.reset();
  }

  // The window as the program starts it, its search looking in Folder,
  // shown, active and done searching (the list follows a moment later);
  // Args as the command line names them.
  void Start(const QString &folder, const QStringList &args = {})
  {
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(folder);
    w = kp::CreateWindows(args);
    if (BeforeShow) BeforeShow();
    w->resize(1200, 800);
    w->show();
    const bool searched = waitUntil(
        [&] {
          const kp::TFileManager *m = Model().FileManager();
          return m && !m->Searching();
        },
        20000);
    QDir::setCurrent(oldCurrent);
    ASSERT_TRUE(searched);
    ASSERT_TRUE(Activate(w.get()));
  }

  // Without a window manager nobody gives the focus back after a dialog.
  // Asked again while it waits: a window not yet mapped cannot take it.
  bool Activate(QWidget *window)
  {
    return waitUntil(
        [&] {
          if (QApplication::activeWindow() == window) return true;
          window->activateWindow();
          return false;
        },
        5000);
  }
  kp::TFileListModel &Model() const { return static_cast<kp::TFileListModel &>(*w->ListView->model()); }
  bool Listed() const { return Model().rowCount() >= 3 && !Model().IsStatusRow(0); }
  // The play position in seconds of the loaded recording.
  double Seconds() const
  {
    const kp::TFileItemSubitem &s = w->State.Recording.Summary;
    return double(w->Model->GetPosition() * (s.EndTime - s.StartTime) * 86400);
  }
  bool Playing() const { return w->ButtonPlay->isChecked() && w->FilterGraph.GetState() == kp::psPlaying; }
  // Starts on the demo card and plays its first row, clicked and double
  // clicked as a user does.
  void PlayTheDemoCardsFirstRow()
  {
    ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
    ASSERT_TRUE(waitUntil([&] { return Listed(); }, 10000));
    const QRect row0 = w->ListView->visualRect(Model().index(0, 0));
    QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
    QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
    ASSERT_TRUE(waitUntil([&] { return Playing(); }, 10000));
  }
  // Plays (or pauses) with the play button, then waits for the position
  // to move (or for the graph to hold).
  bool PressPlay(bool play)
  {
    if (w->ButtonPlay->isChecked() != play) w->ButtonPlay->click();
    if (!play) return waitUntil([&] { return w->FilterGraph.GetState() == kp::psPaused; }, 5000);
    const double from = Seconds();
    return waitUntil([&] { return Playing() && Seconds() > from + 0.2; }, 10000);
  }

  kptest::ScopedSettings settings;
  std::unique_ptr<kp::TFormMain> w;
  // Runs in Start between the window's making and its showing.
  std::function<void()> BeforeShow;
};

} // namespace kptest
