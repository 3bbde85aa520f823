// The decoder library's contract as the renderer uses it (the sanitizer build checks that no
// path leaks).
#include "libs/kveld/kveld.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/libs/support/lib_test_support.h"

namespace pellarin::testing {
namespace {

class KveldTest : public LibTestFolder {
 protected:
  KveldReader reader_;
};

// Bits 4, 2, 1 for red, green, blue above half brightness.
int colourBits(const RgbImage& image, int column, int row) {
  const std::uint8_t* p = image.at(column, row);
  return (p[0] > 128 ? 4 : 0) | (p[1] > 128 ? 2 : 0) | (p[2] > 128 ? 1 : 0);
}

TEST_F(KveldTest, DecodesPackedRgbRowsInFileOrder) {
  // Odd width: rows of 45 x 3 bytes are packed with no padding. The top rows are red/blue, the
  // bottom rows white, so a flipped image would show.
  const Bytes jpeg = makeJpeg(45, 16, [](int c, int r, std::uint8_t* p) {
    p[0] = r >= 8 || c < 22 ? 255 : 0;
    p[1] = r >= 8 ? 255 : 0;
    p[2] = r >= 8 || c >= 22 ? 255 : 0;
  });
  RgbImage image;
  ASSERT_EQ(reader_.decode(put("picture.jpg", jpeg), image), KVELD_OK);
  ASSERT_EQ(std::make_pair(image.width, image.height), std::make_pair(45, 16));
  EXPECT_EQ(colourBits(image, 5, 3), 4);    // red
  EXPECT_EQ(colourBits(image, 40, 3), 1);   // blue
  EXPECT_EQ(colourBits(image, 44, 15), 7);  // white

  // Made by another encoder, so a channel swap in both directions of our own codec shows.
  ASSERT_EQ(reader_.decode(put("known.jpg", knownQuadrantJpeg()), image), KVELD_OK);
  const int expected[2][2] = {{4, 2}, {1, 7}};  // red, green / blue, white
  for (int row : {1, 14}) {
    for (int column : {1, 14}) {
      EXPECT_EQ(colourBits(image, column, row), expected[row / 8][column / 8]) << column << row;
    }
  }
}

// What a decoder reads past with a warning is the user's picture; a file that ends before its
// image does is not.
TEST_F(KveldTest, DamageThatLeavesThePictureWholeIsAcceptedAndACutFileIsNot) {
  const Bytes known = knownQuadrantJpeg();
  const auto inserted = [&known](std::size_t at, Bytes stray) {
    Bytes jpeg = known;
    jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(at), stray.begin(), stray.end());
    return jpeg;
  };
  const std::size_t scan = markerOffset(known, 0xDA), end = markerOffset(known, 0xD9, scan);
  const struct {
    const char* name;
    Bytes file;
    int32_t status;
  } rows[] = {
      {"stray bytes before the frame header", inserted(markerOffset(known, 0xC0), {0x12, 0x34}),
       KVELD_OK},
      {"stray bytes before the scan", inserted(scan, {0x00, 0x7F}), KVELD_OK},
      {"no end marker", Bytes(known.begin(), known.begin() + end), KVELD_ERROR_DECODE},
      {"cut in the image data", Bytes(known.begin(), known.begin() + end - 10), KVELD_ERROR_DECODE},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RgbImage image;
    ASSERT_EQ(reader_.decode(put("damaged.jpg", row.file), image), row.status);
    if (row.status == KVELD_OK) {
      EXPECT_EQ(colourBits(image, 12, 12), 7);
    }
  }
}

TEST_F(KveldTest, ParameterReadStatuses) {
  const Bytes good = knownQuadrantJpeg();
  Bytes lossless = good;
  lossless[markerOffset(good, 0xC0) + 1] = 0xC3;
  const struct {
    std::string file;
    int32_t status, width;
  } rows[] = {
      {path("missing.jpg").string(), KVELD_ERROR_FILE, 0},
      {put("empty.jpg", {}), KVELD_ERROR_NOT_JPEG, 0},
      {put("lossless.jpg", lossless), KVELD_ERROR_NOT_JPEG, 0},
      {put("over.jpg", withDeclaredSize(good, 8192, 8193)), KVELD_ERROR_TOO_LARGE, 0},
      // Exactly the limit: only the header is read, nothing is decoded.
      {put("limit.jpg", withDeclaredSize(good, 8192, 8192)), KVELD_OK, 8192},
  };
  for (const auto& row : rows) {
    DecoderProperties* r = reader_.open(row.file);
    EXPECT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), row.status) << row.file;
    EXPECT_EQ(r->imageWidth, row.width);
    EXPECT_EQ(kveldRelease(r), KVELD_OK);
  }
}

TEST_F(KveldTest, ADestinationThatDoesNotMatchTheImageIsRefused) {
  const std::string file = put("picture.jpg", knownQuadrantJpeg());
  std::vector<std::uint8_t> pixels(16 * 17 * 4);
  const struct {
    int32_t width, height, channels, order;
  } rows[] = {{17, 16, 3, 1}, {16, 17, 3, 1}, {16, 16, 4, 1}, {16, 16, 3, 0}};
  for (const auto& row : rows) {
    DecoderProperties* r = reader_.open(file);
    ASSERT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), KVELD_OK);
    KveldReader::aim(r, pixels.data(), row.width, row.height, row.channels, row.order);
    EXPECT_EQ(kveldRead(r, KVELD_MODE_IMAGE), KVELD_ERROR_ARGUMENT) << &row - rows;
    EXPECT_EQ(kveldRelease(r), KVELD_OK);
  }
}

}  // namespace
}  // namespace pellarin::testing
