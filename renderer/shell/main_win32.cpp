// The renderer program on Windows: a GUI program, with no console of its own.
#include <windows.h>

#include <stdlib.h>

#include "renderer/shell/renderer_platform_win32.h"
#include "renderer/shell/renderer_shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const auto platform = pellarin::makeWin32RendererPlatform(instance);
  // The C runtime's split of the command line, as main would get it.
  return pellarin::rendererMain(*platform, __argc, __argv);
}
