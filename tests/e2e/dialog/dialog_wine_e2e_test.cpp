// The Windows build's settings dialog under Wine, on the virtual X server of the test's own Wine
// prefix. Pellarin.scr "/C" shows it; so does a small Windows program that does what "/C" does
// (work folder, music settings, dialog) and reports the host's variables once it has closed.
// This Linux program drives both with synthetic pointer and key events and reads back what Wine
// put on the screen.
//
// From CTest's environment: WINEPREFIX (a prefix of this test's own), PELLARIN_WINE_BIN (the
// build's bin/), PELLARIN_DIALOG_RUNNER, PELLARIN_NOTE_PROGRAM (the stand-in document viewer)
// and PELLARIN_README.

#include "tests/support/wine_support.h"  // first: gtest before Xlib

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>

#include "host/controls/cc_xp_button.h"
#include "host/controls/gfx_frame_x.h"
#include "host/dialog/dialog_assets.h"
#include "tests/e2e/dialog/dialog_screen.h"

namespace pellarin::testing {
namespace {

namespace fs = std::filesystem;
namespace S = dialog_screen;
namespace L = dialog_layout;

const char* const kTitle = "■Pellarin■";
const char* const kFileDialogTitle = "ﾌｧｲﾙを開く";
constexpr std::uint32_t kFace = 0xE0E0E0;
constexpr int kScreenWidth = 1024, kScreenHeight = 768;

std::string environment(const char* name) {
  const char* value = ::getenv(name);
  return value ? value : "";
}

// The comparisons leave the captions out: their pixels are the font's.
struct NoText final : TextPainter {
  void drawCentredLine(PixelCanvas&, const CanvasRect&, std::string_view, std::size_t, Colour,
                       const FontSpec&) override {}
};

// A picture's colour as the screen shows it, 0xRRGGBB.
std::uint32_t screenColour(Colour c) {
  return static_cast<std::uint32_t>(redOf(c)) << 16 | static_cast<std::uint32_t>(greenOf(c)) << 8 |
         static_cast<std::uint32_t>(blueOf(c));
}

class DialogUnderWineTest : public TempFolderTest {
 protected:
  static void SetUpTestSuite() {
    ASSERT_FALSE(environment("WINEPREFIX").empty()) << "run through CTest";
    ::setenv("PELLARIN_XVFB_SCREEN",
             (std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24").c_str(),
             1);
    prefix_ = std::make_unique<WinePrefix>(environment("WINEPREFIX"));
    ASSERT_TRUE(prefix_->booted());
  }
  static void TearDownTestSuite() { prefix_.reset(); }

  void SetUp() override {
    TempFolderTest::SetUp();
    const std::string runner = environment("PELLARIN_DIALOG_RUNNER");
    ASSERT_FALSE(runner.empty()) << "run through CTest";
    program_ = folder_ / "program";
    fs::create_directories(program_);
    fs::copy_file(runner, program_ / "pellarin_dialog_runner.exe");
    ::setenv("PELLARIN_WORK_FOLDER_PARENT", windowsPath(folder_ / "work").c_str(), 1);
    ::setenv("PELLARIN_DEBUG", "1", 1);
    ASSERT_NE(display_ = openDisplay(), nullptr);
  }
  void TearDown() override {
    ::unsetenv("PELLARIN_WORK_FOLDER_PARENT");
    ::unsetenv("PELLARIN_DEBUG");
    ::unsetenv("PELLARIN_NOTE_FILE");
    if (display_ != nullptr) XCloseDisplay(display_);
    TempFolderTest::TearDown();
  }

  std::unique_ptr<Process> startDialog() {
    fs::remove(report());
    return prefix_->start(program_ / "pellarin_dialog_runner.exe", {windowsPath(report())}, log());
  }
  // Pellarin.scr with its three companions in a program folder of the test's, started with
  // "/C".
  std::unique_ptr<Process> startHostSettings() {
    const fs::path host = folder_ / "host";
    if (!fs::exists(host / "Pellarin.scr")) {
      fs::create_directories(host);
      const fs::path bin = environment("PELLARIN_WINE_BIN");
      for (const char* name : {"Pellarin.scr", "Pellarin1.dll", "Pellarin2.dll", "kVeld.dll"}) {
        fs::copy_file(bin / name, host / name);
      }
    }
    return prefix_->start(host / "Pellarin.scr", {"/C"}, log());
  }
  fs::path report() const { return folder_ / "report.txt"; }
  fs::path log() const { return folder_ / "dialog.log"; }
  fs::path settingsFile() const { return folder_ / "work" / "k_veld_temp" / "Pellarin.ini"; }
  std::string settings() const { return readFile(settingsFile()); }
  // The host's variables as the dialog left them.
  std::map<std::string, std::string> reported() const {
    std::map<std::string, std::string> values;
    std::istringstream lines(readFile(report()));
    for (std::string line; std::getline(lines, line);) {
      const std::size_t at = line.find('=');
      if (at != std::string::npos) values[line.substr(0, at)] = line.substr(at + 1);
    }
    return values;
  }
  // Runs a command of Wine's in the test's prefix to its end ("reg add ...").
  void wine(const std::vector<std::string>& args) {
    std::string output;
    EXPECT_EQ(prefix_->run(args.front(), {args.begin() + 1, args.end()}, &output), 0) << output;
  }

  // Waits for the dialog to be shown and painted; remembers its client origin.
  Window waitForDialog() {
    const Window dialog = waitForWindow(display_, kTitle, 60s, true);
    if (dialog == 0) return 0;
    Window child = 0;
    XTranslateCoordinates(display_, dialog, DefaultRootWindow(display_), 0, 0, &originX_, &originY_,
                          &child);
    // Painted: the form's face in a corner and the frame's black border.
    if (!waitUntil([&] { return pixel(2, 2) == kFace && pixel(S::kFrame.left, 60) == 0; }, 20s)) {
      return 0;
    }
    std::this_thread::sleep_for(300ms);
    return dialog;
  }
  void pointTo(int x, int y) {
    XTestFakeMotionEvent(display_, -1, originX_ + x, originY_ + y, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(100ms);
  }
  void press(bool down) {
    XTestFakeButtonEvent(display_, 1, down, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(down ? 100ms : 300ms);
  }
  void click(S::Spot at) {
    pointTo(at.x, at.y);
    press(true);
    press(false);
  }
  // Types ASCII text with the keyboard, shifted where the character needs it.
  void type(std::string_view text) {
    for (char c : text) {
      const KeySym symbol = static_cast<unsigned char>(c);
      const KeyCode code = XKeysymToKeycode(display_, symbol);
      const bool shifted = XkbKeycodeToKeysym(display_, code, 0, 0) != symbol;
      const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
      if (shifted) XTestFakeKeyEvent(display_, shift, True, 0);
      XTestFakeKeyEvent(display_, code, True, 0);
      XTestFakeKeyEvent(display_, code, False, 0);
      if (shifted) XTestFakeKeyEvent(display_, shift, False, 0);
      XSync(display_, False);
      std::this_thread::sleep_for(30ms);
    }
  }
  void key(KeySym symbol) {
    pressKey(display_, symbol);
    std::this_thread::sleep_for(200ms);
  }
  // Opens the file dialog with "...", types the answer into it and waits until it has gone.
  void chooseFile(const std::string& typed) {
    click(S::kFile);
    const Window files = waitForWindow(display_, kFileDialogTitle, 30s, true);
    ASSERT_NE(files, 0u) << "no file dialog titled " << kFileDialogTitle << "\n" << readFile(log());
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, files, &attributes);
    Window child = 0;
    int x = 0, y = 0;
    XTranslateCoordinates(display_, files, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    // The keyboard follows the pointer here: over the file dialog, its name field has it.
    XTestFakeMotionEvent(display_, -1, x + attributes.width / 2, y + 10, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(500ms);
    type(typed);
    key(XK_Return);
    EXPECT_TRUE(waitUntil([&] { return findWindow(display_, kFileDialogTitle, true) == 0; }, 10s));
    std::this_thread::sleep_for(300ms);
  }
  // Ends the dialog with "ｷｬﾝｾﾙ" and waits for the program.
  void cancel(Process& dialog) {
    click(S::kCancel);
    EXPECT_EQ(dialog.waitForExit(20s), 0) << readFile(log());
  }

  // Whether the pointer shows the animation boxes' hand (by its size and hot spot), not the
  // hourglass of a dialog that is busy.
  bool handShown() {
    XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
    if (cursor == nullptr) return false;
    const dialog_assets::AssetImage hand = dialog_assets::handPointer();
    const bool shown = cursor->width == hand.width && cursor->height == hand.height &&
                       cursor->xhot == dialog_assets::kHandHotSpotX &&
                       cursor->yhot == dialog_assets::kHandHotSpotY;
    XFree(cursor);
    return shown;
  }

  // The screen's colour at a client position of the dialog, as 0xRRGGBB.
  std::uint32_t pixel(int x, int y) {
    return pixelAt(display_, DefaultRootWindow(display_), originX_ + x, originY_ + y);
  }
  std::vector<std::uint32_t> area(const S::Area& a) {
    return pixels(display_, DefaultRootWindow(display_), originX_ + a.left, originY_ + a.top,
                  a.width, a.height);
  }

  static inline std::unique_ptr<WinePrefix> prefix_;
  fs::path program_;
  Display* display_ = nullptr;
  int originX_ = 0, originY_ = 0;
};

TEST_F(DialogUnderWineTest, TheFormAtItsPlaceWithItsTitleAndOnlyACloseBox) {
  auto dialog = startDialog();
  const Window window = waitForDialog();
  ASSERT_NE(window, 0u) << "no window titled " << kTitle << "\n" << readFile(log());
  XWindowAttributes attributes{};
  XGetWindowAttributes(display_, window, &attributes);
  EXPECT_EQ(std::pair(attributes.width, attributes.height),
            std::pair(S::kClientWidth, S::kClientHeight));
  // What Wine tells a window manager: moving and closing only, a title and its menu, no
  // minimise, maximise or sizing.
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom hints = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
  ASSERT_EQ(XGetWindowProperty(display_, window, hints, 0, 5, False, AnyPropertyType, &type,
                               &format, &count, &after, &data),
            Success);
  ASSERT_EQ(count, 5u);
  const auto* motif = reinterpret_cast<const long*>(data);
  constexpr long kMove = 4, kClose = 32, kResize = 2, kMinimise = 8, kMaximise = 16;
  EXPECT_EQ(motif[1] & (kMove | kClose | kResize | kMinimise | kMaximise), kMove | kClose);
  constexpr long kTitleBar = 8, kMinimiseBox = 32, kMaximiseBox = 64;
  EXPECT_EQ(motif[2] & (kTitleBar | kMinimiseBox | kMaximiseBox), kTitleBar);
  XFree(data);

  cancel(*dialog);
  EXPECT_FALSE(fs::exists(settingsFile())) << "nothing is written";
  // The framed window centred across the screen and a third down it.
  std::istringstream frame(reported()["frame"]);
  int left = 0, top = 0, right = 0, bottom = 0;
  ASSERT_TRUE(frame >> left >> top >> right >> bottom) << readFile(report());
  const int outerWidth = S::kClientWidth + left + right;
  const int outerHeight = S::kClientHeight + top + bottom;
  EXPECT_EQ(std::pair(originX_ - left, originY_ - top),
            std::pair((kScreenWidth - outerWidth) / 2, (kScreenHeight - outerHeight) / 3));
}

TEST_F(DialogUnderWineTest, SavedChoicesWriteTheBytesTheLinuxDialogWrites) {
  // The kind clicked, the track typed, and how "設定" is given: clicked, or Enter on it, the
  // first control that takes the focus while the track box and "..." are disabled.
  struct Case {
    const char* name;
    int kind;
    const char* track;
    bool enter;
    int savedTrack;
  };
  const Case cases[] = {{"CD with a track", 1, "7", false, 7},
                        {"a file, no track", 2, "", false, 0},
                        {"none, by Enter", 0, "", true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(settingsFile());
    auto dialog = startDialog();
    ASSERT_NE(waitForDialog(), 0u) << readFile(log());
    click(S::kindLabel(c.kind));
    if (*c.track != '\0') {
      click(S::kTrackEntry);
      type(c.track);
    }
    if (c.enter) {
      key(XK_Return);
    } else {
      click(S::kSet);
    }
    ASSERT_EQ(dialog->waitForExit(20s), 0) << readFile(log());
    EXPECT_EQ(settings(), S::savedSettings(c.kind, c.savedTrack, ""));
    EXPECT_EQ(reported()["musicKind"], std::to_string(c.kind));
    EXPECT_EQ(reported()["cdRepeatTrack"], std::to_string(c.savedTrack));
  }
}

TEST_F(DialogUnderWineTest, TheHostsSettingsModeShowsTheDialogThatSavesOnlyBySet) {
  // "設定" writes what was chosen; the close box, after another choice, writes nothing. The
  // caption zooms out of the point where the pointer was when the dialog opened, and back
  // into it.
  XTestFakeMotionEvent(display_, -1, 100, 80, 0);
  XSync(display_, False);
  auto host = startHostSettings();
  ASSERT_NE(waitForDialog(), 0u) << readFile(log());
  click(S::kindLabel(1));
  click(S::kTrackEntry);
  type("3");
  click(S::kSet);
  ASSERT_EQ(host->waitForExit(20s), 0) << readFile(log());
  const std::string saved = S::savedSettings(1, 3, "");
  EXPECT_EQ(settings(), saved);
  const std::string zooms = readFile(log());
  const std::string point = "100,80,100,80";
  EXPECT_NE(zooms.find("caption animation from " + point + " to "), std::string::npos) << zooms;
  EXPECT_NE(zooms.find(" to " + point), std::string::npos) << zooms;

  host = startHostSettings();
  const Window window = waitForDialog();
  ASSERT_NE(window, 0u) << readFile(log());
  click(S::kindLabel(0));
  requestClose(display_, window);
  EXPECT_EQ(host->waitForExit(20s), 0) << readFile(log());
  EXPECT_EQ(settings(), saved);
}

TEST_F(DialogUnderWineTest, CancelTheCloseBoxAndSpaceOnCancelWriteNothing) {
  fs::create_directories(settingsFile().parent_path());
  const std::string before = S::savedSettings(0, 12, "");
  put(settingsFile(), before);
  enum class End { kCancelClicked, kCloseBox, kTabThenSpace };
  for (End end : {End::kCancelClicked, End::kCloseBox, End::kTabThenSpace}) {
    SCOPED_TRACE(static_cast<int>(end));
    auto dialog = startDialog();
    const Window window = waitForDialog();
    ASSERT_NE(window, 0u) << readFile(log());
    click(S::kindLabel(1));  // a change in memory only
    switch (end) {
      case End::kCancelClicked:
        click(S::kCancel);
        break;
      case End::kCloseBox:
        requestClose(display_, window);
        break;
      case End::kTabThenSpace:
        // "設定" has the focus (the track box and "..." were disabled when the dialog opened);
        // Tab takes it to "ｷｬﾝｾﾙ".
        pointTo(480, 250);
        key(XK_Tab);
        key(XK_space);
        break;
    }
    EXPECT_EQ(dialog->waitForExit(20s), 0) << readFile(log());
    EXPECT_EQ(settings(), before);
    EXPECT_EQ(reported()["musicKind"], "1") << "chosen, not stored";
  }
}

// The pixels of a button's border (its outline, highlight and shade rows, band and corners)
// where the button's own canvas in the given state has them; the caption and focus rectangle
// inside are the font's.
void expectButtonBorder(const std::vector<std::uint32_t>& shown, const S::Area& at,
                        const std::function<void(ccXPButton&)>& toState, bool enabled = true) {
  NoText noText;
  ccXPButton button(S::L::kFormBack, noText, nullptr);
  const int twipsWidth = at.width * S::kTwipsPerPixel, twipsHeight = at.height * S::kTwipsPerPixel;
  button.setSizeTwips(twipsWidth, twipsHeight);
  PropertyBag properties;
  if (!enabled) properties.writeInt("Enabled", 0);
  button.loadProperties(properties);
  button.formActivation(true);
  toState(button);
  const PixelCanvas& canvas = button.canvas();
  ASSERT_EQ(shown.size(), static_cast<std::size_t>(canvas.width() * canvas.height()));
  int mismatches = 0;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const bool border = x < 3 || y < 3 || x >= canvas.width() - 3 || y >= canvas.height() - 3;
      if (!border) continue;
      // Outside the rounded region the form shows through: its face, as the canvas has it.
      const std::uint32_t expected = screenColour(canvas.getPixel(x, y));
      const std::uint32_t got = shown[static_cast<std::size_t>(y * canvas.width() + x)];
      if (got != expected && ++mismatches <= 5) {
        ADD_FAILURE() << "state " << button.state() << " at " << x << "," << y << ": " << std::hex
                      << got << " instead of " << expected;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Pixels of a picture that are fully opaque or fully clear, compared with what is shown; those
// in between depend on how the two are blended.
int pictureMismatches(const std::vector<std::uint32_t>& shown, int shownWidth, int left, int top,
                      const dialog_assets::AssetImage& picture, std::uint32_t ground) {
  int mismatches = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const std::uint32_t p = picture.pixels[y * picture.width + x];
      const std::uint32_t alpha = p >> 24;
      if (alpha != 0 && alpha != 0xFF) continue;
      const std::uint32_t expected = alpha == 0 ? ground : (p & 0xFFFFFF);
      if (shown[static_cast<std::size_t>((top + y) * shownWidth + left + x)] != expected) {
        ++mismatches;
      }
    }
  }
  return mismatches;
}

TEST_F(DialogUnderWineTest, TheControlsPaintTheirOwnPixelsOntoTheirWindows) {
  auto dialog = startDialog();
  ASSERT_NE(waitForDialog(), 0u) << readFile(log());

  // The frame: its border, the right and bottom bands where its shadow rings lie, exactly as
  // its canvas has them; the etched box around the heading, whose lines show through the
  // heading's label.
  GFXFrameX frame(S::L::kFormBack);
  frame.setSizeTwips(L::kFrame.width, L::kFrame.height);
  PropertyBag frameProperties;
  frameProperties.writeInt("ShadowDepth", L::kFrameShadowDepth);
  frame.loadProperties(frameProperties);
  const std::vector<std::uint32_t> frameShown = area(S::kFrame);
  const PixelCanvas& frameCanvas = frame.canvas();
  ASSERT_EQ(frameShown.size(),
            static_cast<std::size_t>(frameCanvas.width() * frameCanvas.height()));
  const int band = L::kFrameShadowDepth + 1;
  int frameMismatches = 0;
  for (int y = 0; y < frameCanvas.height(); ++y) {
    for (int x = 0; x < frameCanvas.width(); ++x) {
      if (x > 0 && y > 0 && x < frameCanvas.width() - band && y < frameCanvas.height() - band) {
        continue;
      }
      const std::uint32_t got = frameShown[static_cast<std::size_t>(y * frameCanvas.width() + x)];
      frameMismatches += got != screenColour(frameCanvas.getPixel(x, y));
    }
  }
  EXPECT_EQ(frameMismatches, 0);
  // The first shadow ring beside the face's border, as on Linux.
  EXPECT_EQ(frameShown[static_cast<std::size_t>(80 * frameCanvas.width() + 470)], 0x757575u);
  const S::Area headingBox = S::onFrame(L::kHeadingBox);
  const std::tuple<int, int, std::uint32_t> etched[] = {
      {0, 0, 0x000000},
      {0, headingBox.height / 2, 0x000000},  // under the heading's label
      {headingBox.width - 1, headingBox.height / 2, 0x000000},
      {headingBox.width, headingBox.height / 2, 0xFFFFFF},
      {headingBox.width / 2, headingBox.height, 0xFFFFFF}};
  for (auto [x, y, colour] : etched) {
    EXPECT_EQ(pixel(headingBox.left + x, headingBox.top + y), colour) << x << "," << y;
  }

  // The buttons as the dialog opens: "設定" has the focus, "ｷｬﾝｾﾙ" is at rest, "..." is
  // disabled (no music file kind).
  expectButtonBorder(area(S::kSetButton), S::kSetButton, [](ccXPButton& b) { b.focusGained(); });
  expectButtonBorder(area(S::kCancelButton), S::kCancelButton, [](ccXPButton&) {});
  expectButtonBorder(
      area(S::kFileButton), S::kFileButton, [](ccXPButton&) {}, false);
  // Under the pointer, pressed, and pressed with the pointer moved off: hot, pressed, focused.
  pointTo(S::kCancel.x, S::kCancel.y);
  expectButtonBorder(area(S::kCancelButton), S::kCancelButton,
                     [](ccXPButton& b) { b.mouseMove(MouseButton::kNone, 0, 5, 5); });
  press(true);
  expectButtonBorder(area(S::kCancelButton), S::kCancelButton, [](ccXPButton& b) {
    b.mouseMove(MouseButton::kNone, 0, 5, 5);
    b.mouseDown(MouseButton::kLeft);
  });
  pointTo(480, 250);
  expectButtonBorder(area(S::kCancelButton), S::kCancelButton, [](ccXPButton& b) {
    b.mouseMove(MouseButton::kNone, 0, 5, 5);
    b.mouseDown(MouseButton::kLeft);
    b.mouseMove(MouseButton::kLeft, 0, 300, 5);
  });
  // "設定" gave the focus away.
  expectButtonBorder(area(S::kSetButton), S::kSetButton, [](ccXPButton&) {});
  press(false);
  EXPECT_TRUE(dialog->running()) << "released off the button: no click";

  // The captions and labels show their Japanese texts: text-coloured pixels inside them ("設定"
  // no longer has the focus rectangle).
  auto darkPixels = [](const std::vector<std::uint32_t>& shown) {
    return std::count_if(shown.begin(), shown.end(), [](std::uint32_t p) {
      return (p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF) < 3 * 0x60;
    });
  };
  EXPECT_GT(darkPixels(area({S::kSetButton.left + 3, S::kSetButton.top + 3, S::kSetButton.width - 6,
                             S::kSetButton.height - 6})),
            20);
  EXPECT_GT(darkPixels(area(S::kKindLabels[0])), 20);

  // The option marks: the selected one on "なし", then on "音楽CD" once it is chosen.
  for (int chosen : {0, 1}) {
    if (chosen == 1) click(S::kindLabel(1));
    for (int kind = 0; kind < 3; ++kind) {
      const S::Area& mark = S::kMarks[kind];
      EXPECT_EQ(pictureMismatches(area(mark), mark.width, 0, 0,
                                  dialog_assets::optionMark(kind == chosen), kFace),
                0)
          << "mark " << kind << " with kind " << chosen << " chosen";
    }
  }

  // The animation: frames in the left box while the right one is empty, then frames in the
  // right one while the left keeps its last frame.
  auto frameIn = [&](int box) {
    const S::Area& a = S::kAnimationBoxes[box];
    const std::vector<std::uint32_t> shown = area(a);
    for (int frameNumber = 1; frameNumber <= 24; ++frameNumber) {
      if (pictureMismatches(shown, a.width, 1, 1, dialog_assets::animationFrame(frameNumber),
                            kFace) == 0) {
        return frameNumber;
      }
    }
    return 0;
  };
  auto empty = [&](int box) {
    const S::Area& a = S::kAnimationBoxes[box];
    const std::vector<std::uint32_t> inside =
        area({a.left + 1, a.top + 1, a.width - 2, a.height - 2});
    return std::all_of(inside.begin(), inside.end(), [](std::uint32_t p) { return p == kFace; });
  };
  EXPECT_TRUE(waitUntil([&] { return frameIn(0) > 0 && frameIn(0) < 24 && empty(1); }, 10s));
  EXPECT_TRUE(waitUntil([&] { return frameIn(1) > 0 && frameIn(0) == 24; }, 10s));

  // Over a box the pointer is the pointing hand, its tip the hot spot.
  pointTo(S::box(0).x, S::box(0).y);
  XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
  ASSERT_NE(cursor, nullptr);
  const dialog_assets::AssetImage hand = dialog_assets::handPointer();
  EXPECT_EQ(std::pair(static_cast<int>(cursor->width), static_cast<int>(cursor->height)),
            std::pair(hand.width, hand.height));
  EXPECT_EQ(std::pair(static_cast<int>(cursor->xhot), static_cast<int>(cursor->yhot)),
            std::pair(dialog_assets::kHandHotSpotX, dialog_assets::kHandHotSpotY));
  if (cursor->width == hand.width && cursor->height == hand.height) {
    int handMismatches = 0;
    for (int i = 0; i < hand.width * hand.height; ++i) {
      const auto shownPixel = static_cast<std::uint32_t>(cursor->pixels[i]);
      handMismatches +=
          (hand.pixels[i] >> 24) == 0 ? (shownPixel >> 24) != 0 : shownPixel != hand.pixels[i];
    }
    EXPECT_EQ(handMismatches, 0);
  }
  XFree(cursor);
  cancel(*dialog);
}

TEST_F(DialogUnderWineTest, TheFileDialogTakesAnsiPathsAndOpensWhereTheLastFileWas) {
  // The programs in a folder whose name needs the ANSI code page (ñ is in code page 1252),
  // music in another folder.
  const fs::path programs = folder_ / "programs-\xC3\xB1";
  fs::create_directories(programs);
  fs::copy_file(program_ / "pellarin_dialog_runner.exe", programs / "pellarin_dialog_runner.exe");
  program_ = programs;
  const fs::path music = folder_ / "music";
  fs::create_directories(music);
  for (const fs::path& file : {programs / "song.mp3", music / "other.wav", music / "third.mp3"}) {
    put(file, "");
  }

  // Each run's answers typed into the file dialog; a bare name lies in the folder the dialog
  // opened in.
  const std::vector<std::string> runs[] = {
      {"song.mp3"},                                      // the programs' folder at first
      {windowsPath(music / "other.wav"), "third.mp3"}};  // then the last file's folder
  for (const std::vector<std::string>& answers : runs) {
    auto dialog = startDialog();
    ASSERT_NE(waitForDialog(), 0u) << readFile(log());
    click(S::kindLabel(2));
    for (const std::string& typed : answers) {
      SCOPED_TRACE(typed);
      chooseFile(typed);
    }
    click(S::kSet);
    ASSERT_EQ(dialog->waitForExit(20s), 0) << readFile(log());
    if (answers.size() == 1) {
      // Chosen through the narrow call, in UTF-8 inside the programs.
      EXPECT_EQ(reported()["musicFile"], windowsPath(programs / "song.mp3"));
      EXPECT_EQ(reported()["musicFolder"], windowsPath(programs));
    }
  }
  // An ASCII path reads the same in the settings file whatever its code page.
  const std::string last = windowsPath(music / "third.mp3");
  EXPECT_EQ(reported()["musicFile"], last);
  EXPECT_EQ(reported()["musicFolder"], windowsPath(music));
  EXPECT_EQ(settings(), S::savedSettings(2, 0, last));
}

TEST_F(DialogUnderWineTest, TheAnimationBoxesOpenTheReadmeBesideThePrograms) {
  // The shell opens Markdown documents with a program of the test's, which notes its command.
  const fs::path note = folder_ / "note.txt";
  ::setenv("PELLARIN_NOTE_FILE", windowsPath(note).c_str(), 1);
  const std::string kind = "PellarinTest.Document";
  const std::string classes = "HKCR\\";
  wine({"reg", "add", classes + ".md", "/ve", "/d", kind, "/f"});
  wine({"reg", "add", classes + kind + "\\shell\\open\\command", "/ve", "/d",
        "\"" + windowsPath(environment("PELLARIN_NOTE_PROGRAM")) + "\" \"%1\"", "/f"});
  struct Case {
    const char* name;
    bool readme;
    int box;
  };
  for (const Case& c : {Case{"README beside the programs", true, 0}, Case{"no README", false, 1}}) {
    SCOPED_TRACE(c.name);
    fs::remove(note);
    fs::remove(program_ / "README.md");
    if (c.readme) fs::copy_file(environment("PELLARIN_README"), program_ / "README.md");
    auto dialog = startDialog();
    ASSERT_NE(waitForDialog(), 0u) << readFile(log());
    click(S::box(c.box));
    if (c.readme) {
      const std::string readme = windowsPath(program_ / "README.md");
      EXPECT_TRUE(waitUntil([&] { return readFile(note).find(readme) != std::string::npos; }, 20s))
          << readFile(note) << readFile(log());
    } else {
      std::this_thread::sleep_for(2s);
      EXPECT_FALSE(fs::exists(note));
      EXPECT_NE(readFile(log()).find("README"), std::string::npos) << readFile(log());
    }
    // Back from the shell: the hourglass over the box has given way to the hand again.
    EXPECT_TRUE(waitUntil([&] { return handShown(); }, 60s)) << readFile(log());
    cancel(*dialog);
  }
  wine({"reg", "delete", classes + ".md", "/f"});
  wine({"reg", "delete", classes + kind, "/f"});
}

}  // namespace
}  // namespace pellarin::testing
