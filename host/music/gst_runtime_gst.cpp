#include "host/music/gst_runtime_gst.h"

#include <cstdlib>
#include <mutex>
#include <utility>

#include "common/debug_log.h"
#include "host/music/music_devices.h"

namespace pellarin {
namespace {

bool gstreamerStarted = false;

void shutDown() {
  removeMusicDevices();
  if (gstreamerStarted) gst_deinit();
}

// The bin PELLARIN_AUDIO_SINK describes; null when it is unset, empty or does not parse.
GstElement* makeReplacementOutput() {
  const char* chosen = std::getenv("PELLARIN_AUDIO_SINK");
  if (chosen == nullptr || *chosen == '\0') return nullptr;
  GError* error = nullptr;
  GstElement* bin = gst_parse_bin_from_description(chosen, TRUE, &error);
  if (bin != nullptr && error == nullptr) return bin;
  debugLog("music: PELLARIN_AUDIO_SINK \"%s\" unusable: %s\n", chosen,
           error != nullptr ? error->message : "?");
  g_clear_error(&error);
  if (bin != nullptr) gst_object_unref(gst_object_ref_sink(bin));
  return nullptr;
}

}  // namespace

bool startGstreamer() {
  static std::once_flag once;
  std::call_once(once, [] {
    GError* error = nullptr;
    gstreamerStarted = gst_init_check(nullptr, nullptr, &error);
    if (!gstreamerStarted) {
      debugLog("music: GStreamer cannot start: %s\n", error != nullptr ? error->message : "?");
      g_clear_error(&error);
    }
  });
  return gstreamerStarted;
}

void stopGstreamerAtExit() {
  static std::once_flag once;
  std::call_once(once, [] { std::atexit(shutDown); });
}

std::int32_t countAudioOutputs() {
  if (!startGstreamer()) return 0;
  // A replacement output given for diagnosis is where every sound goes: it is the one output,
  // also on a machine without sound hardware.
  if (GstElement* replacement = makeReplacementOutput()) {
    gst_object_unref(gst_object_ref_sink(replacement));
    return 1;
  }
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Audio/Sink", nullptr);
  GList* devices = gst_device_monitor_get_devices(monitor);
  std::int32_t count = static_cast<std::int32_t>(g_list_length(devices));
  g_list_free_full(devices, gst_object_unref);
  gst_object_unref(monitor);
  return count;
}

GstElement* makeAudioOutput() {
  if (!startGstreamer()) return nullptr;
  if (GstElement* replacement = makeReplacementOutput()) return replacement;
  static const bool haveOutputs = countAudioOutputs() > 0;
  if (haveOutputs) return gst_element_factory_make("autoaudiosink", nullptr);
  GstElement* silent = gst_element_factory_make("fakesink", nullptr);
  if (silent != nullptr) g_object_set(silent, "sync", TRUE, nullptr);
  return silent;
}

GstPipelineOwner::GstPipelineOwner(GstElement* pipeline, std::function<void()> segmentDone)
    : pipeline_(pipeline), segmentDone_(std::move(segmentDone)) {
  gst_object_ref_sink(pipeline_);
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, &GstPipelineOwner::onMessage, this, nullptr);
  gst_object_unref(bus);
}

GstPipelineOwner::~GstPipelineOwner() {
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_object_unref(pipeline_);
}

bool GstPipelineOwner::changeState(GstState state, int timeoutSeconds) {
  if (gst_element_set_state(pipeline_, state) == GST_STATE_CHANGE_FAILURE) return false;
  GstState reached = GST_STATE_VOID_PENDING;
  GstStateChangeReturn result = gst_element_get_state(
      pipeline_, &reached, nullptr, static_cast<GstClockTime>(timeoutSeconds) * GST_SECOND);
  return result != GST_STATE_CHANGE_FAILURE && !failed_.load();
}

std::int64_t GstPipelineOwner::position() const {
  gint64 value = -1;
  if (!gst_element_query_position(pipeline_, GST_FORMAT_TIME, &value)) return -1;
  return value;
}

std::int64_t GstPipelineOwner::duration() const {
  gint64 value = -1;
  if (!gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &value)) return -1;
  return value;
}

GstBusSyncReply GstPipelineOwner::onMessage(GstBus*, GstMessage* message, gpointer self) {
  auto* owner = static_cast<GstPipelineOwner*>(self);
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
      owner->ended_ = true;
      break;
    case GST_MESSAGE_SEGMENT_DONE:
      if (owner->segmentDone_) owner->segmentDone_();
      break;
    case GST_MESSAGE_ERROR: {
      GError* error = nullptr;
      gst_message_parse_error(message, &error, nullptr);
      debugLog("music: %s: %s\n", GST_OBJECT_NAME(GST_MESSAGE_SRC(message)),
               error != nullptr ? error->message : "?");
      g_clear_error(&error);
      owner->failed_ = true;
      break;
    }
    default:
      break;
  }
  gst_message_unref(message);
  return GST_BUS_DROP;
}

}  // namespace pellarin
