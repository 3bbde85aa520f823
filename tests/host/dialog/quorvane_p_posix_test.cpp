// The README look-up on Linux: its two places, and POSIX file types under its name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "host/dialog/documentation.h"
#include "tests/common/temp_folder.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;

using ReadmeTest = testing::TempFolderTest;

TEST_F(ReadmeTest, OnlyARegularFileCountsAndTheNearerPlaceWins) {
  // The plain build-tree and installed layouts are opened end to end; these are the odd cases.
  const fs::path program = folder_ / "usr" / "lib" / "pellarin";
  const fs::path doc = fs::path("share") / "doc" / "pellarin" / "README.md";
  const fs::path nearer = folder_ / "usr" / "lib" / doc;
  const fs::path farther = folder_ / "usr" / doc;
  fs::create_directories(program);
  fs::create_directories(nearer.parent_path());
  fs::create_directories(farther.parent_path());
  put(farther, "# Pellarin\n");
  fs::create_directory(nearer);
  EXPECT_EQ(findReadme(program), farther) << "a folder";
  fs::remove(nearer);
  put(nearer, "# Pellarin\n");
  EXPECT_EQ(findReadme(program), nearer);
}

TEST_F(ReadmeTest, ANamedPipeUnderTheReadmesNameIsPassedOverUnopened) {
  const fs::path program = folder_ / "usr" / "lib" / "pellarin";
  const fs::path doc = fs::path("share") / "doc" / "pellarin" / "README.md";
  fs::create_directories(program);
  fs::create_directories((folder_ / "usr" / "lib" / doc).parent_path());
  fs::create_directories((folder_ / "usr" / doc).parent_path());
  put(folder_ / "usr" / doc, "# Pellarin\n");
  ASSERT_EQ(::mkfifo((folder_ / "usr" / "lib" / doc).c_str(), 0600), 0);
  EXPECT_EQ(findReadme(program), folder_ / "usr" / doc);  // and it returned: never opened
}

}  // namespace
}  // namespace pellarin
