#include <windows.h>

#include <stdlib.h>

#include "common/path_text.h"
#include "tests/common/test_platform.h"

namespace pellarin::testing {

namespace {

std::wstring wide(const std::string& utf8) {
  return pathFromText(utf8).wstring();
}

}  // namespace

// The C library keeps its own copy of the environment: both are set.
void setEnvironment(const std::string& name, const std::string& value) {
  ::SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
  ::_wputenv_s(wide(name).c_str(), wide(value).c_str());
}

void isolateWorkFolder(const std::filesystem::path& folder) {
  setEnvironment("PELLARIN_WORK_FOLDER_PARENT", pathText(folder / "config"));
}

// Wine answers "done" without making a link: only one that is there counts.
bool makeFolderLink(const std::filesystem::path& link, const std::filesystem::path& target) {
  ::CreateSymbolicLinkW(
      link.c_str(), target.c_str(),
      SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  const DWORD attributes = ::GetFileAttributesW(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace pellarin::testing
