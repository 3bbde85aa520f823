#pragma once
// Scaffolding for drivers that run on the build machine and start the Windows build's programs
// under Wine: a prefix of the test's own on the test's X server, and paths as Windows sees them.
// Built into those drivers only (they are native programs; the Windows build has no Xlib).

#include "tests/support/e2e_support.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pellarin::testing {

// A fresh Wine prefix with a persistent wineserver and a virtual X server of its own
// (PELLARIN_XVFB_SCREEN sets its size), so that its desktop and every program started in it
// draw there; removed with the object. Being the test's own, no other test's programs share its
// desktop: Wine gives all the programs of a prefix the display its desktop started with. Sets
// WINEPREFIX and DISPLAY in this process, so that every program it starts (Process, runCommand)
// runs in the prefix and every display the test opens afterwards is the prefix's.
// The folder's name must be "wine-prefix" (scripts/wine-run.sh removes no other).
class WinePrefix {
 public:
  explicit WinePrefix(std::filesystem::path folder);
  ~WinePrefix();
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  bool booted() const { return booted_; }
  // The prefix's drive C: on the build machine.
  std::filesystem::path driveC() const { return folder_ / "drive_c"; }
  // The command line that runs a Windows program with these arguments in the prefix.
  std::vector<std::string> command(const std::filesystem::path& program,
                                   const std::vector<std::string>& args) const;
  // The program started in the prefix (stderr into a file), as a Process.
  std::unique_ptr<Process> start(const std::filesystem::path& program,
                                 const std::vector<std::string>& args,
                                 const std::filesystem::path& stderrFile = {}) const;
  // The program run to its end in the prefix; its exit status as runCommand gives it.
  std::optional<int> run(const std::filesystem::path& program, const std::vector<std::string>& args,
                         std::string* output = nullptr) const;

 private:
  std::filesystem::path folder_;
  bool booted_ = false;
};

// A path of the build machine as Wine's programs see it ("Z:\tmp\x" for /tmp/x).
std::string windowsPath(const std::filesystem::path& path);

}  // namespace pellarin::testing
