#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/debug_log.h"
#include "host/core/file_system.h"

namespace pellarin {

bool isReadableRegularFile(const std::string& path) {
  // stat first: opening a named pipe or a device could block or have effects.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  // The path may have been replaced between the two calls.
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return regular;
}

std::unique_ptr<TemporaryFile> TemporaryFile::create(const std::filesystem::path& folder,
                                                     std::string_view stem,
                                                     std::string_view ending) {
  std::string name = (folder / stem).string();
  name += "-XXXXXX";
  name += ending;
  // mkostemps opens with O_CREAT | O_EXCL, which neither reuses a file nor follows a link, and
  // gives the file mode 0600; it tries other names while the chosen one exists.
  const int fd = ::mkostemps(name.data(), static_cast<int>(ending.size()), O_CLOEXEC);
  if (fd < 0) {
    debugLog("host: cannot make a temporary file in %s: errno %d\n", folder.c_str(), errno);
    return nullptr;
  }
  return std::unique_ptr<TemporaryFile>(new TemporaryFile(name, fd));
}

TemporaryFile::~TemporaryFile() {
  close();
  ::unlink(path_.c_str());
}

void TemporaryFile::close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool TemporaryFile::writeAndClose(std::span<const std::uint8_t> bytes) {
  if (handle_ < 0) return false;
  const int fd = static_cast<int>(handle_);
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    if (ok) done += static_cast<std::size_t>(put);
  }
  handle_ = -1;
  return (::close(fd) == 0) && ok;
}

}  // namespace pellarin
