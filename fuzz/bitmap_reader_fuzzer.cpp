// Fuzzes the bitmap reader with the input as the file's bytes.
//
// Checked for every picture it reads: a size within its limits and exactly three bytes a pixel;
// bytes after the picture change nothing; and, for 24- and 32-bit pictures, pixel data of all
// zero bits reads as black and of all one bits as full intensity in every channel that has bits.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "libs/pellarin1/bitmap_reader.h"

namespace pellarin {
namespace {

std::uint32_t le16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8;
}

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return le16(bytes, at) | le16(bytes, at + 2) << 16;
}

// Reads the file again with every pixel byte set to `fill` (the file format's header fields:
// the pixel data's offset at 10, the bit count at 28, the compression at 30, the masks at 54).
void checkFlatPicture(std::vector<std::uint8_t> file, const DecodedBitmap& picture,
                      std::uint8_t fill) {
  const std::uint32_t bitCount = le16(file, 28);
  const std::uint32_t compression = le32(file, 30);
  if (bitCount != 24 && bitCount != 32) return;
  const std::uint32_t offset = le32(file, 10);
  // Only the pixel rows are rewritten; masks that share their bytes change with them.
  for (std::size_t i = offset; i < file.size(); ++i) file[i] = fill;
  std::array<bool, 3> hasBits = {true, true, true};
  if (bitCount == 32 && compression == 3) {
    for (std::size_t i = 0; i < 3; ++i) hasBits[i] = le32(file, 54 + i * 4) != 0;
  }
  const std::optional<DecodedBitmap> flat = decodeBitmap(file);
  FUZZ_CHECK(flat.has_value(), "the same bitmap with other pixel values is refused");
  FUZZ_CHECK(flat->width == picture.width && flat->height == picture.height,
             "other pixel values change the size");
  for (std::size_t i = 0; i < flat->rgb.size(); ++i) {
    const std::uint8_t expected = fill != 0 && hasBits[i % 3] ? 255 : 0;
    FUZZ_CHECK(flat->rgb[i] == expected,
               "%u-bit pixel of all bits %u gives %u in channel %zu, not %u", bitCount, fill & 1,
               flat->rgb[i], i % 3, expected);
  }
}

}  // namespace
}  // namespace pellarin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pellarin;
  const std::vector<std::uint8_t> file(data, data + size);
  const std::optional<DecodedBitmap> picture = decodeBitmap(file);
  if (!picture) return 0;

  FUZZ_CHECK(size >= 54 && data[0] == 'B' && data[1] == 'M', "read a file that is no bitmap");
  FUZZ_CHECK(picture->width > 0 && picture->height > 0 && picture->width <= 65536 &&
                 picture->height <= 65536 &&
                 std::uint64_t(picture->width) * std::uint64_t(picture->height) <= (1u << 26),
             "picture of %d x %d", picture->width, picture->height);
  FUZZ_CHECK(picture->rgb.size() == std::size_t(picture->width) * picture->height * 3,
             "%zu bytes for %d x %d pixels", picture->rgb.size(), picture->width, picture->height);

  std::vector<std::uint8_t> longer = file;
  longer.insert(longer.end(), {0xFF, 0x00, 0x7F, 0x80});
  const std::optional<DecodedBitmap> again = decodeBitmap(longer);
  FUZZ_CHECK(again && again->width == picture->width && again->height == picture->height &&
                 again->rgb == picture->rgb,
             "bytes after the picture change what is read");

  pellarin::checkFlatPicture(file, *picture, 0x00);
  pellarin::checkFlatPicture(file, *picture, 0xFF);
  return 0;
}
