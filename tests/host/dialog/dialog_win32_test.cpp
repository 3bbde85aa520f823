// The dialog's Win32 view and adapters against the real system: the title others look for, the
// font its Japanese texts need, the form's size, its track box, the file dialog's filter.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/system_names.h"
#include "common/text_encoding.h"
#include "common/win32_text.h"
#include "host/controls/text_painter_win32.h"
#include "host/dialog/dialog_adapters_win32.h"
#include "host/dialog/dialog_texts.h"
#include "host/dialog/quorvane_p_win32.h"

namespace pellarin {
namespace {

TEST(QuorvanePViewWin32, TheTitleIsFoundByItsWideFormAndByItsCodePage932Bytes) {
  const std::string bytes = utf8ToCp932(kDialogTitle).value();
  const std::wstring wide = wideText(kDialogTitle);
  {
    GdiTextPainter painter;
    QuorvanePViewWin32 view(painter);
    ASSERT_NE(view.window(), nullptr);
    EXPECT_EQ(::FindWindowW(nullptr, wide.c_str()), view.window());
    EXPECT_NE(::FindWindowA(nullptr, bytes.c_str()), nullptr) << "code page " << ::GetACP();
    wchar_t shown[32] = {};
    ::GetWindowTextW(view.window(), shown, 32);
    EXPECT_EQ(std::wstring(shown), wide);
  }
  // Gone with the dialog, in both forms.
  EXPECT_EQ(::FindWindowW(nullptr, wide.c_str()), nullptr);
  EXPECT_EQ(::FindWindowA(nullptr, bytes.c_str()), nullptr);
}

TEST(QuorvanePViewWin32, EveryJapaneseTextHasItsGlyphsInAProportionalDialogFont) {
  HFONT font = createGdiFont(QuorvanePViewWin32::dialogFont());
  ASSERT_NE(font, nullptr);
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  EXPECT_EQ(metrics.tmCharSet, SHIFTJIS_CHARSET);
  // The texts were measured in a proportional font (the bit set means proportional).
  EXPECT_TRUE(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH)
      << QuorvanePViewWin32::dialogFont().family;
  for (const char* text :
       {dialog_texts::kKindNone, dialog_texts::kKindCd, dialog_texts::kKindFile,
        dialog_texts::kRepeatLabel, dialog_texts::kSetButton, dialog_texts::kCancelButton,
        dialog_texts::kFileDialogTitle, kDialogTitle}) {
    const std::wstring wide = wideText(text);
    std::wstring glyphs(wide.size(), L'\0');
    ASSERT_NE(
        ::GetGlyphIndicesW(dc, wide.c_str(), static_cast<int>(wide.size()),
                           reinterpret_cast<WORD*>(glyphs.data()), GGI_MARK_NONEXISTING_GLYPHS),
        GDI_ERROR);
    EXPECT_EQ(glyphs.find(static_cast<wchar_t>(0xFFFF)), std::wstring::npos) << text;
  }
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(font);
}

TEST(QuorvanePViewWin32, TheFormsClientAreaAndItsTrackBox) {
  GdiTextPainter painter;
  QuorvanePViewWin32 view(painter);
  ASSERT_NE(view.window(), nullptr);
  // 7455 x 3990 twips at 15 twips a pixel (96 dots per inch here), inside the outer size.
  RECT client{};
  ::GetClientRect(view.window(), &client);
  EXPECT_EQ(client.right, 497);
  EXPECT_EQ(client.bottom, 266);
  const ScreenSize outer = view.windowSize();
  EXPECT_GT(outer.height, 266);
  view.moveWindow(40, 30);
  const std::optional<ScreenRect> rect = view.windowRect();
  ASSERT_TRUE(rect);
  EXPECT_EQ(*rect, (ScreenRect{40, 30, 40 + outer.width, 30 + outer.height}));
  const LONG style = ::GetWindowLongW(view.window(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

  // The track box keeps what it is given, typed or listed.
  for (const char* text : {"", "12", "７"}) {
    view.setRepeatText(text);
    EXPECT_EQ(view.repeatText(), text);
  }
  HWND repeat =
      ::FindWindowExW(::GetWindow(view.window(), GW_CHILD), nullptr, L"COMBOBOX", nullptr);
  ASSERT_NE(repeat, nullptr);
  view.addRepeatEntry("");
  view.addRepeatEntry("30");
  EXPECT_EQ(::SendMessageW(repeat, CB_GETCOUNT, 0, 0), 2);
}

TEST(FileChooserWin32, TheFilterHoldsItsNameAndPatternsWithTheirNuls) {
  FileChooserRequest request;
  request.patterns = {"*.MP3", "*.WAV"};
  struct Case {
    std::string name;
    std::string shown;
  };
  // A name the ANSI code page cannot hold shows the patterns rather than question marks.
  const std::optional<std::string> japanese = utf8ToSystemCodePage(dialog_texts::kFileFilterName);
  const Case cases[] = {{"Music (MP3 WAV)", "Music (MP3 WAV)"},
                        {dialog_texts::kFileFilterName, japanese.value_or("*.MP3;*.WAV")}};
  for (const Case& c : cases) {
    request.filterName = c.name;
    EXPECT_EQ(openFileFilter(request), c.shown + '\0' + "*.MP3;*.WAV" + '\0' + '\0') << c.name;
  }
}

}  // namespace
}  // namespace pellarin
