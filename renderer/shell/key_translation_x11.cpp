#include "renderer/shell/key_translation_x11.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

namespace pellarin {

unsigned virtualKeyFromKeysym(unsigned long keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return 0x41 + static_cast<unsigned>(keysym - XK_a);
  if (keysym >= XK_A && keysym <= XK_Z) return 0x41 + static_cast<unsigned>(keysym - XK_A);
  if (keysym >= XK_0 && keysym <= XK_9) return 0x30 + static_cast<unsigned>(keysym - XK_0);
  if (keysym >= XK_F1 && keysym <= XK_F24) return 0x70 + static_cast<unsigned>(keysym - XK_F1);
  switch (keysym) {
    case XK_BackSpace:
      return 0x08;
    case XK_Tab:
      return 0x09;
    case XK_Return:
    case XK_KP_Enter:
      return 0x0D;
    case XK_Shift_L:
    case XK_Shift_R:
      return 0x10;
    case XK_Control_L:
    case XK_Control_R:
      return 0x11;
    case XK_Alt_L:
    case XK_Alt_R:
      return 0x12;
    case XK_Pause:
      return 0x13;
    case XK_Caps_Lock:
      return 0x14;
    case XK_Escape:
      return 0x1B;
    case XK_space:
      return 0x20;
    case XK_Prior:
    case XK_KP_Prior:
      return 0x21;
    case XK_Next:
    case XK_KP_Next:
      return 0x22;
    case XK_End:
    case XK_KP_End:
      return 0x23;
    case XK_Home:
    case XK_KP_Home:
      return 0x24;
    case XK_Left:
    case XK_KP_Left:
      return 0x25;
    case XK_Up:
    case XK_KP_Up:
      return 0x26;
    case XK_Right:
    case XK_KP_Right:
      return 0x27;
    case XK_Down:
    case XK_KP_Down:
      return 0x28;
    case XK_Insert:
    case XK_KP_Insert:
      return 0x2D;
    case XK_Delete:
    case XK_KP_Delete:
      return 0x2E;
    default:
      return 0;
  }
}

unsigned altModifierMask(Display* display) {
  unsigned mask = 0;
  XModifierKeymap* map = XGetModifierMapping(display);
  if (map != nullptr) {
    for (int modifier = 0; modifier < 8; ++modifier) {
      for (int i = 0; i < map->max_keypermod; ++i) {
        const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
        if (code == 0) continue;
        const KeySym symbol = XkbKeycodeToKeysym(display, code, 0, 0);
        if (symbol == XK_Alt_L || symbol == XK_Alt_R) mask |= 1u << modifier;
      }
    }
    XFreeModifiermap(map);
  }
  return mask != 0 ? mask : Mod1Mask;
}

}  // namespace pellarin
