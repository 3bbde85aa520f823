// The converter: the same argument handling, bitmap reading and file handling on every
// platform; only the JPEG codec and the file calls behind libs/support differ.
#include <new>
#include <vector>

#include "libs/pellarin1/bitmap_reader.h"
#include "libs/pellarin1/pellarin1.h"
#include "libs/support/jpeg_codec.h"
#include "libs/support/whole_file.h"

namespace {

using pellarin::libs::ChromaSampling;

constexpr int kDefaultQuality = 90;
// Bitmaps larger than this are not read (the pixel limit of the reader is lower anyway).
constexpr std::uint64_t kMaxBitmapBytes = std::uint64_t{1} << 30;

// The subsampling argument's codes, in order.
constexpr ChromaSampling kSamplings[] = {ChromaSampling::s444, ChromaSampling::s422,
                                         ChromaSampling::s420, ChromaSampling::grey,
                                         ChromaSampling::s440, ChromaSampling::s411};

std::int16_t convert(const char* bmpPath, const char* jpgPath, std::int32_t subsampling,
                     std::int32_t quality, std::int32_t flags) {
  if (bmpPath == nullptr || jpgPath == nullptr || *jpgPath == '\0') return kPellarin1BadArgument;
  if (subsampling == kPellarin1DefaultSubsampling) subsampling = 0;
  if (subsampling < 0 || subsampling >= static_cast<std::int32_t>(std::size(kSamplings))) {
    return kPellarin1BadArgument;
  }
  if (quality == kPellarin1DefaultQuality) quality = kDefaultQuality;
  if (quality < 1 || quality > 100) return kPellarin1BadArgument;
  if (flags == kPellarin1DefaultFlags) flags = 0;
  if ((flags & ~kPellarin1FlagProgressive) != 0) return kPellarin1BadArgument;

  std::vector<std::uint8_t> file;
  if (pellarin::libs::readRegularFile(bmpPath, kMaxBitmapBytes, file) !=
      pellarin::libs::FileReadStatus::ok) {
    return kPellarin1BitmapUnreadable;
  }
  const std::optional<pellarin::DecodedBitmap> bitmap = pellarin::decodeBitmap(file);
  if (!bitmap) return kPellarin1BitmapInvalid;

  const pellarin::libs::JpegOptions options{kSamplings[subsampling], quality,
                                            (flags & kPellarin1FlagProgressive) != 0};
  const std::optional<std::vector<std::uint8_t>> jpeg =
      pellarin::libs::encodeJpeg(bitmap->rgb.data(), bitmap->width, bitmap->height, options);
  if (!jpeg) return kPellarin1EncodeFailed;
  if (!pellarin::libs::replaceFileWhole(jpgPath, *jpeg)) return kPellarin1WriteFailed;
  return kPellarin1Ok;
}

}  // namespace

extern "C" std::int16_t PELLARIN1_CALL ConvertBMPtoJPG(const char* bmpPath, const char* jpgPath,
                                                       std::int32_t subsampling,
                                                       std::int32_t quality, std::int32_t flags) {
  try {
    return convert(bmpPath, jpgPath, subsampling, quality, flags);
  } catch (const std::bad_alloc&) {  // nothing may cross into a caller of another language
    return kPellarin1EncodeFailed;
  }
}
