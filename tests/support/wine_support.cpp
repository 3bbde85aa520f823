#include "tests/support/wine_support.h"

#include <stdlib.h>

#include <algorithm>

namespace pellarin::testing {

namespace {

// scripts/wine-run.sh: --start boots a prefix, --stop removes it, anything else runs in it.
const std::filesystem::path kWineRun = PELLARIN_SOURCE_DIR "/scripts/wine-run.sh";

}  // namespace

WinePrefix::WinePrefix(std::filesystem::path folder) : folder_(std::move(folder)) {
  ::setenv("WINEPREFIX", folder_.c_str(), 1);
  std::string output;
  // A fresh prefix takes 8 to 30 s to boot.
  booted_ = runCommand(kWineRun, {"--start"}, &output, std::chrono::minutes(3)) == 0;
  EXPECT_TRUE(booted_) << output;
  if (booted_) {
    std::string display = readFile(folder_ / "pellarin-display");
    display.erase(display.find_last_not_of('\n') + 1);
    ::setenv("DISPLAY", display.c_str(), 1);
  }
}

WinePrefix::~WinePrefix() {
  std::string output;
  EXPECT_EQ(runCommand(kWineRun, {"--stop"}, &output), 0) << output;
}

std::vector<std::string> WinePrefix::command(const std::filesystem::path& program,
                                             const std::vector<std::string>& args) const {
  std::vector<std::string> line{program.string()};
  line.insert(line.end(), args.begin(), args.end());
  return line;
}

std::unique_ptr<Process> WinePrefix::start(const std::filesystem::path& program,
                                           const std::vector<std::string>& args,
                                           const std::filesystem::path& stderrFile) const {
  return std::make_unique<Process>(kWineRun, command(program, args), stderrFile);
}

std::optional<int> WinePrefix::run(const std::filesystem::path& program,
                                   const std::vector<std::string>& args,
                                   std::string* output) const {
  return runCommand(kWineRun, command(program, args), output);
}

std::string windowsPath(const std::filesystem::path& path) {
  std::string text = "Z:" + std::filesystem::absolute(path).string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

}  // namespace pellarin::testing
