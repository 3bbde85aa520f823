// Fuzzes the command-string interpreter with stand-in devices.
//
// Input: one line per step. A line is a command, in which "%" stands for the private folder
// (it holds the files "a.mp3" and "my song.mp3"), or one of these controls of the stand-ins:
//   #tracks S+C S+Cd ...  the disc's tracks: start frame and frame count of each, in disc order;
//                         "d" marks a data track
//   #disc ready|none      the drive's state
//   #length N             the length in milliseconds of media files opened from now on (0: unknown)
//   #at N                 playing ends at position N (frames for the CD, milliseconds for files)
//   #end                  playing reaches the end of the range it was given
//   #fail                 from now on the devices fail every request (again: they work again)
//   #refuse               the next opens fail (again: they work again)
//
// Two interpreters run the same steps: one through execute(), one through sendString() with a
// reply buffer whose size changes from line to line. Checked: both give the same codes and the
// second's reply is the first's, cut to its buffer; an error leaves no reply and has a text;
// known status items answer in their form; no device is ever asked to play a reversed range or
// past the end of the disc or file, nor a drive to play frames outside its audio tracks; closing
// all devices releases them.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/music/mci_interpreter.h"

namespace pellarin {
namespace {

using fuzz::fail;

class FakeMedia;

// What the stand-ins of one interpreter share: one drive, the files' settings, the failures.
struct World {
  CdDiscState disc = CdDiscState::ready;
  std::vector<CdTrack> tracks = {{0, 750}, {750, 1500}, {2250, 300}};
  std::uint64_t mediaLength = 5000;
  bool failing = false;
  bool refusing = false;
  // The devices the interpreter holds: each stand-in signs in and out here.
  std::set<FakeMedia*> media;
  int drives = 0;
  int alive() const { return static_cast<int>(media.size()) + drives; }
  // The drive's position and play range, shared by every open of it.
  std::uint32_t cdPosition = 0;
  std::uint32_t cdEnd = 0;
  bool cdPlaying = false;
};

std::uint32_t discEnd(const std::vector<CdTrack>& tracks) {
  std::uint32_t end = 0;
  for (const CdTrack& track : tracks) end = std::max(end, track.startFrame + track.frameCount);
  return end;
}

// True when every frame of [from, to) lies in an audio track, so the range is sound only.
bool onlyAudio(const std::vector<CdTrack>& tracks, std::uint32_t from, std::uint32_t to) {
  std::uint32_t frame = from;
  while (frame < to) {
    auto holder = std::find_if(tracks.begin(), tracks.end(), [frame](const CdTrack& track) {
      return track.audio && frame >= track.startFrame &&
             frame - track.startFrame < track.frameCount;
    });
    if (holder == tracks.end()) return false;
    frame = holder->startFrame + holder->frameCount;
  }
  return true;
}

class FakeMedia final : public MediaFileDevice {
 public:
  explicit FakeMedia(World& world) : world_(world), length_(world.mediaLength) {
    world_.media.insert(this);
  }
  ~FakeMedia() override { world_.media.erase(this); }

  bool play(std::uint64_t fromMs, std::optional<std::uint64_t> toMs) override {
    if (length_ != 0) {
      FUZZ_CHECK(fromMs <= length_, "file played from %llu past its length %llu",
                 static_cast<unsigned long long>(fromMs), static_cast<unsigned long long>(length_));
    }
    if (toMs) {
      FUZZ_CHECK(fromMs <= *toMs, "file played backwards, from %llu to %llu",
                 static_cast<unsigned long long>(fromMs), static_cast<unsigned long long>(*toMs));
      if (length_ != 0) FUZZ_CHECK(*toMs <= length_, "file played past its length");
    }
    if (world_.failing) return false;
    position_ = fromMs;
    end_ = toMs.value_or(length_);
    playing_ = true;
    return true;
  }
  bool stop() override { return pause(); }
  bool pause() override {
    if (world_.failing) return false;
    playing_ = false;
    return true;
  }
  bool playing() override { return playing_; }
  std::uint64_t positionMs() override { return position_; }
  std::uint64_t lengthMs() override { return length_; }

  // A real file's position never passes its end.
  void moveTo(std::uint64_t position) {
    position_ = length_ != 0 ? std::min(position, length_) : position;
    playing_ = false;
  }
  void reachEnd() { moveTo(end_); }

 private:
  World& world_;
  std::uint64_t length_;
  std::uint64_t position_ = 0;
  std::uint64_t end_ = 0;
  bool playing_ = false;
};

class FakeDrive final : public CdAudioDrive {
 public:
  explicit FakeDrive(World& world) : world_(world) { ++world_.drives; }
  ~FakeDrive() override { --world_.drives; }

  CdDiscState discState() override { return world_.disc; }
  std::vector<CdTrack> tracks() override {
    return world_.disc == CdDiscState::ready ? world_.tracks : std::vector<CdTrack>{};
  }
  bool play(std::uint32_t fromFrame, std::uint32_t toFrame) override {
    FUZZ_CHECK(world_.disc == CdDiscState::ready, "drive without a disc asked to play");
    FUZZ_CHECK(fromFrame <= toFrame, "drive asked to play a reversed range, %u to %u", fromFrame,
               toFrame);
    FUZZ_CHECK(toFrame <= discEnd(world_.tracks), "drive asked to play to %u, past the disc's end",
               toFrame);
    FUZZ_CHECK(onlyAudio(world_.tracks, fromFrame, toFrame),
               "drive asked to play %u to %u, which is not all sound", fromFrame, toFrame);
    if (world_.failing) return false;
    world_.cdPosition = fromFrame;
    world_.cdEnd = toFrame;
    world_.cdPlaying = true;
    return true;
  }
  bool stop() override { return pause(); }
  bool pause() override {
    if (world_.failing) return false;
    world_.cdPlaying = false;
    return true;
  }
  bool playing() override { return world_.cdPlaying; }
  std::uint32_t positionFrame() override { return world_.cdPosition; }

 private:
  World& world_;
};

class FakeProvider final : public MciDeviceProvider {
 public:
  explicit FakeProvider(World& world) : world_(world) {}

  std::unique_ptr<MediaFileDevice> openMediaFile(const std::string&,
                                                 DeviceOpenFailure& failure) override {
    if (world_.refusing) {
      failure = DeviceOpenFailure::cannotPlay;
      return nullptr;
    }
    return std::make_unique<FakeMedia>(world_);
  }
  std::unique_ptr<CdAudioDrive> openCdDrive(DeviceOpenFailure& failure) override {
    if (world_.refusing) {
      failure = DeviceOpenFailure::noDevice;
      return nullptr;
    }
    return std::make_unique<FakeDrive>(world_);
  }

 private:
  World& world_;
};

// One interpreter with its own stand-ins.
struct Side {
  World world;
  FakeProvider provider{world};
  MciInterpreter interpreter{provider};

  ~Side() {
    interpreter.closeAll();
    FUZZ_CHECK(world.alive() == 0, "%d devices left open after closing all", world.alive());
  }

  void control(std::string_view verb, std::string_view argument) {
    if (verb == "#tracks") {
      world.tracks.clear();
      std::size_t i = 0;
      while (i < argument.size() && world.tracks.size() < 100) {
        char* end = nullptr;
        const std::string rest(argument.substr(i));
        const unsigned long start = std::strtoul(rest.c_str(), &end, 10);
        const unsigned long count = *end == '+' ? std::strtoul(end + 1, &end, 10) : 0;
        const bool data = *end == 'd';
        if (data) ++end;
        // Frames of a real disc stay far below 2^24; larger ones only overflow the stand-in.
        world.tracks.push_back({static_cast<std::uint32_t>(start & 0xFFFFFF),
                                static_cast<std::uint32_t>(count & 0xFFFFFF), !data});
        const std::size_t used = static_cast<std::size_t>(end - rest.c_str());
        i += used + 1;
      }
    } else if (verb == "#disc") {
      world.disc = argument == "none" ? CdDiscState::noDisc : CdDiscState::ready;
    } else if (verb == "#length") {
      world.mediaLength = std::strtoull(std::string(argument).c_str(), nullptr, 10) & 0xFFFFFFFF;
    } else if (verb == "#at" || verb == "#end") {
      const std::uint64_t at = std::strtoull(std::string(argument).c_str(), nullptr, 10);
      world.cdPlaying = false;
      world.cdPosition = verb == "#end" ? world.cdEnd : static_cast<std::uint32_t>(at);
      for (FakeMedia* media : world.media) {
        if (verb == "#end") {
          media->reachEnd();
        } else {
          media->moveTo(at);
        }
      }
    } else if (verb == "#fail") {
      world.failing = !world.failing;
    } else if (verb == "#refuse") {
      world.refusing = !world.refusing;
    }
  }
};

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = text.find_first_not_of(" \t\r\n", i);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(text.find_first_of(" \t\r\n", start), text.size());
    out.emplace_back(text.substr(start, end - start));
    i = end;
  }
  return out;
}

bool isDecimal(std::string_view text) {
  return !text.empty() && text.size() <= 20 &&
         text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Replies of the status items whose form is fixed.
void checkStatusReply(const std::string& command, const std::string& reply, const World& world) {
  const std::vector<std::string> all = words(lower(command));
  if (all.size() < 3 || all[0] != "status") return;
  std::string item;
  for (std::size_t i = 2; i < all.size(); ++i) item += (i > 2 ? " " : "") + all[i];
  if (item == "mode") {
    static const std::set<std::string> modes = {"playing", "paused", "stopped", "open",
                                                "not ready"};
    FUZZ_CHECK(modes.count(reply) == 1, "mode %s", reply.c_str());
  } else if (item == "ready" || item == "media present") {
    FUZZ_CHECK(reply == "true" || reply == "false", "%s is %s", item.c_str(), reply.c_str());
  } else if (item == "time format") {
    FUZZ_CHECK(reply == "milliseconds" || reply == "tmsf" || reply == "msf", "time format %s",
               reply.c_str());
  } else if (item == "position" || item == "length") {
    FUZZ_CHECK(!reply.empty() && reply.find_first_not_of("0123456789:") == std::string::npos,
               "%s is %s", item.c_str(), reply.c_str());
  } else if (item == "number of tracks" && world.disc == CdDiscState::ready) {
    FUZZ_CHECK(reply == std::to_string(world.tracks.size()), "%s tracks, not %zu", reply.c_str(),
               world.tracks.size());
  } else if (item == "current track") {
    FUZZ_CHECK(isDecimal(reply), "current track %s", reply.c_str());
    const unsigned long track = std::strtoul(reply.c_str(), nullptr, 10);
    FUZZ_CHECK(track >= 1 && track <= world.tracks.size(), "current track %lu of %zu", track,
               world.tracks.size());
  }
}

std::string withFolder(std::string_view line) {
  std::string out;
  for (char c : line) {
    if (c == '%') {
      out += fuzz::privateFolder().string();
    } else {
      out += c;
    }
  }
  return out;
}

void step(Side& whole, Side& cut, std::string_view line, std::size_t replyLength) {
  if (line.empty()) return;
  if (line[0] == '#') {
    const std::size_t blank = std::min(line.find(' '), line.size());
    const std::string_view verb = line.substr(0, blank);
    const std::string_view argument = line.substr(std::min(blank + 1, line.size()));
    whole.control(verb, argument);
    cut.control(verb, argument);
    return;
  }
  // sendString takes a C string: the command ends at a NUL for both.
  const std::string command = withFolder(line.substr(0, line.find('\0')));

  std::string reply = "left over";
  const std::int32_t code = whole.interpreter.execute(command, reply);
  std::vector<char> buffer(replyLength + 1, '\x7F');
  const std::int32_t cutCode =
      cut.interpreter.sendString(command.c_str(), replyLength == 0 ? nullptr : buffer.data(),
                                 static_cast<std::uint32_t>(replyLength));

  FUZZ_CHECK(code == cutCode, "\"%s\": %d from execute, %d from sendString", command.c_str(), code,
             cutCode);
  FUZZ_CHECK(reply.find('\0') == std::string::npos, "\"%s\" replied with a NUL", command.c_str());
  if (replyLength > 0) {
    const std::string got(buffer.data(), strnlen(buffer.data(), replyLength));
    FUZZ_CHECK(got.size() < replyLength, "\"%s\": reply not ended within %zu bytes",
               command.c_str(), replyLength);
    FUZZ_CHECK(got == reply.substr(0, replyLength - 1), "\"%s\": reply %s, cut reply %s",
               command.c_str(), reply.c_str(), got.c_str());
  }
  FUZZ_CHECK(buffer[replyLength] == '\x7F', "\"%s\": reply written past its buffer",
             command.c_str());

  if (code != 0) {
    FUZZ_CHECK(reply.empty(), "\"%s\" failed with %d and replied %s", command.c_str(), code,
               reply.c_str());
    char text[256];
    FUZZ_CHECK(whole.interpreter.errorString(code, text, sizeof text) && text[0] != '\0',
               "\"%s\" failed with %d, a code without a text", command.c_str(), code);
    return;
  }
  const std::vector<std::string> all = words(lower(command));
  if (!all.empty() && all[0] == "open") {
    FUZZ_CHECK(isDecimal(reply) && reply != "0", "open replied %s", reply.c_str());
  }
  if (!all.empty() && all[0] == "close" && all.size() == 2 && all[1] == "all") {
    FUZZ_CHECK(whole.world.alive() == 0, "close all left %d devices", whole.world.alive());
  }
  checkStatusReply(command, reply, whole.world);
}

}  // namespace
}  // namespace pellarin

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using pellarin::fuzz::privateFolder;
  pellarin::fuzz::writeFile(privateFolder() / "a.mp3", "not really a song");
  pellarin::fuzz::writeFile(privateFolder() / "my song.mp3", "not really a song either");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pellarin;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  Side whole;
  Side cut;
  std::size_t lineNumber = 0;
  while (!input.empty()) {
    const std::size_t end = std::min(input.find('\n'), input.size());
    step(whole, cut, input.substr(0, end), (lineNumber * 7 + end) % 40);
    input.remove_prefix(std::min(end + 1, input.size()));
    ++lineNumber;
  }
  return 0;
}
