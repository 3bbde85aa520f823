#pragma once
// What the two libraries' tests share on every platform: a fresh folder per test, whole files,
// functions found in a library by name, JPEG samples, and kVeld driven as the renderer drives it.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "libs/kveld/kveld.h"
#include "tests/common/temp_folder.h"

namespace pellarin::testing {

using Bytes = std::vector<std::uint8_t>;

// The shared test folder, with the libraries' byte-vector helpers.
class LibTestFolder : public TempFolderTest {
 protected:
  // Writes `bytes` as the file `name` in the folder; its path as 8-bit text.
  std::string put(const std::string& name, const Bytes& bytes) const;
  // Names in the folder, sorted.
  std::vector<std::string> entries() const;
};

Bytes readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const Bytes& bytes);

// The address of `name` in the library at `path`, which stays loaded; null when either is
// missing. One adapter per platform (library_posix.cpp, library_win32.cpp).
void* findFunction(const std::string& path, const char* name);

// Encodes width x height pixels given by `pixel(column, row, rgb)` with the libraries' own
// codec, 4:4:4 at quality 95, so that flat colours survive almost unchanged.
Bytes makeJpeg(int width, int height, const std::function<void(int, int, std::uint8_t*)>& pixel);
// A 16 x 16 JPEG made by another encoder: quadrants red, green (top), blue, white (bottom).
Bytes knownQuadrantJpeg();
// A baseline JPEG with its frame header declaring width x height.
Bytes withDeclaredSize(Bytes jpeg, std::uint16_t width, std::uint16_t height);
// The offset of the first marker `code` (the FF before it) at or after `from`.
std::size_t markerOffset(const Bytes& jpeg, std::uint8_t code, std::size_t from = 2);

struct RgbImage {
  int width = 0, height = 0;
  Bytes rgb;
  const std::uint8_t* at(int column, int row) const {
    return &rgb[(static_cast<std::size_t>(row) * width + column) * 3];
  }
};

// kVeld's record, driven the way the renderer drives it.
class KveldReader {
 public:
  // A zeroed, initialised record pointing at `file`.
  DecoderProperties* open(const std::string& file);
  // Points the record at a destination; the defaults are what the renderer asks for.
  static void aim(DecoderProperties* record, std::uint8_t* pixels, std::int32_t width,
                  std::int32_t height, std::int32_t channels = 3,
                  std::int32_t order = KVELD_ORDER_RGB);
  // The renderer's sequence on `file`: the first failing status or 0, with the image.
  std::int32_t decode(const std::string& file, RgbImage& image);

 private:
  std::unique_ptr<DecoderProperties> record_;
  std::string path_;
};

}  // namespace pellarin::testing
