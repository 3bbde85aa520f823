// Run mode's temporary bitmap on Windows, where access lists stand for modes.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "run_mode_fixture.h"
#include "tests/common/win32_test_support.h"

namespace pellarin {
namespace {

namespace fs = std::filesystem;
using testing::RunModeTest;

// The bitmap is a new file of the work folder that lets in the user and the system alone, gone
// again whatever the conversion did; a stale one of an older copy is neither taken nor touched.
TEST_F(RunModeTest, TheBitmapIsAPrivateFileOfTheWorkFolderGoneAfterUse) {
  writeFile(workFolder_ / "Dumy.bmp", "stale");
  ASSERT_NE(testing::letIn(workFolder_ / "Dumy.bmp"), testing::privateToUser())
      << "the test cannot tell private from open";
  for (const bool converts : {true, false}) {
    SCOPED_TRACE(converts ? "converted" : "not converted");
    setup_.convertWorks = converts;
    setup_.inspectBitmap = [](const fs::path& bitmap) {
      return testing::letIn(bitmap) == testing::privateToUser() ? "private" : "open";
    };
    loadForm(2);
    EXPECT_EQ(fake_.bitmapPath.parent_path(), workFolder_);
    EXPECT_TRUE(std::regex_match(fake_.bitmapPath.filename().string(),
                                 std::regex(R"(Dumy-[A-Za-z0-9]{6}\.bmp)")))
        << fake_.bitmapPath;
    EXPECT_EQ(fake_.bitmapFacts, "private");
    ASSERT_TRUE(fake_.decoded.has_value());
    EXPECT_EQ(fake_.decoded->rgb, pictures_[2]);
    EXPECT_FALSE(fs::exists(fake_.bitmapPath));
  }
  EXPECT_EQ(entries(workFolder_), 1);  // the stale file alone, untouched
  EXPECT_EQ(testing::readFile(workFolder_ / "Dumy.bmp"), "stale");
}

}  // namespace
}  // namespace pellarin
