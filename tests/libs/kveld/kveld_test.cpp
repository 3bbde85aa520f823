// The decoder library's contract as the renderer uses it: statuses, the record's fields, pixel
// order, and that nothing is left behind on any path (the sanitizer build checks the leaks).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "libs/kveld/kveld.h"
#include "tests/libs/kveld/jpeg_fixtures.h"

namespace fs = std::filesystem;
using namespace pellarin::testing;

namespace {

class KveldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kveld_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  std::string put(const std::string& name, const Bytes& bytes) {
    writeFile(folder / name, bytes);
    return (folder / name).string();
  }

  // A zeroed, initialised record pointing at `path`.
  DecoderProperties* open(const std::string& path) {
    record = std::make_unique<DecoderProperties>();
    std::memset(record.get(), 0, sizeof(DecoderProperties));
    EXPECT_EQ(kveldInitialise(record.get()), KVELD_OK);
    pathText = path;
    record->path = pathText.c_str();
    return record.get();
  }

  // Runs the renderer's sequence; returns the first failing status or 0, with the pixels.
  int32_t decode(const std::string& path, std::vector<unsigned char>& pixels, int& width,
                 int& height) {
    DecoderProperties* r = open(path);
    int32_t status = kveldRead(r, KVELD_MODE_PARAMETERS);
    if (status == KVELD_OK) {
      width = r->imageWidth;
      height = r->imageHeight;
      pixels.assign(static_cast<size_t>(width) * height * 3, 0);
      r->destPixels = pixels.data();
      r->destColourOrder = KVELD_ORDER_RGB;
      r->destWidth = width;
      r->destHeight = height;
      r->destChannels = 3;
      status = kveldRead(r, KVELD_MODE_IMAGE);
    }
    EXPECT_EQ(kveldRelease(r), KVELD_OK);
    return status;
  }

  fs::path folder;
  std::unique_ptr<DecoderProperties> record;
  std::string pathText;
};

TEST_F(KveldTest, DecodesPackedRgbRowsInFileOrder) {
  // Odd width: rows of 45 x 3 bytes are packed with no padding. The top rows are red/blue, the
  // bottom rows white, so a flipped image would show.
  Bytes jpeg = makeJpeg(45, 16, [](int c, int r, unsigned char* p) {
    if (r >= 8) {
      p[0] = p[1] = p[2] = 255;
      return;
    }
    p[0] = c < 22 ? 255 : 0;
    p[1] = 0;
    p[2] = c < 22 ? 0 : 255;
  });
  std::vector<unsigned char> pixels;
  int width = 0, height = 0;
  ASSERT_EQ(decode(put("picture.jpg", jpeg), pixels, width, height), KVELD_OK);
  ASSERT_EQ(width, 45);
  ASSERT_EQ(height, 16);
  auto at = [&](int c, int r, int channel) { return pixels[(r * 45 + c) * 3 + channel]; };
  EXPECT_GT(at(5, 3, 0), 240);
  EXPECT_LT(at(5, 3, 1), 16);
  EXPECT_LT(at(5, 3, 2), 16);
  EXPECT_LT(at(40, 3, 0), 16);
  EXPECT_LT(at(40, 3, 1), 16);
  EXPECT_GT(at(40, 3, 2), 240);
  for (int channel = 0; channel < 3; ++channel) EXPECT_GT(at(44, 15, channel), 240);
}

TEST_F(KveldTest, UnreadableFilesFailTheParameterRead) {
  Bytes good = makeRedBlueJpeg(32, 32);
  fs::create_directory(folder / "folder.jpg");
  struct Case {
    std::string path;
    int32_t status;
  };
  std::vector<Case> cases = {
      {(folder / "missing.jpg").string(), KVELD_ERROR_FILE},
      {(folder / "folder.jpg").string(), KVELD_ERROR_FILE},
      {put("empty.jpg", {}), KVELD_ERROR_NOT_JPEG},
      {put("text.jpg", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'j', 'p', 'e', 'g'}),
       KVELD_ERROR_NOT_JPEG},
      {put("header-only.jpg", Bytes(good.begin(), good.begin() + 20)), KVELD_ERROR_NOT_JPEG},
      {put("huge.jpg", withDeclaredSize(good, 60000, 60000)), KVELD_ERROR_TOO_LARGE},
      {"", KVELD_ERROR_FILE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    DecoderProperties* r = open(c.path);
    EXPECT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), c.status);
    EXPECT_EQ(r->imageWidth, 0);
    EXPECT_EQ(r->imageHeight, 0);
    EXPECT_EQ(kveldRelease(r), KVELD_OK);
  }
}

TEST_F(KveldTest, LargestAcceptedSizeIsTheLimitAndOneMoreRowFails) {
  Bytes good = makeRedBlueJpeg(16, 16);
  // 8192 x 8192 is exactly the limit: only the header is read, nothing is decoded.
  DecoderProperties* r = open(put("limit.jpg", withDeclaredSize(good, 8192, 8192)));
  EXPECT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), KVELD_OK);
  EXPECT_EQ(r->imageWidth, 8192);
  EXPECT_EQ(kveldRelease(r), KVELD_OK);
  r = open(put("over.jpg", withDeclaredSize(good, 8192, 8193)));
  EXPECT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), KVELD_ERROR_TOO_LARGE);
  EXPECT_EQ(kveldRelease(r), KVELD_OK);
}

TEST_F(KveldTest, DataThatEndsOrBreaksHalfWayFailsTheWholeImageRead) {
  Bytes good = makeJpeg(64, 64, [](int c, int r, unsigned char* p) {
    p[0] = static_cast<unsigned char>(c * 4);
    p[1] = static_cast<unsigned char>(r * 4);
    p[2] = static_cast<unsigned char>((c ^ r) * 4);
  });
  size_t scan = scanDataOffset(good);
  Bytes truncated(good.begin(), good.begin() + static_cast<long>(scan + (good.size() - scan) / 2));
  Bytes broken = good;
  // An end-of-image marker inside the data stops the scan early.
  broken[scan + 40] = 0xFF;
  broken[scan + 41] = 0xD9;
  for (const auto& [name, bytes] :
       {std::pair{"truncated.jpg", truncated}, {"broken.jpg", broken}}) {
    SCOPED_TRACE(name);
    std::vector<unsigned char> pixels;
    int width = 0, height = 0;
    EXPECT_EQ(decode(put(name, bytes), pixels, width, height), KVELD_ERROR_DECODE);
    EXPECT_EQ(width, 64);
  }
}

TEST_F(KveldTest, DestinationThatDoesNotMatchTheImageIsRefused) {
  std::string path = put("picture.jpg", makeRedBlueJpeg(16, 8));
  std::vector<unsigned char> pixels(16 * 8 * 4);
  struct Case {
    const char* what;
    unsigned char* buffer;
    int32_t width, height, channels, order;
  };
  for (const Case& c :
       {Case{"null buffer", nullptr, 16, 8, 3, 1}, Case{"wider", pixels.data(), 17, 8, 3, 1},
        Case{"taller", pixels.data(), 16, 9, 3, 1}, Case{"rgba", pixels.data(), 16, 8, 4, 1},
        Case{"bgr", pixels.data(), 16, 8, 3, 0}}) {
    SCOPED_TRACE(c.what);
    DecoderProperties* r = open(path);
    ASSERT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), KVELD_OK);
    r->destPixels = c.buffer;
    r->destWidth = c.width;
    r->destHeight = c.height;
    r->destChannels = c.channels;
    r->destColourOrder = c.order;
    EXPECT_EQ(kveldRead(r, KVELD_MODE_IMAGE), KVELD_ERROR_ARGUMENT);
    EXPECT_EQ(kveldRelease(r), KVELD_OK);
  }
}

TEST_F(KveldTest, RecordLifecycleIsChecked) {
  DecoderProperties zeroed;
  std::memset(&zeroed, 0, sizeof zeroed);
  EXPECT_EQ(kveldRead(&zeroed, KVELD_MODE_PARAMETERS), KVELD_ERROR_NOT_INITIALISED);
  EXPECT_EQ(kveldRelease(&zeroed), KVELD_ERROR_NOT_INITIALISED);

  DecoderProperties* r = open(put("picture.jpg", makeRedBlueJpeg(8, 8)));
  EXPECT_EQ(kveldInitialise(r), KVELD_ERROR_ARGUMENT) << "a live record is not prepared twice";
  EXPECT_EQ(kveldRead(r, 1), KVELD_ERROR_ARGUMENT);
  // A second parameter read replaces the first one's data rather than leaking it.
  EXPECT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), KVELD_OK);
  EXPECT_EQ(kveldRead(r, KVELD_MODE_PARAMETERS), KVELD_OK);
  EXPECT_EQ(kveldRelease(r), KVELD_OK);
  EXPECT_EQ(kveldRelease(r), KVELD_ERROR_NOT_INITIALISED) << "release is not repeated";
  EXPECT_EQ(kveldInitialise(r), KVELD_OK) << "a released record can be prepared again";
  EXPECT_EQ(kveldRelease(r), KVELD_OK);
}

}  // namespace
