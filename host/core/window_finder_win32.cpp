#include <optional>
#include <string>

#include "common/text_encoding.h"
#include "common/win32_text.h"
#include "host/core/win32_adapters.h"

namespace pellarin {

namespace {

HWND toWindow(WindowId window) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

struct ChildSearch {
  std::wstring title;
  bool found = false;
};

BOOL CALLBACK compareChildTitle(HWND child, LPARAM data) {
  auto& search = *reinterpret_cast<ChildSearch*>(data);
  const int length = ::GetWindowTextLengthW(child);
  std::wstring title(static_cast<std::size_t>(length > 0 ? length + 1 : 1), L'\0');
  title.resize(static_cast<std::size_t>(
      ::GetWindowTextW(child, title.data(), static_cast<int>(title.size()))));
  search.found = title == search.title;
  return search.found ? FALSE : TRUE;
}

}  // namespace

bool WindowFinderWin32::windowWithTitleExists(std::string_view title) {
  // Both lookups are made: the first as earlier versions made it, the second for a window that
  // this version titled through the wide calls.
  const std::optional<std::string> ansi = utf8ToCp932(title);
  const bool foundByBytes = ansi && ::FindWindowA(nullptr, ansi->c_str()) != nullptr;
  const bool foundByText = ::FindWindowW(nullptr, wideText(title).c_str()) != nullptr;
  return foundByBytes || foundByText;
}

bool WindowFinderWin32::windowWithTitleExistsInside(WindowId ancestor, std::string_view title) {
  if (!windowExists(ancestor)) return false;
  ChildSearch search{wideText(title)};
  // Every descendant, not only the direct children.
  ::EnumChildWindows(toWindow(ancestor), compareChildTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool WindowFinderWin32::windowExists(WindowId window) {
  return window != 0 && ::IsWindow(toWindow(window));
}

WindowId WindowFinderWin32::rootWindow() {
  return reinterpret_cast<std::uintptr_t>(::GetDesktopWindow());
}

}  // namespace pellarin
