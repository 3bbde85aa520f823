#pragma once
// The settings helpers' tests: a settings file of music keys, loaded as the start-up loads it.

#include <string>

#include "common/work_folder.h"
#include "host/core/quorvane_b.h"
#include "host_test_support.h"

namespace pellarin::testing {

// The key names as the settings dialog stores them: code page 932 bytes.
inline const std::string kKindKeyCp932 = "BGM\x8B\xE6\x95\xAA";
inline const std::string kTrackKeyCp932 = "BGM\xD8\xCB\xDF\xB0\xC4";
inline const std::string kFileKeyCp932 = "BGM\xCC\xA7\xB2\xD9";

class SettingsTest : public IsolatedHostTest {
 protected:
  void load(const std::string& kind, const std::string& track, const std::string& file) {
    writeFile(settingsFilePath(), "[Settings]\r\n" + kKindKeyCp932 + "=" + kind + "\r\n" +
                                      kTrackKeyCp932 + "=" + track + "\r\n" + kFileKeyCp932 + "=" +
                                      file + "\r\n");
    Quorvane_B::loadSettings();
  }
};

}  // namespace pellarin::testing
