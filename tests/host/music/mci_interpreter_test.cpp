#include "host/music/mci_interpreter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/common/temp_folder.h"

namespace pellarin {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

// A media file or CD drive that plays only when told and ends when the test says so.
struct FakeState {
  CdDiscState disc = CdDiscState::ready;
  std::vector<CdTrack> tracks = {{0, 750}, {750, 1500}, {2250, 300}};
  std::vector<std::pair<std::uint64_t, std::optional<std::uint64_t>>> plays;
  bool playing = false, alive = false;
  std::uint64_t position = 0;
};
class FakeDevice final : public MediaFileDevice, public CdAudioDrive {
 public:
  explicit FakeDevice(FakeState& s) : s_(s) { s_.alive = true; }
  ~FakeDevice() override { s_.alive = false; }
  bool play(std::uint64_t from, std::optional<std::uint64_t> to) override {
    s_.plays.emplace_back(from, to);
    s_.position = from;
    return s_.playing = true;
  }
  bool play(std::uint32_t from, std::uint32_t to) override {
    return play(std::uint64_t{from}, std::optional<std::uint64_t>{to});
  }
  bool stop() override { return !(s_.playing = false); }
  bool pause() override { return stop(); }
  bool playing() override { return s_.playing; }
  std::uint64_t positionMs() override { return s_.position; }
  std::uint64_t lengthMs() override { return 5000; }
  CdDiscState discState() override { return s_.disc; }
  std::vector<CdTrack> tracks() override {
    return s_.disc == CdDiscState::ready ? s_.tracks : std::vector<CdTrack>{};
  }
  std::uint32_t positionFrame() override { return static_cast<std::uint32_t>(s_.position); }

 private:
  FakeState& s_;
};

// Hands out fake devices, or fails to as the test says.
class Interpreter : public testing::TempFolderTest, public MciDeviceProvider {
 protected:
  std::unique_ptr<MediaFileDevice> openMediaFile(const std::string& path,
                                                 DeviceOpenFailure& failure) override {
    openedFiles.push_back(path);
    if ((failure = openFailure) != DeviceOpenFailure::none) return nullptr;
    media = FakeState{};
    return std::make_unique<FakeDevice>(media);
  }
  std::unique_ptr<CdAudioDrive> openCdDrive(DeviceOpenFailure& failure) override {
    failure = openFailure;
    return failure == DeviceOpenFailure::none ? std::make_unique<FakeDevice>(cd) : nullptr;
  }
  void SetUp() override {
    TempFolderTest::SetUp();
    song = path("my song.mp3").string();
    put(song, "x");
  }

  // The reply of a command, or "error <code>".
  std::string ask(const std::string& command) {
    std::int32_t code = mci.execute(command, reply);
    return code == 0 ? reply : "error " + std::to_string(code);
  }
  // Runs the commands in order, each against the answer it must give.
  void expectAnswers(const std::vector<std::pair<std::string, std::string>>& steps) {
    for (const auto& [command, expected] : steps) EXPECT_EQ(ask(command), expected) << command;
  }
  std::string openSong(const std::string& alias) {
    return ask("open \"" + song + "\" type MPEGVideo alias " + alias);
  }

  std::string song;  // a space in the path, as users' folders have
  DeviceOpenFailure openFailure = DeviceOpenFailure::none;
  std::vector<std::string> openedFiles;
  FakeState media, cd;
  MciInterpreter mci{*this};
  std::string reply;
};

TEST_F(Interpreter, OpensUnderAliasesInAnyLetterCaseAndClosesThem) {
  EXPECT_EQ(ask("open \"" + song + "\" type MPEGVideo Alias MP3Play"), "1");
  EXPECT_THAT(openedFiles, ElementsAre(song));
  expectAnswers({{"STATUS mp3play MODE", "stopped"},
                 {"Play MP3PLAY", ""},
                 {"status MP3Play mode", "playing"},
                 {"open \"" + song + "\" TYPE mpegvideo ALIAS Second", "2"},
                 {"close MP3Play", ""}});
  EXPECT_FALSE(media.alive) << "closing releases the device";
  EXPECT_EQ(openSong("Third"), "1") << "the lowest free number is reused";
  EXPECT_EQ(ask("open cdaudio"), "3");
  EXPECT_EQ(ask("close ALL"), "");
  EXPECT_FALSE(cd.alive);
  EXPECT_FALSE(media.alive);
}

TEST_F(Interpreter, RefusesWhatCannotWorkWithItsErrorCode) {
  ASSERT_EQ(openSong("m"), "1");
  expectAnswers({{"open \"" + song + "\" type MPEGVideo alias M", "error 289"},
                 {"open \"" + path("none.mp3").string() + "\" type MPEGVideo", "error 275"},
                 {"open \"" + song + "\" type Sequencer alias b", "error 263"},
                 {"open videodisc", "error 263"},
                 // A path that tries to close its quotes early and name its own alias.
                 {"open \"" + song + "\" type MPEGVideo alias O \".mp3\" type MPEGVideo Alias P",
                  "error 261"},
                 {"open \"" + song + " type MPEGVideo alias a", "error 261"},
                 {"open", "error 273"},
                 {"play m from", "error 273"},
                 {"rewind m", "error 261"},
                 {"\"play\" m", "error 261"},
                 {"play m fast", "error 261"},
                 {"set m time format tmsf", "error 282"},  // a file has no tracks
                 {"stop nobody", "error 263"},
                 {"close m", ""},
                 {"close m", "error 263"}});
  EXPECT_EQ(openedFiles.size(), 1u) << "missing, refused or misquoted files never reach the device";
  openFailure = DeviceOpenFailure::cannotPlay;
  EXPECT_EQ(openSong("b"), "error 277");
  openFailure = DeviceOpenFailure::noDriver;
  EXPECT_EQ(openSong("b"), "error 266");
  EXPECT_EQ(ask("open cdaudio"), "error 266");
}

TEST_F(Interpreter, PlaysFilesFromMillisecondPositions) {
  ASSERT_EQ(openSong("m"), "1");
  media.position = 1200;
  expectAnswers({{"play m", ""},
                 {"play m from 0", ""},
                 {"play m from 1000 to 2000", ""},
                 {"play m from 6000", "error 282"},
                 {"status m position", "1000"},
                 {"pause m", ""},
                 {"status m mode", "paused"},
                 {"resume m", ""}});
  EXPECT_THAT(media.plays, ElementsAre(Pair(1200u, std::nullopt), Pair(0u, std::nullopt),
                                       Pair(1000u, 2000u), Pair(1000u, std::nullopt)));
  media.playing = false;  // reached its end
  EXPECT_EQ(ask("status m mode"), "stopped");
}

TEST_F(Interpreter, TheCdAnswersAndPlaysInItsTimeFormatsOrSaysItHasNoDisc) {
  cd.position = 750 + 5 * 75 + 10;
  expectAnswers({{"open cdaudio", "1"},
                 {"status cdaudio time format", "milliseconds"},
                 {"status cdaudio position", std::to_string((750 + 5 * 75 + 10) * 1000 / 75)},
                 {"set cdaudio time format tmsf", ""},
                 {"status cdaudio number of tracks", "3"},
                 {"status cdaudio current track", "2"},
                 {"status cdaudio position", "02:00:05:10"},
                 {"status cdaudio position track 2", "02:00:00:00"},
                 {"status cdaudio position track 4", "error 282"},
                 {"status cdaudio length track 2", "00:20:00"},
                 {"play cdaudio from 02:00:00:00", ""},
                 {"status cdaudio mode", "playing"},
                 {"play cdaudio from 3 to 03:00:02:00", ""},
                 {"play cdaudio from 02:00:10", ""},
                 {"play cdaudio from 03:01:00:00", "error 282"},  // beyond the disc's end
                 {"play cdaudio from Error:282", "error 282"}});
  cd.position = 1000;
  ASSERT_EQ(ask("play cdaudio"), "");
  cd.position = 2550;  // played to the end of the disc
  ASSERT_EQ(ask("play cdaudio"), "");
  EXPECT_THAT(cd.plays,
              ElementsAre(Pair(750u, 2550u), Pair(2250u, 2400u), Pair(1500u, 2550u),
                          Pair(1000u, 2550u), Pair(0u, 2550u)));  // an ended disc starts again
  cd.disc = CdDiscState::noDisc;
  expectAnswers({{"status cdaudio mode", "not ready"},
                 {"status cdaudio current track", "error 276"},
                 {"play cdaudio", "error 276"}});
}

TEST_F(Interpreter, TheCdNeverPlaysARangeBackwards) {
  // A track list out of order on the disc: track 1 lies after the others, so the disc's end
  // (the end of its last track) comes before track 1's start.
  cd.tracks = {{1500, 750}, {0, 750}, {750, 300}};
  ASSERT_EQ(ask("open cdaudio"), "1");
  ASSERT_EQ(ask("set cdaudio time format tmsf"), "");
  for (std::uint32_t position : {1050u, 2250u}) {  // at the disc's end, and at track 1's end
    SCOPED_TRACE(position);
    cd.position = position;
    expectAnswers({{"play cdaudio", "error 282"},
                   {"play cdaudio to 03:00:01:00", "error 282"},
                   {"pause cdaudio", ""},
                   {"resume cdaudio", "error 282"}});
  }
  EXPECT_EQ(ask("play cdaudio from 02:00:00:00"), "");
  EXPECT_EQ(ask("play cdaudio from 01:00:00:00 to 03:00:00:00"), "error 282");
  EXPECT_THAT(cd.plays, ElementsAre(Pair(0u, 1050u))) << "only the forward range was played";
}

TEST_F(Interpreter, TheCdPlaysOnlyItsAudioTracks) {
  // Data, audio, data, audio.
  cd.tracks = {{0, 150, false}, {150, 750, true}, {900, 100, false}, {1000, 500, true}};
  cd.position = 150;
  expectAnswers({{"open cdaudio", "1"},
                 {"set cdaudio time format tmsf", ""},
                 {"status cdaudio number of tracks", "4"},
                 {"play cdaudio", ""},  // up to the data track
                 {"play cdaudio from 01:00:00:00", "error 282"},
                 {"play cdaudio from 03:00:00:50", "error 282"},
                 {"play cdaudio from 02:00:05:00 to 04:00:01:00", ""},
                 {"play cdaudio from 04:00:00:00", ""}});
  cd.position = 1500;  // at the end: again from the first audio track
  EXPECT_EQ(ask("play cdaudio"), "");
  EXPECT_THAT(cd.plays, ElementsAre(Pair(150u, 900u), Pair(525u, 900u), Pair(1000u, 1500u),
                                    Pair(150u, 900u)));
  cd.tracks = {{0, 150, false}};
  EXPECT_EQ(ask("play cdaudio"), "error 276") << "a disc without sound";
}

TEST_F(Interpreter, SystemCallFormFillsBuffersAndEmptiesThemAfterErrors) {
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(mci.sendString("open cdaudio alias a", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "1");
  EXPECT_EQ(mci.sendString("set a time format tmsf", nullptr, 0), 0);
  EXPECT_EQ(mci.sendString("status a position track 1", buffer, 4), 0);
  EXPECT_STREQ(buffer, "01:");
  EXPECT_EQ(mci.sendString("status b mode", buffer, sizeof buffer), 263);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
}  // namespace pellarin
