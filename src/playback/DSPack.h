#pragma once
// The media-graph component and its members. TFilterGraph owns one graph
// object (GStreamer by default, see GstMediaGraph.h) and everything around
// it: activation, the member filters and the listeners, the play controls,
// volume, balance, rate and duration. The main window reaches the graph's
// other interfaces with QueryInterface<IGraphBuilder / IMediaSeeking /
// IMediaControl / IVideoFrameStep / IBasicAudio>() while it is active.
//
// All of it runs on the main thread.
//
// Typical use by the main window:
//   TFilterGraph graph;                      // GStreamer underneath
//   TVideoWindow video(panel);               // or TFilter FilterEVR + TEVR
//   video.SetFilterGraph(&graph); video.SetMode(vmVMR);
//   graph.SetActive(true);                   // adds the renderer
//   auto builder = graph.QueryInterface<IGraphBuilder>();
//   builder->AddSourceFilter(file, "File", source);  // prerolls; failure = splitter
//   for (pin : source->EnumPins()) builder->Render(pin);  // failure = codec
//   auto seeking = graph.QueryInterface<IMediaSeeking>();  // 100-ns units
//   graph.SetState(psPaused); graph.Play(); graph.GetState(); ...
//   graph.RefreshPausedFrame();              // redraw while paused
//   graph.SetActive(false);                  // removes the members first
// Play, Pause, Stop, SetState, ClearGraph and DisconnectFilters raise
// EDirectShowException; catch it where the program must go on.

#include "DSUtil.h"
#include "VideoPresenter.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace kp {

class TFilterGraph;

// Operations of IGraphMember::NotifyMember.
enum TGraphMemberOp : int { gmoAdding = 0, gmoAdded = 1, gmoRemoving = 2, gmoRemoved = 3, gmoRefresh = 4 };

// A component that puts one filter into the graph.
class IGraphMember {
public:
  virtual ~IGraphMember() = default;
  virtual IBaseFilterPtr MemberFilter() const = 0;
  virtual QString MemberName() const = 0;
  virtual void NotifyMember(int operation, int parameter) = 0;
};

// Control events of IGraphListener::ControlEvent.
enum TControlEvent : int { cePlay = 0, cePause = 1, ceStop = 2, ceDVDRendered = 6, ceActive = 7 };

class IGraphListener {
public:
  virtual ~IGraphListener() = default;
  virtual void GraphEvent(int32_t event, intptr_t param1, intptr_t param2) = 0;
  // ceActive: param 1 after activation, 0 before deactivation.
  virtual void ControlEvent(int event, int param) = 0;
};

enum TGraphMode { gmNormal = 0, gmCapture = 1, gmDVD = 2 };

// Play state codes of GetState / SetState.
enum TPlayState : int { psNotInitialised = 0, psStopped = 1, psPaused = 2, psPlaying = 3 };

class TFilterGraph : public QObject {
  Q_OBJECT
public:
  // A null factory means the GStreamer layer with its default options.
  explicit TFilterGraph(IGraphFactoryPtr factory = nullptr, QObject *parent = nullptr);
  ~TFilterGraph() override;

  IGraphFactory *Factory() const { return FFactory.get(); }

  // Activation creates the graph object and adds every member's filter; a
  // graph object that cannot be created leaves the component inactive
  // (state 0) without raising.
  bool Active() const { return FGraph != nullptr; }
  void SetActive(bool active);
  // Only gmNormal builds a graph; the capture and DVD modes are kept as
  // values and activate nothing.
  TGraphMode Mode() const { return FMode; }
  void SetMode(TGraphMode mode);
  // Stored only: graph inspection and build logs are not offered here.
  bool GraphEdit() const { return FGraphEdit; }
  void SetGraphEdit(bool value) { FGraphEdit = value; }
  QString LogFile() const { return FLogFile; }
  void SetLogFile(const QString &name) { FLogFile = name; }

  template <typename T>
  std::shared_ptr<T> QueryInterface() const
  {
    return std::dynamic_pointer_cast<T>(FGraph);
  }

  void InsertFilter(IGraphMember *member);
  void RemoveFilter(IGraphMember *member);
  void InsertEventNotifier(IGraphListener *listener);
  void RemoveEventNotifier(IGraphListener *listener);

  // Control event first, then the command; a failed command raises
  // EDirectShowException. False without a graph.
  bool Play();  // true for S_OK and S_FALSE
  bool Pause(); // true for S_OK only
  bool Stop();  // true for S_OK only
  int GetState() const;
  // 1 stop, 2 pause, 3 run; no control event; failure raises.
  void SetState(int state);
  // Repaints the frame a paused graph holds, on every renderer member. Use
  // it where the picture must be redrawn while paused: running and pausing
  // again would advance the video.
  void RefreshPausedFrame();

  // Stops, disconnects every pin and removes every filter that is not a
  // member's (source and decoders). Raises on a filter that will not go.
  void ClearGraph();
  void DisconnectFilters();

  int32_t Volume() const { return FVolume; }
  void SetVolume(int32_t v); // 0..10000, clamped
  int32_t Balance() const { return FBalance; }
  void SetBalance(int32_t b); // -10000..10000, clamped
  bool LinearVolume() const { return FLinearVolume; }
  void SetLinearVolume(bool value);
  double Rate() const { return FRate; }
  // Stored; applied at once only while active (activation does not apply it).
  void SetRate(double rate);
  // Milliseconds of the open file, 0 when unknown.
  int32_t GetDuration() const;

  std::function<void()> OnActivate;
  std::function<void(int32_t, intptr_t, intptr_t)> OnDSEvent;

private:
  void Activate();
  void Deactivate();
  void AddMember(IGraphMember *member);
  void RemoveMember(IGraphMember *member);
  void ScheduleEventDrain();
  void DrainEvents();
  void SendControlEvent(int event, int param);

  IGraphFactoryPtr FFactory;
  IMediaGraphPtr FGraph;
  std::shared_ptr<IMediaEventEx> FEvents;
  TGraphMode FMode = gmNormal;
  bool FGraphEdit = false;
  QString FLogFile;
  int32_t FVolume = 10000;
  int32_t FBalance = 0;
  double FRate = 1.0;
  bool FLinearVolume = true;
  bool FDrainQueued = false;
  std::vector<IGraphMember *> FMembers;
  std::vector<IGraphListener *> FListeners;
};

// A member filter described by a persisted filter (factory name or role).
class TFilter : public QObject, public IGraphMember {
  Q_OBJECT
public:
  explicit TFilter(const QString &name = QString(), QObject *parent = nullptr);
  ~TFilter() override;

  TBaseFilter &BaseFilter() { return FBaseFilter; }
  TFilterGraph *FilterGraph() const { return FGraph; }
  void SetFilterGraph(TFilterGraph *graph);

  IBaseFilterPtr MemberFilter() const override { return FFilter; }
  QString MemberName() const override { return objectName(); }
  void NotifyMember(int operation, int parameter) override;

  template <typename T>
  std::shared_ptr<T> QueryInterface() const
  {
    return std::dynamic_pointer_cast<T>(FFilter);
  }

private:
  TBaseFilter FBaseFilter;
  QPointer<TFilterGraph> FGraph;
  IBaseFilterPtr FFilter;
};

// ------------------------------------------------------------ video window

enum TVideoMode { vmNormal = 0, vmVMR = 1 };
enum TVMRVideoMode { vmrWindowed = 0, vmrWindowless = 1, vmrRenderless = 2 };
enum TVMRPreference : uint32_t {
  vpForceOffscreen = 1,
  vpForceOverlays = 2,
  vpForceMixer = 4,
  vpDoNotRenderColorKeyAndBorder = 8,
  vpRestrictToInitialMonitor = 16,
  vpPreferAGPMemWhenMixing = 32,
};

class TVideoWindow;

// Set-up of the mixing renderer. Changing a value while the owner is in
// vmVMR mode and joined to an active graph rebuilds the renderer.
class TVMROptions {
public:
  explicit TVMROptions(TVideoWindow *owner) : FOwner(owner) {}
  uint32_t Streams() const { return FStreams; }
  void SetStreams(uint32_t streams); // outside 1..16 becomes 1
  uint32_t Preferences() const { return FPreferences; }
  void SetPreferences(uint32_t preferences);
  TVMRVideoMode Mode() const { return FMode; }
  void SetMode(TVMRVideoMode mode);
  bool KeepAspectRatio() const { return FKeepAspectRatio; }
  void SetKeepAspectRatio(bool keep);

private:
  friend class TVideoWindow;
  TVideoWindow *FOwner;
  uint32_t FStreams = 4;
  uint32_t FPreferences = vpForceMixer;
  TVMRVideoMode FMode = vmrWindowed;
  bool FKeepAspectRatio = true;
};

// A widget that puts a video renderer into a TFilterGraph and paints its
// pictures. vmNormal (the "NUL" renderer) stretches the picture over the
// whole control and tells no native size; vmVMR letterboxes (with
// KeepAspectRatio), takes source and destination rectangles and flips, and
// gives snapshots. Both render from the same frame slot.
class TVideoWindow : public QWidget, public IGraphMember, public IGraphListener {
  Q_OBJECT
public:
  explicit TVideoWindow(QWidget *parent = nullptr);
  ~TVideoWindow() override;

  // Whether the mixing renderer can be made with this graph's factory (or
  // the default one when not joined).
  bool CheckVMR() const;
  TVideoMode Mode() const { return FMode; }
  void SetMode(TVideoMode mode); // vmVMR falls back to vmNormal when CheckVMR fails
  TVMROptions &VMROptions() { return FOptions; }
  TFilterGraph *FilterGraph() const { return FGraph; }
  void SetFilterGraph(TFilterGraph *graph);
  // Kept as values: the main window has its own full-screen window.
  bool FullScreen() const { return FFullScreen; }
  void SetFullScreen(bool value) { FFullScreen = value; }
  bool FullScreenTopMost() const { return FFullScreenTopMost; }
  void SetFullScreenTopMost(bool value) { FFullScreenTopMost = value; }

  // The renderer's current picture at full resolution (mixing renderer
  // only); false on vmNormal, without a renderer or before the first frame.
  bool VMRGetBitmap(QImage &image) const;

  // Windowless-control operations of the mixing renderer, which the plain
  // renderer answers too (all but the mirror).
  // Native size and aspect pair; false when unknown.
  bool GetNativeVideoSize(int &width, int &height, int &aspectWidth, int &aspectHeight) const;
  // Source in video pixels (empty = whole picture) and destination in this
  // control's pixels (empty = whole control).
  void SetVideoPosition(const QRect &source, const QRect &dest);
  void RepaintVideo() { FPresenter.Repaint(); }
  // Mixer output rectangle: (0,0,1,1) with left/right exchanged flips
  // horizontally, top/bottom exchanged flips vertically.
  void SetOutputRect(const TNormalizedRect &rect);

  TVideoPresenter &Presenter() { return FPresenter; }
  IBaseFilterPtr Renderer() const { return FRenderer; }

  IBaseFilterPtr MemberFilter() const override { return FRenderer; }
  QString MemberName() const override { return objectName(); }
  void NotifyMember(int operation, int parameter) override;
  void GraphEvent(int32_t event, intptr_t param1, intptr_t param2) override;
  void ControlEvent(int, int) override {}

signals:
  void DoubleClicked();

protected:
  void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
  friend class TVMROptions;
  void Rebuild();
  void ApplyPresentation();

  TVideoMode FMode = vmNormal;
  TVMROptions FOptions{this};
  QPointer<TFilterGraph> FGraph;
  IBaseFilterPtr FRenderer;
  TVideoPresenter FPresenter;
  QRect FSourcePixels;
  bool FFullScreen = false;
  bool FFullScreenTopMost = false;
};

} // namespace kp
