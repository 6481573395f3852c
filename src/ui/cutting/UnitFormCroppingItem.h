#pragma once
// The fragment editor: the start and finish of one fragment, each as a time
// from the beginning of its source and as a fraction of it (either edit
// updates its partner), and the speed, offered on a slider by the source's
// frame-type pattern, with the speed-up method for speeds above 1.
//
// Created once at start-up with the main window as owner; reused for every
// edit, modal, main thread only.

#include "CropItem.h"

#include <QDialog>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace kp {

class TFormCroppingItem : public QDialog {
  Q_OBJECT
public:
  explicit TFormCroppingItem(QWidget *owner = nullptr);

  // Shows the item modally; OK writes the edits into it and returns true,
  // Cancel leaves it as it was.
  bool Execute(TCropItem &item);
  // Texts of the active language; the main window calls it on a switch.
  void ApplyLanguage();

private:
  void CreateControls();
  void LayOut();
  void Fill(TCropItem &item);
  void WriteBack(TCropItem &item) const;

  void EditP1Changed();
  void EditP2Changed();
  void EditTime1Changed();
  void EditTime2Changed();
  void EditSpeedChanged();
  void TrackBarSpeedChanged(int position);
  void PositionChanged(QLineEdit *editP, QLineEdit *editTime, QLabel *dateTime, double unreadable);
  void TimeChanged(QLineEdit *editTime, QLineEdit *editP, double unreadable);
  void UpdateOk();

  TCropItem *FItem = nullptr; // null while the dialog is filled
  bool FUpdating = false;     // one edit writing into its partner
  std::vector<long double> FSpeeds;

  QLabel *FLabelFileName = nullptr;
  QLabel *FLabelDuration = nullptr;
  QLabel *FLabelDurationValue = nullptr;
  QLabel *FLabelStart = nullptr;
  QLineEdit *FEditTime1 = nullptr;
  QLabel *FLabelDateTime1 = nullptr;
  QLineEdit *FEditP1 = nullptr;
  QLabel *FLabelFinish = nullptr;
  QLineEdit *FEditTime2 = nullptr;
  QLabel *FLabelDateTime2 = nullptr;
  QLineEdit *FEditP2 = nullptr;
  QLabel *FLabelSpeed = nullptr;
  QSlider *FTrackBarSpeed = nullptr;
  QLineEdit *FEditSpeed = nullptr;
  QGroupBox *FSpeedUpMethod = nullptr;
  QRadioButton *FSUM_FPS = nullptr;
  QRadioButton *FSUM_KeyFrames = nullptr;
  QPushButton *FButtonOk = nullptr;
  QPushButton *FButtonCancel = nullptr;
};

} // namespace kp
