// PictureConverterDl over LoadLibraryW and GetProcAddress. The converter takes its paths in the
// system's code page (ANSI): its exported call takes narrow strings.
#include <windows.h>

#include <cstdint>
#include <optional>

#include "common/debug_log.h"
#include "common/path_text.h"
#include "common/text_encoding.h"
#include "host/core/picture_converter_dl.h"

namespace pellarin {

namespace {
using ConvertFunction = std::int16_t(__stdcall*)(const char*, const char*, std::int32_t,
                                                 std::int32_t, std::int32_t);
// What the host asks of the converter: default subsampling, quality 100, default flags.
constexpr std::int32_t kSubsampling = -1;
constexpr std::int32_t kQuality = 100;
constexpr std::int32_t kFlags = -1;
}  // namespace

PictureConverterDl::~PictureConverterDl() {
  if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

bool PictureConverterDl::convertBmpToJpg(const std::filesystem::path& bitmapPath,
                                         const std::filesystem::path& jpegPath) {
  if (handle_ == nullptr) {
    // By its full path: the library beside the host, never one found elsewhere.
    handle_ = ::LoadLibraryW(library_.c_str());
    if (handle_ == nullptr) {
      debugLog("host: cannot load %s: error %lu\n", pathText(library_).c_str(), ::GetLastError());
      return false;
    }
    function_ =
        reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), "ConvertBMPtoJPG"));
  }
  if (function_ == nullptr) {
    debugLog("host: %s has no ConvertBMPtoJPG\n", pathText(library_).c_str());
    return false;
  }
  const std::optional<std::string> bitmap = utf8ToSystemCodePage(pathText(bitmapPath));
  const std::optional<std::string> jpeg = utf8ToSystemCodePage(pathText(jpegPath));
  if (!bitmap || !jpeg) {
    debugLog("host: a picture path has no form in the system's code page\n");
    return false;
  }
  const auto convert = reinterpret_cast<ConvertFunction>(function_);
  const std::int16_t result =
      convert(bitmap->c_str(), jpeg->c_str(), kSubsampling, kQuality, kFlags);
  if (result != 0) debugLog("host: ConvertBMPtoJPG returned %d\n", result);
  return result == 0;
}

}  // namespace pellarin
