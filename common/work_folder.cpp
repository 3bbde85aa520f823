#include "common/work_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "common/system_names.h"

namespace pellarin {

namespace {
// Only absolute paths count: a relative one would put the settings wherever the program
// happens to be started.
bool isAbsolutePath(const char* path) {
  return path != nullptr && path[0] == '/';
}

std::filesystem::path configHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (isAbsolutePath(xdg)) return xdg;
  const char* home = std::getenv("HOME");
  if (!isAbsolutePath(home)) {
    // Without a usable HOME, the user's home folder from the account database.
    const passwd* account = ::getpwuid(::getuid());
    home = account != nullptr && isAbsolutePath(account->pw_dir) ? account->pw_dir : "/";
  }
  return std::filesystem::path(home) / ".config";
}
}  // namespace

std::filesystem::path workFolder() {
  return configHome() / kWorkFolderName;
}

bool createWorkFolder() {
  const std::filesystem::path folder = workFolder();
  std::error_code error;
  std::filesystem::create_directories(folder.parent_path(), error);
  if (::mkdir(folder.c_str(), 0700) == 0) {
    // The umask may have taken bits away; the owner needs all three.
    ::chmod(folder.c_str(), 0700);
  } else if (errno != EEXIST) {
    return false;
  }
  return std::filesystem::is_directory(folder, error);
}

std::filesystem::path settingsFilePath() {
  return workFolder() / kSettingsFileName;
}

std::filesystem::path pictureFilePath() {
  return workFolder() / kPictureFileName;
}

std::filesystem::path programFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path(error);
  return exe.parent_path();
}

}  // namespace pellarin
