#include <dlfcn.h>

#include <cstdint>

#include "common/debug_log.h"
#include "host/core/picture_converter_dl.h"

namespace pellarin {

namespace {
using ConvertFunction = std::int16_t (*)(const char*, const char*, std::int32_t, std::int32_t,
                                         std::int32_t);
// What the host asks of the converter: default subsampling, quality 100, default flags.
constexpr std::int32_t kSubsampling = -1;
constexpr std::int32_t kQuality = 100;
constexpr std::int32_t kFlags = -1;
}  // namespace

PictureConverterDl::~PictureConverterDl() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool PictureConverterDl::convertBmpToJpg(const std::filesystem::path& bitmapPath,
                                         const std::filesystem::path& jpegPath) {
  if (handle_ == nullptr) {
    handle_ = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      debugLog("host: cannot load %s: %s\n", library_.c_str(), dlerror());
      return false;
    }
    function_ = dlsym(handle_, "ConvertBMPtoJPG");
  }
  if (function_ == nullptr) {
    debugLog("host: %s has no ConvertBMPtoJPG\n", library_.c_str());
    return false;
  }
  const auto convert = reinterpret_cast<ConvertFunction>(function_);
  const std::int16_t result =
      convert(bitmapPath.c_str(), jpegPath.c_str(), kSubsampling, kQuality, kFlags);
  if (result != 0) debugLog("host: ConvertBMPtoJPG returned %d\n", result);
  return result == 0;
}

}  // namespace pellarin
