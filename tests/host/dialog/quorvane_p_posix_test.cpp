// The README look-up among POSIX file types.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "host/dialog/documentation.h"
#include "tests/common/temp_folder.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;

using ReadmeTest = testing::TempFolderTest;

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
