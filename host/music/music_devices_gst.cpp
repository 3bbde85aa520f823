// The Linux devices: this program's command interpreter with GStreamer behind it.

#include <cstdlib>
#include <memory>
#include <string>

#include "host/music/cd_audio_drive_gst.h"
#include "host/music/gst_runtime_gst.h"
#include "host/music/looping_sound_player_gst.h"
#include "host/music/mci_interpreter.h"
#include "host/music/media_file_device_gst.h"
#include "host/music/music_devices_internal.h"

namespace pellarin {
namespace {

constexpr const char* kDefaultCdDrive = "/dev/cdrom";

class GstDeviceProvider final : public MciDeviceProvider {
 public:
  std::unique_ptr<MediaFileDevice> openMediaFile(const std::string& path,
                                                 DeviceOpenFailure& failure) override {
    return openMediaFileGst(path, failure);
  }

  std::unique_ptr<CdAudioDrive> openCdDrive(DeviceOpenFailure& failure) override {
    const char* chosen = std::getenv("PELLARIN_CD_DEVICE");
    return openCdAudioDriveGst(chosen != nullptr && *chosen != '\0' ? chosen : kDefaultCdDrive,
                               failure);
  }
};

class GstOutputCounter final : public AudioOutputCounter {
 public:
  std::int32_t countOutputDevices() override { return countAudioOutputs(); }
};

struct PlatformDevices {
  GstDeviceProvider provider;
  MciInterpreter interpreter{provider};
  std::unique_ptr<LoopingSoundPlayer> sounds = makeLoopingSoundPlayerGst();
  GstOutputCounter outputs;
};

std::unique_ptr<PlatformDevices> platform;

void releasePlatform() {
  platform.reset();
}

}  // namespace

void installPlatformMusicDevices() {
  if (platformMusicDevicesInstalled()) return;
  startGstreamer();
  stopGstreamerAtExit();
  platform = std::make_unique<PlatformDevices>();
  setMusicDevices(platform->interpreter, *platform->sounds, platform->outputs, &releasePlatform);
}

}  // namespace pellarin
