// Fuzzes the JPEG library through its three operations, as the renderer calls them, over a file
// in a private folder holding the input.
//
// Checked: the parameter read gives a size within the library's limit or fails; a destination
// that does not match the image is refused and left untouched; the whole-image read fills a
// buffer of exactly the reported size (the sanitizer sees any write past it); reading the same
// file twice gives the same pixels; a record is refused once released and cannot be prepared
// twice. Leaks show at the end of each input.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "libs/kveld/kveld.h"

namespace {

// Larger pictures are real but slow: they would spend the run decoding rather than exploring.
constexpr long kMostPixelsDecoded = 1L << 22;
// Small pictures are decoded twice, to see that the result does not depend on the call.
constexpr long kMostPixelsDecodedTwice = 1L << 16;
constexpr unsigned char kUntouched = 0xA5;

struct Record {
  std::unique_ptr<DecoderProperties> properties = std::make_unique<DecoderProperties>();
  Record() { std::memset(properties.get(), 0, sizeof(DecoderProperties)); }
  DecoderProperties* operator->() { return properties.get(); }
  DecoderProperties* get() { return properties.get(); }
};

void describe(DecoderProperties* record, std::vector<unsigned char>& pixels, int width,
              int height) {
  record->destPixels = pixels.data();
  record->destColourOrder = KVELD_ORDER_RGB;
  record->destWidth = width;
  record->destHeight = height;
  record->destChannels = 3;
}

// One load as the renderer makes it; the pixels, or nothing when the library refuses the file.
std::optional<std::vector<unsigned char>> load(const std::string& path, int& width, int& height) {
  Record record;
  FUZZ_CHECK(kveldInitialise(record.get()) == KVELD_OK, "initialise failed");
  FUZZ_CHECK(kveldInitialise(record.get()) != KVELD_OK, "a live record was prepared again");
  record->path = path.c_str();
  if (kveldRead(record.get(), KVELD_MODE_PARAMETERS) != KVELD_OK) {
    kveldRelease(record.get());
    return std::nullopt;
  }
  width = record->imageWidth;
  height = record->imageHeight;
  FUZZ_CHECK(width > 0 && height > 0 && long(width) * height <= KVELD_MAX_PIXELS,
             "parameter read gave %d x %d", width, height);
  if (long(width) * height > kMostPixelsDecoded) {
    kveldRelease(record.get());
    return std::nullopt;
  }
  // The parameters again: the file held from the first read is let go, not leaked.
  FUZZ_CHECK(kveldRead(record.get(), KVELD_MODE_PARAMETERS) == KVELD_OK &&
                 record->imageWidth == width && record->imageHeight == height,
             "second parameter read differs");

  const std::size_t bytes = std::size_t(width) * std::size_t(height) * 3;
  std::vector<unsigned char> pixels(bytes, kUntouched);
  for (int wrong = 0; wrong < 2; ++wrong) {
    std::vector<unsigned char> small(bytes - 3, kUntouched);
    describe(record.get(), small, wrong == 0 ? width - 1 : width, wrong == 0 ? height : height - 1);
    FUZZ_CHECK(kveldRead(record.get(), KVELD_MODE_IMAGE) != KVELD_OK,
               "a destination smaller than the image was accepted");
    for (unsigned char byte : small) FUZZ_CHECK(byte == kUntouched, "a refused read wrote pixels");
  }
  describe(record.get(), pixels, width, height);
  record->destChannels = 4;
  FUZZ_CHECK(kveldRead(record.get(), KVELD_MODE_IMAGE) != KVELD_OK, "four channels accepted");
  record->destChannels = 3;
  for (int32_t mode : {1, 3, -1}) {
    FUZZ_CHECK(kveldRead(record.get(), mode) != KVELD_OK, "mode %d accepted", mode);
  }

  const int32_t status = kveldRead(record.get(), KVELD_MODE_IMAGE);
  FUZZ_CHECK(kveldRelease(record.get()) == KVELD_OK, "release failed");
  FUZZ_CHECK(kveldRead(record.get(), KVELD_MODE_PARAMETERS) != KVELD_OK,
             "a released record was read");
  FUZZ_CHECK(kveldRelease(record.get()) != KVELD_OK, "a record was released twice");
  if (status != KVELD_OK) return std::nullopt;
  return pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = (pellarin::fuzz::privateFolder() / "Pellarin.dat").string();
  pellarin::fuzz::writeFile(path, {reinterpret_cast<const char*>(data), size});

  int width = 0;
  int height = 0;
  const std::optional<std::vector<unsigned char>> pixels = load(path, width, height);
  if (!pixels || long(width) * height > kMostPixelsDecodedTwice) return 0;
  int widthAgain = 0;
  int heightAgain = 0;
  const std::optional<std::vector<unsigned char>> again = load(path, widthAgain, heightAgain);
  FUZZ_CHECK(again && *again == *pixels, "the same file decodes differently");
  return 0;
}
