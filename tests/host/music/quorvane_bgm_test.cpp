#include "host/music/quorvane_bgm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/core/quorvane_b.h"
#include "host/music/music_devices.h"
#include "music_doubles.h"

namespace pellarin {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RecordingCommands;
namespace BGM = Quorvane_BGM;

class MusicOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    installMusicDevices(commands, sounds, outputs);
    Quorvane_B::musicKind = 0;
    Quorvane_B::cdRepeatTrack = 0;
    Quorvane_B::musicFile.clear();
    Quorvane_B::lastApiResult = 12345;
    BGM::cdPollActive = 0;
    BGM::mciReply.clear();
  }
  void TearDown() override { removeMusicDevices(); }

  void answer(const std::string& command, std::int32_t code, const std::string& reply = "") {
    commands.script[command] = {code, reply};
  }
  // A disc on the given track in the given mode.
  void disc(const std::string& track, const std::string& mode) {
    answer("status cdaudio current track", 0, track);
    answer("status cdaudio number of tracks", 0, "12");
    answer("status cdaudio mode", 0, mode);
  }

  RecordingCommands commands;
  testing::RecordingSounds sounds;
  testing::FixedOutputs outputs;
};

TEST_F(MusicOperations, EmptyCommandIsRefusedWithoutCallingTheSystem) {
  std::string reply = "old";
  EXPECT_EQ(BGM::sendMciCommand("", reply), -1);
  EXPECT_EQ(reply, "コマンド文字列が指定されていません");
  EXPECT_THAT(commands.sent, IsEmpty());
  EXPECT_EQ(Quorvane_B::lastApiResult, 12345);
}

TEST_F(MusicOperations, ReplyOrErrorTextComesBackWithTheCode) {
  answer("status x mode", 0, "paused");
  answer("status y mode", 263);
  std::string reply;
  EXPECT_EQ(BGM::sendMciCommand("status x mode", reply), 0);
  EXPECT_EQ(reply, "paused");
  ASSERT_EQ(commands.sent.size(), 1u);
  EXPECT_TRUE(commands.sent[0].hasReplyBuffer);
  EXPECT_EQ(commands.sent[0].replyLength, 512u);

  EXPECT_EQ(BGM::sendMciCommand("status y mode", reply), 263);
  EXPECT_EQ(reply, "text of 263");
  EXPECT_EQ(Quorvane_B::lastApiResult, 263);
  EXPECT_THAT(commands.errorLengths, ElementsAre(256u));

  commands.errorTexts = false;
  EXPECT_EQ(BGM::sendMciCommand("status y mode", reply), 263);
  EXPECT_EQ(reply, "Error (文字列が取れません)");
}

TEST_F(MusicOperations, QueryGivesTheReplyOrTheCodeButNeverTheErrorText) {
  answer("status cdaudio mode", 0, "stopped");
  answer("status cdaudio current track", 263);
  EXPECT_EQ(BGM::queryMci("status cdaudio mode"), "stopped");
  EXPECT_EQ(BGM::mciReply, "stopped");
  EXPECT_EQ(BGM::queryMci("status cdaudio current track"), "Error:263");
  EXPECT_EQ(BGM::mciReply, "text of 263");
  EXPECT_EQ(Quorvane_B::lastApiResult, 263);
}

TEST_F(MusicOperations, PlayCommandsNameOnlyTheGivenPositions) {
  answer("play cdaudio to 3", 282);
  BGM::playMciDevice("cdaudio", "", "");
  BGM::playMciDevice("cdaudio", "02:00:00:00", "");
  EXPECT_EQ(BGM::playMciDevice("cdaudio", "", "3"), 282);
  EXPECT_EQ(BGM::mciReply, "text of 282");
  BGM::playMciDevice("cdaudio", "1", "3");
  EXPECT_THAT(commands.commands(), ElementsAre("play cdaudio", "play cdaudio from 02:00:00:00",
                                               "play cdaudio to 3", "play cdaudio from 1 to 3"));
  EXPECT_EQ(BGM::mciReply, "");
}

TEST_F(MusicOperations, CdStartAndStopSendTheirCommandsWithoutReplyBuffers) {
  answer("open cdaudio", 266);
  BGM::openCdAudio();
  EXPECT_EQ(Quorvane_B::lastApiResult, 0) << "the second command's result is kept";
  answer("close cdaudio", 263);
  BGM::stopCdAudio();
  EXPECT_EQ(Quorvane_B::lastApiResult, 263);
  EXPECT_THAT(commands.commands(), ElementsAre("open cdaudio", "set cdaudio time format tmsf",
                                               "stop cdaudio", "close cdaudio"));
  for (const auto& sent : commands.sent) {
    EXPECT_FALSE(sent.hasReplyBuffer) << sent.command;
    EXPECT_EQ(sent.replyLength, 0u);
  }
}

TEST_F(MusicOperations, PollWithoutRepeatRestartsAStoppedDiscWithAPlainPlay) {
  disc("3", "stopped");
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::cdPollActive, -1);
  EXPECT_THAT(commands.commands(),
              ElementsAre("status cdaudio current track", "status cdaudio number of tracks",
                          "status cdaudio mode", "play cdaudio"));
  EXPECT_EQ(commands.sent[2].replyLength, 255u);

  commands.sent.clear();
  disc("3", "playing");
  BGM::pollCdAudio();
  EXPECT_EQ(commands.sent.size(), 3u);
}

TEST_F(MusicOperations, PollReturnsToTheRepeatTrackWhenTheDiscMovedOnOrStopped) {
  Quorvane_B::cdRepeatTrack = 5;
  disc("7", "playing");
  answer("status cdaudio position track 5", 0, "05:00:00:00");
  BGM::pollCdAudio();
  EXPECT_THAT(commands.commands(),
              ElementsAre("status cdaudio current track", "status cdaudio number of tracks",
                          "status cdaudio mode", "status cdaudio position track 5",
                          "play cdaudio from 05:00:00:00"));
  EXPECT_EQ(BGM::cdPollActive, -1);

  commands.sent.clear();
  disc("5", "playing");
  BGM::pollCdAudio();
  EXPECT_EQ(commands.sent.size(), 3u) << "track 5 is playing: nothing to do";

  commands.sent.clear();
  disc("5", "stopped");
  BGM::pollCdAudio();
  EXPECT_EQ(commands.commands().back(), "play cdaudio from 05:00:00:00");

  commands.sent.clear();
  disc("05", "playing");
  BGM::pollCdAudio();
  EXPECT_EQ(commands.sent.size(), 3u) << "track numbers compare as numbers";
}

TEST_F(MusicOperations, PollWithATrackBeyondTheDiscSendsTheErrorAsPositionAndGoesOn) {
  Quorvane_B::cdRepeatTrack = 14;
  disc("1", "playing");
  answer("status cdaudio position track 14", 282);
  BGM::pollCdAudio();
  EXPECT_EQ(commands.commands().back(), "play cdaudio from Error:282");
  EXPECT_EQ(BGM::cdPollActive, -1);
}

TEST_F(MusicOperations, PollSwitchesItselfOffWhenTheCdCannotBeUsed) {
  answer("status cdaudio current track", 263);
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::cdPollActive, 0);
  EXPECT_THAT(commands.commands(), ElementsAre("status cdaudio current track"));

  commands.sent.clear();
  disc("1", "stopped");
  answer("status cdaudio number of tracks", 276);
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::cdPollActive, 0);
  EXPECT_EQ(commands.sent.size(), 2u);

  // A reply holding "err" in any case counts as a failure, like the "Error:" of a failed query.
  commands.sent.clear();
  disc("Terrible", "stopped");
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::cdPollActive, 0);

  // A track that is no number is an unexpected fault.
  Quorvane_B::cdRepeatTrack = 2;
  disc("two", "playing");
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::cdPollActive, 0);
}

TEST_F(MusicOperations, ModesCompareOnSevenCharactersExactly) {
  struct Case {
    const char* mode;
    bool restarts;
  };
  for (Case c :
       {Case{"stopped", true}, Case{"stopped by user", true}, Case{"Stopped", false},
        Case{"STOPPED", false}, Case{"stoppe", false}, Case{" stopped", false}, Case{"", false}}) {
    commands.sent.clear();
    disc("1", c.mode);
    BGM::pollCdAudio();
    EXPECT_EQ(commands.commands().back() == "play cdaudio", c.restarts) << c.mode;
  }
  for (Case c : {Case{"playing", true}, Case{"playingX", true}, Case{"Playing", false},
                 Case{"playin", false}}) {
    answer("status MP3Play mode", 0, c.mode);
    EXPECT_EQ(BGM::isMp3Playing(), c.restarts) << c.mode;
  }
  EXPECT_EQ(commands.sent.back().replyLength, 30u);
}

TEST_F(MusicOperations, Mp3IsOpenedQuotedPlayedRepeatedAndClosed) {
  Quorvane_B::musicFile = "/home/a b/My Song.mp3";
  Quorvane_B::cdRepeatTrack = 3;
  BGM::startMp3();
  answer("status MP3Play mode", 0, "playing");
  BGM::repeatMp3();
  answer("status MP3Play mode", 0, "stopped");
  BGM::repeatMp3();
  BGM::stopMp3();
  EXPECT_THAT(commands.commands(),
              ElementsAre("open \"/home/a b/My Song.mp3\" type MPEGVideo Alias MP3Play",
                          "play MP3Play", "status MP3Play mode", "status MP3Play mode",
                          "stop MP3Play", "play MP3Play from 0", "stop MP3Play", "close MP3Play"));
  EXPECT_EQ(Quorvane_B::lastApiResult, 12345) << "MP3 results are not kept";
}

TEST_F(MusicOperations, Mp3ThatCannotBeOpenedIsNotPlayedButStillRetried) {
  Quorvane_B::musicFile = "/music/missing.mp3";
  answer("open \"/music/missing.mp3\" type MPEGVideo Alias MP3Play", 275);
  answer("status MP3Play mode", 263);
  BGM::startMp3();
  BGM::repeatMp3();
  EXPECT_THAT(commands.commands(),
              ElementsAre("open \"/music/missing.mp3\" type MPEGVideo Alias MP3Play",
                          "status MP3Play mode", "stop MP3Play", "play MP3Play from 0"));
}

TEST_F(MusicOperations, FileNameWithAQuotationMarkIsNeverSent) {
  Quorvane_B::musicFile = "/tmp/x\" type MPEGVideo alias Other \"y.mp3";
  BGM::startMp3();
  EXPECT_THAT(commands.sent, IsEmpty());
}

TEST_F(MusicOperations, WavLoopsOnlyWhereAnOutputExists) {
  Quorvane_B::musicFile = "/music/loop.wav";
  outputs.count = 0;
  BGM::startWav();
  EXPECT_THAT(sounds.calls, IsEmpty());
  EXPECT_EQ(Quorvane_B::lastApiResult, 12345);

  outputs.count = 2;
  BGM::startWav();
  EXPECT_EQ(Quorvane_B::lastApiResult, 1);
  sounds.accept = false;
  BGM::stopWav();
  EXPECT_EQ(Quorvane_B::lastApiResult, 0);
  EXPECT_THAT(sounds.calls, ElementsAre("loop /music/loop.wav", "stop"));
  EXPECT_THAT(commands.sent, IsEmpty());
}

TEST_F(MusicOperations, EndingDecidesTheKindInAnyLetterCase) {
  EXPECT_EQ(BGM::musicFileEnding("/m/song.mp3"), "MP3");
  EXPECT_EQ(BGM::musicFileEnding("/m/song.Mp3"), "MP3");
  EXPECT_EQ(BGM::musicFileEnding("C:\\m\\LOOP.wAv"), "WAV");
  EXPECT_EQ(BGM::musicFileEnding("/m/loop.wave"), "AVE");
  EXPECT_EQ(BGM::musicFileEnding("/m/tune.mid"), "MID");
  EXPECT_EQ(BGM::musicFileEnding("p3"), "P3");
  EXPECT_EQ(BGM::musicFileEnding(""), "");
}

TEST(MusicWithoutDevices, OperationsFailQuietly) {
  removeMusicDevices();
  EXPECT_EQ(Quorvane_BGM::queryMci("status cdaudio mode"), "Error:266");
  EXPECT_EQ(Quorvane_BGM::mciReply, "Error (文字列が取れません)");
  Quorvane_BGM::pollCdAudio();
  EXPECT_EQ(Quorvane_BGM::cdPollActive, 0);
  Quorvane_B::musicFile = "/x.wav";
  Quorvane_BGM::startWav();
  EXPECT_FALSE(Quorvane_BGM::isMp3Playing());
}

}  // namespace
}  // namespace pellarin
