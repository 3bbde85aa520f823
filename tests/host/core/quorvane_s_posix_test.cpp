// Run mode's temporary bitmap on a POSIX system with users and modes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>

#include "run_mode_fixture.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;
using testing::RunModeTest;

// Every user of an installed copy: the program folder belongs to root, the work folder is the
// user's. The bitmap is the user's own new file there, gone again whatever the conversion did.
TEST_F(RunModeTest, TheBitmapIsAPrivateFileOfTheWorkFolderGoneAfterUse) {
  constexpr uid_t kNobody = 65534;
  ASSERT_EQ(::chmod(root().c_str(), 0755), 0);
  ASSERT_EQ(::chown(workFolder_.c_str(), kNobody, kNobody), 0);
  writeFile(workFolder_ / "Dumy.bmp", "stale");  // as a killed run of an older copy left it
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  const pid_t child = ::fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
    std::string seen;
    for (const bool converts : {true, false}) {
      setup_.convertWorks = converts;
      setup_.inspectBitmap = [](const fs::path& bitmap) {
        struct stat info {};
        return std::to_string(::lstat(bitmap.c_str(), &info) == 0 ? static_cast<int>(info.st_mode)
                                                                  : -1);
      };
      loadForm(2);
      const std::string name = fake_.bitmapPath.filename().string();
      seen += fake_.bitmapPath.parent_path() == workFolder_ ? "work " : "elsewhere ";
      seen +=
          std::regex_match(name, std::regex(R"(Dumy-[A-Za-z0-9]{6}\.bmp)")) ? "Dumy-*.bmp" : name;
      seen += ' ' + fake_.bitmapFacts + ' ';
      seen += fake_.decoded && fake_.decoded->rgb == pictures_[2] ? "picture " : "no-picture ";
      seen += fs::exists(fake_.bitmapPath) ? "left; " : "gone; ";
    }
    ::_exit(::write(report[1], seen.data(), seen.size()) == static_cast<ssize_t>(seen.size()) ? 0
                                                                                              : 1);
  }
  ::close(report[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  char buffer[512] = {};
  const ssize_t got = ::read(report[0], buffer, sizeof buffer - 1);
  ::close(report[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string once = "work Dumy-*.bmp " + std::to_string(S_IFREG | 0600) + " picture gone; ";
  EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), once + once);
  EXPECT_EQ(entries(workFolder_), 1);  // the stale file alone, untouched
  EXPECT_EQ(testing::readFile(workFolder_ / "Dumy.bmp"), "stale");
}

}  // namespace
}  // namespace pellarin
