// The settings-file engine's file access over POSIX calls.
//
// A write's file is marked busy with flock(): the kernel drops the lock when its process ends,
// however it ends, and the lock belongs to one open file, so a second write in the same process
// sees the first one's file as busy too. Where the file system cannot lock at all, a file is
// never taken for abandoned.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "common/debug_log.h"
#include "common/file_access.h"

namespace pellarin::file_access {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True while name still leads to the open file fd (not removed, not replaced).
bool stillNamed(int fd, const std::filesystem::path& name) {
  struct stat held {
  }, named{};
  return ::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 && sameFile(held, named);
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
  const std::filesystem::path folder = file.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  return true;
}

}  // namespace

EntryKind entryKind(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    return errno == ENOENT ? EntryKind::Missing : EntryKind::Unknown;
  }
  if (S_ISLNK(status.st_mode)) return EntryKind::Link;
  return S_ISREG(status.st_mode) ? EntryKind::RegularFile : EntryKind::Other;
}

std::optional<std::filesystem::path> resolvedPath(const std::filesystem::path& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::nullopt;
  std::filesystem::path result(resolved);
  std::free(resolved);
  return result;
}

FileBytes readRegularFile(const std::filesystem::path& file) {
  FileBytes content;
  // Looked at before it is opened: opening a pipe waits for a writer, opening a device may act.
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0) {
    if (errno == ENOENT) {
      content.outcome = ReadOutcome::Missing;
    } else {
      debugLog("profile: cannot look at %s: %s\n", file.c_str(), std::strerror(errno));
    }
    return content;
  }
  if (!S_ISREG(status.st_mode)) {
    debugLog("profile: %s is not a regular file\n", file.c_str());
    return content;
  }
  // O_NONBLOCK still, for a pipe put in the file's place after the look.
  Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) {
    if (errno == ENOENT) {
      content.outcome = ReadOutcome::Missing;
    } else {
      debugLog("profile: cannot open %s: %s\n", file.c_str(), std::strerror(errno));
    }
    return content;
  }
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    debugLog("profile: %s is not a regular file\n", file.c_str());
    return content;
  }
  if (status.st_size > 0) content.bytes.reserve(static_cast<std::size_t>(status.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got > 0) {
      content.bytes.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      debugLog("profile: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
      content.bytes.clear();
      return content;
    }
  }
  content.outcome = ReadOutcome::Read;
  return content;
}

bool mayWrite(const std::filesystem::path& file) {
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
}

NewFile::NewFile(std::intptr_t handle, std::filesystem::path path)
    : handle_(handle), path_(std::move(path)) {}

NewFile::NewFile(NewFile&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = -1;
  other.path_.clear();
}

NewFile::~NewFile() {
  // Removed while still marked busy, so no one else can take the name meanwhile.
  if (handle_ >= 0 && !path_.empty()) ::unlink(path_.c_str());
  release();
}

void NewFile::release() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

std::optional<NewFile> NewFile::createIn(const std::filesystem::path& folder,
                                         std::string_view prefix, std::string_view suffix) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path place = folder.empty() ? std::filesystem::path(".") : folder;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string name(prefix);
    name += std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1)) + "." +
            std::to_string(now % 1000000);
    name += suffix;
    const std::filesystem::path path = place / name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      debugLog("profile: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
      return std::nullopt;
    }
    NewFile file(fd, path);
    // Between the create and the lock another write may have found the file unmarked and
    // removed it as abandoned; then this one starts again under a new name.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) {
        file.path_.clear();  // the other write removes it
        continue;
      }
      debugLog("profile: %s cannot be marked busy: %s\n", path.c_str(), std::strerror(errno));
    }
    if (!stillNamed(fd, path)) {
      file.path_.clear();
      continue;
    }
    // The umask may have taken the owner's bits away.
    if (::fchmod(fd, 0600) != 0) {
      debugLog("profile: cannot set the mode of %s: %s\n", path.c_str(), std::strerror(errno));
      return std::nullopt;
    }
    return file;
  }
  debugLog("profile: no free temporary name in %s\n", place.c_str());
  return std::nullopt;
}

bool NewFile::append(std::string_view bytes) {
  if (writeAll(static_cast<int>(handle_), bytes)) return true;
  debugLog("profile: cannot write %s: %s\n", path_.c_str(), std::strerror(errno));
  return false;
}

bool NewFile::replace(const std::filesystem::path& target) {
  const int fd = static_cast<int>(handle_);
  struct stat old {};
  if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
      (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    debugLog("profile: owner of %s not kept: %s\n", target.c_str(), std::strerror(errno));
  }
  // The rename comes while the file is still marked busy.
  if (::fsync(fd) != 0 || ::rename(path_.c_str(), target.c_str()) != 0) {
    debugLog("profile: cannot replace %s: %s\n", target.c_str(), std::strerror(errno));
    return false;
  }
  path_.clear();
  release();
  // Make the rename itself durable; the new file is in place either way.
  Descriptor folder(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return true;
}

bool removeIfAbandoned(const std::filesystem::path& file) {
  struct stat named {};
  if (::lstat(file.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return false;
  Descriptor fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) return false;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;  // its write is under way
  // Still the file that was looked at, not one put under the name since.
  if (!stillNamed(fd.get(), file) || ::unlink(file.c_str()) != 0) return false;
  debugLog("profile: removed %s, left by a write that did not finish\n", file.c_str());
  return true;
}

}  // namespace pellarin::file_access
