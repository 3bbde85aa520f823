// The settings helpers on POSIX paths and file types.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/quorvane_b.h"
#include "settings_fixture.h"

namespace pellarin {
namespace {

using namespace Quorvane_B;
using testing::SettingsTest;

TEST_F(SettingsTest, ANamedPipeIsNoMusicFileAndIsNeverWaitedOn) {
  const std::filesystem::path pipe = root() / "pipe.wav";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);  // an open would block
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
}

// Paths are bytes here: UTF-8 and anything else go to the file and come back unchanged.
TEST_F(SettingsTest, ValuesAreStoredByteForByte) {
  const std::filesystem::path file = settingsFilePath();
  std::filesystem::create_directories(file.parent_path());
  for (const std::string value : {"/m\xC3\xBCsic/\xE6\x9B\xB2.mp3", "/latin1/\xE9.wav"}) {
    writeSetting(kSettingsSection, kMusicFileKey, value, file);
    EXPECT_NE(lastApiResult, 0);
    EXPECT_NE(testing::readFile(file).find(testing::kFileKeyCp932 + "=" + value + "\r\n"),
              std::string::npos);
    EXPECT_EQ(readSetting(kSettingsSection, kMusicFileKey, file), value);
  }
}

TEST(FolderOfPath, SplitsAtTheLastSlash) {
  const std::pair<const char*, const char*> cases[] = {
      {"/music/loop.mp3", "/music"}, {"/loop.mp3", "/"}, {"loop.wav", ""}, {"a\\b:c.wav", ""}};
  for (const auto& [path, folder] : cases) EXPECT_EQ(folderOfPath(path), folder) << path;
}

}  // namespace
}  // namespace pellarin
