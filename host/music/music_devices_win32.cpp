// The Windows devices: the system's own multimedia command interface (mciSendStringA,
// mciGetErrorStringA), its sound player (PlaySoundA) and its waveform output count
// (waveOutGetNumDevs), with no interpreter in between.
//
// The commands and the sound's name are UTF-8 here and go to the narrow calls in the system's
// code page; a text with a character outside it is not sent (a file the calls could not name:
// the music does not start). Replies and error texts come back in that code page and are turned
// into UTF-8. Every call is reported on the debug channel with its result.
//
// Missing against the Linux devices: PELLARIN_AUDIO_SINK and PELLARIN_CD_DEVICE have no meaning
// here; the system's default devices play.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/debug_log.h"
#include "common/text_encoding.h"
#include "host/music/mci_errors.h"
#include "host/music/music_devices_internal.h"

namespace pellarin {
namespace {

// The code a command gets that cannot be given in the system's code page: as for a file that
// is not there, which is what the system could not open either.
constexpr std::int32_t kUnnameableCode = kMciErrorFileNotFound;

// Copies UTF-8 text into a caller's buffer of length bytes, cut at a character's start so that
// the NUL-terminated result is still UTF-8.
void copyOut(const std::string& text, char* buffer, std::uint32_t length) {
  if (buffer == nullptr || length == 0) return;
  std::size_t size = std::min<std::size_t>(text.size(), length - 1);
  while (size > 0 && size < text.size() &&
         (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) {
    --size;
  }
  std::memcpy(buffer, text.data(), size);
  buffer[size] = '\0';
}

// A buffer's text up to its first NUL, from the system's code page; nothing when it is none.
std::optional<std::string> textOf(const std::vector<char>& buffer) {
  const auto end = std::find(buffer.begin(), buffer.end(), '\0');
  return systemCodePageToUtf8(std::string(buffer.begin(), end));
}

class WinmmCommands final : public MciCommandInterface {
 public:
  std::int32_t sendString(const char* command, char* reply, std::uint32_t replyLength) override {
    if (reply != nullptr && replyLength > 0) reply[0] = '\0';
    const std::optional<std::string> narrow = utf8ToSystemCodePage(command);
    if (!narrow) {
      debugLog("music: \"%s\" has no form in the system's code page; not sent\n", command);
      return kUnnameableCode;
    }
    std::vector<char> buffer(std::min<std::uint32_t>(replyLength, INT_MAX / 2));
    const MCIERROR code =
        ::mciSendStringA(narrow->c_str(), buffer.empty() ? nullptr : buffer.data(),
                         static_cast<UINT>(buffer.size()), nullptr);
    debugLog("music: mciSendStringA \"%s\" -> %lu\n", command, static_cast<unsigned long>(code));
    if (!buffer.empty()) {
      buffer.back() = '\0';
      copyOut(textOf(buffer).value_or(std::string()), reply, replyLength);
    }
    return static_cast<std::int32_t>(code);
  }

  bool errorString(std::int32_t code, char* text, std::uint32_t length) override {
    if (text != nullptr && length > 0) text[0] = '\0';
    if (text == nullptr || length == 0) return false;
    std::vector<char> buffer(std::min<std::uint32_t>(length, INT_MAX / 2));
    if (!::mciGetErrorStringA(static_cast<MCIERROR>(code), buffer.data(),
                              static_cast<UINT>(buffer.size()))) {
      return false;
    }
    buffer.back() = '\0';
    const std::optional<std::string> utf8 = textOf(buffer);
    if (!utf8) return false;
    copyOut(*utf8, text, length);
    return true;
  }
};

class WinmmSounds final : public LoopingSoundPlayer {
 public:
  bool startLoop(std::string_view file) override {
    const std::optional<std::string> narrow = utf8ToSystemCodePage(file);
    if (!narrow) {
      debugLog("music: the sound's name has no form in the system's code page; not played\n");
      return false;
    }
    // A file by its name, never a sound of the system's list; and no default sound in its place
    // when it cannot be played, which would otherwise loop until the end.
    const BOOL started =
        ::PlaySoundA(narrow->c_str(), nullptr, SND_ASYNC | SND_LOOP | SND_FILENAME | SND_NODEFAULT);
    debugLog("music: PlaySoundA looping -> %d\n", started);
    return started != FALSE;
  }

  bool stop() override {
    const BOOL stopped = ::PlaySoundA(nullptr, nullptr, 0);
    debugLog("music: PlaySoundA stop -> %d\n", stopped);
    return stopped != FALSE;
  }
};

class WinmmOutputs final : public AudioOutputCounter {
 public:
  std::int32_t countOutputDevices() override {
    const UINT count = ::waveOutGetNumDevs();
    debugLog("music: waveOutGetNumDevs -> %u\n", count);
    return static_cast<std::int32_t>(std::min<UINT>(count, INT_MAX));
  }
};

struct PlatformDevices {
  WinmmCommands commands;
  WinmmSounds sounds;
  WinmmOutputs outputs;
};

PlatformDevices platform;

// The devices are the system's and stay; what plays is stopped by the operations themselves.
void releasePlatform() {}

}  // namespace

void installPlatformMusicDevices() {
  if (platformMusicDevicesInstalled()) return;
  setMusicDevices(platform.commands, platform.sounds, platform.outputs, &releasePlatform);
}

}  // namespace pellarin
