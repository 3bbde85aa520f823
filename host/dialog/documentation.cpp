#include "host/dialog/documentation.h"

#include <system_error>

namespace pellarin {

std::optional<std::filesystem::path> findReadme(const std::filesystem::path& programFolder) {
  const std::filesystem::path relative =
      std::filesystem::path("share") / "doc" / "pellarin" / "README.md";
  for (const std::filesystem::path& prefix : {programFolder / "..", programFolder / ".." / ".."}) {
    const std::filesystem::path candidate = (prefix / relative).lexically_normal();
    // Only a status look-up: a pipe under the name is never opened, so nothing can block.
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
  }
  return std::nullopt;
}

}  // namespace pellarin
