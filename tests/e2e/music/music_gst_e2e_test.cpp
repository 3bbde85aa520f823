// MP3 and WAV files end to end, through playbin into the recording sink.

#include <chrono>
#include <thread>

#include "host/music/gst_runtime_gst.h"
#include "host/music/looping_sound_player_gst.h"
#include "host/music/quorvane_bgm.h"
#include "tests/e2e/music/music_on_gstreamer.h"

namespace pellarin {
namespace {

using namespace testing;
namespace BGM = Quorvane_BGM;
using namespace std::chrono_literals;

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
  std::filesystem::path wav = folder / "loop.wav";
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

// A sound much shorter than what the output holds ahead is wholly read before the output has
// started, and each join falls while the player is still starting or already stopping.
TEST_F(MusicOnGstreamer, AVeryShortSoundLoopsWithoutAGapAndStopsCleanlyAnyTime) {
  std::filesystem::path wav = folder / "click.wav";
  ASSERT_TRUE(
      runPipeline("audiotestsrc wave=white-noise num-buffers=5 samplesperbuffer=441 ! "
                  "audio/x-raw,format=S16LE,rate=44100,channels=2 ! wavenc ! filesink location=\"" +
                  wav.string() + "\""));
  auto sound = readSamples(wav, true);
  ASSERT_EQ(sound.size(), 4410u);

  auto player = makeLoopingSoundPlayerGst();
  for (int round = 0; round < 5; ++round) {
    const std::size_t before = heard();
    ASSERT_TRUE(player->startLoop(wav.string()));
    ASSERT_TRUE(waitUntil([&] { return heard() > before + sound.size() * 8; }, 20s));
    EXPECT_TRUE(player->stop());
  }
  for (int round = 0; round < 5; ++round) {
    ASSERT_TRUE(player->startLoop(wav.string())) << "started again at once";
  }
  EXPECT_TRUE(player->stop());

  // The first round is heard whole from its start: eight passes back to back.
  auto samples = readSamples(recording);
  ASSERT_GE(samples.size(), sound.size() * 8);
  std::size_t mismatches = 0;
  for (std::size_t i = 0; i < sound.size() * 8; ++i) mismatches += samples[i] != sound[i % 4410];
  EXPECT_EQ(mismatches, 0u) << "eight passes heard back to back, sample for sample";
}

// A replacement output given for diagnosis is where every sound goes, so it counts as the one
// output, also on a machine without sound hardware; one that does not parse is not used, and
// the system's own outputs count as ever.
TEST_F(MusicOnGstreamer, AReplacementOutputCountsAsTheOneAudioOutput) {
  const std::string replacement = ::getenv("PELLARIN_AUDIO_SINK");
  ::unsetenv("PELLARIN_AUDIO_SINK");
  const std::int32_t system = countAudioOutputs();
  const struct {
    const char* sink;
    std::int32_t outputs;
  } cases[] = {
      {replacement.c_str(), 1},
      {"fakesink sync=true", 1},
      {"no-such-element-anywhere", system},
      {"", system},
  };
  for (const auto& c : cases) {
    ::setenv("PELLARIN_AUDIO_SINK", c.sink, 1);
    EXPECT_EQ(countAudioOutputs(), c.outputs) << "PELLARIN_AUDIO_SINK=\"" << c.sink << '"';
  }
  ::setenv("PELLARIN_AUDIO_SINK", replacement.c_str(), 1);
}

TEST_F(MusicOnGstreamer, AWavSettingPlaysIntoTheReplacementOutput) {
  Quorvane_B::musicFile = (folder / "loop.wav").string();
  ASSERT_TRUE(
      runPipeline("audiotestsrc num-buffers=22 samplesperbuffer=1000 ! "
                  "audio/x-raw,format=S16LE,rate=44100,channels=2 ! wavenc ! filesink location=\"" +
                  Quorvane_B::musicFile + "\""));
  BGM::startWav();
  EXPECT_TRUE(waitUntil([&] { return heard() > kSamplesPerSecond; }, 20s)) << "nothing heard";
  BGM::stopWav();
}

}  // namespace
}  // namespace pellarin
