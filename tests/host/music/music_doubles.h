#pragma once
// Recording doubles of the music seams.

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/music/audio_output_counter.h"
#include "host/music/cd_audio_drive.h"
#include "host/music/looping_sound_player.h"
#include "host/music/mci_command_interface.h"
#include "host/music/mci_device_provider.h"
#include "host/music/media_file_device.h"

namespace pellarin::testing {

struct SentCommand {
  std::string command;
  bool hasReplyBuffer = false;
  std::uint32_t replyLength = 0;
};

// Answers each command from a script (code and reply text); unscripted commands succeed with
// an empty reply.
class RecordingCommands final : public MciCommandInterface {
 public:
  struct Answer {
    std::int32_t code = 0;
    std::string reply;
  };

  std::int32_t sendString(const char* command, char* reply, std::uint32_t replyLength) override {
    sent.push_back({command, reply != nullptr, replyLength});
    Answer answer;
    if (auto it = script.find(command); it != script.end()) answer = it->second;
    if (reply != nullptr && replyLength > 0) {
      std::size_t length = std::min<std::size_t>(answer.reply.size(), replyLength - 1);
      std::memcpy(reply, answer.reply.data(), length);
      reply[length] = '\0';
    }
    return answer.code;
  }

  bool errorString(std::int32_t code, char* text, std::uint32_t length) override {
    errorLengths.push_back(length);
    if (!errorTexts) return false;
    std::string message = "text of " + std::to_string(code);
    std::strncpy(text, message.c_str(), length);
    return true;
  }

  std::vector<std::string> commands() const {
    std::vector<std::string> result;
    for (const auto& s : sent) result.push_back(s.command);
    return result;
  }

  std::map<std::string, Answer> script;
  std::vector<SentCommand> sent;
  bool errorTexts = true;
  std::vector<std::uint32_t> errorLengths;
};

class RecordingSounds final : public LoopingSoundPlayer {
 public:
  bool startLoop(std::string_view file) override {
    calls.push_back("loop " + std::string(file));
    return accept;
  }
  bool stop() override {
    calls.push_back("stop");
    return accept;
  }
  std::vector<std::string> calls;
  bool accept = true;
};

class FixedOutputs final : public AudioOutputCounter {
 public:
  std::int32_t countOutputDevices() override { return count; }
  std::int32_t count = 1;
};

// A media file that plays only when told and ends when the test says so.
class FakeMedia final : public MediaFileDevice {
 public:
  struct State {
    std::vector<std::pair<std::uint64_t, std::optional<std::uint64_t>>> plays;
    int stops = 0;
    bool playing = false;
    std::uint64_t position = 0;
    std::uint64_t length = 5000;
    bool alive = true;
  };
  explicit FakeMedia(State& state) : state_(state) {}
  ~FakeMedia() override { state_.alive = false; }

  bool play(std::uint64_t fromMs, std::optional<std::uint64_t> toMs) override {
    state_.plays.emplace_back(fromMs, toMs);
    state_.position = fromMs;
    state_.playing = true;
    return true;
  }
  bool stop() override {
    ++state_.stops;
    state_.playing = false;
    return true;
  }
  bool pause() override { return stop(); }
  bool playing() override { return state_.playing; }
  std::uint64_t positionMs() override { return state_.position; }
  std::uint64_t lengthMs() override { return state_.length; }

 private:
  State& state_;
};

// A CD drive whose disc, position and playing state the test sets.
class FakeCd final : public CdAudioDrive {
 public:
  struct State {
    CdDiscState disc = CdDiscState::ready;
    std::vector<CdTrack> tracks;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> plays;
    bool playing = false;
    std::uint32_t position = 0;
    bool alive = true;
  };
  explicit FakeCd(State& state) : state_(state) {}
  ~FakeCd() override { state_.alive = false; }

  CdDiscState discState() override { return state_.disc; }
  std::vector<CdTrack> tracks() override {
    return state_.disc == CdDiscState::ready ? state_.tracks : std::vector<CdTrack>{};
  }
  bool play(std::uint32_t fromFrame, std::uint32_t toFrame) override {
    state_.plays.emplace_back(fromFrame, toFrame);
    state_.position = fromFrame;
    state_.playing = true;
    return true;
  }
  bool stop() override {
    state_.playing = false;
    return true;
  }
  bool pause() override { return stop(); }
  bool playing() override { return state_.playing; }
  std::uint32_t positionFrame() override { return state_.position; }

 private:
  State& state_;
};

class FakeProvider final : public MciDeviceProvider {
 public:
  std::unique_ptr<MediaFileDevice> openMediaFile(const std::string& path,
                                                 DeviceOpenFailure& failure) override {
    openedFiles.push_back(path);
    failure = mediaFailure;
    if (mediaFailure != DeviceOpenFailure::none) return nullptr;
    media = FakeMedia::State{};
    return std::make_unique<FakeMedia>(media);
  }
  std::unique_ptr<CdAudioDrive> openCdDrive(DeviceOpenFailure& failure) override {
    failure = cdFailure;
    if (cdFailure != DeviceOpenFailure::none) return nullptr;
    cd.alive = true;
    return std::make_unique<FakeCd>(cd);
  }

  DeviceOpenFailure mediaFailure = DeviceOpenFailure::none;
  DeviceOpenFailure cdFailure = DeviceOpenFailure::none;
  std::vector<std::string> openedFiles;
  FakeMedia::State media;
  FakeCd::State cd;
};

}  // namespace pellarin::testing
