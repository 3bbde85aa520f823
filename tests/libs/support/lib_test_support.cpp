#include "tests/libs/support/lib_test_support.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>

#include "libs/support/jpeg_codec.h"

namespace pellarin::testing {

namespace fs = std::filesystem;

void LibTestFolder::SetUp() {
  std::random_device random;
  for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("pellarin-libs-" + std::to_string(random()));
    if (fs::create_directory(candidate)) folder_ = candidate;
  }
  ASSERT_FALSE(folder_.empty()) << "no temporary folder";
  fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::replace);
}

void LibTestFolder::TearDown() {
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::string LibTestFolder::put(const std::string& name, const Bytes& bytes) const {
  writeBytes(path(name), bytes);
  return path(name).string();
}

std::vector<std::string> LibTestFolder::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

Bytes readBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

Bytes makeJpeg(int width, int height, const std::function<void(int, int, std::uint8_t*)>& pixel) {
  Bytes rgb(static_cast<std::size_t>(width) * height * 3);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c)
      pixel(c, r, &rgb[(static_cast<std::size_t>(r) * width + c) * 3]);
  }
  const auto jpeg = libs::encodeJpeg(rgb.data(), width, height, {libs::ChromaSampling::s444, 95});
  if (!jpeg) throw std::runtime_error("the codec cannot encode");
  return *jpeg;
}

Bytes knownQuadrantJpeg() {
  // Baseline, 4:4:4, quality 75, optimised Huffman tables.
  return {
      0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00,
      0x01, 0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43, 0x00, 0x08, 0x06, 0x06, 0x07, 0x06,
      0x05, 0x08, 0x07, 0x07, 0x07, 0x09, 0x09, 0x08, 0x0a, 0x0c, 0x14, 0x0d, 0x0c, 0x0b, 0x0b,
      0x0c, 0x19, 0x12, 0x13, 0x0f, 0x14, 0x1d, 0x1a, 0x1f, 0x1e, 0x1d, 0x1a, 0x1c, 0x1c, 0x20,
      0x24, 0x2e, 0x27, 0x20, 0x22, 0x2c, 0x23, 0x1c, 0x1c, 0x28, 0x37, 0x29, 0x2c, 0x30, 0x31,
      0x34, 0x34, 0x34, 0x1f, 0x27, 0x39, 0x3d, 0x38, 0x32, 0x3c, 0x2e, 0x33, 0x34, 0x32, 0xff,
      0xdb, 0x00, 0x43, 0x01, 0x09, 0x09, 0x09, 0x0c, 0x0b, 0x0c, 0x18, 0x0d, 0x0d, 0x18, 0x32,
      0x21, 0x1c, 0x21, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32,
      0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32,
      0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32,
      0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0xff, 0xc0, 0x00, 0x11, 0x08, 0x00, 0x10,
      0x00, 0x10, 0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xff, 0xc4, 0x00,
      0x16, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x07, 0x06, 0x08, 0xff, 0xc4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xc4,
      0x00, 0x17, 0x01, 0x00, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x06, 0x07, 0x08, 0x05, 0xff, 0xc4, 0x00, 0x14, 0x11, 0x01, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0xff, 0xda, 0x00, 0x0c, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3f, 0x00, 0x8b,
      0x0c, 0x9e, 0x24, 0xa0, 0xd2, 0x2f, 0x03, 0x2b, 0xc3, 0x31, 0xb8, 0x88, 0xe6, 0x9b, 0xff,
      0xd9,
  };
}

std::size_t markerOffset(const Bytes& jpeg, std::uint8_t code, std::size_t from) {
  for (std::size_t i = from; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
  }
  throw std::runtime_error("no such marker");
}

Bytes withDeclaredSize(Bytes jpeg, std::uint16_t width, std::uint16_t height) {
  std::size_t frame = 0;
  for (std::uint8_t code : {0xC0, 0xC1, 0xC2}) {
    try {
      frame = markerOffset(jpeg, code);
      break;
    } catch (const std::runtime_error&) {
    }
  }
  if (frame == 0) throw std::runtime_error("no frame header");
  jpeg[frame + 5] = static_cast<std::uint8_t>(height >> 8);
  jpeg[frame + 6] = static_cast<std::uint8_t>(height & 0xFF);
  jpeg[frame + 7] = static_cast<std::uint8_t>(width >> 8);
  jpeg[frame + 8] = static_cast<std::uint8_t>(width & 0xFF);
  return jpeg;
}

DecoderProperties* KveldReader::open(const std::string& file) {
  record_ = std::make_unique<DecoderProperties>();
  EXPECT_EQ(kveldInitialise(record_.get()), KVELD_OK);
  path_ = file;
  record_->path = path_.c_str();
  return record_.get();
}

void KveldReader::aim(DecoderProperties* record, std::uint8_t* pixels, std::int32_t width,
                      std::int32_t height, std::int32_t channels, std::int32_t order) {
  record->destPixels = pixels;
  record->destWidth = width;
  record->destHeight = height;
  record->destChannels = channels;
  record->destColourOrder = order;
}

std::int32_t KveldReader::decode(const std::string& file, RgbImage& image) {
  DecoderProperties* r = open(file);
  std::int32_t status = kveldRead(r, KVELD_MODE_PARAMETERS);
  image = RgbImage{};
  if (status == KVELD_OK) {
    image = RgbImage{r->imageWidth, r->imageHeight,
                     Bytes(static_cast<std::size_t>(r->imageWidth) * r->imageHeight * 3)};
    aim(r, image.rgb.data(), r->imageWidth, r->imageHeight);
    status = kveldRead(r, KVELD_MODE_IMAGE);
  }
  EXPECT_EQ(kveldRelease(r), KVELD_OK);
  return status;
}

}  // namespace pellarin::testing
