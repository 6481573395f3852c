// The set-up window on a fake camera card: the kernel's device tree and
// mount table of one USB card reader, mounted on a temporary folder.

#include "SetupConfig.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "UnitFormSetupDevice.h"
#include "UnitUtilsFiles.h"

#include <QComboBox>
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
    ASSERT_TRUE(
        kptest::writeFileBytes(FTmp.path() + "/mounts", "/dev/sdb1 " + QFile::encodeName(FCard) + " vfat rw 0 0\n"));
    SetDriveSources({sys, FTmp.path() + "/mounts"});
    ASSERT_EQ(CardDrives(), QStringList({FCard}));
    FPrompts.Message = [this](const QString &text) { FMessages << text; };
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

  QString Config() const { return FCard + "/setup.cfg"; }
  // Shows the window, which reads the only card at once.
  std::unique_ptr<TFormSetupDevice> Open()
  {
    auto form = std::make_unique<TFormSetupDevice>();
    form->SetPrompts(FPrompts);
    form->show();
    return form;
  }

  QTemporaryDir FTmp;
  QString FCard;
  TDialogPrompts FPrompts;
  QStringList FMessages;
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
  struct Case {
    const char *Name;
    QByteArray Existing; // "-" none, "dir" a folder in the file's place
    bool Yes;
    bool Editable; // then written with the default block
  } cases[] = {
      {"missing, No", "-", false, false},
      {"missing, Yes", "-", true, true},
      {"ten bytes", QByteArray(10, '\1'), true, false},
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
      EXPECT_TRUE(FMessages[0].endsWith("\r\n" + QString::number(c.Existing.size())));
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
  EXPECT_TRUE(FMessages[1].startsWith(Config() + "\r\n"));
  EXPECT_GT(FMessages[1].size(), Config().size() + 2);
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
