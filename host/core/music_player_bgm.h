#pragma once
// MusicPlayer over the Quorvane_BGM module and the platform's music devices.

#include "host/core/music_player.h"

namespace pellarin {

class MusicPlayerBgm final : public MusicPlayer {
 public:
  void openCdAudio() override;
  void pollCdAudio() override;
  bool cdPollActive() override;
  void stopCdAudio() override;
  void startMp3() override;
  void repeatMp3() override;
  void stopMp3() override;
  void startWav() override;
  void stopWav() override;
};

}  // namespace pellarin
