#pragma once
// The cutting dialog: the list of fragments to join into a new movie, their
// order, limits and speeds, the tracks and side files to write, and the
// output name. Start runs the job (CropJob.h) inside the click handler; the
// job's progress callback processes window messages, so the dialog stays
// alive and a close is seen at the next progress call.
//
// Created once at start-up by the main window, a window of its own that
// stays above the main window, and shown modeless by its save commands. Main thread only. The dialog owns
// its items; the fragment editor and the main window's services are lent to
// it and outlive it.

#include "CropItem.h"
#include "ICropHost.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;

namespace kp {

class TCropListModel;
class TFormCroppingItem;

class TFormCropping : public QDialog {
  Q_OBJECT
public:
  using TMessageSink = std::function<void(const QString &text)>;

  // Parent: the main window, above which the dialog stays while open.
  TFormCropping(ICropHost &host, TFormCroppingItem &editor, QWidget *parent = nullptr);
  ~TFormCropping() override;

  // Appends the fragment P1..P2 of a movie (its telemetry cloned, when
  // given, else its track paired as the recording list pairs them); a file
  // that is no readable movie with video is refused with a message (the
  // reader's words for a damaged one). StartTime 0 takes the time the list
  // gives the movie (its last-write time less its length, fitted to its
  // track). Ignored while the job runs. True when the file was added.
  bool AddFile(const QString &fileName, const TMovingInfo *info, long double p1, long double p2, TDateTime startTime);
  // The job's progress callback: output seconds so far (negative: repaint
  // the current row now) and the part of the current fragment copied.
  // Processes window messages; false once the dialog is closed.
  bool SetProgress(double seconds, double fraction);
  void UpdateTotals();

  // For the main window.
  void ClearSelection();
  int RowCount() const { return int(FItems.size()); }
  void ShowRestored();
  QString OutputName() const;
  void SetOutputName(const QString &name);
  // Shows the name Propose makes, and makes it again when the clock of the
  // list changes (ClockChanged) as long as the user has not edited it.
  void ProposeOutputName(std::function<QString()> propose);
  // The display zone changed: the rows' times, the totals and a proposed
  // name follow.
  void ClockChanged();
  static QString DefaultExtension() { return QStringLiteral("mp4"); }

  // Where message boxes go (tests collect them); by default a warning box.
  void SetMessageSink(TMessageSink sink);
  // Texts of the active language; the main window calls it on a switch.
  void ApplyLanguage();
  const std::vector<TCropItem> &Items() const { return FItems; }
  bool Running() const { return FRunning; }

  // ButtonStart: runs the job on the list.
  void Start();

  // Closing (Cancel, Escape, the title bar) empties the dialog, after the
  // job when one runs.
  void done(int result) override;

protected:
  void showEvent(QShowEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dropEvent(QDropEvent *event) override;

private:
  void CreateControls();
  void CreateActions();
  QToolButton *SmallButton(const char *name, QAction *action);
  void LayOut();
  void ResetIdle();
  void SetRunning(bool running);
  void UpdateActions();
  void Message(const QString &text);
  bool AskReplace(const QStringList &existing);
  // Item's track as the recording list pairs it, for a movie that came
  // without one; its start time too unless the caller gave one.
  void PairTrack(TCropItem &item, bool keepStartTime);
  // The note naming the movies whose part of the cut goes without a track.
  void UpdateTrackNote();

  std::vector<bool> SelectionMarks() const;
  void SelectMarked(const std::vector<bool> &marks);
  int FirstSelected() const;

  // Commands.
  void DoAdd();
  void DoDelete();
  void DoClear();
  void DoUp();
  void DoDown();
  void DoEdit();
  void DoSpeed();
  void DoNoIntersection();
  void DoSelectFile();
  void ShowPopup(const QPoint &pos);

  ICropHost &FHost;
  TFormCroppingItem &FEditor;
  TMessageSink FMessages;
  QString FConfirmedName; // the output name the save dialog asked about

  std::vector<TCropItem> FItems;
  int FCurrentItem = -1;
  double FItemProgress = 0;
  double FTotalSeconds = 0;
  QElapsedTimer FLastRefresh;
  bool FRunning = false;
  bool FResetPending = false;         // closed while the job ran
  std::function<QString()> FProposal; // makes the proposed name
  QString FProposed;                  // the name it made last

  TCropListModel *FModel = nullptr;
  QTableView *FListView = nullptr;
  QGroupBox *FGroupBoxVideoFileTracks = nullptr;
  QGroupBox *FGroupBoxAdditionalFiles = nullptr;
  QCheckBox *FCheckBoxVideo = nullptr;
  QCheckBox *FCheckBoxAudio = nullptr;
  QCheckBox *FCheckBoxVideoSubtitles = nullptr;
  QCheckBox *FCheckBoxMeta = nullptr;
  QCheckBox *FCheckBoxSRTSubtitles = nullptr;
  QLineEdit *FEditFileName = nullptr;
  QToolButton *FSpeedButtonSelectFile = nullptr;
  QPushButton *FButtonStart = nullptr;
  QPushButton *FButtonCancel = nullptr;
  QLabel *FLabelTimePos = nullptr;
  QLabel *FLabelCurrentAction = nullptr;
  QLabel *FLabelNoTrack = nullptr;

  QMenu *FPopupMenu = nullptr;
  QAction *FN_Edit = nullptr;
  QAction *FN_Speed = nullptr;
  QAction *FN_NoIntersection = nullptr;
  QAction *FN_Up = nullptr;
  QAction *FN_Down = nullptr;
  QAction *FN_FileList_Add = nullptr;
  QAction *FN_FileList_Del = nullptr;
  QAction *FN_FileList_Clear = nullptr;
  std::vector<QToolButton *> FSmallButtons;
};

} // namespace kp
