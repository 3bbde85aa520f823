// The music operations over the system's own devices (winmm, under Wine here: no CD drive, no
// audio renderer, no waveform output). What is ours: the codes and texts passed back as the
// operations expect them, text in the system's code page both ways, and a name the narrow calls
// cannot take never sent.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/core/quorvane_b.h"
#include "host/music/music_devices.h"
#include "host/music/quorvane_bgm.h"
#include "tests/common/temp_folder.h"
#include "tests/common/win32_test_support.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;
namespace BGM = Quorvane_BGM;

// Characters of the system's code page beyond ASCII, and ones it has not.
struct CodePageCase {
  UINT codePage;
  std::string inside;   // UTF-8
  std::string outside;  // UTF-8
};
const CodePageCase kCodePageCases[] = {
    {1252, "\xC3\xA9", "\xE6\x9B\xB2"},  // é; 曲
    {932, "\xE6\x9B\xB2", "\xC3\xA9"},
};

const CodePageCase* systemCodePageCase() {
  for (const CodePageCase& known : kCodePageCases) {
    if (known.codePage == ::GetACP()) return &known;
  }
  return nullptr;
}

class MusicOverWinmm : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    installPlatformMusicDevices();
    Quorvane_B::cdRepeatTrack = 0;
    Quorvane_B::lastApiResult = 12345;
    BGM::cdPollActive = 0;
    BGM::mciReply.clear();
  }
  void TearDown() override {
    removeMusicDevices();
    TempFolderTest::TearDown();
  }
  // A file named in UTF-8 in the test's folder; its path as the operations get it.
  std::string makeFile(const std::string& name, const std::string& bytes) {
    const fs::path path =
        folder_ / std::u8string(reinterpret_cast<const char8_t*>(name.data()), name.size());
    std::ofstream(path, std::ios::binary) << bytes;
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  }
};

TEST_F(MusicOverWinmm, RepliesAndErrorsComeBackAsTheOperationsExpect) {
  // A reply: the count of the system's devices.
  const std::string count = BGM::queryMci("sysinfo all quantity");
  EXPECT_FALSE(count.empty());
  EXPECT_EQ(count.find_first_not_of("0123456789"), std::string::npos) << count;
  EXPECT_EQ(Quorvane_B::lastApiResult, 0);

  // A failure: the code in the result, its readable text in mciReply.
  const std::string failed = BGM::queryMci("status nothing mode");
  ASSERT_TRUE(failed.starts_with("Error:")) << failed;
  const int code = std::stoi(failed.substr(6));
  EXPECT_NE(code, 0);
  EXPECT_EQ(Quorvane_B::lastApiResult, code);
  char text[256] = {};
  ASSERT_TRUE(musicDevices().commands.errorString(code, text, sizeof text));
  EXPECT_EQ(BGM::mciReply, text);
  EXPECT_GT(BGM::mciReply.size(), 7u);

  // A text cut to the caller's buffer stays terminated.
  char shortText[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  ASSERT_TRUE(musicDevices().commands.errorString(code, shortText, sizeof shortText));
  EXPECT_EQ(std::string(shortText), BGM::mciReply.substr(0, 7));
  // A code without a text.
  EXPECT_FALSE(musicDevices().commands.errorString(123456, text, sizeof text));
}

// No drive: the first poll finds the CD unusable and switches polling off; nothing waits.
TEST_F(MusicOverWinmm, WithoutADriveTheFirstCdPollEndsPolling) {
  if (!testing::underWine()) GTEST_SKIP() << "a real system may have a drive";
  BGM::openCdAudio();
  EXPECT_NE(Quorvane_B::lastApiResult, 0);
  BGM::pollCdAudio();
  EXPECT_EQ(BGM::cdPollActive, 0);
  EXPECT_FALSE(BGM::mciReply.empty());
  BGM::stopCdAudio();
}

// Paths go to the narrow calls in the system's code page; one it cannot name is not sent, and
// so the music does not start.
TEST_F(MusicOverWinmm, AFileTheSystemCodePageCannotNameIsNeverSent) {
  const CodePageCase* chars = systemCodePageCase();
  if (chars == nullptr) GTEST_SKIP() << "no characters known for code page " << ::GetACP();
  const std::string named = makeFile("M" + chars->inside + "sic.mp3", "ID3");
  const std::string unnamed = makeFile("M" + chars->outside + "sic.mp3", "ID3");

  for (const auto& [file, sent] : {std::pair{named, true}, std::pair{unnamed, false}}) {
    SCOPED_TRACE(file);
    Quorvane_B::musicFile = file;
    ::testing::internal::CaptureStderr();
    BGM::startMp3();
    const std::string log = ::testing::internal::GetCapturedStderr();
    const std::string open = "\"open \"" + file + "\" type MPEGVideo Alias MP3Play\"";
    EXPECT_EQ(log.find("mciSendStringA " + open) != std::string::npos, sent) << log;
    EXPECT_EQ(log.find(open + " has no form in the system's code page") != std::string::npos, !sent)
        << log;
    EXPECT_EQ(log.find("\"play MP3Play\""), std::string::npos) << "the open cannot succeed";
    BGM::stopMp3();
  }

  // The sound player likewise (it accepts any file it can name under Wine).
  LoopingSoundPlayer& sounds = musicDevices().sounds;
  EXPECT_TRUE(sounds.startLoop(makeFile("L" + chars->inside + "op.wav", "RIFF")));
  EXPECT_TRUE(sounds.stop());
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(sounds.startLoop(makeFile("L" + chars->outside + "op.wav", "RIFF")));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("not played"), std::string::npos);
}

}  // namespace
}  // namespace pellarin
