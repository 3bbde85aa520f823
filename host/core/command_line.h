#pragma once
// How the host reads its command line: "/S", "/P <window>", "/C" and their variants, and the
// options with which a screen-saver daemon starts a hack inside a window of its own.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/core/window_id.h"

namespace pellarin {

// The second character of the command line, upper-cased; '\0' when there is none. The first
// character is never looked at, so "/s", "-s" and "xs" are alike. A character outside ASCII
// gives '?', which matches no mode.
char modeLetter(std::string_view commandLine);

// The preview's parent window: the text from the fourth character on, read as a leading number
// and rounded halves to even; 0 when there is no number or it does not fit in 32 bits.
std::int32_t previewWindowNumber(std::string_view commandLine);

// The arguments of a whole command line as the system hands it to a Windows program: the text
// after the program's name (in quotation marks, or up to the first blank or tab), without the
// blanks and tabs in front of it. This is the text the mode-letter rule reads there.
std::string_view commandLineArguments(std::string_view wholeCommandLine);

// How the renderer paces its frames; passed on to it as given.
struct RendererPacing {
  std::optional<std::uint32_t> delayMicroseconds;  // --delay: from one frame's start to the next
  std::optional<std::uint32_t> maxFps;             // --max-fps: a cap, at least 1
};

// The window that window mode runs inside.
struct WindowTarget {
  bool rootWindow = false;  // the screen's root window, looked up at start-up
  WindowId window = 0;      // otherwise this one
};

// The arguments of the host, the daemon's options taken out.
struct HostArguments {
  // What the mode-letter rule reads: the remaining arguments joined by blanks.
  std::string commandLine;
  // Set: run mode inside this window instead of the renderer's own popup.
  std::optional<WindowTarget> window;
  // A window option without a usable window number: the host cannot know where to draw.
  bool unusableWindow = false;
  RendererPacing pacing;
};

// Reads the arguments (without the program name). The daemon's options come first, in either
// spelling ("--window-id 0x2a", "-window-id=42", "--root", "-delay 20000", "--max-fps 30"),
// wherever they stand; everything else is left for the mode-letter rule.
// daemonWindow is the value of XSCREENSAVER_WINDOW, nothing when it is unset. The window:
//   --window-id <n>  window n (decimal or 0x hexadecimal); it wins over --root;
//   --root           the daemon's window when the variable holds a window number, else the root;
//   neither          the daemon's window, but only when nothing is left for the mode-letter
//                    rule: an explicit "/S", "/C" or "/P" keeps its meaning inside the daemon's
//                    environment, and a variable without a window number is ignored.
// Pacing values that are not whole numbers in range are dropped (the renderer's own pacing
// then applies).
HostArguments readHostArguments(std::span<const std::string> arguments,
                                std::optional<std::string_view> daemonWindow);

// The renderer's arguments: the window always as an explicit "--window-id <decimal>", then the
// pacing options that were given.
std::vector<std::string> rendererArguments(std::optional<WindowId> window,
                                           const RendererPacing& pacing);

}  // namespace pellarin
