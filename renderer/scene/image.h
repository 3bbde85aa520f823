#pragma once
// Images the renderer turns into textures: decoded from the picture file, or generated pixel by
// pixel. An image owns its pixels; its texture, once made, lives as long as the GL context.

#include <GL/gl.h>

#include <cstddef>
#include <filesystem>
#include <memory>

namespace pellarin {

struct Image {
  int width = 0;
  int height = 0;
  int bytesPerPixel = 0;  // 3 for GL_RGB, 4 for GL_RGBA
  GLenum format = GL_RGB;
  // width x height x bytesPerPixel bytes, rows packed without padding, first row first.
  std::unique_ptr<unsigned char[]> pixels;
  GLuint texture = 0;  // 0 until createTexture
};

// A new image with undefined pixel contents, or none when the size is not positive, the format is
// neither GL_RGB nor GL_RGBA, the buffer would exceed imageByteLimit(), or memory runs out.
std::unique_ptr<Image> makeImage(int width, int height, GLenum format);

// The largest pixel buffer an image may have (256 MiB by default, room for the largest picture
// the decoder accepts). Tests lower it to see what happens when memory cannot be had.
std::size_t imageByteLimit();
void setImageByteLimitForTesting(std::size_t bytes);

// Decodes a JPEG file through kVeld.dll into a GL_RGB image, or none when the file cannot be read
// or decoded (missing, not a JPEG, too large, broken data) or memory runs out.
std::unique_ptr<Image> loadJpegImage(const std::filesystem::path& path);

// Called for each pixel with its position mapped to [-1, 1) in x and y, z = 0, and the address
// of its first byte.
using PixelFunction = void (*)(float x, float y, float z, unsigned char* pixel);

// A new image whose every pixel was written by `pixel`, row by row; none if it cannot be made.
std::unique_ptr<Image> makeProceduralImage(int width, int height, GLenum format,
                                           PixelFunction pixel);

// The blue cloud pattern shown when there is no picture: red and green 0, blue 127..255 from
// six octaves of turbulence. The first call builds the noise tables from the random generator.
void fallbackPixel(float x, float y, float z, unsigned char* pixel);

// Uploads the image as a mipmapped, clamped, linearly filtered texture, stores its name in
// `texture` and leaves it bound. Needs a current GL context.
Image& createTexture(Image& image);

// Last resort when not even the fallback pattern could be allocated: a texture of one texel of
// the pattern's middle blue, made from static storage. Needs a current GL context.
GLuint createSingleTexelTexture();

}  // namespace pellarin
