#pragma once
// Seam: stores one key of the settings file's section for the host's settings.

#include <string_view>

namespace pellarin {

class SettingsWriter {
 public:
  virtual ~SettingsWriter() = default;
  virtual void writeSetting(std::string_view key, std::string_view value) = 0;
};

// Writes through the host's settings helper into the settings file in the work folder.
class HostSettingsWriter final : public SettingsWriter {
 public:
  void writeSetting(std::string_view key, std::string_view value) override;
};

}  // namespace pellarin
