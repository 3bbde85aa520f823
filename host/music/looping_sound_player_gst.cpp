#include "host/music/looping_sound_player_gst.h"

#include <memory>
#include <mutex>
#include <string>

#include "common/debug_log.h"
#include "host/music/gst_runtime_gst.h"

namespace pellarin {
namespace {

constexpr int kStateTimeoutSeconds = 10;
constexpr guint kAudioOnlyFlags = 0x02;

// One looping sound, played as a segment from its start to its end: each time the segment has
// been read out, a seek without a flush queues the same stretch again behind what is still
// buffered, so the output hears the passes back to back. Handing playbin the file again as its
// next stream instead makes it swap its decoding chains while it may be changing state, which
// for sounds shorter than what it buffers ahead raced its own state changes and at times hung.
class Loop {
 public:
  Loop(GstElement* playbin, const std::string& uri)
      : pipeline_(playbin,
                  [seeker = seeker_, playbin] { Seeker::queueNextPass(seeker, playbin); }) {
    g_object_set(playbin, "uri", uri.c_str(), nullptr);
  }

  ~Loop() {
    // No pass may be queued once the pipeline is being stopped.
    std::lock_guard lock(seeker_->mutex);
    seeker_->stopped = true;
  }

  bool start() {
    if (!pipeline_.changeState(GST_STATE_PAUSED, kStateTimeoutSeconds)) return false;
    auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_SEGMENT);
    if (!gst_element_seek(pipeline_.get(), 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, 0,
                          GST_SEEK_TYPE_NONE, -1)) {
      debugLog("music: the sound cannot be looped; it plays once\n");
    }
    return pipeline_.changeState(GST_STATE_PLAYING, kStateTimeoutSeconds);
  }

 private:
  // What a queued pass shares with the loop, which it may outlive.
  struct Seeker {
    std::mutex mutex;
    bool stopped = false;

    // Called on the streaming thread, which must not seek itself: the seek runs on GStreamer's
    // worker thread.
    static void queueNextPass(const std::shared_ptr<Seeker>& self, GstElement* pipeline) {
      gst_element_call_async(pipeline, &Seeker::seekToStart, new std::shared_ptr<Seeker>(self),
                             &Seeker::release);
    }

    static void seekToStart(GstElement* pipeline, gpointer data) {
      Seeker& self = **static_cast<std::shared_ptr<Seeker>*>(data);
      std::lock_guard lock(self.mutex);
      if (self.stopped) return;
      if (!gst_element_seek(pipeline, 1.0, GST_FORMAT_TIME, GST_SEEK_FLAG_SEGMENT,
                            GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_NONE, -1)) {
        debugLog("music: the sound could not be queued again\n");
      }
    }

    static void release(gpointer data) { delete static_cast<std::shared_ptr<Seeker>*>(data); }
  };

  std::shared_ptr<Seeker> seeker_ = std::make_shared<Seeker>();
  // Last, so that it goes first: the pipeline is stopped while the seeker still stands.
  GstPipelineOwner pipeline_;
};

class LoopingSoundPlayerGst final : public LoopingSoundPlayer {
 public:
  bool startLoop(std::string_view file) override {
    loop_.reset();
    if (!startGstreamer()) return false;
    GError* error = nullptr;
    gchar* uri = gst_filename_to_uri(std::string(file).c_str(), &error);
    if (uri == nullptr) {
      g_clear_error(&error);
      return false;
    }
    std::string uriText = uri;
    g_free(uri);
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    GstElement* output = makeAudioOutput();
    if (playbin == nullptr || output == nullptr) {
      if (playbin != nullptr) gst_object_unref(gst_object_ref_sink(playbin));
      if (output != nullptr) gst_object_unref(gst_object_ref_sink(output));
      return false;
    }
    g_object_set(playbin, "audio-sink", output, "flags", kAudioOnlyFlags, nullptr);
    loop_ = std::make_unique<Loop>(playbin, uriText);
    if (!loop_->start()) {
      debugLog("music: the sound %s cannot be played\n", uriText.c_str());
      loop_.reset();
      return false;
    }
    return true;
  }

  bool stop() override {
    loop_.reset();
    return true;
  }

 private:
  std::unique_ptr<Loop> loop_;
};

}  // namespace

std::unique_ptr<LoopingSoundPlayer> makeLoopingSoundPlayerGst() {
  return std::make_unique<LoopingSoundPlayerGst>();
}

}  // namespace pellarin
