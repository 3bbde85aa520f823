// A window of another program under Wine, as a screen-saver daemon or a preview would hand the
// renderer one: a managed top-level window of the given client size. Writes its handle in
// hexadecimal on the first line of the report file, then a line each time its children change
// ("children: Quorvane_VC 320x240", "children: none"), and runs until the window is closed.
//   parent_window.exe <width> <height> <report file>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT_PTR kLookTimer = 1;
constexpr UINT kLookMilliseconds = 50;

std::FILE* report = nullptr;

BOOL CALLBACK describeChild(HWND child, LPARAM text) {
  char className[64] = {};
  ::GetClassNameA(child, className, sizeof className);
  RECT area{};
  ::GetClientRect(child, &area);
  *reinterpret_cast<std::string*>(text) += std::string(" ") + className + " " +
                                           std::to_string(area.right) + "x" +
                                           std::to_string(area.bottom);
  return TRUE;
}

void reportChildren(HWND window) {
  static std::string last;
  std::string children;
  ::EnumChildWindows(window, &describeChild, reinterpret_cast<LPARAM>(&children));
  if (children.empty()) children = " none";
  if (children == last) return;
  last = children;
  std::fprintf(report, "children:%s\n", children.c_str());
  std::fflush(report);
}

LRESULT CALLBACK parentProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      reportChildren(window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (report = std::fopen(argv[3], "wb")) == nullptr) {
    std::fprintf(stderr, "usage: parent_window.exe <width> <height> <report file>\n");
    return 2;
  }
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &parentProcedure;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  // White, so that what is drawn into it shows.
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = "PellarinTestParent";
  if (::RegisterClassA(&windowClass) == 0) return 1;
  RECT area{0, 0, std::atoi(argv[1]), std::atoi(argv[2])};
  ::AdjustWindowRect(&area, WS_OVERLAPPEDWINDOW, FALSE);
  const HWND window =
      ::CreateWindowExA(0, windowClass.lpszClassName, "Pellarin test parent",
                        WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, area.right - area.left,
                        area.bottom - area.top, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 1;
  std::fprintf(report, "%#llx\n",
               static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  std::fflush(report);
  ::SetTimer(window, kLookTimer, kLookMilliseconds, nullptr);
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return 0;
}
