#pragma once
// Scaffolding for tests that run shipped programs or talk to the X server: bounded waits,
// started processes, windows found by title, synthetic keys, screen pixels, JPEG decoding.

// gtest first: the X11 headers define macros (None, Bool) that clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/temp_folder.h"

namespace pellarin::testing {

using namespace std::chrono_literals;

// Polls done() every `step` until it holds or `limit` has passed; done()'s final answer.
template <typename Done>
bool waitUntil(Done done, std::chrono::milliseconds limit = 20s,
               std::chrono::milliseconds step = 10ms) {
  for (const auto end = std::chrono::steady_clock::now() + limit;
       std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(step)) {
    if (done()) return true;
  }
  return done();
}

std::string readFile(const std::filesystem::path& path);

// A program started with the test's environment (stderr optionally into a file); killed and
// reaped if the test leaves it running.
class Process {
 public:
  Process(const std::filesystem::path& program, std::vector<std::string> args,
          const std::filesystem::path& stderrFile = {});
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  pid_t pid() const { return pid_; }
  bool running() { return !exited(); }
  // The exit status (128 + signal when killed) once the process has ended within the limit.
  std::optional<int> waitForExit(std::chrono::milliseconds limit);

 private:
  bool exited();
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Runs a program to its end (killed after `limit`) with stdout and stderr into `output`; its exit
// status (128 + signal when killed), nothing when it could not start or had to be killed.
std::optional<int> runCommand(const std::filesystem::path& program,
                              const std::vector<std::string>& args, std::string* output = nullptr,
                              std::chrono::milliseconds limit = 120s);

// A command run as an ordinary user (nobody, through runuser, when the test runs as root; else
// the test's own user) with `variables` ("NAME=value") added to the environment.
struct CommandLine {
  std::filesystem::path program;
  std::vector<std::string> args;
};
CommandLine asOrdinaryUser(const std::vector<std::string>& variables,
                           const std::vector<std::string>& command);
// A folder that the ordinary user of asOrdinaryUser owns (made when missing).
void makeOrdinaryUsersFolder(const std::filesystem::path& folder);

// A virtual X server of the test's own with one screen per entry of `screens` ("1024x768x24"),
// stopped with the object. DISPLAY is not changed; name() is ":N", empty when it did not start.
class VirtualXServer {
 public:
  explicit VirtualXServer(const std::vector<std::string>& screens);
  ~VirtualXServer();
  VirtualXServer(const VirtualXServer&) = delete;
  VirtualXServer& operator=(const VirtualXServer&) = delete;
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// A connection of the test's own that ignores X errors: windows come and go while it looks.
Display* openDisplay();
// Any window with this title in _NET_WM_NAME or WM_NAME, anywhere in the tree; with viewable,
// only a shown one. 0 when there is none.
Window findWindow(Display* display, const std::string& title, bool viewable = false);
// The same, searching only the tree from `top` down (top included).
Window findWindowFrom(Display* display, Window top, const std::string& title,
                      bool viewable = false);
Window waitForWindow(Display* display, const std::string& title,
                     std::chrono::milliseconds limit = 20s, bool viewable = false);
void sendKey(Display* display, unsigned long keysym, bool down);
void pressKey(Display* display, unsigned long keysym);  // down and up
// What a window manager sends when the close box is clicked.
void requestClose(Display* display, Window window);
// The area's pixels as 0xRRGGBB, row by row; empty when it cannot be read.
std::vector<std::uint32_t> pixels(Display* display, Drawable drawable, int x, int y, int width,
                                  int height);
// One pixel as 0xRRGGBB, or kNoPixel when it cannot be read.
constexpr std::uint32_t kNoPixel = 0xFFFFFFFF;
std::uint32_t pixelAt(Display* display, Drawable drawable, int x, int y);
// True when any pixel of the window is not black.
bool showsSomething(Display* display, Window window);
// True when the pointer's current image is wholly transparent (hidden).
bool pointerBlank(Display* display);

struct RgbImage {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
};
// The decoded JPEG; nothing when the bytes do not decode.
std::optional<RgbImage> decodeJpeg(const std::string& bytes);

// Processes that run a program file from this folder and have not ended (zombies excluded).
std::vector<pid_t> runningProcessesIn(const std::filesystem::path& folder);

}  // namespace pellarin::testing
