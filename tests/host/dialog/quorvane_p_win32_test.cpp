// The README look-up on Windows: the README lies beside the programs, nowhere else.
#include <gtest/gtest.h>

#include "host/dialog/documentation.h"
#include "tests/common/temp_folder.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;

using ReadmeTest = testing::TempFolderTest;

TEST_F(ReadmeTest, OnlyAFileBesideTheProgramsCounts) {
  const fs::path program = folder_ / "Pellarin";
  fs::create_directories(program);
  // Where a Linux copy keeps it, and a folder under the name beside the programs: neither.
  const fs::path installed = folder_ / "share" / "doc" / "pellarin" / "README.md";
  fs::create_directories(installed.parent_path());
  put(installed, "# Pellarin\n");
  fs::create_directory(program / "README.md");
  EXPECT_EQ(findReadme(program), std::nullopt);
  fs::remove(program / "README.md");
  put(program / "README.md", "# Pellarin\n");
  EXPECT_EQ(findReadme(program), program / "README.md");
}

}  // namespace
}  // namespace pellarin
