#pragma once
// X keysyms to the virtual-key codes the window procedure reads, and the modifier that makes a
// key a system key.

#include <X11/Xlib.h>

namespace pellarin {

// 0 for a keysym the renderer has no code for.
unsigned virtualKeyFromKeysym(unsigned long keysym);

// The modifier bits that the Alt keys set in a key event's state under the server's current
// modifier mapping; Mod1Mask when no Alt key is mapped to a modifier.
unsigned altModifierMask(Display* display);

}  // namespace pellarin
