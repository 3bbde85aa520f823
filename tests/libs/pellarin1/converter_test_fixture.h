#pragma once
// Pellarin1.dll as the host uses it: loaded by path, ConvertBMPtoJPG looked up by name; its
// JPEG files read back through kVeld, as the renderer reads them.

#include <array>
#include <cstdint>
#include <string>

#include "libs/pellarin1/pellarin1.h"
#include "tests/libs/pellarin1/bitmap_samples.h"
#include "tests/libs/support/lib_test_support.h"

namespace pellarin::testing {

using ConvertFunction = std::int16_t(PELLARIN1_CALL*)(const char*, const char*, std::int32_t,
                                                      std::int32_t, std::int32_t);

// Four quadrants of distinct colours, so orientation and channel order both show.
inline const Rgb kQuadrants[] = {{230, 20, 20}, {20, 230, 20}, {20, 20, 230}, {240, 240, 40}};

inline Bytes quadrants(int width, int height) {
  Bytes rgb;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb& colour = kQuadrants[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
      rgb.insert(rgb.end(), colour.begin(), colour.end());
    }
  }
  return rgb;
}

class ConverterTest : public LibTestFolder {
 protected:
  static void SetUpTestSuite() {
    convert_ = reinterpret_cast<ConvertFunction>(
        findFunction(PELLARIN_BIN_DIR "/Pellarin1.dll", "ConvertBMPtoJPG"));
  }
  void SetUp() override {
    LibTestFolder::SetUp();
    ASSERT_NE(convert_, nullptr) << "Pellarin1.dll or its ConvertBMPtoJPG is missing";
    put("in.bmp", makeRgbBitmap(8, 8, quadrants(8, 8)));
  }

  // The host passes -1, 100, -1.
  std::int16_t convert(const std::string& bmp, const std::string& jpg,
                       std::int32_t subsampling = -1, std::int32_t quality = 100,
                       std::int32_t flags = -1) {
    return convert_(bmp.c_str(), jpg.c_str(), subsampling, quality, flags);
  }
  std::int16_t convert(const char* bmpName, const char* jpgName) {
    return convert(path(bmpName).string(), path(jpgName).string());
  }

  // The JPEG decodes through kVeld to the quadrants at width x height.
  void expectQuadrants(const std::string& jpgName, int width, int height) {
    RgbImage image;
    ASSERT_EQ(KveldReader().decode(path(jpgName).string(), image), 0) << jpgName;
    ASSERT_EQ(std::make_pair(image.width, image.height), std::make_pair(width, height));
    for (int q = 0; q < 4; ++q) {
      const int x = q % 2 == 0 ? 2 : width - 3;
      const int y = q < 2 ? 2 : height - 3;
      for (std::size_t c = 0; c < 3; ++c) {
        EXPECT_NEAR(image.at(x, y)[c], kQuadrants[q][c], 8) << x << ',' << y;
      }
    }
  }

  static inline ConvertFunction convert_ = nullptr;
};

}  // namespace pellarin::testing
