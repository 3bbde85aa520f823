#include "host/music/music_devices.h"

#include <utility>

#include "host/music/mci_errors.h"
#include "host/music/music_devices_internal.h"

namespace pellarin {
namespace {

// Stand-ins for a program that never installed its devices: nothing plays, nothing crashes.
class AbsentCommands final : public MciCommandInterface {
 public:
  std::int32_t sendString(const char*, char* reply, std::uint32_t replyLength) override {
    if (reply != nullptr && replyLength > 0) reply[0] = '\0';
    return kMciErrorCannotLoadDriver;
  }
  bool errorString(std::int32_t, char* text, std::uint32_t length) override {
    if (text != nullptr && length > 0) text[0] = '\0';
    return false;
  }
};

class AbsentSounds final : public LoopingSoundPlayer {
 public:
  bool startLoop(std::string_view) override { return false; }
  bool stop() override { return false; }
};

class AbsentOutputs final : public AudioOutputCounter {
 public:
  std::int32_t countOutputDevices() override { return 0; }
};

AbsentCommands absentCommands;
AbsentSounds absentSounds;
AbsentOutputs absentOutputs;

struct Installed {
  MciCommandInterface* commands = nullptr;
  LoopingSoundPlayer* sounds = nullptr;
  AudioOutputCounter* outputs = nullptr;
  void (*release)() = nullptr;
};
Installed installed;

}  // namespace

void setMusicDevices(MciCommandInterface& commands, LoopingSoundPlayer& sounds,
                     AudioOutputCounter& outputs, void (*release)()) {
  removeMusicDevices();
  installed = {&commands, &sounds, &outputs, release};
}

bool platformMusicDevicesInstalled() {
  return installed.release != nullptr;
}

void installMusicDevices(MciCommandInterface& commands, LoopingSoundPlayer& sounds,
                         AudioOutputCounter& outputs) {
  setMusicDevices(commands, sounds, outputs, nullptr);
}

void removeMusicDevices() {
  auto release = std::exchange(installed, Installed{}).release;
  if (release != nullptr) release();
}

MusicDevices musicDevices() {
  if (installed.commands == nullptr) return {absentCommands, absentSounds, absentOutputs};
  return {*installed.commands, *installed.sounds, *installed.outputs};
}

}  // namespace pellarin
