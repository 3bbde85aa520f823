// Writes the binary seeds of the fuzz corpora: small JPEG files (with the TurboJPEG compressor)
// into <corpus>/kveld/ and small bitmaps of every kind the reader knows into
// <corpus>/bitmap_reader/.
//
//   cmake --build build-fuzz --target make_fuzz_corpus && build-fuzz/fuzz/make_fuzz_corpus
//   fuzz/corpus

#include <turbojpeg.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void save(const std::filesystem::path& file, const Bytes& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes jpeg(int width, int height, int subsampling, int flags, int quality) {
  Bytes rgb(static_cast<std::size_t>(width) * height * 3);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      unsigned char* p = &rgb[(static_cast<std::size_t>(r) * width + c) * 3];
      p[0] = static_cast<unsigned char>(c * 255 / width);
      p[1] = static_cast<unsigned char>(r * 255 / height);
      p[2] = static_cast<unsigned char>((c + r) % 2 * 200);
    }
  }
  tjhandle encoder = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int status = tjCompress2(encoder, rgb.data(), width, width * 3, height, TJPF_RGB, &out,
                                 &size, subsampling, quality, flags);
  tjDestroy(encoder);
  Bytes result(out, out + (status == 0 ? size : 0));
  tjFree(out);
  if (result.empty()) std::fprintf(stderr, "tjCompress2: %s\n", tjGetErrorStr());
  return result;
}

// Two stray bytes before the start-of-scan marker: a standard decoder warns and goes on.
Bytes withStrayBytes(Bytes file) {
  for (std::size_t i = 2; i + 1 < file.size(); ++i) {
    if (file[i] == 0xFF && file[i + 1] == 0xDA) {
      file.insert(file.begin() + static_cast<std::ptrdiff_t>(i), {0x00, 0x00});
      break;
    }
  }
  return file;
}

void put16(Bytes& bytes, std::uint32_t value) {
  bytes.push_back(static_cast<unsigned char>(value));
  bytes.push_back(static_cast<unsigned char>(value >> 8));
}

void put32(Bytes& bytes, std::uint32_t value) {
  put16(bytes, value & 0xFFFF);
  put16(bytes, value >> 16);
}

struct Bitmap {
  int width = 2;
  int height = 2;  // negative: rows top to bottom
  int bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t headerSize = 40;
  std::uint32_t coloursUsed = 0;
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::vector<std::uint32_t> masks;    // after a 40-byte header, or inside a longer one
  unsigned char pixelBits = 0xFF;      // keeps palette indexes within a short palette
};

// A bitmap file whose pixel bytes count up from 0x11 in steps of 0x1D.
Bytes bitmap(const Bitmap& b) {
  const int rows = b.height < 0 ? -b.height : b.height;
  const std::uint32_t rowSize = (static_cast<std::uint32_t>(b.width) * b.bitCount + 31) / 32 * 4;
  const bool masksAfterHeader = b.headerSize == 40 && !b.masks.empty();
  const std::uint32_t pixelOffset = 14 + b.headerSize +
                                    static_cast<std::uint32_t>(b.palette.size()) * 4 +
                                    (masksAfterHeader ? 12 : 0);
  Bytes file = {'B', 'M'};
  put32(file, pixelOffset + rowSize * rows);
  put32(file, 0);
  put32(file, pixelOffset);
  put32(file, b.headerSize);
  put32(file, static_cast<std::uint32_t>(b.width));
  put32(file, static_cast<std::uint32_t>(b.height));
  put16(file, 1);
  put16(file, static_cast<std::uint32_t>(b.bitCount));
  put32(file, b.compression);
  put32(file, rowSize * rows);
  put32(file, 2835);
  put32(file, 2835);
  put32(file, b.coloursUsed);
  put32(file, 0);
  for (std::uint32_t mask : b.masks) put32(file, mask);
  while (file.size() < 14 + b.headerSize) file.push_back(0);
  for (std::uint32_t colour : b.palette) put32(file, colour);
  for (std::uint32_t i = 0; i < rowSize * rows; ++i) {
    file.push_back(static_cast<unsigned char>((0x11 + i * 0x1D) & b.pixelBits));
  }
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path corpus = argv[1];

  const std::filesystem::path jpegs = corpus / "kveld";
  const Bytes small = jpeg(8, 8, TJSAMP_444, 0, 90);
  save(jpegs / "rgb-444-8x8.jpg", small);
  save(jpegs / "rgb-420-16x16.jpg", jpeg(16, 16, TJSAMP_420, 0, 75));
  save(jpegs / "grey-17x5.jpg", jpeg(17, 5, TJSAMP_GRAY, 0, 80));
  save(jpegs / "progressive-422-24x16.jpg", jpeg(24, 16, TJSAMP_422, TJFLAG_PROGRESSIVE, 70));
  save(jpegs / "rgb-411-44x8.jpg", jpeg(44, 8, TJSAMP_411, 0, 50));
  save(jpegs / "stray-bytes-8x8.jpg", withStrayBytes(small));
  save(jpegs / "cut-short-8x8.jpg", Bytes(small.begin(), small.end() - small.size() / 3));

  const std::filesystem::path bitmaps = corpus / "bitmap_reader";
  save(bitmaps / "24bit-3x2.bmp", bitmap({.width = 3, .height = 2}));
  save(bitmaps / "24bit-top-down-2x3.bmp", bitmap({.width = 2, .height = -3}));
  save(bitmaps / "32bit-2x2.bmp", bitmap({.bitCount = 32}));
  save(bitmaps / "32bit-fields-3x2.bmp", bitmap({.width = 3,
                                                 .bitCount = 32,
                                                 .compression = 3,
                                                 .masks = {0x00FF0000, 0x0000FF00, 0x000000FF}}));
  save(bitmaps / "32bit-fields-v4-2x2.bmp",
       bitmap({.height = -2,
               .bitCount = 32,
               .compression = 3,
               .headerSize = 108,
               .masks = {0x0000F800, 0x000007E0, 0x0000001F}}));
  save(bitmaps / "8bit-4-colours-3x3.bmp",
       bitmap({.width = 3,
               .height = 3,
               .bitCount = 8,
               .coloursUsed = 4,
               .palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
               .pixelBits = 0x03}));
  save(bitmaps / "4bit-5x2.bmp",
       bitmap({.width = 5, .bitCount = 4, .palette = std::vector<std::uint32_t>(16, 0x336699)}));
  save(bitmaps / "1bit-9x2.bmp",
       bitmap({.width = 9, .bitCount = 1, .palette = {0x000000, 0xFFFFFF}}));
  return 0;
}
