// A stand-in for the renderer in the host's end-to-end test under Wine, for a tree without the
// renderer's Windows form. It keeps the renderer's side of the contract with the host: a lit
// popup window titled "Quorvane_VC" that Escape and WM_CLOSE end, the process ending with it.
// PELLARIN_STAND_IN_LOG names a file that gets one line per start: the process number, the way
// the starter asked the window to be shown (STARTUPINFO) and the arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

void logStart() {
  const char* name = std::getenv("PELLARIN_STAND_IN_LOG");
  if (name == nullptr) return;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
  // What follows the program's name is the arguments.
  const wchar_t* arguments = ::GetCommandLineW();
  const wchar_t* nameEnd =
      *arguments == L'"' ? std::wcschr(arguments + 1, L'"') : std::wcspbrk(arguments, L" \t");
  arguments = nameEnd == nullptr ? L"" : nameEnd + (*nameEnd == L'"' ? 1 : 0);
  while (*arguments == L' ' || *arguments == L'\t') ++arguments;
  if (std::FILE* log = std::fopen(name, "ab")) {
    std::fprintf(log, "%lu show=%d args=[%ls]\n", ::GetCurrentProcessId(), show, arguments);
    std::fclose(log);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  logStart();
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = ::CreateSolidBrush(RGB(0xFF, 0x80, 0x20));
  windowClass.lpszClassName = L"Quorvane_VC";
  if (::RegisterClassW(&windowClass) == 0) return 0;
  const HWND window = ::CreateWindowExW(0, L"Quorvane_VC", L"Quorvane_VC", WS_POPUP, 0, 0, 320, 240,
                                        nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  ::ShowWindow(window, show);
  ::UpdateWindow(window);
  ::SetForegroundWindow(window);
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
