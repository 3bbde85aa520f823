#pragma once
// A fresh folder per test, removed afterwards, with helpers for whole-file bytes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace pellarin::testing {

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellarin-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    ini_ = folder_ / "a.ini";
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path path(const std::string& name) const { return folder_ / name; }

  static void put(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out << bytes);
  }

  static std::string get(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
  }

  // Names in the folder, so a test can see that no temporary file was left behind.
  long entryCount() const {
    return std::distance(std::filesystem::directory_iterator(folder_), {});
  }

  std::filesystem::path folder_, ini_;
};

}  // namespace pellarin::testing
