#include "host/dialog/dialog_adapters_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstddef>
#include <string>

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/text_encoding.h"
#include "common/win32_text.h"

namespace pellarin {

namespace {

// The buffers of the file name and of its title part, NULs included.
constexpr DWORD kNameBuffer = 255;

// The record as it was before the fields that came later (the places bar and its flags):
// 76 bytes in a 32-bit program, the same fields at their 64-bit size here.
constexpr DWORD kRecordSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);

// The dialog's title through the wide call, so that it reads right whatever the ANSI code page:
// the narrow record can only carry it in that code page. From the dialog's first activation on,
// every title it is given becomes this one (some systems set it again after showing it).
struct TitleHook {
  HHOOK hook = nullptr;
  std::wstring title;
};
TitleHook titleHook;

// The title set the wide way, past the dialog's own procedure: a dialog of the narrow call
// would take it through its code page.
LRESULT setWideTitle(HWND dialog) {
  return ::DefWindowProcW(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(titleHook.title.c_str()));
}

LRESULT CALLBACK keepTitle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                           DWORD_PTR) {
  if (message == WM_SETTEXT) return setWideTitle(dialog);
  if (message == WM_NCDESTROY) ::RemoveWindowSubclass(dialog, keepTitle, id);
  return ::DefSubclassProc(dialog, message, wParam, lParam);
}

LRESULT CALLBACK setTitleOnActivation(int code, WPARAM wParam, LPARAM lParam) {
  const HHOOK hook = titleHook.hook;
  if (code == HCBT_ACTIVATE) {
    HWND activated = reinterpret_cast<HWND>(wParam);
    wchar_t className[16] = {};
    ::GetClassNameW(activated, className, 16);
    // The common dialogs are dialog boxes, of the system's dialog class.
    if (std::wstring_view(className) == L"#32770") {
      ::SetWindowSubclass(activated, keepTitle, 1, 0);
      setWideTitle(activated);
      ::UnhookWindowsHookEx(titleHook.hook);
      titleHook.hook = nullptr;
    }
  }
  return ::CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

std::string openFileFilter(const FileChooserRequest& request) {
  std::string patterns;
  for (const std::string& pattern : request.patterns) {
    if (!patterns.empty()) patterns += ';';
    patterns += pattern;
  }
  const std::string name = utf8ToSystemCodePage(request.filterName).value_or(patterns);
  std::string filter = name;
  filter += '\0';
  filter += patterns;
  filter += '\0';
  filter += '\0';
  return filter;
}

std::optional<std::string> FileChooserWin32::chooseFile(const FileChooserRequest& request) {
  const std::string filter = openFileFilter(request);
  const std::string title = systemCodePageLookAlike(request.title);
  // The folder in the ANSI code page; one that has no form there opens where the system
  // chooses.
  const std::optional<std::string> folder = utf8ToSystemCodePage(request.initialFolder);
  if (!folder) debugLog("file chooser: %s has no ANSI form\n", request.initialFolder.c_str());
  std::string file(kNameBuffer, '\0');
  std::string fileTitle(kNameBuffer, '\0');

  OPENFILENAMEA record{};
  record.lStructSize = kRecordSize;
  record.hwndOwner = owner_;
  record.hInstance = ::GetModuleHandleW(nullptr);
  record.lpstrFilter = filter.c_str();
  record.lpstrFile = file.data();
  record.nMaxFile = kNameBuffer;
  record.lpstrFileTitle = fileTitle.data();
  record.nMaxFileTitle = kNameBuffer;
  record.lpstrInitialDir = folder ? folder->c_str() : nullptr;
  record.lpstrTitle = title.c_str();
  record.Flags = 0;

  titleHook.title = wideText(request.title);
  titleHook.hook =
      ::SetWindowsHookExW(WH_CBT, setTitleOnActivation, nullptr, ::GetCurrentThreadId());
  const BOOL chosen = ::GetOpenFileNameA(&record);
  if (titleHook.hook) ::UnhookWindowsHookEx(titleHook.hook);
  titleHook.hook = nullptr;
  if (!chosen) {
    // Zero when the user cancelled; anything else is a failure, kept to the debug channel.
    if (const DWORD error = ::CommDlgExtendedError()) {
      debugLog("file chooser: the dialog failed: error 0x%lx\n", error);
    }
    return std::nullopt;
  }
  file.resize(file.find('\0') == std::string::npos ? file.size() : file.find('\0'));
  const std::optional<std::string> path = systemCodePageToUtf8(file);
  if (!path) debugLog("file chooser: the chosen name is no text of the ANSI code page\n");
  return path;
}

bool BrowserOpenerWin32::openDocument(const std::filesystem::path& file) {
  const std::string text = pathText(file);
  const std::optional<std::string> ansi = utf8ToSystemCodePage(text);
  if (!ansi) {
    debugLog("browser: %s has no ANSI form\n", text.c_str());
    return false;
  }
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteA(owner_, "open", ansi->c_str(), "", "", SW_SHOWNORMAL));
  // Values up to 32 are the shell's error codes.
  if (result <= 32) {
    debugLog("browser: nothing opens %s: error %lld\n", text.c_str(),
             static_cast<long long>(result));
    return false;
  }
  return true;
}

std::optional<ScreenPoint> PointerPositionWin32::pointerPosition() {
  POINT at{};
  if (!::GetCursorPos(&at)) return std::nullopt;
  return ScreenPoint{at.x, at.y};
}

}  // namespace pellarin
