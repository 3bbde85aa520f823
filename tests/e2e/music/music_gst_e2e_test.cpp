// The music operations end to end: the command interpreter with GStreamer devices behind it,
// playing into a sink that records what a listener would hear.

#include <fcntl.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "host/core/quorvane_b.h"
#include "host/music/looping_sound_player_gst.h"
#include "host/music/music_devices.h"
#include "host/music/quorvane_bgm.h"
#include "tests/support/e2e_support.h"

namespace pellarin {
namespace {

using testing::readFile;
using testing::waitUntil;
namespace BGM = Quorvane_BGM;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::size_t kSamplesPerSecond = 44100 * 2;  // stereo

// 16-bit samples of a raw file, or of the data chunk of a WAV file.
std::vector<std::int16_t> readSamples(const fs::path& file, bool wav = false) {
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
bool runPipeline(const std::string& launchLine) {
  g_autoptr(GstElement) pipeline = gst_parse_launch(launchLine.c_str(), nullptr);
  if (pipeline == nullptr) return false;
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  g_autoptr(GstBus) bus = gst_element_get_bus(pipeline);
  g_autoptr(GstMessage) message = gst_bus_timed_pop_filtered(
      bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  gst_element_set_state(pipeline, GST_STATE_NULL);
  return message != nullptr && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
}

class MusicOnGstreamer : public testing::TempFolderTest {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }

  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(folder = folder_ / "music e2e");
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

  fs::path folder, recording;  // a space in the path, as users' folders have
  int recordingFd = -1;
};

TEST_F(MusicOnGstreamer, Mp3PlaysEndsAndIsRestartedByTheRepeatCheck) {
  // About a second of a 440 Hz sine.
  Quorvane_B::musicFile = (folder / "a song.mp3").string();
  ASSERT_TRUE(runPipeline(
      "audiotestsrc num-buffers=43 samplesperbuffer=1024 freq=440 volume=0.5 ! audioconvert ! "
      "lamemp3enc ! filesink location=\"" +
      Quorvane_B::musicFile + "\""));
  BGM::startMp3();
  EXPECT_EQ(BGM::queryMci("status MP3Play mode"), "playing");

  ASSERT_TRUE(waitUntil([] { return !BGM::isMp3Playing(); }, 15s));
  EXPECT_EQ(BGM::queryMci("status MP3Play mode"), "stopped");
  std::size_t firstPass = heard();
  EXPECT_GT(firstPass, kSamplesPerSecond * 9 / 10) << "the whole second was heard";

  BGM::repeatMp3();
  EXPECT_TRUE(BGM::isMp3Playing()) << "restarted at once";
  ASSERT_TRUE(waitUntil([&] { return heard() > firstPass + kSamplesPerSecond / 2; }, 15s));
  BGM::stopMp3();
  EXPECT_EQ(BGM::queryMci("status MP3Play mode"), "Error:263");
}

TEST_F(MusicOnGstreamer, WavLoopsWithoutAGapUntilStopped) {
  // Half a second of noise, so that any gap, repeat or skip at the joins shows.
  fs::path wav = folder / "loop.wav";
  ASSERT_TRUE(
      runPipeline("audiotestsrc wave=white-noise num-buffers=22 samplesperbuffer=1000 ! "
                  "audio/x-raw,format=S16LE,rate=44100,channels=2 ! wavenc ! filesink location=\"" +
                  wav.string() + "\""));
  auto sound = readSamples(wav, true);
  ASSERT_EQ(sound.size(), 44000u);

  auto player = makeLoopingSoundPlayerGst();
  ASSERT_TRUE(player->startLoop(wav.string()));
  ASSERT_TRUE(waitUntil([&] { return heard() > sound.size() * 3; }, 20s));
  EXPECT_TRUE(player->stop());
  auto samples = readSamples(recording);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(heard(), samples.size()) << "nothing plays after stop";

  std::size_t mismatches = 0;
  for (std::size_t i = 0; i < sound.size() * 3; ++i) mismatches += samples[i] != sound[i % 44000];
  EXPECT_EQ(mismatches, 0u) << "three passes heard back to back, sample for sample";
}

TEST_F(MusicOnGstreamer, CdImageKeepsTheChosenTrackRepeating) {
  // Three one-second tracks, each a constant value on both channels: 257, 514 and 771.
  std::ofstream data(folder / "disc.bin", std::ios::binary);
  for (char byte : {'\1', '\2', '\3'}) data << std::string(kSamplesPerSecond * 2, byte);
  data.close();
  std::ofstream(folder / "disc.cue") << "FILE \"disc.bin\" BINARY\n"
                                        "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n"
                                        "  TRACK 03 AUDIO\n    INDEX 01 00:02:00\n";
  ::setenv("PELLARIN_CD_DEVICE", (folder / "disc.cue").c_str(), 1);
  BGM::openCdAudio();
  EXPECT_EQ(BGM::queryMci("status cdaudio number of tracks"), "3");

  Quorvane_B::cdRepeatTrack = 2;
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::queryMci("status cdaudio current track"), "2");
  EXPECT_EQ(BGM::queryMci("status cdaudio mode"), "playing");

  // The run-mode timer: a poll every 200 ms, until track 2 was heard three times over.
  auto heardOf = [&](std::int16_t value) {
    auto samples = readSamples(recording);
    return static_cast<std::size_t>(std::count(samples.begin(), samples.end(), value));
  };
  ASSERT_TRUE(waitUntil(
      [&] {
        BGM::pollCdAudio();
        std::this_thread::sleep_for(180ms);
        return heardOf(514) >= kSamplesPerSecond * 3;
      },
      30s));
  EXPECT_EQ(BGM::cdPollActive, -1);
  BGM::stopCdAudio();

  auto samples = readSamples(recording);
  EXPECT_EQ(samples.front(), 514) << "playing began at track 2";
  EXPECT_EQ(heardOf(257), 0u);
  // Track 3 is heard only until the next poll notices it, never to its end.
  std::size_t run = 0, longestRun = 0;
  for (std::int16_t sample : samples)
    longestRun = std::max(longestRun, run = sample == 771 ? run + 1 : 0);
  EXPECT_LT(longestRun, kSamplesPerSecond);
}

}  // namespace
}  // namespace pellarin
