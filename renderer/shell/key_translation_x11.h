#pragma once
// X keysyms to the virtual-key codes the window procedure reads.

namespace pellarin {

// 0 for a keysym the renderer has no code for.
unsigned virtualKeyFromKeysym(unsigned long keysym);

}  // namespace pellarin
