#pragma once
// RGB pictures as PNG files.

#include <filesystem>
#include <vector>

namespace pellarin {

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;  // width x height x 3, top row first
};

// False when the file cannot be written.
bool writePng(const std::filesystem::path& path, const RgbPicture& picture);

// An 8-bit RGB or RGBA PNG as RGB; false when the file is missing or not such a PNG.
bool readPng(const std::filesystem::path& path, RgbPicture& picture);

}  // namespace pellarin
