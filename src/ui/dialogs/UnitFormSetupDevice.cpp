#include "UnitFormSetupDevice.h"

#include "Errors.h"
#include "Numbers.h"
#include "SetupConfig.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"
#include "UnitUtilsDesktop.h"
#include "UnitUtilsFiles.h"
#include "WholeFileWriter.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

namespace kp {

namespace {

constexpr double BytesPerGb = 1024.0 * 1024.0 * 1024.0;

} // namespace

TFormSetupDevice::TFormSetupDevice(QWidget *parent) : QDialog(parent), FPrompts(DefaultDialogPrompts(this))
{
  setObjectName(QStringLiteral("FormSetupDevice"));
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_setupDevice.ico")));
  auto *picture = new QLabel(this);
  picture->setPixmap(QPixmap::fromImage(LoadResourceBitmap(QStringLiteral("Form_SetupDeivce_dod.bmp"))));
  FComboDevice = new QComboBox(this);
  FComboFrame = new QComboBox(this);
  for (int row = 0; row < SetupFrameRows; ++row) FComboFrame->addItem(SetupFrameRowText(row));
  FComboFrame->addItem(Translate(u"SetupDevice_OtherSize"));
  FComboZone = new QComboBox(this);
  for (int row = 0; row < SetupTimeZoneRows; ++row) FComboZone->addItem(SetupTimeZoneText(row));
  FLabelDevice = new QLabel(this);
  FLabelFrame = new QLabel(this);
  FLabelTimeZone = new QLabel(this);
  FLabelGSensor = new QLabel(this);
  FButtonWrite = new QPushButton(this);
  FButtonCancel = new QPushButton(this);

  auto *grid = new QGridLayout(this);
  grid->addWidget(picture, 0, 0, 7, 1, Qt::AlignTop);
  grid->addWidget(FLabelDevice, 0, 1);
  grid->addWidget(FComboDevice, 0, 2, 1, 2);
  grid->addWidget(FLabelFrame, 1, 1);
  grid->addWidget(FComboFrame, 1, 2, 1, 2);
  grid->addWidget(FLabelTimeZone, 2, 1);
  grid->addWidget(FComboZone, 2, 2, 1, 2);
  grid->addWidget(FLabelGSensor, 3, 1);
  for (int axis = 0; axis < 3; ++axis) {
    FSliders[axis] = new QSlider(Qt::Horizontal, this);
    FSliders[axis]->setRange(0, 10);
    FSliderLabels[axis] = new QLabel(QStringLiteral("0"), this);
    grid->addWidget(new QLabel(QString(QLatin1Char(char('X' + axis))), this), 4 + axis, 1);
    grid->addWidget(FSliders[axis], 4 + axis, 2);
    grid->addWidget(FSliderLabels[axis], 4 + axis, 3);
    connect(FSliders[axis], &QSlider::valueChanged, this, &TFormSetupDevice::GSensorXChange);
  }
  grid->addWidget(FButtonWrite, 7, 2);
  grid->addWidget(FButtonCancel, 7, 3);

  connect(FComboDevice, &QComboBox::activated, this, [this] { ComboBoxDeviceChange(); });
  connect(FComboFrame, &QComboBox::activated, this, [this] { ComboBoxFrameSizeChange(true); });
  connect(FButtonWrite, &QPushButton::clicked, this, &TFormSetupDevice::ButtonWriteClick);
  connect(FButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  ApplyLanguage();
}

void TFormSetupDevice::ApplyLanguage()
{
  setWindowTitle(Translate(u"SetupDevice_Title"));
  FLabelDevice->setText(Translate(u"SetupDevice_Device") + QLatin1Char(':'));
  FLabelFrame->setText(Translate(u"PictureSize") + QLatin1Char(':'));
  FLabelTimeZone->setText(Translate(u"SetupDevice_TimeZone") + QLatin1Char(':'));
  FLabelGSensor->setText(Translate(u"SetupDevice_GSensor"));
  FButtonWrite->setText(Translate(u"SetupDevice_BtnWrite"));
  FButtonCancel->setText(Translate(u"Cancel"));
}

void TFormSetupDevice::showEvent(QShowEvent *event)
{
  QDialog::showEvent(event);
  SetEditing(false);
  FConfig.clear();
  FillDevices();
  ShowValues({});
  if (FRoots.size() == 1) {
    FComboDevice->setCurrentIndex(0);
    // Read once the window is on the screen: a question or message box run
    // from here would show before it, and the window would then come up at
    // the platform's default size instead of its own.
    QTimer::singleShot(0, this, [this] {
      if (isVisible() && FComboDevice->currentIndex() == 0) ComboBoxDeviceChange();
    });
  } else {
    FComboDevice->setCurrentIndex(-1);
  }
}

void TFormSetupDevice::SetEditing(bool enabled)
{
  FComboFrame->setEnabled(enabled);
  FComboZone->setEnabled(enabled);
  for (QSlider *slider : FSliders) slider->setEnabled(enabled);
  FButtonWrite->setEnabled(enabled);
}

// Every card whose space can be read, with its sizes and label.
void TFormSetupDevice::FillDevices()
{
  FComboDevice->clear();
  FRoots.clear();
  const QString gb = Translate(u"Gb");
  for (const QString &root : CardDrives()) {
    int64_t freeBytes = 0, totalBytes = 0;
    if (!GetDiskSpace(root, freeBytes, totalBytes)) continue;
    const QString text = root + QStringLiteral(":   ") + QString::number(Round(double(totalBytes) / BytesPerGb)) + gb +
                         QStringLiteral("  (") + FloatToStrDot(double(freeBytes) / BytesPerGb, 1, true) + gb +
                         QLatin1Char(' ') + Translate(u"disk_free") + QStringLiteral(")   ") + GetVolumeLabel(root);
    FComboDevice->addItem(text);
    FRoots << root;
  }
  // An empty list would say nothing at all.
  const QString hint = FRoots.isEmpty() ? Translate(u"SetupDevice_NoCard") : QString();
  FComboDevice->setPlaceholderText(hint);
  FComboDevice->setMinimumWidth(hint.isEmpty() ? 0 : FComboDevice->fontMetrics().horizontalAdvance(hint) + 40);
}

QString TFormSetupDevice::OtherRowText() const
{
  const int code = FConfig.size() > 6 ? int(uint8_t(FConfig[6])) : 0;
  return Translate(u"SetupDevice_OtherSize") + QStringLiteral(" (") + QString::number(code) + QLatin1Char(')');
}

// Reads the chosen card's file; false (with a message saying what is wrong)
// for a refused one.
bool TFormSetupDevice::ReadConfig()
{
  const QFileInfo info(FConfigPath);
  if (!info.exists()) return true;
  const auto refuse = [this](const QString &why) {
    FPrompts.Failure(FConfigPath + QStringLiteral("\r\n\r\n") + why);
    return false;
  };
  const auto badLength = [](qint64 size) {
    return Translate(u"SetupDevice_BadLength")
        .replace(QStringLiteral("%size%"), QString::number(size))
        .replace(QStringLiteral("%min%"), QString::number(SetupMinLength))
        .replace(QStringLiteral("%max%"), QString::number(SetupMaxLength));
  };
  if (!SetupConfigAcceptable(info.size())) return refuse(badLength(info.size()));
  QFile file(FConfigPath);
  if (!file.open(QIODevice::ReadOnly)) return refuse(file.errorString());
  const QByteArray bytes = file.read(SetupMaxLength + 1);
  if (file.error() != QFileDevice::NoError) return refuse(file.errorString());
  if (!SetupConfigAcceptable(bytes.size())) return refuse(badLength(bytes.size()));
  if (!SetupConfigKnown(bytes)) return refuse(Translate(u"SetupDevice_NotSetup"));
  FConfig = bytes;
  return true;
}

void TFormSetupDevice::ComboBoxDeviceChange()
{
  const int index = FComboDevice->currentIndex();
  FConfig.clear();
  SetEditing(false);
  // Nothing of the file read before stays on show.
  ShowValues({});
  if (index < 0 || index >= FRoots.size()) return;
  FConfigPath = FRoots[index] + QStringLiteral("/setup.cfg");
  if (!ReadConfig()) return;
  if (FConfig.isEmpty() &&
      FPrompts.Confirm(FComboDevice->currentText() + QStringLiteral("\r\n\r\n") + Translate(u"SetupDevice_NoConfig")))
    FConfig = DefaultSetupBlock();
  if (FConfig.isEmpty()) return;

  SetEditing(true);
  ShowValues(DecodeSetup(FConfig));
  ComboBoxFrameSizeChange(false);
}

void TFormSetupDevice::ShowValues(const TSetupValues &values)
{
  FFilling = true;
  FComboFrame->setItemText(SetupOtherRow, Translate(u"SetupDevice_OtherSize"));
  const bool shown = !FConfig.isEmpty();
  FComboFrame->setCurrentIndex(shown ? values.FrameRow : -1);
  FComboZone->setCurrentIndex(shown ? values.TimeZoneRow : -1);
  for (int axis = 0; axis < 3; ++axis) FSliders[axis]->setValue(shown ? values.Sensitivity[axis] : 0);
  FFilling = false;
  GSensorXChange();
}

void TFormSetupDevice::ComboBoxFrameSizeChange(bool userChoice)
{
  const int row = FComboFrame->currentIndex();
  if (row < 0 || !SetupConfigAcceptable(FConfig.size())) return;
  if (row < SetupFrameRows) {
    FConfig[6] = char(SetupFrameRowCode(row));
  } else if (userChoice) {
    int value = 0;
    if (FPrompts.GetInt(FLabelFrame->text() + QLatin1Char(' ') + FComboFrame->itemText(row),
                        Translate(u"SetupDevice_EnterOther") + QLatin1Char(':'), int(uint8_t(FConfig[6])), value))
      FConfig[6] = char(Clamp(value, 0, 255));
  }
  FComboFrame->setItemText(SetupOtherRow, OtherRowText());
  if (FComboFrame->currentIndex() < 0) FComboFrame->setCurrentIndex(SetupOtherRow);
}

void TFormSetupDevice::GSensorXChange()
{
  for (int axis = 0; axis < 3; ++axis) FSliderLabels[axis]->setText(QString::number(FSliders[axis]->value()));
}

void TFormSetupDevice::ButtonWriteClick()
{
  if (FComboFrame->currentIndex() < 0 || !SetupConfigKnown(FConfig)) {
    FPrompts.Message(FLabelFrame->text());
    return;
  }
  TSetupEdit edit;
  edit.FrameCode = uint8_t(FConfig[6]);
  edit.TimeZoneRow = FComboZone->currentIndex();
  for (int axis = 0; axis < 3; ++axis) edit.Sensitivity[axis] = FSliders[axis]->value();
  EncodeSetup(FConfig, edit);
  QString error;
  if (!SaveFileWhole(FConfigPath, FConfig, true, error)) {
    FPrompts.Failure(FileFailureMessage(FConfigPath, error));
    return;
  }
  FPrompts.Message(QStringLiteral("Ok"));
  accept();
}

} // namespace kp
