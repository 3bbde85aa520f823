// The Windows side of the host's end-to-end test under Wine: what only a program inside Wine
// can do or see. Each role reports through files that the test on the Linux side reads.
//   test_window parent <report>   a shown window for the preview to live in; writes its number
//                                 to <report>; when <report>.destroy appears, writes what lies
//                                 inside it (once there is something, within 20 s) to
//                                 <report>.children and destroys it: the number of
//                                 children, then of the first one its size, whether it is a
//                                 shown child window, its title and its process (another one's
//                                 or this one's)
//   test_window message <report>  waits for the host's message box, writes its caption and text
//                                 (UTF-8, one per line) to <report> and presses its OK button
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string utf8(const std::wstring& wide) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
  return text;
}

std::wstring windowText(HWND window) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(window, text, 1024);
  return text;
}

// Written whole: the reader never sees half a report.
void report(const fs::path& file, const std::string& text) {
  const fs::path part = file.string() + ".part";
  std::ofstream(part, std::ios::binary) << text;
  fs::rename(part, file);
}

void pumpFor(DWORD milliseconds) {
  const DWORD end = ::GetTickCount() + milliseconds;
  do {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    ::Sleep(10);
  } while (static_cast<LONG>(end - ::GetTickCount()) > 0);
}

int parent(const fs::path& file) {
  const HWND window =
      ::CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", L"Pellarin test parent", WS_POPUP | WS_VISIBLE,
                        40, 40, 200, 150, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return 1;
  report(file, std::to_string(reinterpret_cast<std::uintptr_t>(window)) + "\n");
  const fs::path destroy = file.string() + ".destroy";
  while (!fs::exists(destroy)) pumpFor(50);
  // A preview that is still starting gets its time.
  for (int i = 0; i < 400 && ::GetWindow(window, GW_CHILD) == nullptr; ++i) pumpFor(50);
  int count = 0;
  std::string first;
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (count++ > 0) continue;
    RECT inside{};
    ::GetClientRect(child, &inside);
    const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
    DWORD process = 0;
    ::GetWindowThreadProcessId(child, &process);
    first = std::to_string(inside.right - inside.left) + "x" +
            std::to_string(inside.bottom - inside.top) +
            ((style & (WS_CHILD | WS_VISIBLE)) == (WS_CHILD | WS_VISIBLE) ? " shown child" : " ?") +
            " \"" + utf8(windowText(child)) + "\"" +
            (process != ::GetCurrentProcessId() ? " of another process" : " of this process");
  }
  report(file.string() + ".children", std::to_string(count) + " " + first + "\n");
  ::DestroyWindow(window);
  pumpFor(200);
  return 0;
}

int message(const fs::path& file) {
  HWND box = nullptr;
  for (int i = 0; i < 400 && box == nullptr; ++i) {
    box = ::FindWindowW(L"#32770", L"Pellarin");
    if (box == nullptr) ::Sleep(50);
  }
  if (box == nullptr) return 1;
  std::string text = utf8(windowText(box)) + "\n";
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[64] = {};
    ::GetClassNameW(child, className, 64);
    if (::lstrcmpiW(className, L"Static") == 0 && !windowText(child).empty()) {
      text += utf8(windowText(child)) + "\n";
    }
  }
  report(file, text);
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string role = argv[1];
  if (role == "parent") return parent(argv[2]);
  if (role == "message") return message(argv[2]);
  return 2;
}
