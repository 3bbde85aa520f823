// Asks a window of another program to close, as a program on Windows does: WM_CLOSE posted to
// the top-level window with the given title.
//   post_close.exe <title>
// Exit status 0 when the message was posted, 1 when no such window exists.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: post_close.exe <title>\n");
    return 2;
  }
  const HWND window = ::FindWindowA(nullptr, argv[1]);
  return window != nullptr && ::PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
}
