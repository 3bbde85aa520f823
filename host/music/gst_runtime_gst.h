#pragma once
// What the GStreamer devices share: start-up, the audio output they play into, and a pipeline
// wrapper that notices its end without a main loop.

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <functional>

namespace pellarin {

// Starts GStreamer once; false when it cannot be started.
bool startGstreamer();

// Shuts GStreamer down at exit, after every pipeline has been released.
void stopGstreamerAtExit();

// The number of audio output devices the system offers; 1 while PELLARIN_AUDIO_SINK names a usable
// replacement, which then takes every sound.
std::int32_t countAudioOutputs();

// A new audio output element: PELLARIN_AUDIO_SINK when set (a bin description), else the
// desktop's normal output, or a silent clock-paced sink on a machine without audio outputs, so
// that playing, positions and ends behave alike everywhere. Null when none can be made.
GstElement* makeAudioOutput();

// Owns a pipeline; records its end and its errors as they are posted, dropping every other
// message so that nothing piles up on its bus. segmentDone, when given, runs on the streaming
// thread each time the stretch of a segment seek has been played out.
class GstPipelineOwner {
 public:
  explicit GstPipelineOwner(GstElement* pipeline, std::function<void()> segmentDone = {});
  ~GstPipelineOwner();
  GstPipelineOwner(const GstPipelineOwner&) = delete;
  GstPipelineOwner& operator=(const GstPipelineOwner&) = delete;

  GstElement* get() const { return pipeline_; }
  // Changes the state and waits up to timeoutSeconds for it; false when it failed.
  bool changeState(GstState state, int timeoutSeconds);
  bool ended() const { return ended_.load(); }
  bool failed() const { return failed_.load(); }
  void clearEnd() {
    ended_ = false;
    failed_ = false;
  }
  // Position and duration in nanoseconds; -1 when unknown.
  std::int64_t position() const;
  std::int64_t duration() const;

 private:
  static GstBusSyncReply onMessage(GstBus* bus, GstMessage* message, gpointer self);

  GstElement* pipeline_;
  std::function<void()> segmentDone_;
  std::atomic<bool> ended_{false};
  std::atomic<bool> failed_{false};
};

}  // namespace pellarin
