#include "GstMediaGraphImpl.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <mutex>

namespace kp {

namespace {

// Keeps a frame's buffer mapped for as long as a QImage looks at its
// pixels. Only the buffer is kept: the sample a pull returns is the sink's
// own, which it changes in place when the next file's caps arrive and which
// must then have no other holder.
struct TMappedBuffer {
  GstBuffer *Buffer = nullptr;
  GstMapInfo Map{};
};

void releaseMapped(void *info)
{
  auto *mapped = static_cast<TMappedBuffer *>(info);
  gst_buffer_unmap(mapped->Buffer, &mapped->Map);
  gst_buffer_unref(mapped->Buffer);
  delete mapped;
}

} // namespace

TGstVideoSink::TGstVideoSink(bool sync)
{
  GError *error = nullptr;
  FBin = gst_parse_bin_from_description("videoconvert ! video/x-raw,format=BGRx ! appsink name=surface", TRUE, &error);
  if (!FBin) {
    if (error) g_error_free(error);
    return;
  }
  gst_object_ref_sink(FBin);
  GstElement *appsink = gst_bin_get_by_name(GST_BIN(FBin), "surface");
  // A late frame is dropped as a display sink would drop it, so the
  // real-time figures count what a viewer would miss.
  g_object_set(appsink, "sync", sync ? TRUE : FALSE, "enable-last-sample", FALSE, "max-buffers", 1u, "qos",
               sync ? TRUE : FALSE, "max-lateness", static_cast<gint64>(sync ? 20 * GST_MSECOND : -1), nullptr);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_preroll = [](GstAppSink *s, gpointer self) { return OnPreroll(GST_ELEMENT(s), self); };
  callbacks.new_sample = [](GstAppSink *s, gpointer self) { return OnSample(GST_ELEMENT(s), self); };
  gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, this, nullptr);
  gst_object_unref(appsink);
}

TGstVideoSink::~TGstVideoSink()
{
  if (!FBin) return;
  gst_element_set_state(FBin, GST_STATE_NULL);
  gst_object_unref(FBin);
}

HRESULT TGstVideoSink::GetState(uint32_t, FILTER_STATE &state)
{
  GstState current = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
  if (FBin) gst_element_get_state(FBin, &current, &pending, 0);
  state = current == GST_STATE_PLAYING ? State_Running : current == GST_STATE_PAUSED ? State_Paused : State_Stopped;
  return S_OK;
}

GstFlowReturn TGstVideoSink::OnPreroll(GstElement *sink, gpointer self)
{
  if (GstSample *sample = gst_app_sink_pull_preroll(GST_APP_SINK(sink)))
    static_cast<TGstVideoSink *>(self)->TakeSample(sample);
  return GST_FLOW_OK;
}

GstFlowReturn TGstVideoSink::OnSample(GstElement *sink, gpointer self)
{
  if (GstSample *sample = gst_app_sink_pull_sample(GST_APP_SINK(sink)))
    static_cast<TGstVideoSink *>(self)->TakeSample(sample);
  return GST_FLOW_OK;
}

// Streaming thread: wraps the frame, stores it, and asks the main thread to
// announce it. No widget is touched here.
void TGstVideoSink::TakeSample(GstSample *sample)
{
  GstVideoInfo info;
  GstBuffer *buffer = gst_sample_get_buffer(sample);
  GstCaps *caps = gst_sample_get_caps(sample);
  if (!buffer || !caps || !gst_video_info_from_caps(&info, caps)) {
    gst_sample_unref(sample);
    return;
  }
  auto *mapped = new TMappedBuffer;
  mapped->Buffer = gst_buffer_ref(buffer);
  // The segment is read here, while the sample is still held.
  const GstSegment *segment = gst_sample_get_segment(sample);
  guint64 stream = GST_CLOCK_TIME_NONE;
  const GstClockTime pts = GST_BUFFER_PTS(buffer);
  if (GST_CLOCK_TIME_IS_VALID(pts)) stream = segment ? gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts) : pts;
  gst_sample_unref(sample);
  if (!gst_buffer_map(buffer, &mapped->Map, GST_MAP_READ)) {
    gst_buffer_unref(mapped->Buffer);
    delete mapped;
    return;
  }
  const int width = GST_VIDEO_INFO_WIDTH(&info), height = GST_VIDEO_INFO_HEIGHT(&info);
  const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
  if (width <= 0 || height <= 0 || static_cast<gsize>(stride) * static_cast<gsize>(height) > mapped->Map.size) {
    releaseMapped(mapped);
    return;
  }
  TVideoFrame frame;
  // BGRx in memory is 0xffRRGGBB read as a native 32-bit word: RGB32.
  frame.Image = QImage(static_cast<const uchar *>(mapped->Map.data), width, height, stride, QImage::Format_RGB32,
                       releaseMapped, mapped);
  frame.Shown = FScaler.Scale(info, buffer, FSlot->ShownSize());
  frame.ParN = GST_VIDEO_INFO_PAR_N(&info) > 0 ? GST_VIDEO_INFO_PAR_N(&info) : 1;
  frame.ParD = GST_VIDEO_INFO_PAR_D(&info) > 0 ? GST_VIDEO_INFO_PAR_D(&info) : 1;
  if (GST_CLOCK_TIME_IS_VALID(stream)) frame.Time = static_cast<REFERENCE_TIME>(stream / 100);
  FSlot->SetFormat(QSize(width, height), frame.ParN, frame.ParD);
  FSlot->Store(std::move(frame));
  if (IGstCrossing *crossing = FCrossing.load()) crossing->NotifyFromStreamingThread(kCrossFrame);
}

// ------------------------------------------------------------------ factory

namespace {

bool initGStreamer()
{
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    GError *error = nullptr;
    ok = gst_init_check(nullptr, nullptr, &error);
    if (error) g_error_free(error);
  });
  return ok;
}

class TGstGraphFactory : public IGraphFactory {
public:
  explicit TGstGraphFactory(const TGstGraphOptions &options) : FOptions(options) {}

  IMediaGraphPtr CreateGraph() override
  {
    if (!initGStreamer()) return nullptr;
    auto graph = std::make_shared<TGstMediaGraph>(FOptions);
    return graph->IsValid() ? graph : nullptr;
  }

  IBaseFilterPtr CreateFilter(const QString &description) override
  {
    if (!initGStreamer()) return nullptr;
    if (description == QLatin1String(kVideoRendererRole)) {
      auto sink = std::make_shared<TGstVideoSink>(FOptions.VideoSync);
      return sink->IsValid() ? sink : nullptr;
    }
    if (description == QLatin1String(kVideoDecoderRole)) return std::make_shared<TGstPlainFilter>(description);
    GstElementFactory *factory = gst_element_factory_find(description.toUtf8().constData());
    if (!factory) return nullptr;
    gst_object_unref(factory);
    return std::make_shared<TGstPlainFilter>(description);
  }

private:
  TGstGraphOptions FOptions;
};

} // namespace

IGraphFactoryPtr CreateGstGraphFactory(const TGstGraphOptions &options)
{
  return std::make_shared<TGstGraphFactory>(options);
}

} // namespace kp
