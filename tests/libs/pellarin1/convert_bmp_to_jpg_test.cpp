// Pellarin1.dll as the host uses it: loaded by path, ConvertBMPtoJPG looked up by name.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <turbojpeg.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/core/bitmap_file.h"
#include "libs/pellarin1/bitmap_reader.h"
#include "libs/pellarin1/pellarin1.h"

namespace pellarin {
namespace {

using ConvertFunction = std::int16_t (*)(const char*, const char*, std::int32_t, std::int32_t,
                                         std::int32_t);

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

struct Decoded {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

std::optional<Decoded> decodeJpeg(const std::string& bytes) {
  tjhandle decoder = tjInitDecompress();
  Decoded out;
  int subsampling = 0;
  int colourspace = 0;
  auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  bool ok = tjDecompressHeader3(decoder, data, bytes.size(), &out.width, &out.height, &subsampling,
                                &colourspace) == 0;
  if (ok) {
    out.rgb.resize(static_cast<std::size_t>(out.width * out.height * 3));
    ok = tjDecompress2(decoder, data, bytes.size(), out.rgb.data(), out.width, 0, out.height,
                       TJPF_RGB, 0) == 0;
  }
  tjDestroy(decoder);
  if (!ok) return std::nullopt;
  return out;
}

// Four quadrants of distinct colours, so orientation and channel order both show.
std::vector<std::uint8_t> quadrants(int width, int height) {
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2;
      const bool bottom = y >= height / 2;
      if (!right && !bottom) rgb.insert(rgb.end(), {230, 20, 20});
      if (right && !bottom) rgb.insert(rgb.end(), {20, 230, 20});
      if (!right && bottom) rgb.insert(rgb.end(), {20, 20, 230});
      if (right && bottom) rgb.insert(rgb.end(), {240, 240, 40});
    }
  }
  return rgb;
}

void expectNear(const Decoded& image, int x, int y, std::array<int, 3> rgb) {
  const std::uint8_t* p = &image.rgb[static_cast<std::size_t>((y * image.width + x) * 3)];
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(p[c], rgb[static_cast<std::size_t>(c)], 6) << x << ',' << y;
}

class ConverterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    library_ = dlopen(PELLARIN_BIN_DIR "/Pellarin1.dll", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    convert_ = reinterpret_cast<ConvertFunction>(dlsym(library_, "ConvertBMPtoJPG"));
    ASSERT_NE(convert_, nullptr);
  }
  static void TearDownTestSuite() { dlclose(library_); }
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellarin1-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::int16_t convert(const std::filesystem::path& bmp, const std::filesystem::path& jpg,
                       std::int32_t subsampling = -1, std::int32_t quality = 100,
                       std::int32_t flags = -1) {
    return convert_(bmp.c_str(), jpg.c_str(), subsampling, quality, flags);
  }
  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  static inline void* library_ = nullptr;
  static inline ConvertFunction convert_ = nullptr;
  std::filesystem::path folder_;
};

TEST_F(ConverterTest, RoundTripKeepsSizeColoursAndOrientation) {
  const std::vector<std::uint8_t> rgb = quadrants(44, 128);
  ASSERT_TRUE(writeBitmapFile(folder_ / "Dumy.bmp", PictureView{44, 128, rgb}));
  ASSERT_EQ(convert(folder_ / "Dumy.bmp", folder_ / "Pellarin.dat"), kPellarin1Ok);
  const std::optional<Decoded> image = decodeJpeg(readFile(folder_ / "Pellarin.dat"));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width, 44);
  EXPECT_EQ(image->height, 128);
  expectNear(*image, 5, 5, {230, 20, 20});
  expectNear(*image, 38, 5, {20, 230, 20});
  expectNear(*image, 5, 120, {20, 20, 230});
  expectNear(*image, 38, 120, {240, 240, 40});
  EXPECT_EQ(folderEntries(), (std::vector<std::string>{"Dumy.bmp", "Pellarin.dat"}));
}

// A top-down bitmap (negative height) with rows padded to four bytes, written by hand.
std::string topDownBitmap24(int width, int height, const std::vector<std::uint8_t>& rgb) {
  const int row = (width * 3 + 3) / 4 * 4;
  std::string file(54 + static_cast<std::size_t>(row * height), '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      file[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(-height));
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t at = 54 + static_cast<std::size_t>(y * row + x * 3);
      const std::size_t from = static_cast<std::size_t>((y * width + x) * 3);
      file[at] = static_cast<char>(rgb[from + 2]);
      file[at + 1] = static_cast<char>(rgb[from + 1]);
      file[at + 2] = static_cast<char>(rgb[from]);
    }
  }
  return file;
}

TEST_F(ConverterTest, ReadsTopDownBitmapsTheRightWayUp) {
  const std::vector<std::uint8_t> rgb = quadrants(30, 18);
  writeFile(folder_ / "in.bmp", topDownBitmap24(30, 18, rgb));
  ASSERT_EQ(convert(folder_ / "in.bmp", folder_ / "out.jpg"), kPellarin1Ok);
  const std::optional<Decoded> image = decodeJpeg(readFile(folder_ / "out.jpg"));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width, 30);
  EXPECT_EQ(image->height, 18);
  expectNear(*image, 2, 2, {230, 20, 20});
  expectNear(*image, 27, 15, {240, 240, 40});
}

TEST_F(ConverterTest, MissingOrCorruptBitmapsWriteNothing) {
  const std::vector<std::uint8_t> rgb = quadrants(16, 16);
  ASSERT_TRUE(writeBitmapFile(folder_ / "good.bmp", PictureView{16, 16, rgb}));
  const std::string good = readFile(folder_ / "good.bmp");

  EXPECT_EQ(convert(folder_ / "missing.bmp", folder_ / "a.jpg"), kPellarin1BitmapUnreadable);
  EXPECT_EQ(convert(folder_, folder_ / "a.jpg"), kPellarin1BitmapUnreadable);  // a folder

  const std::string corrupt[] = {
      "",
      "BM",
      "not a bitmap at all, but long enough to hold the two headers of one......",
      good.substr(0, good.size() - 1),  // cut short by one byte
      "XY" + good.substr(2),            // wrong signature
  };
  for (const std::string& bytes : corrupt) {
    writeFile(folder_ / "bad.bmp", bytes);
    EXPECT_EQ(convert(folder_ / "bad.bmp", folder_ / "a.jpg"), kPellarin1BitmapInvalid)
        << bytes.size();
  }
  std::string hugeWidth = good;
  hugeWidth[21] = 0x7F;  // width 0x7F000010
  writeFile(folder_ / "bad.bmp", hugeWidth);
  EXPECT_EQ(convert(folder_ / "bad.bmp", folder_ / "a.jpg"), kPellarin1BitmapInvalid);

  EXPECT_EQ(folderEntries(), (std::vector<std::string>{"bad.bmp", "good.bmp"}));
}

TEST_F(ConverterTest, AFailedConversionLeavesTheEarlierPictureAsItWas) {
  const std::vector<std::uint8_t> rgb = quadrants(8, 8);
  ASSERT_TRUE(writeBitmapFile(folder_ / "in.bmp", PictureView{8, 8, rgb}));
  ASSERT_EQ(convert(folder_ / "in.bmp", folder_ / "Pellarin.dat"), kPellarin1Ok);
  const std::string before = readFile(folder_ / "Pellarin.dat");
  writeFile(folder_ / "in.bmp", "BMbroken");
  EXPECT_NE(convert(folder_ / "in.bmp", folder_ / "Pellarin.dat"), kPellarin1Ok);
  EXPECT_EQ(readFile(folder_ / "Pellarin.dat"), before);
}

TEST_F(ConverterTest, AnUnwritableTargetReportsAWriteFailureAndLeavesNoTemporaryFile) {
  const std::vector<std::uint8_t> rgb = quadrants(8, 8);
  ASSERT_TRUE(writeBitmapFile(folder_ / "in.bmp", PictureView{8, 8, rgb}));
  std::filesystem::create_directories(folder_ / "taken");  // a folder in the JPEG's place
  EXPECT_EQ(convert(folder_ / "in.bmp", folder_ / "taken"), kPellarin1WriteFailed);
  EXPECT_EQ(convert(folder_ / "in.bmp", folder_ / "no" / "x.jpg"), kPellarin1WriteFailed);
  EXPECT_EQ(folderEntries(), (std::vector<std::string>{"in.bmp", "taken"}));
}

TEST_F(ConverterTest, OptionsOutsideTheirRangesAreRefused) {
  const std::vector<std::uint8_t> rgb = quadrants(8, 8);
  ASSERT_TRUE(writeBitmapFile(folder_ / "in.bmp", PictureView{8, 8, rgb}));
  const std::filesystem::path out = folder_ / "o.jpg";
  EXPECT_EQ(convert(folder_ / "in.bmp", out, 6, 100, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert(folder_ / "in.bmp", out, -2, 100, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert(folder_ / "in.bmp", out, -1, 0, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert(folder_ / "in.bmp", out, -1, 101, -1), kPellarin1BadArgument);
  EXPECT_EQ(convert(folder_ / "in.bmp", out, -1, 100, 4), kPellarin1BadArgument);
  EXPECT_EQ(convert_(nullptr, out.c_str(), -1, 100, -1), kPellarin1BadArgument);
  EXPECT_FALSE(std::filesystem::exists(out));
  // Every documented choice works and decodes.
  for (std::int32_t subsampling : {-1, 0, 1, 2, 3, 4, 5}) {
    ASSERT_EQ(convert(folder_ / "in.bmp", out, subsampling, -1, kPellarin1FlagProgressive),
              kPellarin1Ok);
    EXPECT_TRUE(decodeJpeg(readFile(out)).has_value()) << subsampling;
  }
}

TEST(BitmapReader, ReadsPalettedAndThirtyTwoBitBitmaps) {
  // 3 x 2, 8 bits with a two-colour palette, bottom-up: the bottom row comes first.
  std::vector<std::uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0,
                                    3,   0,   0, 0, 2, 0, 0, 0, 1, 0, 8,  0, 0, 0, 0,  0, 0, 0,
                                    0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 2,  0, 0, 0, 0,  0, 0, 0};
  file.insert(file.end(), {0, 0, 255, 0, 255, 0, 0, 0});  // palette: red, blue (B, G, R, 0)
  file.insert(file.end(), {1, 1, 1, 0});                  // bottom row: blue
  file.insert(file.end(), {0, 1, 0, 0});                  // top row: red, blue, red
  const std::optional<DecodedBitmap> paletted = decodeBitmap(file);
  ASSERT_TRUE(paletted.has_value());
  EXPECT_EQ(paletted->rgb, (std::vector<std::uint8_t>{255, 0, 0, 0, 0, 255, 255, 0, 0,  //
                                                      0, 0, 255, 0, 0, 255, 0, 0, 255}));
  file[file.size() - 4] = 2;  // an index past the palette
  EXPECT_FALSE(decodeBitmap(file).has_value());

  // 1 x 1, 32 bits with bit-field masks that put red in the low byte.
  std::vector<std::uint8_t> wide = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 66, 0, 0, 0, 40, 0, 0, 0,
                                    1,   0,   0, 0, 1, 0, 0, 0, 1, 0, 32, 0, 3, 0, 0,  0, 0, 0,
                                    0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0};
  wide.insert(wide.end(), {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0});  // masks R, G, B
  wide.insert(wide.end(), {10, 20, 30, 0});
  const std::optional<DecodedBitmap> bitfields = decodeBitmap(wide);
  ASSERT_TRUE(bitfields.has_value());
  EXPECT_EQ(bitfields->rgb, (std::vector<std::uint8_t>{10, 20, 30}));
}

}  // namespace
}  // namespace pellarin
