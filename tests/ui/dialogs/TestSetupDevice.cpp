// The set-up window on a fake camera card: the kernel's device tree and
// mount table of one USB card reader, mounted on a temporary folder.

#include "Errors.h"
#include "FakeDialogHost.h"
#include "SetupConfig.h"
#include "SmallDisk.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "UnitFormSetupDevice.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kp;

namespace {

class SetupDevice : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::ensureApplication();
    const QString sys = FTmp.path() + "/sys";
    FCard = FTmp.path() + "/media/CARD";
    const QString disk = sys + "/devices/pci0000:00/usb1/1-1/1-1:1.0/host6/block/sdb";
    ASSERT_TRUE(QDir().mkpath(disk + "/sdb1"));
    ASSERT_TRUE(QDir().mkpath(sys + "/bus/usb"));
    ASSERT_TRUE(QDir().mkpath(sys + "/class/block"));
    ASSERT_TRUE(QDir().mkpath(FCard + "/DCIM"));
    ASSERT_TRUE(kptest::writeFileBytes(disk + "/removable", "1\n"));
    ASSERT_TRUE(kptest::writeFileBytes(disk + "/sdb1/partition", "1\n"));
    QFile::link(disk, sys + "/class/block/sdb");
    QFile::link(disk + "/sdb1", sys + "/class/block/sdb1");
    QFile::link(sys + "/bus/usb", sys + "/devices/pci0000:00/usb1/1-1/subsystem");
    MountCardAt(FCard);
    ASSERT_EQ(CardDrives(), QStringList({FCard}));
    FPrompts.Message = [this](const QString &text) { FMessages << text; };
    FPrompts.Failure = [this](const QString &text) {
      FMessages << text;
      FFailures << text;
    };
    FPrompts.Confirm = [this](const QString &text) {
      FMessages << text;
      return FAnswerYes;
    };
    FPrompts.GetInt = [this](const QString &, const QString &, int, int &value) {
      value = FOtherCode;
      return true;
    };
  }
  void TearDown() override { SetDriveSources(TDriveSources()); }

  // The card reader's card as mounted on Folder (none for an empty one).
  void MountCardAt(const QString &folder)
  {
    FCard = folder;
    const QByteArray line =
        folder.isEmpty() ? QByteArray() : "/dev/sdb1 " + QFile::encodeName(folder) + " vfat rw 0 0\n";
    ASSERT_TRUE(kptest::writeFileBytes(FTmp.path() + "/mounts", line));
    SetDriveSources({FTmp.path() + "/sys", FTmp.path() + "/mounts"});
  }

  QString Config() const { return FCard + "/setup.cfg"; }
  // Shows the window, which reads the only card at once.
  std::unique_ptr<TFormSetupDevice> Open()
  {
    auto form = std::make_unique<TFormSetupDevice>();
    form->SetPrompts(FPrompts);
    form->show();
    QCoreApplication::processEvents(); // the card is read once the window is up
    return form;
  }

  QTemporaryDir FTmp;
  QString FCard;
  TDialogPrompts FPrompts;
  QStringList FMessages, FFailures;
  bool FAnswerYes = true;
  int FOtherCode = 0;
};

} // namespace

TEST_F(SetupDevice, ChooseGmtPlus3AndWrite)
{
  QByteArray original(200, '\0');
  for (int i = 0; i < original.size(); ++i) original[i] = char(i * 5 + 1);
  original[6] = 16;        // 720P, read as the code below it
  original[7] = char(-8);  // GMT-8
  original[8] = char(200); // shown as 10
  ASSERT_TRUE(kptest::writeFileBytes(Config(), original));
  auto form = Open();
  ASSERT_TRUE(form->ButtonWrite()->isEnabled());
  EXPECT_EQ(form->ComboBoxFrameSize()->currentIndex(), 2);
  EXPECT_EQ(form->ComboBoxTimeZone()->currentText(), "GMT-8");
  EXPECT_EQ(form->GSensor(0)->value(), 10);
  form->ComboBoxTimeZone()->setCurrentIndex(form->ComboBoxTimeZone()->findText("GMT+3"));
  form->ButtonWriteClick();
  EXPECT_EQ(FMessages, QStringList({"Ok"}));
  QByteArray expected = original;
  expected[6] = 17;
  expected[7] = 3;
  expected[8] = expected[9] = expected[10] = 10; // 200, 46 and 51 kept within 0..10
  EXPECT_EQ(kptest::readFileBytes(Config()), expected);
}

TEST_F(SetupDevice, MissingRefusedAndUnwritableFiles)
{
  kptest::useLanguage(LangEnglish);
  struct Case {
    const char *Name;
    QByteArray Existing; // "-" none, "dir" a folder in the file's place
    bool Yes;
    bool Editable; // then written with the default block
  } cases[] = {
      {"missing, No", "-", false, false},
      {"missing, Yes", "-", true, true},
      {"ten bytes", QByteArray(10, '\1'), true, false},
      {"five bytes", QByteArray(5, '\1'), true, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    QFile::remove(Config());
    if (c.Existing != "-") {
      ASSERT_TRUE(kptest::writeFileBytes(Config(), c.Existing));
    }
    FAnswerYes = c.Yes;
    FMessages.clear();
    auto form = Open();
    EXPECT_EQ(form->ButtonWrite()->isEnabled(), c.Editable);
    ASSERT_EQ(FMessages.size(), 1);
    EXPECT_TRUE(FMessages[0].startsWith(c.Existing == "-" ? form->ComboBoxDevice()->currentText() : Config()));
    if (c.Existing != "-") {
      // What is wrong, not a bare number.
      EXPECT_EQ(FMessages[0], Config() + "\r\n\r\n" +
                                  Translate(u"SetupDevice_BadLength")
                                      .replace("%size%", QString::number(c.Existing.size()))
                                      .replace("%min%", "11")
                                      .replace("%max%", "1048576"));
      EXPECT_TRUE(FMessages[0].contains("damaged"));
    }
    if (!c.Editable) {
      EXPECT_EQ(QFile::exists(Config()), c.Existing != "-");
      continue;
    }
    form->ButtonWriteClick();
    EXPECT_EQ(FMessages.last(), "Ok");
    EXPECT_EQ(kptest::readFileBytes(Config()), DefaultSetupBlock());
  }
  // A folder where the file should be: the system's error, never "Ok".
  QFile::remove(Config());
  FAnswerYes = true;
  FMessages.clear();
  auto form = Open();
  ASSERT_TRUE(QDir().mkpath(Config()));
  form->ButtonWriteClick();
  ASSERT_EQ(FMessages.size(), 2);
  EXPECT_EQ(FMessages[1], FileFailureMessage(Config(), SystemErrorText(EISDIR)));
}

TEST_F(SetupDevice, OtherFrameCodeIsKept)
{
  QByteArray original = DefaultSetupBlock();
  original[6] = 9;
  ASSERT_TRUE(kptest::writeFileBytes(Config(), original));
  auto form = Open();
  EXPECT_EQ(form->ComboBoxFrameSize()->currentIndex(), SetupOtherRow);
  EXPECT_TRUE(form->ComboBoxFrameSize()->currentText().endsWith(" (9)"));
  FOtherCode = 200;
  form->ComboBoxFrameSizeChange(true);
  EXPECT_TRUE(form->ComboBoxFrameSize()->currentText().endsWith(" (200)"));
  form->ButtonWriteClick();
  EXPECT_EQ(uint8_t(kptest::readFileBytes(Config())[6]), 200);
}

// The real question box shown while the window opens (a card without the
// file) leaves the window at the size it has without one.
TEST_F(SetupDevice, WindowKeepsItsSizeAfterAMessageBox)
{
  ASSERT_TRUE(kptest::writeFileBytes(Config(), DefaultSetupBlock()));
  kptest::useLanguage(LangEnglish);
  TFormSetupDevice plain;
  plain.show();
  ASSERT_TRUE(kptest::waitUntil([&] { return plain.ButtonWrite()->isEnabled(); }, 5000));
  const QSize expected = plain.size();
  plain.hide();

  QFile::remove(Config());
  TFormSetupDevice asked;
  QStringList boxes;
  QTimer answer;
  answer.setInterval(20);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
      boxes << box->text();
      box->button(QMessageBox::Yes)->click();
    }
  });
  answer.start();
  asked.show();
  ASSERT_TRUE(kptest::waitUntil([&] { return asked.ButtonWrite()->isEnabled(); }, 5000));
  EXPECT_EQ(boxes.size(), 1);
  kptest::saveScreenshot(&asked, QStringLiteral("setup_after_question.png"));
  EXPECT_EQ(asked.size(), expected);
}

// A "setup.cfg" that is no set-up block this window knows (another
// camera's text file) is named as such, shows nothing of the file read
// before, and "Write to card" leaves it byte for byte.
TEST_F(SetupDevice, TextFileIsNamedAndLeftAsItIs)
{
  kptest::useLanguage(LangEnglish);
  QByteArray earlier = DefaultSetupBlock();
  earlier[7] = 3;
  earlier[8] = 7, earlier[9] = 8, earlier[10] = 9;
  ASSERT_TRUE(kptest::writeFileBytes(Config(), earlier));
  auto form = Open();
  ASSERT_EQ(form->GSensor(2)->value(), 9);

  const QByteArray text = "[Camera]\r\nResolution=1080P30\r\nTimeZone=+3\r\nGSensor=Medium\r\n";
  ASSERT_TRUE(kptest::writeFileBytes(Config(), text));
  FMessages.clear();
  form->ComboBoxDeviceChange(); // the card chosen again
  EXPECT_EQ(FMessages, QStringList(Config() + "\r\n\r\n" + Translate(u"SetupDevice_NotSetup")));
  EXPECT_FALSE(form->ButtonWrite()->isEnabled());
  EXPECT_EQ(form->ComboBoxFrameSize()->currentIndex(), -1);
  EXPECT_EQ(form->ComboBoxFrameSize()->itemText(SetupOtherRow), Translate(u"SetupDevice_OtherSize"));
  EXPECT_EQ(form->ComboBoxTimeZone()->currentIndex(), -1);
  for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(form->GSensor(axis)->value(), 0);
  form->ButtonWrite()->click();
  form->ButtonWriteClick();
  EXPECT_EQ(kptest::readFileBytes(Config()), text);
  EXPECT_FALSE(FMessages.contains("Ok"));
}

TEST_F(SetupDevice, NoCardSaysSo)
{
  kptest::useLanguage(LangEnglish);
  MountCardAt({});
  auto form = Open();
  EXPECT_EQ(form->ComboBoxDevice()->count(), 0);
  EXPECT_EQ(form->ComboBoxDevice()->placeholderText(), Translate(u"SetupDevice_NoCard"));
  EXPECT_FALSE(form->ButtonWrite()->isEnabled());
  kptest::saveScreenshot(form.get(), QStringLiteral("setup_no_card.png"));
}

// A card that is write-protected or full: one plain message with the
// system's reason, never "Ok", and nothing left on the card.
TEST_F(SetupDevice, CardThatRefusesTheFileGivesOnePlainMessage)
{
  kptest::useLanguage(LangEnglish);
  for (const auto kind : {kptest::TSmallDisk::ReadOnly, kptest::TSmallDisk::Full}) {
    KP_SMALL_DISK(disk, kind);
    SCOPED_TRACE(disk.Name());
    MountCardAt(disk.Path());
    FMessages.clear();
    auto form = Open(); // no file: the default block, as answered
    ASSERT_TRUE(form->ButtonWrite()->isEnabled());
    form->ButtonWrite()->click();
    ASSERT_EQ(FMessages.size(), 2);
    EXPECT_EQ(FMessages[1],
              FileFailureMessage(Config(), SystemErrorText(kind == kptest::TSmallDisk::ReadOnly ? EROFS : ENOSPC)));
    EXPECT_EQ(disk.Entries(), QStringList());
  }
}

// A damaged file and one that cannot be written: the real boxes show each
// failure with the warning icon, as every other file failure is shown.
TEST_F(SetupDevice, FailuresShowTheWarningIcon)
{
  kptest::MessageBoxAnswerer boxes(QMessageBox::Yes);
  ASSERT_TRUE(kptest::writeFileBytes(Config(), "short"));
  {
    TFormSetupDevice damaged;
    damaged.show();
    QCoreApplication::processEvents();
  }
  ASSERT_TRUE(QFile::remove(Config()));
  TFormSetupDevice form;
  form.show();
  QCoreApplication::processEvents(); // no file: the default block, as answered
  ASSERT_TRUE(QDir().mkpath(Config()));
  form.ButtonWriteClick();
  ASSERT_EQ(boxes.Texts.size(), 3) << boxes.Texts.join('|').toStdString();
  EXPECT_EQ(boxes.Texts[2], FileFailureMessage(Config(), SystemErrorText(EISDIR)).replace("\r\n", "\n"));
  EXPECT_EQ(boxes.Icons, QList<QMessageBox::Icon>({QMessageBox::Warning, QMessageBox::Question, QMessageBox::Warning}));
}
