// The decoder library's contract as the renderer uses it: statuses, the record's fields, pixel
// order, and that nothing is left behind on any path (the sanitizer build checks the leaks).
#include "libs/kveld/kveld.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/common/temp_folder.h"
#include "tests/libs/kveld/jpeg_fixtures.h"

namespace pellarin::testing {
namespace {

class KveldTest : public TempFolderTest {
 protected:
  std::string put(const std::string& name, const Bytes& bytes) {
    writeFile(path(name), bytes);
    return path(name).string();
  }
  // A zeroed, initialised record pointing at `file`.
  DecoderProperties* open(const std::string& file) {
    record_ = std::make_unique<DecoderProperties>();
    EXPECT_EQ(kveldInitialise(record_.get()), KVELD_OK);
    path_ = file;
    record_->path = path_.c_str();
    return record_.get();
  }
  // Points the record at a destination; the defaults are what the renderer asks for.
  static void aim(DecoderProperties* r, unsigned char* pixels, int32_t width, int32_t height,
                  int32_t channels = 3, int32_t order = KVELD_ORDER_RGB) {
    r->destPixels = pixels;
    r->destWidth = width;
    r->destHeight = height;
    r->destChannels = channels;
    r->destColourOrder = order;
  }
  // The renderer's sequence: the first failing status or 0, with the image's pixels.
  int32_t decode(const std::string& file, std::vector<unsigned char>& pixels) {
    DecoderProperties* r = open(file);
    int32_t status = kveldRead(r, KVELD_MODE_PARAMETERS);
    if (status == KVELD_OK) {
      pixels.assign(static_cast<size_t>(r->imageWidth) * r->imageHeight * 3, 0);
      aim(r, pixels.data(), r->imageWidth, r->imageHeight);
      status = kveldRead(r, KVELD_MODE_IMAGE);
    }
    EXPECT_EQ(kveldRelease(r), KVELD_OK);
    return status;
  }

  std::unique_ptr<DecoderProperties> record_;
  std::string path_;
};

TEST_F(KveldTest, DecodesPackedRgbRowsInFileOrderAndFailsOnDataThatEndsHalfWay) {
  // Odd width: rows of 45 x 3 bytes are packed with no padding. The top rows are red/blue, the
  // bottom rows white, so a flipped image would show.
  const Bytes jpeg = makeJpeg(45, 16, [](int c, int r, unsigned char* p) {
    p[0] = r >= 8 || c < 22 ? 255 : 0;
    p[1] = r >= 8 ? 255 : 0;
    p[2] = r >= 8 || c >= 22 ? 255 : 0;
  });
  std::vector<unsigned char> pixels;
  ASSERT_EQ(decode(put("picture.jpg", jpeg), pixels), KVELD_OK);
  ASSERT_EQ(std::make_pair(record_->imageWidth, record_->imageHeight), std::make_pair(45, 16));
  const auto rgb = [&](int c, int r) {
    const unsigned char* p = &pixels[static_cast<size_t>(r * 45 + c) * 3];
    return (p[0] > 128 ? 4 : 0) | (p[1] > 128 ? 2 : 0) | (p[2] > 128 ? 1 : 0);
  };
  EXPECT_EQ(rgb(5, 3), 4);    // red
  EXPECT_EQ(rgb(40, 3), 1);   // blue
  EXPECT_EQ(rgb(44, 15), 7);  // white

  const Bytes big = makeJpeg(64, 64, [](int c, int r, unsigned char* p) {
    p[0] = p[1] = p[2] = static_cast<unsigned char>(c ^ r);
  });
  EXPECT_EQ(decode(put("cut.jpg", Bytes(big.begin(), big.end() - big.size() / 3)), pixels),
            KVELD_ERROR_DECODE);
  EXPECT_EQ(record_->imageWidth, 64) << "the header was read";
}

TEST_F(KveldTest, ParameterReadStatuses) {
  const Bytes good = makeRedBlueJpeg(16, 16);
  const struct {
    std::string file;
    int32_t status, width;
  } rows[] = {
      {path("missing.jpg").string(), KVELD_ERROR_FILE, 0},
      {put("empty.jpg", {}), KVELD_ERROR_NOT_JPEG, 0},
      {put("cut.jpg", Bytes(good.begin(), good.begin() + 20)), KVELD_ERROR_NOT_JPEG, 0},
      {put("huge.jpg", withDeclaredSize(good, 60000, 60000)), KVELD_ERROR_TOO_LARGE, 0},
      {put("over.jpg", withDeclaredSize(good, 8192, 8193)), KVELD_ERROR_TOO_LARGE, 0},
      // Exactly the limit: only the header is read, nothing is decoded.
      {put("limit.jpg", withDeclaredSize(good, 8192, 8192)), KVELD_OK, 8192},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    DecoderProperties* r = open(row.file);
    EXPECT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), row.status);
    EXPECT_EQ(r->imageWidth, row.width);
    EXPECT_EQ(kveldRelease(r), KVELD_OK);
  }
}

TEST_F(KveldTest, DestinationThatDoesNotMatchTheImageIsRefused) {
  const std::string file = put("picture.jpg", makeRedBlueJpeg(16, 8));
  std::vector<unsigned char> pixels(16 * 8 * 4);
  const struct {
    int32_t width, height, channels, order;
  } rows[] = {{17, 8, 3, 1}, {16, 9, 3, 1}, {16, 8, 4, 1}, {16, 8, 3, 0}};
  for (const auto& row : rows) {
    DecoderProperties* r = open(file);
    ASSERT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), KVELD_OK);
    aim(r, pixels.data(), row.width, row.height, row.channels, row.order);
    EXPECT_EQ(kveldRead(r, KVELD_MODE_IMAGE), KVELD_ERROR_ARGUMENT) << &row - rows;
    EXPECT_EQ(kveldRelease(r), KVELD_OK);
  }
}

TEST_F(KveldTest, RecordLifecycleIsChecked) {
  DecoderProperties zeroed{};
  EXPECT_EQ(kveldRead(&zeroed, KVELD_MODE_PARAMETERS), KVELD_ERROR_NOT_INITIALISED);
  EXPECT_EQ(kveldRelease(&zeroed), KVELD_ERROR_NOT_INITIALISED);

  DecoderProperties* r = open(put("picture.jpg", makeRedBlueJpeg(8, 8)));
  // A second parameter read replaces the first one's data rather than leaking it.
  EXPECT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), KVELD_OK);
  EXPECT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), KVELD_OK);
  EXPECT_EQ(kveldRelease(r), KVELD_OK);
  EXPECT_EQ(kveldRelease(r), KVELD_ERROR_NOT_INITIALISED) << "release is not repeated";
  EXPECT_EQ(kveldInitialise(r), KVELD_OK) << "a released record can be prepared again";
  EXPECT_EQ(kveldRelease(r), KVELD_OK);
}

}  // namespace
}  // namespace pellarin::testing
