#include "renderer/shell/key_translation_x11.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace pellarin {
namespace {

TEST(KeyTranslation, KeysymsBecomeTheVirtualKeysTheRendererReads) {
  const struct {
    unsigned long keysym;
    unsigned key;
  } cases[] = {{XK_Escape, 0x1B}, {XK_space, 0x20}, {XK_End, 0x23},   {XK_Home, 0x24},
               {XK_Left, 0x25},   {XK_Up, 0x26},    {XK_Right, 0x27}, {XK_Down, 0x28},
               {XK_KP_Up, 0x26},  {XK_a, 0x41},     {XK_W, 0x57},     {XK_w, 0x57},
               {XK_z, 0x5A},      {XK_Z, 0x5A},     {XK_F1, 0x70},    {XK_eacute, 0},
               {XK_Multi_key, 0}};
  for (const auto& c : cases) EXPECT_EQ(virtualKeyFromKeysym(c.keysym), c.key) << c.keysym;
}

}  // namespace
}  // namespace pellarin
