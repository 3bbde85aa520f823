#include "host/music/mci_interpreter.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "common/ascii_text.h"
#include "common/debug_log.h"
#include "host/music/cd_track_list.h"
#include "host/music/mci_errors.h"

namespace pellarin {
namespace {

using Word = MciInterpreter::Word;
using Device = MciInterpreter::Device;
using TimeFormat = MciInterpreter::TimeFormat;

// Absolute CD positions in the msf time format count the two-second lead-in before track 1.
constexpr std::uint32_t kLeadInFrames = 2 * kCdFramesPerSecond;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits a command into words. A word that begins with a quotation mark runs to the next one;
// a quotation mark anywhere else, or a quoted word not followed by a blank, is an error.
std::optional<std::vector<Word>> splitWords(std::string_view command) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (true) {
    while (i < command.size() && isBlank(command[i])) ++i;
    if (i == command.size()) return words;
    if (command[i] == '"') {
      std::size_t end = command.find('"', i + 1);
      if (end == std::string_view::npos) return std::nullopt;
      if (end + 1 < command.size() && !isBlank(command[end + 1])) return std::nullopt;
      words.push_back({std::string(command.substr(i + 1, end - i - 1)), true});
      i = end + 1;
      continue;
    }
    std::size_t end = i;
    while (end < command.size() && !isBlank(command[end])) {
      if (command[end] == '"') return std::nullopt;
      ++end;
    }
    words.push_back({std::string(command.substr(i, end - i)), false});
    i = end;
  }
}

bool isKeyword(const Word& word, std::string_view keyword) {
  return !word.quoted && asciiLower(word.text) == keyword;
}

std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint64_t limit) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > limit) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// Colon-separated fields of a position, each a plain number.
std::optional<std::vector<std::uint32_t>> splitFields(std::string_view text, std::size_t most) {
  std::vector<std::uint32_t> fields;
  while (true) {
    std::size_t colon = text.find(':');
    auto field = parseNumber(text.substr(0, colon), 255);
    if (!field) return std::nullopt;
    fields.push_back(*field);
    if (colon == std::string_view::npos) break;
    text.remove_prefix(colon + 1);
  }
  if (fields.size() > most) return std::nullopt;
  return fields;
}

std::uint32_t discEnd(const std::vector<CdTrack>& tracks) {
  return tracks.empty() ? 0 : tracks.back().startFrame + tracks.back().frameCount;
}

// Index of the track that holds frame; the last track at or after the end of the disc.
std::size_t trackIndexOf(const std::vector<CdTrack>& tracks, std::uint32_t frame) {
  std::size_t index = 0;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    if (tracks[i].startFrame <= frame) index = i;
  }
  return index;
}

std::string twoDigits(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u", value);
  return text;
}

std::string minutesSecondsFrames(std::uint32_t frames) {
  return twoDigits(frames / (60 * kCdFramesPerSecond)) + ":" +
         twoDigits(frames / kCdFramesPerSecond % 60) + ":" + twoDigits(frames % kCdFramesPerSecond);
}

std::string formatCdPosition(const std::vector<CdTrack>& tracks, std::uint32_t frame,
                             TimeFormat format) {
  switch (format) {
    case TimeFormat::milliseconds:
      return std::to_string(std::uint64_t{frame} * 1000 / kCdFramesPerSecond);
    case TimeFormat::msf:
      return minutesSecondsFrames(frame + kLeadInFrames);
    case TimeFormat::tmsf:
      break;
  }
  if (tracks.empty()) return "00:00:00:00";
  std::size_t index = trackIndexOf(tracks, frame);
  return twoDigits(static_cast<std::uint32_t>(index + 1)) + ":" +
         minutesSecondsFrames(frame - tracks[index].startFrame);
}

std::string formatCdLength(std::uint32_t frames, TimeFormat format) {
  if (format == TimeFormat::milliseconds) {
    return std::to_string(std::uint64_t{frames} * 1000 / kCdFramesPerSecond);
  }
  return minutesSecondsFrames(frames);
}

// A CD position as the play command gives it; none when it is malformed or off the disc.
std::optional<std::uint32_t> parseCdPosition(const std::vector<CdTrack>& tracks,
                                             std::string_view text, TimeFormat format) {
  std::uint64_t frame = 0;
  if (format == TimeFormat::milliseconds) {
    auto ms = parseNumber(text, 0xFFFFFFFFu);
    if (!ms) return std::nullopt;
    frame = std::uint64_t{*ms} * kCdFramesPerSecond / 1000;
  } else {
    auto fields = splitFields(text, format == TimeFormat::tmsf ? 4 : 3);
    if (!fields) return std::nullopt;
    fields->resize(format == TimeFormat::tmsf ? 4 : 3, 0);
    std::size_t first = format == TimeFormat::tmsf ? 1 : 0;
    std::uint32_t seconds = (*fields)[first + 1];
    std::uint32_t frames = (*fields)[first + 2];
    if (seconds >= 60 || frames >= kCdFramesPerSecond) return std::nullopt;
    std::uint64_t offset =
        (std::uint64_t{(*fields)[first]} * 60 + seconds) * kCdFramesPerSecond + frames;
    if (format == TimeFormat::tmsf) {
      std::uint32_t track = (*fields)[0];
      if (track < 1 || track > tracks.size()) return std::nullopt;
      frame = tracks[track - 1].startFrame + offset;
    } else {
      frame = offset < kLeadInFrames ? 0 : offset - kLeadInFrames;
    }
  }
  if (frame > discEnd(tracks)) return std::nullopt;
  return static_cast<std::uint32_t>(frame);
}

// A length of 0 is one the device does not know yet: then only the form is checked.
std::optional<std::uint64_t> parseMediaPosition(std::string_view text, std::uint64_t length) {
  auto ms = parseNumber(text, 0xFFFFFFFFu);
  if (!ms || (length != 0 && *ms > length)) return std::nullopt;
  return *ms;
}

// The words after the device name, read as "keyword value" pairs of the allowed keywords and
// lone flags. Each may appear once.
struct Options {
  std::map<std::string, std::string> values;
  std::vector<std::string> flags;
};

std::int32_t readOptions(const std::vector<Word>& words, std::size_t first,
                         std::initializer_list<std::string_view> valued,
                         std::initializer_list<std::string_view> flags, Options& options) {
  for (std::size_t i = first; i < words.size(); ++i) {
    if (words[i].quoted) return kMciErrorUnrecognizedCommand;
    std::string keyword = asciiLower(words[i].text);
    bool isValued = std::find(valued.begin(), valued.end(), keyword) != valued.end();
    bool isFlag = std::find(flags.begin(), flags.end(), keyword) != flags.end();
    if (!isValued && !isFlag) return kMciErrorUnrecognizedCommand;
    if (options.values.count(keyword) != 0 ||
        std::find(options.flags.begin(), options.flags.end(), keyword) != options.flags.end()) {
      return kMciErrorUnrecognizedCommand;
    }
    if (isFlag) {
      options.flags.push_back(keyword);
      continue;
    }
    if (i + 1 == words.size()) return kMciErrorMissingParameter;
    options.values[keyword] = words[++i].text;
  }
  return 0;
}

std::string modeText(bool playing, bool paused) {
  if (playing) return "playing";
  return paused ? "paused" : "stopped";
}

}  // namespace

MciInterpreter::MciInterpreter(MciDeviceProvider& provider) : provider_(provider) {}

MciInterpreter::~MciInterpreter() {
  closeAll();
}

void MciInterpreter::closeAll() {
  devices_.clear();
}

std::int32_t MciInterpreter::sendString(const char* command, char* reply,
                                        std::uint32_t replyLength) {
  std::string answer;
  std::int32_t code = execute(command == nullptr ? std::string() : std::string(command), answer);
  if (reply != nullptr && replyLength > 0) {
    std::size_t length = std::min<std::size_t>(answer.size(), replyLength - 1);
    std::memcpy(reply, answer.data(), length);
    reply[length] = '\0';
  }
  return code;
}

bool MciInterpreter::errorString(std::int32_t code, char* text, std::uint32_t length) {
  const char* message = mciErrorText(code);
  if (message == nullptr || text == nullptr || length == 0) return false;
  std::size_t size = std::min<std::size_t>(std::strlen(message), length - 1);
  std::memcpy(text, message, size);
  text[size] = '\0';
  return true;
}

std::int32_t MciInterpreter::execute(const std::string& command, std::string& reply) {
  reply.clear();
  std::int32_t code = kMciErrorInternal;
  try {
    auto words = splitWords(command);
    if (!words || words->empty() || (*words)[0].quoted) {
      code = kMciErrorUnrecognizedCommand;
    } else {
      std::string verb = asciiLower((*words)[0].text);
      bool known = verb == "open" || verb == "close" || verb == "play" || verb == "stop" ||
                   verb == "pause" || verb == "resume" || verb == "set" || verb == "status";
      if (!known) {
        code = kMciErrorUnrecognizedCommand;
      } else if (words->size() < 2) {
        code = kMciErrorMissingParameter;
      } else if (verb == "open") {
        code = open(*words, reply);
      } else if (verb == "close") {
        code = close(*words);
      } else if (Device* device = find((*words)[1].text); device == nullptr) {
        code = kMciErrorInvalidDeviceName;
      } else if (verb == "play") {
        code = play(*device, *words);
      } else if (verb == "set") {
        code = set(*device, *words);
      } else if (verb == "status") {
        code = status(*device, *words, reply);
      } else if (words->size() > 2) {
        code = kMciErrorUnrecognizedCommand;
      } else if (device->cd && device->cd->discState() != CdDiscState::ready) {
        code = kMciErrorDeviceNotReady;
      } else if (verb == "stop") {
        bool done = device->media ? device->media->stop() : device->cd->stop();
        device->paused = false;
        code = done ? 0 : kMciErrorInternal;
      } else if (verb == "pause") {
        bool done = device->media ? device->media->pause() : device->cd->pause();
        device->paused = done;
        code = done ? 0 : kMciErrorInternal;
      } else {  // resume
        code = 0;
        if (device->paused) code = play(*device, {(*words)[0], (*words)[1]});
      }
    }
  } catch (const std::exception& e) {
    debugLog("mci: \"%s\" failed: %s\n", command.c_str(), e.what());
    code = kMciErrorInternal;
  }
  if (code != 0) reply.clear();
  return code;
}

MciInterpreter::Device* MciInterpreter::find(const std::string& name) {
  std::string wanted = asciiLower(name);
  for (auto& [id, device] : devices_) {
    if (asciiLower(device.alias) == wanted) return &device;
  }
  return nullptr;
}

std::int32_t MciInterpreter::open(const std::vector<Word>& words, std::string& reply) {
  Options options;
  if (std::int32_t code = readOptions(words, 2, {"type", "alias"}, {"shareable"}, options)) {
    return code;
  }
  const std::string& element = words[1].text;
  if (element.empty()) return kMciErrorMissingParameter;
  auto alias = options.values.find("alias");
  std::string name = alias != options.values.end() ? alias->second : element;
  if (name.empty()) return kMciErrorMissingParameter;
  if (find(name) != nullptr) return kMciErrorDuplicateAlias;

  Device device;
  device.alias = name;
  DeviceOpenFailure failure = DeviceOpenFailure::none;
  auto type = options.values.find("type");
  if (type != options.values.end()) {
    if (asciiLower(type->second) != "mpegvideo") return kMciErrorInvalidDeviceName;
    std::error_code error;
    if (!std::filesystem::is_regular_file(element, error)) return kMciErrorFileNotFound;
    device.media = provider_.openMediaFile(element, failure);
    if (!device.media) {
      return failure == DeviceOpenFailure::noDriver ? kMciErrorCannotLoadDriver : kMciErrorInternal;
    }
  } else {
    if (words[1].quoted || asciiLower(element) != "cdaudio") return kMciErrorInvalidDeviceName;
    device.cd = provider_.openCdDrive(failure);
    if (!device.cd) return kMciErrorCannotLoadDriver;
  }

  int id = 1;
  while (devices_.count(id) != 0) ++id;
  devices_.emplace(id, std::move(device));
  reply = std::to_string(id);
  return 0;
}

std::int32_t MciInterpreter::close(const std::vector<Word>& words) {
  if (words.size() > 2) return kMciErrorUnrecognizedCommand;
  if (isKeyword(words[1], "all")) {
    closeAll();
    return 0;
  }
  Device* device = find(words[1].text);
  if (device == nullptr) return kMciErrorInvalidDeviceName;
  for (auto it = devices_.begin(); it != devices_.end(); ++it) {
    if (&it->second == device) {
      devices_.erase(it);
      break;
    }
  }
  return 0;
}

std::int32_t MciInterpreter::play(Device& device, const std::vector<Word>& words) {
  Options options;
  if (std::int32_t code = readOptions(words, 2, {"from", "to"}, {}, options)) return code;
  auto from = options.values.find("from");
  auto to = options.values.find("to");
  device.paused = false;

  if (device.media) {
    std::uint64_t length = device.media->lengthMs();
    std::uint64_t start = device.media->positionMs();
    std::optional<std::uint64_t> end;
    if (from != options.values.end()) {
      auto position = parseMediaPosition(from->second, length);
      if (!position) return kMciErrorOutOfRange;
      start = *position;
    }
    if (to != options.values.end()) {
      end = parseMediaPosition(to->second, length);
      if (!end || *end < start) return kMciErrorOutOfRange;
    }
    return device.media->play(start, end) ? 0 : kMciErrorInternal;
  }

  CdAudioDrive& cd = *device.cd;
  if (cd.discState() != CdDiscState::ready) return kMciErrorDeviceNotReady;
  std::vector<CdTrack> tracks = cd.tracks();
  if (tracks.empty()) return kMciErrorDeviceNotReady;
  auto firstAudio = std::find_if(tracks.begin(), tracks.end(), [](const CdTrack& track) {
    return track.audio && track.frameCount > 0;
  });
  if (firstAudio == tracks.end()) return kMciErrorDeviceNotReady;
  std::uint32_t end = discEnd(tracks);
  std::uint32_t start = cd.positionFrame();
  // A disc that has played to its end starts again from its first audio track.
  if (start >= end) start = firstAudio->startFrame;
  if (from != options.values.end()) {
    auto position = parseCdPosition(tracks, from->second, device.timeFormat);
    if (!position) return kMciErrorOutOfRange;
    start = *position;
  }
  // A data track holds no sound to play.
  if (auto holder = cdTrackHolding(tracks, start); holder && !tracks[*holder].audio) {
    return kMciErrorOutOfRange;
  }
  if (to != options.values.end()) {
    auto position = parseCdPosition(tracks, to->second, device.timeFormat);
    if (!position) return kMciErrorOutOfRange;
    end = *position;
  }
  // An end before the start is refused like a "to" before a "from", also when both come from
  // the disc itself: a track list out of order puts its end before its first track's start.
  if (end < start) return kMciErrorOutOfRange;
  // Playing stops before a data track, as a drive's own playing does.
  return cd.play(start, std::min(end, cdAudioRunEnd(tracks, start))) ? 0 : kMciErrorInternal;
}

std::int32_t MciInterpreter::set(Device& device, const std::vector<Word>& words) {
  if (words.size() < 3) return kMciErrorMissingParameter;
  if (!isKeyword(words[2], "time") || words.size() < 4 || !isKeyword(words[3], "format")) {
    return kMciErrorUnrecognizedCommand;
  }
  if (words.size() < 5) return kMciErrorMissingParameter;
  if (words.size() > 5) return kMciErrorUnrecognizedCommand;
  std::string format = asciiLower(words[4].text);
  if (format == "milliseconds" || format == "ms") {
    device.timeFormat = TimeFormat::milliseconds;
  } else if (device.cd && format == "tmsf") {
    device.timeFormat = TimeFormat::tmsf;
  } else if (device.cd && format == "msf") {
    device.timeFormat = TimeFormat::msf;
  } else {
    return kMciErrorOutOfRange;
  }
  return 0;
}

std::int32_t MciInterpreter::status(Device& device, const std::vector<Word>& words,
                                    std::string& reply) {
  if (words.size() < 3) return kMciErrorMissingParameter;
  std::string item;
  for (std::size_t i = 2; i < words.size(); ++i) {
    if (words[i].quoted) return kMciErrorUnrecognizedCommand;
    item += (i > 2 ? " " : "") + asciiLower(words[i].text);
  }
  bool paused = device.paused;

  if (item == "time format") {
    reply = device.timeFormat == TimeFormat::tmsf  ? "tmsf"
            : device.timeFormat == TimeFormat::msf ? "msf"
                                                   : "milliseconds";
    return 0;
  }

  if (device.media) {
    MediaFileDevice& media = *device.media;
    if (item == "mode") {
      reply = modeText(media.playing(), paused);
    } else if (item == "position") {
      reply = std::to_string(media.positionMs());
    } else if (item == "length") {
      reply = std::to_string(media.lengthMs());
    } else if (item == "ready") {
      reply = "true";
    } else {
      return kMciErrorUnrecognizedCommand;
    }
    return 0;
  }

  CdAudioDrive& cd = *device.cd;
  CdDiscState state = cd.discState();
  std::vector<CdTrack> tracks = state == CdDiscState::ready ? cd.tracks() : std::vector<CdTrack>{};
  if (item == "mode") {
    reply = tracks.empty() ? "not ready" : modeText(cd.playing(), paused);
    return 0;
  }
  if (item == "media present" || item == "ready") {
    reply = tracks.empty() ? "false" : "true";
    return 0;
  }
  if (tracks.empty()) return kMciErrorDeviceNotReady;

  const std::string positionTrack = "position track ";
  const std::string lengthTrack = "length track ";
  if (item == "number of tracks") {
    reply = std::to_string(tracks.size());
  } else if (item == "current track") {
    reply = std::to_string(trackIndexOf(tracks, cd.positionFrame()) + 1);
  } else if (item == "position") {
    reply = formatCdPosition(tracks, cd.positionFrame(), device.timeFormat);
  } else if (item == "length") {
    reply = formatCdLength(discEnd(tracks) - tracks.front().startFrame, device.timeFormat);
  } else if (item == "position track" || item == "length track") {
    return kMciErrorMissingParameter;
  } else if (item.rfind(positionTrack, 0) == 0 || item.rfind(lengthTrack, 0) == 0) {
    bool position = item.rfind(positionTrack, 0) == 0;
    auto track = parseNumber(item.substr((position ? positionTrack : lengthTrack).size()), 255);
    if (!track || *track < 1 || *track > tracks.size()) return kMciErrorOutOfRange;
    const CdTrack& chosen = tracks[*track - 1];
    reply = position ? formatCdPosition(tracks, chosen.startFrame, device.timeFormat)
                     : formatCdLength(chosen.frameCount, device.timeFormat);
  } else {
    return kMciErrorUnrecognizedCommand;
  }
  return 0;
}

}  // namespace pellarin
