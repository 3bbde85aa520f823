// Files and places a careful reader and writer must survive without losing data.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "common/profile.h"
#include "temp_folder.h"

namespace pellarin {
namespace {

using ProfileBadFiles = testing::TempFolderTest;
using namespace std::string_literals;

std::string read(const std::filesystem::path& file) {
  return readProfileString("S", "k", "d", 256, file);
}

TEST_F(ProfileBadFiles, NulBytesEndAValueButAreKeptOnWrite) {
  put(ini_, "[S]\r\nk= ab\0cd\r\nx\0y=1\r\nz=2"s);
  EXPECT_EQ(read(ini_), "ab");
  ASSERT_TRUE(writeProfileString("S", "z", "3", ini_));
  EXPECT_EQ(get(ini_), "[S]\r\nk= ab\0cd\r\nx\0y=1\r\nz=3"s);
}

TEST_F(ProfileBadFiles, RandomBytesAreReadAndAppendedTo) {
  std::mt19937 random(12345);
  std::string noise(1 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  put(ini_, noise);
  EXPECT_EQ(readProfileString("Qx7S", "k", "d", 256, ini_), "d");
  ASSERT_TRUE(writeProfileString("Qx7S", "k", " 640", ini_));
  EXPECT_EQ(get(ini_).substr(0, noise.size()), noise);
  EXPECT_EQ(readProfileInt("Qx7S", "k", 0, ini_), 640);
}

TEST_F(ProfileBadFiles, HundredMegabyteFilesAreReadAndWritten) {
  std::string text = "[Other]\r\nkey=a value padding this line to fifty.\r\n";  // 50 bytes
  while (text.size() < (100u << 20)) text += text;
  put(ini_, text + "[S]\r\nk=found");
  EXPECT_EQ(read(ini_), "found");
  ASSERT_TRUE(writeProfileString("S", "n", "1", ini_));
  EXPECT_EQ(get(ini_), text + "[S]\r\nk=found\r\nn=1\r\n");
  put(ini_, std::string(100u << 20, 'x'));  // one line without end
  EXPECT_EQ(read(ini_), "d");
}

TEST_F(ProfileBadFiles, NoFileOrFolderOrPipeInPlaceOfTheFile) {
  ASSERT_TRUE(std::filesystem::create_directory(ini_));
  const auto fifo = path("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // a reader must not hang on it
  for (const auto& place : {ini_, fifo}) {
    EXPECT_EQ(read(place), "d");
    EXPECT_EQ(readProfileInt("S", "k", 5, place), 5);
    EXPECT_FALSE(writeProfileString("S", "k", "v", place));
  }
  EXPECT_TRUE(std::filesystem::is_empty(ini_));
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_FALSE(writeProfileString("S", "k", "v", path("missing/a.ini")));
  EXPECT_FALSE(writeProfileString("S", "k", "v", folder_ / ""));
  EXPECT_EQ(entryCount(), 2);
}

TEST_F(ProfileBadFiles, UnreadableAndReadOnlyFilesAreLeftAlone) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads and writes files whatever their mode";
  put(ini_, "[S]\r\nk=1\r\n");
  ASSERT_EQ(::chmod(ini_.c_str(), 0444), 0);
  EXPECT_FALSE(writeProfileString("S", "k", "2", ini_));
  ASSERT_EQ(::chmod(ini_.c_str(), 0200), 0);
  EXPECT_EQ(read(ini_), "d");
  EXPECT_FALSE(writeProfileString("S", "k", "2", ini_));
  ASSERT_EQ(::chmod(ini_.c_str(), 0600), 0);
  EXPECT_EQ(get(ini_), "[S]\r\nk=1\r\n");
  EXPECT_EQ(entryCount(), 1);
}

TEST_F(ProfileBadFiles, SymbolicLinksAreWrittenThroughAndDanglingOnesRefused) {
  put(path("real.ini"), "[S]\r\nk=1\r\n");
  std::filesystem::create_symlink("real.ini", ini_);
  ASSERT_TRUE(writeProfileString("S", "k", "2", ini_));
  EXPECT_TRUE(std::filesystem::is_symlink(ini_));
  EXPECT_EQ(get(path("real.ini")), "[S]\r\nk=2\r\n");
  std::filesystem::create_symlink("nowhere.ini", path("dangling.ini"));
  EXPECT_FALSE(writeProfileString("S", "k", "2", path("dangling.ini")));
  EXPECT_EQ(entryCount(), 3);
}

// The file-size limit stands in for a full disk: both make write() fail part-way.
TEST_F(ProfileBadFiles, AFullDiskLeavesTheOldFile) {
  const std::string before = "[S]\r\nk=" + std::string(1000, 'o') + "\r\n";
  put(ini_, before);
  rlimit oldLimit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
  rlimit small{4096, oldLimit.rlim_max};
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = writeProfileString("S", "k", std::string(10000, 'n'), ini_);
  ::setrlimit(RLIMIT_FSIZE, &oldLimit);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(get(ini_), before);
  EXPECT_EQ(entryCount(), 1);
}

TEST_F(ProfileBadFiles, AKilledWriterLeavesTheOldOrTheNewFileNeverAMix) {
  const std::string a(1 << 20, 'a'), b(1 << 20, 'b');
  ASSERT_TRUE(writeProfileString("S", "k", a, ini_));
  for (int round = 0; round < 8; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) writeProfileString("S", "k", i % 2 ? a : b, ini_);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + 7 * round));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const std::string after = get(ini_);
    EXPECT_TRUE(after == "[S]\r\nk=" + a + "\r\n" || after == "[S]\r\nk=" + b + "\r\n")
        << "round " << round << ": " << after.size() << " bytes";
  }
}

}  // namespace
}  // namespace pellarin
