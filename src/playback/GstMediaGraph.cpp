#include "GstMediaGraphImpl.h"

#include "DSUtil.h"
#include "Numbers.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <cmath>
#include <gst/audio/streamvolume.h>
#include <gst/pbutils/missing-plugins.h>

namespace kp {

namespace {

constexpr guint kPlayFlagVideo = 0x1, kPlayFlagAudio = 0x2, kPlayFlagSoftVolume = 0x10;

GstElement *makeFromDescription(const QString &description)
{
  GError *error = nullptr;
  GstElement *element = gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &error);
  if (error) g_error_free(error);
  return element;
}

// Whether a missing element would have decoded a stream of pictures, sound
// or text. A missing "decoder" of an application/ type is the file itself
// (an archive, a document): the file is no media file, not a stream without
// its codec.
bool missingStreamDecoder(GstMessage *message)
{
  const GstStructure *s = gst_message_get_structure(message);
  GstCaps *caps = nullptr;
  if (!s || !gst_structure_get(s, "detail", GST_TYPE_CAPS, &caps, nullptr) || !caps) return true;
  const bool application = gst_caps_get_size(caps) > 0 &&
                           g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "application/");
  gst_caps_unref(caps);
  return !application;
}

} // namespace

TGstMediaGraph::TGstMediaGraph(const TGstGraphOptions &options) : m_options(options)
{
  m_playbin = gst_element_factory_make("playbin", nullptr);
  if (!m_playbin) return;
  gst_object_ref_sink(m_playbin);
  // Video, audio and software volume only: the text track of our own cut
  // files must not be drawn over the picture.
  g_object_set(m_playbin, "flags", kPlayFlagVideo | kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
  if (!m_options.AudioSink.isEmpty())
    if (GstElement *audio = makeFromDescription(m_options.AudioSink)) g_object_set(m_playbin, "audio-sink", audio, nullptr);
  if ((m_panorama = gst_element_factory_make("audiopanorama", nullptr))) {
    g_object_set(m_panorama, "method", 1, nullptr); // simple: attenuate the other side only
    g_object_set(m_playbin, "audio-filter", m_panorama, nullptr);
  }
  applyVideoSink();
  m_bus = gst_element_get_bus(m_playbin);
  gst_bus_set_sync_handler(m_bus, &TGstMediaGraph::busSyncHandler, this, nullptr);
}

TGstMediaGraph::~TGstMediaGraph()
{
  if (!m_playbin) return;
  gst_element_set_state(m_playbin, GST_STATE_NULL);
  gst_bus_set_sync_handler(m_bus, nullptr, nullptr, nullptr);
  if (m_renderer) m_renderer->SetCrossing(nullptr);
  gst_object_unref(m_bus);
  gst_object_unref(m_playbin);
}

// ------------------------------------------------------------ the crossing

GstBusSyncReply TGstMediaGraph::busSyncHandler(GstBus *, GstMessage *, gpointer self)
{
  static_cast<TGstMediaGraph *>(self)->NotifyFromStreamingThread(kCrossBus);
  return GST_BUS_PASS;
}

void TGstMediaGraph::NotifyFromStreamingThread(unsigned bits)
{
  // Coalesced: one queued call however many frames and messages arrive.
  if (m_pending.fetch_or(bits) == 0) QMetaObject::invokeMethod(this, &TGstMediaGraph::onCrossing, Qt::QueuedConnection);
}

void TGstMediaGraph::onCrossing()
{
  const unsigned bits = m_pending.exchange(0);
  if (bits & kCrossBus) drainBus();
  if ((bits & kCrossFrame) && m_renderer) m_renderer->Frames()->Announce();
}

// ------------------------------------------------------------ bus and events

void TGstMediaGraph::drainBus()
{
  while (GstMessage *message = gst_bus_pop(m_bus)) {
    handleMessage(message);
    gst_message_unref(message);
  }
}

void TGstMediaGraph::handleMessage(GstMessage *message)
{
  switch (GST_MESSAGE_TYPE(message)) {
  case GST_MESSAGE_EOS:
    m_eos = true;
    postEvent(EC_COMPLETE, S_OK);
    break;
  case GST_MESSAGE_ERROR: {
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    m_lastError = error ? QString::fromUtf8(error->message) : QStringLiteral("Playback error");
    if (error) g_error_free(error);
    g_free(debug);
    SetErrorString(E_FAIL, m_lastError);
    postEvent(EC_ERRORABORT, E_FAIL);
    break;
  }
  case GST_MESSAGE_ELEMENT:
    if (gst_is_missing_plugin_message(message) && missingStreamDecoder(message)) {
      gchar *text = gst_missing_plugin_message_get_description(message);
      m_missing << QString::fromUtf8(text ? text : "unknown stream");
      g_free(text);
    }
    break;
  case GST_MESSAGE_ASYNC_DONE:
    m_seen |= wfAsyncDone;
    break;
  case GST_MESSAGE_STEP_DONE:
    m_seen |= wfStepDone;
    postEvent(EC_STEP_COMPLETE);
    break;
  case GST_MESSAGE_DURATION_CHANGED:
    m_durationNs = -1;
    break;
  default:
    break;
  }
}

void TGstMediaGraph::postEvent(int32_t code, intptr_t p1, intptr_t p2)
{
  m_events.push_back({code, p1, p2});
  if (m_notifyFlags == 0 && m_notify) m_notify();
}

HRESULT TGstMediaGraph::SetNotifyWindow(std::function<void()> notify)
{
  m_notify = std::move(notify);
  return S_OK;
}

HRESULT TGstMediaGraph::SetNotifyFlags(int32_t flags)
{
  m_notifyFlags = flags;
  return S_OK;
}

HRESULT TGstMediaGraph::GetEvent(int32_t &code, intptr_t &param1, intptr_t &param2, uint32_t)
{
  drainBus();
  if (m_events.empty()) return E_ABORT;
  const TEvent event = m_events.front();
  m_events.pop_front();
  code = event.Code;
  param1 = event.Param1;
  param2 = event.Param2;
  return S_OK;
}

HRESULT TGstMediaGraph::failure(HRESULT hr, const QString &text)
{
  SetErrorString(hr, text);
  return hr;
}

// Waits on the main thread for messages, handling every one on the way.
bool TGstMediaGraph::waitForBus(unsigned what, int timeoutMs)
{
  QElapsedTimer timer;
  timer.start();
  while (!(m_seen & what)) {
    const qint64 left = timeoutMs - timer.elapsed();
    if (left <= 0) return false;
    GstMessage *message = gst_bus_timed_pop(m_bus, static_cast<GstClockTime>(left) * GST_MSECOND);
    if (!message) return false;
    const bool isError = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
    handleMessage(message);
    gst_message_unref(message);
    if (isError) return false;
  }
  return true;
}

// ------------------------------------------------------------ filters

void TGstMediaGraph::applyVideoSink()
{
  GstElement *sink = m_renderer ? m_renderer->Element() : nullptr;
  if (sink) {
    g_object_set(m_playbin, "video-sink", sink, nullptr);
  } else {
    // Without a renderer member the picture is decoded and dropped; the
    // graph never opens a window of its own.
    GstElement *fake = gst_element_factory_make("fakesink", nullptr);
    g_object_set(fake, "sync", TRUE, nullptr);
    g_object_set(m_playbin, "video-sink", fake, nullptr);
  }
}

HRESULT TGstMediaGraph::AddFilter(const IBaseFilterPtr &filter, const QString &name)
{
  if (!filter) return E_POINTER;
  if (std::find(m_filters.begin(), m_filters.end(), filter) != m_filters.end()) return VFW_E_WRONG_STATE;
  if (auto sink = std::dynamic_pointer_cast<TGstVideoSink>(filter)) {
    if (m_renderer) return VFW_E_WRONG_STATE; // one picture per graph
    dropSource();
    m_renderer = sink;
    sink->SetName(name);
    sink->SetCrossing(this);
    applyVideoSink();
  } else if (auto plain = std::dynamic_pointer_cast<TGstPlainFilter>(filter)) {
    plain->SetName(name);
  } else if (!std::dynamic_pointer_cast<TGstSourceFilter>(filter)) {
    return E_INVALIDARG; // a filter of another layer
  }
  m_filters.push_back(filter);
  return S_OK;
}

HRESULT TGstMediaGraph::RemoveFilter(const IBaseFilterPtr &filter)
{
  auto it = std::find(m_filters.begin(), m_filters.end(), filter);
  if (it == m_filters.end()) return VFW_E_NOT_FOUND;
  m_filters.erase(it);
  if (filter == m_source) {
    dropSource();
  } else if (filter == m_renderer) {
    dropSource();
    m_renderer->SetCrossing(nullptr);
    m_renderer->Frames()->Clear();
    m_renderer.reset();
    applyVideoSink();
  }
  return S_OK;
}

std::vector<IBaseFilterPtr> TGstMediaGraph::EnumFilters() { return m_filters; }

// The pipeline leaves PAUSED: the source's streams no longer flow anywhere.
void TGstMediaGraph::dropSource()
{
  gst_element_set_state(m_playbin, GST_STATE_NULL);
  drainBus();
  if (!m_source) return;
  m_filters.erase(std::remove(m_filters.begin(), m_filters.end(), std::static_pointer_cast<IBaseFilter>(m_source)), m_filters.end());
  for (const IPinPtr &pin : m_source->EnumPins()) pin->Disconnect();
  m_source.reset();
  m_eos = false;
  m_stopped = true;
  m_stoppedAtNs = 0;
  m_durationNs = -1;
}

HRESULT TGstMediaGraph::AddSourceFilter(const QString &fileName, const QString &filterName, IBaseFilterPtr &filter)
{
  filter.reset();
  dropSource();
  m_rate = 1.0;
  m_stopNs = -1;
  m_missing.clear();
  m_lastError.clear();
  const QFileInfo info(fileName);
  if (!info.isFile()) return failure(VFW_E_NOT_FOUND_FILE, QStringLiteral("The file was not found: ") + fileName);
  gchar *uri = gst_filename_to_uri(info.absoluteFilePath().toUtf8().constData(), nullptr);
  g_object_set(m_playbin, "uri", uri, nullptr);
  g_free(uri);

  m_seen = 0;
  const GstStateChangeReturn change = gst_element_set_state(m_playbin, GST_STATE_PAUSED);
  GstState state = GST_STATE_NULL;
  GstStateChangeReturn result = change;
  if (change == GST_STATE_CHANGE_ASYNC)
    result = gst_element_get_state(m_playbin, &state, nullptr, static_cast<GstClockTime>(m_options.WaitTimeoutMs) * GST_MSECOND);
  drainBus();

  gint nVideo = 0, nAudio = 0, nText = 0;
  g_object_get(m_playbin, "n-video", &nVideo, "n-audio", &nAudio, "n-text", &nText, nullptr);
  std::vector<IPinPtr> pins;
  if (result == GST_STATE_CHANGE_SUCCESS || result == GST_STATE_CHANGE_NO_PREROLL) {
    for (int i = 0; i < nVideo; ++i) pins.push_back(std::make_shared<TGstStreamPin>(TStreamKind::Video, QStringLiteral("video"), true));
    for (int i = 0; i < nAudio; ++i) pins.push_back(std::make_shared<TGstStreamPin>(TStreamKind::Audio, QStringLiteral("audio"), true));
    for (int i = 0; i < nText; ++i) pins.push_back(std::make_shared<TGstStreamPin>(TStreamKind::Text, QStringLiteral("text"), true));
  } else if (result == GST_STATE_CHANGE_ASYNC) {
    gst_element_set_state(m_playbin, GST_STATE_NULL);
    return failure(VFW_E_TIMEOUT, QStringLiteral("The file did not open in time: ") + fileName);
  }
  for (const QString &missing : m_missing) pins.push_back(std::make_shared<TGstStreamPin>(TStreamKind::Other, missing, false));
  if (pins.empty()) {
    gst_element_set_state(m_playbin, GST_STATE_NULL);
    drainBus();
    return failure(VFW_E_UNSUPPORTED_STREAM, m_lastError.isEmpty() ? QStringLiteral("The file holds no stream that can be played.") : m_lastError);
  }
  if (result != GST_STATE_CHANGE_SUCCESS && result != GST_STATE_CHANGE_NO_PREROLL) {
    // Nothing decodable: keep the pins so each reports its codec failure.
    gst_element_set_state(m_playbin, GST_STATE_NULL);
    drainBus();
  }
  m_events.clear();
  m_eos = false;
  m_stopped = true;
  m_stoppedAtNs = 0;
  m_durationNs = -1;
  m_source = std::make_shared<TGstSourceFilter>(fileName, std::move(pins));
  m_source->SetName(filterName);
  m_filters.push_back(m_source);
  filter = m_source;
  return S_OK;
}

HRESULT TGstMediaGraph::Render(const IPinPtr &pin)
{
  auto stream = std::dynamic_pointer_cast<TGstStreamPin>(pin);
  if (!stream || !m_source) return E_INVALIDARG;
  if (!stream->Decodable())
    return failure(VFW_E_CANNOT_RENDER, QStringLiteral("No decoder for the stream: ") + stream->MediaType());
  stream->SetConnected(true);
  return S_OK;
}

// ------------------------------------------------------------ control

FILTER_STATE TGstMediaGraph::logicalState() const
{
  if (!m_source) return m_emptyState;
  if (m_stopped) return State_Stopped;
  GstState current = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
  gst_element_get_state(m_playbin, &current, &pending, 0);
  const GstState shown = pending != GST_STATE_VOID_PENDING ? pending : current;
  return shown == GST_STATE_PLAYING ? State_Running : shown == GST_STATE_PAUSED ? State_Paused : State_Stopped;
}

HRESULT TGstMediaGraph::changeState(GstState target, bool wait)
{
  GstState current = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
  gst_element_get_state(m_playbin, &current, &pending, 0);
  // Asking again for the state it is in would restart the clock base of the
  // pipeline and nudge the position of a paused picture.
  if (current == target && pending == GST_STATE_VOID_PENDING) return S_OK;
  m_seen = 0;
  const GstStateChangeReturn change = gst_element_set_state(m_playbin, target);
  if (change == GST_STATE_CHANGE_FAILURE) {
    drainBus();
    return failure(E_FAIL, m_lastError.isEmpty() ? QStringLiteral("The pipeline refused the state change.") : m_lastError);
  }
  if (change != GST_STATE_CHANGE_ASYNC) return S_OK;
  if (!wait) return S_FALSE;
  const GstStateChangeReturn result =
    gst_element_get_state(m_playbin, nullptr, nullptr, static_cast<GstClockTime>(m_options.WaitTimeoutMs) * GST_MSECOND);
  drainBus();
  if (result == GST_STATE_CHANGE_FAILURE)
    return failure(E_FAIL, m_lastError.isEmpty() ? QStringLiteral("The pipeline refused the state change.") : m_lastError);
  return result == GST_STATE_CHANGE_ASYNC ? S_FALSE : S_OK;
}

HRESULT TGstMediaGraph::Run()
{
  if (!m_source) {
    m_emptyState = State_Running;
    return S_OK;
  }
  if (logicalState() != State_Running) m_eos = false;
  m_stopped = false;
  return changeState(GST_STATE_PLAYING, false);
}

HRESULT TGstMediaGraph::Pause()
{
  if (!m_source) {
    m_emptyState = State_Paused;
    return S_OK;
  }
  if (logicalState() != State_Paused) m_eos = false;
  m_stopped = false;
  return changeState(GST_STATE_PAUSED, true);
}

// Logical: READY would lose the position and the duration.
HRESULT TGstMediaGraph::Stop()
{
  if (!m_source) {
    m_emptyState = State_Stopped;
    return S_OK;
  }
  if (logicalState() == State_Stopped) return S_OK;
  m_eos = false;
  const HRESULT hr = changeState(GST_STATE_PAUSED, true);
  if (FAILED(hr)) return hr;
  gint64 position = 0;
  m_stoppedAtNs = gst_element_query_position(m_playbin, GST_FORMAT_TIME, &position) && position > 0 ? position : 0;
  m_stopped = true;
  return S_OK;
}

HRESULT TGstMediaGraph::GetState(uint32_t timeoutMs, FILTER_STATE &state)
{
  drainBus();
  if (m_source && !m_stopped && timeoutMs > 0)
    gst_element_get_state(m_playbin, nullptr, nullptr, static_cast<GstClockTime>(timeoutMs) * GST_MSECOND);
  state = logicalState();
  if (!m_source || m_stopped) return S_OK;
  GstState current = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
  gst_element_get_state(m_playbin, &current, &pending, 0);
  return pending != GST_STATE_VOID_PENDING ? VFW_S_STATE_INTERMEDIATE : S_OK;
}

// ------------------------------------------------------------ seeking

gint64 TGstMediaGraph::durationNs()
{
  if (m_durationNs < 0 && m_source) {
    gint64 duration = -1;
    if (gst_element_query_duration(m_playbin, GST_FORMAT_TIME, &duration) && duration >= 0) m_durationNs = duration;
  }
  return m_durationNs;
}

HRESULT TGstMediaGraph::GetDuration(REFERENCE_TIME &duration)
{
  duration = 0;
  const gint64 ns = durationNs();
  if (ns < 0) return E_FAIL;
  duration = ns / 100;
  return S_OK;
}

HRESULT TGstMediaGraph::GetCurrentPosition(REFERENCE_TIME &current)
{
  current = 0;
  if (!m_source) return E_FAIL;
  drainBus();
  const gint64 duration = durationNs();
  if (m_eos && duration >= 0) {
    current = duration / 100;
    return S_OK;
  }
  gint64 position = -1;
  if (m_stopped)
    position = m_stoppedAtNs;
  else if (!gst_element_query_position(m_playbin, GST_FORMAT_TIME, &position) || position < 0)
    return E_FAIL;
  if (duration >= 0) position = std::min(position, duration);
  current = position / 100;
  return S_OK;
}

HRESULT TGstMediaGraph::GetPositions(REFERENCE_TIME &current, REFERENCE_TIME &stop)
{
  const HRESULT hr = GetCurrentPosition(current);
  const gint64 duration = durationNs();
  stop = m_stopNs >= 0 ? m_stopNs / 100 : (duration >= 0 ? duration / 100 : 0);
  return hr;
}

HRESULT TGstMediaGraph::seekTo(gint64 positionNs, double rate)
{
  const bool paused = logicalState() != State_Running;
  m_eos = false;
  m_seen = 0;
  // ACCURATE: the frame shown is the frame asked for (a key-unit seek would
  // land up to a GOP early and the caller's stored position would be wrong).
  const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
  const GstSeekType stopType = m_stopNs >= 0 ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE;
  if (!gst_element_seek(m_playbin, rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, positionNs, stopType, m_stopNs >= 0 ? m_stopNs : -1))
    return failure(E_FAIL, QStringLiteral("The stream refused the seek."));
  if (m_stopped) m_stoppedAtNs = positionNs;
  if (paused) {
    // A paused seek shows its frame before returning (preroll).
    gst_element_get_state(m_playbin, nullptr, nullptr, static_cast<GstClockTime>(m_options.WaitTimeoutMs) * GST_MSECOND);
    drainBus();
  }
  return S_OK;
}

HRESULT TGstMediaGraph::SetPositions(REFERENCE_TIME *current, uint32_t currentFlags, REFERENCE_TIME *stop, uint32_t stopFlags)
{
  if (!m_source) return VFW_E_WRONG_STATE;
  const uint32_t curMode = currentFlags & AM_SEEKING_PositioningBitsMask;
  const uint32_t stopMode = stopFlags & AM_SEEKING_PositioningBitsMask;
  if ((curMode && !current) || (stopMode && !stop)) return E_POINTER;
  const gint64 duration = durationNs();
  REFERENCE_TIME now = 0;
  GetCurrentPosition(now);
  if (stopMode) {
    REFERENCE_TIME s = stopMode == AM_SEEKING_AbsolutePositioning ? *stop : now + *stop;
    if (s < 0) s = 0;
    m_stopNs = s * 100;
    if (duration >= 0 && m_stopNs >= duration) m_stopNs = -1; // the end is the default stop
  }
  if (!curMode && !stopMode) return S_OK;
  REFERENCE_TIME target = curMode == AM_SEEKING_AbsolutePositioning ? *current : curMode ? now + *current : now;
  target = std::max<REFERENCE_TIME>(0, target);
  if (duration >= 0) target = std::min<REFERENCE_TIME>(target, duration / 100);
  const HRESULT hr = seekTo(target * 100, m_rate);
  if (SUCCEEDED(hr) && current && (currentFlags & AM_SEEKING_ReturnTime)) *current = target;
  return hr;
}

HRESULT TGstMediaGraph::SetRate(double rate)
{
  if (!std::isfinite(rate) || rate <= 0) return E_INVALIDARG;
  m_rate = rate;
  if (!m_source) return S_OK;
  REFERENCE_TIME now = 0;
  GetCurrentPosition(now);
  return seekTo(now * 100, rate);
}

HRESULT TGstMediaGraph::GetRate(double &rate)
{
  rate = m_rate;
  return S_OK;
}

// ------------------------------------------------------------ frame step

HRESULT TGstMediaGraph::CanStep(bool)
{
  return m_source && m_renderer ? S_OK : S_FALSE;
}

HRESULT TGstMediaGraph::Step(uint32_t frames)
{
  if (CanStep(false) != S_OK || frames == 0) return VFW_E_WRONG_STATE;
  if (logicalState() != State_Paused) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  m_eos = false;
  m_seen = 0;
  if (!gst_element_send_event(m_playbin, gst_event_new_step(GST_FORMAT_BUFFERS, frames, 1.0, TRUE, FALSE)))
    return failure(E_FAIL, QStringLiteral("The video renderer refused the frame step."));
  if (!waitForBus(wfStepDone, m_options.WaitTimeoutMs)) return VFW_E_TIMEOUT;
  // The stepped-to frame prerolls after the step completes.
  gst_element_get_state(m_playbin, nullptr, nullptr, static_cast<GstClockTime>(m_options.WaitTimeoutMs) * GST_MSECOND);
  drainBus();
  return S_OK;
}

HRESULT TGstMediaGraph::CancelStep()
{
  return S_OK;
}

// ------------------------------------------------------------ audio

HRESULT TGstMediaGraph::put_Volume(int32_t volume)
{
  if (volume < -10000 || volume > 0) return E_INVALIDARG;
  m_volume = volume;
  auto *stream = GST_STREAM_VOLUME(m_playbin);
  if (volume == -10000)
    gst_stream_volume_set_volume(stream, GST_STREAM_VOLUME_FORMAT_LINEAR, 0.0); // silence, not just -100 dB
  else
    gst_stream_volume_set_volume(stream, GST_STREAM_VOLUME_FORMAT_DB, volume / 100.0);
  return S_OK;
}

HRESULT TGstMediaGraph::get_Volume(int32_t &volume)
{
  volume = m_volume;
  return S_OK;
}

HRESULT TGstMediaGraph::put_Balance(int32_t balance)
{
  if (balance < -10000 || balance > 10000) return E_INVALIDARG;
  m_balance = balance;
  if (!m_panorama) return E_NOTIMPL;
  // The attenuated side loses |balance| hundredths of a dB.
  const double gain = balance == 0 ? 1.0 : std::pow(10.0, -std::abs(balance) / 2000.0);
  const double pan = balance < 0 ? -(1.0 - gain) : (1.0 - gain);
  g_object_set(m_panorama, "panorama", static_cast<gfloat>(pan), nullptr);
  return S_OK;
}

HRESULT TGstMediaGraph::get_Balance(int32_t &balance)
{
  balance = m_balance;
  return S_OK;
}

} // namespace kp
