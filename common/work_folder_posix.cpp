// The work folder's platform part on POSIX systems: under the XDG configuration folder, mode 0700.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "common/debug_log.h"
#include "common/work_folder_platform.h"

namespace pellarin::work_folder_platform {

namespace {

constexpr mode_t kPrivateFolderMode = 0700;

// Only absolute paths count: a relative one would put the settings wherever the program
// happens to be started.
bool isAbsolutePath(const char* path) {
  return path != nullptr && path[0] == '/';
}

}  // namespace

std::filesystem::path parentOfWorkFolder() {
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

FolderFacts inspectFolder(const std::filesystem::path& path) {
  FolderFacts facts;
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    facts.kind = errno == ENOENT ? FolderKind::Missing : FolderKind::Unknown;
    return facts;
  }
  if (S_ISLNK(status.st_mode)) {
    facts.kind = FolderKind::Link;
  } else if (!S_ISDIR(status.st_mode)) {
    facts.kind = FolderKind::Other;
  } else {
    facts.kind = FolderKind::Folder;
    facts.ownedByUser = status.st_uid == ::geteuid();
    facts.privateToOwner = (status.st_mode & 07777) == kPrivateFolderMode;
  }
  return facts;
}

bool createPrivateFolder(const std::filesystem::path& path) {
  // Outermost first, as the XDG rules ask for folders made on the user's behalf.
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path folder = path; !folder.empty() && folder != folder.root_path();
       folder = folder.parent_path()) {
    struct stat status {};
    if (::lstat(folder.c_str(), &status) == 0 || errno != ENOENT) break;
    missing.push_back(folder);
  }
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    if (::mkdir(folder->c_str(), kPrivateFolderMode) == 0) {
      // The umask may have taken bits away; the owner needs all three.
      if (!makePrivate(*folder)) return false;
    } else if (errno != EEXIST) {
      debugLog("work folder: cannot create %s: %s\n", folder->c_str(), std::strerror(errno));
      return false;
    }
  }
  return true;
}

bool makePrivate(const std::filesystem::path& path) {
  if (::fchmodat(AT_FDCWD, path.c_str(), kPrivateFolderMode, AT_SYMLINK_NOFOLLOW) == 0) return true;
  debugLog("work folder: cannot close %s to others: %s\n", path.c_str(), std::strerror(errno));
  return false;
}

std::filesystem::path executableFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path(error);
  return exe.parent_path();
}

}  // namespace pellarin::work_folder_platform
