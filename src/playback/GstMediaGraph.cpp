#include "GstMediaGraphImpl.h"

#include "DSUtil.h"
#include "GstErrorCopies.h"
#include "PlaybackLog.h"
#include "Numbers.h"
#include "UnitTranslate.h"

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
// How far before the end a seek to the end lands: inside the last frame at
// any frame rate a camera records.
constexpr gint64 kEndLeadNs = GST_MSECOND;
// ACCURATE: the frame shown is the frame asked for (a key-unit seek would
// land up to a GOP early and the caller's stored position would be wrong).
constexpr auto kAccurateSeek = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
// How often a wait looks again at an error whose bin has not decided yet.
constexpr qint64 kJudgeCopyMs = 5;

GstElement *makeFromDescription(const QString &description)
{
  GError *error = nullptr;
  GstElement *element = gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &error);
  if (error) {
    qCWarning(lcKpPlayback).noquote() << "audio sink" << description << "-" << error->message;
    g_error_free(error);
  }
  return element;
}

// Errors that mean no installed element reads the file or one of its
// streams; any other error of a reader means the file itself is at fault.
bool NoReaderError(const GError *error)
{
  if (error->domain == GST_CORE_ERROR) return error->code == GST_CORE_ERROR_MISSING_PLUGIN;
  if (error->domain != GST_STREAM_ERROR) return false;
  return error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND || error->code == GST_STREAM_ERROR_WRONG_TYPE ||
         error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND || error->code == GST_STREAM_ERROR_NOT_IMPLEMENTED;
}

QString messageSource(GstMessage *message)
{
  const gchar *source = GST_MESSAGE_SRC(message) ? GST_OBJECT_NAME(GST_MESSAGE_SRC(message)) : nullptr;
  return QString::fromUtf8(source ? source : "?");
}

// A warning or error of the bus with the element it came from, the file it
// was reading and the debug text, which names the element's own reason.
QString busMessageLine(GstMessage *message, const QString &fileName, const GError *error, const gchar *debug)
{
  QString where = messageSource(message);
  if (!fileName.isEmpty()) where += QStringLiteral(" in ") + fileName;
  QString line = QLatin1String(GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR ? "error" : "warning") +
                 QStringLiteral(" from ") + where + QStringLiteral(" - ") +
                 QString::fromUtf8(error ? error->message : "");
  if (debug) line += QStringLiteral(" (%1)").arg(QString::fromUtf8(debug));
  return line;
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

TGstMediaGraph::TGstMediaGraph(const TGstGraphOptions &options) : FOptions(options)
{
  FPlaybin = gst_element_factory_make("playbin", nullptr);
  if (!FPlaybin) return;
  gst_object_ref_sink(FPlaybin);
  // Video, audio and software volume only: the text track of our own cut
  // files must not be drawn over the picture.
  g_object_set(FPlaybin, "flags", kPlayFlagVideo | kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
  if (!FOptions.AudioSink.isEmpty())
    if (GstElement *audio = makeFromDescription(FOptions.AudioSink))
      g_object_set(FPlaybin, "audio-sink", audio, nullptr);
  if ((FPanorama = gst_element_factory_make("audiopanorama", nullptr))) {
    g_object_set(FPanorama, "method", 1, nullptr); // simple: attenuate the other side only
    g_object_set(FPlaybin, "audio-filter", FPanorama, nullptr);
  }
  ApplyVideoSink();
  FBus = gst_element_get_bus(FPlaybin);
  gst_bus_set_sync_handler(FBus, &TGstMediaGraph::BusSyncHandler, this, nullptr);
  TGstErrorCopies::Watch(FPlaybin);
}

TGstMediaGraph::~TGstMediaGraph()
{
  if (!FPlaybin) return;
  gst_element_set_state(FPlaybin, GST_STATE_NULL);
  TGstErrorCopies::Unwatch(FPlaybin);
  gst_bus_set_sync_handler(FBus, nullptr, nullptr, nullptr);
  if (FRenderer) FRenderer->SetCrossing(nullptr);
  gst_object_unref(FBus);
  gst_object_unref(FPlaybin);
}

// ------------------------------------------------------------ the crossing

GstBusSyncReply TGstMediaGraph::BusSyncHandler(GstBus *, GstMessage *, gpointer self)
{
  static_cast<TGstMediaGraph *>(self)->NotifyFromStreamingThread(kCrossBus);
  return GST_BUS_PASS;
}

void TGstMediaGraph::NotifyFromStreamingThread(unsigned bits)
{
  // Coalesced: one queued call however many frames and messages arrive.
  if (FPending.fetch_or(bits) == 0) QMetaObject::invokeMethod(this, &TGstMediaGraph::OnCrossing, Qt::QueuedConnection);
}

void TGstMediaGraph::OnCrossing()
{
  const unsigned bits = FPending.exchange(0);
  if (bits & kCrossBus) DrainBus();
  if ((bits & kCrossFrame) && FRenderer) FRenderer->Frames()->Announce();
}

// ------------------------------------------------------------ bus and events

void TGstMediaGraph::DrainBus()
{
  while (GstMessage *message = gst_bus_pop(FBus)) {
    HandleMessage(message);
    gst_message_unref(message);
  }
}

void TGstMediaGraph::HandleMessage(GstMessage *message)
{
  switch (GST_MESSAGE_TYPE(message)) {
  case GST_MESSAGE_EOS:
    FEos = true;
    PostEvent(EC_COMPLETE, S_OK);
    break;
  case GST_MESSAGE_ERROR:
    TakeError(message);
    PostEvent(EC_ERRORABORT, E_FAIL);
    break;
  case GST_MESSAGE_WARNING: {
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_warning(message, &error, &debug);
    Log(busMessageLine(message, FFileName, error, debug), false);
    if (error) g_error_free(error);
    g_free(debug);
    break;
  }
  case GST_MESSAGE_ELEMENT:
    if (gst_is_missing_plugin_message(message) && missingStreamDecoder(message)) {
      gchar *text = gst_missing_plugin_message_get_description(message);
      FMissing << QString::fromUtf8(text ? text : "unknown stream");
      g_free(text);
    }
    break;
  case GST_MESSAGE_ASYNC_DONE: FSeen |= wfAsyncDone; break;
  case GST_MESSAGE_STEP_DONE:
    FSeen |= wfStepDone;
    PostEvent(EC_STEP_COMPLETE);
    break;
  case GST_MESSAGE_DURATION_CHANGED: FDurationNs = -1; break;
  default: break;
  }
}

void TGstMediaGraph::TakeError(GstMessage *message)
{
  GError *error = nullptr;
  gchar *debug = nullptr;
  gst_message_parse_error(message, &error, &debug);
  // The first error since the file was opened says why it failed; the bins'
  // re-posts of it and the data flow it stopped only echo it, so the reason
  // kept and logged stays the first.
  if (!FErrorTaken) {
    FErrorTaken = true;
    FLastError = error ? QString::fromUtf8(error->message) : QStringLiteral("Playback error");
    Log(busMessageLine(message, FFileName, error, debug), true);
  }
  FLastErrorUnsupported = FLastErrorUnsupported || (error && NoReaderError(error));
  if (error) g_error_free(error);
  g_free(debug);
  SetErrorString(E_FAIL, FLastError);
}

// While a file opens its lines wait: a failed open is told in one line.
void TGstMediaGraph::Log(const QString &line, bool error)
{
  if (FOpening)
    FHeldLines.push_back({line, error});
  else
    qCWarning(lcKpPlayback).noquote() << line;
}

// A failed open leaves the line of its first error, or of its first warning
// when nothing failed outright; an open that went through leaves them all.
void TGstMediaGraph::EndOpen(bool opened)
{
  FOpening = false;
  std::vector<THeldLine> held;
  held.swap(FHeldLines);
  if (!opened && !held.empty()) {
    const auto first = std::find_if(held.begin(), held.end(), [](const THeldLine &l) { return l.Error; });
    held = {first != held.end() ? *first : held.front()};
  }
  for (const THeldLine &l : held) qCWarning(lcKpPlayback).noquote() << l.Text;
}

void TGstMediaGraph::PostEvent(int32_t code, intptr_t p1, intptr_t p2)
{
  FEvents.push_back({code, p1, p2});
  if (FNotifyFlags == 0 && FNotify) FNotify();
}

HRESULT TGstMediaGraph::SetNotifyWindow(std::function<void()> notify)
{
  FNotify = std::move(notify);
  return S_OK;
}

HRESULT TGstMediaGraph::SetNotifyFlags(int32_t flags)
{
  FNotifyFlags = flags;
  return S_OK;
}

HRESULT TGstMediaGraph::GetEvent(int32_t &code, intptr_t &param1, intptr_t &param2, uint32_t)
{
  DrainBus();
  if (FEvents.empty()) return E_ABORT;
  const TEvent event = FEvents.front();
  FEvents.pop_front();
  code = event.Code;
  param1 = event.Param1;
  param2 = event.Param2;
  return S_OK;
}

HRESULT TGstMediaGraph::Failure(HRESULT hr, const QString &text)
{
  SetErrorString(hr, text);
  return hr;
}

// Waits on the main thread for messages, handling every one on the way.
bool TGstMediaGraph::WaitForBus(unsigned what, int timeoutMs)
{
  QElapsedTimer timer;
  timer.start();
  GstMessage *copied = nullptr; // an error its bin may have thrown away
  bool ended = false;
  while (!ended && !(FSeen & what)) {
    qint64 left = timeoutMs - timer.elapsed();
    if (left <= 0) break;
    // A copied error is judged again every few milliseconds until its bin
    // has kept or dropped the element.
    if (copied) left = std::min<qint64>(left, kJudgeCopyMs);
    if (GstMessage *message = gst_bus_timed_pop(FBus, static_cast<GstClockTime>(left) * GST_MSECOND)) {
      ended = GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR;
      if (GstMessage *error = TGstErrorCopies::CopiedError(message)) {
        if (!copied) copied = gst_message_ref(error);
      } else {
        HandleMessage(message);
      }
      gst_message_unref(message);
    }
    if (!ended && copied) ended = JudgeCopiedError(copied);
  }
  if (copied) gst_message_unref(copied);
  return !ended && (FSeen & what);
}

// True when the copy stands for an error the bus will never carry; Copied
// is dropped once it is settled either way.
bool TGstMediaGraph::JudgeCopiedError(GstMessage *&copied)
{
  bool settled = false;
  const bool lost = TGstErrorCopies::ErrorWasKept(copied, FPlaybin, settled);
  if (lost) TakeError(copied);
  if (settled) {
    gst_message_unref(copied);
    copied = nullptr;
  }
  return lost;
}

// ------------------------------------------------------------ filters

void TGstMediaGraph::ApplyVideoSink()
{
  GstElement *sink = FRenderer ? FRenderer->Element() : nullptr;
  if (sink) {
    g_object_set(FPlaybin, "video-sink", sink, nullptr);
  } else {
    // Without a renderer member the picture is decoded and dropped; the
    // graph never opens a window of its own.
    GstElement *fake = gst_element_factory_make("fakesink", nullptr);
    g_object_set(fake, "sync", TRUE, nullptr);
    g_object_set(FPlaybin, "video-sink", fake, nullptr);
  }
}

HRESULT TGstMediaGraph::AddFilter(const IBaseFilterPtr &filter, const QString &name)
{
  if (!filter) return E_POINTER;
  if (std::find(FFilters.begin(), FFilters.end(), filter) != FFilters.end()) return VFW_E_WRONG_STATE;
  if (auto sink = std::dynamic_pointer_cast<TGstVideoSink>(filter)) {
    if (FRenderer) return VFW_E_WRONG_STATE; // one picture per graph
    DropSource();
    FRenderer = sink;
    sink->SetName(name);
    sink->SetCrossing(this);
    ApplyVideoSink();
  } else if (auto plain = std::dynamic_pointer_cast<TGstPlainFilter>(filter)) {
    plain->SetName(name);
  } else if (!std::dynamic_pointer_cast<TGstSourceFilter>(filter)) {
    return E_INVALIDARG; // a filter of another layer
  }
  FFilters.push_back(filter);
  return S_OK;
}

HRESULT TGstMediaGraph::RemoveFilter(const IBaseFilterPtr &filter)
{
  auto it = std::find(FFilters.begin(), FFilters.end(), filter);
  if (it == FFilters.end()) return VFW_E_NOT_FOUND;
  FFilters.erase(it);
  if (filter == FSource) {
    DropSource();
  } else if (filter == FRenderer) {
    DropSource();
    FRenderer->SetCrossing(nullptr);
    FRenderer->Frames()->Clear();
    FRenderer.reset();
    ApplyVideoSink();
  }
  return S_OK;
}

std::vector<IBaseFilterPtr> TGstMediaGraph::EnumFilters()
{
  return FFilters;
}

// The pipeline leaves PAUSED: the source's streams no longer flow anywhere.
void TGstMediaGraph::DropSource()
{
  gst_element_set_state(FPlaybin, GST_STATE_NULL);
  DrainBus();
  if (!FSource) return;
  FFilters.erase(std::remove(FFilters.begin(), FFilters.end(), std::static_pointer_cast<IBaseFilter>(FSource)),
                 FFilters.end());
  for (const IPinPtr &pin : FSource->EnumPins()) pin->Disconnect();
  FSource.reset();
  FEos = false;
  FStopped = true;
  FStoppedAtNs = 0;
  FDurationNs = -1;
}

HRESULT TGstMediaGraph::AddSourceFilter(const QString &fileName, const QString &filterName, IBaseFilterPtr &filter)
{
  filter.reset();
  DropSource();
  FRate = 1.0;
  FStopNs = -1;
  FMissing.clear();
  FLastError.clear();
  FLastErrorUnsupported = false;
  FFileName = fileName;
  FErrorTaken = false;
  FOpening = true;
  const HRESULT hr = OpenSource(fileName, filterName, filter);
  EndOpen(SUCCEEDED(hr));
  return hr;
}

HRESULT TGstMediaGraph::OpenSource(const QString &fileName, const QString &filterName, IBaseFilterPtr &filter)
{
  const QFileInfo info(fileName);
  if (!info.isFile()) return Failure(VFW_E_NOT_FOUND_FILE, Translate(u"Mes_CannotOpen_NotFound"));
  gchar *uri = gst_filename_to_uri(info.absoluteFilePath().toUtf8().constData(), nullptr);
  g_object_set(FPlaybin, "uri", uri, nullptr);
  g_free(uri);

  FSeen = 0;
  const GstStateChangeReturn change = gst_element_set_state(FPlaybin, GST_STATE_PAUSED);
  GstState state = GST_STATE_NULL;
  GstStateChangeReturn result = change;
  if (change == GST_STATE_CHANGE_ASYNC) {
    // A reader's error stops the preroll without failing the state change,
    // so the wait ends on the error as well as on the preroll.
    const bool prerolled = WaitForBus(wfAsyncDone, FOptions.WaitTimeoutMs);
    result = gst_element_get_state(FPlaybin, &state, nullptr, prerolled ? GST_SECOND : 0);
    if (!prerolled && !FLastError.isEmpty()) result = GST_STATE_CHANGE_FAILURE;
  }
  DrainBus();

  gint nVideo = 0, nAudio = 0, nText = 0;
  g_object_get(FPlaybin, "n-video", &nVideo, "n-audio", &nAudio, "n-text", &nText, nullptr);
  std::vector<IPinPtr> pins;
  if (result == GST_STATE_CHANGE_SUCCESS || result == GST_STATE_CHANGE_NO_PREROLL) {
    for (int i = 0; i < nVideo; ++i)
      pins.push_back(std::make_shared<TGstStreamPin>(TStreamKind::Video, QStringLiteral("video"), true));
    for (int i = 0; i < nAudio; ++i)
      pins.push_back(std::make_shared<TGstStreamPin>(TStreamKind::Audio, QStringLiteral("audio"), true));
    for (int i = 0; i < nText; ++i)
      pins.push_back(std::make_shared<TGstStreamPin>(TStreamKind::Text, QStringLiteral("text"), true));
  } else if (result == GST_STATE_CHANGE_ASYNC) {
    gst_element_set_state(FPlaybin, GST_STATE_NULL);
    // The window names the file above the reason.
    return Failure(VFW_E_TIMEOUT, Translate(u"Mes_CannotOpen_Timeout"));
  }
  for (const QString &missing : FMissing)
    pins.push_back(std::make_shared<TGstStreamPin>(TStreamKind::Other, missing, false));
  if (pins.empty()) {
    gst_element_set_state(FPlaybin, GST_STATE_NULL);
    DrainBus();
    // A reader that took the file and failed on its content: the file is
    // damaged, and its own words say how.
    if (!FLastError.isEmpty() && !FLastErrorUnsupported) return Failure(VFW_E_INVALID_FILE_FORMAT, FLastError);
    return Failure(VFW_E_UNSUPPORTED_STREAM,
                   FLastError.isEmpty() ? QStringLiteral("The file holds no stream that can be played.") : FLastError);
  }
  if (result != GST_STATE_CHANGE_SUCCESS && result != GST_STATE_CHANGE_NO_PREROLL) {
    // Nothing decodable: keep the pins so each reports its codec failure.
    gst_element_set_state(FPlaybin, GST_STATE_NULL);
    DrainBus();
  }
  FEvents.clear();
  FEos = false;
  FStopped = true;
  FStoppedAtNs = 0;
  FDurationNs = -1;
  FSource = std::make_shared<TGstSourceFilter>(fileName, std::move(pins));
  FSource->SetName(filterName);
  FFilters.push_back(FSource);
  filter = FSource;
  return S_OK;
}

HRESULT TGstMediaGraph::Render(const IPinPtr &pin)
{
  auto stream = std::dynamic_pointer_cast<TGstStreamPin>(pin);
  if (!stream || !FSource) return E_INVALIDARG;
  if (!stream->Decodable())
    return Failure(VFW_E_CANNOT_RENDER, QStringLiteral("No decoder for the stream: ") + stream->MediaType());
  stream->SetConnected(true);
  return S_OK;
}

// ------------------------------------------------------------ control

FILTER_STATE TGstMediaGraph::LogicalState() const
{
  if (!FSource) return FEmptyState;
  if (FStopped) return State_Stopped;
  GstState current = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
  gst_element_get_state(FPlaybin, &current, &pending, 0);
  // While a change is under way the state asked for is what counts: a
  // flushing seek while playing drops the pipeline to PAUSED (pending
  // PAUSED) until it prerolls, then takes it back to PLAYING by itself, and
  // a pause pressed in between must not be taken for a no-op.
  GstState shown = current;
  if (pending != GST_STATE_VOID_PENDING) {
    GST_OBJECT_LOCK(FPlaybin);
    shown = GST_STATE_TARGET(FPlaybin);
    GST_OBJECT_UNLOCK(FPlaybin);
  }
  return shown == GST_STATE_PLAYING ? State_Running : shown == GST_STATE_PAUSED ? State_Paused : State_Stopped;
}

HRESULT TGstMediaGraph::ChangeState(GstState target, bool wait)
{
  GstState current = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
  gst_element_get_state(FPlaybin, &current, &pending, 0);
  // Asking again for the state it is in would restart the clock base of the
  // pipeline and nudge the position of a paused picture.
  if (current == target && pending == GST_STATE_VOID_PENDING) return S_OK;
  FSeen = 0;
  const GstStateChangeReturn change = gst_element_set_state(FPlaybin, target);
  if (change == GST_STATE_CHANGE_FAILURE) {
    DrainBus();
    return Failure(E_FAIL,
                   FLastError.isEmpty() ? QStringLiteral("The pipeline refused the state change.") : FLastError);
  }
  if (change != GST_STATE_CHANGE_ASYNC) return S_OK;
  if (!wait) return S_FALSE;
  const GstStateChangeReturn result = gst_element_get_state(
      FPlaybin, nullptr, nullptr, static_cast<GstClockTime>(FOptions.WaitTimeoutMs) * GST_MSECOND);
  DrainBus();
  if (result == GST_STATE_CHANGE_FAILURE)
    return Failure(E_FAIL,
                   FLastError.isEmpty() ? QStringLiteral("The pipeline refused the state change.") : FLastError);
  return result == GST_STATE_CHANGE_ASYNC ? S_FALSE : S_OK;
}

HRESULT TGstMediaGraph::Run()
{
  if (!FSource) {
    FEmptyState = State_Running;
    return S_OK;
  }
  if (LogicalState() != State_Running) FEos = false;
  FStopped = false;
  return ChangeState(GST_STATE_PLAYING, false);
}

HRESULT TGstMediaGraph::Pause()
{
  if (!FSource) {
    FEmptyState = State_Paused;
    return S_OK;
  }
  if (LogicalState() != State_Paused) FEos = false;
  FStopped = false;
  return ChangeState(GST_STATE_PAUSED, true);
}

// Logical: READY would lose the position and the duration.
HRESULT TGstMediaGraph::Stop()
{
  if (!FSource) {
    FEmptyState = State_Stopped;
    return S_OK;
  }
  if (LogicalState() == State_Stopped) return S_OK;
  FEos = false;
  const HRESULT hr = ChangeState(GST_STATE_PAUSED, true);
  if (FAILED(hr)) return hr;
  gint64 position = 0;
  FStoppedAtNs = gst_element_query_position(FPlaybin, GST_FORMAT_TIME, &position) && position > 0 ? position : 0;
  FStopped = true;
  return S_OK;
}

HRESULT TGstMediaGraph::GetState(uint32_t timeoutMs, FILTER_STATE &state)
{
  DrainBus();
  if (FSource && !FStopped && timeoutMs > 0)
    gst_element_get_state(FPlaybin, nullptr, nullptr, static_cast<GstClockTime>(timeoutMs) * GST_MSECOND);
  state = LogicalState();
  if (!FSource || FStopped) return S_OK;
  GstState current = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
  gst_element_get_state(FPlaybin, &current, &pending, 0);
  return pending != GST_STATE_VOID_PENDING ? VFW_S_STATE_INTERMEDIATE : S_OK;
}

// ------------------------------------------------------------ seeking

gint64 TGstMediaGraph::DurationNs()
{
  if (FDurationNs < 0 && FSource) {
    gint64 duration = -1;
    if (gst_element_query_duration(FPlaybin, GST_FORMAT_TIME, &duration) && duration >= 0) FDurationNs = duration;
  }
  return FDurationNs;
}

HRESULT TGstMediaGraph::GetDuration(REFERENCE_TIME &duration)
{
  duration = 0;
  const gint64 ns = DurationNs();
  if (ns < 0) return E_FAIL;
  duration = ns / 100;
  return S_OK;
}

HRESULT TGstMediaGraph::GetCurrentPosition(REFERENCE_TIME &current)
{
  current = 0;
  if (!FSource) return E_FAIL;
  DrainBus();
  const gint64 duration = DurationNs();
  if (FEos && duration >= 0) {
    current = duration / 100;
    return S_OK;
  }
  gint64 position = -1;
  if (FStopped)
    position = FStoppedAtNs;
  else if (!gst_element_query_position(FPlaybin, GST_FORMAT_TIME, &position) || position < 0)
    return E_FAIL;
  if (duration >= 0) position = std::min(position, duration);
  current = position / 100;
  return S_OK;
}

HRESULT TGstMediaGraph::GetPositions(REFERENCE_TIME &current, REFERENCE_TIME &stop)
{
  const HRESULT hr = GetCurrentPosition(current);
  const gint64 duration = DurationNs();
  stop = FStopNs >= 0 ? FStopNs / 100 : (duration >= 0 ? duration / 100 : 0);
  return hr;
}

HRESULT TGstMediaGraph::SeekTo(gint64 positionNs, double rate)
{
  const bool paused = LogicalState() != State_Running;
  // No frame starts at the very end: a seek there finds nothing to show and
  // the demuxer falls back to the first frame. The last frame is the one
  // that reaches the end, so the seek lands just inside it and the end is
  // latched as reached, as a play to the end leaves it.
  const gint64 duration = DurationNs();
  const bool toEnd = duration > 0 && positionNs >= duration;
  if (toEnd) positionNs = std::max<gint64>(0, duration - kEndLeadNs);
  FEos = false;
  FSeen = 0;
  const uint64_t framesBefore = FramesShown();
  if (!SeekForward(positionNs, rate)) return Failure(E_FAIL, QStringLiteral("The stream refused the seek."));
  if (FStopped) FStoppedAtNs = positionNs;
  if (!paused && !toEnd) return S_OK;
  // A paused seek shows its frame before returning (preroll); so does one
  // to the end, whose frame is looked for below.
  WaitForPreroll();
  // Cameras often record sound a little past the last picture: a seek into
  // that sound finds no frame, and the picture of before would stay beside
  // a position and gauges of the end.
  if (HasPicture() && !ShowsFrameAt(positionNs, framesBefore) && ShowLastFrame(positionNs, rate, paused)) return S_OK;
  if (toEnd) FEos = true;
  return S_OK;
}

bool TGstMediaGraph::SeekForward(gint64 positionNs, double rate)
{
  const GstSeekType stopType = FStopNs >= 0 ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE;
  return gst_element_seek(FPlaybin, rate, GST_FORMAT_TIME, kAccurateSeek, GST_SEEK_TYPE_SET, positionNs, stopType,
                          FStopNs >= 0 ? FStopNs : -1);
}

void TGstMediaGraph::WaitForPreroll()
{
  gst_element_get_state(FPlaybin, nullptr, nullptr, static_cast<GstClockTime>(FOptions.WaitTimeoutMs) * GST_MSECOND);
  DrainBus();
}

uint64_t TGstMediaGraph::FramesShown() const
{
  return FRenderer ? FRenderer->Frames()->StoredCount() : 0;
}

// An accurate seek's frame starts where the seek landed (the decoder clips
// it there); a frame from before the seek does not, whatever else a state
// change may have shown again meanwhile.
bool TGstMediaGraph::ShowsFrameAt(gint64 positionNs, uint64_t framesBefore) const
{
  if (FramesShown() == framesBefore) return false;
  const REFERENCE_TIME time = FRenderer->Frames()->Latest().Time;
  return time >= 0 && time * 100 >= positionNs - kEndLeadNs;
}

bool TGstMediaGraph::HasPicture() const
{
  gint videos = 0;
  if (FRenderer && FSource) g_object_get(FPlaybin, "n-video", &videos, nullptr);
  return videos > 0;
}

// The last frame that starts before BeforeNs, found by playing backwards
// from there (a reverse preroll shows it first), then shown again forwards
// so that playing goes on as usual. False when no frame was found.
bool TGstMediaGraph::ShowLastFrame(gint64 beforeNs, double rate, bool paused)
{
  // Played backwards even for a moment, the sound would be heard.
  if (!paused && FAILED(ChangeState(GST_STATE_PAUSED, true))) return false;
  const uint64_t framesBefore = FramesShown();
  REFERENCE_TIME last = -1;
  if (gst_element_seek(FPlaybin, -1.0, GST_FORMAT_TIME, kAccurateSeek, GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_SET,
                       beforeNs)) {
    WaitForPreroll();
    if (FramesShown() != framesBefore) last = FRenderer->Frames()->Latest().Time;
  }
  const gint64 at = last >= 0 ? std::min<gint64>(last * 100, beforeNs) : beforeNs;
  const bool shown = SeekForward(at, rate);
  WaitForPreroll();
  if (FStopped) FStoppedAtNs = at;
  if (!paused) ChangeState(GST_STATE_PLAYING, false);
  return shown && last >= 0;
}

HRESULT TGstMediaGraph::SetPositions(REFERENCE_TIME *current, uint32_t currentFlags, REFERENCE_TIME *stop,
                                     uint32_t stopFlags)
{
  if (!FSource) return VFW_E_WRONG_STATE;
  const uint32_t curMode = currentFlags & AM_SEEKING_PositioningBitsMask;
  const uint32_t stopMode = stopFlags & AM_SEEKING_PositioningBitsMask;
  if ((curMode && !current) || (stopMode && !stop)) return E_POINTER;
  const gint64 duration = DurationNs();
  REFERENCE_TIME now = 0;
  GetCurrentPosition(now);
  if (stopMode) {
    REFERENCE_TIME s = stopMode == AM_SEEKING_AbsolutePositioning ? *stop : now + *stop;
    if (s < 0) s = 0;
    FStopNs = s * 100;
    if (duration >= 0 && FStopNs >= duration) FStopNs = -1; // the end is the default stop
  }
  if (!curMode && !stopMode) return S_OK;
  REFERENCE_TIME target = curMode == AM_SEEKING_AbsolutePositioning ? *current : curMode ? now + *current : now;
  target = std::max<REFERENCE_TIME>(0, target);
  if (duration >= 0) target = std::min<REFERENCE_TIME>(target, duration / 100);
  const HRESULT hr = SeekTo(target * 100, FRate);
  if (SUCCEEDED(hr) && current && (currentFlags & AM_SEEKING_ReturnTime)) *current = target;
  return hr;
}

HRESULT TGstMediaGraph::SetRate(double rate)
{
  if (!std::isfinite(rate) || rate <= 0) return E_INVALIDARG;
  FRate = rate;
  if (!FSource) return S_OK;
  REFERENCE_TIME now = 0;
  GetCurrentPosition(now);
  return SeekTo(now * 100, rate);
}

HRESULT TGstMediaGraph::GetRate(double &rate)
{
  rate = FRate;
  return S_OK;
}

// ------------------------------------------------------------ frame step

HRESULT TGstMediaGraph::CanStep(bool)
{
  return FSource && FRenderer ? S_OK : S_FALSE;
}

HRESULT TGstMediaGraph::Step(uint32_t frames)
{
  if (CanStep(false) != S_OK || frames == 0) return VFW_E_WRONG_STATE;
  if (LogicalState() != State_Paused) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  FEos = false;
  FSeen = 0;
  if (!gst_element_send_event(FPlaybin, gst_event_new_step(GST_FORMAT_BUFFERS, frames, 1.0, TRUE, FALSE)))
    return Failure(E_FAIL, QStringLiteral("The video renderer refused the frame step."));
  if (!WaitForBus(wfStepDone, FOptions.WaitTimeoutMs)) return VFW_E_TIMEOUT;
  // The stepped-to frame prerolls after the step completes.
  WaitForPreroll();
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
  FVolume = volume;
  auto *stream = GST_STREAM_VOLUME(FPlaybin);
  if (volume == -10000)
    gst_stream_volume_set_volume(stream, GST_STREAM_VOLUME_FORMAT_LINEAR, 0.0); // silence, not just -100 dB
  else
    gst_stream_volume_set_volume(stream, GST_STREAM_VOLUME_FORMAT_DB, volume / 100.0);
  return S_OK;
}

HRESULT TGstMediaGraph::get_Volume(int32_t &volume)
{
  volume = FVolume;
  return S_OK;
}

HRESULT TGstMediaGraph::put_Balance(int32_t balance)
{
  if (balance < -10000 || balance > 10000) return E_INVALIDARG;
  FBalance = balance;
  if (!FPanorama) return E_NOTIMPL;
  // The attenuated side loses |balance| hundredths of a dB.
  const double gain = balance == 0 ? 1.0 : std::pow(10.0, -std::abs(balance) / 2000.0);
  const double pan = balance < 0 ? -(1.0 - gain) : (1.0 - gain);
  g_object_set(FPanorama, "panorama", static_cast<gfloat>(pan), nullptr);
  return S_OK;
}

HRESULT TGstMediaGraph::get_Balance(int32_t &balance)
{
  balance = FBalance;
  return S_OK;
}

} // namespace kp
