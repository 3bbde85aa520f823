// Whole-file reads and writes over POSIX file descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

#include "libs/support/whole_file.h"

namespace pellarin::libs {

namespace {

bool readAll(int fd, std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, data + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // shrank under us, or a read error
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

FileReadStatus readRegularFile(const char* path, std::uint64_t limit,
                               std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  // O_NONBLOCK: a FIFO without a writer would otherwise hold the open for ever. The type is
  // checked on the open descriptor, so a file swapped for a FIFO after a check cannot slip in.
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return FileReadStatus::unreadable;
  struct stat info {};
  FileReadStatus status = FileReadStatus::ok;
  if (::fstat(fd, &info) != 0) {
    status = FileReadStatus::unreadable;
  } else if (!S_ISREG(info.st_mode)) {
    status = FileReadStatus::notRegular;
  } else if (static_cast<std::uint64_t>(info.st_size) > limit) {
    status = FileReadStatus::tooLarge;
  } else {
    try {
      bytes.resize(static_cast<std::size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
      status = FileReadStatus::noMemory;
    }
    if (status == FileReadStatus::ok && !readAll(fd, bytes.data(), bytes.size())) {
      status = FileReadStatus::unreadable;
    }
  }
  ::close(fd);
  if (status != FileReadStatus::ok) std::vector<std::uint8_t>().swap(bytes);
  return status;
}

bool replaceFileWhole(const char* path, std::span<const std::uint8_t> bytes) {
  std::string temporary = std::string(path) + ".XXXXXX";
  // mkostemp creates with O_EXCL under a random name: a link planted under a name it picks
  // makes the creation fail instead of being followed.
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // The umask may leave fewer bits, or the picture would be someone else's to read: exactly 0600.
  bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && writeAll(fd, bytes.data(), bytes.size()) &&
            ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  // rename replaces whatever entry `path` is, a link included, without following it.
  if (ok) ok = ::rename(temporary.c_str(), path) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace pellarin::libs
