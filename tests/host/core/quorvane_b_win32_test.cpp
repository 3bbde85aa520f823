// The settings helpers on Windows paths and file types.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "common/path_text.h"
#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/quorvane_b.h"
#include "settings_fixture.h"

namespace pellarin {
namespace {

using namespace Quorvane_B;
using testing::SettingsTest;

// A pipe's client end opens at once but its reads wait; a device is no file. Neither is a music
// file, and neither is waited on.
TEST_F(SettingsTest, APipeOrADeviceIsNoMusicFileAndIsNeverWaitedOn) {
  const std::string pipeName =
      "\\\\.\\pipe\\pellarin-music-" + std::to_string(::GetCurrentProcessId());
  const HANDLE pipe =
      ::CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                         PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  for (const std::string& place : {pipeName, std::string("NUL"), std::string("CON")}) {
    auto load = std::async(std::launch::async, [&] {
      this->load(" 2", " 0", place);
      return std::pair(musicKind, musicFile);
    });
    if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << "the music file check blocks on " << place;
      ::DisconnectNamedPipe(pipe);
    }
    EXPECT_EQ(load.get(), std::pair(std::int16_t{0}, std::string())) << place;
  }
  ::CloseHandle(pipe);
}

// "Locked against reading": another program holds the file sharing nothing.
TEST_F(SettingsTest, AFileHeldAgainstReadingIsNoMusicFile) {
  const std::filesystem::path file = root() / "held.mp3";
  writeFile(file, "ID3");
  const HANDLE held = ::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(fileExists(file.string()));
  ::CloseHandle(held);
  EXPECT_TRUE(fileExists(file.string()));
}

// Values are in the system's code page, as the platform's profile calls and earlier versions
// wrote them: a path with a character of that code page goes out in it and comes back as the
// same text; one with a character outside it is not written at all.
struct CodePageCase {
  UINT codePage;
  std::string inside;      // UTF-8 of a character the code page has, beyond ASCII
  std::string insideByte;  // that character in the code page
  std::string outside;     // UTF-8 of a character it has not
};
const CodePageCase kCodePageCases[] = {
    {1252, "\xC3\xA9", "\xE9", "\xE6\x9B\xB2"},  // é; 曲
    {932, "\xE6\x9B\xB2", "\x8B\xC8", "\xC3\xA9"},
};

const CodePageCase* systemCodePageCase() {
  for (const CodePageCase& known : kCodePageCases) {
    if (known.codePage == ::GetACP()) return &known;
  }
  return nullptr;
}

TEST_F(SettingsTest, ValuesGoOutInTheSystemCodePage) {
  const CodePageCase* chars = systemCodePageCase();
  if (chars == nullptr) GTEST_SKIP() << "no characters known for code page " << ::GetACP();
  const std::filesystem::path file = settingsFilePath();
  std::filesystem::create_directories(file.parent_path());

  const std::string path = "C:\\M" + chars->inside + "sic\\loop.mp3";
  writeSetting(kSettingsSection, kMusicFileKey, path, file);
  EXPECT_NE(lastApiResult, 0);
  const std::string stored = "C:\\M" + chars->insideByte + "sic\\loop.mp3";
  EXPECT_NE(testing::readFile(file).find(testing::kFileKeyCp932 + "=" + stored + "\r\n"),
            std::string::npos)
      << testing::readFile(file);
  EXPECT_EQ(readSetting(kSettingsSection, kMusicFileKey, file), path);

  const std::string before = testing::readFile(file);
  writeSetting(kSettingsSection, kMusicFileKey, "C:\\" + chars->outside + ".mp3", file);
  EXPECT_EQ(lastApiResult, 0);
  EXPECT_EQ(testing::readFile(file), before);
}

// A music file named in the system's code page, as an earlier version stored it, is found by
// its UTF-8 name.
TEST_F(SettingsTest, AMusicFileStoredInTheSystemCodePageIsFound) {
  const CodePageCase* chars = systemCodePageCase();
  if (chars == nullptr) GTEST_SKIP() << "no characters known for code page " << ::GetACP();
  const std::string name = "M" + chars->inside + "sic.mp3";
  writeFile(root() / pathFromText(name), "ID3");
  load(" 2", " 0", root().string() + "\\M" + chars->insideByte + "sic.mp3");
  EXPECT_EQ(musicKind, 2);
  EXPECT_EQ(musicFile, root().string() + "\\" + name);
  EXPECT_EQ(musicFolder, root().string());
}

TEST(FolderOfPath, SplitsAtTheLastBackslashOrColon) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Music\\loop.mp3", "C:\\Music"},
      {"C:\\loop.mp3", "C:"},
      {"D:loop.wav", "D:"},
      {"loop.wav", ""},
      {"\\loop.mp3", "\\"},
      {"a/b.wav", ""},
      {"\\\\server\\share\\x.wav", "\\\\server\\share"}};
  for (const auto& [path, folder] : cases) EXPECT_EQ(folderOfPath(path), folder) << path;
}

}  // namespace
}  // namespace pellarin
