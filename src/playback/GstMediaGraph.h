#pragma once
// The GStreamer media layer: a playbin (video, audio and software volume;
// subtitle tracks are neither drawn nor reported) behind the graph
// interfaces of DSInterfaces.h, and the video renderer that hands decoded
// BGRx frames to our own widgets.
//
// Decided behaviour, for callers:
// - AddSourceFilter prerolls synchronously (bounded wait); the duration is
//   known when it returns. A file no demuxer takes gives
//   VFW_E_UNSUPPORTED_STREAM and no filter; a file its demuxer finds
//   damaged gives VFW_E_INVALID_FILE_FORMAT with the demuxer's words; each
//   stream without a decoder is a pin whose Render fails with
//   VFW_E_CANNOT_RENDER.
// - Stop is logical: the pipeline stays prerolled at its position and
//   reports State_Stopped. GetState reports the target of a change under
//   way (VFW_S_STATE_INTERMEDIATE).
// - Seeks are frame-accurate (the key-frame flag is honoured as "exact").
//   They carry the rate set with SetRate on the open file (1.0 for a new
//   file). Positions are media time at any rate.
// - End of stream is latched: the position equals the duration and the
//   state stays running until a seek, a state change or a new file. A
//   seek to the duration shows the last frame and latches the end too.
// - A seek that finds no picture (into sound that runs on past the last
//   frame, or to the duration of such a file) shows the last frame and
//   reads back at that frame's start; the end is not latched then.
// - Bus messages are handled on the main thread; streaming threads reach
//   the main thread in one place only (the graph's crossing).

#include "DSInterfaces.h"

#include <QString>

namespace kp {

struct TGstGraphOptions {
  // gst-launch description of the audio sink; empty for autoaudiosink.
  QString AudioSink;
  // Whether the video renderer syncs to the clock (off for benchmarks).
  bool VideoSync = true;
  // Upper bound of every synchronous wait (preroll, paused seek, step).
  int WaitTimeoutMs = 10000;
};

// nullptr when GStreamer cannot be initialised.
IGraphFactoryPtr CreateGstGraphFactory(const TGstGraphOptions &options);

// Filter descriptions the GStreamer factory knows besides element factory
// names.
inline const char *const kVideoRendererRole = "video-renderer";
inline const char *const kVideoDecoderRole = "video-decoder";

} // namespace kp
