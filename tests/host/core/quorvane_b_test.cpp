#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/quorvane_b.h"
#include "host_test_support.h"

namespace pellarin {
namespace {

using namespace Quorvane_B;
using testing::readFile;

// The key names as the settings dialog stores them: code page 932 bytes.
const std::string kKindKeyCp932 = "BGM\x8B\xE6\x95\xAA";
const std::string kTrackKeyCp932 = "BGM\xD8\xCB\xDF\xB0\xC4";
const std::string kFileKeyCp932 = "BGM\xCC\xA7\xB2\xD9";

class SettingsTest : public testing::IsolatedHostTest {
 protected:
  void load(const std::string& kind, const std::string& track, const std::string& file) {
    writeFile(settingsFilePath(), "[Settings]\r\n" + kKindKeyCp932 + "=" + kind + "\r\n" +
                                      kTrackKeyCp932 + "=" + track + "\r\n" + kFileKeyCp932 + "=" +
                                      file + "\r\n");
    loadSettings();
  }
};

TEST_F(SettingsTest, NumbersAreIntegerPartsAndBadOnesLeaveTheVariable) {
  const std::filesystem::path music = root() / "music" / "loop.mp3";
  writeFile(music, "ID3");
  // 7 was there before.
  const std::pair<const char*, std::int16_t> cases[] = {{"2.9", 2}, {"-0.5", -1}, {"", 0},
                                                        {"abc", 7}, {"40000", 7}, {"1 2", 7}};
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    musicKind = 7;
    cdRepeatTrack = 7;
    load(text, text, music.string());
    EXPECT_EQ(musicKind, value);
    EXPECT_EQ(cdRepeatTrack, value);
  }
}

TEST_F(SettingsTest, TheMusicFileMustExistForFileKind) {
  const std::filesystem::path music = root() / "music" / "loop.mp3";
  writeFile(music, "ID3");
  load(" 2", " 3", music.string());
  EXPECT_EQ(musicKind, 2);
  EXPECT_EQ(musicFile, music.string());
  EXPECT_EQ(musicFolder, (root() / "music").string());

  std::filesystem::remove(music);
  loadSettings();
  EXPECT_EQ(musicKind, 0);
  EXPECT_EQ(musicFile, "");
  EXPECT_EQ(musicFolder, programFolder().string());

  // A trailing slash names the folder, which is no music file.
  load(" 2", " 0", (root() / "music").string() + "/");
  EXPECT_EQ(musicKind, 0);

  load(" 1", " 4", music.string());  // the CD needs no file
  EXPECT_EQ(musicKind, 1);
  EXPECT_EQ(cdRepeatTrack, 4);
  EXPECT_EQ(musicFile, "");
}

TEST_F(SettingsTest, NamesGoOutInCodePage932AndValuesByteForByte) {
  const std::filesystem::path file = settingsFilePath();
  std::filesystem::create_directories(file.parent_path());
  writeSetting(kSettingsSection, kMusicKindKey, " 2", file);
  EXPECT_NE(lastApiResult, 0);
  const std::string value = "/m\xC3\xBCsic/\xE6\x9B\xB2.mp3";  // UTF-8, stored unchanged
  writeSetting(kSettingsSection, kMusicFileKey, value, file);
  const std::string text = readFile(file);
  EXPECT_NE(text.find(kKindKeyCp932 + "= 2\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(kFileKeyCp932 + "=" + value + "\r\n"), std::string::npos) << text;
  EXPECT_EQ(readSetting("settings", "bgm区分", file), "2");

  writeSetting(kSettingsSection, kWidthKey, " 1", root() / "no-such-folder" / "x.ini");
  EXPECT_EQ(lastApiResult, 0);  // recorded, not reported

  // Long values come back cut to 255 bytes.
  writeFile(file, "[Settings]\r\n" + kFileKeyCp932 + "=" + std::string(300, 'v') + "\r\n");
  EXPECT_EQ(readSetting(kSettingsSection, kMusicFileKey, file), std::string(255, 'v'));
}

TEST_F(SettingsTest, FileExistsOnlyForReadableRegularFiles) {
  const std::filesystem::path file = root() / "a.wav";
  writeFile(file, "RIFF");
  const std::filesystem::path pipe = root() / "pipe.wav";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);  // an open would block
  EXPECT_TRUE(fileExists(file.string() + "/"));
  for (const auto& path : {std::string(), root().string()}) EXPECT_FALSE(fileExists(path)) << path;
  // A pipe chosen as the music file is dropped at once, without waiting for a writer.
  auto load = std::async(std::launch::async, [&] {
    this->load(" 2", " 0", pipe.string());
    return std::pair(musicKind, musicFile);
  });
  if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "the music file check blocks on a named pipe";
    ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));  // lets the blocked open go on
  }
  EXPECT_EQ(load.get(), std::pair(std::int16_t{0}, std::string()));
  EXPECT_EQ(folderOfPath("/loop.mp3"), "/");
  EXPECT_EQ(folderOfPath("loop.wav"), "");
}

}  // namespace
}  // namespace pellarin
