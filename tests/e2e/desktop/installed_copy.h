#pragma once
// This build installed (cmake --install) into a temporary prefix that every user may read, as a
// system-wide install is, with an ordinary user's home beside it.

#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <sys/stat.h>

#include <map>
#include <tuple>

namespace pellarin::testing {

namespace fs = std::filesystem;

class InstalledCopyTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    // The ordinary user has to reach everything below the test's folder.
    fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    std::string log;
    ASSERT_EQ(runCommand(PELLARIN_CMAKE_COMMAND,
                         {"--install", PELLARIN_BUILD_DIR, "--prefix", prefix().string()}, &log),
              0)
        << log;
    makeOrdinaryUsersFolder(home());
  }

  fs::path prefix() const { return folder_ / "prefix"; }
  fs::path programFolder() const { return prefix() / "lib" / "pellarin"; }
  fs::path command() const { return prefix() / "bin" / "pellarin"; }
  fs::path home() const { return folder_ / "home"; }
  fs::path workFolder() const { return home() / ".config" / "k_veld_temp"; }

  // The ordinary user's environment: its home, the installed commands first on the path, and
  // the test's display.
  std::vector<std::string> userEnvironment() const {
    std::vector<std::string> variables{"HOME=" + home().string(),
                                       "XDG_CONFIG_HOME=" + (home() / ".config").string(),
                                       "PATH=" + (prefix() / "bin").string() + ":/usr/bin:/bin"};
    if (const char* display = ::getenv("DISPLAY"))
      variables.push_back("DISPLAY=" + std::string(display));
    return variables;
  }

  // Every entry below the prefix with its type, size, permissions and modification time, so
  // that a run which wrote anything there shows.
  using Entry = std::tuple<fs::file_type, std::uintmax_t, unsigned, long long>;
  std::map<std::string, Entry> installedTree() const {
    std::map<std::string, Entry> tree;
    for (const auto& entry : fs::recursive_directory_iterator(prefix())) {
      struct stat status {};
      if (::lstat(entry.path().c_str(), &status) != 0) continue;
      tree[entry.path().lexically_relative(prefix()).string()] = Entry{
          entry.symlink_status().type(), static_cast<std::uintmax_t>(status.st_size),
          static_cast<unsigned>(status.st_mode),
          static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec};
    }
    return tree;
  }
};

}  // namespace pellarin::testing
