// The settings-file engine on the Windows file system: access lists, pipes and devices, and the
// temporary files of writes. Links are left to the POSIX test: under Wine a program cannot
// make one.
#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <string>
#include <vector>

#include "common/file_access.h"
#include "common/profile.h"
#include "temp_folder.h"
#include "win32_test_support.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::letIn;
using testing::privateToUser;

class ProfileFiles : public testing::TempFolderTest {
 protected:
  static bool write(const std::string& key, const std::string& value, const fs::path& file) {
    return writeProfileString("S", key, value, file);
  }
  static std::string read(const std::string& key, const fs::path& file) {
    return readProfileString("S", key, "d", 256, file);
  }
};

TEST_F(ProfileFiles, NewAndRewrittenFilesLetInTheUserAndTheSystemAlone) {
  ASSERT_TRUE(write("k", "1", ini_));
  EXPECT_EQ(letIn(ini_), privateToUser());
  const fs::path open = path("open.ini");
  put(open, "[S]\r\nk=1\r\n");
  ASSERT_NE(letIn(open), privateToUser()) << "the test cannot tell private from open";
  ASSERT_TRUE(write("k", "2", open));
  EXPECT_EQ(letIn(open), privateToUser());
  EXPECT_EQ(read("k", open), "2");
}

// Reading a pipe waits for its writer, and a console or a device may act: none of them is read.
// The reads run aside, so that a wait fails the test instead of hanging it.
TEST_F(ProfileFiles, NoFolderPipeOrDeviceIsTakenForTheFile) {
  ASSERT_TRUE(fs::create_directory(path("folder.ini")));
  const std::wstring pipeName =
      L"\\\\.\\pipe\\pellarin-test-" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE pipe =
      ::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                         PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  for (const fs::path& place :
       {path("folder.ini"), fs::path(pipeName), fs::path("NUL"), fs::path("CON"), fs::path()}) {
    SCOPED_TRACE(place.string());
    auto outcome = std::async(std::launch::async, [&] {
      return std::tuple(readProfileString("S", "k", "d", 9, place),
                        readProfileInt("S", "k", 5, place), write("k", "v", place));
    });
    if (outcome.wait_for(10s) != std::future_status::ready) {
      ADD_FAILURE() << "blocked";
      ::DisconnectNamedPipe(pipe);  // lets a read that waits on it go on
    }
    EXPECT_EQ(outcome.get(), std::tuple(std::string("d"), 5, false));
  }
  ::CloseHandle(pipe);
  EXPECT_TRUE(fs::is_empty(path("folder.ini")));
  EXPECT_EQ(entryCount(), 1);
}

// A write under way holds its temporary file open; a killed one has left its file closed.
TEST_F(ProfileFiles, AnAbandonedTemporaryFileIsRemovedByTheNextWriteOneStillWrittenIsNot) {
  put(ini_, "[S]\r\nk=old\r\n");
  std::optional<file_access::NewFile> running =
      file_access::NewFile::createIn(folder_, ".a.ini.", ".tmp");
  ASSERT_TRUE(running);
  const fs::path abandoned = path(".a.ini.killed.tmp");
  put(abandoned, "[S]\r\nk=");
  const std::string others[] = {".b.ini.1.2.3.tmp", "a.ini.1.2.3.tmp", ".a.ini.1.2.3.tmp.x"};
  for (const std::string& name : others) put(path(name), "x");
  // Wine keeps a file whose removal is pending visible, so the answer itself is looked at too.
  EXPECT_FALSE(file_access::removeIfAbandoned(running->path()));
  ASSERT_TRUE(write("k", "next", ini_));
  EXPECT_TRUE(fs::exists(running->path()));
  EXPECT_FALSE(fs::exists(abandoned));
  for (const std::string& name : others) EXPECT_TRUE(fs::exists(path(name))) << name;
}

}  // namespace
}  // namespace pellarin
