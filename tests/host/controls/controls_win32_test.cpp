// The controls' Win32 views against the real system: GDI's text on the canvas, the button's
// window with its region, its messages and its hook on the form, the frame's window.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/controls/cc_xp_button_win32.h"
#include "host/controls/gfx_frame_x_win32.h"
#include "host/controls/text_painter_win32.h"

namespace pellarin {
namespace {

constexpr Colour kFormBack = 0xE0E0E0;
constexpr UINT kAskForm = WM_USER + 1;
constexpr LRESULT kFormsAnswer = 42;

// The form: logs the messages its own procedure saw, so that the order against the buttons'
// hooks shows, and answers kAskForm itself.
std::vector<std::string>* formLog = nullptr;

LRESULT CALLBACK formProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kAskForm) return kFormsAnswer;
  if (formLog && message == WM_ACTIVATE)
    formLog->push_back("form activate " + std::to_string(LOWORD(wParam)));
  if (formLog && message == WM_COMMAND)
    formLog->push_back("form command " + std::to_string(LOWORD(wParam)));
  return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND makeForm() {
  static const bool registered = [] {
    WNDCLASSEXW form{};
    form.cbSize = sizeof(form);
    form.lpfnWndProc = formProcedure;
    form.hInstance = ::GetModuleHandleW(nullptr);
    form.lpszClassName = L"PellarinTestForm";
    return ::RegisterClassExW(&form) != 0;
  }();
  EXPECT_TRUE(registered);
  HWND made = ::CreateWindowExW(WS_EX_CONTROLPARENT, L"PellarinTestForm", L"form",
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 300, 200, nullptr,
                                nullptr, ::GetModuleHandleW(nullptr), nullptr);
  EXPECT_NE(made, nullptr) << "error " << ::GetLastError();
  return made;
}

// Pixels of two canvases that differ, as (x, y).
std::vector<std::pair<int, int>> differences(const PixelCanvas& a, const PixelCanvas& b) {
  std::vector<std::pair<int, int>> found;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.getPixel(x, y) != b.getPixel(x, y)) found.emplace_back(x, y);
    }
  }
  return found;
}

TEST(GdiTextPainter, TextStaysInItsRectangleInItsColourAndUnderlinesTheAccessCharacter) {
  GdiTextPainter painter;
  const FontSpec font{"Tahoma", 12, false, false, 0};
  const CanvasRect rect{10, 5, 90, 35};
  const Colour red = makeColour(255, 0, 0);
  PixelCanvas blank(100, 40, kWhite);
  struct Case {
    const char* text;
    std::size_t underlineAt;
  };
  std::vector<PixelCanvas> drawn;
  for (const Case& c : {Case{"AB", TextPainter::kNoUnderline}, Case{"AB", 0},
                        Case{"A&B", TextPainter::kNoUnderline}}) {
    PixelCanvas canvas = blank;
    painter.drawCentredLine(canvas, rect, c.text, c.underlineAt, red, font);
    const auto changed = differences(blank, canvas);
    ASSERT_FALSE(changed.empty()) << c.text;
    bool fullColour = false;
    for (auto [x, y] : changed) {
      EXPECT_TRUE(x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom)
          << x << "," << y;
      // Only shades between the text's colour and the background: red stays, blue and green go.
      const Colour p = canvas.getPixel(x, y);
      EXPECT_EQ(redOf(p), 255) << x << "," << y;
      fullColour |= p == red;
    }
    EXPECT_TRUE(fullColour) << c.text;
    drawn.push_back(canvas);
  }
  // The underline: pixels under the first letter only, below everything the plain text drew.
  int plainBottom = 0;
  for (auto [x, y] : differences(blank, drawn[0])) plainBottom = std::max(plainBottom, y);
  const auto added = differences(drawn[0], drawn[1]);
  ASSERT_FALSE(added.empty());
  for (auto [x, y] : added) {
    EXPECT_GE(y, plainBottom - 1);
    EXPECT_LT(x, 50) << "under the A, left of the middle";
  }
  // A single "&" that marks nothing is shown, not taken as a marker: "A&B" is wider than "AB".
  auto width = [&](const PixelCanvas& canvas) {
    int left = 100, right = 0;
    for (auto [x, y] : differences(blank, canvas))
      left = std::min(left, x), right = std::max(right, x);
    return right - left;
  };
  EXPECT_GT(width(drawn[2]), width(drawn[0]) + 3);
}

class ButtonWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    formLog = &log;
    form = makeForm();
    ASSERT_NE(form, nullptr);
    first = makeButton(10, 10, "&First");
    second = makeButton(10, 60, "Second");
    ::ShowWindow(form, SW_SHOW);
    ::SendMessageW(form, WM_ACTIVATE, WA_ACTIVE, 0);
    pump();
    log.clear();
  }
  void TearDown() override {
    first.reset();
    second.reset();
    if (form) ::DestroyWindow(form);
    formLog = nullptr;
  }
  std::unique_ptr<XPButtonWin32> makeButton(int left, int top, const char* caption) {
    auto view = std::make_unique<XPButtonWin32>(form, left, top, kFormBack, painter);
    view->button().setSizeTwips(1575, 495);
    PropertyBag properties;
    properties.writeString("Caption", caption);
    view->button().loadProperties(properties);
    view->followForm(form);
    view->button().Click = [this, caption] { log.push_back(std::string("click ") + caption); };
    view->button().DblClick = [this, caption] { log.push_back(std::string("double ") + caption); };
    view->button().FormActivate = [this, caption](std::int32_t on) {
      log.push_back(std::string("activate ") + caption + " " + std::to_string(on));
    };
    return view;
  }
  static void pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  LRESULT send(XPButtonWin32& button, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(button.window(), message, wParam, lParam);
  }

  GdiTextPainter painter;
  HWND form = nullptr;
  std::unique_ptr<XPButtonWin32> first, second;
  std::vector<std::string> log;
};

TEST_F(ButtonWindowTest, TheWindowTakesTheCanvasSizeAndTheButtonsRoundedRegion) {
  RECT client{};
  ::GetClientRect(first->window(), &client);
  const PixelCanvas& canvas = first->button().canvas();
  EXPECT_EQ(client.right, canvas.width());
  EXPECT_EQ(client.bottom, canvas.height());
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(first->window(), region), ERROR);
  for (int y = -1; y <= canvas.height(); ++y) {
    for (int x = -1; x <= canvas.width(); ++x) {
      EXPECT_EQ(::PtInRegion(region, x, y) != 0, first->button().windowRegionContains(x, y))
          << x << "," << y;
    }
  }
  ::DeleteObject(region);
}

TEST_F(ButtonWindowTest, MouseMessagesGiveTheButtonsStatesCaptureFocusAndClicks) {
  ccXPButton& button = first->button();
  struct Step {
    UINT message;
    WPARAM keys;
    int x, y;
    ccXPButton::State state;
    bool captured;
  };
  // Over the button, pressed, dragged off (captured), back, released: one click.
  const Step steps[] = {
      {WM_MOUSEMOVE, 0, 5, 5, ccXPButton::kHot, false},
      {WM_LBUTTONDOWN, MK_LBUTTON, 5, 5, ccXPButton::kPressed, true},
      {WM_MOUSEMOVE, MK_LBUTTON, 200, 5, ccXPButton::kFocused, true},
      {WM_MOUSEMOVE, MK_LBUTTON, 6, 6, ccXPButton::kPressed, true},
      {WM_LBUTTONUP, 0, 6, 6, ccXPButton::kHot, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.message);
    send(*first, step.message, step.keys, MAKELPARAM(step.x, step.y));
    EXPECT_EQ(button.state(), step.state);
    EXPECT_EQ(::GetCapture() == first->window(), step.captured);
  }
  EXPECT_EQ(::GetFocus(), first->window());
  EXPECT_EQ(log, std::vector<std::string>{"click &First"});
  // Leaving: the notice the button asked for ends the hot look.
  send(*first, WM_MOUSELEAVE);
  EXPECT_EQ(button.state(), ccXPButton::kFocused);
  // A double click: its second press comes as its own message and clicks no second time.
  log.clear();
  for (UINT message :
       {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
    send(*first, message, 0, MAKELPARAM(5, 5));
  }
  EXPECT_EQ(log, (std::vector<std::string>{"click &First", "double &First"}));
}

TEST_F(ButtonWindowTest, KeysOfTheButtonsTableAndTheFocusBetweenButtons) {
  ::SetFocus(first->window());
  // Enter and the arrows are the button's own in a dialog's message loop; Tab is not.
  auto wants = [&](WPARAM key) {
    MSG queued{first->window(), WM_KEYDOWN, key, 0, 0, {0, 0}};
    return send(*first, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&queued));
  };
  EXPECT_TRUE(wants(VK_RETURN) & DLGC_WANTMESSAGE);
  EXPECT_TRUE(wants(VK_LEFT) & DLGC_WANTARROWS);
  EXPECT_FALSE(wants(VK_TAB) & (DLGC_WANTMESSAGE | DLGC_WANTTAB));

  send(*first, WM_KEYDOWN, VK_RETURN);
  send(*first, WM_KEYDOWN, VK_SPACE);
  EXPECT_EQ(first->button().state(), ccXPButton::kPressed);
  send(*first, WM_KEYUP, VK_SPACE);
  EXPECT_EQ(log, (std::vector<std::string>{"click &First", "click &First"}));
  send(*first, WM_KEYDOWN, VK_RIGHT);
  EXPECT_EQ(::GetFocus(), second->window());
  EXPECT_EQ(first->button().state(), ccXPButton::kNormal);
  EXPECT_EQ(second->button().state(), ccXPButton::kFocused);
  send(*second, WM_KEYDOWN, VK_UP);
  EXPECT_EQ(::GetFocus(), first->window());
}

TEST_F(ButtonWindowTest, TheFormsActivationReachesEveryButtonAfterTheFormsOwnProcedure) {
  send(*first, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  send(*first, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(form, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(
      log, (std::vector<std::string>{"form activate 0", "activate &First 0", "activate Second 0"}));
  // The press in progress is cancelled: releasing clicks nothing.
  EXPECT_EQ(first->button().state(), ccXPButton::kNormal);
  send(*first, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(log.size(), 3u);
  // Minimised and active still counts as active; the hooks leave other answers alone.
  ::SendMessageW(form, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0);
  EXPECT_EQ(log.back(), "activate Second 1");
  EXPECT_EQ(::SendMessageW(form, kAskForm, 0, 0), kFormsAnswer);
  // A button that goes takes its hook with it; the other one keeps following the form.
  first.reset();
  log.clear();
  ::SendMessageW(form, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(log, (std::vector<std::string>{"form activate 0", "activate Second 0"}));
}

TEST(GFXFrameXWin32, PaintsItsCanvasWithTheFormsShapesAndPassesItsControlsNoticesOn) {
  std::vector<std::string> log;
  formLog = &log;
  HWND form = makeForm();
  ASSERT_NE(form, nullptr);
  {
    GFXFrameXWin32 frame(form, 5, 5, kFormBack);
    frame.frame().setSizeTwips(1500, 900);
    frame.frame().setShadowDepth(7);
    frame.paintOver = [](HDC dc) { ::SetPixelV(dc, 3, 4, RGB(1, 2, 3)); };
    RECT client{};
    ::GetClientRect(frame.window(), &client);
    const PixelCanvas& canvas = frame.frame().canvas();
    EXPECT_EQ(client.right, canvas.width());
    EXPECT_EQ(client.bottom, canvas.height());

    // What it paints, through the request controls without a face make.
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, canvas.width(), canvas.height());
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::SendMessageW(frame.window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    for (int y = 0; y < canvas.height(); y += 3) {
      for (int x = 0; x < canvas.width(); x += 3) {
        const Colour expected = x == 3 && y == 4 ? makeColour(1, 2, 3) : canvas.getPixel(x, y);
        ASSERT_EQ(::GetPixel(memory, x, y), expected) << x << "," << y;
      }
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);

    HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, frame.window(),
                                   reinterpret_cast<HMENU>(7), nullptr, nullptr);
    ::SendMessageW(frame.window(), WM_COMMAND, MAKEWPARAM(7, 0), reinterpret_cast<LPARAM>(child));
    EXPECT_EQ(log, std::vector<std::string>{"form command 7"});
  }
  ::DestroyWindow(form);
  formLog = nullptr;
}

}  // namespace
}  // namespace pellarin
