#pragma once
// Small JPEG files made on the spot with the TurboJPEG compressor, for tests that need pictures.

#include <turbojpeg.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <vector>

namespace pellarin::testing {

using Bytes = std::vector<unsigned char>;

// Encodes width x height RGB pixels given by `pixel(column, row, rgb)` as a baseline JPEG
// without chroma subsampling, so that flat colours survive almost unchanged.
inline Bytes makeJpeg(int width, int height,
                      const std::function<void(int, int, unsigned char*)>& pixel) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c) pixel(c, r, &rgb[(static_cast<size_t>(r) * width + c) * 3]);
  tjhandle encoder = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int status = tjCompress2(encoder, rgb.data(), width, width * 3, height, TJPF_RGB, &out,
                                 &size, TJSAMP_444, 95, 0);
  tjDestroy(encoder);
  Bytes jpeg(out, out + (status == 0 ? size : 0));
  tjFree(out);
  if (jpeg.empty()) throw std::runtime_error("tjCompress2 failed");
  return jpeg;
}

// Left half pure red, right half pure blue.
inline Bytes makeRedBlueJpeg(int width, int height) {
  return makeJpeg(width, height, [width](int c, int, unsigned char* p) {
    p[0] = c < width / 2 ? 255 : 0;
    p[1] = 0;
    p[2] = c < width / 2 ? 0 : 255;
  });
}

// Rewrites the frame header so that it declares `width` x `height`; the data stays as it was.
inline Bytes withDeclaredSize(Bytes jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2) {
      jpeg[i + 5] = static_cast<unsigned char>(height >> 8);
      jpeg[i + 6] = static_cast<unsigned char>(height & 0xFF);
      jpeg[i + 7] = static_cast<unsigned char>(width >> 8);
      jpeg[i + 8] = static_cast<unsigned char>(width & 0xFF);
      return jpeg;
    }
  }
  throw std::runtime_error("no frame header");
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace pellarin::testing
