#include "host/dialog/settings_writer.h"

#include "common/system_names.h"
#include "common/work_folder.h"
#include "host/core/quorvane_b.h"

namespace pellarin {

void HostSettingsWriter::writeSetting(std::string_view key, std::string_view value) {
  Quorvane_B::writeSetting(kSettingsSection, key, value, settingsFilePath());
}

}  // namespace pellarin
