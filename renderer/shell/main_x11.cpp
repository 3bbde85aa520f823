// The renderer program on X11.
#include "renderer/shell/renderer_platform_x11.h"
#include "renderer/shell/renderer_shell.h"

int main(int argc, char** argv) {
  const auto platform = pellarin::makeX11RendererPlatform();
  return pellarin::rendererMain(*platform, argc, argv);
}
