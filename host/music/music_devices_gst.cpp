// The Linux devices: this program's command interpreter with GStreamer behind it.

#include <cstdlib>
#include <memory>
#include <string>

#include "host/music/cd_audio_drive_gst.h"
#include "host/music/cd_sector_source_linux.h"
#include "host/music/gst_runtime_gst.h"
#include "host/music/looping_sound_player_gst.h"
#include "host/music/mci_interpreter.h"
#include "host/music/media_file_device_gst.h"
#include "host/music/music_devices_internal.h"

namespace pellarin {
namespace {

constexpr const char* kDefaultCdDrive = "/dev/cdrom";

bool isCueSheet(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ending = path.substr(path.size() - 4);
  for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ending == ".cue";
}

class GstDeviceProvider final : public MciDeviceProvider {
 public:
  std::unique_ptr<MediaFileDevice> openMediaFile(const std::string& path,
                                                 DeviceOpenFailure& failure) override {
    return openMediaFileGst(path, failure);
  }

  std::unique_ptr<CdAudioDrive> openCdDrive(DeviceOpenFailure& failure) override {
    const char* chosen = std::getenv("PELLARIN_CD_DEVICE");
    std::string path = chosen != nullptr && *chosen != '\0' ? chosen : kDefaultCdDrive;
    std::unique_ptr<CdSectorSource> source =
        isCueSheet(path) ? openCdImage(path) : openCdDriveSource(path);
    if (!source) {
      failure = DeviceOpenFailure::noDevice;
      return nullptr;
    }
    auto drive = makeCdAudioDriveGst(std::move(source));
    failure = drive ? DeviceOpenFailure::none : DeviceOpenFailure::noDriver;
    return drive;
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
