#pragma once
// A fresh folder per test in the system's temporary folder, removed afterwards, with helpers
// for whole-file bytes. Every test that needs files on disk starts from here.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

namespace pellarin::testing {

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A name nobody can take first: create_directory fails on anything already there.
    std::random_device random;
    std::error_code error;
    for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
      const std::filesystem::path candidate =
          std::filesystem::temp_directory_path(error) / ("pellarin-" + std::to_string(random()));
      if (!error && std::filesystem::create_directory(candidate, error)) folder_ = candidate;
    }
    ASSERT_FALSE(folder_.empty()) << "no temporary folder: " << error.message();
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
    ini_ = folder_ / "a.ini";
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::filesystem::path path(const std::string& name) const { return folder_ / name; }

  static void put(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out << bytes) << file;
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
