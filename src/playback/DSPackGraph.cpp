#include "DSPack.h"

#include "GstMediaGraph.h"
#include "Numbers.h"
#include "VideoFrameSlot.h"

#include <QMetaObject>
#include <algorithm>

namespace kp {

TFilterGraph::TFilterGraph(IGraphFactoryPtr factory, QObject *parent)
  : QObject(parent), m_factory(factory ? std::move(factory) : CreateGstGraphFactory(TGstGraphOptions()))
{
}

TFilterGraph::~TFilterGraph()
{
  SetActive(false);
}

void TFilterGraph::SetActive(bool active)
{
  if (active == Active()) return;
  if (active)
    activate();
  else
    deactivate();
}

void TFilterGraph::SetMode(TGraphMode mode)
{
  if (mode == m_mode) return;
  const bool wasActive = Active();
  SetActive(false);
  m_mode = mode;
  SetActive(wasActive);
}

void TFilterGraph::activate()
{
  if (m_mode != gmNormal || !m_factory) return;
  m_graph = m_factory->CreateGraph();
  if (!m_graph) return; // stays inactive: nothing to build on, nothing raised
  m_events = std::dynamic_pointer_cast<IMediaEventEx>(m_graph);
  if (m_events) {
    m_events->SetNotifyFlags(0);
    QPointer<TFilterGraph> self(this);
    m_events->SetNotifyWindow([self] {
      if (self) self->scheduleEventDrain();
    });
  }
  for (IGraphMember *member : std::vector<IGraphMember *>(m_members)) addMember(member);
  if (OnActivate) OnActivate();
  sendControlEvent(ceActive, 1);
}

void TFilterGraph::deactivate()
{
  sendControlEvent(ceActive, 0);
  for (IGraphMember *member : std::vector<IGraphMember *>(m_members)) removeMember(member);
  if (m_events) {
    m_events->SetNotifyFlags(1);
    m_events->SetNotifyWindow(nullptr);
    m_events.reset();
  }
  m_graph.reset();
}

void TFilterGraph::addMember(IGraphMember *member)
{
  member->NotifyMember(gmoAdding, 0);
  if (IBaseFilterPtr filter = member->MemberFilter()) m_graph->AddFilter(filter, member->MemberName());
  member->NotifyMember(gmoAdded, 0);
}

void TFilterGraph::removeMember(IGraphMember *member)
{
  member->NotifyMember(gmoRemoving, 0);
  if (IBaseFilterPtr filter = member->MemberFilter()) m_graph->RemoveFilter(filter);
  member->NotifyMember(gmoRemoved, 0);
}

void TFilterGraph::InsertFilter(IGraphMember *member)
{
  if (!member) return;
  m_members.push_back(member);
  if (Active()) addMember(member);
}

void TFilterGraph::RemoveFilter(IGraphMember *member)
{
  auto it = std::find(m_members.begin(), m_members.end(), member);
  if (it == m_members.end()) return;
  m_members.erase(it);
  if (Active()) removeMember(member);
}

void TFilterGraph::InsertEventNotifier(IGraphListener *listener)
{
  if (listener) m_listeners.push_back(listener);
}

void TFilterGraph::RemoveEventNotifier(IGraphListener *listener)
{
  auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
  if (it != m_listeners.end()) m_listeners.erase(it);
}

void TFilterGraph::sendControlEvent(int event, int param)
{
  for (IGraphListener *listener : std::vector<IGraphListener *>(m_listeners)) listener->ControlEvent(event, param);
}

// Events are fetched later from the event loop, as a window message would
// be, so a listener never runs inside one of the graph's own calls.
void TFilterGraph::scheduleEventDrain()
{
  if (m_drainQueued) return;
  m_drainQueued = true;
  QMetaObject::invokeMethod(this, [this] { drainEvents(); }, Qt::QueuedConnection);
}

void TFilterGraph::drainEvents()
{
  m_drainQueued = false;
  int32_t code = 0;
  intptr_t p1 = 0, p2 = 0;
  while (m_events && m_events->GetEvent(code, p1, p2, 0) == S_OK) {
    std::shared_ptr<IMediaEventEx> events = m_events; // a listener may deactivate
    for (IGraphListener *listener : std::vector<IGraphListener *>(m_listeners)) listener->GraphEvent(code, p1, p2);
    if (OnDSEvent) OnDSEvent(code, p1, p2);
    events->FreeEventParams(code, p1, p2);
  }
}

bool TFilterGraph::Play()
{
  auto control = QueryInterface<IMediaControl>();
  if (!control) return false;
  sendControlEvent(cePlay, 0);
  const HRESULT hr = CheckDSError(control->Run());
  return hr == S_OK || hr == S_FALSE;
}

bool TFilterGraph::Pause()
{
  auto control = QueryInterface<IMediaControl>();
  if (!control) return false;
  sendControlEvent(cePause, 0);
  return CheckDSError(control->Pause()) == S_OK;
}

bool TFilterGraph::Stop()
{
  auto control = QueryInterface<IMediaControl>();
  if (!control) return false;
  sendControlEvent(ceStop, 0);
  return CheckDSError(control->Stop()) == S_OK;
}

int TFilterGraph::GetState() const
{
  auto control = QueryInterface<IMediaControl>();
  if (!control) return psNotInitialised;
  FILTER_STATE state = static_cast<FILTER_STATE>(-1);
  control->GetState(0, state);
  switch (state) {
  case State_Stopped: return psStopped;
  case State_Paused: return psPaused;
  case State_Running: return psPlaying;
  default: return psNotInitialised;
  }
}

void TFilterGraph::SetState(int state)
{
  auto control = QueryInterface<IMediaControl>();
  if (!control) return;
  switch (state) {
  case psStopped: CheckDSError(control->Stop()); break;
  case psPaused: CheckDSError(control->Pause()); break;
  case psPlaying: CheckDSError(control->Run()); break;
  default: break;
  }
}

void TFilterGraph::RefreshPausedFrame()
{
  for (IGraphMember *member : m_members)
    if (auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(member->MemberFilter())) renderer->Frames()->Announce();
}

void TFilterGraph::DisconnectFilters()
{
  if (!m_graph) return;
  TFilterList filters(m_graph.get());
  for (const IBaseFilterPtr &filter : filters.Items()) {
    TPinList pins(filter.get());
    for (int i = 0; i < pins.Count(); ++i) CheckDSError(pins[i]->Disconnect());
  }
}

void TFilterGraph::ClearGraph()
{
  if (!m_graph) return;
  Stop();
  DisconnectFilters();
  std::vector<IBaseFilterPtr> filters = TFilterList(m_graph.get()).Items();
  for (IGraphMember *member : m_members) {
    const IBaseFilterPtr own = member->MemberFilter();
    filters.erase(std::remove(filters.begin(), filters.end(), own), filters.end());
  }
  for (const IBaseFilterPtr &filter : filters) CheckDSError(m_graph->RemoveFilter(filter));
}

void TFilterGraph::SetVolume(int32_t v)
{
  m_volume = Clamp<int32_t>(v, 0, 10000);
  if (auto audio = QueryInterface<IBasicAudio>())
    audio->put_Volume(m_linearVolume ? LinearToDBVolume(m_volume) : m_volume - 10000);
}

void TFilterGraph::SetBalance(int32_t b)
{
  m_balance = Clamp<int32_t>(b, -10000, 10000);
  if (auto audio = QueryInterface<IBasicAudio>())
    audio->put_Balance(m_linearVolume ? LinearToDBBalance(m_balance) : m_balance);
}

void TFilterGraph::SetLinearVolume(bool value)
{
  if (value == m_linearVolume) return;
  m_linearVolume = value;
  SetVolume(m_volume);
  SetBalance(m_balance);
}

void TFilterGraph::SetRate(double rate)
{
  m_rate = rate;
  if (auto seeking = QueryInterface<IMediaSeeking>()) seeking->SetRate(rate);
}

int32_t TFilterGraph::GetDuration() const
{
  auto seeking = QueryInterface<IMediaSeeking>();
  if (!seeking) return 0;
  REFERENCE_TIME duration = 0;
  if (FAILED(seeking->GetDuration(duration))) return 0;
  return RefTimeToMiliSec(duration);
}

// ------------------------------------------------------------------ TFilter

TFilter::TFilter(const QString &name, QObject *parent) : QObject(parent)
{
  setObjectName(name);
}

TFilter::~TFilter()
{
  SetFilterGraph(nullptr);
}

void TFilter::SetFilterGraph(TFilterGraph *graph)
{
  if (graph == m_graph) return;
  // Stored first: joining an active graph creates the filter at once, from
  // the new graph's factory.
  QPointer<TFilterGraph> old = m_graph;
  m_graph = graph;
  if (old) old->RemoveFilter(this);
  if (graph) graph->InsertFilter(this);
}

void TFilter::NotifyMember(int operation, int)
{
  switch (operation) {
  case gmoAdding:
    m_filter = m_baseFilter.CreateFilter(m_graph ? m_graph->Factory() : nullptr);
    break;
  case gmoRemoving:
    if (m_filter) {
      FILTER_STATE state = State_Stopped;
      if (m_filter->GetState(0, state) == S_OK && (state == State_Paused || state == State_Running)) m_filter->Stop();
    }
    break;
  case gmoRemoved:
    m_filter.reset();
    break;
  case gmoRefresh:
    if (TFilterGraph *graph = m_graph) {
      graph->RemoveFilter(this);
      graph->InsertFilter(this);
    }
    break;
  default:
    break;
  }
}

} // namespace kp
