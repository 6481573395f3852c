#pragma once
// Scales decoded BGRx frames on the renderer's streaming thread to the size
// the display asked for, with a filter that averages what it shrinks, so
// the GUI thread only copies the picture. Streaming thread only.

#include <QImage>
#include <QSize>
#include <gst/video/video.h>
#include <vector>

namespace kp {

class TGstFrameScaler {
public:
  TGstFrameScaler() = default;
  ~TGstFrameScaler();
  TGstFrameScaler(const TGstFrameScaler &) = delete;
  TGstFrameScaler &operator=(const TGstFrameScaler &) = delete;

  // The frame in Buffer (described by Info, BGRx) scaled to Size; null when
  // Size is empty or the frame cannot be read.
  QImage Scale(const GstVideoInfo &info, GstBuffer *buffer, QSize size);

private:
  bool Prepare(const GstVideoInfo &info, QSize size);
  QImage Target(QSize size);

  GstVideoConverter *FConverter = nullptr;
  GstVideoInfo FIn{};
  GstVideoInfo FOut{};
  // Pictures handed out before; one nobody holds any more is written again
  // instead of allocating a new one for every frame.
  std::vector<QImage> FPool;
};

} // namespace kp
