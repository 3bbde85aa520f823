#include "host/controls/cc_xp_button.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <span>
#include <tuple>

#include "recording_text_painter.h"

namespace pellarin {
namespace {

constexpr Colour kFormBack = 0xE0E0E0;

struct RecordingWindow final : ButtonWindow {
  void trackMouseLeave() override { ++leaveRequests; }
  void moveFocus(bool backwards) override { focusMoves.push_back(backwards); }
  void setWindowEnabled(bool enabled) override { windowEnabled = enabled; }
  void runPendingEvents() override { ++pendingRuns; }
  void canvasChanged() override { ++redraws; }
  ScreenPoint clientOriginOnScreen() override { return {100, 200}; }
  void movePointerTo(ScreenPoint point) override { pointer = point; }
  int leaveRequests = 0, pendingRuns = 0, redraws = 0;
  std::vector<bool> focusMoves;
  bool windowEnabled = true;
  ScreenPoint pointer;
};

using Px = std::tuple<int, int, std::uint32_t>;  // x, y, 0xRRGGBB

void expectPixels(const PixelCanvas& c, std::span<const Px> points) {
  for (auto [x, y, rgb] : points) EXPECT_EQ(c.getPixel(x, y), fromRgbHex(rgb)) << x << "," << y;
}

class ButtonTest : public ::testing::Test {
 protected:
  // A loaded, shown button of 105 x 33 pixels on an active form.
  std::unique_ptr<ccXPButton> makeButton(std::string_view caption, bool enabled = true) {
    auto button = std::make_unique<ccXPButton>(kFormBack, painter, &window);
    button->setSizeTwips(1575, 495);
    PropertyBag bag;
    bag.writeString("Caption", caption);
    if (!enabled) bag.writeInt("Enabled", 0);
    button->loadProperties(bag);
    button->formActivation(true);
    button->Click = [this] { ++clicks; };
    return button;
  }

  testing::RecordingTextPainter painter;
  RecordingWindow window;
  int clicks = 0;
};

TEST_F(ButtonTest, PressMoveOffReleaseGivesNoClickAndComingBackGivesOne) {
  auto b = makeButton("設定");
  b->mouseMove(MouseButton::kNone, 0, 10, 10);
  EXPECT_EQ(b->state(), ccXPButton::kHot);
  b->mouseDown(MouseButton::kRight);  // other buttons neither arm nor click
  b->mouseUp(MouseButton::kRight);
  EXPECT_EQ(b->state(), ccXPButton::kHot);
  b->mouseDown(MouseButton::kLeft);
  EXPECT_EQ(b->state(), ccXPButton::kPressed);
  b->mouseMove(MouseButton::kLeft, 0, 200, 10);
  EXPECT_EQ(b->state(), ccXPButton::kFocused);
  b->mouseUp(MouseButton::kLeft);
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(b->armed());

  b->mouseMove(MouseButton::kNone, 0, 10, 10);
  b->mouseDown(MouseButton::kLeft);
  b->mouseMove(MouseButton::kLeft, 0, -1, 10);
  b->mouseMove(MouseButton::kLeft, 0, 105, 33);  // the far edge still counts as inside
  EXPECT_EQ(b->state(), ccXPButton::kPressed);
  b->mouseUp(MouseButton::kLeft);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(b->state(), ccXPButton::kHot);
}

TEST_F(ButtonTest, KeyboardSpaceEnterAccessKeyAndArrows) {
  auto b = makeButton("&Go");
  b->focusGained();
  b->keyDown(ButtonKey::kSpace);
  EXPECT_EQ(b->state(), ccXPButton::kPressed);
  b->keyDown(ButtonKey::kSpace);  // auto-repeat
  b->keyUp(ButtonKey::kSpace);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(b->state(), ccXPButton::kFocused);

  b->keyDown(ButtonKey::kSpace);
  b->accessKeyPressed();
  EXPECT_EQ(b->state(), ccXPButton::kFocused);
  b->keyUp(ButtonKey::kSpace);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(window.pendingRuns, 0);

  b->accessKeyPressed();
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(window.pendingRuns, 1);

  // Enter clicks at key down, not again at key up; arrows move the focus.
  b->keyDown(ButtonKey::kEnter);
  EXPECT_EQ(clicks, 3);
  b->keyUp(ButtonKey::kEnter);
  EXPECT_EQ(clicks, 3);
  for (auto key : {ButtonKey::kLeft, ButtonKey::kUp, ButtonKey::kRight, ButtonKey::kDown}) {
    b->keyDown(key);
  }
  EXPECT_EQ(window.focusMoves, (std::vector<bool>{true, true, false, false}));
}

TEST_F(ButtonTest, DeactivatingTheFormResetsEveryEnabledButton) {
  auto pressed = makeButton("a");
  auto focused = makeButton("b");
  auto disabled = makeButton("c", false);
  pressed->mouseMove(MouseButton::kNone, 0, 3, 3);
  pressed->mouseDown(MouseButton::kLeft);
  focused->focusGained();
  int deactivations = 0;
  pressed->FormActivate = [&](std::int32_t active) { deactivations += active == 0 ? 1 : 0; };
  for (auto* b : {pressed.get(), focused.get(), disabled.get()}) b->formActivation(false);
  EXPECT_EQ(pressed->state(), ccXPButton::kNormal);
  EXPECT_EQ(focused->state(), ccXPButton::kNormal);
  EXPECT_EQ(disabled->state(), ccXPButton::kDisabled);
  EXPECT_EQ(deactivations, 1);
  pressed->mouseUp(MouseButton::kLeft);
  EXPECT_EQ(clicks, 0);

  // Back on the form: the focused button shows its focus again.
  focused->formActivation(true);
  EXPECT_EQ(focused->state(), ccXPButton::kFocused);
}

TEST_F(ButtonTest, DisabledLookAndNoReaction) {
  auto b = makeButton("&Save", false);
  EXPECT_FALSE(window.windowEnabled);
  const Px disabledLook[] = {{3, 0, 0xC9C7BA}, {1, 1, 0xC4B18C}, {5, 5, 0xF5F4EA}};
  expectPixels(b->canvas(), disabledLook);
  ASSERT_FALSE(painter.calls.empty());
  EXPECT_EQ(painter.calls.back().colour, fromRgbHex(0xA1A192));
  b->focusGained();
  b->keyDown(ButtonKey::kEnter);
  b->accessKeyPressed();
  b->mouseMove(MouseButton::kNone, 0, 5, 5);
  b->mouseDown(MouseButton::kLeft);
  b->mouseUp(MouseButton::kLeft);
  EXPECT_EQ(clicks, 0);

  b->setEnabled(true);
  EXPECT_TRUE(window.windowEnabled);
  EXPECT_EQ(b->state(), ccXPButton::kNormal);
  EXPECT_EQ(painter.calls.back().colour, kBlack);
}

TEST_F(ButtonTest, AccessKeys) {
  ccXPButton b(kFormBack, painter, nullptr);
  EXPECT_EQ(b.accessKey(), "o");  // "&OK"
  b.setSizeTwips(1575, 495);
  b.loadProperties({});
  // The caption, its access key and the text the painter is asked to show.
  const std::array<const char*, 3> cases[] = {{"Save && E&xit", "x", "Save & Exit"},
                                              {"A&", "", "A"},
                                              {"&a&b", "a", "ab"},
                                              {"設&定", "定", "設定"}};
  for (auto [caption, key, shown] : cases) {
    b.setCaption(caption);
    EXPECT_EQ(b.accessKey(), key) << caption;
    EXPECT_EQ(painter.calls.back().text, shown) << caption;
  }
}

TEST_F(ButtonTest, TheFontWithItsCharacterSetIsLoadedSavedAndDrawnWith) {
  PropertyBag bag;
  bag.writeString("Caption", "設定");
  bag.writeString("Font.Name", "ＭＳ Ｐゴシック");
  bag.writeDouble("Font.Size", 9.75);
  bag.writeInt("Font.Charset", 128);
  ccXPButton b(kFormBack, painter, &window);
  b.setSizeTwips(1575, 495);
  b.loadProperties(bag);
  const FontSpec japanese{"ＭＳ Ｐゴシック", 9.75, false, false, 128};
  EXPECT_EQ(b.Font(), japanese);
  EXPECT_EQ(painter.calls.back().font, japanese);
  // Saved and loaded again it stays the same; a button without one keeps the default set.
  PropertyBag saved;
  b.saveProperties(saved);
  ccXPButton again(kFormBack, painter, &window);
  again.loadProperties(saved);
  EXPECT_EQ(again.Font(), japanese);
  ccXPButton plain(kFormBack, painter, &window);
  plain.loadProperties({});
  EXPECT_EQ(plain.Font().charset, 0);
}

TEST_F(ButtonTest, PixelsOfEachState) {
  // Colours of one state at the places every state paints.
  using U = std::uint32_t;
  const std::tuple<ccXPButton::State, U, U, U, U, U> looks[] = {
      {ccXPButton::kNormal, 0xFCFCFB, 0xFFFFFF, 0xD6D0C5, 0xFCFCFB, 0xEDECE8},
      {ccXPButton::kFocused, 0x030304, 0xCEE7FF, 0x6B82EF, 0xBDD3F7, 0x90B1E8},
      {ccXPButton::kHot, 0x030304, 0xFFF3CE, 0xE69600, 0xE1DF9C, 0xFDB938},
  };
  constexpr int w = 105, h = 33;
  constexpr U o = 0x003C74, a = 0x215584, b = 0x7B96AD, c = 0x527DA5;
  auto button = makeButton("");
  for (auto [state, focusCorner, highlight, shade, bandTop, bandStep2] : looks) {
    if (state == ccXPButton::kFocused) button->focusGained();
    if (state == ccXPButton::kHot) button->mouseMove(MouseButton::kNone, 0, 50, 20);
    ASSERT_EQ(button->state(), state);
    SCOPED_TRACE(state);
    // The outline o, the same in every state, stops one pixel before each end point, where
    // corner pixel a sits; highlight and shade rows; the band beside the face (top colour on
    // row 3, step 2 of 28 on row h - 4); the face, the same in every state (row 20 is step 10 of
    // its 27) except the focus rectangle's corner, inverted while the button has the focus; one
    // corner pixel of each corner, the very corner being outside the window.
    // clang-format off
    const Px points[] = {
        {3, 0, o}, {w - 3, 0, a}, {w - 1, 3, o}, {50, h - 1, o},
        {50, 1, highlight}, {2, h - 2, shade}, {3, 3, focusCorner},
        {1, 3, bandTop}, {2, h - 4, bandStep2}, {4, 3, 0xFCFCFB}, {20, 20, 0xF2F1EE},
        {1, 0, b}, {w - 2, 1, c}, {1, h - 2, c}, {w - 3, h - 1, a}, {0, 0, 0xE0E0E0}};
    // clang-format on
    expectPixels(button->canvas(), points);
  }
  button->setFocusRect(false);
  EXPECT_EQ(button->canvas().getPixel(3, 3), fromRgbHex(0xFCFCFB));
  button->mouseDown(MouseButton::kLeft);
  const Px pressed[] = {{2, 1, 0xE7E3DE}, {102, 31, 0xE7E3DE}, {50, 0, 0x003C74}};
  expectPixels(button->canvas(), pressed);
}

TEST_F(ButtonTest, LeavingTheButton) {
  auto b = makeButton("");
  b->mouseMove(MouseButton::kNone, 0, 5, 5);
  b->mouseMove(MouseButton::kNone, 0, 6, 5);
  EXPECT_EQ(window.leaveRequests, 1);  // asked for once per entry
  b->mouseLeft();
  EXPECT_EQ(b->state(), ccXPButton::kNormal);

  b->focusGained();
  b->mouseMove(MouseButton::kNone, 0, 5, 5);
  b->mouseDown(MouseButton::kLeft);
  b->mouseLeft();
  EXPECT_EQ(b->state(), ccXPButton::kFocused);  // armed press
  b->mouseUp(MouseButton::kLeft);
  EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonTest, DoubleClickMouseMoveSnapAndDefaultLook) {
  auto b = makeButton("");
  int doubles = 0;
  b->DblClick = [&] { ++doubles; };
  std::vector<float> move;
  b->MouseMove = [&](std::int16_t, std::int16_t, float x, float y) { move = {x, y}; };
  b->mouseMove(MouseButton::kNone, 0, 4, 2);
  EXPECT_EQ(move, (std::vector<float>{60, 30}));  // in twips
  b->mouseDown(MouseButton::kLeft);               // the second press of a left double click
  b->doubleClick();
  EXPECT_EQ(doubles, 1);
  b->SnapMouseTo();
  EXPECT_EQ(window.pointer, (ScreenPoint{100 + 52, 200 + 16}));
  auto d = makeButton("");
  d->ambientChanged("DisplayAsDefault", true);
  EXPECT_EQ(d->state(), ccXPButton::kFocused);
}

TEST_F(ButtonTest, WindowIsClippedToARoundedRectangleAndTinySizesAreRaised) {
  auto b = makeButton("");
  const std::tuple<int, int, bool> region[] = {
      {0, 0, false}, {104, 32, false}, {105, 5, false}, {1, 0, true}, {104, 31, true}};
  for (auto [x, y, in] : region) EXPECT_EQ(b->windowRegionContains(x, y), in) << x << "," << y;
  b->setSizeTwips(30, 99);
  EXPECT_EQ(std::pair(b->canvas().width(), b->canvas().height()), std::pair(7, 7));
  EXPECT_EQ(b->canvas().getPixel(3, 0), fromRgbHex(0x003C74));
}

TEST_F(ButtonTest, NothingIsDrawnBeforeTheButtonIsLoaded) {
  ccXPButton b(kFormBack, painter, &window);
  b.setSizeTwips(1575, 495);
  b.setCaption("x");
  EXPECT_TRUE(painter.calls.empty());
  EXPECT_EQ(window.redraws, 0);
  EXPECT_EQ(b.canvas().getPixel(3, 0), kFormBack);
}

}  // namespace
}  // namespace pellarin
