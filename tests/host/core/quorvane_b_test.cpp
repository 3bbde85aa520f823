#include <gtest/gtest.h>

#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/path_separators.h"
#include "host/core/quorvane_b.h"
#include "settings_fixture.h"

namespace pellarin {
namespace {

using namespace Quorvane_B;
using testing::kFileKeyCp932;
using testing::kKindKeyCp932;
using testing::readFile;
using testing::SettingsTest;

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

  // A trailing separator names the folder, which is no music file.
  load(" 2", " 0", (root() / "music").string() + kFolderSeparator);
  EXPECT_EQ(musicKind, 0);

  load(" 1", " 4", music.string());  // the CD needs no file
  EXPECT_EQ(musicKind, 1);
  EXPECT_EQ(cdRepeatTrack, 4);
  EXPECT_EQ(musicFile, "");
}

TEST_F(SettingsTest, NamesGoOutInCodePage932) {
  const std::filesystem::path file = settingsFilePath();
  std::filesystem::create_directories(file.parent_path());
  writeSetting(kSettingsSection, kMusicKindKey, " 2", file);
  EXPECT_NE(lastApiResult, 0);
  const std::string value = "/music/loop.mp3";  // what the system's code page does to values
  writeSetting(kSettingsSection, kMusicFileKey, value, file);  // is the platforms' own test
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
  EXPECT_TRUE(fileExists(file.string()));
  EXPECT_TRUE(fileExists(file.string() + kFolderSeparator));
  for (const auto& path : {std::string(), root().string(), (root() / "none.wav").string()}) {
    EXPECT_FALSE(fileExists(path)) << path;
  }
}

}  // namespace
}  // namespace pellarin
