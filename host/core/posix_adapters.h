#pragma once
// The host's POSIX adapters.

#include <filesystem>

#include "host/core/music_lock.h"

namespace pellarin {

// MusicLock over an advisory lock (flock) on a file in the work folder: the kernel lets go of it
// when the holding process ends, however it ends; the file itself stays and means nothing.
class MusicLockPosix final : public MusicLock {
 public:
  explicit MusicLockPosix(std::filesystem::path file) : file_(std::move(file)) {}
  ~MusicLockPosix() override;
  MusicLockPosix(const MusicLockPosix&) = delete;
  MusicLockPosix& operator=(const MusicLockPosix&) = delete;
  bool tryAcquire() override;
  void release() override;

 private:
  std::filesystem::path file_;
  int fd_ = -1;
};

}  // namespace pellarin
