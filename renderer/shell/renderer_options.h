#pragma once
// The renderer's command line. Without options it is the standalone screen saver: its own popup
// over the screen, the keyboard grabbed, the pointer hidden, frames as fast as they come. A
// screen-saver daemon instead hands it a window to draw into and asks for a frame rate:
//
//   Pellarin2.dll [--window-id <id>] [--root] [--delay <microseconds>] [--max-fps <n>]
//
// Each option may also be spelled with one dash. Anything else on the line is ignored.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "renderer/shell/renderer_platform.h"

namespace pellarin {

enum class WindowTarget {
  Popup,      // the standalone program's own popup window
  Given,      // a child of the window named by windowText
  ScreenRoot  // a child of the screen's root window
};

struct RendererOptions {
  WindowTarget target = WindowTarget::Popup;
  // For WindowTarget::Given: the id as written, and its value; none when the text is no window id
  // (empty, not a number, 0, too large).
  std::string windowText;
  std::optional<NativeWindowId> windowId;
  std::optional<std::int64_t> delayMicroseconds;  // between frame starts; 0: no delay
  std::optional<double> maxFramesPerSecond;       // 0: no cap
  // Arguments that were left alone: unknown ones and options whose value made no sense.
  std::vector<std::string> ignored;
};

// `arguments` excludes the program name. `screenSaverWindow` is the daemon's window variable
// (XSCREENSAVER_WINDOW) or null; --root means that window when it is set, else the screen's
// root. --window-id wins over --root; a later value of the same option wins over an earlier one.
RendererOptions parseRendererOptions(std::span<const char* const> arguments,
                                     const char* screenSaverWindow);

// A window id in decimal or in hexadecimal after "0x"; none for anything else, and for 0, which
// names no window.
std::optional<NativeWindowId> parseWindowId(const std::string& text);

// The shortest time between two frame starts, in microseconds, 0 for none. --delay and
// --max-fps each set a floor and the larger one holds. Without either, a window given by a
// daemon is drawn at most at the monitor's refresh rate (`refreshRate` in Hz; 60 when it is 0,
// unknown), and the standalone popup as fast as it can.
std::int64_t frameIntervalMicroseconds(const RendererOptions& options, double refreshRate);

}  // namespace pellarin
