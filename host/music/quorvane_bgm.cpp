#include "host/music/quorvane_bgm.h"

#include <charconv>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "common/ascii_text.h"
#include "common/debug_log.h"
#include "host/core/quorvane_b.h"
#include "host/music/music_devices.h"

namespace pellarin::Quorvane_BGM {
namespace {

// Texts of the system, used exactly.
constexpr const char* kNoCommandText = "コマンド文字列が指定されていません";
constexpr const char* kNoErrorText = "Error (文字列が取れません)";
constexpr const char* kErrorPrefix = "Error:";

constexpr const char* kCdDevice = "cdaudio";
constexpr const char* kCdOpen = "open cdaudio";
constexpr const char* kCdTimeFormat = "set cdaudio time format tmsf";
constexpr const char* kCdCurrentTrack = "status cdaudio current track";
constexpr const char* kCdNumberOfTracks = "status cdaudio number of tracks";
constexpr const char* kCdMode = "status cdaudio mode";
constexpr const char* kCdTrackPosition = "status cdaudio position track ";
constexpr const char* kCdStop = "stop cdaudio";
constexpr const char* kCdClose = "close cdaudio";

constexpr const char* kMp3OpenBefore = "open \"";
constexpr const char* kMp3OpenAfter = "\" type MPEGVideo Alias MP3Play";
constexpr const char* kMp3Play = "play MP3Play";
constexpr const char* kMp3Mode = "status MP3Play mode";
constexpr const char* kMp3Stop = "stop MP3Play";
constexpr const char* kMp3Restart = "play MP3Play from 0";
constexpr const char* kMp3Close = "close MP3Play";

constexpr const char* kModeStopped = "stopped";
constexpr const char* kModePlaying = "playing";

// Sizes of the text buffers handed to the system, in characters.
constexpr std::uint32_t kReplyLength = 512;
constexpr std::uint32_t kErrorTextLength = 256;
constexpr std::uint32_t kCdModeLength = 255;
constexpr std::uint32_t kMp3ModeLength = 30;

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;

bool failed(std::string_view reply) {
  return asciiUpper(reply).find("ERR") != std::string::npos;
}

// A command sent without a reply buffer.
std::int32_t sendWithoutReply(const std::string& command) {
  return musicDevices().commands.sendString(command.c_str(), nullptr, 0);
}

// The mode text of a device, read into a buffer of the given size; true when its first seven
// characters are exactly the expected ones.
bool modeStartsWith(const char* command, std::uint32_t bufferLength, const char* expected,
                    std::int32_t* result) {
  char mode[kCdModeLength + 1] = {};
  std::int32_t code = musicDevices().commands.sendString(command, mode, bufferLength);
  if (result != nullptr) *result = code;
  mode[bufferLength - 1] = '\0';
  return std::strncmp(mode, expected, 7) == 0;
}

// A track number as the device reports it; throws when the text is no number.
long trackNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    throw std::invalid_argument("track number");
  }
  return value;
}

void pollCdAudioSteps() {
  std::string current = queryMci(kCdCurrentTrack);
  if (failed(current)) {
    cdPollActive = kFalse;
    return;
  }
  if (failed(queryMci(kCdNumberOfTracks))) {
    cdPollActive = kFalse;
    return;
  }
  bool stopped = modeStartsWith(kCdMode, kCdModeLength, kModeStopped, &Quorvane_B::lastApiResult);

  std::int16_t repeatTrack = Quorvane_B::cdRepeatTrack;
  if (repeatTrack == 0) {
    if (stopped) playMciDevice(kCdDevice, "", "");
  } else if (repeatTrack >= 1) {
    if (stopped || trackNumber(current) != repeatTrack) {
      std::string position = queryMci(kCdTrackPosition + std::to_string(repeatTrack));
      playMciDevice(kCdDevice, position, "");
    }
  }
}

}  // namespace

std::int32_t sendMciCommand(std::string_view command, std::string& reply) {
  if (command.empty()) {
    reply = kNoCommandText;
    return -1;
  }
  MusicDevices devices = musicDevices();
  std::string text(command);
  char buffer[kReplyLength] = {};
  std::int32_t code = devices.commands.sendString(text.c_str(), buffer, kReplyLength);
  Quorvane_B::lastApiResult = code;
  buffer[kReplyLength - 1] = '\0';
  if (code != 0) {
    char errorText[kErrorTextLength] = {};
    if (devices.commands.errorString(code, errorText, kErrorTextLength)) {
      errorText[kErrorTextLength - 1] = '\0';
      reply = errorText;
    } else {
      reply = kNoErrorText;
    }
    return code;
  }
  reply = buffer;
  return 0;
}

std::string queryMci(std::string_view command) {
  std::int32_t code = sendMciCommand(command, mciReply);
  Quorvane_B::lastApiResult = code;
  if (code != 0) return kErrorPrefix + std::to_string(code);
  return mciReply;
}

std::int32_t playMciDevice(std::string_view device, std::string_view from, std::string_view to) {
  std::string command = "play ";
  command += device;
  if (!from.empty()) {
    command += " from ";
    command += from;
  }
  if (!to.empty()) {
    command += " to ";
    command += to;
  }
  return sendMciCommand(command, mciReply);
}

void openCdAudio() {
  try {
    Quorvane_B::lastApiResult = sendWithoutReply(kCdOpen);
    Quorvane_B::lastApiResult = sendWithoutReply(kCdTimeFormat);
  } catch (const std::exception& e) {
    debugLog("music: opening the CD failed: %s\n", e.what());
  }
}

void pollCdAudio() {
  cdPollActive = kTrue;
  try {
    pollCdAudioSteps();
  } catch (const std::exception& e) {
    debugLog("music: CD poll ended: %s\n", e.what());
    cdPollActive = kFalse;
  }
}

void stopCdAudio() {
  try {
    Quorvane_B::lastApiResult = sendWithoutReply(kCdStop);
    Quorvane_B::lastApiResult = sendWithoutReply(kCdClose);
  } catch (const std::exception& e) {
    debugLog("music: stopping the CD failed: %s\n", e.what());
  }
}

void startMp3() {
  try {
    const std::string& file = Quorvane_B::musicFile;
    // A quotation mark would end the quoted name early and let the rest of the path be read
    // as further words of the command.
    if (file.find('"') != std::string::npos) {
      debugLog("music: not opening a file whose name holds a quotation mark\n");
      return;
    }
    if (sendWithoutReply(kMp3OpenBefore + file + kMp3OpenAfter) == 0) sendWithoutReply(kMp3Play);
  } catch (const std::exception& e) {
    debugLog("music: starting the MP3 failed: %s\n", e.what());
  }
}

bool isMp3Playing() {
  try {
    return modeStartsWith(kMp3Mode, kMp3ModeLength, kModePlaying, nullptr);
  } catch (const std::exception& e) {
    debugLog("music: MP3 status failed: %s\n", e.what());
    return false;
  }
}

void repeatMp3() {
  try {
    if (isMp3Playing()) return;
    sendWithoutReply(kMp3Stop);
    sendWithoutReply(kMp3Restart);
  } catch (const std::exception& e) {
    debugLog("music: restarting the MP3 failed: %s\n", e.what());
  }
}

void stopMp3() {
  try {
    sendWithoutReply(kMp3Stop);
    sendWithoutReply(kMp3Close);
  } catch (const std::exception& e) {
    debugLog("music: stopping the MP3 failed: %s\n", e.what());
  }
}

void startWav() {
  try {
    MusicDevices devices = musicDevices();
    if (devices.outputs.countOutputDevices() <= 0) return;
    Quorvane_B::lastApiResult = devices.sounds.startLoop(Quorvane_B::musicFile) ? 1 : 0;
  } catch (const std::exception& e) {
    debugLog("music: starting the WAV failed: %s\n", e.what());
  }
}

void stopWav() {
  try {
    Quorvane_B::lastApiResult = musicDevices().sounds.stop() ? 1 : 0;
  } catch (const std::exception& e) {
    debugLog("music: stopping the WAV failed: %s\n", e.what());
  }
}

}  // namespace pellarin::Quorvane_BGM
