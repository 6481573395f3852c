#pragma once
// A decoder bin hides the errors of an element while it tries it out, so it
// can fall back to another one. A demuxer whose streaming thread fails
// before that trial ends is kept with its error thrown away, and the
// pipeline then neither prerolls nor reports anything. Watched pipelines get
// a copy of every error of their elements on their own bus, posted before
// any bin sees the error; the copy always comes ahead of the error itself.

#include <gst/gst.h>

namespace kp {

class TGstErrorCopies {
public:
  // From now until Unwatch, errors inside Pipeline are copied to its bus.
  static void Watch(GstElement *pipeline);
  static void Unwatch(GstElement *pipeline);
  // The error a copy carries (owned by Message), or null for any other
  // message.
  static GstMessage *CopiedError(GstMessage *message);
  // Whether the bin kept the element of a copied error running, so that
  // the error is lost unless the copy stands for it. Settled stays false
  // while the bin may yet give the element up.
  static bool ErrorWasKept(GstMessage *error, GstElement *pipeline, bool &settled);
};

} // namespace kp
