#pragma once
// Seam: opens a web address in the user's browser.

#include <string_view>

namespace pellarin {

class BrowserOpener {
 public:
  virtual ~BrowserOpener() = default;
  // False when no browser could be started.
  virtual bool openAddress(std::string_view address) = 0;
};

}  // namespace pellarin
