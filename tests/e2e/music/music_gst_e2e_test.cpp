// The music operations end to end: the command interpreter with GStreamer devices behind it,
// playing into a sink that records what a listener would hear.

#include <fcntl.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "host/core/quorvane_b.h"
#include "host/music/looping_sound_player_gst.h"
#include "host/music/music_devices.h"
#include "host/music/quorvane_bgm.h"

namespace pellarin {
namespace {

namespace BGM = Quorvane_BGM;
namespace fs = std::filesystem;

constexpr int kRate = 44100;

// Waits until the condition holds, at most limit; true when it did.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

std::vector<std::int16_t> readSamples(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::int16_t> samples(bytes.size() / 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

void writeWav(const fs::path& file, const std::vector<std::int16_t>& samples) {
  auto u32 = [](std::ofstream& out, std::uint32_t v) { out.write(reinterpret_cast<char*>(&v), 4); };
  auto u16 = [](std::ofstream& out, std::uint16_t v) { out.write(reinterpret_cast<char*>(&v), 2); };
  std::ofstream out(file, std::ios::binary);
  auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  u32(out, 36 + dataBytes);
  out.write("WAVEfmt ", 8);
  u32(out, 16);
  u16(out, 1);
  u16(out, 2);
  u32(out, kRate);
  u32(out, kRate * 4);
  u16(out, 4);
  u16(out, 16);
  out.write("data", 4);
  u32(out, dataBytes);
  out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
}

// Runs a gst-launch style pipeline to its end.
bool runPipeline(const std::string& description) {
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
  if (pipeline == nullptr || error != nullptr) {
    g_clear_error(&error);
    if (pipeline != nullptr) gst_object_unref(pipeline);
    return false;
  }
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  bool ended = message != nullptr && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
  if (message != nullptr) gst_message_unref(message);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ended;
}

struct Level {
  double peak = 0;
  double rms = 0;
};
Level levelOf(const std::vector<std::int16_t>& samples) {
  Level level;
  double sum = 0;
  for (std::int16_t s : samples) {
    level.peak = std::max(level.peak, std::abs(static_cast<double>(s)) / 32768.0);
    sum += (s / 32768.0) * (s / 32768.0);
  }
  level.rms = samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
  return level;
}

class MusicOnGstreamer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }

  void SetUp() override {
    folder = fs::temp_directory_path() / ("music e2e " + std::to_string(::getpid()));
    fs::create_directories(folder);
    recording = folder / "heard.raw";
    // Records what would be heard, at the pace of a real output. Appending keeps every pass,
    // also across the flushes of a restart.
    recordingFd = ::open(recording.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ASSERT_GE(recordingFd, 0);
    std::string sink =
        "audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=44100,"
        "channels=2 ! fdsink sync=true fd=" +
        std::to_string(recordingFd);
    ::setenv("PELLARIN_AUDIO_SINK", sink.c_str(), 1);
    installPlatformMusicDevices();
    Quorvane_B::cdRepeatTrack = 0;
    Quorvane_B::musicFile.clear();
  }

  void TearDown() override {
    removeMusicDevices();
    if (recordingFd >= 0) ::close(recordingFd);
    ::unsetenv("PELLARIN_AUDIO_SINK");
    ::unsetenv("PELLARIN_CD_DEVICE");
    fs::remove_all(folder);
  }

  fs::path folder;
  fs::path recording;
  int recordingFd = -1;
};

TEST_F(MusicOnGstreamer, Mp3PlaysEndsAndIsRestartedByTheRepeatCheck) {
  fs::path song = folder / "a song.mp3";
  ASSERT_TRUE(
      runPipeline("audiotestsrc num-buffers=43 samplesperbuffer=1024 freq=440 volume=0.5"
                  " ! audioconvert ! lamemp3enc ! filesink location=\"" +
                  song.string() + "\""));
  Quorvane_B::musicFile = song.string();
  BGM::startMp3();
  EXPECT_TRUE(BGM::isMp3Playing());
  EXPECT_EQ(BGM::queryMci("status MP3Play mode"), "playing");
  int length = std::atoi(BGM::queryMci("status mp3play LENGTH").c_str());
  EXPECT_GT(length, 900);
  EXPECT_LT(length, 1200);

  ASSERT_TRUE(waitFor([] { return !BGM::isMp3Playing(); }, std::chrono::seconds(15)));
  EXPECT_EQ(BGM::queryMci("status MP3Play mode"), "stopped");
  auto firstPass = readSamples(recording).size();
  EXPECT_GT(firstPass, std::size_t{kRate * 2 * 9 / 10}) << "the whole second was heard";

  BGM::repeatMp3();
  EXPECT_TRUE(BGM::isMp3Playing()) << "restarted at once";
  ASSERT_TRUE(waitFor([&] { return readSamples(recording).size() > firstPass + kRate; },
                      std::chrono::seconds(15)));
  BGM::repeatMp3();  // still playing: nothing to do
  BGM::stopMp3();
  EXPECT_EQ(BGM::queryMci("status MP3Play mode"), "Error:263");

  // Heard at the level it was made with: a sine at half scale.
  Level level = levelOf(readSamples(recording));
  EXPECT_NEAR(level.peak, 0.5, 0.05);
  EXPECT_NEAR(level.rms, 0.5 / std::sqrt(2.0), 0.05);
}

TEST_F(MusicOnGstreamer, NormalOutputPlaysAtTheRealPaceEvenWithoutSound) {
  ::unsetenv("PELLARIN_AUDIO_SINK");
  fs::path song = folder / "tone.mp3";
  ASSERT_TRUE(
      runPipeline("audiotestsrc num-buffers=43 samplesperbuffer=1024 ! audioconvert ! "
                  "lamemp3enc ! filesink location=\"" +
                  song.string() + "\""));
  Quorvane_B::musicFile = song.string();
  BGM::startMp3();
  EXPECT_TRUE(BGM::isMp3Playing());
  EXPECT_TRUE(
      waitFor([] { return std::atoi(BGM::queryMci("status MP3Play position").c_str()) > 300; },
              std::chrono::seconds(10)));
  EXPECT_TRUE(waitFor([] { return !BGM::isMp3Playing(); }, std::chrono::seconds(15)));
  EXPECT_GE(std::atoi(BGM::queryMci("status MP3Play position").c_str()), 900);
  BGM::stopMp3();
}

TEST_F(MusicOnGstreamer, FilesThatCannotBePlayedFailTheirOpen) {
  fs::path text = folder / "not music.mp3";
  std::ofstream(text) << "just some words, no sound at all\n";
  std::string reply;
  EXPECT_EQ(BGM::sendMciCommand("open \"" + text.string() + "\" type MPEGVideo alias x", reply),
            277);
  EXPECT_EQ(BGM::sendMciCommand(
                "open \"" + (folder / "gone.mp3").string() + "\" type MPEGVideo alias x", reply),
            275);

  // A file whose name holds a quotation mark is not played, whatever its name adds.
  fs::path sneaky = folder / "x\" type MPEGVideo Alias MP3Play \"y.mp3";
  ASSERT_TRUE(
      runPipeline("audiotestsrc num-buffers=10 ! audioconvert ! lamemp3enc ! filesink "
                  "location=\"" +
                  folder.string() + "/plain.mp3\""));
  fs::copy_file(folder / "plain.mp3", sneaky);
  Quorvane_B::musicFile = sneaky.string();
  BGM::startMp3();
  EXPECT_FALSE(BGM::isMp3Playing());
  EXPECT_EQ(BGM::queryMci("status MP3Play mode"), "Error:263");
  EXPECT_TRUE(readSamples(recording).empty());
}

TEST_F(MusicOnGstreamer, WavLoopsWithoutAGapUntilStopped) {
  // Half a second whose samples never repeat within the file, so that any gap, repeat or skip
  // at the joins shows.
  std::vector<std::int16_t> sound(kRate / 2 * 2);
  for (std::size_t i = 0; i < sound.size(); ++i) {
    sound[i] = static_cast<std::int16_t>(static_cast<int>(i * 7 % 20011) - 10005);
  }
  fs::path wav = folder / "loop.wav";
  writeWav(wav, sound);

  auto player = makeLoopingSoundPlayerGst();
  ASSERT_TRUE(player->startLoop(wav.string()));
  ASSERT_TRUE(waitFor([&] { return readSamples(recording).size() > sound.size() * 3; },
                      std::chrono::seconds(20)));
  EXPECT_TRUE(player->stop());
  auto heard = readSamples(recording);
  auto afterStop = heard.size();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(readSamples(recording).size(), afterStop) << "nothing plays after stop";

  ASSERT_GE(heard.size(), sound.size() * 3);
  std::size_t mismatches = 0;
  for (std::size_t i = 0; i < sound.size() * 3; ++i) {
    if (heard[i] != sound[i % sound.size()]) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0u) << "three passes heard back to back, sample for sample";
  EXPECT_FALSE(player->startLoop((folder / "missing.wav").string()));
}

// A disc image of three one-second tracks, each a constant value on both channels.
fs::path makeCdImage(const fs::path& folder) {
  std::vector<std::int16_t> samples;
  for (std::int16_t value : {1000, 2000, 3000}) samples.insert(samples.end(), kRate * 2, value);
  std::ofstream(folder / "disc.bin", std::ios::binary)
      .write(reinterpret_cast<const char*>(samples.data()),
             static_cast<std::streamsize>(samples.size() * 2));
  std::ofstream(folder / "disc.cue") << "FILE \"disc.bin\" BINARY\n"
                                        "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n"
                                        "  TRACK 03 AUDIO\n    INDEX 01 00:02:00\n";
  return folder / "disc.cue";
}

TEST_F(MusicOnGstreamer, CdImageKeepsTheChosenTrackRepeating) {
  ::setenv("PELLARIN_CD_DEVICE", makeCdImage(folder).c_str(), 1);
  BGM::openCdAudio();
  EXPECT_EQ(Quorvane_B::lastApiResult, 0);
  EXPECT_EQ(BGM::queryMci("status cdaudio number of tracks"), "3");
  EXPECT_EQ(BGM::queryMci("status cdaudio mode"), "stopped");
  EXPECT_EQ(BGM::queryMci("status cdaudio position track 2"), "02:00:00:00");

  Quorvane_B::cdRepeatTrack = 2;
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::cdPollActive, -1);
  EXPECT_EQ(BGM::queryMci("status cdaudio current track"), "2");
  EXPECT_EQ(BGM::queryMci("status cdaudio mode"), "playing");

  // The run-mode timer: a poll every 200 ms, until track 2 was heard three times over.
  auto heardOf = [&](std::int16_t value) {
    auto samples = readSamples(recording);
    return static_cast<std::size_t>(std::count(samples.begin(), samples.end(), value));
  };
  bool wrapped = false;
  std::string last = BGM::queryMci("status cdaudio position");
  ASSERT_TRUE(waitFor(
      [&] {
        BGM::pollCdAudio();
        std::string now = BGM::queryMci("status cdaudio position");
        if (now.rfind("02:", 0) == 0 && last.rfind("02:", 0) == 0 && now < last) wrapped = true;
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(180));
        return heardOf(2000) >= std::size_t{kRate * 2 * 3};
      },
      std::chrono::seconds(30)));
  EXPECT_EQ(BGM::cdPollActive, -1);
  EXPECT_TRUE(wrapped) << "the position went back to the start of track 2";
  BGM::stopCdAudio();
  EXPECT_EQ(Quorvane_B::lastApiResult, 0);

  auto samples = readSamples(recording);
  ASSERT_FALSE(samples.empty());
  EXPECT_EQ(samples.front(), 2000) << "playing began at track 2";
  EXPECT_EQ(heardOf(1000), 0u);
  // Track 3 is heard only until the next poll notices it, never to its end.
  std::size_t run = 0;
  std::size_t longestRun = 0;
  for (std::int16_t sample : samples) {
    run = sample == 3000 ? run + 1 : 0;
    longestRun = std::max(longestRun, run);
  }
  EXPECT_LT(longestRun, std::size_t{kRate * 2});
  EXPECT_EQ(BGM::queryMci("status cdaudio mode"), "Error:263");
}

TEST_F(MusicOnGstreamer, CdImagePlaysOnThroughTheDiscWithoutRepeat) {
  ::setenv("PELLARIN_CD_DEVICE", makeCdImage(folder).c_str(), 1);
  BGM::openCdAudio();
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::queryMci("status cdaudio mode"), "playing");
  ASSERT_TRUE(waitFor([] { return BGM::queryMci("status cdaudio mode") == "stopped"; },
                      std::chrono::seconds(20)));
  EXPECT_EQ(BGM::queryMci("status cdaudio current track"), "3");
  auto samples = readSamples(recording);
  EXPECT_EQ(samples.front(), 1000);
  EXPECT_EQ(samples.back(), 3000);
  EXPECT_NEAR(static_cast<double>(samples.size()), kRate * 2 * 3, kRate * 2 * 0.05);
  BGM::stopCdAudio();
}

TEST_F(MusicOnGstreamer, MissingDriveSwitchesPollingOff) {
  ::setenv("PELLARIN_CD_DEVICE", (folder / "no-such-drive").c_str(), 1);
  BGM::openCdAudio();
  EXPECT_EQ(Quorvane_B::lastApiResult, 263) << "the open failed, so the device is unknown";
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::cdPollActive, 0);
  EXPECT_EQ(BGM::mciReply.empty(), false);
}

}  // namespace
}  // namespace pellarin
