#include "FakeMediaGraph.h"

#include "DSUtil.h"
#include "Numbers.h"

#include <algorithm>

namespace kp {

namespace {

class TFakePin : public IPin {
public:
  TFakePin(TFakeStream stream, TFakeScriptPtr script) : FStream(stream), FScript(std::move(script)) {}
  TStreamKind Kind() const override { return FStream.Kind; }
  QString MediaType() const override
  {
    switch (FStream.Kind) {
    case TStreamKind::Video: return QStringLiteral("video");
    case TStreamKind::Audio: return QStringLiteral("audio");
    case TStreamKind::Text: return QStringLiteral("text");
    default: return QStringLiteral("other");
    }
  }
  bool IsConnected() const override { return FConnected; }
  HRESULT Disconnect() override
  {
    const HRESULT hr = FScript->TakeFailure(QStringLiteral("Disconnect"));
    if (FAILED(hr)) return hr;
    FConnected = false;
    return S_OK;
  }
  bool Decodable() const { return FStream.Decodable; }
  void Connect() { FConnected = true; }

private:
  TFakeStream FStream;
  TFakeScriptPtr FScript;
  bool FConnected = false;
};

} // namespace

void TFakeScript::AdvanceClock(int64_t wallMs)
{
  if (auto graph = Current.lock()) graph->Advance(wallMs);
}

HRESULT TFakeScript::TakeFailure(const QString &call)
{
  auto it = FailNext.find(call);
  if (it == FailNext.end()) return S_OK;
  const HRESULT hr = it->second;
  FailNext.erase(it);
  return hr;
}

HRESULT TFakeFilter::Stop()
{
  FScript->Log << QStringLiteral("Filter.Stop ") + FName;
  FState = State_Stopped;
  return S_OK;
}

void TFakeVideoRenderer::Deliver(const QImage &image, int parN, int parD, REFERENCE_TIME time)
{
  TVideoFrame frame;
  frame.Image = image;
  frame.ParN = parN;
  frame.ParD = parD;
  frame.Time = time;
  FSlot->SetFormat(image.size(), parN, parD);
  FSlot->Store(frame);
  FSlot->Announce();
}

// ------------------------------------------------------------ graph

HRESULT TFakeMediaGraph::AddFilter(const IBaseFilterPtr &filter, const QString &name)
{
  if (!filter) return E_POINTER;
  FScript->Log << QStringLiteral("AddFilter ") + name;
  if (auto fake = std::dynamic_pointer_cast<TFakeFilter>(filter)) fake->SetName(name);
  FFilters.push_back(filter);
  return S_OK;
}

HRESULT TFakeMediaGraph::RemoveFilter(const IBaseFilterPtr &filter)
{
  FScript->Log << QStringLiteral("RemoveFilter ") + (filter ? filter->FilterName() : QString());
  const HRESULT hr = FScript->TakeFailure(QStringLiteral("RemoveFilter"));
  if (FAILED(hr)) return hr;
  auto it = std::find(FFilters.begin(), FFilters.end(), filter);
  if (it == FFilters.end()) return VFW_E_NOT_FOUND;
  FFilters.erase(it);
  if (filter == FSource) {
    FSource.reset();
    FEos = false;
  }
  return S_OK;
}

HRESULT TFakeMediaGraph::AddSourceFilter(const QString &fileName, const QString &filterName, IBaseFilterPtr &filter)
{
  FScript->Log << QStringLiteral("AddSourceFilter ") + fileName;
  filter.reset();
  auto it = FScript->Files.find(fileName);
  if (it == FScript->Files.end()) {
    SetErrorString(VFW_E_UNSUPPORTED_STREAM, QStringLiteral("No splitter for ") + fileName);
    return VFW_E_UNSUPPORTED_STREAM;
  }
  auto source = std::make_shared<TFakeFilter>(QStringLiteral("source"), FScript);
  source->SetName(filterName);
  for (const TFakeStream &stream : it->second.Streams)
    source->Pins().push_back(std::make_shared<TFakePin>(stream, FScript));
  if (FSource) RemoveFilter(FSource);
  FSource = source;
  FFilters.push_back(source);
  FDuration = it->second.Duration;
  FPosition = 0;
  FStop = -1;
  FRate = 1.0;
  FEos = false;
  FState = State_Stopped;
  filter = source;
  return S_OK;
}

HRESULT TFakeMediaGraph::Render(const IPinPtr &pin)
{
  auto fake = std::dynamic_pointer_cast<TFakePin>(pin);
  if (!fake) return E_INVALIDARG;
  FScript->Log << QStringLiteral("Render ") + fake->MediaType();
  if (!fake->Decodable()) return VFW_E_CANNOT_RENDER;
  fake->Connect();
  return S_OK;
}

void TFakeMediaGraph::ChangeState(FILTER_STATE target)
{
  if (target != FState) FEos = false;
  FState = target;
}

HRESULT TFakeMediaGraph::Run()
{
  FScript->Log << QStringLiteral("Run");
  const HRESULT hr = FScript->TakeFailure(QStringLiteral("Run"));
  if (FAILED(hr)) return hr;
  ChangeState(State_Running);
  return S_OK;
}

HRESULT TFakeMediaGraph::Pause()
{
  FScript->Log << QStringLiteral("Pause");
  const HRESULT hr = FScript->TakeFailure(QStringLiteral("Pause"));
  if (FAILED(hr)) return hr;
  ChangeState(State_Paused);
  return S_OK;
}

HRESULT TFakeMediaGraph::Stop()
{
  FScript->Log << QStringLiteral("Stop");
  const HRESULT hr = FScript->TakeFailure(QStringLiteral("Stop"));
  if (FAILED(hr)) return hr;
  ChangeState(State_Stopped);
  return S_OK;
}

HRESULT TFakeMediaGraph::GetState(uint32_t, FILTER_STATE &state)
{
  if (FScript->IntermediateState >= 0) {
    state = static_cast<FILTER_STATE>(FScript->IntermediateState);
    return VFW_S_STATE_INTERMEDIATE;
  }
  state = FState;
  return S_OK;
}

HRESULT TFakeMediaGraph::GetDuration(REFERENCE_TIME &duration)
{
  duration = FSource ? FDuration : 0;
  return FSource ? S_OK : E_FAIL;
}

HRESULT TFakeMediaGraph::GetCurrentPosition(REFERENCE_TIME &current)
{
  current = FEos ? FDuration : FPosition;
  return FSource ? S_OK : E_FAIL;
}

HRESULT TFakeMediaGraph::GetPositions(REFERENCE_TIME &current, REFERENCE_TIME &stop)
{
  GetCurrentPosition(current);
  stop = FStop >= 0 ? FStop : FDuration;
  return FSource ? S_OK : E_FAIL;
}

HRESULT TFakeMediaGraph::SetPositions(REFERENCE_TIME *current, uint32_t currentFlags, REFERENCE_TIME *stop,
                                      uint32_t stopFlags)
{
  FScript->Log << QStringLiteral("SetPositions %1 %2 %3 %4")
                      .arg(current ? *current : -1)
                      .arg(currentFlags)
                      .arg(stop ? *stop : -1)
                      .arg(stopFlags);
  const HRESULT hr = FScript->TakeFailure(QStringLiteral("SetPositions"));
  if (FAILED(hr)) return hr;
  if (!FSource) return VFW_E_WRONG_STATE;
  const uint32_t curMode = currentFlags & AM_SEEKING_PositioningBitsMask;
  const uint32_t stopMode = stopFlags & AM_SEEKING_PositioningBitsMask;
  if (stopMode && stop) FStop = stopMode == AM_SEEKING_AbsolutePositioning ? *stop : FPosition + *stop;
  if (curMode && current) {
    const REFERENCE_TIME target = curMode == AM_SEEKING_AbsolutePositioning ? *current : FPosition + *current;
    FPosition = Clamp<REFERENCE_TIME>(target, 0, FDuration);
    FEos = false;
  }
  return S_OK;
}

HRESULT TFakeMediaGraph::SetRate(double rate)
{
  FScript->Log << QStringLiteral("SetRate ") + QString::number(rate);
  if (!(rate > 0)) return E_INVALIDARG;
  FRate = rate;
  return S_OK;
}

HRESULT TFakeMediaGraph::Step(uint32_t frames)
{
  FScript->Log << QStringLiteral("Step %1").arg(frames);
  if (!FSource) return VFW_E_WRONG_STATE;
  FState = State_Paused;
  FEos = false;
  FPosition = std::min(FDuration, FPosition + FScript->FrameDuration * static_cast<REFERENCE_TIME>(frames));
  PostEvent(EC_STEP_COMPLETE);
  return S_OK;
}

HRESULT TFakeMediaGraph::put_Volume(int32_t volume)
{
  FScript->Log << QStringLiteral("put_Volume %1").arg(volume);
  FVolume = volume;
  return S_OK;
}

HRESULT TFakeMediaGraph::put_Balance(int32_t balance)
{
  FScript->Log << QStringLiteral("put_Balance %1").arg(balance);
  FBalance = balance;
  return S_OK;
}

HRESULT TFakeMediaGraph::GetEvent(int32_t &code, intptr_t &param1, intptr_t &param2, uint32_t)
{
  if (FEvents.empty()) return E_ABORT;
  code = FEvents.front().Code;
  param1 = FEvents.front().P1;
  param2 = FEvents.front().P2;
  FEvents.erase(FEvents.begin());
  return S_OK;
}

void TFakeMediaGraph::PostEvent(int32_t code, intptr_t p1, intptr_t p2)
{
  FEvents.push_back({code, p1, p2});
  if (FNotifyFlags == 0 && FNotify) FNotify();
}

void TFakeMediaGraph::Advance(int64_t wallMs)
{
  if (FState != State_Running || !FSource || FEos) return;
  FPosition += static_cast<REFERENCE_TIME>(Round(static_cast<double>(wallMs) * 10000.0 * FRate));
  const REFERENCE_TIME end = FStop >= 0 ? std::min(FStop, FDuration) : FDuration;
  if (FPosition >= end) {
    FPosition = end;
    FEos = true;
    PostEvent(EC_COMPLETE);
  }
}

// ------------------------------------------------------------ factory

IMediaGraphPtr TFakeGraphFactory::CreateGraph()
{
  FScript->Log << QStringLiteral("CreateGraph");
  if (FScript->FailCreate) return nullptr;
  auto graph = std::make_shared<TFakeMediaGraph>(FScript);
  FScript->Current = graph;
  return graph;
}

IBaseFilterPtr TFakeGraphFactory::CreateFilter(const QString &description)
{
  if (description == QLatin1String("missing")) return nullptr;
  if (description == QLatin1String("video-renderer") && FScript->NoVideoRenderer) return nullptr;
  if (description == QLatin1String("video-renderer")) return std::make_shared<TFakeVideoRenderer>(FScript);
  return std::make_shared<TFakeFilter>(description, FScript);
}

} // namespace kp
