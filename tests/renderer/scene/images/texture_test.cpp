// Pictures uploaded as textures into a real GL context: what the GL holds afterwards is the
// picture itself, whatever its row length, and the caller's unpack alignment is left alone.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "renderer/scene/image.h"
#include "tools/render_scene/offscreen_gl.h"

namespace pellarin::testing {
namespace {

// Level 0 of the bound texture as tightly packed pixels of the image's format.
std::vector<unsigned char> textureLevelZero(const Image& image) {
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<unsigned char> texels(static_cast<size_t>(width * height * image.bytesPerPixel));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, image.format, GL_UNSIGNED_BYTE, texels.data());
  return texels;
}

TEST(CreateTexture, RowsThatAreNoMultipleOfFourBytesArriveUnshifted) {
  const auto gl = createOffscreenGl(16, 16);
  ASSERT_NE(gl, nullptr) << "no GL context on DISPLAY";
  const struct {
    int width, height;
    GLenum format;
    // One colour everywhere, for sides that are not powers of two: the mipmap builder rescales
    // those, which must not change a flat picture.
    bool flat;
  } cases[] = {{2, 8, GL_RGB, false}, {1, 4, GL_RGB, false}, {4, 4, GL_RGB, false},
               {5, 3, GL_RGB, true},  {7, 5, GL_RGB, true},  {3, 3, GL_RGBA, true},
               {2, 2, GL_RGBA, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.width << " x " << c.height << " x " << (c.format == GL_RGB ? 3 : 4));
    const auto image = makeImage(c.width, c.height, c.format);
    ASSERT_NE(image, nullptr);
    const size_t bytes = static_cast<size_t>(c.width * c.height * image->bytesPerPixel);
    for (size_t i = 0; i < bytes; ++i) {
      // Flat: the same three or four channel values in every pixel; otherwise every byte differs.
      image->pixels[i] = static_cast<unsigned char>(
          c.flat ? 40 + 70 * (i % static_cast<size_t>(image->bytesPerPixel)) : 10 + 7 * i);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    createTexture(*image);
    GLint alignment = 0, bound = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(alignment, 4) << "the caller's alignment comes back";
    EXPECT_NE(image->texture, 0u);
    EXPECT_EQ(static_cast<GLuint>(bound), image->texture);
    const std::vector<unsigned char> texels = textureLevelZero(*image);
    if (c.flat) {
      for (size_t i = 0; i < texels.size(); ++i) {
        ASSERT_EQ(texels[i], image->pixels[i % static_cast<size_t>(image->bytesPerPixel)])
            << "byte " << i;
      }
    } else {
      EXPECT_EQ(texels,
                std::vector<unsigned char>(image->pixels.get(), image->pixels.get() + bytes));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
}

}  // namespace
}  // namespace pellarin::testing
