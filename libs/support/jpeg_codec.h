#pragma once
// The platform's JPEG codec, as the two libraries use it: whole images of packed RGB rows.
//
// One adapter per platform: jpeg_codec_turbojpeg.cpp (libjpeg-turbo's TurboJPEG API) and
// jpeg_codec_win32.cpp (Windows Imaging Component). Everything else in the libraries is shared.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pellarin::libs {

// Decodes `jpeg`, whose frame declares width x height, into width * height * 3 bytes at `rgb`
// (rows top to bottom, red, green, blue, no padding). Data the codec reads past with a warning
// (stray bytes between markers, a damaged stretch of image data) still counts as decoded; false
// when the codec gives up or its image is not width x height.
bool decodeJpeg(std::span<const std::uint8_t> jpeg, int width, int height, std::uint8_t* rgb);

enum class ChromaSampling { s444, s422, s420, grey, s440, s411 };

struct JpegOptions {
  ChromaSampling sampling = ChromaSampling::s444;
  int quality = 90;  // 1 to 100
  bool progressive = false;
};

// Encodes width x height packed RGB pixels; nothing when the codec fails.
std::optional<std::vector<std::uint8_t>> encodeJpeg(const std::uint8_t* rgb, int width, int height,
                                                    const JpegOptions& options);

}  // namespace pellarin::libs
