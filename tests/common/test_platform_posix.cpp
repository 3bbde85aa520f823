#include <stdlib.h>

#include "tests/common/test_platform.h"

namespace pellarin::testing {

void setEnvironment(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

void isolateWorkFolder(const std::filesystem::path& folder) {
  setEnvironment("XDG_CONFIG_HOME", (folder / "config").string());
  setEnvironment("HOME", (folder / "home").string());
}

bool makeFolderLink(const std::filesystem::path& link, const std::filesystem::path& target) {
  std::error_code error;
  std::filesystem::create_directory_symlink(target, link, error);
  return !error;
}

}  // namespace pellarin::testing
