// The audio CD end to end: disc images made here, read by GStreamer's CD source through the
// command interpreter, driven by the music operations as the run-mode timer drives them.

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "host/music/quorvane_bgm.h"
#include "tests/e2e/music/music_on_gstreamer.h"

namespace pellarin {
namespace {

using namespace testing;
namespace BGM = Quorvane_BGM;
using namespace std::chrono_literals;

// The sample value a track of constant bytes plays: the byte in both halves of each sample.
constexpr std::int16_t sampleOf(char byte) {
  return static_cast<std::int16_t>(byte * 257);
}

class CdOnGstreamer : public MusicOnGstreamer {
 protected:
  // A disc image of one-second tracks of constant bytes, each audio unless marked data, and
  // the drive set to it.
  void insertDisc(const std::vector<std::pair<char, bool>>& tracks) {
    std::ofstream data(folder / "disc.bin", std::ios::binary);
    std::ofstream sheet(folder / "disc.cue");
    sheet << "FILE \"disc.bin\" BINARY\n";
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      auto [byte, audio] = tracks[i];
      data << std::string(kSamplesPerSecond * 2, byte);
      sheet << "  TRACK 0" << i + 1 << (audio ? " AUDIO" : " MODE1/2352") << "\n    INDEX 01 00:0"
            << i << ":00\n";
    }
    ::setenv("PELLARIN_CD_DEVICE", (folder / "disc.cue").c_str(), 1);
  }

  std::size_t heardOf(std::int16_t value) {
    auto samples = readSamples(recording);
    return static_cast<std::size_t>(std::count(samples.begin(), samples.end(), value));
  }

  // The run-mode timer: a poll every 200 ms until done() holds.
  template <typename Done>
  bool pollUntil(Done done) {
    return waitUntil(
        [&] {
          BGM::pollCdAudio();
          std::this_thread::sleep_for(180ms);
          return done();
        },
        30s);
  }
};

TEST_F(CdOnGstreamer, TheChosenTrackKeepsRepeating) {
  insertDisc({{'\1', true}, {'\2', true}, {'\3', true}});
  BGM::openCdAudio();
  EXPECT_EQ(BGM::queryMci("status cdaudio number of tracks"), "3");

  Quorvane_B::cdRepeatTrack = 2;
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::queryMci("status cdaudio current track"), "2");
  EXPECT_EQ(BGM::queryMci("status cdaudio mode"), "playing");

  ASSERT_TRUE(pollUntil([&] { return heardOf(sampleOf('\2')) >= kSamplesPerSecond * 3; }));
  EXPECT_EQ(BGM::cdPollActive, -1);
  BGM::stopCdAudio();

  auto samples = readSamples(recording);
  EXPECT_EQ(samples.front(), sampleOf('\2')) << "playing began at track 2";
  EXPECT_EQ(heardOf(sampleOf('\1')), 0u);
  // Track 3 is heard only until the next poll notices it, never to its end.
  std::size_t run = 0, longestRun = 0;
  for (std::int16_t sample : samples)
    longestRun = std::max(longestRun, run = sample == sampleOf('\3') ? run + 1 : 0);
  EXPECT_LT(longestRun, kSamplesPerSecond);
}

TEST_F(CdOnGstreamer, TheDiscPlaysThroughWithoutGapsAndStartsAgain) {
  insertDisc({{'\1', true}, {'\2', true}, {'\3', true}});
  BGM::openCdAudio();
  EXPECT_EQ(BGM::queryMci("status cdaudio mode"), "stopped");
  ASSERT_TRUE(pollUntil([&] { return heard() > kSamplesPerSecond * 3 + kSamplesPerSecond / 2; }));
  BGM::stopCdAudio();

  auto samples = readSamples(recording);
  std::size_t wrong = 0;
  for (std::size_t i = 0; i < kSamplesPerSecond * 3; ++i) {
    wrong += samples[i] != sampleOf(static_cast<char>(1 + i / kSamplesPerSecond));
  }
  EXPECT_EQ(wrong, 0u) << "the three tracks back to back, sample for sample";
  EXPECT_EQ(samples[kSamplesPerSecond * 3], sampleOf('\1')) << "then track 1 again";
}

TEST_F(CdOnGstreamer, ADataTrackKeepsItsNumberAndIsNeverPlayed) {
  insertDisc({{'\0', false}, {'\2', true}, {'\3', true}});
  BGM::openCdAudio();
  const std::pair<const char*, const char*> answers[] = {
      {"status cdaudio number of tracks", "3"},
      {"status cdaudio current track", "2"},  // where the sound begins
      {"status cdaudio position", "02:00:00:00"},
      {"status cdaudio position track 1", "01:00:00:00"},
      {"status cdaudio position track 3", "03:00:00:00"},
      {"status cdaudio length track 1", "00:01:00"},
  };
  for (const auto& [command, answer] : answers) EXPECT_EQ(BGM::queryMci(command), answer);

  Quorvane_B::cdRepeatTrack = 1;  // the data track: nothing to play, and polling goes on
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::queryMci("status cdaudio mode"), "stopped");
  EXPECT_EQ(BGM::cdPollActive, -1);

  Quorvane_B::cdRepeatTrack = 3;
  ASSERT_TRUE(pollUntil([&] { return heardOf(sampleOf('\3')) >= kSamplesPerSecond * 2; }));
  BGM::stopCdAudio();
  EXPECT_EQ(heardOf(0), 0u) << "no data heard as sound";
  EXPECT_EQ(heardOf(sampleOf('\2')), 0u) << "track 3 repeats from its own start";
}

TEST_F(CdOnGstreamer, WithoutAUsableDiscTheFirstPollEndsPolling) {
  ASSERT_EQ(::mkfifo((folder / "pipe.cue").c_str(), 0600), 0);
  std::ofstream(folder / "empty.cue").close();
  std::ofstream(folder / "lost.cue") << "FILE \"lost.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                        "    INDEX 01 00:00:00\n";
  std::ofstream(folder / "data.bin", std::ios::binary) << std::string(2352 * 75, '\0');
  std::ofstream(folder / "data.cue") << "FILE \"data.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                        "    INDEX 01 00:00:00\n";
  // Where nothing can be opened the device stays closed; a drive without a readable disc opens.
  const std::pair<std::string, const char*> drives[] = {
      {(folder / "none").string(), "Error:263"},      // no such drive
      {(folder / "pipe.cue").string(), "Error:263"},  // a pipe, which must not block the host
      {"/dev/null", "not ready"},                     // a device that is no CD drive
      {(folder / "empty.cue").string(), "not ready"},
      {(folder / "lost.cue").string(), "not ready"},  // its data file is missing
      {(folder / "data.cue").string(), "not ready"},  // no audio track
  };
  for (const auto& [drive, mode] : drives) {
    SCOPED_TRACE(drive);
    ::setenv("PELLARIN_CD_DEVICE", drive.c_str(), 1);
    BGM::openCdAudio();
    BGM::pollCdAudio();
    EXPECT_EQ(BGM::cdPollActive, 0);
    EXPECT_EQ(BGM::queryMci("status cdaudio mode"), mode);
    BGM::stopCdAudio();
  }
  EXPECT_EQ(heard(), 0u);
}

}  // namespace
}  // namespace pellarin
