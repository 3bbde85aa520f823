// The installed copy: where each file goes, the daemon's settings page, the desktop entry and the
// command that puts Pellarin into the user's daemon list. The programs' run from the installed
// copy is the daemon test's.

#include "tests/e2e/desktop/installed_copy.h"  // first: gtest before Xlib

#include <iterator>
#include <sstream>

namespace pellarin::testing {
namespace {

class InstalledCopy : public InstalledCopyTest {
 protected:
  std::string xpath(const fs::path& file, const std::string& expression) {
    std::string value;
    EXPECT_EQ(runCommand("/usr/bin/xmllint", {"--xpath", expression, file.string()}, &value), 0)
        << expression << ": " << value;
    if (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }
};

// An installed program that still searched the build folder for its libraries would pick up
// whatever lies there on the user's machine.
TEST_F(InstalledCopy, PutsEveryFileInItsPlaceAndLooksForLibrariesThereOnly) {
  const struct {
    const char* path;
    bool executable;
  } layout[] = {
      {"lib/pellarin/Pellarin", true},
      {"lib/pellarin/Pellarin2.dll", true},
      {"lib/pellarin/Pellarin1.dll", false},
      {"lib/pellarin/kVeld.dll", false},
      {"bin/pellarin", true},
      {"bin/pellarin-add-to-xscreensaver", true},
      {"share/xscreensaver/config/pellarin.xml", false},
      {"share/applications/pellarin.desktop", false},
      {"share/doc/pellarin/README.md", false},
  };
  std::size_t files = 0;
  for (const auto& entry : installedTree())
    files += std::get<0>(entry.second) != fs::file_type::directory;
  EXPECT_EQ(files, std::size(layout));
  for (const auto& file : layout) {
    const fs::perms perms = fs::status(prefix() / file.path).permissions();
    EXPECT_NE(perms & fs::perms::others_read, fs::perms::none) << file.path;
    EXPECT_EQ((perms & fs::perms::others_exec) != fs::perms::none, file.executable) << file.path;
    EXPECT_EQ(perms & (fs::perms::group_write | fs::perms::others_write), fs::perms::none)
        << file.path;
  }
  // A relative link: the tree may be staged elsewhere (a package) and still work.
  EXPECT_EQ(fs::read_symlink(command()), fs::path("../lib/pellarin/Pellarin"));
  EXPECT_EQ(readFile(prefix() / "share/doc/pellarin/README.md"),
            readFile(fs::path(PELLARIN_SOURCE_DIR) / "README.md"));

  for (const char* name : {"Pellarin", "Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"}) {
    std::string dynamic;
    ASSERT_EQ(runCommand("/usr/bin/readelf", {"-d", (programFolder() / name).string()}, &dynamic),
              0)
        << dynamic;
    std::istringstream lines(dynamic);
    for (std::string line; std::getline(lines, line);) {
      if (line.find("RPATH") != std::string::npos || line.find("RUNPATH") != std::string::npos) {
        EXPECT_NE(line.find("[$ORIGIN]"), std::string::npos) << name << ": " << line;
      }
    }
  }
}

// The daemon's settings tool finds a page by the name of the program a list entry runs.
TEST_F(InstalledCopy, TheDaemonsSettingsPageNamesTheCommandAndAFrameRateCap) {
  const fs::path page = prefix() / "share/xscreensaver/config/pellarin.xml";
  EXPECT_EQ(xpath(page, "string(/screensaver/@name)"), command().filename().string());
  EXPECT_EQ(xpath(page, "string(/screensaver/command/@arg)"), "--root");
  EXPECT_GE(std::stoi(xpath(page, "string(/screensaver/number[@arg='--max-fps %']/@low)")), 1)
      << "0 would ask for no cap";
}

TEST_F(InstalledCopy, TheDesktopEntryOpensTheSettingsDialog) {
  const std::string entry = readFile(prefix() / "share/applications/pellarin.desktop");
  const std::size_t at = entry.find("\nExec=");
  ASSERT_NE(at, std::string::npos);
  std::istringstream words(entry.substr(at + 6, entry.find('\n', at + 1) - at - 6));
  const std::vector<std::string> exec{std::istream_iterator<std::string>(words), {}};
  ASSERT_EQ(exec, (std::vector<std::string>{command().string(), "/C"}));

  Display* display = openDisplay();
  ASSERT_NE(display, nullptr);
  const CommandLine line = asOrdinaryUser(userEnvironment(), exec);
  Process dialog(line.program, line.args);
  const Window window = waitForWindow(display, "■Pellarin■", 30s, true);
  EXPECT_NE(window, 0u) << "no settings dialog";
  if (window != 0) requestClose(display, window);
  EXPECT_EQ(dialog.waitForExit(20s), 0);
  XCloseDisplay(display);
}

// First in the "programs" resource, everything else in the file as it was, a list that already
// names it left alone, a file behind a link changed where it lies. (A file without a list is the
// daemon test's.)
TEST_F(InstalledCopy, AddsPellarinToTheUsersDaemonListOnce) {
  const std::string entry = "programs:\tpellarin --root\t\\n";
  const std::string list =
      "programs:\t\t\t\t\t\t      \\\n"
      "\t\t\t\tswirl --root\t\t\t    \\n\\\n"
      "  GL: \t\t\t\tgears --root\t\t\t    \\n\n";
  const std::string listed =
      "programs: \\\n-\t\t\t\t/usr/bin/pellarin --root \\n\\\n swirl --root\n";
  const struct {
    std::string before, after;
  } cases[] = {
      {"mode:\t\tone\n" + list + "lock:\t\tFalse\n",
       "mode:\t\tone\n" + entry + "\\\n" + list.substr(list.find('\n') + 1) + "lock:\t\tFalse\n"},
      {listed, listed},
  };
  const fs::path file = home() / ".xscreensaver", kept = folder_ / "dotfiles-xscreensaver";
  const std::string add = (prefix() / "bin" / "pellarin-add-to-xscreensaver").string();
  for (const auto& c : cases) {
    fs::remove(kept);
    fs::remove(file);
    put(kept, c.before);
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(kept, file);
    for (int run = 0; run < 2; ++run) {  // a second run changes nothing
      std::string output;
      EXPECT_EQ(runCommand("/usr/bin/env", {"HOME=" + home().string(), add}, &output), 0) << output;
      EXPECT_EQ(readFile(kept), c.after) << "run " << run;
    }
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
}

}  // namespace
}  // namespace pellarin::testing
