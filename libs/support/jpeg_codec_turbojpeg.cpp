// The JPEG codec over libjpeg-turbo's TurboJPEG API.
#include <turbojpeg.h>

#include "libs/support/jpeg_codec.h"

namespace pellarin::libs {

namespace {

// TurboJPEG reports a warning as a failure too; only a fatal error means nothing was decoded.
bool succeeded(tjhandle handle, int status) {
  return status == 0 || tjGetErrorCode(handle) == TJERR_WARNING;
}

int samplingOf(ChromaSampling sampling) {
  switch (sampling) {
    case ChromaSampling::s444:
      return TJSAMP_444;
    case ChromaSampling::s422:
      return TJSAMP_422;
    case ChromaSampling::s420:
      return TJSAMP_420;
    case ChromaSampling::grey:
      return TJSAMP_GRAY;
    case ChromaSampling::s440:
      return TJSAMP_440;
    case ChromaSampling::s411:
      return TJSAMP_411;
  }
  return TJSAMP_444;
}

}  // namespace

bool decodeJpeg(std::span<const std::uint8_t> jpeg, int width, int height, std::uint8_t* rgb) {
  tjhandle decoder = tjInitDecompress();
  if (decoder == nullptr) return false;
  // TurboJPEG scales to fit a size it is given; asking for the declared size only after the
  // header agrees keeps it from scaling into a smaller part of the buffer.
  int declaredWidth = 0, declaredHeight = 0, subsampling = 0, colourspace = 0;
  bool ok =
      succeeded(decoder, tjDecompressHeader3(decoder, jpeg.data(), jpeg.size(), &declaredWidth,
                                             &declaredHeight, &subsampling, &colourspace)) &&
      declaredWidth == width && declaredHeight == height;
  ok = ok && succeeded(decoder, tjDecompress2(decoder, jpeg.data(), jpeg.size(), rgb, width,
                                              width * 3, height, TJPF_RGB, 0));
  tjDestroy(decoder);
  return ok;
}

std::optional<std::vector<std::uint8_t>> encodeJpeg(const std::uint8_t* rgb, int width, int height,
                                                    const JpegOptions& options) {
  tjhandle encoder = tjInitCompress();
  if (encoder == nullptr) return std::nullopt;
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  const int flags = TJFLAG_ACCURATEDCT | (options.progressive ? TJFLAG_PROGRESSIVE : 0);
  const int status = tjCompress2(encoder, rgb, width, 0, height, TJPF_RGB, &jpeg, &size,
                                 samplingOf(options.sampling), options.quality, flags);
  std::optional<std::vector<std::uint8_t>> result;
  if (status == 0) result.emplace(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(encoder);
  return result;
}

}  // namespace pellarin::libs
