#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/debug_log.h"
#include "host/core/posix_adapters.h"

namespace pellarin {

MusicLockPosix::~MusicLockPosix() {
  release();
}

bool MusicLockPosix::tryAcquire() {
  if (fd_ >= 0) return true;
  // Never through a link, never blocking on a pipe in its place, never inherited by the
  // renderer (which would keep it after the host ended).
  const int fd = ::open(file_.c_str(),
                        O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
  if (fd < 0) {
    debugLog("host: cannot open the music lock %s (errno %d); playing\n", file_.c_str(), errno);
    return true;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    debugLog("host: the music lock %s is no file; playing\n", file_.c_str());
    return true;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    fd_ = fd;
    return true;
  }
  const int error = errno;
  ::close(fd);
  if (error == EWOULDBLOCK) return false;
  debugLog("host: cannot lock %s (errno %d); playing\n", file_.c_str(), error);
  return true;
}

void MusicLockPosix::release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor lets go of the lock
  fd_ = -1;
}

}  // namespace pellarin
