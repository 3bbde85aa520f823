#pragma once
// The background-music operations that run mode drives.

namespace pellarin {

class MusicPlayer {
 public:
  virtual ~MusicPlayer() = default;
  virtual void openCdAudio() = 0;
  // One CD poll; afterwards cdPollActive() tells whether polling should go on.
  virtual void pollCdAudio() = 0;
  virtual bool cdPollActive() = 0;
  virtual void stopCdAudio() = 0;
  virtual void startMp3() = 0;
  virtual void repeatMp3() = 0;
  virtual void stopMp3() = 0;
  virtual void startWav() = 0;
  virtual void stopWav() = 0;
};

}  // namespace pellarin
