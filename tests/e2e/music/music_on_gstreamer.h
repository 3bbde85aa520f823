#pragma once
// The music operations end to end: the command interpreter with GStreamer devices behind it,
// playing into a sink that records what a listener would hear.

#include <fcntl.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/core/quorvane_b.h"
#include "host/music/music_devices.h"
#include "tests/support/e2e_support.h"

namespace pellarin::testing {

inline constexpr std::size_t kSamplesPerSecond = 44100 * 2;  // stereo

// 16-bit samples of a raw file, or of the data chunk of a WAV file.
inline std::vector<std::int16_t> readSamples(const std::filesystem::path& file, bool wav = false) {
  const std::string bytes = readFile(file);
  std::size_t first = 0;
  std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
  if (wav) {
    first = std::min(bytes.find("data"), bytes.size() - 8) + 8;
    std::memcpy(&size, bytes.data() + first - 4, 4);
  }
  std::vector<std::int16_t> samples(std::min<std::size_t>(size, bytes.size() - first) / 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + first, samples.size() * 2);
  return samples;
}

// Runs a gst-launch style pipeline to its end.
inline bool runPipeline(const std::string& launchLine) {
  g_autoptr(GstElement) pipeline = gst_parse_launch(launchLine.c_str(), nullptr);
  if (pipeline == nullptr) return false;
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  g_autoptr(GstBus) bus = gst_element_get_bus(pipeline);
  g_autoptr(GstMessage) message = gst_bus_timed_pop_filtered(
      bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  gst_element_set_state(pipeline, GST_STATE_NULL);
  return message != nullptr && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
}

class MusicOnGstreamer : public TempFolderTest {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }

  void SetUp() override {
    TempFolderTest::SetUp();
    std::filesystem::create_directories(folder = folder_ / "music e2e");
    recording = folder / "heard.raw";
    // Records what would be heard, at the pace of a real output. Appending keeps every pass,
    // also across the flushes of a restart.
    recordingFd = ::open(recording.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ASSERT_GE(recordingFd, 0);
    std::string sink =
        "audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=44100,channels=2 ! "
        "fdsink sync=true fd=" +
        std::to_string(recordingFd);
    ::setenv("PELLARIN_AUDIO_SINK", sink.c_str(), 1);
    installPlatformMusicDevices();
    Quorvane_B::cdRepeatTrack = 0;
  }

  void TearDown() override {
    removeMusicDevices();
    if (recordingFd >= 0) ::close(recordingFd);
    ::unsetenv("PELLARIN_AUDIO_SINK");
    ::unsetenv("PELLARIN_CD_DEVICE");
    TempFolderTest::TearDown();
  }

  std::size_t heard() { return readSamples(recording).size(); }

  std::filesystem::path folder, recording;  // a space in the path, as users' folders have
  int recordingFd = -1;
};

}  // namespace pellarin::testing
