#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/quorvane_b.h"
#include "host_test_support.h"

namespace pellarin {
namespace {

using namespace Quorvane_B;
using testing::readFile;
using testing::writeFile;

// The key names as the settings dialog stores them: code page 932 bytes.
const std::string kKindKeyCp932 = "BGM\x8B\xE6\x95\xAA";
const std::string kTrackKeyCp932 = "BGM\xD8\xCB\xDF\xB0\xC4";
const std::string kFileKeyCp932 = "BGM\xCC\xA7\xB2\xD9";

class SettingsTest : public testing::IsolatedHostTest {
 protected:
  void writeSettings(const std::string& kind, const std::string& track, const std::string& file) {
    writeFile(settingsFilePath(), "[Settings]\r\n" + kKindKeyCp932 + "=" + kind + "\r\n" +
                                      kTrackKeyCp932 + "=" + track + "\r\n" + kFileKeyCp932 + "=" +
                                      file + "\r\n");
  }
  std::string existingMusicFile(const std::string& name = "loop.mp3") {
    const std::filesystem::path path = root() / "music" / name;
    writeFile(path, "ID3");
    return path.string();
  }
};

TEST_F(SettingsTest, KindIsTheIntegerPartOfTheNumberTowardMinusInfinity) {
  const std::string music = existingMusicFile();
  const struct {
    const char* text;
    std::int16_t kind;
  } cases[] = {{" 2", 2}, {"2.9", 2}, {"-0.5", -1}, {"", 0}, {"&H1", 1}, {" 1 ", 1}};
  for (const auto& c : cases) {
    musicKind = 7;
    writeSettings(c.text, " 0", music);
    loadSettings();
    EXPECT_EQ(musicKind, c.kind) << '"' << c.text << '"';
  }
}

TEST_F(SettingsTest, ANumberThatIsNoNumberOrTooBigLeavesTheVariableAsItWas) {
  for (const char* text : {"abc", "2x", "40000", "-32769", "1 2"}) {
    musicKind = 0;
    cdRepeatTrack = 5;
    writeSettings(text, text, "");
    loadSettings();
    EXPECT_EQ(musicKind, 0) << text;
    EXPECT_EQ(cdRepeatTrack, 5) << text;
  }
}

TEST_F(SettingsTest, FileKindFallsBackToNoneWhenTheFileIsGone) {
  const std::string music = existingMusicFile();
  writeSettings(" 2", " 3", music);
  loadSettings();
  EXPECT_EQ(musicKind, 2);
  EXPECT_EQ(cdRepeatTrack, 3);
  EXPECT_EQ(musicFile, music);
  EXPECT_EQ(musicFolder, (root() / "music").string());

  std::filesystem::remove(music);
  loadSettings();
  EXPECT_EQ(musicKind, 0);
  EXPECT_EQ(musicFile, "");
  EXPECT_EQ(musicFolder, programFolder().string());
}

TEST_F(SettingsTest, CdKindStaysWhateverTheFileKeyHolds) {
  writeSettings(" 1", " 4", "");
  loadSettings();
  EXPECT_EQ(musicKind, 1);
  EXPECT_EQ(cdRepeatTrack, 4);
  writeSettings(" 1", " 4", (root() / "missing.mp3").string());
  loadSettings();
  EXPECT_EQ(musicKind, 1);
  EXPECT_EQ(musicFile, "");
}

TEST_F(SettingsTest, AFolderWithATrailingSlashIsNoMusicFile) {
  std::filesystem::create_directories(root() / "music");
  writeSettings(" 2", " 0", (root() / "music").string() + "/");
  loadSettings();
  EXPECT_EQ(musicKind, 0);
  EXPECT_EQ(musicFile, "");
}

TEST_F(SettingsTest, NoFileNoSectionNoKeyGiveTheDefaults) {
  musicKind = 3;
  cdRepeatTrack = 3;
  musicFile = "x";
  loadSettings();
  EXPECT_EQ(musicKind, 0);
  EXPECT_EQ(cdRepeatTrack, 0);
  EXPECT_EQ(musicFile, "");
  EXPECT_EQ(musicFolder, programFolder().string());
}

TEST_F(SettingsTest, WritesNamesInCodePage932AndValuesByteForByte) {
  const std::filesystem::path file = settingsFilePath();
  std::filesystem::create_directories(file.parent_path());
  writeSetting(kSettingsSection, kMusicKindKey, " 2", file);
  EXPECT_NE(lastApiResult, 0);
  const std::string value = "/m\xC3\xBCsic/\xE6\x9B\xB2.mp3";  // UTF-8 path, stored unchanged
  writeSetting(kSettingsSection, kMusicFileKey, value, file);
  const std::string text = readFile(file);
  EXPECT_NE(text.find(kKindKeyCp932 + "= 2\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(kFileKeyCp932 + "=" + value + "\r\n"), std::string::npos) << text;
  EXPECT_EQ(readSetting(kSettingsSection, kMusicFileKey, file), value);
  EXPECT_EQ(readSetting("settings", "bgm区分", file), "2");
}

TEST_F(SettingsTest, WritingOneKeyReplacesOnlyItsLine) {
  const std::filesystem::path file = settingsFilePath();
  writeFile(file, "[Settings]\r\nWidth= 640\r\nOther=keep\r\n[More]\r\nWidth=x\r\n");
  writeSetting(kSettingsSection, kWidthKey, " 1024", file);
  EXPECT_EQ(readFile(file), "[Settings]\r\nWidth= 1024\r\nOther=keep\r\n[More]\r\nWidth=x\r\n");
}

TEST_F(SettingsTest, AFailedWriteIsRecordedNotReported) {
  lastApiResult = 1;
  writeSetting(kSettingsSection, kWidthKey, " 1", root() / "no-such-folder" / "x.ini");
  EXPECT_EQ(lastApiResult, 0);
}

TEST_F(SettingsTest, LongValuesComeBackCutTo255Bytes) {
  const std::filesystem::path file = settingsFilePath();
  const std::string longValue(300, 'v');
  writeFile(file, "[Settings]\r\n" + kFileKeyCp932 + "=" + longValue + "\r\n");
  EXPECT_EQ(readSetting(kSettingsSection, kMusicFileKey, file), std::string(255, 'v'));
}

TEST_F(SettingsTest, LongNamesAreCutTo128Characters) {
  const std::filesystem::path file = settingsFilePath();
  std::filesystem::create_directories(file.parent_path());
  std::string longKey;
  for (int i = 0; i < 130; ++i) longKey += "区";
  writeSetting(kSettingsSection, longKey, "v", file);
  std::string cut;
  for (int i = 0; i < 128; ++i) cut += "区";
  EXPECT_EQ(readSetting(kSettingsSection, cut, file), "v");
  std::string stored;
  for (int i = 0; i < 128; ++i) stored += "\x8B\xE6";
  EXPECT_NE(readFile(file).find("\r\n" + stored + "=v\r\n"), std::string::npos);
}

TEST_F(SettingsTest, FileExistsOnlyForReadableRegularFiles) {
  const std::filesystem::path file = root() / "a.wav";
  writeFile(file, "RIFF");
  EXPECT_TRUE(fileExists(file.string()));
  EXPECT_TRUE(fileExists(file.string() + "/"));  // the trailing separator is dropped first
  EXPECT_FALSE(fileExists(""));
  EXPECT_FALSE(fileExists("/"));
  EXPECT_FALSE(fileExists(root().string()));
  EXPECT_FALSE(fileExists((root() / "missing").string()));

  // A named pipe would block an ordinary open; it is no file.
  const std::filesystem::path pipe = root() / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(fileExists(pipe.string()));

  const std::filesystem::path link = root() / "link.wav";
  std::filesystem::create_symlink(file, link);
  EXPECT_TRUE(fileExists(link.string()));

  if (::geteuid() != 0) {  // root reads everything
    const std::filesystem::path locked = root() / "locked.wav";
    writeFile(locked, "RIFF");
    ::chmod(locked.c_str(), 0);
    EXPECT_FALSE(fileExists(locked.string()));
  }
}

TEST(FolderOfPath, SplitsAtTheLastSeparator) {
  EXPECT_EQ(folderOfPath("/music/loop.mp3"), "/music");
  EXPECT_EQ(folderOfPath("/music/sub/"), "/music/sub");
  EXPECT_EQ(folderOfPath("loop.wav"), "");
  EXPECT_EQ(folderOfPath(""), "");
  EXPECT_EQ(folderOfPath("/loop.mp3"), "/");
  EXPECT_EQ(folderOfPath("rel/loop.mp3"), "rel");
  EXPECT_EQ(folderOfPath("C:\\Music\\loop.mp3"), "");  // not separators here
}

}  // namespace
}  // namespace pellarin
