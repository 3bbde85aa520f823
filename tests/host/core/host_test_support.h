#pragma once
// Helpers shared by the host's tests: a private work folder per test and small file utilities.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "host/core/quorvane_b.h"
#include "tests/common/temp_folder.h"
#include "tests/common/test_platform.h"

namespace pellarin::testing {

// Points the work folder into the test's folder and resets the host's variables.
class IsolatedHostTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    isolateWorkFolder(folder_);
    Quorvane_B::musicKind = 0;
    Quorvane_B::cdRepeatTrack = 0;
    Quorvane_B::musicFile.clear();
    Quorvane_B::musicFolder.clear();
    Quorvane_B::cursorHideResult = 0;
    Quorvane_B::lastApiResult = 0;
  }
  const std::filesystem::path& root() const { return folder_; }
  // Writes the file, making its folders first.
  static void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    put(path, bytes);
  }
};

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace pellarin::testing
