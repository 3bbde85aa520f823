#include "host/music/mci_interpreter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "music_doubles.h"

namespace pellarin {
namespace {

using ::testing::ElementsAre;
using testing::FakeProvider;
using ::testing::IsEmpty;
using ::testing::Pair;

class Interpreter : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("mci_interpreter_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    song = (folder / "my song.mp3").string();
    std::ofstream(song) << "x";
    provider.cd.tracks = {{0, 750}, {750, 1500}, {2250, 300}};
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  // The code of a command; its reply in reply.
  std::int32_t run(const std::string& command) { return mci.execute(command, reply); }
  std::string ask(const std::string& command) {
    std::int32_t code = run(command);
    return code == 0 ? reply : "error " + std::to_string(code);
  }

  std::filesystem::path folder;
  std::string song;
  FakeProvider provider;
  MciInterpreter mci{provider};
  std::string reply;
};

TEST_F(Interpreter, OpensAFileUnderAnAliasInAnyLetterCase) {
  EXPECT_EQ(ask("open \"" + song + "\" type MPEGVideo Alias MP3Play"), "1");
  EXPECT_THAT(provider.openedFiles, ElementsAre(song));
  EXPECT_EQ(ask("STATUS mp3play MODE"), "stopped");
  EXPECT_EQ(ask("Play MP3PLAY"), "");
  EXPECT_EQ(ask("status MP3Play mode"), "playing");
  EXPECT_EQ(ask("open \"" + song + "\" TYPE mpegvideo ALIAS Second"), "2");
  EXPECT_EQ(ask("close MP3Play"), "");
  EXPECT_FALSE(provider.media.alive) << "closing releases the device";
  EXPECT_EQ(ask("open \"" + song + "\" type MPEGVideo alias Third"), "1")
      << "the lowest free number is reused";
  EXPECT_EQ(ask("open " + (folder / "plain.mp3").string() + " type MPEGVideo"), "error 275");
}

TEST_F(Interpreter, RefusesOpensThatCannotWork) {
  std::string open = "open \"" + song + "\" type MPEGVideo alias a";
  EXPECT_EQ(ask(open), "1");
  EXPECT_EQ(ask("open \"" + song + "\" type MPEGVideo alias A"), "error 289");
  EXPECT_EQ(ask("open \"" + (folder / "none.mp3").string() + "\" type MPEGVideo alias b"),
            "error 275");
  EXPECT_EQ(ask("open \"" + folder.string() + "\" type MPEGVideo alias b"), "error 275");
  EXPECT_EQ(ask("open \"" + song + "\" type Sequencer alias b"), "error 263");
  EXPECT_EQ(ask("open videodisc"), "error 263");
  EXPECT_EQ(ask("open \"cdaudio\""), "error 263") << "a quoted name is a file, not a device";
  provider.mediaFailure = DeviceOpenFailure::cannotPlay;
  EXPECT_EQ(ask("open \"" + song + "\" type MPEGVideo alias b"), "error 277");
  provider.mediaFailure = DeviceOpenFailure::noDriver;
  EXPECT_EQ(ask("open \"" + song + "\" type MPEGVideo alias b"), "error 266");
  EXPECT_EQ(ask("status b mode"), "error 263");
  EXPECT_EQ(provider.openedFiles.size(), 3u) << "missing files never reach the device";
}

TEST_F(Interpreter, ReportsMissingAndUnknownWords) {
  ASSERT_EQ(ask("open \"" + song + "\" type MPEGVideo alias m"), "1");
  EXPECT_EQ(ask("open"), "error 273");
  EXPECT_EQ(ask("open \"" + song + "\" type"), "error 273");
  EXPECT_EQ(ask("open \"" + song + "\" type MPEGVideo alias"), "error 273");
  EXPECT_EQ(ask("status m"), "error 273");
  EXPECT_EQ(ask("play"), "error 273");
  EXPECT_EQ(ask("set m time format"), "error 273");
  EXPECT_EQ(ask("play m from"), "error 273");
  EXPECT_EQ(ask("rewind m"), "error 261");
  EXPECT_EQ(ask("   "), "error 261");
  EXPECT_EQ(ask("\"play\" m"), "error 261");
  EXPECT_EQ(ask("play m fast"), "error 261");
  EXPECT_EQ(ask("play m from 0 from 10"), "error 261");
  EXPECT_EQ(ask("status m volume"), "error 261");
  EXPECT_EQ(ask("set m door open"), "error 261");
  EXPECT_EQ(ask("set m time format tmsf"), "error 282") << "a file has no tracks";
  EXPECT_EQ(ask("stop nobody"), "error 263");
  EXPECT_EQ(ask("close m"), "");
  EXPECT_EQ(ask("status m mode"), "error 263");
  EXPECT_EQ(ask("close m"), "error 263");
}

TEST_F(Interpreter, QuotedNamesEndAtTheNextQuotationMarkAndCannotAddWords) {
  // A path that tries to close its quotes early and name its own alias.
  std::string sneaky =
      "open \"" + song + "\" type MPEGVideo alias Other \".mp3\" " + "type MPEGVideo Alias MP3Play";
  EXPECT_EQ(ask(sneaky), "error 261");
  EXPECT_EQ(ask("open \"" + song + "\"x type MPEGVideo alias a"), "error 261");
  EXPECT_EQ(ask("open \"" + song + " type MPEGVideo alias a"), "error 261");
  EXPECT_EQ(ask("open " + song + "\" type MPEGVideo alias a"), "error 261");
  EXPECT_THAT(provider.openedFiles, IsEmpty());
  EXPECT_EQ(ask("status Other mode"), "error 263");
  EXPECT_EQ(ask("status MP3Play mode"), "error 263");
}

TEST_F(Interpreter, PlaysFilesFromMillisecondPositions) {
  ASSERT_EQ(ask("open \"" + song + "\" type MPEGVideo alias m"), "1");
  provider.media.position = 1200;
  EXPECT_EQ(ask("play m"), "");
  EXPECT_EQ(ask("play m from 0"), "");
  EXPECT_EQ(ask("play m from 1000 to 2000"), "");
  EXPECT_THAT(provider.media.plays,
              ElementsAre(Pair(1200u, std::nullopt), Pair(0u, std::nullopt), Pair(1000u, 2000u)));
  EXPECT_EQ(ask("play m from 6000"), "error 282");
  EXPECT_EQ(ask("play m from 3000 to 2000"), "error 282");
  EXPECT_EQ(ask("play m from -1"), "error 282");
  EXPECT_EQ(ask("play m from Error:282"), "error 282");
  EXPECT_EQ(provider.media.plays.size(), 3u);
  EXPECT_EQ(ask("status m position"), "1000");
  EXPECT_EQ(ask("status m length"), "5000");
  EXPECT_EQ(ask("pause m"), "");
  EXPECT_EQ(ask("status m mode"), "paused");
  EXPECT_EQ(ask("resume m"), "");
  EXPECT_EQ(ask("status m mode"), "playing");
  provider.media.playing = false;  // reached its end
  EXPECT_EQ(ask("status m mode"), "stopped");
  provider.media.length = 0;  // not known yet
  EXPECT_EQ(ask("play m from 6000"), "");
  EXPECT_EQ(ask("play m from 6x"), "error 282");
}

TEST_F(Interpreter, AnswersForTheCdInTracksMinutesSecondsAndFrames) {
  EXPECT_EQ(ask("open cdaudio"), "1");
  EXPECT_EQ(ask("status cdaudio time format"), "milliseconds");
  EXPECT_EQ(ask("set cdaudio time format tmsf"), "");
  EXPECT_EQ(ask("status cdaudio time format"), "tmsf");
  EXPECT_EQ(ask("status cdaudio number of tracks"), "3");
  EXPECT_EQ(ask("status cdaudio current track"), "1");
  EXPECT_EQ(ask("status cdaudio mode"), "stopped");
  EXPECT_EQ(ask("status cdaudio position track 2"), "02:00:00:00");
  EXPECT_EQ(ask("status cdaudio position track 4"), "error 282");
  EXPECT_EQ(ask("status cdaudio position track 0"), "error 282");
  EXPECT_EQ(ask("status cdaudio position track two"), "error 282");
  EXPECT_EQ(ask("status cdaudio position track"), "error 273");
  EXPECT_EQ(ask("status cdaudio length track 2"), "00:20:00");

  provider.cd.position = 750 + 5 * 75 + 10;
  EXPECT_EQ(ask("status cdaudio position"), "02:00:05:10");
  EXPECT_EQ(ask("status cdaudio current track"), "2");
  EXPECT_EQ(ask("set cdaudio time format milliseconds"), "");
  EXPECT_EQ(ask("status cdaudio position"), std::to_string((750 + 5 * 75 + 10) * 1000 / 75));
  EXPECT_EQ(ask("set cdaudio time format msf"), "");
  EXPECT_EQ(ask("status cdaudio position track 1"), "00:02:00");
}

TEST_F(Interpreter, PlaysTheCdFromPositionsOfItsTracks) {
  ASSERT_EQ(ask("open cdaudio alias disc"), "1");
  ASSERT_EQ(ask("set disc time format tmsf"), "");
  EXPECT_EQ(ask("play disc from 02:00:00:00"), "");
  EXPECT_EQ(ask("status disc mode"), "playing");
  EXPECT_EQ(ask("play disc from 3 to 03:00:02:00"), "");
  EXPECT_EQ(ask("play disc from 02:00:10"), "");
  EXPECT_THAT(provider.cd.plays,
              ElementsAre(Pair(750u, 2550u), Pair(2250u, 2400u), Pair(750u + 750u, 2550u)));
  EXPECT_EQ(ask("play disc from 04:00:00:00"), "error 282");
  EXPECT_EQ(ask("play disc from 02:00:60:00"), "error 282");
  EXPECT_EQ(ask("play disc from 02:00:00:75"), "error 282");
  EXPECT_EQ(ask("play disc from 01:00:00:00:00"), "error 282");
  EXPECT_EQ(ask("play disc from 03:01:00:00"), "error 282") << "beyond the disc's end";
  EXPECT_EQ(ask("play disc from Error:282"), "error 282");

  provider.cd.position = 1000;
  provider.cd.playing = false;
  EXPECT_EQ(ask("play disc"), "");
  provider.cd.position = 2550;  // played to the end of the disc
  provider.cd.playing = false;
  EXPECT_EQ(ask("play disc"), "");
  EXPECT_THAT(provider.cd.plays.back(), Pair(0u, 2550u)) << "an ended disc starts again";
  EXPECT_EQ(provider.cd.plays[provider.cd.plays.size() - 2], std::make_pair(1000u, 2550u));
  EXPECT_EQ(ask("stop disc"), "");
  EXPECT_EQ(ask("status disc mode"), "stopped");
  EXPECT_EQ(ask("close disc"), "");
  EXPECT_FALSE(provider.cd.alive);
}

TEST_F(Interpreter, CdWithoutDiscOrDriveFailsItsQueries) {
  provider.cd.disc = CdDiscState::noDisc;
  ASSERT_EQ(ask("open cdaudio"), "1");
  EXPECT_EQ(ask("set cdaudio time format tmsf"), "");
  EXPECT_EQ(ask("status cdaudio mode"), "not ready");
  EXPECT_EQ(ask("status cdaudio media present"), "false");
  EXPECT_EQ(ask("status cdaudio current track"), "error 276");
  EXPECT_EQ(ask("status cdaudio number of tracks"), "error 276");
  EXPECT_EQ(ask("play cdaudio"), "error 276");
  EXPECT_EQ(ask("stop cdaudio"), "error 276");
  provider.cd.disc = CdDiscState::trayOpen;
  EXPECT_EQ(ask("status cdaudio mode"), "open");
  EXPECT_EQ(ask("close cdaudio"), "");

  provider.cdFailure = DeviceOpenFailure::noDevice;
  EXPECT_EQ(ask("open cdaudio"), "error 266");
  EXPECT_EQ(ask("status cdaudio current track"), "error 263");
}

TEST_F(Interpreter, CloseAllReleasesEverything) {
  ASSERT_EQ(ask("open cdaudio"), "1");
  ASSERT_EQ(ask("open \"" + song + "\" type MPEGVideo alias m"), "2");
  EXPECT_EQ(ask("close ALL"), "");
  EXPECT_FALSE(provider.cd.alive);
  EXPECT_FALSE(provider.media.alive);
  EXPECT_EQ(ask("open cdaudio"), "1");
}

TEST_F(Interpreter, SystemCallFormFillsBuffersAndEmptiesThemAfterErrors) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(mci.sendString("open cdaudio alias a", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "1");
  EXPECT_EQ(mci.sendString("set a time format tmsf", nullptr, 0), 0);
  EXPECT_EQ(mci.sendString("status a position track 1", buffer, 4), 0);
  EXPECT_STREQ(buffer, "01:");
  EXPECT_EQ(mci.sendString("status b mode", buffer, sizeof buffer), 263);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(mci.sendString(nullptr, buffer, sizeof buffer), 261);

  char text[256];
  EXPECT_TRUE(mci.errorString(263, text, sizeof text));
  EXPECT_GT(std::strlen(text), 10u);
  EXPECT_TRUE(mci.errorString(289, text, 6));
  EXPECT_EQ(std::strlen(text), 5u);
  EXPECT_FALSE(mci.errorString(999, text, sizeof text));
}

}  // namespace
}  // namespace pellarin
