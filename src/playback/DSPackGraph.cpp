#include "DSPack.h"

#include "GstMediaGraph.h"
#include "Numbers.h"
#include "VideoFrameSlot.h"

#include <QMetaObject>
#include <algorithm>

namespace kp {

TFilterGraph::TFilterGraph(IGraphFactoryPtr factory, QObject *parent)
  : QObject(parent), FFactory(factory ? std::move(factory) : CreateGstGraphFactory(TGstGraphOptions()))
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
    Activate();
  else
    Deactivate();
}

void TFilterGraph::SetMode(TGraphMode mode)
{
  if (mode == FMode) return;
  const bool wasActive = Active();
  SetActive(false);
  FMode = mode;
  SetActive(wasActive);
}

void TFilterGraph::Activate()
{
  if (FMode != gmNormal || !FFactory) return;
  FGraph = FFactory->CreateGraph();
  if (!FGraph) return; // stays inactive: nothing to build on, nothing raised
  FEvents = std::dynamic_pointer_cast<IMediaEventEx>(FGraph);
  if (FEvents) {
    FEvents->SetNotifyFlags(0);
    QPointer<TFilterGraph> self(this);
    FEvents->SetNotifyWindow([self] {
      if (self) self->ScheduleEventDrain();
    });
  }
  for (IGraphMember *member : std::vector<IGraphMember *>(FMembers)) AddMember(member);
  if (OnActivate) OnActivate();
  SendControlEvent(ceActive, 1);
}

void TFilterGraph::Deactivate()
{
  SendControlEvent(ceActive, 0);
  for (IGraphMember *member : std::vector<IGraphMember *>(FMembers)) RemoveMember(member);
  if (FEvents) {
    FEvents->SetNotifyFlags(1);
    FEvents->SetNotifyWindow(nullptr);
    FEvents.reset();
  }
  FGraph.reset();
}

void TFilterGraph::AddMember(IGraphMember *member)
{
  member->NotifyMember(gmoAdding, 0);
  if (IBaseFilterPtr filter = member->MemberFilter()) FGraph->AddFilter(filter, member->MemberName());
  member->NotifyMember(gmoAdded, 0);
}

void TFilterGraph::RemoveMember(IGraphMember *member)
{
  member->NotifyMember(gmoRemoving, 0);
  if (IBaseFilterPtr filter = member->MemberFilter()) FGraph->RemoveFilter(filter);
  member->NotifyMember(gmoRemoved, 0);
}

void TFilterGraph::InsertFilter(IGraphMember *member)
{
  if (!member) return;
  FMembers.push_back(member);
  if (Active()) AddMember(member);
}

void TFilterGraph::RemoveFilter(IGraphMember *member)
{
  auto it = std::find(FMembers.begin(), FMembers.end(), member);
  if (it == FMembers.end()) return;
  FMembers.erase(it);
  if (Active()) RemoveMember(member);
}

void TFilterGraph::InsertEventNotifier(IGraphListener *listener)
{
  if (listener) FListeners.push_back(listener);
}

void TFilterGraph::RemoveEventNotifier(IGraphListener *listener)
{
  auto it = std::find(FListeners.begin(), FListeners.end(), listener);
  if (it != FListeners.end()) FListeners.erase(it);
}

void TFilterGraph::SendControlEvent(int event, int param)
{
  for (IGraphListener *listener : std::vector<IGraphListener *>(FListeners)) listener->ControlEvent(event, param);
}

// Events are fetched later from the event loop, as a window message would
// be, so a listener never runs inside one of the graph's own calls.
void TFilterGraph::ScheduleEventDrain()
{
  if (FDrainQueued) return;
  FDrainQueued = true;
  QMetaObject::invokeMethod(
      this, [this] { DrainEvents(); }, Qt::QueuedConnection);
}

void TFilterGraph::DrainEvents()
{
  FDrainQueued = false;
  int32_t code = 0;
  intptr_t p1 = 0, p2 = 0;
  while (FEvents && FEvents->GetEvent(code, p1, p2, 0) == S_OK) {
    std::shared_ptr<IMediaEventEx> events = FEvents; // a listener may deactivate
    for (IGraphListener *listener : std::vector<IGraphListener *>(FListeners)) listener->GraphEvent(code, p1, p2);
    if (OnDSEvent) OnDSEvent(code, p1, p2);
    events->FreeEventParams(code, p1, p2);
  }
}

bool TFilterGraph::Play()
{
  auto control = QueryInterface<IMediaControl>();
  if (!control) return false;
  SendControlEvent(cePlay, 0);
  const HRESULT hr = CheckDSError(control->Run());
  return hr == S_OK || hr == S_FALSE;
}

bool TFilterGraph::Pause()
{
  auto control = QueryInterface<IMediaControl>();
  if (!control) return false;
  SendControlEvent(cePause, 0);
  return CheckDSError(control->Pause()) == S_OK;
}

bool TFilterGraph::Stop()
{
  auto control = QueryInterface<IMediaControl>();
  if (!control) return false;
  SendControlEvent(ceStop, 0);
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
  for (IGraphMember *member : FMembers)
    if (auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(member->MemberFilter()))
      renderer->Frames()->Announce();
}

void TFilterGraph::DisconnectFilters()
{
  if (!FGraph) return;
  TFilterList filters(FGraph.get());
  for (const IBaseFilterPtr &filter : filters.Items()) {
    TPinList pins(filter.get());
    for (int i = 0; i < pins.Count(); ++i) CheckDSError(pins[i]->Disconnect());
  }
}

void TFilterGraph::ClearGraph()
{
  if (!FGraph) return;
  Stop();
  DisconnectFilters();
  std::vector<IBaseFilterPtr> filters = TFilterList(FGraph.get()).Items();
  for (IGraphMember *member : FMembers) {
    const IBaseFilterPtr own = member->MemberFilter();
    filters.erase(std::remove(filters.begin(), filters.end(), own), filters.end());
  }
  for (const IBaseFilterPtr &filter : filters) CheckDSError(FGraph->RemoveFilter(filter));
}

void TFilterGraph::SetVolume(int32_t v)
{
  FVolume = Clamp<int32_t>(v, 0, 10000);
  if (auto audio = QueryInterface<IBasicAudio>())
    audio->put_Volume(FLinearVolume ? LinearToDBVolume(FVolume) : FVolume - 10000);
}

void TFilterGraph::SetBalance(int32_t b)
{
  FBalance = Clamp<int32_t>(b, -10000, 10000);
  if (auto audio = QueryInterface<IBasicAudio>())
    audio->put_Balance(FLinearVolume ? LinearToDBBalance(FBalance) : FBalance);
}

void TFilterGraph::SetLinearVolume(bool value)
{
  if (value == FLinearVolume) return;
  FLinearVolume = value;
  SetVolume(FVolume);
  SetBalance(FBalance);
}

void TFilterGraph::SetRate(double rate)
{
  FRate = rate;
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
  if (graph == FGraph) return;
  // Stored first: joining an active graph creates the filter at once, from
  // the new graph's factory.
  QPointer<TFilterGraph> old = FGraph;
  FGraph = graph;
  if (old) old->RemoveFilter(this);
  if (graph) graph->InsertFilter(this);
}

void TFilter::NotifyMember(int operation, int)
{
  switch (operation) {
  case gmoAdding: FFilter = FBaseFilter.CreateFilter(FGraph ? FGraph->Factory() : nullptr); break;
  case gmoRemoving:
    if (FFilter) {
      FILTER_STATE state = State_Stopped;
      if (FFilter->GetState(0, state) == S_OK && (state == State_Paused || state == State_Running)) FFilter->Stop();
    }
    break;
  case gmoRemoved: FFilter.reset(); break;
  case gmoRefresh:
    if (TFilterGraph *graph = FGraph) {
      graph->RemoveFilter(this);
      graph->InsertFilter(this);
    }
    break;
  default: break;
  }
}

} // namespace kp
