#include "host/controls/cc_xp_button.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "recording_text_painter.h"

namespace pellarin {
namespace {

constexpr Colour kFormBack = 0xE0E0E0;

class RecordingWindow final : public ButtonWindow {
 public:
  void trackMouseLeave() override { ++leaveRequests; }
  void moveFocus(bool backwards) override { focusMoves.push_back(backwards); }
  void setWindowEnabled(bool enabled) override { windowEnabled = enabled; }
  void runPendingEvents() override { ++pendingRuns; }
  void canvasChanged() override { ++redraws; }
  ScreenPoint clientOriginOnScreen() override { return {100, 200}; }
  void movePointerTo(ScreenPoint point) override { pointer = point; }

  int leaveRequests = 0;
  std::vector<bool> focusMoves;
  bool windowEnabled = true;
  int pendingRuns = 0;
  int redraws = 0;
  ScreenPoint pointer;
};

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

TEST_F(ButtonTest, RightButtonNeitherArmsNorClicks) {
  auto b = makeButton("x");
  b->mouseMove(MouseButton::kNone, 0, 5, 5);
  b->mouseDown(MouseButton::kRight);
  b->mouseUp(MouseButton::kRight);
  b->doubleClick();
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(b->state(), ccXPButton::kHot);
}

TEST_F(ButtonTest, SpaceClicksOnceAndAnAccessKeyCancelsIt) {
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
}

TEST_F(ButtonTest, EnterClicksAtKeyDownAndArrowsMoveTheFocus) {
  auto b = makeButton("OK");
  b->focusGained();
  b->keyDown(ButtonKey::kEnter);
  EXPECT_EQ(clicks, 1);
  b->keyUp(ButtonKey::kEnter);
  EXPECT_EQ(clicks, 1);
  b->keyDown(ButtonKey::kLeft);
  b->keyDown(ButtonKey::kUp);
  b->keyDown(ButtonKey::kRight);
  b->keyDown(ButtonKey::kDown);
  EXPECT_EQ(window.focusMoves, (std::vector<bool>{true, true, false, false}));
}

TEST_F(ButtonTest, DeactivatingTheFormResetsEveryEnabledButton) {
  auto pressed = makeButton("a");
  auto focused = makeButton("b");
  auto disabled = makeButton("c", false);
  pressed->mouseMove(MouseButton::kNone, 0, 3, 3);
  pressed->mouseDown(MouseButton::kLeft);
  focused->focusGained();
  ASSERT_EQ(focused->state(), ccXPButton::kFocused);
  ASSERT_EQ(disabled->state(), ccXPButton::kDisabled);
  int deactivations = 0;
  pressed->FormActivate = [&](std::int32_t active) { deactivations += active == 0 ? 1 : 0; };
  for (auto* b : {pressed.get(), focused.get(), disabled.get()}) b->formActivation(false);
  EXPECT_EQ(pressed->state(), ccXPButton::kNormal);
  EXPECT_EQ(focused->state(), ccXPButton::kNormal);
  EXPECT_EQ(disabled->state(), ccXPButton::kDisabled);
  EXPECT_FALSE(pressed->armed());
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
  const PixelCanvas& c = b->canvas();
  EXPECT_EQ(c.getPixel(3, 0), fromRgbHex(0xC9C7BA));
  EXPECT_EQ(c.getPixel(0, 3), fromRgbHex(0xC9C7BA));
  EXPECT_EQ(c.getPixel(1, 1), fromRgbHex(0xC4B18C));
  EXPECT_EQ(c.getPixel(5, 5), fromRgbHex(0xF5F4EA));
  EXPECT_EQ(c.getPixel(102, 31), fromRgbHex(0xF5F4EA));
  EXPECT_EQ(c.getPixel(103, 31), fromRgbHex(0xC4B18C));
  ASSERT_FALSE(painter.calls.empty());
  EXPECT_EQ(painter.calls.back().colour, fromRgbHex(0xA1A192));
  b->focusGained();
  b->keyDown(ButtonKey::kEnter);
  b->keyDown(ButtonKey::kSpace);
  b->keyUp(ButtonKey::kSpace);
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
  const std::pair<const char*, const char*> cases[] = {
      {"Save && E&xit", "x"}, {"&A", "a"}, {"A&", ""}, {"&&", ""}, {"設&定", "定"}, {"", ""}};
  for (auto [caption, key] : cases) {
    b.setCaption(caption);
    EXPECT_EQ(b.accessKey(), key) << caption;
  }
}

TEST_F(ButtonTest, DefaultCaptionOfANewButton) {
  auto caption = [this](std::vector<std::string> others) {
    ccXPButton b(kFormBack, painter, nullptr);
    b.initNew("ccXPButton4", others);
    return b.Caption();
  };
  EXPECT_EQ(caption({}), "&OK");
  EXPECT_EQ(caption({"&OK"}), "&Cancel");
  EXPECT_EQ(caption({"&Cancel", "&OK"}), "&Apply");
  EXPECT_EQ(caption({"&OK", "&Cancel", "&Apply"}), "ccXPButton4");
  EXPECT_EQ(caption({"&OK2", "x&OK"}), "&OK");
}

// Colours of one state at the places every state paints.
struct Look {
  ccXPButton::State state;
  std::uint32_t outline, highlight1, highlight2, shade3, shade4, bandTop, bandBottom;
};

TEST_F(ButtonTest, PixelsOfEachState) {
  const Look looks[] = {
      {ccXPButton::kNormal, 0x003C74, 0xFFFFFF, 0xFEFEFE, 0xE2DFD6, 0xD6D0C5, 0xFCFCFB, 0xECEBE6},
      {ccXPButton::kFocused, 0x003C74, 0xCEE7FF, 0xBDD7F7, 0x8CAEE7, 0x6B82EF, 0xBDD3F7, 0x8CAEE7},
      {ccXPButton::kHot, 0x003C74, 0xFFF3CE, 0xFFDB8C, 0xFFB231, 0xE69600, 0xE1DF9C, 0xFFB630},
  };
  auto b = makeButton("");
  for (const Look& look : looks) {
    if (look.state == ccXPButton::kFocused) b->focusGained();
    if (look.state == ccXPButton::kHot) b->mouseMove(MouseButton::kNone, 0, 50, 20);
    ASSERT_EQ(b->state(), look.state);
    const PixelCanvas& c = b->canvas();
    const int w = 105, h = 33;
    SCOPED_TRACE(look.state);
    // Outline lines stop one pixel before their end point, where the corner pixel A sits.
    EXPECT_EQ(c.getPixel(3, 0), fromRgbHex(look.outline));
    EXPECT_EQ(c.getPixel(w - 4, 0), fromRgbHex(look.outline));
    EXPECT_EQ(c.getPixel(w - 3, 0), fromRgbHex(0x215584));
    EXPECT_EQ(c.getPixel(0, h - 4), fromRgbHex(look.outline));
    EXPECT_EQ(c.getPixel(w - 1, 3), fromRgbHex(look.outline));
    EXPECT_EQ(c.getPixel(50, h - 1), fromRgbHex(look.outline));
    // Highlight and shade rows.
    EXPECT_EQ(c.getPixel(50, 1), fromRgbHex(look.highlight1));
    EXPECT_EQ(c.getPixel(w - 2, 2), fromRgbHex(look.highlight2));
    EXPECT_EQ(c.getPixel(1, h - 3), fromRgbHex(look.shade3));
    EXPECT_EQ(c.getPixel(2, h - 2), fromRgbHex(look.shade4));
    EXPECT_EQ(c.getPixel(w - 3, h - 2), fromRgbHex(look.shade4));
    // The band shows in the two columns beside the face: its top colour on row 3.
    EXPECT_EQ(c.getPixel(1, 3), fromRgbHex(look.bandTop));
    EXPECT_EQ(c.getPixel(w - 2, 3), fromRgbHex(look.bandTop));
    // Row h - 4 is step 2 of the band's 28 steps.
    const Colour top = fromRgbHex(look.bandTop), bottom = fromRgbHex(look.bandBottom);
    auto at2 = [](int t, int bo) {
      return static_cast<int>(std::nearbyint(bo + (t - bo) / 28.0 * 2));
    };
    EXPECT_EQ(c.getPixel(2, h - 4),
              makeColour(at2(redOf(top), redOf(bottom)), at2(greenOf(top), greenOf(bottom)),
                         at2(blueOf(top), blueOf(bottom))));
    // The face gradient does not depend on the state.
    EXPECT_EQ(c.getPixel(4, 3), fromRgbHex(0xFCFCFB));
    EXPECT_EQ(c.getPixel(w - 5, 3), fromRgbHex(0xFCFCFB));
    // Row 20 is step 10 of the face's 27 steps up from ECEBE6.
    EXPECT_EQ(c.getPixel(20, 20), makeColour(0xF2, 0xF1, 0xEE));
    // Corner pixels, all four corners.
    const Colour a = fromRgbHex(0x215584), bb = fromRgbHex(0x7B96AD), cc = fromRgbHex(0x527DA5);
    EXPECT_EQ(c.getPixel(0, 1), bb);
    EXPECT_EQ(c.getPixel(0, 2), a);
    EXPECT_EQ(c.getPixel(1, 0), bb);
    EXPECT_EQ(c.getPixel(1, 1), cc);
    EXPECT_EQ(c.getPixel(w - 1, 1), bb);
    EXPECT_EQ(c.getPixel(w - 2, 1), cc);
    EXPECT_EQ(c.getPixel(0, h - 3), a);
    EXPECT_EQ(c.getPixel(1, h - 2), cc);
    EXPECT_EQ(c.getPixel(2, h - 1), a);
    EXPECT_EQ(c.getPixel(w - 1, h - 2), bb);
    EXPECT_EQ(c.getPixel(w - 2, h - 2), cc);
    EXPECT_EQ(c.getPixel(w - 3, h - 1), a);
    // The very corner is outside the window's rounded outline.
    EXPECT_EQ(c.getPixel(0, 0), kFormBack);
  }
  b->mouseDown(MouseButton::kLeft);
  const PixelCanvas& c = b->canvas();
  EXPECT_EQ(c.getPixel(2, 1), fromRgbHex(0xE7E3DE));
  EXPECT_EQ(c.getPixel(1, 1), fromRgbHex(0x527DA5));
  EXPECT_EQ(c.getPixel(50, 2), fromRgbHex(0xE7E3DE));
  EXPECT_EQ(c.getPixel(102, 31), fromRgbHex(0xE7E3DE));
  EXPECT_EQ(c.getPixel(1, 0), fromRgbHex(0x7B96AD));
  EXPECT_EQ(c.getPixel(50, 0), fromRgbHex(0x003C74));
}

TEST_F(ButtonTest, FocusRectangleOnlyWithFocus) {
  auto b = makeButton("");
  const Colour plain = b->canvas().getPixel(3, 3);
  b->focusGained();
  EXPECT_EQ(b->canvas().getPixel(3, 3), fromRgbHex(0xFCFCFB) ^ 0xFFFFFF);
  EXPECT_EQ(b->canvas().getPixel(4, 3), plain);
  b->setFocusRect(false);
  EXPECT_EQ(b->canvas().getPixel(3, 3), plain);
}

TEST_F(ButtonTest, WindowIsClippedToARoundedRectangle) {
  auto b = makeButton("");
  EXPECT_FALSE(b->windowRegionContains(0, 0));
  EXPECT_FALSE(b->windowRegionContains(104, 0));
  EXPECT_FALSE(b->windowRegionContains(0, 32));
  EXPECT_FALSE(b->windowRegionContains(104, 32));
  EXPECT_TRUE(b->windowRegionContains(1, 0));
  EXPECT_TRUE(b->windowRegionContains(0, 1));
  EXPECT_TRUE(b->windowRegionContains(104, 31));
  EXPECT_FALSE(b->windowRegionContains(105, 5));
}

TEST_F(ButtonTest, LeavingTheButton) {
  auto b = makeButton("");
  b->mouseLeft();  // not asked for: ignored
  EXPECT_EQ(window.leaveRequests, 0);
  b->mouseMove(MouseButton::kNone, 0, 5, 5);
  b->mouseMove(MouseButton::kNone, 0, 6, 5);
  EXPECT_EQ(window.leaveRequests, 1);
  b->mouseLeft();
  EXPECT_EQ(b->state(), ccXPButton::kNormal);

  b->focusGained();
  b->mouseMove(MouseButton::kNone, 0, 5, 5);
  b->mouseDown(MouseButton::kLeft);
  b->mouseLeft();
  EXPECT_EQ(b->state(), ccXPButton::kFocused);  // armed press
  b->mouseUp(MouseButton::kLeft);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(window.leaveRequests, 2);
}

TEST_F(ButtonTest, DoubleClickDefaultAndEnabledWhileOver) {
  auto b = makeButton("");
  int doubles = 0;
  b->DblClick = [&] { ++doubles; };
  b->mouseMove(MouseButton::kNone, 0, 5, 5);
  b->mouseDown(MouseButton::kLeft);
  b->mouseUp(MouseButton::kLeft);
  b->doubleClick();
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(b->state(), ccXPButton::kPressed);

  auto d = makeButton("");
  d->ambientChanged("DisplayAsDefault", true);
  EXPECT_EQ(d->state(), ccXPButton::kFocused);
  d->ambientChanged("BackColor", false);
  EXPECT_EQ(d->state(), ccXPButton::kFocused);
  d->ambientChanged("DisplayAsDefault", false);
  EXPECT_EQ(d->state(), ccXPButton::kNormal);

  d->mouseMove(MouseButton::kNone, 0, 5, 5);
  d->setEnabled(false);
  EXPECT_EQ(d->state(), ccXPButton::kDisabled);
  d->setEnabled(true);
  EXPECT_EQ(d->state(), ccXPButton::kHot);
}

TEST_F(ButtonTest, MouseMoveEventSnapAndMinimumSize) {
  auto b = makeButton("");
  std::vector<float> moves;
  b->MouseMove = [&](std::int16_t button, std::int16_t shift, float x, float y) {
    moves.insert(moves.end(), {static_cast<float>(button), static_cast<float>(shift), x, y});
  };
  b->mouseMove(MouseButton::kLeft, 1, 4, 2);
  EXPECT_EQ(moves, (std::vector<float>{1, 1, 60, 30}));
  b->SnapMouseTo();
  EXPECT_EQ(window.pointer, (ScreenPoint{100 + 52, 200 + 16}));
  b->setSizeTwips(30, 99);
  EXPECT_EQ(b->widthTwips(), 100);
  EXPECT_EQ(b->canvas().width(), 7);
  EXPECT_EQ(b->canvas().height(), 7);
  EXPECT_EQ(b->canvas().getPixel(3, 0), fromRgbHex(0x003C74));
}

TEST_F(ButtonTest, PersistenceKeepsOnlyDifferencesAndAlwaysTheFont) {
  ccXPButton fresh(kFormBack, painter, nullptr);
  PropertyBag defaults;
  fresh.saveProperties(defaults);
  EXPECT_FALSE(defaults.contains("Caption"));
  EXPECT_FALSE(defaults.contains("Enabled"));
  EXPECT_FALSE(defaults.contains("ForeColor"));
  EXPECT_FALSE(defaults.contains("FocusRect"));
  EXPECT_EQ(defaults.readString("Font.Name", ""), "Verdana");
  EXPECT_DOUBLE_EQ(defaults.readDouble("Font.Size", 0), 8.25);

  std::vector<std::string> changed;
  fresh.onPropertyChanged = [&](std::string_view n) { changed.emplace_back(n); };
  fresh.setCaption("ｷｬﾝｾﾙ");
  fresh.setForeColor(0x0000FF);
  fresh.setFocusRect(false);
  fresh.setFont({"IPAPGothic", 9.75, true, false});
  fresh.setEnabled(false);
  EXPECT_EQ(changed,
            (std::vector<std::string>{"Caption", "ForeColor", "FocusRect", "Font", "Enabled"}));
  PropertyBag bag;
  fresh.saveProperties(bag);
  ccXPButton copy(kFormBack, painter, nullptr);
  copy.loadProperties(bag);
  EXPECT_EQ(copy.Caption(), "ｷｬﾝｾﾙ");
  EXPECT_EQ(copy.ForeColor(), 0x0000FFu);
  EXPECT_FALSE(copy.FocusRect());
  EXPECT_FALSE(copy.Enabled());
  EXPECT_EQ(copy.Font(), (FontSpec{"IPAPGothic", 9.75, true, false}));
  EXPECT_EQ(copy.state(), ccXPButton::kDisabled);
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
