// The README's places on Linux: <prefix>/share/doc/pellarin/ beside <prefix>/lib/pellarin/ of
// an installed copy, and build/share/doc/pellarin/ beside build/bin/ of a build tree.
#include "host/dialog/documentation.h"

namespace pellarin {

std::vector<std::filesystem::path> readmePlaces(const std::filesystem::path& programFolder) {
  const std::filesystem::path relative =
      std::filesystem::path("share") / "doc" / "pellarin" / "README.md";
  return {(programFolder / ".." / relative).lexically_normal(),
          (programFolder / ".." / ".." / relative).lexically_normal()};
}

}  // namespace pellarin
