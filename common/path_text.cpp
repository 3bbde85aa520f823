#include "common/path_text.h"

namespace pellarin {

std::string pathText(const std::filesystem::path& path) {
  try {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  } catch (const std::exception&) {
    return {};
  }
}

std::filesystem::path pathFromText(std::string_view utf8) {
  try {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace pellarin
