#include "GstFrameScaler.h"

namespace kp {

namespace {

constexpr size_t kPoolSize = 4;

bool SameInput(const GstVideoInfo &a, const GstVideoInfo &b)
{
  return GST_VIDEO_INFO_FORMAT(&a) == GST_VIDEO_INFO_FORMAT(&b) &&
         GST_VIDEO_INFO_WIDTH(&a) == GST_VIDEO_INFO_WIDTH(&b) &&
         GST_VIDEO_INFO_HEIGHT(&a) == GST_VIDEO_INFO_HEIGHT(&b) &&
         GST_VIDEO_INFO_PLANE_STRIDE(&a, 0) == GST_VIDEO_INFO_PLANE_STRIDE(&b, 0);
}

} // namespace

TGstFrameScaler::~TGstFrameScaler()
{
  if (FConverter) gst_video_converter_free(FConverter);
}

bool TGstFrameScaler::Prepare(const GstVideoInfo &info, QSize size)
{
  if (FConverter && SameInput(info, FIn) && GST_VIDEO_INFO_WIDTH(&FOut) == size.width() &&
      GST_VIDEO_INFO_HEIGHT(&FOut) == size.height())
    return true;
  if (FConverter) gst_video_converter_free(FConverter);
  FConverter = nullptr;
  FPool.clear();
  FIn = info;
  gst_video_info_set_format(&FOut, GST_VIDEO_INFO_FORMAT(&info), static_cast<guint>(size.width()),
                            static_cast<guint>(size.height()));
  // Only the size changes: the converter refuses to change the rate or the
  // interlacing, and the colours stay as they are.
  GST_VIDEO_INFO_FPS_N(&FOut) = GST_VIDEO_INFO_FPS_N(&info);
  GST_VIDEO_INFO_FPS_D(&FOut) = GST_VIDEO_INFO_FPS_D(&info);
  GST_VIDEO_INFO_INTERLACE_MODE(&FOut) = GST_VIDEO_INFO_INTERLACE_MODE(&info);
  GST_VIDEO_INFO_COLORIMETRY(&FOut) = GST_VIDEO_INFO_COLORIMETRY(&info);
  // Down to half size two linear taps (bilinear) miss no source row; below
  // that the taps widen with the factor, a box-like average.
  const bool twoTaps =
      2 * size.width() >= GST_VIDEO_INFO_WIDTH(&info) && 2 * size.height() >= GST_VIDEO_INFO_HEIGHT(&info);
  GstStructure *config =
      gst_structure_new("config", GST_VIDEO_CONVERTER_OPT_RESAMPLER_METHOD, GST_TYPE_VIDEO_RESAMPLER_METHOD,
                        GST_VIDEO_RESAMPLER_METHOD_LINEAR, GST_VIDEO_CONVERTER_OPT_RESAMPLER_TAPS, G_TYPE_UINT,
                        twoTaps ? 2u : 0u, nullptr);
  FConverter = gst_video_converter_new(&FIn, &FOut, config);
  return FConverter != nullptr;
}

QImage TGstFrameScaler::Target(QSize size)
{
  for (QImage &image : FPool)
    if (image.isDetached() && image.size() == size) return image;
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) return image;
  if (FPool.size() >= kPoolSize) FPool.erase(FPool.begin());
  FPool.push_back(image);
  return image;
}

QImage TGstFrameScaler::Scale(const GstVideoInfo &info, GstBuffer *buffer, QSize size)
{
  // Only shrinking: a picture shown larger is drawn from the frame itself.
  if (size.isEmpty() || size.width() > GST_VIDEO_INFO_WIDTH(&info) || size.height() > GST_VIDEO_INFO_HEIGHT(&info) ||
      GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx || !Prepare(info, size))
    return {};
  QImage image = Target(size);
  if (image.isNull() || image.bytesPerLine() != GST_VIDEO_INFO_PLANE_STRIDE(&FOut, 0)) return {};
  GstVideoFrame in, out;
  if (!gst_video_frame_map(&in, &FIn, buffer, GST_MAP_READ)) return {};
  // The picture's own pixels, written in place: only the pool and this call
  // hold them now (bits() would copy them, being shared with the pool).
  auto *pixels = const_cast<uchar *>(image.constBits());
  const auto bytes = static_cast<gsize>(image.sizeInBytes());
  GstBuffer *wrapped = gst_buffer_new_wrapped_full(GstMemoryFlags(0), pixels, bytes, 0, bytes, nullptr, nullptr);
  const bool mapped = gst_video_frame_map(&out, &FOut, wrapped, GST_MAP_WRITE);
  if (mapped) {
    gst_video_converter_frame(FConverter, &in, &out);
    gst_video_frame_unmap(&out);
  }
  gst_video_frame_unmap(&in);
  gst_buffer_unref(wrapped);
  return mapped ? image : QImage();
}

} // namespace kp
