#include "host/music/media_file_device_gst.h"

#include <memory>

#include "common/debug_log.h"
#include "host/music/gst_runtime_gst.h"

namespace pellarin {
namespace {

// playbin flags: audio only (no window for a file that also holds video) and no volume stage,
// which nothing here would set.
constexpr guint kAudioOnlyFlags = 0x02;
constexpr int kStateTimeoutSeconds = 10;
constexpr int kDurationAttempts = 25;

class MediaFileDeviceGst final : public MediaFileDevice {
 public:
  explicit MediaFileDeviceGst(GstElement* playbin) : pipeline_(playbin) {}

  bool prepare() {
    if (!pipeline_.changeState(GST_STATE_PAUSED, kStateTimeoutSeconds)) return false;
    gint audioStreams = 0;
    g_object_get(pipeline_.get(), "n-audio", &audioStreams, nullptr);
    if (audioStreams <= 0) return false;
    // Some files tell their duration only once a little of them has been parsed.
    for (int attempt = 0; attempt < kDurationAttempts && lengthMs() == 0; ++attempt) {
      g_usleep(20 * 1000);
    }
    return true;
  }

  bool play(std::uint64_t fromMs, std::optional<std::uint64_t> toMs) override {
    if (!pipeline_.changeState(GST_STATE_PAUSED, kStateTimeoutSeconds)) return false;
    pipeline_.clearEnd();
    auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (!gst_element_seek(pipeline_.get(), 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                          static_cast<gint64>(fromMs * GST_MSECOND), GST_SEEK_TYPE_SET,
                          toMs ? static_cast<gint64>(*toMs * GST_MSECOND) : -1)) {
      debugLog("music: seeking to %llu ms failed\n", static_cast<unsigned long long>(fromMs));
      return false;
    }
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
      return false;
    }
    playing_ = true;
    return true;
  }

  bool stop() override {
    remembered_ = positionMs();
    playing_ = false;
    return pipeline_.changeState(GST_STATE_PAUSED, kStateTimeoutSeconds);
  }

  bool pause() override { return stop(); }

  bool playing() override { return playing_ && !pipeline_.ended() && !pipeline_.failed(); }

  std::uint64_t positionMs() override {
    if (pipeline_.ended()) return lengthMs();
    std::int64_t position = pipeline_.position();
    if (position < 0) return remembered_;
    return static_cast<std::uint64_t>(position) / GST_MSECOND;
  }

  std::uint64_t lengthMs() override {
    if (length_ == 0) {
      std::int64_t duration = pipeline_.duration();
      if (duration > 0) length_ = static_cast<std::uint64_t>(duration) / GST_MSECOND;
    }
    return length_;
  }

 private:
  GstPipelineOwner pipeline_;
  bool playing_ = false;
  std::uint64_t remembered_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace

std::unique_ptr<MediaFileDevice> openMediaFileGst(const std::string& path,
                                                  DeviceOpenFailure& failure) {
  failure = DeviceOpenFailure::noDriver;
  if (!startGstreamer()) return nullptr;
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  GstElement* output = makeAudioOutput();
  if (playbin == nullptr || output == nullptr) {
    if (playbin != nullptr) gst_object_unref(gst_object_ref_sink(playbin));
    if (output != nullptr) gst_object_unref(gst_object_ref_sink(output));
    return nullptr;
  }
  GError* error = nullptr;
  gchar* uri = gst_filename_to_uri(path.c_str(), &error);
  if (uri == nullptr) {
    g_clear_error(&error);
    gst_object_unref(gst_object_ref_sink(playbin));
    gst_object_unref(gst_object_ref_sink(output));
    failure = DeviceOpenFailure::cannotPlay;
    return nullptr;
  }
  g_object_set(playbin, "uri", uri, "audio-sink", output, "flags", kAudioOnlyFlags, nullptr);
  g_free(uri);
  auto device = std::make_unique<MediaFileDeviceGst>(playbin);
  if (!device->prepare()) {
    debugLog("music: %s cannot be played\n", path.c_str());
    failure = DeviceOpenFailure::cannotPlay;
    return nullptr;
  }
  failure = DeviceOpenFailure::none;
  return device;
}

}  // namespace pellarin
