#pragma once
// A main window in pieces for the playback tests: bare widgets, painters, a
// catalogue, a recording host and map, and the three playback collaborators
// wired as the window wires them.

#include "DSPack.h"
#include "IMapPage.h"
#include "IPlaybackHost.h"
#include "PlaybackControls.h"
#include "PlaybackLoop.h"
#include "PlaybackState.h"
#include "PositionModel.h"
#include "RecordingSelection.h"
#include "UnitBSImage.h"
#include "UnitBitmaps.h"
#include "UnitFileManager.h"
#include "UnitGraphics.h"

#include <QCheckBox>
#include <QSlider>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

namespace kptest {

inline constexpr double kDay = 45444.0;          // 1 June 2024
inline constexpr double kSecond = 1.0 / 86400.0; // days
inline constexpr kp::REFERENCE_TIME kSecondRef = 10000000;

class TRecordingHost : public kp::IPlaybackHost {
public:
  QStringList Log;      // calls other than the details cursor, in order
  QStringList Messages; // information and failures, in order
  QStringList Failures;
  QString Title;
  kp::TActiveWindow Active = kp::TActiveWindow::Main;
  bool IsFullScreen = false;
  bool Visible = true;
  std::function<void()> OnFormResize;
  std::function<void(const QString &)> OnMessage;

  void FormResize() override;
  void NormalizeTimeWindow() override { Log << QStringLiteral("NormalizeTimeWindow"); }
  void ButtonVideoZoomOutClick() override { Log << QStringLiteral("ButtonVideoZoomOutClick"); }
  void N_FullScreenClick() override { Log << QStringLiteral("N_FullScreenClick"); }
  void N_View_Time_LoopABClick() override { Log << QStringLiteral("N_View_Time_LoopABClick"); }
  void SetMenuChecked(QAction *item) override;
  void SyncMenuCopies() override { Log << QStringLiteral("SyncMenuCopies"); }
  void ShowDetails(long double, long double, kp::TMyGraphic *, long double) override
  {
    Log << QStringLiteral("ShowDetails");
  }
  void HideDetails() override { Log << QStringLiteral("HideDetails"); }
  void DetailsDrawCursor(long double) override {}
  void PopupMenuListViewPopup() override {}
  void AddFiles(const QStringList &names) override
  {
    Log << QStringLiteral("AddFiles ") + names.join(QLatin1Char(','));
  }
  void SetTitle(const QString &title) override { Title = title; }
  kp::TActiveWindow ActiveWindow() const override { return Active; }
  bool FullScreen() const override { return IsFullScreen; }
  bool VideoInFullScreen() const override { return false; }
  bool GaugesInFullScreen() const override { return false; }
  bool MainWindowVisible() const override { return Visible; }
  void Repaint() override {}
  void CloseMainWindow() override { Log << QStringLiteral("CloseMainWindow"); }
  void ShowMessage(const QString &text) override;
  void ShowFailure(const QString &text) override;
  void ShowNote(const QString &text) override { Notes << text; }
  QStringList Notes;
};

class TRecordingMap : public kp::IMapPage {
public:
  QStringList Scripts;
  QStringList Calls; // SetMapCenter / SetMapBounds / ForgetTrackScript
  bool Visible = true;

  bool ExecMapScript(const QString &script, bool) override
  {
    Scripts << script;
    return true;
  }
  void SetMapCenter(double x, double y, double azimuth) override;
  void SetMapBounds(const std::vector<const kp::TMovingInfo *> &tracks, const std::vector<bool> &, bool fit,
                    bool drawGaps) override;
  bool MapVisible() const override { return Visible; }
  void ForgetTrackScript() override { Calls << QStringLiteral("ForgetTrackScript"); }
};

// One video file of a made-up recording: its share of the span and length.
struct TTestFile {
  QString Name;
  long double Start = 0, End = 1;
  int64_t DurationMs = 0;
  uint8_t DurationSource = kp::dsHeader;
};
// A recording starting at Start (days) made of the given files.
kp::TFileItem MakeRecording(const QString &name, double start, double spanDays, const std::vector<TTestFile> &files);

// The window's playback parts. Graph factory: the fake or GStreamer.
class TPlayingRig {
public:
  explicit TPlayingRig(kp::IGraphFactoryPtr factory);
  ~TPlayingRig();

  // Puts the rows into the catalogue and the list.
  void SetRows(const std::vector<kp::TFileItem> &rows);
  void SelectRows(const std::vector<int> &rows);
  QAction *Item(const char *name) const;

  QWidget Window; // holds the list, the seek bar and the control panel
  QToolButton ButtonPlay, ButtonStop, ButtonVideoZoomIn, ButtonVideoZoomOut, ButtonFrameNext, ButtonFramePrev;
  QWidget PanelPlaySpeed;
  QToolButton SpeedHalf, SpeedDouble;
  QSlider TrackBarVolume{Qt::Horizontal};
  QCheckBox CheckBoxLoop;
  QTimer Timer;
  QTableView *ListView = nullptr;
  QStandardItemModel ListModel;
  QWidget *PanelControl = nullptr;
  kp::TBS_Image *ImageSeek = nullptr;
  kp::TImage SpeedImage, AzimutImage, GSensorImage, GraphImage;
  QObject Menu;

  std::unique_ptr<kp::TFilterGraph> Graph;
  std::unique_ptr<kp::TVideoWindow> Video;
  std::unique_ptr<kp::TSeekBitmap> SeekBitmap;
  std::unique_ptr<kp::TSpeedBitmap> SpeedBitmap;
  std::unique_ptr<kp::TAzimutBitmap> AzimutBitmap;
  std::unique_ptr<kp::TGSensorBitmap> GSensorBitmap;
  std::vector<std::unique_ptr<kp::TMyGraphic>> Graphs; // one speed graph
  kp::TFileManager Catalogue{false, [](int32_t) {}};
  TRecordingHost Host;
  TRecordingMap Map;
  kp::TMapViewState MapState;
  kp::TPlaybackState State;
  kp::TPlaybackControls Controls;
  std::unique_ptr<kp::TPositionModel> Model;
  std::unique_ptr<kp::TPlaybackLoop> Loop;
  std::unique_ptr<kp::TRecordingSelection> Selection;
};

} // namespace kptest
