#pragma once
// A command-string interpreter for platforms whose system has none: it understands the commands
// the music operations send (open, close, play, stop, pause, resume, set … time format, status)
// and answers with the same replies and error codes. The devices it opens come from a provider.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/music/mci_command_interface.h"
#include "host/music/mci_device_provider.h"

namespace pellarin {

class MciInterpreter final : public MciCommandInterface {
 public:
  explicit MciInterpreter(MciDeviceProvider& provider);
  ~MciInterpreter() override;

  std::int32_t sendString(const char* command, char* reply, std::uint32_t replyLength) override;
  bool errorString(std::int32_t code, char* text, std::uint32_t length) override;

  // Carries out one command; reply receives the answer (empty after an error).
  std::int32_t execute(const std::string& command, std::string& reply);

  // Closes every open device.
  void closeAll();

  struct Word {
    std::string text;
    bool quoted = false;
  };
  enum class TimeFormat { milliseconds, tmsf, msf };
  struct Device {
    std::string alias;
    std::unique_ptr<MediaFileDevice> media;
    std::unique_ptr<CdAudioDrive> cd;
    TimeFormat timeFormat = TimeFormat::milliseconds;
    // Pausing is remembered here: the devices only tell whether they are playing.
    bool paused = false;
  };

 private:
  std::int32_t open(const std::vector<Word>& words, std::string& reply);
  std::int32_t close(const std::vector<Word>& words);
  std::int32_t play(Device& device, const std::vector<Word>& words);
  std::int32_t set(Device& device, const std::vector<Word>& words);
  std::int32_t status(Device& device, const std::vector<Word>& words, std::string& reply);
  Device* find(const std::string& name);

  MciDeviceProvider& provider_;
  std::map<int, Device> devices_;
};

}  // namespace pellarin
