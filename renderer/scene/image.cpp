#include "renderer/scene/image.h"

#include <GL/glu.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "common/debug_log.h"
#include "libs/kveld/kveld.h"
#include "renderer/scene/math/scene_math.h"

namespace pellarin {

namespace {

std::size_t byteLimit = static_cast<std::size_t>(KVELD_MAX_PIXELS) * 4;

}  // namespace

std::size_t imageByteLimit() {
  return byteLimit;
}

void setImageByteLimitForTesting(std::size_t bytes) {
  byteLimit = bytes;
}

std::unique_ptr<Image> makeImage(int width, int height, GLenum format) {
  if (width <= 0 || height <= 0 || (format != GL_RGB && format != GL_RGBA)) return nullptr;
  const int bytesPerPixel = format == GL_RGB ? 3 : 4;
  // Checked in 64 bits: the sides come from a file header and their product may overflow int.
  const std::uint64_t bytes = static_cast<std::uint64_t>(width) *
                              static_cast<std::uint64_t>(height) *
                              static_cast<std::uint64_t>(bytesPerPixel);
  if (bytes > byteLimit) return nullptr;
  std::unique_ptr<Image> image(new (std::nothrow) Image);
  if (!image) return nullptr;
  image->pixels.reset(new (std::nothrow) unsigned char[static_cast<std::size_t>(bytes)]);
  if (!image->pixels) return nullptr;
  image->width = width;
  image->height = height;
  image->bytesPerPixel = bytesPerPixel;
  image->format = format;
  return image;
}

std::unique_ptr<Image> loadJpegImage(const std::filesystem::path& path) {
  const std::string pathText = path.string();
  // The record is large (20 KB); keep it off the stack.
  std::unique_ptr<DecoderProperties> record(new (std::nothrow) DecoderProperties);
  if (!record) return nullptr;
  std::memset(record.get(), 0, sizeof(DecoderProperties));
  if (kveldInitialise(record.get()) != KVELD_OK) {
    debugLog("picture: decoder could not be initialised\n");
    return nullptr;
  }
  record->path = pathText.c_str();
  int32_t status = kveldRead(record.get(), KVELD_MODE_PARAMETERS);
  if (status != KVELD_OK) {
    debugLog("picture: %s: header not readable (status %d)\n", pathText.c_str(), status);
    kveldRelease(record.get());
    return nullptr;
  }
  std::unique_ptr<Image> image = makeImage(record->imageWidth, record->imageHeight, GL_RGB);
  if (!image) {
    debugLog("picture: %s: no memory for %d x %d pixels\n", pathText.c_str(), record->imageWidth,
             record->imageHeight);
    kveldRelease(record.get());
    return nullptr;
  }
  record->destPixels = image->pixels.get();
  record->destColourOrder = KVELD_ORDER_RGB;
  record->destWidth = image->width;
  record->destHeight = image->height;
  record->destChannels = 3;
  status = kveldRead(record.get(), KVELD_MODE_IMAGE);
  kveldRelease(record.get());
  if (status != KVELD_OK) {
    debugLog("picture: %s: decoding failed (status %d)\n", pathText.c_str(), status);
    return nullptr;
  }
  return image;
}

std::unique_ptr<Image> makeProceduralImage(int width, int height, GLenum format,
                                           PixelFunction pixel) {
  std::unique_ptr<Image> image = makeImage(width, height, format);
  if (!image || pixel == nullptr) return nullptr;
  unsigned char* out = image->pixels.get();
  for (int r = 0; r < height; ++r) {
    const float y = static_cast<float>(r) / static_cast<float>(height) * 2.0f - 1.0f;
    for (int c = 0; c < width; ++c) {
      const float x = static_cast<float>(c) / static_cast<float>(width) * 2.0f - 1.0f;
      pixel(x, y, 0.0f, out);
      out += image->bytesPerPixel;
    }
  }
  return image;
}

void fallbackPixel(float x, float y, float, unsigned char* pixel) {
  float v = turbulence2(Vec2{x, y}, 32.0f) + 0.5f;
  if (v > 1.0f) v = 1.0f;
  pixel[0] = 0;
  pixel[1] = 0;
  pixel[2] = static_cast<unsigned char>(v * 255.99f);
}

namespace {

// A new texture name, bound to GL_TEXTURE_2D, clamped at its edges, with the given filters.
GLuint bindNewTexture(GLint magFilter, GLint minFilter) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  return name;
}

// Three-byte pixels make rows whose length is rarely a multiple of four: uploads read rows packed,
// and the caller's unpack alignment comes back afterwards.
template <typename Upload>
void uploadPacked(Upload upload) {
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  upload();
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

}  // namespace

Image& createTexture(Image& image) {
  const GLuint name = bindNewTexture(GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
  uploadPacked([&] {
    gluBuild2DMipmaps(GL_TEXTURE_2D, image.bytesPerPixel, image.width, image.height, image.format,
                      GL_UNSIGNED_BYTE, image.pixels.get());
  });
  image.texture = name;
  return image;
}

GLuint createSingleTexelTexture() {
  static const unsigned char texel[3] = {0, 0, 191};
  const GLuint name = bindNewTexture(GL_NEAREST, GL_NEAREST);
  uploadPacked(
      [] { glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel); });
  return name;
}

}  // namespace pellarin
