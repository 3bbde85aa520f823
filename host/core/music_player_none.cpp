// Used only while the music module is missing from the tree: every operation is silent.
#include "common/debug_log.h"
#include "host/core/music_player_bgm.h"

namespace pellarin {

void MusicPlayerBgm::openCdAudio() {
  debugLog("host: built without music\n");
}
void MusicPlayerBgm::pollCdAudio() {}
bool MusicPlayerBgm::cdPollActive() {
  return false;
}
void MusicPlayerBgm::stopCdAudio() {}
void MusicPlayerBgm::startMp3() {
  debugLog("host: built without music\n");
}
void MusicPlayerBgm::repeatMp3() {}
void MusicPlayerBgm::stopMp3() {}
void MusicPlayerBgm::startWav() {
  debugLog("host: built without music\n");
}
void MusicPlayerBgm::stopWav() {}

}  // namespace pellarin
