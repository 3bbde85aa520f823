#include "host/dialog/quorvane_p_win32.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/debug_log.h"
#include "common/system_names.h"
#include "common/text_encoding.h"
#include "common/win32_text.h"
#include "common/window_win32.h"
#include "host/controls/canvas_paint_win32.h"
#include "host/controls/text_painter_win32.h"
#include "host/dialog/dialog_assets.h"
#include "host/dialog/dialog_button.h"
#include "host/dialog/dialog_texts.h"
#include "host/dialog/quorvane_p.h"

namespace pellarin {

namespace {

namespace L = dialog_layout;
using dialog_layout::kFormBack;
using dialog_layout::TwipRect;

constexpr const wchar_t* kDialogClass = L"Quorvane_P";
constexpr const wchar_t* kPartClass = L"Quorvane_P.Part";
// A title bar with the close box alone: no sizing border, no minimise or maximise box.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr UINT_PTR kAnimationTimer = 1;
constexpr int kRepeatId = 100;
// The track list when it is dropped down.
constexpr int kRepeatListHeight = 200;
// The Japanese proportional gothic the dialog was laid out with.
constexpr const wchar_t* kDialogFontFamily = L"ＭＳ Ｐゴシック";

constexpr COLORREF kEdgeGrey = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kEdgeWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kEdgeBlack = RGB(0, 0, 0);

HINSTANCE instance() {
  return ::GetModuleHandleW(nullptr);
}

// Twips a pixel on this screen (1440 dots per inch); 15 at 96 dots per inch.
int screenTwipsPerPixel() {
  HDC screen = ::GetDC(nullptr);
  const int dotsPerInch = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  if (dotsPerInch <= 0) return kTwipsPerPixel;
  return std::max(1, static_cast<int>(std::lround(1440.0 / dotsPerInch)));
}

// A built-in picture laid over the background it is shown on.
PixelCanvas canvasOf(const dialog_assets::AssetImage& image, Colour background) {
  PixelCanvas canvas(image.width, image.height, background);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = image.pixels[y * image.width + x];
      const int a = static_cast<int>(p >> 24);
      auto over = [a](int picture, int ground) {
        return (picture * a + ground * (255 - a) + 127) / 255;
      };
      canvas.setPixel(x, y,
                      makeColour(over(static_cast<int>((p >> 16) & 0xFF), redOf(background)),
                                 over(static_cast<int>((p >> 8) & 0xFF), greenOf(background)),
                                 over(static_cast<int>(p & 0xFF), blueOf(background))));
    }
  }
  return canvas;
}

// The pointing hand of the animation boxes, its hot spot on the finger's tip.
HCURSOR handCursor() {
  const dialog_assets::AssetImage hand = dialog_assets::handPointer();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = hand.width;
  info.bmiHeader.biHeight = -hand.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HBITMAP colour = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ::ReleaseDC(nullptr, screen);
  if (!colour) return nullptr;
  // 0xAARRGGBB is what a 32-bit DIB holds, blue in the lowest byte, alpha in the highest.
  std::copy(hand.pixels, hand.pixels + hand.width * hand.height, static_cast<std::uint32_t*>(bits));
  // The alpha channel decides; the mask only has to be there.
  const std::vector<std::uint8_t> noMask(
      static_cast<std::size_t>((hand.width + 15) / 16 * 2) * static_cast<std::size_t>(hand.height),
      0);
  HBITMAP mask = ::CreateBitmap(hand.width, hand.height, 1, 1, noMask.data());
  ICONINFO icon{};
  icon.fIcon = FALSE;
  icon.xHotspot = dialog_assets::kHandHotSpotX;
  icon.yHotspot = dialog_assets::kHandHotSpotY;
  icon.hbmMask = mask;
  icon.hbmColor = colour;
  HCURSOR cursor = mask ? ::CreateIconIndirect(&icon) : nullptr;
  if (mask) ::DeleteObject(mask);
  ::DeleteObject(colour);
  return cursor;
}

// The title as the narrow ("A") calls read its code page 932 bytes on this system.
std::wstring titleOfNarrowCalls() {
  const std::optional<std::string> bytes = utf8ToCp932(kDialogTitle);
  return bytes ? wideFromSystemCodePage(*bytes) : std::wstring();
}

// The form's background; it lives as long as the window class that paints with it.
HBRUSH formBrush() {
  // Host colours and GDI's COLORREF share their layout: red in the lowest byte.
  static const HBRUSH brush = ::CreateSolidBrush(kFormBack);
  return brush;
}

void fillRect(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

void frameRect(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FrameRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

struct FontSearch {
  std::wstring wanted;
  bool wantedFound = false;
  std::wstring proportional;
};

int CALLBACK noteFont(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD, LPARAM data) {
  auto* search = reinterpret_cast<FontSearch*>(data);
  const std::wstring_view name = font->lfFaceName;
  if (name == search->wanted) search->wantedFound = true;
  // The vertical fonts ("@name") are for vertical writing; a set TMPF_FIXED_PITCH bit means a
  // proportional font.
  if (search->proportional.empty() && !name.empty() && name.front() != L'@' &&
      (metrics->tmPitchAndFamily & TMPF_FIXED_PITCH) != 0) {
    search->proportional = name;
  }
  return 1;
}

// The dialog's font family where it is installed; else the first proportional font of the
// Japanese character set, as the dialog's texts were measured in a proportional one (the
// system's font mapper would pick a fixed-pitch gothic, whose texts overrun their labels).
std::wstring dialogFontFamily() {
  FontSearch search{kDialogFontFamily};
  HDC screen = ::GetDC(nullptr);
  if (screen) {
    LOGFONTW all{};
    all.lfCharSet = static_cast<BYTE>(L::kFontCharset);
    ::EnumFontFamiliesExW(screen, &all, noteFont, reinterpret_cast<LPARAM>(&search), 0);
    ::ReleaseDC(nullptr, screen);
  }
  if (search.wantedFound || search.proportional.empty()) return search.wanted;
  debugLog("dialog: no font %s; %s instead\n", utf8Text(search.wanted).c_str(),
           utf8Text(search.proportional).c_str());
  return search.proportional;
}

}  // namespace

FontSpec QuorvanePViewWin32::dialogFont() {
  static const std::string family = utf8Text(dialogFontFamily());
  return {family, L::kFontPoints, false, false, L::kFontCharset};
}

QuorvanePViewWin32::QuorvanePViewWin32(TextPainter& painter)
    : twipsPerPixel_(screenTwipsPerPixel()) {
  registerWindowClass(kDialogClass, ownedWindowProcedure<QuorvanePViewWin32>, formBrush());
  registerWindowClass(kPartClass, partProcedure, nullptr);
  font_ = createGdiFont(dialogFont());
  hand_ = handCursor();
  for (int i = 0; i < 2; ++i) {
    markCanvases_[static_cast<std::size_t>(i)] =
        canvasOf(dialog_assets::optionMark(i == 1), kFormBack);
  }
  for (int i = 1; i <= Quorvane_P::kFramesPerBox; ++i) {
    frameCanvases_.push_back(canvasOf(dialog_assets::animationFrame(i), kFormBack));
  }

  RECT outer{0, 0, px(L::kClientWidth), px(L::kClientHeight)};
  ::AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
  // Shown through the wide call, so the title reads the same on any system.
  ::CreateWindowExW(kExStyle, kDialogClass, wideText(kDialogTitle).c_str(), kStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                    nullptr, instance(), this);
  if (!window_) {
    debugLog("dialog: no window: error %lu\n", ::GetLastError());
    return;
  }
  // Other programs look the dialog up with FindWindowA and the title's code page 932 bytes.
  // Where the ANSI code page is not 932 those bytes name another title: a hidden window
  // carries it for as long as the dialog is open.
  const std::wstring narrowTitle = titleOfNarrowCalls();
  if (!narrowTitle.empty() && narrowTitle != wideText(kDialogTitle)) {
    titleMarker_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kPartClass, narrowTitle.c_str(), WS_POPUP, 0,
                                     0, 0, 0, nullptr, nullptr, instance(), nullptr);
  }

  frame_ = std::make_unique<GFXFrameXWin32>(window_, px(L::kFrame.left), px(L::kFrame.top),
                                            kFormBack, twipsPerPixel_);
  GFXFrameX& frame = frame_->frame();
  frame.setSizeTwips(L::kFrame.width, L::kFrame.height);
  PropertyBag frameProperties;
  frameProperties.writeInt("ShadowDepth", L::kFrameShadowDepth);
  frame.loadProperties(frameProperties);
  frame_->paintOver = [this](HDC dc) { paintEtchedBox(dc); };

  // The music controls, on the frame.
  HWND onFrame = frame_->window();
  placePart(onFrame, {this, Part::Kind::kLabel, 0, wideText(dialog_texts::kHeading), true},
            L::kHeading);
  const char* kindTexts[3] = {dialog_texts::kKindNone, dialog_texts::kKindCd,
                              dialog_texts::kKindFile};
  for (int i = 0; i < 3; ++i) {
    const auto at = static_cast<std::size_t>(i);
    marks_[at] = placePart(onFrame, {this, Part::Kind::kMark, i, {}, false}, L::kMarks[i]);
    placePart(onFrame, {this, Part::Kind::kKindLabel, i, wideText(kindTexts[i]), false},
              L::kKindLabels[i]);
  }
  buildRepeatBox();
  placePart(onFrame, {this, Part::Kind::kLabel, 0, wideText(dialog_texts::kRepeatLabel), false},
            L::kRepeatLabel);
  fileName_ = placePart(onFrame, {this, Part::Kind::kLabel, 0, {}, false, true}, L::kFileName);

  // The animation boxes, the buttons and the credit line, on the form.
  for (int i = 0; i < 2; ++i) {
    boxes_[static_cast<std::size_t>(i)] =
        placePart(window_, {this, Part::Kind::kBox, i, {}, false}, L::kAnimationBoxes[i]);
  }
  buildButtons(painter);
  placePart(window_, {this, Part::Kind::kLabel, 0, wideText(dialog_texts::kCreditLine), true},
            L::kCreditLine);
}

void QuorvanePViewWin32::buildButtons(TextPainter& painter) {
  struct Spec {
    std::unique_ptr<XPButtonWin32>* slot;
    const char* caption;
    TwipRect at;
    HWND parent;
  };
  const Spec specs[] = {
      {&fileButton_, dialog_texts::kFileButton, L::kFileButton, frame_->window()},
      {&setButton_, dialog_texts::kSetButton, L::kSetButton, window_},
      {&cancelButton_, dialog_texts::kCancelButton, L::kCancelButton, window_},
  };
  const FontSpec font = dialogFont();
  for (const Spec& spec : specs) {
    auto view = std::make_unique<XPButtonWin32>(spec.parent, px(spec.at.left), px(spec.at.top),
                                                kFormBack, painter, twipsPerPixel_);
    setUpDialogButton(view->button(), spec.caption, spec.at, font);
    view->followForm(window_);
    *spec.slot = std::move(view);
  }
}

void QuorvanePViewWin32::buildRepeatBox() {
  const TwipRect& at = L::kRepeat;
  repeat_ = ::CreateWindowExW(
      0, L"COMBOBOX", L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, px(at.left),
      px(at.top), px(at.width), kRepeatListHeight, frame_->window(),
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kRepeatId)), instance(), nullptr);
  if (!repeat_) {
    debugLog("dialog: no track box: error %lu\n", ::GetLastError());
    return;
  }
  // The closed box is as high as its font makes it (the height the form gives is what the font
  // made it there); the height given here is the dropped list's.
  ::SendMessageW(repeat_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

QuorvanePViewWin32::~QuorvanePViewWin32() {
  stopAnimationTimer();
  // The buttons let go of the form's window procedure before the window goes.
  fileButton_.reset();
  setButton_.reset();
  cancelButton_.reset();
  frame_.reset();
  destroying_ = true;
  if (window_) ::DestroyWindow(window_);
  if (titleMarker_) ::DestroyWindow(titleMarker_);
  parts_.clear();
  if (font_) ::DeleteObject(font_);
  if (hand_) ::DestroyCursor(hand_);
}

int QuorvanePViewWin32::px(int twips) const {
  return twipsToPixels(twips, twipsPerPixel_);
}

HWND QuorvanePViewWin32::placePart(HWND parent, Part part, const TwipRect& at) {
  parts_.push_back(std::make_unique<Part>(std::move(part)));
  const Part& placed = *parts_.back();
  int width = px(at.width);
  const bool label = placed.kind == Part::Kind::kLabel || placed.kind == Part::Kind::kKindLabel;
  if (label && !placed.wraps && !placed.text.empty()) {
    // As wide as its text where that is wider than the form has it, never cut or broken.
    HDC screen = ::GetDC(nullptr);
    HGDIOBJ oldFont = ::SelectObject(screen, font_);
    RECT needed{0, 0, 0, 0};
    ::DrawTextW(screen, placed.text.c_str(), static_cast<int>(placed.text.size()), &needed,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(screen, oldFont);
    ::ReleaseDC(nullptr, screen);
    width = std::max<int>(width, needed.right);
  }
  HWND window =
      ::CreateWindowExW(0, kPartClass, L"", WS_CHILD | WS_VISIBLE, px(at.left), px(at.top), width,
                        px(at.height), parent, nullptr, instance(), parts_.back().get());
  if (!window) debugLog("dialog: no window for a control: error %lu\n", ::GetLastError());
  return window;
}

void QuorvanePViewWin32::connect(Quorvane_P& form) {
  form_ = &form;
  fileButton_->button().Click = [&form] { form.Cmd_File_Click(); };
  setButton_->button().Click = [&form] { form.Cmd_Set_Click(); };
  cancelButton_->button().Click = [&form] { form.Cmd_Can_Click(); };
  if (timer_ == 0 && window_) {
    timer_ = ::SetTimer(window_, kAnimationTimer, L::kAnimationTickMs, nullptr);
  }
}

void QuorvanePViewWin32::runModal() {
  if (!window_) return;
  ::ShowWindow(window_, SW_SHOW);
  ::UpdateWindow(window_);
  ::SetForegroundWindow(window_);
  if (form_ && form_->closed()) return;
  MSG message;
  while (!closed_) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // The program is asked to end: as the close box, then the request goes on.
      if (form_) {
        form_->closeDialog();
      } else {
        close();
      }
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (message.message == WM_SYSCHAR && handleAccessKey(static_cast<wchar_t>(message.wParam))) {
      continue;
    }
    // Tab and Shift+Tab between the controls, as in a dialog box.
    if (window_ && ::IsDialogMessageW(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// ---- DialogView ---------------------------------------------------------------------------

ScreenSize QuorvanePViewWin32::screenSize() {
  return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

ScreenSize QuorvanePViewWin32::windowSize() {
  RECT outer{};
  if (!window_ || !::GetWindowRect(window_, &outer)) return {};
  return {outer.right - outer.left, outer.bottom - outer.top};
}

void QuorvanePViewWin32::moveWindow(int left, int top) {
  if (window_) {
    ::SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

std::optional<ScreenRect> QuorvanePViewWin32::windowRect() {
  RECT outer{};
  if (!window_ || windowGone_ || !::GetWindowRect(window_, &outer)) return std::nullopt;
  return ScreenRect{outer.left, outer.top, outer.right, outer.bottom};
}

bool QuorvanePViewWin32::animationsEnabled() {
  // DrawAnimatedRects itself follows the desktop's "animate windows when minimising and
  // maximising": the dialog always asks for the zoom and the system decides.
  return true;
}

void QuorvanePViewWin32::zoomWindow(const ScreenRect& from, const ScreenRect& to) {
  const RECT start{from.left, from.top, from.right, from.bottom};
  const RECT end{to.left, to.top, to.right, to.bottom};
  const BOOL drawn = ::DrawAnimatedRects(window_, IDANI_CAPTION, &start, &end);
  debugLog("dialog: caption animation from %d,%d,%d,%d to %d,%d,%d,%d%s\n", from.left, from.top,
           from.right, from.bottom, to.left, to.top, to.right, to.bottom, drawn ? "" : " failed");
}

void QuorvanePViewWin32::setBusyPointer(bool busy) {
  busy_ = busy;
  // The pointer changes at once where it is over the dialog, not at its next move.
  POINT at{};
  if (!window_ || windowGone_ || !::GetCursorPos(&at)) return;
  HWND under = ::WindowFromPoint(at);
  if (under == window_ || ::IsChild(window_, under)) {
    ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
}

void QuorvanePViewWin32::setOptionMark(int index, bool selected) {
  if (index < 0 || index > 2) return;
  markSelected_[static_cast<std::size_t>(index)] = selected;
  ::InvalidateRect(marks_[static_cast<std::size_t>(index)], nullptr, FALSE);
}

void QuorvanePViewWin32::setRepeatEnabled(bool enabled) {
  ::EnableWindow(repeat_, enabled ? TRUE : FALSE);
}

void QuorvanePViewWin32::setFileButtonEnabled(bool enabled) {
  fileButton_->button().setEnabled(enabled);
}

void QuorvanePViewWin32::setRepeatText(std::string_view text) {
  ::SetWindowTextW(repeat_, wideText(text).c_str());
}

std::string QuorvanePViewWin32::repeatText() {
  const int length = ::GetWindowTextLengthW(repeat_);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(repeat_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(got, 0)));
  return utf8Text(text);
}

void QuorvanePViewWin32::addRepeatEntry(std::string_view text) {
  ::SendMessageW(repeat_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideText(text).c_str()));
}

void QuorvanePViewWin32::setFileNameCaption(std::string_view text) {
  auto* part = reinterpret_cast<Part*>(::GetWindowLongPtrW(fileName_, GWLP_USERDATA));
  if (!part) return;
  part->text = wideText(text);
  ::InvalidateRect(fileName_, nullptr, FALSE);
}

void QuorvanePViewWin32::showAnimationFrame(int box, int frame) {
  if (box < 0 || box > 1) return;
  boxFrame_[static_cast<std::size_t>(box)] = frame;
  ::InvalidateRect(boxes_[static_cast<std::size_t>(box)], nullptr, FALSE);
}

void QuorvanePViewWin32::clearAnimationBox(int box) {
  // Nothing is drawn into the boxes at run time: a box keeps showing the last frame it was
  // given while the other one animates.
  if (box >= 0 && box <= 1) ::InvalidateRect(boxes_[static_cast<std::size_t>(box)], nullptr, FALSE);
}

void QuorvanePViewWin32::stopAnimationTimer() {
  if (timer_ != 0 && window_) ::KillTimer(window_, kAnimationTimer);
  timer_ = 0;
}

void QuorvanePViewWin32::close() {
  closed_ = true;
  if (window_ && !windowGone_) ::ShowWindow(window_, SW_HIDE);
}

// ---- Painting and input -------------------------------------------------------------------

void QuorvanePViewWin32::paintEtchedBox(HDC dc) {
  // A white rectangle one etch below and right of a black one, the black on top.
  const TwipRect& at = L::kHeadingBox;
  const RECT black{px(at.left), px(at.top), px(at.left) + px(at.width), px(at.top) + px(at.height)};
  const int etch = px(L::kEtchOffset);
  const RECT white{black.left + etch, black.top + etch, black.right + etch, black.bottom + etch};
  frameRect(dc, white, kEdgeWhite);
  frameRect(dc, black, kEdgeBlack);
}

void QuorvanePViewWin32::paintParentUnder(HWND window, HDC dc) {
  HWND parent = ::GetParent(window);
  POINT origin{0, 0};
  ::MapWindowPoints(window, parent, &origin, 1);
  POINT old{};
  ::SetViewportOrgEx(dc, -origin.x, -origin.y, &old);
  ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

void QuorvanePViewWin32::paintPart(const Part& part, HWND window, HDC dc) {
  RECT area{};
  ::GetClientRect(window, &area);
  switch (part.kind) {
    case Part::Kind::kLabel:
    case Part::Kind::kKindLabel: {
      // Labels have no face: the frame's shapes show through them.
      paintParentUnder(window, dc);
      HGDIOBJ oldFont = ::SelectObject(dc, font_);
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, kEdgeBlack);
      // Paths and names are shown as they are: no "&" marks an access key here.
      const UINT lines = part.wraps ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE;
      ::DrawTextW(dc, part.text.c_str(), static_cast<int>(part.text.size()), &area,
                  DT_NOPREFIX | lines | (part.centred ? DT_CENTER : DT_LEFT));
      ::SelectObject(dc, oldFont);
      break;
    }
    case Part::Kind::kMark:
      paintParentUnder(window, dc);
      paintCanvas(dc, markCanvases_[markSelected_[static_cast<std::size_t>(part.index)] ? 1 : 0]);
      break;
    case Part::Kind::kBox: {
      fillRect(dc, area, kFormBack);
      const int frame = boxFrame_[static_cast<std::size_t>(part.index)];
      if (frame > 0) {
        const int last = static_cast<int>(frameCanvases_.size());
        paintCanvas(dc, frameCanvases_[static_cast<std::size_t>(std::clamp(frame, 1, last) - 1)], 1,
                    1);
      }
      // A sunken box: grey on the upper and left edges, white on the lower and right ones.
      const int w = area.right;
      const int h = area.bottom;
      fillRect(dc, {0, 0, 1, h}, kEdgeGrey);
      fillRect(dc, {0, 0, w, 1}, kEdgeGrey);
      fillRect(dc, {w - 1, 0, w, h}, kEdgeWhite);
      fillRect(dc, {0, h - 1, w, h}, kEdgeWhite);
      break;
    }
  }
}

void QuorvanePViewWin32::pressPart(const Part& part, UINT message, LPARAM lParam) {
  if (!form_) return;
  const bool press =
      message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
  switch (part.kind) {
    case Part::Kind::kMark:
      if (press) form_->Img_BGM_MouseDown(part.index);
      break;
    case Part::Kind::kKindLabel:
      if (press) form_->lbl_BGM_MouseDown(part.index);
      break;
    case Part::Kind::kBox: {
      // A click is a left press and release inside the box.
      HWND box = boxes_[static_cast<std::size_t>(part.index)];
      if (message == WM_LBUTTONDOWN) {
        ::SetCapture(box);
      } else if (message == WM_LBUTTONUP && ::GetCapture() == box) {
        ::ReleaseCapture();
        RECT area{};
        ::GetClientRect(box, &area);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (::PtInRect(&area, at)) form_->Pic_m_Click(part.index);
      }
      break;
    }
    case Part::Kind::kLabel:
      break;
  }
}

HCURSOR QuorvanePViewWin32::cursorOver(HWND window) const {
  if (busy_) return ::LoadCursorA(nullptr, IDC_WAIT);
  const bool overBox = window == boxes_[0] || window == boxes_[1];
  return overBox && hand_ ? hand_ : ::LoadCursorA(nullptr, IDC_ARROW);
}

bool QuorvanePViewWin32::handleAccessKey(wchar_t typed) {
  wchar_t lower[2] = {typed, L'\0'};
  ::CharLowerW(lower);
  const std::string key = utf8Text(std::wstring_view(lower, 1));
  for (XPButtonWin32* button : {fileButton_.get(), setButton_.get(), cancelButton_.get()}) {
    if (!button->button().accessKey().empty() && button->button().accessKey() == key) {
      button->button().accessKeyPressed();
      return true;
    }
  }
  return false;
}

LRESULT QuorvanePViewWin32::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // The close box closes the way "ｷｬﾝｾﾙ" does.
      if (form_) {
        form_->closeDialog();
      } else {
        close();
      }
      return 0;
    case WM_TIMER:
      if (wParam == kAnimationTimer && form_) form_->Timer1_Timer();
      return 0;
    case WM_PRINTCLIENT: {
      RECT area{};
      ::GetClientRect(window_, &area);
      ::FillRect(reinterpret_cast<HDC>(wParam), &area, formBrush());
      return 0;
    }
    case WM_SETCURSOR:
      if (busy_) {
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      // As a dialog box does: the control that had the focus gets it back, else the first
      // control that takes it.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        focusBeforeDeactivation_ = ::IsChild(window_, focus) ? focus : nullptr;
      } else {
        HWND focus = focusBeforeDeactivation_ && ::IsWindowEnabled(focusBeforeDeactivation_)
                         ? focusBeforeDeactivation_
                         : ::GetNextDlgTabItem(window_, nullptr, FALSE);
        if (focus) {
          ::SetFocus(focus);
          return 0;
        }
      }
      break;
    case WM_DESTROY:
      if (!destroying_) {
        // Taken away by anything but the view itself: the modal run ends as after "ｷｬﾝｾﾙ".
        debugLog("dialog: the window was destroyed from outside\n");
        windowGone_ = true;
        if (form_) {
          form_->closeDialog();
        } else {
          close();
        }
      }
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK QuorvanePViewWin32::partProcedure(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
  auto* part = windowOwner<Part>(window, message, lParam);
  if (!part) return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      if (dc) part->view->paintPart(*part, window, dc);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
      part->view->pressPart(*part, message, lParam);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(part->view->cursorOver(window));
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace pellarin
