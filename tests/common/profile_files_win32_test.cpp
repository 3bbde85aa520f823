// The settings-file engine on the Windows file system: access lists, pipes and devices, files
// that other programs hold open or marked read-only, links, and writers caught half-way (a
// writer is this program again, in a child process).
#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <string>
#include <vector>

#include "child_process_win32.h"
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
  // The temporary files of writes, left in the folder.
  std::vector<fs::path> temporaries() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path().extension() == ".tmp") files.push_back(entry.path());
    }
    return files;
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
       {path("folder.ini"), fs::path(pipeName), fs::path("NUL"), fs::path("\\\\.\\NUL"),
        fs::path("CON"), path("missing") / "a.ini", folder_ / "", fs::path()}) {
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

// Another program (an editor, a backup) holding the file: what its sharing allows is done, the
// rest fails without a trace. Whether a reader that shares everything, as the renderer does,
// lets the file be replaced is the system's to say (Wine and older Windows keep an open file's
// name); either way nothing is lost and the result says what happened.
TEST_F(ProfileFiles, AFileAnotherProgramHoldsOpenIsLeftAsItsSharingAsks) {
  const std::string before = "[S]\r\nk=1\r\n";
  const struct {
    const char* held;
    DWORD share;
    const char* read;
    std::optional<bool> written;  // nothing: the system's to say
  } rows[] = {
      {"sharing nothing", 0, "d", false},
      {"sharing reads", FILE_SHARE_READ, "1", false},
      {"sharing all but deletion", FILE_SHARE_READ | FILE_SHARE_WRITE, "1", false},
      {"sharing everything", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, "1", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.held);
    put(ini_, before);
    const HANDLE held = ::CreateFileW(ini_.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(read("k", ini_), row.read);
    const bool written = write("k", "2", ini_);
    if (row.written) {
      EXPECT_EQ(written, *row.written);
    }
    ::CloseHandle(held);
    EXPECT_EQ(get(ini_), written ? "[S]\r\nk=2\r\n" : before);
    EXPECT_TRUE(temporaries().empty());
  }
}

TEST_F(ProfileFiles, AReadOnlyFileIsReadButNotWritten) {
  put(ini_, "[S]\r\nk=1\r\n");
  ASSERT_TRUE(::SetFileAttributesW(ini_.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(write("k", "2", ini_));
  EXPECT_EQ(read("k", ini_), "1");
  ::SetFileAttributesW(ini_.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(get(ini_), "[S]\r\nk=1\r\n");
  EXPECT_EQ(entryCount(), 1);
}

// Reads follow a link; a write never changes a file outside the link's folder (it either
// refuses, or, where the system shows the link as a plain file, replaces the link itself).
TEST_F(ProfileFiles, ALinkInTheFilesPlaceNeverCarriesAWriteOutOfItsFolder) {
  const fs::path planted = testing::plantedFolder();
  if (planted.empty()) GTEST_SKIP() << "needs the links tests/common/plant_links.sh plants";
  const fs::path link = planted / "profile" / "work" / "out.ini";
  const fs::path outside = planted / "profile" / "outside.ini";
  const std::string before = "[S]\r\nk=before\r\n";
  ASSERT_EQ(get(outside), before);
  ASSERT_NE(file_access::resolvedPath(link), std::optional(link)) << "no link planted";
  EXPECT_EQ(read("k", link), "before");
  const bool written = write("k", "after", link);
  EXPECT_EQ(get(outside), before);
  EXPECT_EQ(read("k", link), written ? "after" : "before");
  EXPECT_EQ(std::distance(fs::directory_iterator(link.parent_path()), {}), 1);
}

// The writer in the child: a write's temporary file, half written; "ready" beside it says it got
// that far. Once "go" appears it finishes the write, into "a.ini"; it may be killed before.
int writeOnSignal(const std::string& folder) {
  const fs::path place(folder);
  std::optional<file_access::NewFile> file =
      file_access::NewFile::createIn(place, ".a.ini.", ".tmp");
  if (!file || !file->append("[S]\r\nk=")) return 1;
  std::ofstream(place / "ready") << "ready";
  while (!fs::exists(place / "go")) ::Sleep(10);
  return file->append("running\r\n") && file->replace(place / "a.ini") ? 0 : 1;
}

class CaughtWriter : public ProfileFiles {
 protected:
  // Starts a writer and waits until it has its temporary file.
  std::optional<testing::ChildProcess> startWriter() {
    fs::remove(path("ready"));
    fs::remove(path("go"));
    std::optional<testing::ChildProcess> writer =
        testing::ChildProcess::start("write-on-signal", folder_.string());
    if (!writer || !testing::within(30s, [&] { return fs::exists(path("ready")); })) return {};
    return writer;
  }
};

// The writer goes on once the other write is done: its file must still be there, and still its.
TEST_F(CaughtWriter, TheTemporaryFileOfAWriteStillRunningInAnotherProcessIsLeftAlone) {
  put(ini_, "[S]\r\nk=old\r\n");
  std::optional<testing::ChildProcess> writer = startWriter();
  ASSERT_TRUE(writer);
  ASSERT_EQ(temporaries().size(), 1u);
  const fs::path temporary = temporaries()[0];
  // Wine keeps a file whose removal is pending visible and movable, so the answer itself is
  // looked at too.
  EXPECT_FALSE(file_access::removeIfAbandoned(temporary));
  EXPECT_TRUE(write("n", "meanwhile", ini_));
  EXPECT_TRUE(fs::exists(temporary));
  put(path("go"), "");
  EXPECT_EQ(writer->exitCode(30s), std::optional<DWORD>(0));
  // Nothing is locked: the write that ends last is the one that stays.
  EXPECT_EQ(read("k", ini_), "running");
  EXPECT_TRUE(temporaries().empty());
}

TEST_F(CaughtWriter, AKilledWritersTemporaryFileIsRemovedByTheNextWrite) {
  put(ini_, "[S]\r\nk=old\r\n");
  std::optional<testing::ChildProcess> writer = startWriter();
  ASSERT_TRUE(writer);
  ASSERT_EQ(temporaries().size(), 1u);
  const fs::path temporary = temporaries()[0];
  writer->kill();
  EXPECT_EQ(read("k", ini_), "old");
  // Temporary files of other files, and what only looks like one, are not this write's to clear.
  const std::string others[] = {".b.ini.1.2.3.tmp", "a.ini.1.2.3.tmp", ".a.ini.1.2.3.tmp.x"};
  for (const std::string& name : others) put(path(name), "x");
  ASSERT_TRUE(fs::create_directory(path(".a.ini.folder.tmp")));
  ASSERT_TRUE(write("k", "next", ini_));
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_EQ(read("k", ini_), "next");
  for (const std::string& name : others) EXPECT_TRUE(fs::exists(path(name))) << name;
  EXPECT_TRUE(fs::is_directory(path(".a.ini.folder.tmp")));
}

}  // namespace
}  // namespace pellarin

int main(int argc, char** argv) {
  return pellarin::testing::runTestsOrRole(argc, argv,
                                           {{"write-on-signal", pellarin::writeOnSignal}});
}
