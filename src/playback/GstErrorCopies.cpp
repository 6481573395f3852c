#include "GstErrorCopies.h"

#include <algorithm>
#include <gst/gsttracer.h>
#include <mutex>
#include <vector>

namespace kp {

namespace {

constexpr const char *kCopyName = "kp-error-copy";

std::mutex g_watchedMutex;
std::vector<GstElement *> g_watched;

// Hooks need a tracer object to hang on; it does nothing by itself.
struct KpErrorTracer {
  GstTracer Parent;
};
struct KpErrorTracerClass {
  GstTracerClass ParentClass;
};
G_DEFINE_TYPE(KpErrorTracer, kp_error_tracer, GST_TYPE_TRACER)
void kp_error_tracer_class_init(KpErrorTracerClass *) {}
void kp_error_tracer_init(KpErrorTracer *) {}

// Runs on whatever thread posts, before the element's bin gets the message.
// The copies are posted once the list is unlocked: a bus's sync handler runs
// inside the post, and one that waits for a thread which is watching or
// unwatching a pipeline must not find the list locked.
void beforePost(GObject *, GstClockTime, GstElement *element, GstMessage *message)
{
  if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) return;
  std::vector<GstBus *> buses;
  {
    std::lock_guard<std::mutex> lock(g_watchedMutex);
    for (GstElement *pipeline : g_watched) {
      // The pipeline's own errors go to its bus unfiltered.
      if (element == pipeline || !gst_object_has_as_ancestor(GST_OBJECT(element), GST_OBJECT(pipeline))) continue;
      if (GstBus *bus = gst_element_get_bus(pipeline)) buses.push_back(bus);
    }
  }
  for (GstBus *bus : buses) {
    GstMessage *error = gst_message_copy(message);
    GstStructure *body = gst_structure_new(kCopyName, "error", GST_TYPE_MESSAGE, error, nullptr);
    gst_message_unref(error);
    gst_bus_post(bus, gst_message_new_application(GST_OBJECT(element), body));
    gst_object_unref(bus);
  }
}

void installHook()
{
  static std::once_flag once;
  std::call_once(once, [] {
    // Lives as long as the process: hooks cannot be taken back.
    GstTracer *tracer = GST_TRACER(g_object_new(kp_error_tracer_get_type(), nullptr));
    gst_tracing_register_hook(tracer, "element-post-message-pre", G_CALLBACK(beforePost));
  });
}

} // namespace

void TGstErrorCopies::Watch(GstElement *pipeline)
{
  installHook();
  std::lock_guard<std::mutex> lock(g_watchedMutex);
  g_watched.push_back(pipeline);
}

void TGstErrorCopies::Unwatch(GstElement *pipeline)
{
  std::lock_guard<std::mutex> lock(g_watchedMutex);
  g_watched.erase(std::remove(g_watched.begin(), g_watched.end(), pipeline), g_watched.end());
}

GstMessage *TGstErrorCopies::CopiedError(GstMessage *message)
{
  if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_APPLICATION) return nullptr;
  const GstStructure *body = gst_message_get_structure(message);
  if (!body || !gst_structure_has_name(body, kCopyName)) return nullptr;
  const GValue *value = gst_structure_get_value(body, "error");
  return value ? GST_MESSAGE(g_value_get_boxed(value)) : nullptr;
}

bool TGstErrorCopies::ErrorWasKept(GstMessage *error, GstElement *pipeline, bool &settled)
{
  GstObject *source = GST_MESSAGE_SRC(error);
  settled = true;
  // A tried element that failed is taken out of its bin.
  if (!source || !GST_IS_ELEMENT(source) || !gst_object_has_as_ancestor(source, GST_OBJECT(pipeline))) return false;
  GstElement *element = GST_ELEMENT(source);
  GST_OBJECT_LOCK(element);
  const GstState current = GST_STATE(element);
  const GstState pending = GST_STATE_PENDING(element);
  const GstStateChangeReturn last = GST_STATE_RETURN(element);
  GST_OBJECT_UNLOCK(element);
  // Until its state change is over the bin may yet give it up.
  settled = pending == GST_STATE_VOID_PENDING && (current >= GST_STATE_PAUSED || last == GST_STATE_CHANGE_FAILURE);
  return settled && current >= GST_STATE_PAUSED;
}

} // namespace kp
