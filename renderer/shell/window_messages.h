#pragma once
// Window messages and key codes as the renderer's window procedure understands them. They keep
// the numbers of the Windows messages and virtual keys, so every platform adapter translates its
// own events into the same small vocabulary.

#include <cstdint>

namespace pellarin {

struct WindowMessage {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  // The window system's handle of the window the message is for, where it has one per message
  // (Windows: the thread owns more windows than the renderer's); 0 otherwise. The window
  // procedure never reads it; it only travels back to the platform.
  std::uintptr_t window = 0;
};

inline constexpr std::uint32_t kWmNull = 0x0000;
inline constexpr std::uint32_t kWmCreate = 0x0001;
inline constexpr std::uint32_t kWmDestroy = 0x0002;
inline constexpr std::uint32_t kWmSize = 0x0005;
inline constexpr std::uint32_t kWmPaint = 0x000F;
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmQuit = 0x0012;
inline constexpr std::uint32_t kWmKeyDown = 0x0100;
inline constexpr std::uint32_t kWmKeyUp = 0x0101;
// A key pressed or released while Alt is held.
inline constexpr std::uint32_t kWmSysKeyDown = 0x0104;
inline constexpr std::uint32_t kWmSysKeyUp = 0x0105;
inline constexpr std::uint32_t kWmMouseMove = 0x0200;
inline constexpr std::uint32_t kWmLButtonDown = 0x0201;
inline constexpr std::uint32_t kWmLButtonUp = 0x0202;

inline constexpr unsigned kVkEscape = 0x1B;
inline constexpr unsigned kVkSpace = 0x20;
inline constexpr unsigned kVkEnd = 0x23;
inline constexpr unsigned kVkHome = 0x24;
inline constexpr unsigned kVkLeft = 0x25;
inline constexpr unsigned kVkUp = 0x26;
inline constexpr unsigned kVkRight = 0x27;
inline constexpr unsigned kVkDown = 0x28;
inline constexpr unsigned kVkF = 0x46;
inline constexpr unsigned kVkH = 0x48;
inline constexpr unsigned kVkM = 0x4D;
inline constexpr unsigned kVkN = 0x4E;
inline constexpr unsigned kVkS = 0x53;
inline constexpr unsigned kVkW = 0x57;
inline constexpr unsigned kVkF4 = 0x73;

// Two 16-bit values packed into one message parameter, low word first, as size and pointer
// messages carry them.
inline constexpr std::intptr_t packWords(unsigned low, unsigned high) {
  return static_cast<std::intptr_t>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
inline constexpr unsigned lowWord(std::intptr_t value) {
  return static_cast<unsigned>(static_cast<std::uintptr_t>(value) & 0xFFFFu);
}
inline constexpr unsigned highWord(std::intptr_t value) {
  return static_cast<unsigned>((static_cast<std::uintptr_t>(value) >> 16) & 0xFFFFu);
}

}  // namespace pellarin
