#include "FakeMediaGraph.h"

#include "DSUtil.h"
#include "Numbers.h"

#include <algorithm>

namespace kp {

namespace {

class TFakePin : public IPin {
public:
  TFakePin(TFakeStream stream, TFakeScriptPtr script) : m_stream(stream), m_script(std::move(script)) {}
  TStreamKind Kind() const override { return m_stream.Kind; }
  QString MediaType() const override
  {
    switch (m_stream.Kind) {
    case TStreamKind::Video: return QStringLiteral("video");
    case TStreamKind::Audio: return QStringLiteral("audio");
    case TStreamKind::Text: return QStringLiteral("text");
    default: return QStringLiteral("other");
    }
  }
  bool IsConnected() const override { return m_connected; }
  HRESULT Disconnect() override
  {
    const HRESULT hr = m_script->TakeFailure(QStringLiteral("Disconnect"));
    if (FAILED(hr)) return hr;
    m_connected = false;
    return S_OK;
  }
  bool Decodable() const { return m_stream.Decodable; }
  void Connect() { m_connected = true; }

private:
  TFakeStream m_stream;
  TFakeScriptPtr m_script;
  bool m_connected = false;
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
  m_script->Log << QStringLiteral("Filter.Stop ") + m_name;
  m_state = State_Stopped;
  return S_OK;
}

void TFakeVideoRenderer::Deliver(const QImage &image, int parN, int parD, REFERENCE_TIME time)
{
  TVideoFrame frame;
  frame.Image = image;
  frame.ParN = parN;
  frame.ParD = parD;
  frame.Time = time;
  m_slot->SetFormat(image.size(), parN, parD);
  m_slot->Store(frame);
  m_slot->Announce();
}

// ------------------------------------------------------------ graph

HRESULT TFakeMediaGraph::AddFilter(const IBaseFilterPtr &filter, const QString &name)
{
  if (!filter) return E_POINTER;
  m_script->Log << QStringLiteral("AddFilter ") + name;
  if (auto fake = std::dynamic_pointer_cast<TFakeFilter>(filter)) fake->SetName(name);
  m_filters.push_back(filter);
  return S_OK;
}

HRESULT TFakeMediaGraph::RemoveFilter(const IBaseFilterPtr &filter)
{
  m_script->Log << QStringLiteral("RemoveFilter ") + (filter ? filter->FilterName() : QString());
  const HRESULT hr = m_script->TakeFailure(QStringLiteral("RemoveFilter"));
  if (FAILED(hr)) return hr;
  auto it = std::find(m_filters.begin(), m_filters.end(), filter);
  if (it == m_filters.end()) return VFW_E_NOT_FOUND;
  m_filters.erase(it);
  if (filter == m_source) {
    m_source.reset();
    m_eos = false;
  }
  return S_OK;
}

HRESULT TFakeMediaGraph::AddSourceFilter(const QString &fileName, const QString &filterName, IBaseFilterPtr &filter)
{
  m_script->Log << QStringLiteral("AddSourceFilter ") + fileName;
  filter.reset();
  auto it = m_script->Files.find(fileName);
  if (it == m_script->Files.end()) {
    SetErrorString(VFW_E_UNSUPPORTED_STREAM, QStringLiteral("No splitter for ") + fileName);
    return VFW_E_UNSUPPORTED_STREAM;
  }
  auto source = std::make_shared<TFakeFilter>(QStringLiteral("source"), m_script);
  source->SetName(filterName);
  for (const TFakeStream &stream : it->second.Streams) source->Pins().push_back(std::make_shared<TFakePin>(stream, m_script));
  if (m_source) RemoveFilter(m_source);
  m_source = source;
  m_filters.push_back(source);
  m_duration = it->second.Duration;
  m_position = 0;
  m_stop = -1;
  m_rate = 1.0;
  m_eos = false;
  m_state = State_Stopped;
  filter = source;
  return S_OK;
}

HRESULT TFakeMediaGraph::Render(const IPinPtr &pin)
{
  auto fake = std::dynamic_pointer_cast<TFakePin>(pin);
  if (!fake) return E_INVALIDARG;
  m_script->Log << QStringLiteral("Render ") + fake->MediaType();
  if (!fake->Decodable()) return VFW_E_CANNOT_RENDER;
  fake->Connect();
  return S_OK;
}

void TFakeMediaGraph::changeState(FILTER_STATE target)
{
  if (target != m_state) m_eos = false;
  m_state = target;
}

HRESULT TFakeMediaGraph::Run()
{
  m_script->Log << QStringLiteral("Run");
  const HRESULT hr = m_script->TakeFailure(QStringLiteral("Run"));
  if (FAILED(hr)) return hr;
  changeState(State_Running);
  return S_OK;
}

HRESULT TFakeMediaGraph::Pause()
{
  m_script->Log << QStringLiteral("Pause");
  const HRESULT hr = m_script->TakeFailure(QStringLiteral("Pause"));
  if (FAILED(hr)) return hr;
  changeState(State_Paused);
  return S_OK;
}

HRESULT TFakeMediaGraph::Stop()
{
  m_script->Log << QStringLiteral("Stop");
  const HRESULT hr = m_script->TakeFailure(QStringLiteral("Stop"));
  if (FAILED(hr)) return hr;
  changeState(State_Stopped);
  return S_OK;
}

HRESULT TFakeMediaGraph::GetState(uint32_t, FILTER_STATE &state)
{
  if (m_script->IntermediateState >= 0) {
    state = static_cast<FILTER_STATE>(m_script->IntermediateState);
    return VFW_S_STATE_INTERMEDIATE;
  }
  state = m_state;
  return S_OK;
}

HRESULT TFakeMediaGraph::GetDuration(REFERENCE_TIME &duration)
{
  duration = m_source ? m_duration : 0;
  return m_source ? S_OK : E_FAIL;
}

HRESULT TFakeMediaGraph::GetCurrentPosition(REFERENCE_TIME &current)
{
  current = m_eos ? m_duration : m_position;
  return m_source ? S_OK : E_FAIL;
}

HRESULT TFakeMediaGraph::GetPositions(REFERENCE_TIME &current, REFERENCE_TIME &stop)
{
  GetCurrentPosition(current);
  stop = m_stop >= 0 ? m_stop : m_duration;
  return m_source ? S_OK : E_FAIL;
}

HRESULT TFakeMediaGraph::SetPositions(REFERENCE_TIME *current, uint32_t currentFlags, REFERENCE_TIME *stop, uint32_t stopFlags)
{
  m_script->Log << QStringLiteral("SetPositions %1 %2 %3 %4")
                     .arg(current ? *current : -1)
                     .arg(currentFlags)
                     .arg(stop ? *stop : -1)
                     .arg(stopFlags);
  const HRESULT hr = m_script->TakeFailure(QStringLiteral("SetPositions"));
  if (FAILED(hr)) return hr;
  if (!m_source) return VFW_E_WRONG_STATE;
  const uint32_t curMode = currentFlags & AM_SEEKING_PositioningBitsMask;
  const uint32_t stopMode = stopFlags & AM_SEEKING_PositioningBitsMask;
  if (stopMode && stop) m_stop = stopMode == AM_SEEKING_AbsolutePositioning ? *stop : m_position + *stop;
  if (curMode && current) {
    const REFERENCE_TIME target = curMode == AM_SEEKING_AbsolutePositioning ? *current : m_position + *current;
    m_position = Clamp<REFERENCE_TIME>(target, 0, m_duration);
    m_eos = false;
  }
  return S_OK;
}

HRESULT TFakeMediaGraph::SetRate(double rate)
{
  m_script->Log << QStringLiteral("SetRate ") + QString::number(rate);
  if (!(rate > 0)) return E_INVALIDARG;
  m_rate = rate;
  return S_OK;
}

HRESULT TFakeMediaGraph::Step(uint32_t frames)
{
  m_script->Log << QStringLiteral("Step %1").arg(frames);
  if (!m_source) return VFW_E_WRONG_STATE;
  m_state = State_Paused;
  m_eos = false;
  m_position = std::min(m_duration, m_position + m_script->FrameDuration * static_cast<REFERENCE_TIME>(frames));
  PostEvent(EC_STEP_COMPLETE);
  return S_OK;
}

HRESULT TFakeMediaGraph::put_Volume(int32_t volume)
{
  m_script->Log << QStringLiteral("put_Volume %1").arg(volume);
  m_volume = volume;
  return S_OK;
}

HRESULT TFakeMediaGraph::put_Balance(int32_t balance)
{
  m_script->Log << QStringLiteral("put_Balance %1").arg(balance);
  m_balance = balance;
  return S_OK;
}

HRESULT TFakeMediaGraph::GetEvent(int32_t &code, intptr_t &param1, intptr_t &param2, uint32_t)
{
  if (m_events.empty()) return E_ABORT;
  code = m_events.front().Code;
  param1 = m_events.front().P1;
  param2 = m_events.front().P2;
  m_events.erase(m_events.begin());
  return S_OK;
}

void TFakeMediaGraph::PostEvent(int32_t code, intptr_t p1, intptr_t p2)
{
  m_events.push_back({code, p1, p2});
  if (m_notifyFlags == 0 && m_notify) m_notify();
}

void TFakeMediaGraph::Advance(int64_t wallMs)
{
  if (m_state != State_Running || !m_source || m_eos) return;
  m_position += static_cast<REFERENCE_TIME>(Round(static_cast<double>(wallMs) * 10000.0 * m_rate));
  const REFERENCE_TIME end = m_stop >= 0 ? std::min(m_stop, m_duration) : m_duration;
  if (m_position >= end) {
    m_position = end;
    m_eos = true;
    PostEvent(EC_COMPLETE);
  }
}

// ------------------------------------------------------------ factory

IMediaGraphPtr TFakeGraphFactory::CreateGraph()
{
  m_script->Log << QStringLiteral("CreateGraph");
  if (m_script->FailCreate) return nullptr;
  auto graph = std::make_shared<TFakeMediaGraph>(m_script);
  m_script->Current = graph;
  return graph;
}

IBaseFilterPtr TFakeGraphFactory::CreateFilter(const QString &description)
{
  if (description == QLatin1String("missing")) return nullptr;
  if (description == QLatin1String("video-renderer") && m_script->NoVideoRenderer) return nullptr;
  if (description == QLatin1String("video-renderer")) return std::make_shared<TFakeVideoRenderer>(m_script);
  return std::make_shared<TFakeFilter>(description, m_script);
}

} // namespace kp
