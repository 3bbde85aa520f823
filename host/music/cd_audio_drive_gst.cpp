// Implements: the disc's audio tracks at their numbers (from the source's table of contents),
// play from any frame to any frame of adjoining audio tracks, stop, pause, playing state and
// the position heard.
// Missing: the tray's state (the sources only tell whether a disc could be read), and data
// tracks after the last audio track (the sources list audio tracks only).

#include "host/music/cd_audio_drive_gst.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <mutex>
#include <string_view>
#include <vector>

#include "common/debug_log.h"
#include "host/music/cd_track_list.h"
#include "host/music/gst_runtime_gst.h"

namespace pellarin {
namespace {

constexpr int kStateTimeoutSeconds = 10;
// How the sources name the table-of-contents entry of a track: this prefix and its number.
constexpr std::string_view kTrackUidPrefix = "audiocd-track-";

std::uint32_t framesOfTime(gint64 time) {
  return static_cast<std::uint32_t>(
      gst_util_uint64_scale_round(static_cast<guint64>(time), kCdFramesPerSecond, GST_SECOND));
}

// Rounded up: the source rounds a time down to its frame, which must be this one.
gint64 timeOfFrames(std::uint32_t frames) {
  return static_cast<gint64>(gst_util_uint64_scale_ceil(frames, GST_SECOND, kCdFramesPerSecond));
}

std::vector<NumberedCdTrack> audioTracksOf(GstToc* toc) {
  std::vector<NumberedCdTrack> tracks;
  for (GList* item = gst_toc_get_entries(toc); item != nullptr; item = item->next) {
    auto* entry = static_cast<GstTocEntry*>(item->data);
    const gchar* uid = gst_toc_entry_get_uid(entry);
    gint64 start = -1, stop = -1;
    if (uid == nullptr || !gst_toc_entry_get_start_stop_times(entry, &start, &stop) || start < 0 ||
        stop < start) {
      continue;
    }
    std::string_view name(uid);
    if (name.substr(0, kTrackUidPrefix.size()) != kTrackUidPrefix) continue;
    name.remove_prefix(kTrackUidPrefix.size());
    std::uint32_t number = 0;
    auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (error != std::errc() || end != name.data() + name.size()) continue;
    tracks.push_back({number, framesOfTime(start), framesOfTime(stop)});
  }
  return tracks;
}

class CdAudioDriveGst final : public CdAudioDrive {
 public:
  CdAudioDriveGst(GstElement* pipeline, GstElement* source) : pipeline_(pipeline) {
    GstPad* pad = gst_element_get_static_pad(source, "src");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &CdAudioDriveGst::onEvent, this,
                      nullptr);
    gst_object_unref(pad);
  }

  // Opens the source, which reads the disc's table of contents and sends it on before its first
  // sound; false when no disc could be read. The drive is released then.
  bool load() {
    playing_ = false;
    pipeline_.changeState(GST_STATE_NULL, kStateTimeoutSeconds);
    pipeline_.clearEnd();
    audioTracks_.clear();
    {
      std::lock_guard lock(mutex_);
      tableOfContents_.clear();
    }
    if (pipeline_.changeState(GST_STATE_PAUSED, kStateTimeoutSeconds)) {
      std::lock_guard lock(mutex_);
      // A table that makes no track list is no usable disc.
      if (!cdTrackList(tableOfContents_).empty()) audioTracks_ = tableOfContents_;
    }
    if (!readable()) {
      pipeline_.changeState(GST_STATE_NULL, kStateTimeoutSeconds);
      return false;
    }
    firstAudioFrame_ = audioTracks_.front().startFrame;
    stoppedAt_ = firstAudioFrame_;
    return true;
  }

  CdDiscState discState() override {
    if (!readable()) load();
    return readable() ? CdDiscState::ready : CdDiscState::noDisc;
  }

  std::vector<CdTrack> tracks() override {
    return readable() ? cdTrackList(audioTracks_) : std::vector<CdTrack>{};
  }

  bool play(std::uint32_t fromFrame, std::uint32_t toFrame) override {
    if (!readable() && !load()) return false;
    // The source streams the disc from its first audio track on; the part of a range that
    // leaves the audio would make it read data as sound.
    if (fromFrame < firstAudioFrame_ || toFrame < fromFrame ||
        toFrame > cdAudioRunEnd(tracks(), fromFrame)) {
      debugLog("cd: no sound to play from frame %u to %u\n", fromFrame, toFrame);
      return false;
    }
    playing_ = false;
    if (!pipeline_.changeState(GST_STATE_PAUSED, kStateTimeoutSeconds)) return false;
    pipeline_.clearEnd();
    fromFrame_ = fromFrame;
    toFrame_ = toFrame;
    stoppedAt_ = fromFrame;
    if (fromFrame == toFrame) return true;
    auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    if (!gst_element_seek(pipeline_.get(), 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                          timeOfFrames(fromFrame - firstAudioFrame_), GST_SEEK_TYPE_SET,
                          timeOfFrames(toFrame - firstAudioFrame_))) {
      debugLog("cd: seeking to frame %u failed\n", fromFrame);
      return false;
    }
    // Waits until the new stretch has reached the output, so that positions tell of it.
    if (!pipeline_.changeState(GST_STATE_PAUSED, kStateTimeoutSeconds) ||
        gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
      return false;
    }
    playing_ = true;
    return true;
  }

  bool stop() override {
    stoppedAt_ = positionFrame();
    playing_ = false;
    return pipeline_.changeState(readable() ? GST_STATE_PAUSED : GST_STATE_NULL,
                                 kStateTimeoutSeconds);
  }

  bool pause() override { return stop(); }

  bool playing() override { return playing_ && !pipeline_.ended() && !pipeline_.failed(); }

  std::uint32_t positionFrame() override {
    if (!playing_) return stoppedAt_;
    if (pipeline_.ended()) return toFrame_;
    std::int64_t position = pipeline_.position();
    if (position < 0) return fromFrame_;
    // The stream's time counts from the disc's first audio track.
    std::uint64_t frame = firstAudioFrame_ + gst_util_uint64_scale(static_cast<guint64>(position),
                                                                   kCdFramesPerSecond, GST_SECOND);
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(frame, fromFrame_, toFrame_));
  }

 private:
  bool readable() const { return !audioTracks_.empty() && !pipeline_.failed(); }

  // Runs on the streaming thread, while load() waits for the source to open.
  static GstPadProbeReturn onEvent(GstPad*, GstPadProbeInfo* info, gpointer self) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) == GST_EVENT_TOC) {
      GstToc* toc = nullptr;
      gboolean updated = FALSE;
      gst_event_parse_toc(event, &toc, &updated);
      auto* drive = static_cast<CdAudioDriveGst*>(self);
      std::vector<NumberedCdTrack> tracks = audioTracksOf(toc);
      gst_toc_unref(toc);
      std::lock_guard lock(drive->mutex_);
      drive->tableOfContents_ = std::move(tracks);
    }
    return GST_PAD_PROBE_OK;
  }

  // The audio tracks as the source last announced them, on its streaming thread.
  std::mutex mutex_;
  std::vector<NumberedCdTrack> tableOfContents_;
  // The disc as load() found it; empty without a readable disc.
  std::vector<NumberedCdTrack> audioTracks_;
  std::uint32_t firstAudioFrame_ = 0;
  bool playing_ = false;
  std::uint32_t stoppedAt_ = 0;
  std::uint32_t fromFrame_ = 0;
  std::uint32_t toFrame_ = 0;
  // Last, so that it goes first: no streaming thread then calls into the members above.
  GstPipelineOwner pipeline_;
};

// The first of the sources that GStreamer has, set to read path as one stream over the whole disc.
GstElement* makeCdSource(std::initializer_list<const char*> factories, const std::string& path) {
  for (const char* factory : factories) {
    GstElement* source = gst_element_factory_make(factory, nullptr);
    if (source == nullptr) continue;
    g_object_set(source, "device", path.c_str(), nullptr);
    gst_util_set_object_arg(G_OBJECT(source), "mode", "continuous");
    return source;
  }
  debugLog("cd: GStreamer has no CD source for %s\n", path.c_str());
  return nullptr;
}

}  // namespace

std::unique_ptr<CdAudioDrive> openCdAudioDriveGst(const std::string& path,
                                                  DeviceOpenFailure& failure) {
  failure = DeviceOpenFailure::noDevice;
  struct stat info = {};
  if (::stat(path.c_str(), &info) != 0) {
    debugLog("cd: no drive at %s\n", path.c_str());
    return nullptr;
  }
  // Anything else, a pipe above all, could block the source's open for good.
  bool image = S_ISREG(info.st_mode);
  if (!image && !S_ISBLK(info.st_mode) && !S_ISCHR(info.st_mode)) {
    debugLog("cd: %s is neither a drive nor a disc image\n", path.c_str());
    return nullptr;
  }
  failure = DeviceOpenFailure::noDriver;
  if (!startGstreamer()) return nullptr;
  GstElement* source = image ? makeCdSource({"cdiocddasrc"}, path)
                             : makeCdSource({"cdparanoiasrc", "cdiocddasrc"}, path);
  GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
  GstElement* resample = gst_element_factory_make("audioresample", nullptr);
  GstElement* output = makeAudioOutput();
  GstElement* pipeline = gst_pipeline_new(nullptr);
  if (source == nullptr || convert == nullptr || resample == nullptr || output == nullptr) {
    for (GstElement* element : {source, convert, resample, output}) {
      if (element != nullptr) gst_object_unref(gst_object_ref_sink(element));
    }
    gst_object_unref(gst_object_ref_sink(pipeline));
    return nullptr;
  }
  gst_bin_add_many(GST_BIN(pipeline), source, convert, resample, output, nullptr);
  if (!gst_element_link_many(source, convert, resample, output, nullptr)) {
    gst_object_unref(gst_object_ref_sink(pipeline));
    return nullptr;
  }
  auto drive = std::make_unique<CdAudioDriveGst>(pipeline, source);
  if (!drive->load()) debugLog("cd: no readable disc in %s\n", path.c_str());
  failure = DeviceOpenFailure::none;
  return drive;
}

}  // namespace pellarin
