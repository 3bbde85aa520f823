// The installed copy: where each file goes, that the programs run from there for an ordinary
// user without writing into it, the daemon's settings page, the desktop entry and the command
// that puts Pellarin into the user's daemon list.

#include "tests/e2e/desktop/installed_copy.h"  // first: gtest before Xlib

#include <signal.h>

#include <iterator>
#include <sstream>

namespace pellarin::testing {
namespace {

class InstalledCopy : public InstalledCopyTest {
 protected:
  void SetUp() override {
    InstalledCopyTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NE(display_ = openDisplay(), nullptr);
  }
  void TearDown() override {
    processes_.clear();
    for (const pid_t left : runningProcessesIn(programFolder())) ::kill(left, SIGKILL);
    if (display_ != nullptr) XCloseDisplay(display_);
    InstalledCopyTest::TearDown();
  }

  Process& startAsUser(const std::vector<std::string>& command) {
    const CommandLine line = asOrdinaryUser(userEnvironment(), command);
    processes_.push_back(std::make_unique<Process>(line.program, line.args));
    return *processes_.back();
  }
  std::string xpath(const fs::path& file, const std::string& expression) {
    std::string value;
    EXPECT_EQ(runCommand("/usr/bin/xmllint", {"--xpath", expression, file.string()}, &value), 0)
        << expression << ": " << value;
    if (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }

  Display* display_ = nullptr;
  std::vector<std::unique_ptr<Process>> processes_;
};

TEST_F(InstalledCopy, PutsEveryFileInItsPlaceAndNothingElse) {
  const struct {
    const char* path;
    fs::file_type type;
    bool executable;
  } layout[] = {
      {"lib/pellarin/Pellarin", fs::file_type::regular, true},
      {"lib/pellarin/Pellarin2.dll", fs::file_type::regular, true},
      {"lib/pellarin/Pellarin1.dll", fs::file_type::regular, false},
      {"lib/pellarin/kVeld.dll", fs::file_type::regular, false},
      {"bin/pellarin", fs::file_type::symlink, true},
      {"bin/pellarin-add-to-xscreensaver", fs::file_type::regular, true},
      {"share/xscreensaver/config/pellarin.xml", fs::file_type::regular, false},
      {"share/applications/pellarin.desktop", fs::file_type::regular, false},
      {"share/doc/pellarin/README.md", fs::file_type::regular, false},
  };
  std::size_t files = 0;
  for (const auto& entry : installedTree())
    files += std::get<0>(entry.second) != fs::file_type::directory;
  EXPECT_EQ(files, std::size(layout));
  for (const auto& file : layout) {
    const fs::path path = prefix() / file.path;
    EXPECT_EQ(fs::symlink_status(path).type(), file.type) << file.path;
    const fs::perms perms = fs::status(path).permissions();
    EXPECT_NE(perms & fs::perms::others_read, fs::perms::none) << file.path;
    EXPECT_EQ((perms & fs::perms::others_exec) != fs::perms::none, file.executable) << file.path;
    EXPECT_EQ(perms & (fs::perms::group_write | fs::perms::others_write), fs::perms::none)
        << file.path;
  }
  // A relative link: the tree may be staged elsewhere (a package) and still work.
  EXPECT_EQ(fs::read_symlink(command()), fs::path("../lib/pellarin/Pellarin"));
  EXPECT_EQ(readFile(prefix() / "share/doc/pellarin/README.md"),
            readFile(fs::path(PELLARIN_SOURCE_DIR) / "README.md"));
}

// An installed program that still searched the build folder for its libraries would pick up
// whatever lies there on the user's machine.
TEST_F(InstalledCopy, ProgramsLookForTheirLibrariesInTheirOwnFolderOnly) {
  for (const char* name : {"Pellarin", "Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"}) {
    std::string dynamic;
    ASSERT_EQ(runCommand("/usr/bin/readelf", {"-d", (programFolder() / name).string()}, &dynamic),
              0)
        << dynamic;
    std::istringstream lines(dynamic);
    for (std::string line; std::getline(lines, line);) {
      if (line.find("RUNPATH") == std::string::npos && line.find("RPATH") == std::string::npos)
        continue;
      EXPECT_NE(line.find("[$ORIGIN]"), std::string::npos) << name << ": " << line;
    }
  }
}

TEST_F(InstalledCopy, TheDaemonsSettingsPageNamesTheCommandAndItsFrameRateCap) {
  const fs::path page = prefix() / "share/xscreensaver/config/pellarin.xml";
  std::string lint;
  ASSERT_EQ(runCommand("/usr/bin/xmllint", {"--noout", page.string()}, &lint), 0) << lint;
  // The daemon's settings tool finds a page by the name of the program a list entry runs.
  EXPECT_EQ(xpath(page, "string(/screensaver/@name)"), command().filename().string());
  EXPECT_EQ(xpath(page, "string(/screensaver/@_label)"), "Pellarin");
  EXPECT_EQ(xpath(page, "string(/screensaver/command/@arg)"), "--root");
  const std::string cap = "/screensaver/number[@arg='--max-fps %']";
  const int low = std::stoi(xpath(page, "string(" + cap + "/@low)"));
  const int high = std::stoi(xpath(page, "string(" + cap + "/@high)"));
  const int standard = std::stoi(xpath(page, "string(" + cap + "/@default)"));
  EXPECT_GE(low, 1) << "0 would ask for no cap";
  EXPECT_LE(low, standard);
  EXPECT_LE(standard, high);
  std::string description = xpath(page, "string(/screensaver/_description)");
  description.erase(0, description.find_first_not_of(" \n"));
  description.erase(description.find_last_not_of(" \n") + 1);
  EXPECT_FALSE(description.empty());
  EXPECT_EQ(description.find('\n'), std::string::npos) << "one line: " << description;
}

TEST_F(InstalledCopy, TheDesktopEntryOpensTheSettingsDialog) {
  const std::string entry = readFile(prefix() / "share/applications/pellarin.desktop");
  for (const char* line : {"[Desktop Entry]\n", "\nType=Application\n", "\nName=Pellarin\n"}) {
    EXPECT_NE(entry.find(line), std::string::npos) << line;
  }
  const std::size_t at = entry.find("\nExec=");
  ASSERT_NE(at, std::string::npos);
  std::istringstream words(entry.substr(at + 6, entry.find('\n', at + 1) - at - 6));
  const std::vector<std::string> exec{std::istream_iterator<std::string>(words), {}};
  ASSERT_EQ(exec, (std::vector<std::string>{command().string(), "/C"}));

  Process& dialog = startAsUser(exec);
  const Window window = waitForWindow(display_, "■Pellarin■", 30s, true);
  ASSERT_NE(window, 0u) << "no settings dialog";
  requestClose(display_, window);
  EXPECT_EQ(dialog.waitForExit(20s), 0);
}

// Started as a daemon starts it, by the command's name and as an ordinary user who cannot
// write the program folder: it finds its companions through the link, draws, and leaves the
// installed tree as it was.
TEST_F(InstalledCopy, RunsForAnOrdinaryUserWithoutWritingIntoItsFolder) {
  const auto before = installedTree();
  const Window window =
      XCreateSimpleWindow(display_, DefaultRootWindow(display_), 30, 30, 320, 240, 0, 0, 0xFFFFFF);
  XMapWindow(display_, window);
  XSync(display_, False);
  Process& user = startAsUser({"pellarin", "--window-id", std::to_string(window)});

  Window renderer = 0;
  EXPECT_TRUE(waitUntil(
      [&] {
        renderer = findWindowFrom(display_, window, "Quorvane_VC");
        return renderer != 0 && renderer != window && showsSomething(display_, renderer);
      },
      60s, 50ms))
      << "no lit renderer inside the window";
  EXPECT_TRUE(decodeJpeg(readFile(workFolder() / "Pellarin.dat")).has_value())
      << "no picture in the user's work folder";

  // The host is the one program of the folder that is not the renderer.
  for (const pid_t pid : runningProcessesIn(programFolder())) {
    if (fs::read_symlink("/proc/" + std::to_string(pid) + "/exe").filename() == "Pellarin") {
      ::kill(pid, SIGTERM);
    }
  }
  EXPECT_TRUE(user.waitForExit(10s).has_value());
  EXPECT_TRUE(waitUntil([&] { return runningProcessesIn(programFolder()).empty(); }, 5s));
  EXPECT_EQ(installedTree(), before);
}

// The command that puts Pellarin into the user's list of the daemon's display modes: first in
// the "programs" resource, everything else in the file as it was, a list that already names it
// left alone.
TEST_F(InstalledCopy, AddsPellarinToTheUsersDaemonListOnce) {
  const std::string entry = "programs:\tpellarin --root\t\\n";
  const std::string list =
      "programs:\t\t\t\t\t\t      \\\n"
      "\t\t\t\tswirl --root\t\t\t    \\n\\\n"
      "-\t\t\t\tdeco --root\t\t\t    \\n\\\n"
      "  GL: \t\t\t\tgears --root\t\t\t    \\n\n";
  const std::string listed =
      "programs:\t\\\n\t\t\t\tswirl --root \\n\\\n\t\t\t\tpellarin --root \\n\\\n"
      "\t\t\t\tdeco --root\n";
  const struct {
    const char* name;
    std::optional<std::string> before;  // none: no file
    std::string after;
  } cases[] = {
      {"no file", std::nullopt, entry + "\n"},
      {"a long list", "mode:\t\tone\nselected:\t2\n\n" + list + "\nlock:\t\tFalse\n",
       "mode:\t\tone\nselected:\t2\n\n" + entry + "\\\n" + list.substr(list.find('\n') + 1) +
           "\nlock:\t\tFalse\n"},
      {"a list on one line", "programs: swirl --root\n", entry + "\\\n\tswirl --root\n"},
      {"an empty list", "timeout: 0:10:00\nprograms:\n", "timeout: 0:10:00\n" + entry + "\n"},
      {"no list", "timeout: 0:10:00\n", "timeout: 0:10:00\n" + entry + "\n"},
      {"already there", listed, listed},
      {"already there, by path, disabled",
       "programs: \\\n-\t\t\t\t/usr/bin/pellarin --root \\n\\\n swirl --root\n",
       "programs: \\\n-\t\t\t\t/usr/bin/pellarin --root \\n\\\n swirl --root\n"},
      {"another list names it", "other: pellarin --root\nprograms: swirl --root\n",
       "other: pellarin --root\n" + entry + "\\\n\tswirl --root\n"},
  };
  const fs::path file = home() / ".xscreensaver";
  const fs::path add = prefix() / "bin" / "pellarin-add-to-xscreensaver";
  for (const auto& c : cases) {
    fs::remove(file);
    if (c.before) {
      put(file, *c.before);
      fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    }
    std::string output;
    EXPECT_EQ(runCommand("/usr/bin/env", {"HOME=" + home().string(), add.string()}, &output), 0)
        << c.name << ": " << output;
    EXPECT_EQ(readFile(file), c.after) << c.name;
    if (c.before) {
      EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write)
          << c.name;
    }
    // A second run changes nothing.
    runCommand("/usr/bin/env", {"HOME=" + home().string(), add.string()}, &output);
    EXPECT_EQ(readFile(file), c.after) << c.name << ", run twice";
  }

  // A file kept elsewhere behind a link is changed where it lies; the link stays.
  const fs::path kept = folder_ / "dotfiles-xscreensaver";
  put(kept, "programs: swirl --root\n");
  fs::remove(file);
  fs::create_symlink(kept, file);
  std::string output;
  EXPECT_EQ(runCommand("/usr/bin/env", {"HOME=" + home().string(), add.string()}, &output), 0)
      << output;
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(readFile(kept), entry + "\\\n\tswirl --root\n");
}

}  // namespace
}  // namespace pellarin::testing
