// The README's place on Windows: beside the four files, wherever they were put (the system
// folder, or any folder the screen saver is installed from).
#include "host/dialog/documentation.h"

namespace pellarin {

std::vector<std::filesystem::path> readmePlaces(const std::filesystem::path& programFolder) {
  return {programFolder / "README.md"};
}

}  // namespace pellarin
