#include "host/music/looping_sound_player_gst.h"

#include <memory>
#include <string>

#include "common/debug_log.h"
#include "host/music/gst_runtime_gst.h"

namespace pellarin {
namespace {

constexpr int kStateTimeoutSeconds = 10;
constexpr guint kAudioOnlyFlags = 0x02;

// One looping sound: when playbin is about to finish the file it is handed the same file again,
// which it joins on without a gap.
class Loop {
 public:
  Loop(GstElement* playbin, std::string uri) : pipeline_(playbin), uri_(std::move(uri)) {
    g_signal_connect(playbin, "about-to-finish", G_CALLBACK(&Loop::onAboutToFinish), this);
    g_object_set(playbin, "uri", uri_.c_str(), nullptr);
  }
  bool start() { return pipeline_.changeState(GST_STATE_PLAYING, kStateTimeoutSeconds); }

 private:
  static void onAboutToFinish(GstElement* playbin, gpointer self) {
    g_object_set(playbin, "uri", static_cast<Loop*>(self)->uri_.c_str(), nullptr);
  }

  GstPipelineOwner pipeline_;
  std::string uri_;
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
