#pragma once
// The media-graph component and its members. TFilterGraph owns one graph
// object (GStreamer by default, see GstMediaGraph.h) and everything around
// it: activation, the member filters and the listeners, the play controls,
// volume, balance, rate and duration. The main window reaches the graph's
// other interfaces with QueryInterface<IGraphBuilder / IMediaSeeking /
// IMediaControl / IVideoFrameStep / IBasicAudio>() while it is active.
//
// All of it runs on the main thread.

#include "DSUtil.h"

#include <QObject>
#include <QPointer>
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

  IGraphFactory *Factory() const { return m_factory.get(); }

  // Activation creates the graph object and adds every member's filter; a
  // graph object that cannot be created leaves the component inactive
  // (state 0) without raising.
  bool Active() const { return m_graph != nullptr; }
  void SetActive(bool active);
  // Only gmNormal builds a graph; the capture and DVD modes are kept as
  // values and activate nothing.
  TGraphMode Mode() const { return m_mode; }
  void SetMode(TGraphMode mode);
  // Stored only: graph inspection and build logs are not offered here.
  bool GraphEdit() const { return m_graphEdit; }
  void SetGraphEdit(bool value) { m_graphEdit = value; }
  QString LogFile() const { return m_logFile; }
  void SetLogFile(const QString &name) { m_logFile = name; }

  template <typename T>
  std::shared_ptr<T> QueryInterface() const { return std::dynamic_pointer_cast<T>(m_graph); }

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

  // Stops, disconnects every pin and removes every filter that is not a
  // member's (source and decoders). Raises on a filter that will not go.
  void ClearGraph();
  void DisconnectFilters();

  int32_t Volume() const { return m_volume; }
  void SetVolume(int32_t v); // 0..10000, clamped
  int32_t Balance() const { return m_balance; }
  void SetBalance(int32_t b); // -10000..10000, clamped
  bool LinearVolume() const { return m_linearVolume; }
  void SetLinearVolume(bool value);
  double Rate() const { return m_rate; }
  // Stored; applied at once only while active (activation does not apply it).
  void SetRate(double rate);
  // Milliseconds of the open file, 0 when unknown.
  int32_t GetDuration() const;

  std::function<void()> OnActivate;
  std::function<void(int32_t, intptr_t, intptr_t)> OnDSEvent;

private:
  void activate();
  void deactivate();
  void addMember(IGraphMember *member);
  void removeMember(IGraphMember *member);
  void scheduleEventDrain();
  void drainEvents();
  void sendControlEvent(int event, int param);

  IGraphFactoryPtr m_factory;
  IMediaGraphPtr m_graph;
  std::shared_ptr<IMediaEventEx> m_events;
  TGraphMode m_mode = gmNormal;
  bool m_graphEdit = false;
  QString m_logFile;
  int32_t m_volume = 10000;
  int32_t m_balance = 0;
  double m_rate = 1.0;
  bool m_linearVolume = true;
  bool m_drainQueued = false;
  std::vector<IGraphMember *> m_members;
  std::vector<IGraphListener *> m_listeners;
};

// A member filter described by a persisted filter (factory name or role).
class TFilter : public QObject, public IGraphMember {
  Q_OBJECT
public:
  explicit TFilter(const QString &name = QString(), QObject *parent = nullptr);
  ~TFilter() override;

  TBaseFilter &BaseFilter() { return m_baseFilter; }
  TFilterGraph *FilterGraph() const { return m_graph; }
  void SetFilterGraph(TFilterGraph *graph);

  IBaseFilterPtr MemberFilter() const override { return m_filter; }
  QString MemberName() const override { return objectName(); }
  void NotifyMember(int operation, int parameter) override;

  template <typename T>
  std::shared_ptr<T> QueryInterface() const { return std::dynamic_pointer_cast<T>(m_filter); }

private:
  TBaseFilter m_baseFilter;
  QPointer<TFilterGraph> m_graph;
  IBaseFilterPtr m_filter;
};

} // namespace kp
