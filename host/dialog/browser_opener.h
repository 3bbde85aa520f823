#pragma once
// Seam: shows a local document in the user's web browser.

#include <filesystem>

namespace pellarin {

class BrowserOpener {
 public:
  virtual ~BrowserOpener() = default;
  // Starts the desktop's web browser on the file (or, without one, the file's default viewer)
  // and returns at once; false when nothing could be started.
  virtual bool openDocument(const std::filesystem::path& file) = 0;
};

}  // namespace pellarin
