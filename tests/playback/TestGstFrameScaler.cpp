// The renderer's own shrinking of frames: fine detail averaged at every
// factor, only shrinking, only BGRx, and the pictures reused once released.

#include "GstFrameScaler.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

// A BGRx frame of rows one pixel high, alternately black and white.
struct TRowsFrame {
  GstVideoInfo Info{};
  GstBuffer *Buffer = nullptr;
  TRowsFrame(int w, int h, GstVideoFormat format = GST_VIDEO_FORMAT_BGRx)
  {
    gst_init(nullptr, nullptr);
    gst_video_info_set_format(&Info, format, w, h);
    Buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&Info), nullptr);
    GstMapInfo map;
    gst_buffer_map(Buffer, &map, GST_MAP_WRITE);
    for (int y = 0; y < h; ++y)
      memset(map.data + gsize(y) * GST_VIDEO_INFO_PLANE_STRIDE(&Info, 0), y % 2 ? 0xff : 0x00,
             gsize(GST_VIDEO_INFO_PLANE_STRIDE(&Info, 0)));
    gst_buffer_unmap(Buffer, &map);
  }
  ~TRowsFrame() { gst_buffer_unref(Buffer); }
};

// Mean distance of a column's grey from mid-grey: 127.5 for rows kept black
// and white, 0 for rows fully blended.
double Contrast(const QImage &image)
{
  double sum = 0;
  for (int y = 1; y + 1 < image.height(); ++y) sum += std::abs(qGray(image.pixel(image.width() / 2, y)) - 127.5);
  return sum / (image.height() - 2);
}

} // namespace

TEST(GstFrameScaler, ShrinksWithAFilterAtEveryFactor)
{
  TRowsFrame frame(400, 300);
  TGstFrameScaler scaler;
  // Bilinear down to half, averaging below; a nearest pixel gives 127.5.
  for (const QSize size : {QSize(300, 225), QSize(200, 150), QSize(130, 97), QSize(40, 30)}) {
    const QImage shown = scaler.Scale(frame.Info, frame.Buffer, size);
    ASSERT_EQ(shown.size(), size);
    EXPECT_LT(Contrast(shown), 70) << size.width();
    EXPECT_NEAR(qGray(shown.pixel(size.width() / 2, size.height() / 2)), 127, 122) << "a picture, not black";
  }
  EXPECT_TRUE(scaler.Scale(frame.Info, frame.Buffer, QSize(401, 300)).isNull()) << "never enlarges";
  EXPECT_TRUE(scaler.Scale(frame.Info, frame.Buffer, QSize()).isNull());
  TRowsFrame planar(400, 300, GST_VIDEO_FORMAT_I420);
  EXPECT_TRUE(scaler.Scale(planar.Info, planar.Buffer, QSize(200, 150)).isNull());
}

TEST(GstFrameScaler, ReleasedPicturesAreWrittenAgain)
{
  TRowsFrame frame(64, 48);
  TGstFrameScaler scaler;
  const uchar *first = scaler.Scale(frame.Info, frame.Buffer, QSize(32, 24)).constBits();
  EXPECT_EQ(scaler.Scale(frame.Info, frame.Buffer, QSize(32, 24)).constBits(), first) << "released: reused";
  const QImage held = scaler.Scale(frame.Info, frame.Buffer, QSize(32, 24));
  const QImage next = scaler.Scale(frame.Info, frame.Buffer, QSize(32, 24));
  EXPECT_NE(next.constBits(), held.constBits()) << "a picture still shown is never overwritten";
  EXPECT_EQ(Contrast(held), Contrast(next));
}
