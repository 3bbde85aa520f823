#pragma once
// Helpers shared by the host's tests: a private work folder per test and small file utilities.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "host/core/quorvane_b.h"

namespace pellarin::testing {

// Points XDG_CONFIG_HOME and HOME at a fresh temporary folder and resets the host's variables.
class IsolatedHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pellarin-host-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::setenv("HOME", (root_ / "home").c_str(), 1);
    Quorvane_B::musicKind = 0;
    Quorvane_B::cdRepeatTrack = 0;
    Quorvane_B::musicFile.clear();
    Quorvane_B::musicFolder.clear();
    Quorvane_B::cursorHideResult = 0;
    Quorvane_B::lastApiResult = 0;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace pellarin::testing
