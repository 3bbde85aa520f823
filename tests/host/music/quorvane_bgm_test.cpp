#include "host/music/quorvane_bgm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "host/core/quorvane_b.h"
#include "host/music/music_devices.h"

namespace pellarin {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace BGM = Quorvane_BGM;
using Commands = std::vector<std::string>;

const std::string kTrack = "status cdaudio current track";
const std::string kTracks = "status cdaudio number of tracks";
const std::string kMode = "status cdaudio mode";

// Installs itself as the devices: records every command and the sound player's calls.
class MusicOperations : public ::testing::Test,
                        public MciCommandInterface,
                        public LoopingSoundPlayer,
                        public AudioOutputCounter {
 protected:
  void SetUp() override {
    installMusicDevices(*this, *this, *this);
    Quorvane_B::cdRepeatTrack = 0;
    Quorvane_B::lastApiResult = 12345;
    BGM::cdPollActive = 0;
  }
  void TearDown() override { removeMusicDevices(); }

  std::int32_t sendString(const char* command, char* reply, std::uint32_t replyLength) override {
    sent.push_back(command);
    auto [code, text] = script[command];
    if (reply != nullptr && replyLength > 0) {
      std::strncpy(reply, text.c_str(), replyLength - 1);
      reply[replyLength - 1] = '\0';
    }
    return code;
  }
  bool errorString(std::int32_t code, char* text, std::uint32_t length) override {
    if (!errorTexts) return false;
    std::strncpy(text, ("text of " + std::to_string(code)).c_str(), length);
    return true;
  }
  bool startLoop(std::string_view file) override {
    sounds.push_back("loop " + std::string(file));
    return accept;
  }
  bool stop() override {
    sounds.push_back("stop");
    return accept;
  }
  std::int32_t countOutputDevices() override { return outputs; }

  // Answers by command (code, reply); any other command succeeds with no reply.
  std::map<std::string, std::pair<std::int32_t, std::string>> script;
  Commands sent;
  bool errorTexts = true;
  Commands sounds;
  bool accept = true;
  std::int32_t outputs = 1;
};

TEST_F(MusicOperations, RepliesErrorTextsAndTheEmptyCommand) {
  std::string reply;
  EXPECT_EQ(BGM::sendMciCommand("", reply), -1);
  EXPECT_EQ(reply, "コマンド文字列が指定されていません");
  EXPECT_THAT(sent, IsEmpty());
  EXPECT_EQ(Quorvane_B::lastApiResult, 12345);

  script["status x mode"] = {0, "paused"};
  script["status y mode"] = {263, ""};
  EXPECT_EQ(BGM::sendMciCommand("status y mode", reply), 263);
  EXPECT_EQ(reply, "text of 263");
  EXPECT_EQ(Quorvane_B::lastApiResult, 263);
  EXPECT_EQ(BGM::queryMci("status x mode"), "paused");
  EXPECT_EQ(BGM::queryMci("status y mode"), "Error:263") << "the code, never the text";
  EXPECT_EQ(BGM::mciReply, "text of 263");
  errorTexts = false;
  EXPECT_EQ(BGM::sendMciCommand("status y mode", reply), 263);
  EXPECT_EQ(reply, "Error (文字列が取れません)");
}

TEST_F(MusicOperations, CdStartAndStopKeepTheLastResult) {
  script["open cdaudio"] = {266, ""};
  BGM::openCdAudio();
  EXPECT_EQ(Quorvane_B::lastApiResult, 0) << "the second command's result is kept";
  script["close cdaudio"] = {263, ""};
  BGM::stopCdAudio();
  EXPECT_EQ(Quorvane_B::lastApiResult, 263);
  EXPECT_THAT(sent, ElementsAre("open cdaudio", "set cdaudio time format tmsf", "stop cdaudio",
                                "close cdaudio"));
}

TEST_F(MusicOperations, PollKeepsTheDiscOrTheRepeatTrackPlaying) {
  const std::string play = "play cdaudio", position5 = "status cdaudio position track 5",
                    position1 = "status cdaudio position track 1";
  const struct {
    std::int16_t repeat;
    const char* track;  // null: the query fails
    const char* mode;
    Commands expected;
    std::int16_t active;
  } cases[] = {
      {0, "3", "stopped", {kTrack, kTracks, kMode, play}, -1},
      {0, "3", "playing", {kTrack, kTracks, kMode}, -1},
      // Modes compare on their first seven characters, case-sensitively.
      {0, "3", "stopped by user", {kTrack, kTracks, kMode, play}, -1},
      {0, "3", "Stopped", {kTrack, kTracks, kMode}, -1},
      {0, "3", "stoppe", {kTrack, kTracks, kMode}, -1},
      {5, "7", "playing", {kTrack, kTracks, kMode, position5, play + " from 05:00:00:00"}, -1},
      {5, "5", "playing", {kTrack, kTracks, kMode}, -1},
      {5, "5", "stopped", {kTrack, kTracks, kMode, position5, play + " from 05:00:00:00"}, -1},
      // Track 1, the first track a repeat can name: played again once another track plays.
      {1, "2", "playing", {kTrack, kTracks, kMode, position1, play + " from 01:00:00:00"}, -1},
      {1, "1", "stopped", {kTrack, kTracks, kMode, position1, play + " from 01:00:00:00"}, -1},
      {1, "1", "playing", {kTrack, kTracks, kMode}, -1},
      {0, nullptr, "stopped", {kTrack}, 0},
  };
  script[position5] = {0, "05:00:00:00"};
  script[position1] = {0, "01:00:00:00"};
  script[kTracks] = {0, "12"};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.repeat) + " " + (c.track ? c.track : "-") + " " + c.mode);
    sent.clear();
    Quorvane_B::cdRepeatTrack = c.repeat;
    script[kTrack] = {c.track ? 0 : 263, c.track ? c.track : ""};
    script[kMode] = {0, c.mode};
    BGM::pollCdAudio();
    EXPECT_EQ(sent, c.expected);
    EXPECT_EQ(BGM::cdPollActive, c.active);
  }
}

TEST_F(MusicOperations, Mp3IsOpenedQuotedPlayedRepeatedAndClosed) {
  Quorvane_B::musicFile = "/home/a b/My Song.mp3";
  BGM::startMp3();
  script["status MP3Play mode"] = {0, "playing"};
  BGM::repeatMp3();
  script["status MP3Play mode"] = {0, "stopped"};
  BGM::repeatMp3();
  BGM::stopMp3();
  EXPECT_THAT(sent,
              ElementsAre("open \"/home/a b/My Song.mp3\" type MPEGVideo Alias MP3Play",
                          "play MP3Play", "status MP3Play mode", "status MP3Play mode",
                          "stop MP3Play", "play MP3Play from 0", "stop MP3Play", "close MP3Play"));
  EXPECT_EQ(Quorvane_B::lastApiResult, 12345) << "MP3 results are not kept";
}

TEST_F(MusicOperations, WavLoopsAndStops) {
  Quorvane_B::musicFile = "/music/loop.wav";
  outputs = 0;
  BGM::startWav();  // without an output nothing starts
  EXPECT_EQ(Quorvane_B::lastApiResult, 12345);
  outputs = 1;
  BGM::startWav();
  EXPECT_EQ(Quorvane_B::lastApiResult, 1);
  accept = false;
  BGM::stopWav();
  EXPECT_EQ(Quorvane_B::lastApiResult, 0);
  EXPECT_THAT(sounds, ElementsAre("loop /music/loop.wav", "stop"));
  EXPECT_THAT(sent, IsEmpty());
}

}  // namespace
}  // namespace pellarin
