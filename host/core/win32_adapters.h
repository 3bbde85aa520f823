#pragma once
// The host's Win32 adapters.

#include <cstdint>
#include <filesystem>

#include "host/core/music_lock.h"

namespace pellarin {

// MusicLock over a file in the work folder held open sharing nothing: no other process can open
// it meanwhile, the system closes the handle when the holding process ends, however it ends,
// and the handle is not inherited by the programs this one starts. The file itself stays and
// means nothing.
class MusicLockWin32 final : public MusicLock {
 public:
  explicit MusicLockWin32(std::filesystem::path file) : file_(std::move(file)) {}
  ~MusicLockWin32() override;
  MusicLockWin32(const MusicLockWin32&) = delete;
  MusicLockWin32& operator=(const MusicLockWin32&) = delete;
  bool tryAcquire() override;
  void release() override;

 private:
  std::filesystem::path file_;
  std::intptr_t handle_ = -1;
};

}  // namespace pellarin
