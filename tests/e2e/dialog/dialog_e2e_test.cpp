// The settings dialog as the desktop starts it: "Pellarin /C" from a temporary program folder
// on the test's own virtual X server, driven with synthetic pointer and key events.

#include "tests/support/e2e_support.h"  // first: gtest before Xlib

#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <map>

#include "tests/e2e/dialog/dialog_screen.h"

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;

const char* const kTitle = "■Pellarin■";
using dialog_screen::kFileKey;
using dialog_screen::kKindKey;
using dialog_screen::kRepeatKey;

// Client positions (pixels) of the controls the tests use.
constexpr int kCdLabelX = dialog_screen::kindLabel(1).x, kCdLabelY = dialog_screen::kindLabel(1).y;
constexpr int kFileLabelX = dialog_screen::kindLabel(2).x;
constexpr int kFileLabelY = dialog_screen::kindLabel(2).y;
constexpr int kTrackEntryX = dialog_screen::kTrackEntry.x;
constexpr int kTrackEntryY = dialog_screen::kTrackEntry.y;
constexpr int kSetX = dialog_screen::kSet.x, kSetY = dialog_screen::kSet.y;
constexpr int kCancelX = dialog_screen::kCancel.x, kCancelY = dialog_screen::kCancel.y;
constexpr int kBoxX[2] = {dialog_screen::box(0).x, dialog_screen::box(1).x};
constexpr int kBoxY = dialog_screen::box(0).y;

// The override-redirect windows (drawn over everything, never framed) that were shown and
// taken away again, from the events queued since root's structure was watched: the shapes
// (left, top, width, height) each took while shown, in order.
using Shape = std::array<int, 4>;
std::vector<std::vector<Shape>> shownPopups(Display* display) {
  struct Popup {
    std::vector<Shape> shapes;
    bool mapped = false, destroyed = false;
  };
  std::map<Window, Popup> popups;  // by id: the order they were created in
  for (XEvent e{}; XPending(display) > 0;) {
    XNextEvent(display, &e);
    if (e.type == CreateNotify && e.xcreatewindow.override_redirect) {
      const XCreateWindowEvent& c = e.xcreatewindow;
      popups[c.window].shapes = {{c.x, c.y, c.width, c.height}};
    }
    // Reported on root: the window each event is about is not xany's (that is root).
    const Window window = e.type == ConfigureNotify ? e.xconfigure.window
                          : e.type == MapNotify     ? e.xmap.window
                          : e.type == DestroyNotify ? e.xdestroywindow.window
                                                    : 0;
    const auto it = popups.find(window);
    if (it == popups.end()) continue;
    Popup& popup = it->second;
    if (e.type == ConfigureNotify) {
      const Shape shape{e.xconfigure.x, e.xconfigure.y, e.xconfigure.width, e.xconfigure.height};
      // Before it is shown only its latest shape matters.
      if (!popup.mapped) popup.shapes.clear();
      if (popup.shapes.empty() || popup.shapes.back() != shape) popup.shapes.push_back(shape);
    }
    popup.mapped |= e.type == MapNotify;
    popup.destroyed |= e.type == DestroyNotify;
  }
  std::vector<std::vector<Shape>> shown;
  for (const auto& [window, popup] : popups) {
    if (popup.mapped) {
      EXPECT_TRUE(popup.destroyed) << "a popup was left on the screen";
      shown.push_back(popup.shapes);
    }
  }
  return shown;
}

class DialogEndToEndTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    const fs::path host = fs::path(PELLARIN_BIN_DIR) / "Pellarin";
    ASSERT_TRUE(fs::exists(host)) << "build the host first";
    fs::create_directories(folder_ / "program");
    fs::copy_file(host, folder_ / "program" / "Pellarin");
    // The start-up only checks that the companions are there.
    for (const char* name : {"Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"}) {
      put(folder_ / "program" / name, "");
    }
    // The host keeps its settings under the test's own folder.
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    ::setenv("HOME", (folder_ / "home").c_str(), 1);
    ASSERT_NE(display_ = openDisplay(), nullptr);
  }
  void TearDown() override {
    ::unsetenv("PELLARIN_DEBUG");
    ::unsetenv("XDG_DATA_HOME");
    if (display_ != nullptr) XCloseDisplay(display_);
    TempFolderTest::TearDown();
  }

  std::unique_ptr<Process> startHost(const std::string& mode, const fs::path& programFolder = {},
                                     const fs::path& stderrFile = {}) {
    const fs::path folder = programFolder.empty() ? folder_ / "program" : programFolder;
    if (!fs::exists(folder / "Pellarin")) {
      fs::create_directories(folder);
      for (const char* name : {"Pellarin", "Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"}) {
        fs::copy_file(folder_ / "program" / name, folder / name);
      }
    }
    return std::make_unique<Process>(folder / "Pellarin", std::vector<std::string>{mode},
                                     stderrFile);
  }
  fs::path settingsFile() const { return folder_ / "config" / "k_veld_temp" / "Pellarin.ini"; }
  std::string settings() const { return readFile(settingsFile()); }

  // Waits for the dialog to be shown and painted; remembers its client origin.
  Window waitForDialog() {
    const Window dialog = waitForWindow(display_, kTitle, 20s, true);
    if (dialog == 0) return 0;
    Window child = 0;
    XTranslateCoordinates(display_, dialog, DefaultRootWindow(display_), 0, 0, &originX_, &originY_,
                          &child);
    // GTK paints the whole window in one pass; its grey face in a corner means it has been drawn.
    if (!waitUntil([&] { return pixel(2, 2) == 0xE0E0E0u; }, 20s)) return 0;
    std::this_thread::sleep_for(200ms);
    return dialog;
  }
  void pointTo(int x, int y) {
    XTestFakeMotionEvent(display_, -1, originX_ + x, originY_ + y, 0);
    XSync(display_, False);
  }
  void click(int x, int y) {
    pointTo(x, y);
    std::this_thread::sleep_for(100ms);
    for (bool down : {true, false}) {
      XTestFakeButtonEvent(display_, 1, down, 0);
      XSync(display_, False);
      std::this_thread::sleep_for(down ? 50ms : 250ms);
    }
  }
  // Starts openbox on the test's display and waits until it manages windows.
  std::unique_ptr<Process> startWindowManager() {
    auto manager = std::make_unique<Process>("/usr/bin/openbox", std::vector<std::string>{},
                                             folder_ / "openbox.log");
    const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    EXPECT_TRUE(waitUntil([&] {
      return cardinals(DefaultRootWindow(display_), check).size() == 1;
    })) << "openbox did not start";
    return manager;
  }
  std::vector<long> cardinals(Window window, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(display_, window, property, 0, 16, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        format == 32 && data != nullptr) {
      const auto* longs = reinterpret_cast<const long*>(data);
      values.assign(longs, longs + count);
    }
    if (data != nullptr) XFree(data);
    return values;
  }

  // The screen's colour at a client position of the dialog, as 0xRRGGBB.
  std::uint32_t pixel(int x, int y) {
    return pixelAt(display_, DefaultRootWindow(display_), originX_ + x, originY_ + y);
  }

  Display* display_ = nullptr;
  int originX_ = 0, originY_ = 0;
};

TEST_F(DialogEndToEndTest, ChoosingTheCdAndATrackIsSavedAndTheProgramEnds) {
  auto host = startHost("/C");
  const Window dialog = waitForDialog();
  ASSERT_NE(dialog, 0u) << "no window titled " << kTitle;

  // Placed a third down the screen, centred across it.
  XWindowAttributes attributes{};
  XGetWindowAttributes(display_, dialog, &attributes);
  EXPECT_EQ(std::pair(attributes.width, attributes.height), std::pair(497, 266));
  EXPECT_EQ(std::pair(originX_, originY_), std::pair((1024 - 497) / 2, (768 - 266) / 3));

  // The frame's shadow and the buttons' outline come from the host's own controls.
  EXPECT_EQ(pixel(12 + 470, 12 + 80), 0x757575u);
  EXPECT_EQ(pixel(140 + 50, 192), 0x003C74u);

  // While the dialog is open any second start ends at once.
  for (const char* mode : {"/S", "/C", "/P 0"}) {
    auto second = startHost(mode);
    EXPECT_EQ(second->waitForExit(10s), 0) << mode;
  }
  EXPECT_TRUE(host->running());

  // The pointer over a button turns it hot: the orange highlight row.
  pointTo(kCancelX, kCancelY);
  EXPECT_TRUE(waitUntil([&] { return pixel(kCancelX, 193) == 0xFFF3CEu; }, 3s))
      << std::hex << pixel(kCancelX, 193);

  click(kCdLabelX, kCdLabelY);
  click(kTrackEntryX, kTrackEntryY);
  pressKey(display_, XK_7);  // into the empty box: no track was stored
  std::this_thread::sleep_for(100ms);
  click(kSetX, kSetY);
  EXPECT_EQ(host->waitForExit(10s), 0);
  // The bytes the Windows dialog must write for the same clicks too.
  EXPECT_EQ(settings(), dialog_screen::savedSettings(1, 7, ""));
}

TEST_F(DialogEndToEndTest, EachAnimationBoxKeepsItsLastFrameWhileTheOtherAnimates) {
  auto host = startHost("/C");
  ASSERT_NE(waitForDialog(), 0u);
  // Nothing but the box's face inside its edges.
  auto empty = [&](int box) {
    const dialog_screen::Area& a = dialog_screen::kAnimationBoxes[box];
    const std::vector<std::uint32_t> inside =
        pixels(display_, DefaultRootWindow(display_), originX_ + a.left + 1, originY_ + a.top + 1,
               a.width - 2, a.height - 2);
    return std::all_of(inside.begin(), inside.end(),
                       [](std::uint32_t p) { return p == 0xE0E0E0u; });
  };
  EXPECT_TRUE(waitUntil([&] { return !empty(0) && empty(1); }, 10s)) << "the left box goes first";
  ASSERT_TRUE(waitUntil([&] { return !empty(1); }, 10s)) << "then the right one";
  EXPECT_FALSE(empty(0)) << "the left box lost its last frame";
  click(kCancelX, kCancelY);
  EXPECT_EQ(host->waitForExit(10s), 0);
}

TEST_F(DialogEndToEndTest, CancelAndTheCloseBoxWriteNothing) {
  fs::create_directories(settingsFile().parent_path());
  const std::string before = "[Settings]\r\n" + kKindKey + "= 1\r\n" + kRepeatKey + "= 12\r\n";
  put(settingsFile(), before);
  for (bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Cancel");
    auto host = startHost("/C");
    const Window dialog = waitForDialog();
    ASSERT_NE(dialog, 0u);
    click(kFileLabelX, kFileLabelY);
    closeBox ? requestClose(display_, dialog) : click(kCancelX, kCancelY);
    EXPECT_EQ(host->waitForExit(10s), 0);
    EXPECT_EQ(settings(), before);
  }
}

TEST_F(DialogEndToEndTest, UnderAWindowManagerTheFramedWindowIsWhatIsCentred) {
  auto manager = startWindowManager();
  auto host = startHost("/C");
  const Window dialog = waitForDialog();
  ASSERT_NE(dialog, 0u);
  const Atom extentsAtom = XInternAtom(display_, "_NET_FRAME_EXTENTS", False);
  std::vector<long> extents;  // left, right, top, bottom
  ASSERT_TRUE(waitUntil([&] { return (extents = cardinals(dialog, extentsAtom)).size() == 4; }));
  ASSERT_GT(extents[2], 0) << "openbox gave the dialog no title bar";
  XWindowAttributes client{};
  XGetWindowAttributes(display_, dialog, &client);
  const int outerWidth = client.width + static_cast<int>(extents[0] + extents[1]);
  const int outerHeight = client.height + static_cast<int>(extents[2] + extents[3]);
  const std::pair frameCorner(originX_ - static_cast<int>(extents[0]),
                              originY_ - static_cast<int>(extents[2]));
  EXPECT_EQ(frameCorner, std::pair((1024 - outerWidth) / 2, (768 - outerHeight) / 3))
      << "client " << client.width << "x" << client.height << " at " << originX_ << "," << originY_;
  click(kCancelX, kCancelY);
  EXPECT_EQ(host->waitForExit(10s), 0);
}

TEST_F(DialogEndToEndTest, TheAnimationBoxesOpenTheInstalledReadmeInTheBrowser) {
  // Programs of the test's own, registered the desktop's way, that note what they were given:
  // a browser (the default for web addresses) and a viewer (the default for Markdown files).
  const fs::path applications = folder_ / "data" / "applications";
  const fs::path launched = folder_ / "launched";
  ::setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
  ::setenv("PELLARIN_DEBUG", "1", 1);
  fs::create_directories(applications);
  fs::create_directories(folder_ / "config");
  put(folder_ / "note.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + launched.string() + "'\n");
  fs::permissions(folder_ / "note.sh", fs::perms::owner_all);
  auto registerApp = [&](const std::string& name, const std::string& types) {
    put(applications / (name + ".desktop"), "[Desktop Entry]\nType=Application\nName=" + name +
                                                "\nExec=" + (folder_ / "note.sh").string() + " " +
                                                name + " %u\nMimeType=" + types + "\n");
  };
  // The README an installed copy keeps in <prefix>/share/doc/pellarin, the programs being in
  // <prefix>/lib/pellarin; a build tree has them one level lower, in build/bin.
  const fs::path readme = folder_ / "share" / "doc" / "pellarin" / "README.md";
  struct Case {
    const char* name;
    fs::path programFolder;
    bool readmeThere, browserThere;
    int box;
    std::string expected;  // the launcher's arguments, one a line
  };
  // The file's address; GIO hands a local file:// address to a launcher as the plain path.
  const std::string path = readme.string();
  auto arguments = [&] {
    std::string text = readFile(launched);
    if (const std::size_t at = text.find("file://"); at != std::string::npos) text.erase(at, 7);
    return text;
  };
  const Case cases[] = {
      {"build tree", folder_ / "program", true, true, 0, "browser\n" + path + "\n"},
      {"installed", folder_ / "lib" / "pellarin", true, true, 1, "browser\n" + path + "\n"},
      {"no browser", folder_ / "program", true, false, 0, "viewer\n" + path + "\n"},
      {"no README", folder_ / "program", false, true, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder_ / "share");
    fs::remove(launched);
    fs::remove(applications / "browser.desktop");
    if (c.readmeThere) {
      fs::create_directories(readme.parent_path());
      put(readme, "# Pellarin\n");
    }
    std::string defaults = "[Default Applications]\ntext/markdown=viewer.desktop\n";
    registerApp("viewer", "text/markdown;");
    if (c.browserThere) {
      registerApp("browser", "x-scheme-handler/http;x-scheme-handler/https;");
      defaults += "x-scheme-handler/https=browser.desktop\nx-scheme-handler/http=browser.desktop\n";
    }
    put(folder_ / "config" / "mimeapps.list", defaults);

    const fs::path log = folder_ / "host.log";
    auto host = startHost("/C", c.programFolder, log);
    ASSERT_NE(waitForDialog(), 0u);
    click(kBoxX[c.box], kBoxY);
    if (c.expected.empty()) {
      std::this_thread::sleep_for(1s);
      EXPECT_FALSE(fs::exists(launched));
      EXPECT_NE(readFile(log).find("README"), std::string::npos) << readFile(log);
    } else {
      EXPECT_TRUE(waitUntil([&] { return arguments() == c.expected; }, 10s))
          << readFile(launched) << readFile(log);
    }
    click(kCancelX, kCancelY);
    EXPECT_EQ(host->waitForExit(10s), 0);
  }
}

TEST_F(DialogEndToEndTest, TheBuildTreeKeepsTheReadmeWhereAnInstalledCopyHasIt) {
  const fs::path copy =
      fs::path(PELLARIN_BIN_DIR) / ".." / "share" / "doc" / "pellarin" / "README.md";
  ASSERT_TRUE(fs::is_regular_file(copy));
  EXPECT_EQ(readFile(copy), readFile(fs::path(PELLARIN_SOURCE_DIR) / "README.md"));
}

TEST_F(DialogEndToEndTest, OpeningAndClosingZoomBetweenThePointerAndTheDialog) {
  // Where the pointer is when the dialog opens, and the dialog's place without a window manager.
  constexpr int kPointerX = 100, kPointerY = 600;
  const Shape dialogShape{(1024 - 497) / 2, (768 - 266) / 3, 497, 266};
  auto nearPointer = [&](const Shape& shape) {
    return shape[2] < 497 / 4 && std::abs(shape[0] + shape[2] / 2 - kPointerX) < 60 &&
           std::abs(shape[1] + shape[3] / 2 - kPointerY) < 60;
  };
  auto growing = [](const std::vector<Shape>& shapes) {
    return std::adjacent_find(shapes.begin(), shapes.end(), [](const Shape& a, const Shape& b) {
             return b[2] < a[2] || b[3] < a[3];
           }) == shapes.end();
  };
  for (bool animations : {true, false}) {
    SCOPED_TRACE(animations ? "animations on" : "animations off");
    // The desktop's own switch for animations, as GTK reads it.
    fs::create_directories(folder_ / "config" / "gtk-3.0");
    put(folder_ / "config" / "gtk-3.0" / "settings.ini",
        std::string("[Settings]\ngtk-enable-animations=") + (animations ? "1" : "0") + "\n");
    XTestFakeMotionEvent(display_, -1, kPointerX, kPointerY, 0);
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
    auto host = startHost("/C");
    ASSERT_NE(waitForDialog(), 0u);
    const std::vector<std::vector<Shape>> opening = shownPopups(display_);
    click(kCancelX, kCancelY);
    EXPECT_EQ(host->waitForExit(10s), 0);
    const std::vector<std::vector<Shape>> closing = shownPopups(display_);
    XSelectInput(display_, DefaultRootWindow(display_), NoEventMask);
    if (!animations) {
      EXPECT_TRUE(opening.empty() && closing.empty());
      continue;
    }
    ASSERT_EQ(opening.size(), 1u);
    EXPECT_GE(opening[0].size(), 4u) << "hardly a movement";
    EXPECT_TRUE(nearPointer(opening[0].front()));
    EXPECT_EQ(opening[0].back(), dialogShape);
    EXPECT_TRUE(growing(opening[0]));
    ASSERT_EQ(closing.size(), 1u);
    EXPECT_GE(closing[0].size(), 4u);
    EXPECT_EQ(closing[0].front(), dialogShape);
    EXPECT_TRUE(nearPointer(closing[0].back()));
    EXPECT_TRUE(growing({closing[0].rbegin(), closing[0].rend()}));
  }
}

TEST_F(DialogEndToEndTest, DestroyedByAnotherProgramEndsLikeCancel) {
  fs::create_directories(settingsFile().parent_path());
  const std::string before = "[Settings]\r\n" + kKindKey + "= 0\r\n";
  put(settingsFile(), before);
  // What "xdotool windowclose" does: the program ends as after "ｷｬﾝｾﾙ". A window manager's kill
  // of the whole connection ends it through the toolkit's lost-display exit instead.
  struct End {
    const char* name;
    void (*end)(Display*, Window);
    std::optional<int> exitCode;
  };
  const End ends[] = {
      {"window destroyed", [](Display* d, Window w) { XDestroyWindow(d, w); }, 0},
      {"client killed", [](Display* d, Window w) { XKillClient(d, w); }, std::nullopt}};
  for (const auto& [name, end, exitCode] : ends) {
    SCOPED_TRACE(name);
    auto host = startHost("/C");
    const Window dialog = waitForDialog();
    ASSERT_NE(dialog, 0u);
    click(kCdLabelX, kCdLabelY);  // a change in memory only
    end(display_, dialog);
    XSync(display_, False);
    const std::optional<int> status = host->waitForExit(10s);
    ASSERT_TRUE(status.has_value()) << "still running";
    if (exitCode) {
      EXPECT_EQ(status, exitCode);
    }
    EXPECT_EQ(settings(), before);
  }
}

}  // namespace
}  // namespace pellarin::testing
