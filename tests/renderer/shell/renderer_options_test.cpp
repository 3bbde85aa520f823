// The renderer's command line and the frame rate it asks for, and the pacer that keeps it.
#include "renderer/shell/renderer_options.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "renderer/shell/frame_pacer.h"

namespace pellarin {
namespace {

using Arguments = std::vector<const char*>;

RendererOptions parse(const Arguments& arguments, const char* screenSaverWindow = nullptr) {
  return parseRendererOptions(arguments, screenSaverWindow);
}

TEST(RendererOptions, CommandLinesAsADaemonOrAUserWritesThem) {
  constexpr auto kPopup = WindowTarget::Popup;
  constexpr auto kGiven = WindowTarget::Given;
  constexpr auto kRoot = WindowTarget::ScreenRoot;
  const std::optional<NativeWindowId> none;
  const std::optional<std::int64_t> noDelay;
  const std::optional<double> noCap;
  const struct {
    Arguments arguments;
    const char* screenSaverWindow;
    WindowTarget target;
    std::optional<NativeWindowId> id;
    std::optional<std::int64_t> delay;
    std::optional<double> cap;
    size_t ignored;
  } cases[] = {
      {{}, nullptr, kPopup, none, noDelay, noCap, 0},
      {{}, "0x400007", kPopup, none, noDelay, noCap, 0},  // the variable alone asks for nothing
      {{"--window-id", "0x400007"}, nullptr, kGiven, 0x400007, noDelay, noCap, 0},
      {{"-window-id", "4194311"}, nullptr, kGiven, 4194311, noDelay, noCap, 0},
      {{"--window-id", "0X1a"}, nullptr, kGiven, 0x1a, noDelay, noCap, 0},
      {{"--root"}, nullptr, kRoot, none, noDelay, noCap, 0},
      {{"-root"}, "0x600001", kGiven, 0x600001, noDelay, noCap, 0},
      {{"--root"}, "12", kGiven, 12, noDelay, noCap, 0},
      {{"--root"}, "", kGiven, none, noDelay, noCap, 0},
      {{"--root", "--window-id", "7"}, "0x600001", kGiven, 7, noDelay, noCap, 0},
      {{"--window-id", "7", "--root"}, nullptr, kGiven, 7, noDelay, noCap, 0},
      {{"--window-id", "7", "--window-id", "8"}, nullptr, kGiven, 8, noDelay, noCap, 0},
      // Still a window wanted, but none named: never a popup that takes the daemon's keyboard.
      {{"--window-id"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--window-id", "0"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--window-id", "-5"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--window-id", "+5"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--window-id", " 5"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--window-id", "5x"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--window-id", "0x"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--window-id", "0xg1"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--window-id", "18446744073709551616"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--window-id", "--root"}, nullptr, kGiven, none, noDelay, noCap, 0},
      {{"--delay", "20000"}, nullptr, kPopup, none, 20000, noCap, 0},
      {{"-delay", "0", "-max-fps", "30"}, nullptr, kPopup, none, 0, 30.0, 0},
      {{"--max-fps", "29.97"}, nullptr, kPopup, none, noDelay, 29.97, 0},
      {{"--delay", "-1", "--max-fps", "x"}, nullptr, kPopup, none, noDelay, noCap, 2},
      {{"--delay", "1e3", "--max-fps", "inf"}, nullptr, kPopup, none, noDelay, noCap, 2},
      {{"--delay"}, nullptr, kPopup, none, noDelay, noCap, 1},
      {{"/S", "-fps", "--window-id=5", "---root", "root", ""},
       nullptr,
       kPopup,
       none,
       noDelay,
       noCap,
       6},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const char* argument : c.arguments) line += std::string(argument) + " ";
    SCOPED_TRACE(line + "| " + (c.screenSaverWindow ? c.screenSaverWindow : "(unset)"));
    const RendererOptions options = parse(c.arguments, c.screenSaverWindow);
    EXPECT_EQ(options.target, c.target);
    EXPECT_EQ(options.windowId, c.id);
    EXPECT_EQ(options.delayMicroseconds, c.delay);
    EXPECT_EQ(options.maxFramesPerSecond, c.cap);
    EXPECT_EQ(options.ignored.size(), c.ignored);
  }
}

TEST(RendererOptions, FrameIntervalFromTheOptionsOrTheRefreshRate) {
  const struct {
    Arguments arguments;
    double refreshRate;
    std::int64_t interval;
  } cases[] = {
      {{}, 75.0, 0},                        // standalone: as fast as it goes
      {{"--window-id", "9"}, 75.0, 13333},  // a given window: the monitor's rate
      {{"--root"}, 59.94, 16683},
      {{"--root"}, 0.0, 16667},  // unknown rate: 60
      {{"--window-id", "9", "--delay", "20000"}, 75.0, 20000},
      {{"--window-id", "9", "--delay", "0"}, 75.0, 0},  // asked for: no limit
      {{"--window-id", "9", "--max-fps", "0"}, 75.0, 0},
      {{"--delay", "20000"}, 0.0, 20000},  // standalone with a delay keeps it
      {{"--max-fps", "30"}, 0.0, 33334},
      {{"--delay", "10000", "--max-fps", "30"}, 0.0, 33334},  // the slower one holds
      {{"--delay", "50000", "--max-fps", "30"}, 0.0, 50000},
      {{"--max-fps", "0.000001"}, 0.0, 1'000'000'000'000},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const char* argument : c.arguments) line += std::string(argument) + " ";
    EXPECT_EQ(frameIntervalMicroseconds(parse(c.arguments), c.refreshRate), c.interval)
        << line << "at " << c.refreshRate << " Hz";
  }
}

// Frames of the given lengths, each started as soon as the pacer allows: their start times.
std::vector<std::int64_t> frameStarts(std::int64_t intervalMicroseconds,
                                      const std::vector<std::int64_t>& frameLengths) {
  FramePacer pacer(intervalMicroseconds, 1'000'000);
  std::vector<std::int64_t> starts;
  std::int64_t now = 0;
  for (const std::int64_t length : frameLengths) {
    if (!pacer.due(now)) {
      const std::int64_t wait = pacer.microsecondsUntilDue(now);
      EXPECT_GT(wait, 0);
      now += wait;
      EXPECT_TRUE(pacer.due(now)) << "at " << now;
    }
    EXPECT_EQ(pacer.microsecondsUntilDue(now), 0);
    pacer.frameStarted(now);
    starts.push_back(now);
    now += length;
  }
  return starts;
}

TEST(FramePacer, FramesStartOneIntervalApartAndALateFrameStartsANewCount) {
  using Starts = std::vector<std::int64_t>;
  // Quick frames keep the cadence exactly.
  EXPECT_EQ(frameStarts(20000, {5000, 5000, 19999, 1, 5000}),
            (Starts{0, 20000, 40000, 60000, 80000}));
  // A frame a little late: the next keeps the cadence, so the average rate holds.
  EXPECT_EQ(frameStarts(20000, {25000, 5000, 5000}), (Starts{0, 25000, 40000}));
  // A long frame: no burst of frames to catch up, a new count from the late start.
  EXPECT_EQ(frameStarts(20000, {50000, 1000, 1000, 1000}), (Starts{0, 50000, 70000, 90000}));
  // No interval: back to back.
  EXPECT_EQ(frameStarts(0, {1000, 0, 3}), (Starts{0, 1000, 1000}));
  // A nanosecond counter and a very long delay do not overflow.
  FramePacer slow(1'000'000'000'000'000, 1'000'000'000);
  slow.frameStarted(5);
  EXPECT_EQ(slow.microsecondsUntilDue(5), 1'000'000'000'000);
  EXPECT_FALSE(slow.due(1'000'000'000));
}

}  // namespace
}  // namespace pellarin
