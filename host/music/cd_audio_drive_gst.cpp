#include "host/music/cd_audio_drive_gst.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <optional>

#include "common/debug_log.h"
#include "host/music/cue_sheet.h"
#include "host/music/gst_runtime_gst.h"

namespace pellarin {
namespace {

constexpr int kStateTimeoutSeconds = 10;
// Frames handed to the pipeline at a time: 0.2 s of sound.
constexpr std::uint32_t kFramesPerBuffer = 15;

GstClockTime framesToTime(std::uint64_t frames) {
  return gst_util_uint64_scale(frames, GST_SECOND, kCdFramesPerSecond);
}

class CdAudioDriveGst final : public CdAudioDrive {
 public:
  CdAudioDriveGst(std::unique_ptr<CdSectorSource> source, GstElement* pipeline, GstElement* appsrc)
      : source_(std::move(source)), pipeline_(pipeline), appsrc_(appsrc) {
    GstAppSrcCallbacks callbacks = {};
    callbacks.need_data = &CdAudioDriveGst::onNeedData;
    gst_app_src_set_callbacks(GST_APP_SRC(appsrc_), &callbacks, this, nullptr);
    std::vector<CdTrack> discTracks = source_->tracks();
    if (!discTracks.empty()) stoppedAt_ = discTracks.front().startFrame;
  }

  ~CdAudioDriveGst() override { pipeline_.changeState(GST_STATE_NULL, kStateTimeoutSeconds); }

  CdDiscState discState() override { return source_->discState(); }
  std::vector<CdTrack> tracks() override { return source_->tracks(); }

  bool play(std::uint32_t fromFrame, std::uint32_t toFrame) override {
    // With the pipeline stopped no streaming thread reads the feed positions.
    pipeline_.changeState(GST_STATE_NULL, kStateTimeoutSeconds);
    pipeline_.clearEnd();
    fromFrame_ = fromFrame;
    nextFrame_ = fromFrame;
    toFrame_ = toFrame;
    stoppedAt_ = fromFrame;
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
      return false;
    }
    playing_ = true;
    return true;
  }

  bool stop() override {
    stoppedAt_ = positionFrame();
    playing_ = false;
    return pipeline_.changeState(GST_STATE_NULL, kStateTimeoutSeconds);
  }

  bool pause() override {
    stoppedAt_ = positionFrame();
    playing_ = false;
    return pipeline_.changeState(GST_STATE_PAUSED, kStateTimeoutSeconds);
  }

  bool playing() override { return playing_ && !pipeline_.ended() && !pipeline_.failed(); }

  std::uint32_t positionFrame() override {
    if (!playing_) return stoppedAt_;
    if (pipeline_.ended()) return toFrame_;
    std::int64_t position = pipeline_.position();
    if (position < 0) return fromFrame_;
    std::uint64_t frame = fromFrame_ + gst_util_uint64_scale(static_cast<guint64>(position),
                                                             kCdFramesPerSecond, GST_SECOND);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(frame, toFrame_));
  }

 private:
  static void onNeedData(GstAppSrc* appsrc, guint, gpointer self) {
    static_cast<CdAudioDriveGst*>(self)->feed(appsrc);
  }

  // Runs on the streaming thread.
  void feed(GstAppSrc* appsrc) {
    if (nextFrame_ >= toFrame_) {
      gst_app_src_end_of_stream(appsrc);
      return;
    }
    std::uint32_t count = std::min(kFramesPerBuffer, toFrame_ - nextFrame_);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, gsize{count} * kCdFrameBytes, nullptr);
    GstMapInfo map;
    bool read = false;
    if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
      read = source_->read(nextFrame_, count, map.data);
      gst_buffer_unmap(buffer, &map);
    }
    if (!read) {
      debugLog("cd: frames from %u cannot be read\n", nextFrame_);
      gst_buffer_unref(buffer);
      gst_app_src_end_of_stream(appsrc);
      return;
    }
    GST_BUFFER_PTS(buffer) = framesToTime(nextFrame_ - fromFrame_);
    GST_BUFFER_DURATION(buffer) = framesToTime(count);
    nextFrame_ += count;
    gst_app_src_push_buffer(appsrc, buffer);
  }

  std::unique_ptr<CdSectorSource> source_;
  GstPipelineOwner pipeline_;
  GstElement* appsrc_;
  bool playing_ = false;
  std::uint32_t stoppedAt_ = 0;
  std::uint32_t fromFrame_ = 0;
  std::uint32_t nextFrame_ = 0;
  std::uint32_t toFrame_ = 0;
};

}  // namespace

std::unique_ptr<CdAudioDrive> makeCdAudioDriveGst(std::unique_ptr<CdSectorSource> source) {
  if (!startGstreamer()) return nullptr;
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* appsrc = gst_element_factory_make("appsrc", nullptr);
  GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
  GstElement* resample = gst_element_factory_make("audioresample", nullptr);
  GstElement* output = makeAudioOutput();
  if (appsrc == nullptr || convert == nullptr || resample == nullptr || output == nullptr) {
    for (GstElement* element : {appsrc, convert, resample, output}) {
      if (element != nullptr) gst_object_unref(gst_object_ref_sink(element));
    }
    gst_object_unref(gst_object_ref_sink(pipeline));
    return nullptr;
  }
  GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout",
                                      G_TYPE_STRING, "interleaved", "rate", G_TYPE_INT, 44100,
                                      "channels", G_TYPE_INT, 2, nullptr);
  g_object_set(appsrc, "caps", caps, "format", GST_FORMAT_TIME, "max-bytes",
               guint64{4} * kFramesPerBuffer * kCdFrameBytes, nullptr);
  gst_caps_unref(caps);
  gst_bin_add_many(GST_BIN(pipeline), appsrc, convert, resample, output, nullptr);
  if (!gst_element_link_many(appsrc, convert, resample, output, nullptr)) {
    gst_object_unref(gst_object_ref_sink(pipeline));
    return nullptr;
  }
  return std::make_unique<CdAudioDriveGst>(std::move(source), pipeline, appsrc);
}

}  // namespace pellarin
