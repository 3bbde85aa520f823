#pragma once
// Lets exactly one of several hosts that run at the same time (a screen-saver daemon starts one
// per monitor) play the music.

namespace pellarin {

class MusicLock {
 public:
  virtual ~MusicLock() = default;
  // True when this process holds the lock, taking it if nobody does; never waits. The lock is
  // the same for every host of the user. A process that ends, however it ends, lets go of it,
  // and programs this process starts never hold it. When the lock itself cannot be made (no
  // usable work folder), true: playing twice is better than never.
  virtual bool tryAcquire() = 0;
  // Lets go of the lock; nothing when it is not held.
  virtual void release() = 0;
};

}  // namespace pellarin
