// The Debian package CPack makes of this build, installed on this machine with dpkg, run by an
// ordinary user and removed again: its dependencies declared, its files in place, and nothing of
// it left behind.

#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <X11/keysym.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <sstream>

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;

class DebianPackage : public TempFolderTest {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "installing a package takes root";
    TempFolderTest::SetUp();
    fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    makeOrdinaryUsersFolder(folder_ / "home");
    // One package test at a time on this machine, whichever build runs it.
    lock_ = ::open("/tmp/pellarin-package-test.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_GE(lock_, 0);
    ASSERT_TRUE(waitUntil([&] { return ::flock(lock_, LOCK_EX | LOCK_NB) == 0; }, 300s, 1s))
        << "another package test holds the machine";
    if (installed()) {
      GTEST_SKIP() << "a pellarin package is installed on this machine already; this test "
                      "installs and removes its own (dpkg -r pellarin first to run it)";
    }
  }
  void TearDown() override {
    if (::geteuid() != 0) return;
    if (installedHere_) dpkg({"--purge", "pellarin"});
    if (lock_ >= 0) ::close(lock_);
    TempFolderTest::TearDown();
  }

  bool installed() {
    std::string status;
    return runCommand("/usr/bin/dpkg-query", {"-W", "-f=${Status}", "pellarin"}, &status) == 0 &&
           status.find("install ok installed") != std::string::npos;
  }
  // dpkg, waiting while another package tool (apt, another dpkg) holds its lock.
  std::optional<int> dpkg(const std::vector<std::string>& args, std::string* output = nullptr) {
    std::string text;
    std::optional<int> status;
    waitUntil(
        [&] {
          status = runCommand("/usr/bin/dpkg", args, &text);
          return status == 0 || text.find("lock") == std::string::npos;
        },
        180s, 2s);
    if (output != nullptr) *output = text;
    return status;
  }
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) result.push_back(line);
    }
    return result;
  }

  int lock_ = -1;
  bool installedHere_ = false;
};

TEST_F(DebianPackage, InstallsRunsAndRemovesWithoutLeavingAFile) {
  std::string output;
  const fs::path built = folder_ / "package";
  ASSERT_EQ(runCommand(PELLARIN_CPACK_COMMAND,
                       {"-G", "DEB", "--config", PELLARIN_BUILD_DIR "/CPackConfig.cmake", "-B",
                        built.string()},
                       &output, 300s),
            0)
      << output;
  fs::path package;
  for (const auto& entry : fs::directory_iterator(built)) {
    if (entry.path().extension() == ".deb") package = entry.path();
  }
  ASSERT_FALSE(package.empty()) << output;

  // The libraries the programs link (found by dpkg-shlibdeps) and what they load at run time.
  ASSERT_EQ(runCommand("/usr/bin/dpkg-deb",
                       {"-f", package.string(), "Package", "Depends", "Recommends"}, &output),
            0)
      << output;
  EXPECT_NE(output.find("Package: pellarin\n"), std::string::npos) << output;
  for (const char* needed :
       {"gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good", "libgstreamer1.0-0", "libgtk-3-0",
        "libturbojpeg0", "libx11-6", "libglu1-mesa", "libxrandr2", "xscreensaver"}) {
    EXPECT_NE(output.find(needed), std::string::npos) << needed << " not declared:\n" << output;
  }

  ASSERT_EQ(dpkg({"-i", package.string()}, &output), 0) << output;
  installedHere_ = true;
  ASSERT_EQ(runCommand("/usr/bin/dpkg", {"-L", "pellarin"}, &output), 0) << output;
  // Where each file goes is the install test's; here the list is what must go again.
  const std::vector<std::string> files = lines(output);

  // An ordinary user runs the screen saver by the command's name, and ends it with Escape.
  Display* display = openDisplay();
  ASSERT_NE(display, nullptr);
  const fs::path home = folder_ / "home";
  const CommandLine line =
      asOrdinaryUser({"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / ".config").string(),
                      "PATH=/usr/bin:/bin", "DISPLAY=" + std::string(::getenv("DISPLAY"))},
                     {"pellarin", "/S"});
  {
    Process saver(line.program, line.args);
    Window renderer = 0;
    EXPECT_TRUE(waitUntil(
        [&] {
          renderer = findWindow(display, "Quorvane_VC", true);
          return renderer != 0 && showsSomething(display, renderer);
        },
        60s, 50ms))
        << "the installed screen saver shows nothing";
    pressKey(display, XK_Escape);
    EXPECT_EQ(saver.waitForExit(20s), 0);
  }
  XCloseDisplay(display);
  EXPECT_TRUE(waitUntil([] { return runningProcessesIn("/usr/lib/pellarin").empty(); }, 5s));

  ASSERT_EQ(dpkg({"-r", "pellarin"}, &output), 0) << output;
  // Nothing kept for a later purge either: no maintainer script, no configuration file.
  runCommand("/usr/bin/dpkg-query", {"-W", "-f=${Status}", "pellarin"}, &output);
  EXPECT_EQ(output.find("installed"), std::string::npos) << output;
  EXPECT_EQ(output.find("config-files"), std::string::npos) << output;
  for (const auto& entry : fs::directory_iterator("/var/lib/dpkg/info")) {
    EXPECT_NE(entry.path().stem(), "pellarin") << entry.path() << " is left behind";
  }
  // What is still there may only be a folder that another package owns too (/usr/bin).
  for (const std::string& file : files) {
    if (!fs::exists(fs::symlink_status(file))) continue;
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(file)) &&
                runCommand("/usr/bin/dpkg", {"-S", file}) == 0)
        << file << " is left behind";
  }
}

}  // namespace
}  // namespace pellarin::testing
