// The auxiliary windows as the user meets them, offscreen: the copy window
// on a generated demo card, Copy all of the property window, the folder
// chooser, What's new and About.

#include "FakeDialogHost.h"
#include "NoDesktopOpener.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "DialogPrompts.h"
#include "MakerContacts.h"
#include "SecondaryPlacement.h"
#include "UnitFormAbout.h"
#include "UnitFormCopy.h"
#include "UnitFormFileProperty.h"
#include "UnitFormSelectFolder.h"
#include "UnitFormWhatsNew.h"
#include "UnitMovingInfo.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace kp;

namespace {

TFileItem CardRecording(const QString &card)
{
  TFileItem item;
  for (const QString &name : {QStringLiteral("FILE0001"), QStringLiteral("FILE0002")}) {
    TFileItemSubitem f;
    f.FileName = card + QStringLiteral("/DCIM/100MEDIA/") + name + QStringLiteral(".MOV");
    f.Size = -1;
    f.TrackFileName = card + QStringLiteral("/DCIM/100MEDIA/") + name + QStringLiteral(".DAT");
    item.Files.push_back(f);
  }
  item.Summary.Name = QStringLiteral("FILE0001-0002");
  return item;
}

class AuxWindows : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::ensureApplication();
    kptest::useLanguage(LangEnglish);
  }
  // A recording of one file of Size bytes, its size left to the copy to find.
  static TFileItem OneFileRecording(const QString &path, int size)
  {
    TFileItem item;
    if (!kptest::writeFileBytes(path, QByteArray(size, 'x'))) return item;
    item.Files.resize(1);
    item.Files[0].FileName = path;
    item.Files[0].Size = -1;
    return item;
  }
  // A copy into "out" that holds after its first block (null when it never
  // started). Paused before it starts: a copy paused once running may well
  // have ended by then (a few MiB take milliseconds).
  TFormCopy *StartPausedCopy(const TFileItem &item)
  {
    FHost.ChosenFolder = FDir.path() + QStringLiteral("/out");
    auto *form = new TFormCopy(&FHost, TCopyDelays{4000, true});
    form->StartCopy(item);
    if (kptest::waitUntil([&] { return form->Thread()->Snapshot().CopiedBytes > 0; }, 5000)) return form;
    form->close();
    return nullptr;
  }

  kptest::ScopedSettings FSettings;
  kptest::FakeDialogHost FHost;
  QTemporaryDir FDir;
};

TEST_F(AuxWindows, CopyWindowCopiesARecordingOfTheDemoCard)
{
  const QString card = kptest::quickDemoCard();
  ASSERT_FALSE(card.isEmpty());
  const TFileItem item = CardRecording(card);
  FHost.ChosenFolder = FDir.path() + QStringLiteral("/out");
  QPointer<TFormCopy> form = new TFormCopy(&FHost, TCopyDelays{});
  form->StartCopy(item);
  EXPECT_EQ(FHost.ChooserCaptions, QStringList{"Select a folder for FILE0001-0002"});
  ASSERT_TRUE(kptest::waitUntil([&] { return form->Done(); }, 60000));
  EXPECT_EQ(form->FileText(), FHost.ChosenFolder + QStringLiteral("/FILE0002.3GF"));
  EXPECT_EQ(settings::CopyFolder.Read(), FHost.ChosenFolder);
  for (const TFileItemSubitem &f : item.Files) {
    const QString side = f.TrackFileName.left(f.TrackFileName.size() - 3) + QStringLiteral("3GF");
    for (const QString &path : {f.FileName, f.TrackFileName, side})
      EXPECT_EQ(kptest::readFileBytes(path), kptest::readFileBytes(FHost.ChosenFolder + "/" + ExtractFileName(path)))
          << path.toStdString();
    // The copied trip carries its G-sensor samples.
    const auto original = TMovingInfo::LoadFromFile(f.TrackFileName, true);
    const auto copied = TMovingInfo::LoadFromFile(FHost.ChosenFolder + "/" + ExtractFileName(f.TrackFileName), true);
    ASSERT_TRUE(original && copied);
    EXPECT_GT(original->GetGSensorSpan(), 0);
    EXPECT_EQ(copied->GetGSensorSpan(), original->GetGSensorSpan());
  }
  kptest::saveScreenshot(form, QStringLiteral("copy-done.png"));
  form->close();
  EXPECT_TRUE(kptest::waitUntil([&] { return form.isNull(); }, 5000));
}

TEST_F(AuxWindows, CopyWindowClosedMidCopyGoesAwayWithoutAPartialFile)
{
  const QString source = FDir.path() + QStringLiteral("/BIG.MOV");
  const TFileItem item = OneFileRecording(source, 8 << 20);
  QPointer<TFormCopy> form = StartPausedCopy(item);
  ASSERT_TRUE(form);
  form->close();
  EXPECT_TRUE(form.isNull() || !form->isVisible());
  ASSERT_TRUE(kptest::waitUntil([&] { return form.isNull(); }, 5000));
  EXPECT_FALSE(QFileInfo::exists(FHost.ChosenFolder + QStringLiteral("/BIG.MOV")));
  // Nor its temporary file: the engine removes what it began.
  EXPECT_EQ(QDir(FHost.ChosenFolder).entryList(QDir::Files | QDir::Hidden), QStringList());

  // A cancelled folder choice closes the window at once.
  FHost.ChosenFolder.clear();
  QPointer<TFormCopy> cancelled = new TFormCopy(&FHost);
  cancelled->StartCopy(item);
  // Deferred deletes posted outside an event loop run only when sent.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(cancelled.isNull());
}

TEST_F(AuxWindows, CopyWindowShowsAFailure)
{
  const QString source = FDir.path() + QStringLiteral("/PULLED.MOV");
  QPointer<TFormCopy> form = StartPausedCopy(OneFileRecording(source, 4 << 20));
  ASSERT_TRUE(form);
  // Held after its first block, under a hidden name.
  EXPECT_EQ(form->Thread()->Snapshot().CopiedBytes, TFormCopyThread::BlockSize);
  EXPECT_FALSE(QFileInfo::exists(FHost.ChosenFolder + QStringLiteral("/PULLED.MOV")));
  QFile::resize(source, 1 << 20); // the card is pulled
  kptest::MessageBoxAnswerer boxes;
  form->Thread()->SetPaused(false);
  ASSERT_TRUE(kptest::waitUntil([&] { return form->Failed() && !boxes.Texts.isEmpty(); }, 10000));
  EXPECT_TRUE(boxes.Texts.front().contains(source)) << boxes.Texts.front().toStdString();
  EXPECT_TRUE(form->FileText().startsWith(QStringLiteral("Copying failed:"))) << form->FileText().toStdString();
  EXPECT_TRUE(form->FileText().contains(source));
  // Nothing left to pause, no speed of a copy that stopped.
  for (QPushButton *b : form->findChildren<QPushButton *>())
    EXPECT_TRUE(b->text() != Translate(u"Pause") || !b->isVisible());
  EXPECT_FALSE(form->Done());
  kptest::saveScreenshot(form, QStringLiteral("copy-failed.png"));
  form->close();
  EXPECT_TRUE(kptest::waitUntil([&] { return form.isNull(); }, 5000));
  EXPECT_EQ(QDir(FHost.ChosenFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// Three files of a recording already in the folder: one question, whose
// answer for all holds for the rest, whether it replaces or keeps them.
TEST_F(AuxWindows, CopyWindowAsksOnceForAllFilesThatExist)
{
  FHost.ChosenFolder = FDir.path() + QStringLiteral("/out");
  ASSERT_TRUE(QDir().mkpath(FHost.ChosenFolder));
  TFileItem item;
  for (const char *name : {"A.MOV", "B.MOV", "C.MOV"}) {
    item.Files.push_back(OneFileRecording(FDir.filePath(name), 1000).Files.front());
    ASSERT_TRUE(kptest::writeFileBytes(FHost.ChosenFolder + "/" + name, "mine"));
  }
  struct Case {
    QMessageBox::StandardButton Answer;
    QByteArray Left;
  };
  for (const Case &c : {Case{QMessageBox::NoToAll, "mine"}, Case{QMessageBox::YesToAll, QByteArray(1000, 'x')}}) {
    kptest::MessageBoxAnswerer boxes(c.Answer);
    QPointer<TFormCopy> form = new TFormCopy(&FHost, TCopyDelays{});
    form->StartCopy(item);
    ASSERT_TRUE(kptest::waitUntil([&] { return form->Done() || form->Failed(); }, 20000));
    ASSERT_EQ(boxes.Texts.size(), 1) << boxes.Texts.join('|').toStdString();
    EXPECT_TRUE(boxes.Texts[0].contains(FHost.ChosenFolder + "/A.MOV")) << boxes.Texts[0].toStdString();
    EXPECT_TRUE(boxes.Offered[0].testFlags(QMessageBox::YesToAll | QMessageBox::NoToAll));
    for (const char *name : {"A.MOV", "B.MOV", "C.MOV"})
      EXPECT_EQ(kptest::readFileBytes(FHost.ChosenFolder + "/" + name), c.Left) << name;
    form->close();
    EXPECT_TRUE(kptest::waitUntil([&] { return form.isNull(); }, 5000));
  }
}

// A window's message of many lines (a list of files it could not delete)
// keeps its first paragraph and scrolls the rest: the box fits the screen.
TEST_F(AuxWindows, ALongMessageKeepsItsSummaryAndScrollsTheRest)
{
  QStringList lines{QStringLiteral("These files could not be deleted:"), QString()};
  for (int i = 0; i < 400; ++i)
    lines << QStringLiteral("/card/DCIM/100MEDIA/FILE%1.MOV").arg(i, 4, 10, QLatin1Char('0'));
  const TDialogPrompts prompts = DefaultDialogPrompts(nullptr);
  kptest::MessageBoxAnswerer boxes;
  prompts.Message(lines.join(QStringLiteral("\r\n")));
  prompts.Message(QStringLiteral("Short\r\nand plain"));
  ASSERT_EQ(boxes.Texts.size(), 2);
  EXPECT_EQ(boxes.Texts[0], lines[0]);
  EXPECT_EQ(boxes.Details[0], lines.mid(2).join('\n'));
  EXPECT_TRUE(boxes.DetailsOpen[0]) << "the names show without a click";
  EXPECT_LT(boxes.Heights[0], QGuiApplication::primaryScreen()->availableGeometry().height() / 2);
  EXPECT_EQ(boxes.Texts[1], QStringLiteral("Short\nand plain"));
  EXPECT_EQ(boxes.Details[1], QString());
}

// The copy window's folder and About's mail address on a desktop that
// cannot open them: each says so.
TEST_F(AuxWindows, DesktopFailuresAreShown)
{
  const QString source = FDir.path() + QStringLiteral("/ONE.MOV");
  FHost.ChosenFolder = FDir.path() + QStringLiteral("/out");
  QPointer<TFormCopy> form = new TFormCopy(&FHost, TCopyDelays{});
  form->StartCopy(OneFileRecording(source, 1000));
  ASSERT_TRUE(kptest::waitUntil([&] { return form->Done(); }, 20000));
  TFormAbout about(&FHost);
  about.show();
  const kptest::TFakeDesktopOpener opener(3);
  kptest::MessageBoxAnswerer boxes;
  for (QPushButton *b : form->findChildren<QPushButton *>())
    if (b->text() == Translate(u"OpenFolder")) b->click();
  ASSERT_TRUE(kptest::waitUntil([&] { return boxes.Texts.size() == 1; }, 10000));
  QTest::mouseClick(about.LabelMail(), Qt::LeftButton);
  ASSERT_TRUE(kptest::waitUntil([&] { return boxes.Texts.size() == 2; }, 10000));
  EXPECT_EQ(boxes.Texts[0], Translate(u"Mes_CantOpen") + "\n" + FHost.ChosenFolder);
  EXPECT_TRUE(boxes.Texts[1].startsWith(Translate(u"Mes_CantOpen") + "\nmailto:")) << boxes.Texts[1].toStdString();
  EXPECT_EQ(boxes.Icons, QList<QMessageBox::Icon>({QMessageBox::Warning, QMessageBox::Warning}));
  EXPECT_EQ(opener.Opened().size(), 2);
  form->close();
  EXPECT_TRUE(kptest::waitUntil([&] { return form.isNull(); }, 5000));
}

TEST_F(AuxWindows, FolderChooserOpensAtTheChosenFolder)
{
  // Deep below many siblings, so the folder is out of view unless the tree
  // is brought to it.
  for (int k = 0; k < 60; ++k) QDir().mkpath(FDir.path() + QStringLiteral("/a%1").arg(k, 2, 10, QLatin1Char('0')));
  const QString chosen = FDir.path() + QStringLiteral("/a59/b/c/d");
  ASSERT_TRUE(QDir().mkpath(chosen));
  // Made at start-up, the chooser has read the top folders by the time it
  // first opens, but nothing below them.
  TFormSelectFolder form;
  QTreeView *tree = form.Tree();
  const auto *files = static_cast<const QFileSystemModel *>(tree->model());
  ASSERT_TRUE(kptest::waitUntil([&] { return files->rowCount(files->index(QStringLiteral("/"))) > 0; }, 5000));
  QSignalSpy loaded(files, &QFileSystemModel::directoryLoaded);
  form.SetPath(chosen);
  form.show();
  const auto shown = [&] {
    const QModelIndex current = tree->currentIndex();
    if (!current.isValid() || files->filePath(current) != chosen) return false;
    const QRect at = tree->visualRect(current);
    return !at.isEmpty() && tree->viewport()->rect().contains(at.center());
  };
  // The model fills in the folders it had not read (the temporary folder
  // holds many) and re-sorts them; the chosen folder stays in view.
  const QString above = QFileInfo(FDir.path()).path();
  ASSERT_TRUE(kptest::waitUntil(
      [&] {
        for (const QList<QVariant> &args : loaded)
          if (args.value(0).toString() == above) return true;
        return false;
      },
      10000));
  QElapsedTimer steady;
  EXPECT_TRUE(kptest::waitUntil(
      [&] {
        if (!shown()) {
          steady.invalidate();
          return false;
        }
        if (!steady.isValid()) steady.start();
        return steady.elapsed() > 500;
      },
      5000))
      << tree->visualRect(tree->currentIndex()).y();
  EXPECT_EQ(form.Path(), chosen);
  kptest::saveScreenshot(&form, QStringLiteral("folder-chooser-first-opening.png"));
  // Typing a path while the tree still reads is not undone by it.
  form.Edit()->clear();
  QTest::keyClicks(form.Edit(), FDir.path());
  kptest::spin(300);
  EXPECT_EQ(form.Path(), FDir.path());
}

// The default copy folder (the user's videos folder) is made by the first
// copy, not before: until then the chooser shows where it will be and keeps
// it chosen.
TEST_F(AuxWindows, FolderChooserKeepsAFolderStillToBeMade)
{
  const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", QFile::encodeName(FDir.path() + QStringLiteral("/home")));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FDir.path() + QStringLiteral("/home/.config")));
  const QString videos = FDir.path() + QStringLiteral("/home/Videos");
  ASSERT_EQ(GetSpecialFolder(sfVideos), videos);
  ASSERT_TRUE(QDir().mkpath(FDir.path() + QStringLiteral("/home")));
  TFormSelectFolder form;
  QTreeView *tree = form.Tree();
  const auto *files = static_cast<const QFileSystemModel *>(tree->model());
  form.SetPath(videos);
  form.show();
  EXPECT_TRUE(kptest::waitUntil(
      [&] { return files->filePath(tree->currentIndex()) == FDir.path() + QStringLiteral("/home"); }, 10000));
  EXPECT_EQ(form.Path(), videos);
  EXPECT_TRUE(form.ButtonOk()->isEnabled());
  EXPECT_FALSE(QFileInfo::exists(videos));
  // The user's own pick in the tree replaces it.
  tree->setCurrentIndex(files->index(FDir.path()));
  EXPECT_EQ(form.Path(), FDir.path());
  qputenv("HOME", oldHome);
  qputenv("XDG_CONFIG_HOME", oldConfig);
}

// The chooser lists the folders a user keeps, not the hidden ones of the
// programs, and a folder it adds takes its place in the order.
TEST_F(AuxWindows, FolderChooserListsVisibleFoldersInOrder)
{
  for (const char *name : {".cache", ".config", "b", "d"}) ASSERT_TRUE(QDir(FDir.path()).mkpath(name));
  TFormSelectFolder form;
  const auto *files = static_cast<const QFileSystemModel *>(form.Tree()->model());
  const auto listed = [&] {
    QStringList names;
    const QModelIndex parent = files->index(FDir.path());
    for (int r = 0; r < files->rowCount(parent); ++r) names << files->index(r, 0, parent).data().toString();
    return names;
  };
  form.SetPath(FDir.path() + QStringLiteral("/b"));
  form.show();
  ASSERT_TRUE(kptest::waitUntil([&] { return listed().size() >= 2; }, 10000));
  EXPECT_EQ(listed(), QStringList({"b", "d"}));
  form.SetPath(FDir.path());
  ASSERT_TRUE(form.AddFolder(QStringLiteral("c")));
  EXPECT_EQ(listed(), QStringList({"b", "c", "d"})); // in order from the moment it shows
  EXPECT_EQ(form.Path(), FDir.path() + QStringLiteral("/c"));
}

TEST_F(AuxWindows, PropertyCopyAllReachesTheClipboard)
{
  TFileItem item;
  item.Files.resize(2);
  item.Files[0].FileName = QStringLiteral("/card/A.MOV");
  item.Files[1].FileName = QStringLiteral("/card/B.MOV");
  item.Summary.Name = QStringLiteral("A-B");
  QPointer<TFormFileProperty> form = TFormFileProperty::ShowGroup(item);
  // Shown, the values fill the table's width beside the labels.
  const QTableWidget &grid = *form->Grid();
  EXPECT_TRUE(
      kptest::waitUntil([&] { return grid.columnWidth(0) + grid.columnWidth(1) >= grid.viewport()->width(); }, 5000))
      << grid.columnWidth(1) << " of " << grid.viewport()->width();
  form->ButtonCopyClick();
  const QStringList lines = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
  EXPECT_EQ(lines.size(), form->Grid()->rowCount() + 1);
  EXPECT_TRUE(lines.back().isEmpty());
  EXPECT_TRUE(lines.contains(QStringLiteral("[2]     File\t/card/B.MOV")));
  form->close();
  EXPECT_TRUE(kptest::waitUntil([&] { return form.isNull(); }, 5000));
}

TEST_F(AuxWindows, FolderChooser)
{
  const QString existing = FDir.path() + QStringLiteral("/videos");
  QDir().mkpath(existing);
  const QString net = FDir.path() + QStringLiteral("/net");
  QDir().mkpath(net);
  const QString mounts = FDir.path() + QStringLiteral("/mounts");
  ASSERT_TRUE(kptest::writeFileBytes(mounts, "/dev/sda1 / ext4 rw 0 0\nserver:/x " + net.toUtf8() + " nfs4 rw 0 0\n"));
  const TDriveSources saved = DriveSources();
  SetDriveSources({saved.SysRoot, mounts});
  TFormSelectFolder form;
  struct Case {
    QString Given, Shown;
  };
  for (const Case &c : {Case{existing + "/gone/deeper", existing}, Case{net + "/missing", net + "/missing"}}) {
    form.SetPath(c.Given);
    form.show();
    EXPECT_TRUE(kptest::waitUntil([&] { return form.Path() == c.Shown; }, 5000)) << form.Path().toStdString();
    form.hide();
  }
  SetDriveSources(saved);

  // A folder that cannot be created: a message, and the path stays.
  const QString file = FDir.path() + QStringLiteral("/plain");
  ASSERT_TRUE(kptest::writeFileBytes(file, "x"));
  form.SetPath(file);
  kptest::MessageBoxAnswerer boxes;
  EXPECT_FALSE(form.AddFolder(QStringLiteral("new")));
  EXPECT_EQ(boxes.Texts.size(), 1);
  EXPECT_EQ(form.Path(), file);
  form.SetPath(existing);
  EXPECT_TRUE(form.AddFolder(QStringLiteral("made")));
  EXPECT_EQ(form.Path(), existing + QStringLiteral("/made"));
  EXPECT_TRUE(QFileInfo(existing + QStringLiteral("/made")).isDir());
}

TEST_F(AuxWindows, WhatsNewFallsBackToTheGeneralNotes)
{
  const QString general = QString::fromUtf8(LoadResourceText(QStringLiteral("WhatsNew.txt")));
  const QString russian = QString::fromUtf8(LoadResourceText(QStringLiteral("WhatsNew_ru.txt")));
  ASSERT_FALSE(general.isEmpty());
  struct Case {
    int Lang;
    QString Notes;
  };
  for (const Case &c : {Case{LangEnglish, general}, Case{LangRussian, russian}}) {
    kptest::useLanguage(c.Lang);
    TFormWhatsNew form;
    form.show();
    EXPECT_EQ(form.Memo()->toPlainText(), QStringLiteral("KESTRIL PLAYER\n\n") + QString(c.Notes).remove('\r'));
  }
}

TEST_F(AuxWindows, AboutOpensTheSite)
{
  const TMakerContacts build = MakerContacts();
  MakerContacts().Site = QStringLiteral("https://maker.test");
  TFormAbout form(&FHost);
  form.show();
  QTest::mouseClick(form.LabelSite(), Qt::LeftButton);
  EXPECT_EQ(FHost.WebSiteCalls, 1);
  MakerContacts() = build;
}

// Only the contact lines the build gives are shown, one under the other,
// and the window is no taller than they need.
TEST_F(AuxWindows, AboutShowsOnlyTheContactsTheBuildGives)
{
  const TMakerContacts build = MakerContacts();
  const struct {
    TMakerContacts Given;
    QStringList Shown;
  } cases[] = {
      {{}, {}},
      {{"https://maker.test", "help@maker.test", "1 Road, Town", "+1 000"},
       {"1 Road, Town", "+1 000", "help@maker.test", "https://maker.test"}},
      {{"", "help@maker.test", "", ""}, {"help@maker.test"}},
  };
  int emptyHeight = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Shown.join('|').toStdString());
    MakerContacts() = c.Given;
    TFormAbout form(&FHost);
    form.show();
    QList<QLabel *> lines;
    for (QLabel *label : form.findChildren<QLabel *>())
      if (label->isVisible() && label->pixmap().isNull() && label->y() > form.findChildren<QLabel *>()[2]->y())
        lines << label;
    std::sort(lines.begin(), lines.end(), [](QLabel *a, QLabel *b) { return a->y() < b->y(); });
    QStringList shown;
    for (QLabel *label : lines) shown << label->text();
    EXPECT_EQ(shown, c.Shown);
    EXPECT_EQ(form.LabelSite()->isVisible(), !c.Given.Site.isEmpty());
    if (c.Shown.isEmpty()) emptyHeight = form.height();
    EXPECT_EQ(form.height(), emptyHeight + int(c.Shown.size()) * (form.fontMetrics().height() + 6));
  }
  MakerContacts() = build;
}

} // namespace

TEST(SecondaryPlacement, FitInsideMovesInAndShrinksOnlyWhatSticksOut)
{
  const QRect area(0, 0, 1600, 1000);
  const struct {
    QRect outer, fitted;
  } cases[] = {
      {{100, 100, 560, 480}, {100, 100, 560, 480}},  // already inside
      {{900, 535, 560, 480}, {900, 520, 560, 480}},  // below the bottom edge
      {{1300, -40, 560, 480}, {1040, 0, 560, 480}},  // over the top and the right
      {{-200, 200, 2000, 1200}, {0, 0, 1600, 1000}}, // larger than the screen
      {{-5000, 5000, 300, 200}, {0, 800, 300, 200}}, // on another screen
  };
  for (const auto &c : cases) EXPECT_EQ(FitInside(c.outer, area), c.fitted) << c.outer.x() << "," << c.outer.y();
}
