// The shell's start-up, window procedure and frame logic against a platform that keeps a clock
// and records what it was asked to do, and a stand-in for the scene that does the same. The real
// window and the ways the program ends are checked end to end on a real X server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

#include "common/work_folder.h"
#include "renderer/scene/scene.h"
#include "renderer/shell/message_queue.h"
#include "renderer/shell/renderer_shell.h"
#include "renderer/shell/renderer_state.h"
#include "tests/common/temp_folder.h"
#include "tests/common/test_platform.h"

namespace pellarin {

namespace {
struct SceneRecord {
  std::vector<float> steps;  // updateScene arguments
  std::vector<Vec3> eyes;    // drawScene arguments
  std::vector<Quaternion> orientations;
  std::vector<unsigned> polygonModes;  // rendererState.polygonMode at each draw
  std::vector<double> frameStarts;     // rendererState.elapsedSeconds at each draw
} scene;
}  // namespace

// The scene's entry points, resolved here instead of by the scene library.
bool setUpScene(int, int) {
  return true;
}
void updateScene(float seconds) {
  scene.steps.push_back(seconds);
}
void drawScene(Vec3 eye, Quaternion orientation) {
  scene.eyes.push_back(eye);
  scene.orientations.push_back(orientation);
  scene.polygonModes.push_back(rendererState.polygonMode);
  scene.frameStarts.push_back(rendererState.elapsedSeconds);
}
void tearDownScene() {}

namespace {

class ClockPlatform final : public RendererPlatform {
 public:
  std::int64_t frequency = 1'000'000;
  std::int64_t counter = 0;
  // Start-up as the shell asked for it.
  std::vector<bool> pointer;  // showPointer arguments
  bool popup = false;
  std::optional<NativeWindowId> childOf;
  bool parentExists = true;
  double rate = 0.0;
  // The window, its end, and the messages left to the window system.
  bool window = false;
  int destroyed = 0;
  std::vector<std::uint32_t> defaulted;
  // The loop: a close request once this many frames were drawn (0: never), and each wait.
  size_t closeAfterFrames = 0;
  std::vector<std::int64_t> waits;
  EmulatedMessageQueue queue;

  std::int64_t counterFrequency() override { return frequency; }
  std::int64_t readCounter() override { return counter; }
  void showPointer(bool visible) override { pointer.push_back(visible); }
  bool registerWindowClass(const char*) override { return true; }
  bool createWindow(const char*, const char*, int, int, int, int, WindowProcedure) override {
    return popup = window = true;
  }
  bool createChildWindow(const char*, const char*, NativeWindowId parent,
                         WindowProcedure) override {
    childOf = parent;
    return window = parentExists;
  }
  void showWindow() override {}
  void destroyWindow() override {
    ++destroyed;
    if (!window) return;
    window = false;
    RendererWindowProc(*this, WindowMessage{kWmDestroy, 0, 0});
  }
  // As a window system would: a close request destroys the window.
  std::intptr_t defaultWindowProcedure(const WindowMessage& message) override {
    defaulted.push_back(message.message);
    if (message.message == kWmClose) destroyWindow();
    return 0;
  }
  // The queue as the X11 adapter keeps it, over one event: the close request.
  bool peekMessage(WindowMessage& message, bool remove) override {
    return queue.peek(message, remove, [this](WindowMessage& event) {
      if (!window || closeAfterFrames == 0 || scene.eyes.size() < closeAfterFrames) return false;
      event = WindowMessage{kWmClose, 0, 0};
      return true;
    });
  }
  std::intptr_t dispatchMessage(const WindowMessage& message) override {
    return RendererWindowProc(*this, message);
  }
  void postQuitMessage(int exitCode) override { queue.postQuit(exitCode); }
  void invalidateWindow() override { queue.invalidate(); }
  void validateWindow() override { queue.validate(); }
  void waitForEvent(std::int64_t microseconds) override {
    waits.push_back(microseconds);
    counter += microseconds * frequency / 1'000'000;
  }
  double refreshRate() override { return rate; }
  DeviceContextHandle getDeviceContext() override { return nullptr; }
  int screenBitsPerPixel(DeviceContextHandle) override { return 24; }
  int choosePixelFormat(DeviceContextHandle, const PixelFormatDescriptor&) override { return 1; }
  bool setPixelFormat(DeviceContextHandle, int, const PixelFormatDescriptor&) override {
    return true;
  }
  RenderContextHandle createRenderContext(DeviceContextHandle) override { return nullptr; }
  bool makeCurrent(DeviceContextHandle, RenderContextHandle) override { return true; }
  void deleteRenderContext(RenderContextHandle) override {}
  void setViewport(int, int, int, int) override {}
  void swapBuffers(DeviceContextHandle) override {}
};

RendererState& state = rendererState;

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRendererShell();
    scene = {};
  }
  // As after start-up: the counter started at its current value and frames are allowed.
  void startRunning() {
    state.counterFrequency = platform.frequency;
    state.counterStart = platform.counter;
    state.running = true;
  }
  void send(std::uint32_t message, std::uintptr_t wParam = 0) {
    RendererWindowProc(platform, WindowMessage{message, wParam, 0});
  }
  void key(unsigned virtualKey) { send(kWmKeyDown, virtualKey); }
  void frame(double seconds) {
    platform.counter += static_cast<std::int64_t>(seconds * double(platform.frequency) + 0.5);
    send(kWmPaint);
  }

  ClockPlatform platform;
};

TEST_F(ShellTest, KeyTableActsOnEveryKeyDownAndKeyUpsOnlyReleaseNavigationKeys) {
  for (const unsigned repeat : {kVkW, kVkW, kVkW, kVkSpace, kVkSpace, kVkSpace}) key(repeat);
  EXPECT_TRUE(state.wireframe && state.paused);
  EXPECT_EQ(state.polygonMode, kPolygonModeLine);
  send(kWmKeyUp, kVkW);
  EXPECT_TRUE(state.wireframe);
  const std::pair<unsigned, std::int32_t> options[] = {
      {kVkM, 0x01}, {kVkS, 0x02}, {kVkH, 0x04}, {kVkF, 0x08}, {kVkN, 0x10}};
  for (const auto& [optionKey, bit] : options) {
    const std::int32_t before = getOptionBits();
    key(optionKey);
    EXPECT_EQ(getOptionBits(), before ^ bit) << optionKey;
  }
  const std::pair<unsigned, bool RendererState::*> navigation[] = {
      {kVkEnd, &RendererState::keyEnd},     {kVkHome, &RendererState::keyHome},
      {kVkLeft, &RendererState::keyLeft},   {kVkUp, &RendererState::keyUp},
      {kVkRight, &RendererState::keyRight}, {kVkDown, &RendererState::keyDown}};
  for (const auto& [navigationKey, held] : navigation) {
    key(navigationKey);
    for (const auto& [other, flag] : navigation) EXPECT_EQ(state.*flag, flag == held) << other;
    send(kWmKeyUp, navigationKey);
    EXPECT_FALSE(state.*held) << navigationKey;
  }
  key(0x41);  // A means nothing
  EXPECT_EQ(state.optionBits, 0x1E);
}

// With Alt held a key is a system key: F4 and Escape close the window the way the window
// system's close does; no other key acts as it does alone, and all go on to the window system.
TEST_F(ShellTest, WithAltOnlyF4AndEscapeActAndTheyCloseTheWindow) {
  const struct {
    unsigned key;
    bool closes;
  } cases[] = {{kVkF4, true},    {kVkEscape, true}, {kVkW, false}, {kVkSpace, false},
               {kVkLeft, false}, {kVkUp, false},    {kVkM, false}, {kVkN, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    resetRendererShell();
    platform.destroyed = 0;
    platform.defaulted.clear();
    send(kWmSysKeyDown, c.key);
    EXPECT_EQ(platform.destroyed, c.closes ? 1 : 0);
    if (c.closes) {
      EXPECT_EQ(platform.defaulted, std::vector<std::uint32_t>{kWmClose}) << "the close path";
    } else {
      EXPECT_EQ(platform.defaulted, std::vector<std::uint32_t>{kWmSysKeyDown});
    }
    RendererState untouched;
    EXPECT_EQ(std::make_tuple(state.wireframe, state.polygonMode, state.paused, state.optionBits,
                              state.keyLeft, state.keyUp),
              std::make_tuple(untouched.wireframe, untouched.polygonMode, untouched.paused,
                              untouched.optionBits, untouched.keyLeft, untouched.keyUp));
  }
  // F4 alone is no key of the renderer's.
  platform.destroyed = 0;
  key(kVkF4);
  EXPECT_EQ(platform.destroyed, 0);
  // An arrow held before Alt and let go while Alt is down stops turning the camera.
  key(kVkLeft);
  send(kWmSysKeyUp, kVkLeft);
  EXPECT_FALSE(state.keyLeft);
}

// Paint draws nothing before start-up has finished, then exactly once per message.
TEST_F(ShellTest, AutomaticFlipEveryHundredFramesUndoesAWPressedJustBeforeIt) {
  send(kWmPaint);
  startRunning();
  for (int i = 0; i < 99; ++i) frame(0.01);
  key(kVkW);
  for (int i = 0; i < 100; ++i) frame(0.01);
  EXPECT_EQ(std::count(scene.polygonModes.begin(), scene.polygonModes.end(), kPolygonModeLine), 0);
  frame(0.01);
  EXPECT_EQ(scene.polygonModes.back(), kPolygonModeLine);
  EXPECT_EQ(scene.polygonModes.size(), 200u);
}

TEST_F(ShellTest, LongFrameMovesTheCameraFullyButTheSceneByAtMostFiftyMilliseconds) {
  startRunning();
  key(kVkUp);
  key(kVkLeft);
  frame(0.2);
  EXPECT_FLOAT_EQ(scene.steps.back(), 0.05f);
  EXPECT_NEAR(state.cameraDistance, 35.0f - 20.0f * 0.2f, 1e-4f);
  EXPECT_NEAR(state.cameraOrientation.y, std::sin(0.2f), 1e-6f);
  // The view, the orientation applied to (origin - eye), still has the origin straight ahead.
  const Vec3 eye = scene.eyes.back();
  const Vec3 origin = Vec3{-eye.x, -eye.y, -eye.z} * toMatrix3(scene.orientations.back());
  EXPECT_NEAR(std::abs(origin.x) + std::abs(origin.y) + std::abs(origin.z + 31.0f), 0.0f, 1e-4f);
  // Left and Right together cancel; paused, the scene stands still while the camera moves.
  key(kVkRight);
  key(kVkSpace);
  const Quaternion turned = state.cameraOrientation;
  frame(0.01);
  EXPECT_NEAR(state.cameraOrientation.y, turned.y, 1e-6f);
  EXPECT_NEAR(state.cameraOrientation.w, turned.w, 1e-6f);
  EXPECT_EQ(scene.steps.back(), 0.0f);
  EXPECT_LT(state.cameraDistance, 31.0f);
}

// Once Up is let go the camera coasts: each frame keeps 0.9 of the velocity, however long the
// frame, so the speed seen in each frame's step is 0.9 of the one before.
TEST_F(ShellTest, AfterAnArrowIsReleasedTheCameraCoastsLosingATenthOfItsSpeedEachFrame) {
  startRunning();
  key(kVkUp);
  frame(0.1);
  EXPECT_NEAR(state.cameraVelocity.z, -10.0f * 0.9f, 1e-5f);
  send(kWmKeyUp, kVkUp);
  std::vector<float> speeds;  // distance covered per second in each frame
  for (const double seconds : {0.1, 0.05, 0.2, 0.1, 0.3, 0.1}) {
    const float before = state.cameraDistance;
    frame(seconds);
    speeds.push_back((before - state.cameraDistance) / static_cast<float>(seconds));
  }
  EXPECT_NEAR(speeds[0], 9.0f, 1e-3f);
  for (size_t i = 1; i < speeds.size(); ++i) {
    EXPECT_NEAR(speeds[i] / speeds[i - 1], 0.9f, 1e-3f) << "frame " << i;
  }
  EXPECT_NEAR(state.cameraVelocity.z, -10.0f * std::pow(0.9f, 7.0f), 1e-5f);
}

TEST_F(ShellTest, FrameTimeStaysExactAfterAWeekAtAThousandFramesPerSecond) {
  platform.frequency = 1'000'000'000;
  startRunning();
  for (const double start : {60.0, 86400.0, 604800.0, 4 * 604800.0}) {
    platform.counter = static_cast<std::int64_t>(start * 1e9);
    measureFrameTime(platform);
    scene.steps.clear();
    for (int i = 0; i < 2000; ++i) frame(0.001);
    const auto [lowest, highest] = std::minmax_element(scene.steps.begin(), scene.steps.end());
    EXPECT_NEAR(*lowest, 0.001f, 1e-7f) << start;
    EXPECT_NEAR(*highest, 0.001f, 1e-7f) << start;
    EXPECT_NEAR(state.elapsedSeconds, start + 2.0, 1e-6) << start;
  }
}

// Given a window, the renderer draws into a child of it, leaves the pointer alone and keeps to
// the monitor's refresh rate; in its own popup it hides the pointer until the end and runs free.
// A window id that names nothing ends it before anything is made.
TEST_F(ShellTest, AGivenWindowGetsAChildThatLeavesThePointerAlone) {
  const std::optional<NativeWindowId> popup;
  const struct {
    std::vector<const char*> arguments;
    bool parentExists;
    std::optional<NativeWindowId> childOf;
    std::vector<bool> pointer;
    double secondFrame;  // start of the second frame
  } cases[] = {
      {{}, true, popup, {false, true}, 0.0},
      {{"--delay", "20000"}, true, popup, {false, true}, 0.02},
      {{"--window-id", "0x2a"}, true, 0x2a, {}, 0.0125},
      {{"--root"}, true, kScreenRootWindow, {}, 0.0125},
      {{"--root", "--max-fps", "10"}, true, kScreenRootWindow, {}, 0.1},
      {{"--window-id", "0x2a"}, false, 0x2a, {}, -1},
      {{"--window-id", "none"}, true, popup, {}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? "no options" : c.arguments[0]);
    resetRendererShell();
    scene = {};
    platform = ClockPlatform{};
    platform.rate = 80.0;
    platform.parentExists = c.parentExists;
    platform.closeAfterFrames = 2;
    EXPECT_EQ(runRenderer(platform, parseRendererOptions(c.arguments, nullptr)), 0);
    EXPECT_EQ(platform.popup, !c.childOf && c.secondFrame >= 0);
    EXPECT_EQ(platform.childOf, c.childOf);
    EXPECT_EQ(platform.pointer, c.pointer);
    if (c.secondFrame < 0) {
      EXPECT_TRUE(scene.frameStarts.empty());
      continue;
    }
    ASSERT_EQ(scene.frameStarts.size(), 2u);
    EXPECT_NEAR(scene.frameStarts[1] - scene.frameStarts[0], c.secondFrame, 1e-9);
    EXPECT_EQ(platform.waits.empty(), c.secondFrame == 0.0) << "only a paced loop sleeps";
    EXPECT_EQ(platform.destroyed, 1);
  }
}

// A size the window could not use falls back to the default, per side; any usable size is kept.
class ScreenSizeTest : public pellarin::testing::TempFolderTest {};

TEST_F(ScreenSizeTest, ASideBelowOnePixelTakesTheDefault) {
  pellarin::testing::isolateWorkFolder(folder_);
  ASSERT_TRUE(createWorkFolder());
  const struct {
    const char* file;  // settings file contents; nullptr for no file
    int width, height;
  } cases[] = {
      {nullptr, 1024, 768},
      {"[Settings]\r\nWidth= 800\r\nHeight= 600\r\n", 800, 600},
      {"[Settings]\r\nWidth= 0\r\nHeight= 0\r\n", 1024, 768},
      {"[Settings]\r\nWidth=-640\r\nHeight=-480\r\n", 1024, 768},
      {"[Settings]\r\nWidth=-1\r\nHeight= 1\r\n", 1024, 1},
      {"[Settings]\r\nWidth= 1\r\nHeight=-2147483648\r\n", 1, 768},
      {"[Settings]\r\nWidth=-0\r\nHeight= 0.5\r\n", 1024, 768},
      {"[Settings]\r\nWidth= 5000\r\nHeight= x\r\n", 5000, 768},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(settingsFilePath());
    if (c.file != nullptr) put(settingsFilePath(), c.file);
    readScreenSize();
    EXPECT_EQ(std::make_pair(state.screenWidth, state.screenHeight),
              std::make_pair(c.width, c.height))
        << (c.file ? c.file : "no file");
  }
}

}  // namespace
}  // namespace pellarin
