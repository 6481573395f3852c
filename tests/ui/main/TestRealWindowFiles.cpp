// The real main window under an X server: recordings dropped on it, the
// frame and window snapshots of the save keys, and the play speed buttons.

#include "Errors.h"
#include "FileListCommands.h"
#include "NoDesktopOpener.h"
#include "RealWindowSupport.h"
#include "UnitFormCopy.h"
#include "UnitFormCropping.h"
#include "UnitMOV.h"
#include "UnitFormSelectFolder.h"
#include "UnitRegSettings.h"
#include "TestSupport.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemModel>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTreeView>
#include <QMimeData>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

#include <cstdio>
#include <sys/stat.h>

using namespace kp;
using kptest::ExportThroughDialog;
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

  // Ctrl+S: the frame at full size; Alt+S: the window at its size. Both
  // are JPEG pictures under a name that says so: one typed with another
  // extension gets ".jpg", asked about when that name is taken.
  QTemporaryDir out;
  ASSERT_TRUE(kptest::writeFileBytes(out.filePath("taken.png.jpg"), "mine"));
  struct Case {
    Qt::KeyboardModifier Modifier;
    const char *Typed, *Written;
    QSize Size;
    QMessageBox::StandardButton Answer; // to the question about a taken name
  } cases[] = {{Qt::ControlModifier, "frame.jpg", "frame.jpg", QSize(320, 180), QMessageBox::NoButton},
               {Qt::AltModifier, "window.JPEG", "window.JPEG", w->frameGeometry().size(), QMessageBox::NoButton},
               {Qt::AltModifier, "win.png", "win.png.jpg", w->frameGeometry().size(), QMessageBox::NoButton},
               {Qt::ControlModifier, "taken.png", "taken.png.jpg", QSize(), QMessageBox::No},
               {Qt::ControlModifier, "taken.png", "taken.png.jpg", QSize(320, 180), QMessageBox::Yes}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Typed);
    const QString path = out.filePath(QLatin1String(c.Written));
    kptest::TDialogAnswerer answer(out.filePath(QLatin1String(c.Typed)));
    answer.Press = c.Answer;
    ASSERT_TRUE(Activate(w.get()));
    QTest::keyClick(w.get(), Qt::Key_S, c.Modifier);
    EXPECT_EQ(answer.FilesAnswered, 1);
    EXPECT_EQ(answer.Messages.size(), c.Answer == QMessageBox::NoButton ? 0 : 1);
    for (const QString &text : answer.Messages) EXPECT_TRUE(text.contains(path)) << text.toStdString();
    if (!c.Size.isValid()) {
      EXPECT_EQ(kptest::readFileBytes(path), "mine");
      continue;
    }
    EXPECT_EQ(QImageReader(path).format(), "jpeg");
    EXPECT_EQ(QImage(path).size(), c.Size);
    EXPECT_EQ(QFileInfo::exists(out.filePath(QLatin1String(c.Typed))), qstrcmp(c.Typed, c.Written) == 0);
    const QString quality = Identify(path);
    if (!quality.isEmpty()) {
      EXPECT_EQ(quality, "96");
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

// The copy command as the user meets it: the folder chooser opens at the
// folder of the last copy, both windows name the recording as the list does,
// and the copy takes every file of the trip along.
TEST_F(RealWindow, CopyCommandNamesTheRecordingAndTakesItsSideFiles)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  int row = -1;
  const kp::TFileManager &m = *Model().FileManager();
  for (int i = 0; i < m.GetCount() && row < 0; ++i)
    if (m.GetGroup(i).Files.size() > 1 && m.GetGroup(i).Summary.FileName.startsWith(kptest::DemoCard())) row = i;
  ASSERT_GE(row, 0);
  const kp::TFileItem trip = m.GetGroup(row);
  w->ListView->selectionModel()->setCurrentIndex(Model().index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

  QTemporaryDir out;
  const QString last = out.path() + QStringLiteral("/last/copy"), target = out.path() + QStringLiteral("/trip");
  ASSERT_TRUE(QDir().mkpath(last) && QDir().mkpath(target));
  kp::settings::CopyFolder.Write(last);
  QString chooserTitle, shownInTree;
  QTimer answer;
  answer.setInterval(50);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto *chooser = qobject_cast<kp::TFormSelectFolder *>(QApplication::activeModalWidget());
    if (!chooser) return;
    chooserTitle = chooser->windowTitle();
    const QModelIndex current = chooser->Tree()->currentIndex();
    const QRect at = chooser->Tree()->visualRect(current);
    if (current.isValid() && chooser->Tree()->viewport()->rect().contains(at.center()))
      shownInTree = static_cast<const QFileSystemModel *>(chooser->Tree()->model())->filePath(current);
    if (shownInTree != last) return; // the tree may still be reading
    kptest::saveScreenshot(chooser, QStringLiteral("copy-chooser.png"));
    chooser->Edit()->setText(target);
    chooser->ButtonOk()->click();
  });
  answer.start();
  QTimer::singleShot(15000, [] {
    if (QWidget *modal = QApplication::activeModalWidget()) static_cast<QDialog *>(modal)->reject();
  });
  w->Menus().Action(QStringLiteral("N_FileList_Copy"))->trigger();
  answer.stop();
  EXPECT_EQ(shownInTree, last);
  EXPECT_EQ(chooserTitle, QStringLiteral("Select a folder for ") + trip.Summary.Name);
  kp::TFormCopy *copy = nullptr;
  for (QWidget *top : QApplication::topLevelWidgets())
    if (auto *c = qobject_cast<kp::TFormCopy *>(top); c && c->isVisible()) copy = c;
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->windowTitle().endsWith(QLatin1Char(' ') + trip.Summary.Name)) << copy->windowTitle().toStdString();
  ASSERT_TRUE(kptest::waitUntil([&] { return copy->Done() || copy->Failed(); }, 60000));
  EXPECT_TRUE(copy->Done());
  kptest::saveScreenshot(copy, QStringLiteral("copy-of-a-trip.png"));
  QStringList expected;
  for (const kp::TFileItemSubitem &f : trip.Files)
    for (const char *ext : {".MOV", ".DAT", ".3GF"})
      expected += kp::ExtractFileName(QString(f.FileName).replace(".MOV", ext));
  expected.sort();
  EXPECT_EQ(QDir(target).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
  copy->close();

  // Copied again, into the folder the trip is in (the proposal taken as it
  // stands): the window says the files are there already, and the folder
  // stays as it was.
  const QString own = QFileInfo(trip.Files.front().FileName).absolutePath();
  kp::settings::CopyFolder.Write(own);
  const QStringList before = QDir(own).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  QObject::disconnect(&answer, nullptr, nullptr, nullptr);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto *chooser = qobject_cast<kp::TFormSelectFolder *>(QApplication::activeModalWidget());
    if (!chooser) return;
    const QModelIndex current = chooser->Tree()->currentIndex();
    if (!current.isValid() ||
        static_cast<const QFileSystemModel *>(chooser->Tree()->model())->filePath(current) != own ||
        chooser->Edit()->text() != own)
      return;
    chooser->ButtonOk()->click();
  });
  answer.start();
  w->Menus().Action(QStringLiteral("N_FileList_Copy"))->trigger();
  answer.stop();
  kp::TFormCopy *again = nullptr;
  for (QWidget *top : QApplication::topLevelWidgets())
    if (auto *c = qobject_cast<kp::TFormCopy *>(top); c && c->isVisible() && c != copy) again = c;
  ASSERT_NE(again, nullptr);
  ASSERT_TRUE(kptest::waitUntil([&] { return again->Done() || again->Failed(); }, 60000));
  EXPECT_EQ(again->FileText(), Translate(u"Mes_CopyAlreadyThere"));
  kptest::saveScreenshot(again, QStringLiteral("copy-into-its-own-folder.png"));
  EXPECT_EQ(QDir(own).entryList(QDir::Files | QDir::Hidden, QDir::Name), before);
  again->close();
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

// A card of 300 fragments whose files cannot go: the question and the
// report each fit the screen, with their buttons, and list every file in
// their details, one per line.
TEST_F(RealWindow, DeleteQuestionAndReportOfManyFilesFitTheScreen)
{
  QTemporaryDir card;
  const QString folder = card.filePath(QStringLiteral("DCIM/100MEDIA"));
  ASSERT_TRUE(QDir().mkpath(folder));
  QStringList names;
  for (int i = 1; i <= 300; ++i) {
    names << folder + QStringLiteral("/FILE%1.MOV").arg(i, 4, 10, QLatin1Char('0'));
    ASSERT_TRUE(kptest::writeFileBytes(names.last(), "x"));
  }
  ASSERT_NO_FATAL_FAILURE(Start(card.path()));
  // Only the card's files may go: what the search found beside the test
  // program leaves the list (not the disk).
  TFileManager &m = *Model().FileManager();
  m.UngroupAll(); // a foreign video made at the same time may share a row
  for (int r = m.GetCount() - 1; r >= 0; --r)
    if (!m.GetGroup(r).Files.front().FileName.startsWith(card.path() + QLatin1Char('/'))) m.RemoveGroup(m.GetGroup(r));
  w->ListCommands().FileManagerChanged(-1);
  size_t listed = 0;
  for (int r = 0; r < m.GetCount(); ++r) listed += m.GetGroup(r).Files.size();
  ASSERT_EQ(listed, 300u);
  // A folder that stands where a movie stood cannot be deleted, even by root.
  for (const QString &name : std::as_const(names)) {
    QFile::remove(name);
    ASSERT_TRUE(QDir().mkpath(name + QStringLiteral("/inside")));
  }
  kptest::TDialogAnswerer answer(QString{});
  answer.Press = QMessageBox::Yes;
  w->Item("N_FileList_DelDiskAll")->trigger();
  ASSERT_TRUE(kptest::waitUntil([&] { return answer.Messages.size() == 2; }, 20000)) << answer.Messages.size();
  EXPECT_TRUE(answer.Messages[0].contains(QStringLiteral(": 300 ("))) << answer.Messages[0].toStdString();
  EXPECT_TRUE(answer.Messages[1].startsWith(Translate(u"Mes_CantDelete"))) << answer.Messages[1].toStdString();
  const int screen = w->screen()->availableGeometry().height();
  // The report names each file with the system's reason.
  QStringList reported;
  for (const QString &name : std::as_const(names)) reported << name + QStringLiteral(": ") + SystemErrorText(EISDIR);
  for (int i = 0; i < 2; ++i) {
    QStringList listed = answer.Details[i].split(QLatin1Char('\n'));
    listed.sort();
    EXPECT_EQ(listed, i == 0 ? names : reported);
    EXPECT_LT(answer.Heights[i], screen / 2) << i;
  }
  EXPECT_EQ(answer.Icons, QList<QMessageBox::Icon>({QMessageBox::Warning, QMessageBox::Warning}));
}

// A card copied under a Latin-1 system: what the search left out stays
// said below the list after the search, until the user clicks it; the next
// search says it again.
TEST_F(RealWindow, WhatTheSearchLeftOutStaysSaidUntilClicked)
{
  QTemporaryDir card;
  const QByteArray root = QFile::encodeName(card.path());
  ASSERT_EQ(::mkdir((root + "/trip \xfc").constData(), 0755), 0);
  ASSERT_TRUE(kptest::writeFileBytes(card.filePath(QStringLiteral("GOOD.MOV")), "x"));
  ASSERT_NO_FATAL_FAILURE(Start(card.path()));
  auto *notice = w->ListView->findChild<QLabel *>(QStringLiteral("ListNotice"));
  ASSERT_TRUE(notice);
  ASSERT_TRUE(kptest::waitUntil([&] { return notice->isVisible(); }, 5000));
  EXPECT_EQ(notice->text(), Translate(u"Mes_NamesNotUtf8") + QStringLiteral(": 1"));
  EXPECT_FALSE(kptest::waitUntil([&] { return !notice->isVisible(); }, 1000)); // no longer gone with the search
  EXPECT_TRUE(w->ListView->rect().contains(notice->geometry())) << notice->geometry().y();
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_search_notice.png"));
  QTest::mouseClick(notice, Qt::LeftButton);
  EXPECT_FALSE(notice->isVisible());
  w->ListCommands().FileManagerChanged(-1);
  EXPECT_FALSE(notice->isVisible());

  const QString oldCurrent = QDir::currentPath();
  QDir::setCurrent(card.path());
  w->Item("N_FileList_Refresh")->trigger();
  QDir::setCurrent(oldCurrent);
  EXPECT_TRUE(kptest::waitUntil([&] { return notice->isVisible(); }, 20000));
}

// Names on the command line that open nothing, a missing movie and one
// whose name is not UTF-8, beside one that opens: one message names each
// with its reason, and the movie that opens plays. Given alone, they leave
// the message and a window that searches the cards.
TEST_F(RealWindow, CommandLineNamesThatCannotBeOpenedAreTold)
{
  QTemporaryDir dir;
  const QByteArray latin1 = QFile::encodeName(dir.path()) + "/caf\xe9.MOV";
  std::FILE *file = std::fopen(latin1.constData(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  const QString notUtf8 = QString::fromLocal8Bit(latin1), missing = dir.filePath(QStringLiteral("GONE.MOV"));
  const QString movie = kptest::DemoCard() + QStringLiteral("/DCIM/100MEDIA/FILE0001.MOV");
  for (const bool withMovie : {true, false}) {
    SCOPED_TRACE(withMovie ? "beside a movie" : "alone");
    if (w) w->close();
    kptest::TDialogAnswerer answers(QString{});
    QStringList args{missing, notUtf8};
    if (withMovie) args << movie;
    ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard(), args));
    ASSERT_TRUE(kptest::waitUntil([&] { return !answers.Messages.isEmpty(); }, 10000));
    ASSERT_EQ(answers.Messages.size(), 1) << answers.Messages.join(QLatin1Char('\n')).toStdString();
    const QString text = answers.Messages.front();
    const std::string shown = text.toStdString();
    EXPECT_EQ(answers.Icons.front(), QMessageBox::Warning);
    EXPECT_EQ(text.count(Translate(u"Mes_CannotOpen_Video")), 2) << shown;
    EXPECT_TRUE(text.contains(missing + QStringLiteral("\n") + Translate(u"Mes_CannotOpen_NotFound"))) << shown;
    EXPECT_TRUE(text.contains(notUtf8 + QStringLiteral("\n") + Translate(u"Mes_CannotOpen_NotUtf8"))) << shown;
    if (withMovie)
      EXPECT_TRUE(kptest::waitUntil([&] { return Playing() && w->State.Recording.Summary.FileName == movie; }, 10000));
    else
      EXPECT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000)) << "the cards are searched";
  }
}

// A trip whose last fragment the camera never finished, saved whole from
// the list: the fragment is named damaged in its reader's words, the rest
// is listed, and the output gets the trip's name.
TEST_F(RealWindow, CuttingATripWithADamagedFragment)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  int row = -1;
  QString damaged;
  for (int r = 0; r < Model().rowCount() && row < 0; ++r)
    for (const TFileItemSubitem &f : Model().FileManager()->GetGroup(r).Files)
      if (!TMOVReader(f.FileName, true).HasMoov()) {
        row = r;
        damaged = f.FileName;
      }
  ASSERT_GE(row, 0);
  const TFileItem trip = Model().FileManager()->GetGroup(row);
  ASSERT_GT(trip.Files.size(), 1u);
  TFormCropping &dialog = *w->Windows.Cropping;
  QStringList messages;
  dialog.SetMessageSink([&](const QString &text) { messages << text; });
  // Loaded, and still selected after Stop with nothing loaded.
  w->ListView->selectionModel()->setCurrentIndex(Model().index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  for (const bool loaded : {true, false}) {
    SCOPED_TRACE(loaded ? "the trip loaded" : "the trip selected, nothing loaded");
    if (!loaded) {
      ASSERT_TRUE(Activate(w.get()));
      w->Item("N_Playback_Stop")->trigger();
    }
    ASSERT_EQ(w->State.Recording.Files.empty(), !loaded);
    messages.clear();
    w->Item("N_FileList_Save")->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(damaged + "\r\n\r\n" + Translate(u"Cropping_FileDamaged") + "\r\n"))
        << messages[0].toStdString();
    EXPECT_GT(messages[0].section("\r\n", 3).size(), 0) << "the reader's words";
    EXPECT_EQ(dialog.RowCount(), int(trip.Files.size()) - 1);
    EXPECT_TRUE(dialog.OutputName().contains(trip.Summary.Name)) << dialog.OutputName().toStdString();
    dialog.reject();
  }
}

// A desktop whose opener runs but finds no program (3) or whose program
// fails (4): every command that hands something to the desktop says so,
// with a warning, the same as when there is no opener at all.
TEST_F(RealWindow, DesktopCommandsSayWhenTheDesktopCouldNotOpen)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  w->ListView->selectionModel()->setCurrentIndex(Model().index(0, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  w->ListCommands().UpdateEnabling();
  QStringList commands{"N_FileList_ShowExplorer", "N_FileList_Track_Google"};
  if (w->Item("N_Help_Site")->isVisible()) commands << "N_Help_Site";
  for (int status : {3, 4}) {
    SCOPED_TRACE(status);
    const kptest::TFakeDesktopOpener opener(status);
    kptest::TDialogAnswerer answer(QString{});
    for (const QString &command : commands) {
      const qsizetype shown = answer.Messages.size();
      w->Item(command.toLatin1().constData())->trigger();
      ASSERT_TRUE(kptest::waitUntil([&] { return answer.Messages.size() > shown; }, 10000)) << command.toStdString();
      EXPECT_TRUE(answer.Messages.last().startsWith(Translate(u"Mes_CantOpen")))
          << answer.Messages.last().toStdString();
      EXPECT_EQ(answer.Icons.last(), QMessageBox::Warning);
    }
    EXPECT_EQ(opener.Opened().size(), commands.size());
  }
}

namespace {

// The point lines of each segment of a GPX text.
std::vector<QStringList> GpxSegments(const QString &text)
{
  std::vector<QStringList> segments;
  auto it = QRegularExpression(QStringLiteral("<trkseg>(.*?)</trkseg>"), QRegularExpression::DotMatchesEverythingOption)
                .globalMatch(text);
  while (it.hasNext()) {
    QStringList points;
    for (const QString &line : it.next().captured(1).split(QStringLiteral("\r\n")))
      if (line.startsWith(QStringLiteral("\t<trkpt "))) points << line;
    segments.push_back(points);
  }
  return segments;
}

} // namespace

// A trip whose fragments' tracks share the fix at each boundary (as some
// cameras write them), loaded by a click and exported as GPX through the
// real save dialog: every fix once, every fix with the log's altitude (the
// last one of each fragment too), and the list's average speed.
TEST_F(RealWindow, TripExportHoldsEachFixOnceWithAltitudeAndTheListsSpeed)
{
  QTemporaryDir copy;
  const QString card = copy.filePath(QStringLiteral("card"));
  int code = -1;
  kptest::runTool(QStringLiteral("cp"), {"-a", kptest::DemoCard(), card}, &code);
  ASSERT_EQ(code, 0);
  const QString media = card + QStringLiteral("/DCIM/100MEDIA/");
  int shared = 0;
  for (int n = 1; QFile::exists(media + QStringLiteral("FILE%1.DAT").arg(n + 1, 4, 10, QLatin1Char('0'))); ++n) {
    const QString dat = media + QStringLiteral("FILE%1.DAT").arg(n, 4, 10, QLatin1Char('0'));
    const QByteArray next =
        kptest::readFileBytes(media + QStringLiteral("FILE%1.DAT").arg(n + 1, 4, 10, QLatin1Char('0')));
    const QByteArray own = kptest::readFileBytes(dat);
    // Within a trip only: the next fragment's first fix a second after this
    // one's last.
    const auto fixTime = [](const QByteArray &line) {
      return QDateTime::fromString(QString::fromLatin1(line.split('\t').value(1)),
                                   QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    const QByteArray first = next.left(next.indexOf('\n') + 1);
    const QByteArray last = own.trimmed().mid(own.trimmed().lastIndexOf('\n') + 1);
    if (fixTime(last).secsTo(fixTime(first)) != 1) continue;
    const QDateTime written = QFileInfo(dat).lastModified();
    ASSERT_TRUE(kptest::writeFileBytes(dat, own + first));
    QFile file(dat);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.setFileTime(written, QFileDevice::FileModificationTime));
    ++shared;
  }
  ASSERT_GE(shared, 2);
  ASSERT_NO_FATAL_FAILURE(Start(card));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  const TFileManager &m = *Model().FileManager();
  int row = -1;
  for (int r = 0; r < m.GetCount(); ++r)
    if (m.GetGroup(r).Files.size() >= 3 && (row < 0 || m.GetGroup(r).Files.size() > m.GetGroup(row).Files.size()))
      row = r;
  ASSERT_GE(row, 0);
  const TFileItem trip = m.GetGroup(row);
  ASSERT_FALSE(trip.Files.front().Log.FileName.isEmpty());
  w->ListView->selectionModel()->setCurrentIndex(Model().index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->State.MovingInfos.size() == trip.Files.size(); }, 10000));
  w->ListCommands().UpdateEnabling();

  QTemporaryDir out;
  const QString text = ExportThroughDialog(*w, out.filePath(QStringLiteral("trip.gpx")), "gpx");
  ASSERT_FALSE(text.isEmpty());

  QStringList times;
  int points = 0, withAltitude = 0;
  auto it = QRegularExpression(QStringLiteral("<trkpt [^>]*>(.*)</trkpt>")).globalMatch(text);
  while (it.hasNext()) {
    const QString point = it.next().captured(1);
    ++points;
    withAltitude += point.contains(QStringLiteral("<ele>"));
    times << point.section(QStringLiteral("<time>"), 1).section(QStringLiteral("</time>"), 0, 0);
  }
  ASSERT_GT(points, 30);
  EXPECT_EQ(QSet<QString>(times.begin(), times.end()).size(), points) << "a fix written twice";
  EXPECT_EQ(withAltitude, points);
  const QString desc = text.section(QStringLiteral("<desc>"), 1).section(QStringLiteral("</desc>"), 0, 0);
  ASSERT_GT(trip.Summary.AvgSpeed, 0);
  EXPECT_TRUE(desc.contains(QStringLiteral("AvgSpeed: ") + QString::number(trip.Summary.AvgSpeed, 'f', 1) +
                            QStringLiteral("km/h")))
      << desc.toStdString() << " / list " << trip.Summary.AvgSpeed;
}

// Two trips selected and exported at once, on a UTC machine with the list
// on GMT+10: each trip is its own segment in GPX, KML and PLT and holds
// exactly what it exports alone once loaded (its log's altitudes too); the
// track is named after its first fix on the list's clock.
TEST_F(RealWindow, TwoTripsExportAsOneSegmentEachAsWhenLoaded)
{
  KP_REQUIRE_TOOL(gpsbabel, "gpsbabel");
  KP_REQUIRE_TOOL(xmllint, "xmllint");
  SetLocalTimeOffset(0);
  SetFormatSettings(TFormatSettings{});
  struct TZoneBack {
    ~TZoneBack() { SetTimeZoneShift(0); }
  } zoneBack;
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  w->Item("N_View_TimeZone_GMT34")->trigger();
  ASSERT_DOUBLE_EQ(TimeZoneShift(), 10.0 / 24);
  const TFileManager &m = *Model().FileManager();
  std::vector<int> rows;
  for (int r = 0; r < m.GetCount(); ++r)
    if (!m.GetGroup(r).Summary.TrackFileName.isEmpty()) rows.push_back(r);
  ASSERT_GE(rows.size(), 2u);
  std::sort(rows.begin(), rows.end(),
            [&](int a, int b) { return m.GetGroup(a).Summary.StartTime < m.GetGroup(b).Summary.StartTime; });
  rows.resize(2);
  QTemporaryDir out;

  std::vector<QStringList> alone;
  for (int row : rows) {
    const TFileItem trip = m.GetGroup(row);
    ASSERT_FALSE(trip.Files.front().Log.FileName.isEmpty());
    w->ListView->selectionModel()->setCurrentIndex(Model().index(row, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_TRUE(kptest::waitUntil(
        [&] {
          return w->State.Recording.Summary.FileName == trip.Summary.FileName &&
                 w->State.MovingInfos.size() == trip.Files.size();
        },
        10000));
    const auto segments = GpxSegments(ExportThroughDialog(*w, out.filePath(QString("alone%1.gpx").arg(row)), "gpx"));
    ASSERT_EQ(segments.size(), 1u);
    ASSERT_GT(segments[0].size(), 10);
    alone.push_back(segments[0]);
  }

  // Both, the later one selected first.
  w->ListView->selectionModel()->setCurrentIndex(Model().index(rows[1], 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  w->ListView->selectionModel()->select(Model().index(rows[0], 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const QString gpx = ExportThroughDialog(*w, out.filePath("both.gpx"), "gpx");
  EXPECT_EQ(GpxSegments(gpx), alone);
  for (const QStringList &points : alone)
    for (const QString &point : points) EXPECT_TRUE(point.contains("<ele>")) << point.toStdString();
  int code = -1;
  EXPECT_EQ(kptest::runTool(xmllint, {"--noout", out.filePath("both.gpx")}, &code), "");
  EXPECT_EQ(code, 0);

  // Named after the first fix, on the list's clock, to the second.
  const QString firstFix = alone[0][0].section("<time>", 1).section("</time>", 0, 0);
  const QDateTime shown = QDateTime::fromString(firstFix, Qt::ISODate).addSecs(10 * 3600);
  ASSERT_TRUE(shown.isValid()) << firstFix.toStdString();
  const QString name = "Track " + shown.toUTC().toString("yyyy.MM.dd HH:mm:ss");
  EXPECT_EQ(gpx.section("<name>", 1).section("</name>", 0, 0), name);

  // KML: one line per trip; PLT: a segment opens at each trip (and at each
  // gap within a trip, as alone). Both as gpsbabel reads them.
  const qsizetype fixes = alone[0].size() + alone[1].size();
  const QString kml = ExportThroughDialog(*w, out.filePath("both.kml"), "kml");
  EXPECT_EQ(kml.count("<LineString>"), 2);
  EXPECT_TRUE(kml.contains("<name>" + name + "</name>"));
  kptest::runTool(xmllint, {"--noout", out.filePath("both.kml")}, &code);
  EXPECT_EQ(code, 0);
  const QString plt = ExportThroughDialog(*w, out.filePath("both.plt"), "plt");
  EXPECT_TRUE(plt.contains("\r\n0,2,8323327," + name + ",0,0,2,8421376\r\n")) << plt.left(300).toStdString();
  for (const QString &file : {QStringLiteral("both.kml"), QStringLiteral("both.plt")}) {
    const QString format = file.endsWith("kml") ? "kml" : "ozi";
    const QString read =
        kptest::runTool(gpsbabel, {"-t", "-i", format, "-f", out.filePath(file), "-o", "gpx", "-F", "-"}, &code);
    ASSERT_EQ(code, 0) << read.toStdString();
    EXPECT_EQ(read.count("<trkpt "), fixes) << file.toStdString();
    EXPECT_GE(read.count("<trkseg>"), 2) << file.toStdString();
  }
  kptest::saveScreenshot(w.get(), QStringLiteral("export_two_trips.png"));
}
