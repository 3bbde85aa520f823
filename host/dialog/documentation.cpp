#include "host/dialog/documentation.h"

#include <system_error>

namespace pellarin {

std::optional<std::filesystem::path> findReadme(const std::filesystem::path& programFolder) {
  for (const std::filesystem::path& candidate : readmePlaces(programFolder)) {
    // Only a status look-up: a pipe under the name is never opened, so nothing can block.
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
  }
  return std::nullopt;
}

}  // namespace pellarin
