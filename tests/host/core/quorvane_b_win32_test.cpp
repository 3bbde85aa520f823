// The settings helpers on Windows paths and file types.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

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

// Any name works: the path is UTF-8 text, and the file calls take it in UTF-16.
TEST_F(SettingsTest, AMusicFileOfAnyNameIsFound) {
  const std::string name = "\xE6\x9B\xB2 \xD0\xBC\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0.mp3";
  const std::filesystem::path file =
      root() / std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(name.data())));
  writeFile(file, "ID3");
  const std::string text = root().string() + "\\" + name;
  load(" 2", " 0", text);
  EXPECT_EQ(musicKind, 2);
  EXPECT_EQ(musicFile, text);
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
