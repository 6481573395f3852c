#pragma once
// The camera set-up window: lists the connected camera cards, reads
// "setup.cfg" from the chosen one (or starts from the default block), lets
// the user change the frame size, the time zone and the G-sensor
// sensitivities, and writes the file back. Main thread only; modal.
//
// The file is refused when shorter than 11 bytes or above 1 MiB, or when it
// is no set-up block the window knows (a time zone outside -12..+12): it is
// then left untouched and nothing of an earlier file stays on show. The
// file is replaced whole (TWholeFileWriter), and "Ok" is shown only once it
// is on the card. The only card is read just after the window is shown
// (from the event loop); with no card the device list says so.

#include "DialogPrompts.h"
#include "SetupConfig.h"

#include <QByteArray>
#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kp {

class TFormSetupDevice : public QDialog {
  Q_OBJECT
public:
  explicit TFormSetupDevice(QWidget *parent = nullptr);

  void SetPrompts(const TDialogPrompts &prompts) { FPrompts = prompts; }
  // Texts of the active language; the main window calls it on a switch.
  void ApplyLanguage();

  // Window events.
  void ComboBoxDeviceChange();
  void ComboBoxFrameSizeChange(bool userChoice);
  void GSensorXChange();
  void ButtonWriteClick();

  const QString &ConfigPath() const { return FConfigPath; }
  const QByteArray &Config() const { return FConfig; }

  QComboBox *ComboBoxDevice() const { return FComboDevice; }
  QComboBox *ComboBoxFrameSize() const { return FComboFrame; }
  QComboBox *ComboBoxTimeZone() const { return FComboZone; }
  QSlider *GSensor(int axis) const { return FSliders[axis]; }
  QPushButton *ButtonWrite() const { return FButtonWrite; }

protected:
  void showEvent(QShowEvent *event) override;

private:
  void FillDevices();
  void SetEditing(bool enabled);
  bool ReadConfig();
  // The block's values in the controls; empty controls without a block.
  void ShowValues(const TSetupValues &values);
  QString OtherRowText() const;

  TDialogPrompts FPrompts;
  QStringList FRoots; // beside the device rows
  QString FConfigPath;
  QByteArray FConfig;
  bool FFilling = false;

  QComboBox *FComboDevice = nullptr;
  QComboBox *FComboFrame = nullptr;
  QComboBox *FComboZone = nullptr;
  QLabel *FLabelDevice = nullptr;
  QLabel *FLabelFrame = nullptr;
  QLabel *FLabelTimeZone = nullptr;
  QLabel *FLabelGSensor = nullptr;
  QSlider *FSliders[3] = {};
  QLabel *FSliderLabels[3] = {};
  QPushButton *FButtonWrite = nullptr;
  QPushButton *FButtonCancel = nullptr;
};

} // namespace kp
